// Resource ids of the lock program, shared by its resource script and its code.
#ifndef TESSARIL_LOCK_RESOURCE_H
#define TESSARIL_LOCK_RESOURCE_H

#define IDI_TESSARIL 101  // program icon (icon group)
#define SOUND_LOCK 131    // WAVE: lock and unlock signal, start and stop sound
#define SOUND_ELAPSED 133 // WAVE: interval-elapsed signal

#endif
