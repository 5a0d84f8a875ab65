// The Windows Mobile audio driver's own waveOutMessage messages: the stream's
// attenuation (gain) class and routing to the loudspeaker.
#ifndef HANDSET_AUDIOSYS_H
#define HANDSET_AUDIOSYS_H

// dw1: the class, 0 to 3; new streams are in class 0.
#define MM_WOM_SETSECONDARYGAINCLASS 0x0400 // WM_USER
// dw1: TRUE routes the stream to the loudspeaker even with a headset in.
#define MM_WOM_FORCESPEAKER 0x0402 // WM_USER + 2

#endif
