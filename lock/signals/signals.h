// Signals: the lock program's two sounds, played from its own WAVE resources
// through the waveform output, the vibration pulse and the backlight. All of
// it runs synchronously on the main thread.
#ifndef TESSARIL_SIGNALS_H
#define TESSARIL_SIGNALS_H

#include <windows.h>
#include <mmsystem.h>

#define WAVE_WAIT_MS 2000             // the longest a sound is waited for
#define SIGNAL_GAIN_CLASS 2           // the stream's attenuation class
#define FULL_STREAM_VOLUME 0x0000FFFF // left (or only) channel at full
#define VIBRATOR_LED 1
#define VIBRATION_PULSE_MS 400
#define BACKLIGHT_DEVICE TEXT("BKL1:")

// One RIFF/WAVE image, viewed where it lies in memory; all zero when cleared.
struct WaveImage {
    DWORD totalSize;      // the image's size; set only by a successful parse
    BYTE formType[4];     // bytes 8 to 11 of the image, "WAVE" when valid
    BYTE formatBlock[16]; // the first 16 bytes of the "fmt " chunk's data
    DWORD dataOffset;     // of the first sample byte, from the image's start
    DWORD dataLength;     // of the "data" chunk, cut to the bytes the image holds
    const BYTE* data;     // the first sample byte; null while no "data" chunk was found
};

// TRUE when the image is RIFF/WAVE with a "fmt " chunk of at least 16 bytes
// and a "data" chunk. Never reads outside the size bytes given. The image is
// cleared first, and again when the parse fails.
BOOL ParseWaveImage(WaveImage* image, const void* bytes, DWORD size);

// The one playback. Its header lives here, not in PlayWaveResource's frame:
// an output that cannot be stopped keeps the header after PlayWaveResource
// has returned, and the driver writes to it when the buffer ends. The
// output and the callback's event stay with it until the output lets go.
struct WavePlayback {
    HANDLE done;     // set by the callback at WOM_DONE; null when none
    HWAVEOUT output; // null when closed
    WAVEHDR header;  // the driver's while WHDR_PREPARED is set
};
extern WavePlayback g_wavePlayback;

// Plays the module's WAVE resource and returns when it is done, after at
// most WAVE_WAIT_MS; a sound still playing then is stopped. keepVolume
// leaves the stream's volume alone (else FULL_STREAM_VOLUME); forceSpeaker
// routes it to the loudspeaker. Every failure ends it silently. While an
// earlier sound's output cannot be given back, nothing is played.
void PlayWaveResource(HINSTANCE instance, UINT resourceId, BOOL keepVolume, BOOL forceSpeaker);
// Stops, unprepares and closes the playback's output, then closes its
// event; TRUE when nothing is held any more. FALSE, with everything kept
// for a later try, while the output still holds the header.
BOOL ReleaseWavePlayback(void);

// The output's callback: WOM_DONE ends PlayWaveResource's wait.
void CALLBACK WaveOutCallback(HWAVEOUT output, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2);

// Switches a notification LED on or off, keeping its other settings.
void SetNotificationLed(UINT led, BOOL on);
// One pulse of the vibrator; returns when it is off again.
void VibratePulse(void);
// Forces the backlight off, until BacklightOn.
void BacklightOff(void);
// Switches the backlight on and gives it back to the power manager.
void BacklightOn(void);

#endif
