// The phone's waveform output: wave outputs that play their buffers in
// virtual time, the audio thread that calls the programs' callbacks, the
// record of every playback, and the speaker's sound as one WAV file. The
// waveOut calls and PlaySoundW (calls.cpp) act on it.
//
// How it plays:
// - One device (id 0, also reached as WAVE_MAPPER) takes 8- or 16-bit PCM,
//   mono or stereo, at 8000 to 48000 samples/s. A buffer plays for its bytes
//   over the format's bytes per second, rounded up to a whole millisecond;
//   an output's buffers play one after another. A new output is at full
//   volume (0xFFFFFFFF), in gain class 0, not forced to the loudspeaker.
// - Callbacks (CALLBACK_FUNCTION, CALLBACK_EVENT) are made by the audio
//   thread, the one thread of the handset's process "\Windows\audio.exe",
//   started when the first output that has a callback opens. It runs, like
//   every emulated thread, when the others block. waveOutOpen, waveOutReset
//   and waveOutClose return only after the thread has delivered what they
//   caused (WOM_OPEN; each buffer's WOM_DONE; WOM_CLOSE), as the phone's
//   driver does within the call, so a late notice never reaches a program
//   that has moved on. WOM_DONE of a buffer that played out is delivered
//   when the audio thread next gets to run.
// - PlaySoundW with SND_RESOURCE plays on the caller's thread, which sleeps
//   for the sound's length; it is recorded like a buffer.
// - An output a process leaves open is closed when it ends: its sound stops
//   and no callback is made any more.
// - The speaker's WAV holds every playback, the played part of each, mixed
//   (summed and clipped) where they overlap, with silence between them. The
//   handset does not route between earpiece and loudspeaker: forcing is
//   recorded with each playback, and all of them are in the file.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/area.h"
#include "device/handles.h"

namespace handset {

class Event;
void ReclaimWaveOut(Platform& platform, uintptr_t value, const HandleEntry& entry);
inline constexpr HandleKind kWaveOut{"wave output", "wave outputs", ReclaimWaveOut};

// One buffer played, or one PlaySoundW.
struct Playback {
    DWORD pid = 0;          // the program's process; 0 for the driver
    std::u16string program; // its executable path
    bool viaPlaySound = false;
    uintptr_t output = 0; // the wave output; 0 for PlaySoundW
    WAVEFORMATEX format{};
    DWORD volume = 0xFFFFFFFF;
    DWORD gainClass = 0;
    bool speakerForced = false;
    uint64_t start = 0; // virtual ms
    uint64_t end = 0;   // when it finished or was cut; while it plays, when it will finish
    bool playing = false;
    bool finished = false;           // played to its end
    std::vector<unsigned char> data; // the buffer's bytes, as written

    // The bytes played from the start to `until` (its end, or now while it
    // plays), in whole blocks.
    size_t PlayedBytes(uint64_t until) const;
};

// A wave output a process has open.
struct WaveOutput {
    uintptr_t handle = 0;
    DWORD owner = 0;
    WAVEFORMATEX format{};
    DWORD callbackType = CALLBACK_NULL;
    DWORD_PTR callback = 0; // the function, or the event's handle
    DWORD_PTR instance = 0;
    DWORD volume = 0xFFFFFFFF;
    DWORD gainClass = 0;
    bool speakerForced = false;
    std::deque<WAVEHDR*> queue; // written and not yet done; the front plays
    size_t playing = SIZE_MAX;  // the front's playback, in Audio::Playbacks()
    uint64_t generation = 0;    // moves when playback is cut; a due end is then stale
    bool closed = false;
};

class Audio final : public Area {
  public:
    static constexpr uint32_t kDefaultSpeakerRate = 11025;

    explicit Audio(Platform& platform);
    ~Audio();

    // ---- Reading: for tests and scenarios ---------------------------------
    // Every playback so far, in order of start.
    const std::vector<Playback>& Playbacks() const { return playbacks_; }
    // Wave outputs open on the whole device.
    size_t OpenOutputs() const;
    // The audio thread's process, 0 until it is started.
    DWORD AudioPid() const { return audioPid_; }
    // The speaker's sound from power-on to the end of the last playback (or
    // now, for one still playing), as a RIFF/WAVE image: 16-bit mono PCM at
    // the highest sample rate played (kDefaultSpeakerRate when none). A
    // playback's samples start at its start time; stereo is averaged, 8-bit
    // widened, other rates resampled (the nearest earlier sample), and each
    // is scaled by its volume.
    std::vector<unsigned char> SpeakerWav() const;
    // The same, written to a file; false with "PATH: cannot write: REASON".
    bool WriteSpeakerWav(const std::string& path, std::string* error) const;

    // ---- For the calls ------------------------------------------------------
    // Whether the device plays the format.
    static bool Playable(const WAVEFORMATEX& format);
    std::shared_ptr<WaveOutput> Find(HWAVEOUT handle) const;
    // A new output for the calling process; WOM_OPEN delivered.
    HWAVEOUT Open(const WAVEFORMATEX& format, DWORD callbackType, DWORD_PTR callback,
                  DWORD_PTR instance);
    // Queues a prepared header that is not queued yet.
    void Write(const std::shared_ptr<WaveOutput>& out, WAVEHDR* header);
    // Stops playback and gives back every queued buffer (WOM_DONE each).
    void Reset(const std::shared_ptr<WaveOutput>& out);
    // Closes an output with nothing queued (WOM_CLOSE).
    void Close(const std::shared_ptr<WaveOutput>& out);
    // Plays on the calling thread, which sleeps until the end.
    void PlaySync(const WAVEFORMATEX& format, std::span<const unsigned char> data);
    // What the ended owner left: stopped and dropped without callbacks.
    void Abandon(const std::shared_ptr<WaveOutput>& out);

  private:
    struct Notice {
        std::shared_ptr<WaveOutput> output;
        UINT message;
        DWORD_PTR param;
    };
    class Delivered;

    void StartFront(const std::shared_ptr<WaveOutput>& out);
    void FrontDone(const std::shared_ptr<WaveOutput>& out, uint64_t generation);
    // Ends the playing buffer's playback early, if one plays.
    void Cut(WaveOutput& out, const char* reason);
    size_t Record(Playback playback);
    void Post(const std::shared_ptr<WaveOutput>& out, UINT message, DWORD_PTR param);
    // Blocks the caller until the audio thread has delivered every notice
    // of the output (not when the caller is the driver or the audio thread).
    void AwaitDelivery(const WaveOutput& out);
    bool Pending(const WaveOutput& out) const;
    DWORD AudioThread();

    std::vector<Playback> playbacks_;
    std::deque<Notice> notices_;
    std::shared_ptr<Event> work_; // set while notices wait
    DWORD audioPid_ = 0;
    DWORD audioTid_ = 0;
};

} // namespace handset
