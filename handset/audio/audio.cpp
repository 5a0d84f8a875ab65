// Wave outputs in virtual time, the audio thread, the playback record and
// the speaker's WAV.
#include "audio/audio.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "common/bytes.h"
#include "device/platform.h"
#include "kernel/objects.h"

namespace handset {

namespace {

// Rounded up, so that a buffer is done only when all of it has played.
uint64_t DurationMs(size_t bytes, DWORD bytesPerSecond) {
    return (uint64_t(bytes) * 1000 + bytesPerSecond - 1) / bytesPerSecond;
}

// One frame of a playback as a mono sample, at its volume.
int32_t FrameValue(const Playback& p, size_t frame) {
    const unsigned char* f = p.data.data() + frame * p.format.nBlockAlign;
    auto channel = [&](int c) -> int64_t {
        return p.format.wBitsPerSample == 16 ? int16_t(GetLe16(f + 2 * c))
                                             : (int64_t(f[c]) - 128) * 256;
    };
    const int64_t left = channel(0) * (p.volume & 0xFFFF) / 0xFFFF;
    if (p.format.nChannels == 1) return int32_t(left);
    return int32_t((left + channel(1) * (p.volume >> 16) / 0xFFFF) / 2);
}

} // namespace

size_t Playback::PlayedBytes(uint64_t until) const {
    if (finished) return data.size();
    const uint64_t ms = until > start ? until - start : 0;
    uint64_t bytes = ms * format.nAvgBytesPerSec / 1000;
    bytes -= bytes % std::max<WORD>(format.nBlockAlign, 1);
    return size_t(std::min<uint64_t>(bytes, data.size()));
}

// Signaled once the audio thread has delivered all of an output's notices.
class Audio::Delivered final : public KernelObject {
  public:
    Delivered(const Audio& audio, const WaveOutput& out)
        : KernelObject(Kind::Other), audio_(audio), out_(out) {}
    bool Signaled(const Thread&) const override { return !audio_.Pending(out_); }

  private:
    const Audio& audio_;
    const WaveOutput& out_;
};

void ReclaimWaveOut(Platform& platform, uintptr_t value, const HandleEntry& entry) {
    platform.Get<Audio>().Abandon(std::static_pointer_cast<WaveOutput>(entry.object));
}

Audio::Audio(Platform& platform) : Area(platform), work_(std::make_shared<Event>(false, false)) {}
Audio::~Audio() = default;

size_t Audio::OpenOutputs() const {
    return platform_.handles().CountOf(kWaveOut);
}

bool Audio::Playable(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 8000 &&
           f.nSamplesPerSec <= 48000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

std::shared_ptr<WaveOutput> Audio::Find(HWAVEOUT handle) const {
    return platform_.handles().Get<WaveOutput>(reinterpret_cast<uintptr_t>(handle), kWaveOut);
}

// ---- Outputs -------------------------------------------------------------------

HWAVEOUT Audio::Open(const WAVEFORMATEX& format, DWORD callbackType, DWORD_PTR callback,
                     DWORD_PTR instance) {
    auto out = std::make_shared<WaveOutput>();
    out->owner = platform_.CurrentPid();
    out->format = format;
    out->callbackType = callbackType;
    out->callback = callback;
    out->instance = instance;
    out->handle = platform_.handles().Add(kWaveOut, out->owner, out);
    platform_.timeline().Record("wave.open", {{"output", uint64_t(out->handle)},
                                              {"process", out->owner},
                                              {"rate", format.nSamplesPerSec},
                                              {"channels", DWORD(format.nChannels)},
                                              {"bits", DWORD(format.wBitsPerSample)}});
    Post(out, WOM_OPEN, 0);
    AwaitDelivery(*out);
    return reinterpret_cast<HWAVEOUT>(out->handle);
}

void Audio::Write(const std::shared_ptr<WaveOutput>& out, WAVEHDR* header) {
    header->dwFlags = (header->dwFlags & ~DWORD(WHDR_DONE)) | WHDR_INQUEUE;
    out->queue.push_back(header);
    StartFront(out);
}

void Audio::Reset(const std::shared_ptr<WaveOutput>& out) {
    Cut(*out, "reset");
    ++out->generation;
    std::deque<WAVEHDR*> queued;
    queued.swap(out->queue);
    for (WAVEHDR* h : queued) {
        h->dwFlags = (h->dwFlags & ~DWORD(WHDR_INQUEUE)) | WHDR_DONE;
        Post(out, WOM_DONE, reinterpret_cast<DWORD_PTR>(h));
    }
    AwaitDelivery(*out);
}

void Audio::Close(const std::shared_ptr<WaveOutput>& out) {
    platform_.handles().Remove(out->handle, kWaveOut);
    out->closed = true;
    platform_.timeline().Record("wave.close", {{"output", uint64_t(out->handle)}});
    Post(out, WOM_CLOSE, 0);
    AwaitDelivery(*out);
}

void Audio::Abandon(const std::shared_ptr<WaveOutput>& out) {
    // The ended process's headers are gone with it: none is touched.
    Cut(*out, "exit");
    ++out->generation;
    out->queue.clear();
    out->closed = true;
    std::erase_if(notices_, [&](const Notice& n) { return n.output == out; });
}

// ---- Playing -------------------------------------------------------------------

size_t Audio::Record(Playback p) {
    platform_.timeline().Record("sound.start", {{"output", uint64_t(p.output)},
                                                {"process", p.pid},
                                                {"program", p.program},
                                                {"rate", p.format.nSamplesPerSec},
                                                {"channels", DWORD(p.format.nChannels)},
                                                {"bits", DWORD(p.format.wBitsPerSample)},
                                                {"bytes", uint64_t(p.data.size())},
                                                {"volume", p.volume},
                                                {"gain", p.gainClass},
                                                {"speaker", p.speakerForced ? 1 : 0}});
    playbacks_.push_back(std::move(p));
    return playbacks_.size() - 1;
}

void Audio::StartFront(const std::shared_ptr<WaveOutput>& out) {
    if (out->playing != SIZE_MAX || out->queue.empty()) return;
    const WAVEHDR* h = out->queue.front();
    Playback p;
    p.pid = out->owner;
    if (Process* owner = platform_.FindProcess(out->owner)) p.program = owner->exePath;
    p.output = out->handle;
    p.format = out->format;
    p.volume = out->volume;
    p.gainClass = out->gainClass;
    p.speakerForced = out->speakerForced;
    p.start = platform_.Now();
    p.end = p.start + DurationMs(h->dwBufferLength, out->format.nAvgBytesPerSec);
    p.playing = true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(h->lpData);
    p.data.assign(bytes, bytes + h->dwBufferLength);
    const uint64_t end = p.end;
    out->playing = Record(std::move(p));
    platform_.At(end, [this, out, generation = out->generation] { FrontDone(out, generation); });
}

void Audio::FrontDone(const std::shared_ptr<WaveOutput>& out, uint64_t generation) {
    if (generation != out->generation || out->playing == SIZE_MAX) return;
    Playback& p = playbacks_[out->playing];
    p.playing = false;
    p.finished = true;
    platform_.timeline().Record(
        "sound.end",
        {{"output", uint64_t(out->handle)}, {"process", out->owner}, {"reason", "done"}});
    WAVEHDR* h = out->queue.front();
    out->queue.pop_front();
    h->dwFlags = (h->dwFlags & ~DWORD(WHDR_INQUEUE)) | WHDR_DONE;
    out->playing = SIZE_MAX;
    Post(out, WOM_DONE, reinterpret_cast<DWORD_PTR>(h));
    StartFront(out);
}

void Audio::Cut(WaveOutput& out, const char* reason) {
    if (out.playing == SIZE_MAX) return;
    Playback& p = playbacks_[out.playing];
    p.end = std::min(p.end, platform_.Now());
    p.playing = false;
    p.finished = p.PlayedBytes(p.end) == p.data.size();
    out.playing = SIZE_MAX;
    platform_.timeline().Record(
        "sound.end",
        {{"output", uint64_t(out.handle)}, {"process", out.owner}, {"reason", reason}});
}

void Audio::PlaySync(const WAVEFORMATEX& format, std::span<const unsigned char> data) {
    Playback p;
    p.pid = platform_.CurrentPid();
    if (Process* caller = platform_.CurrentProcess()) p.program = caller->exePath;
    p.viaPlaySound = true;
    p.format = format;
    p.start = platform_.Now();
    const uint64_t length = DurationMs(data.size(), format.nAvgBytesPerSec);
    p.end = p.start + length;
    p.playing = true;
    p.data.assign(data.begin(), data.end());
    const size_t index = Record(std::move(p));
    platform_.Block({}, DWORD(length));
    playbacks_[index].playing = false;
    playbacks_[index].finished = true;
    platform_.timeline().Record("sound.end",
                                {{"process", playbacks_[index].pid}, {"reason", "done"}});
}

// ---- The audio thread ------------------------------------------------------------

void Audio::Post(const std::shared_ptr<WaveOutput>& out, UINT message, DWORD_PTR param) {
    if (out->callbackType == CALLBACK_NULL) return;
    if (!audioPid_ || !platform_.ProcessRunning(audioPid_)) {
        audioPid_ = platform_.StartProcess("audio.exe", [this] { return AudioThread(); });
        audioTid_ = platform_.FindProcess(audioPid_)->primary->id;
    }
    notices_.push_back({out, message, param});
    work_->signaled = true;
    platform_.WakeWaiters();
}

bool Audio::Pending(const WaveOutput& out) const {
    return std::any_of(notices_.begin(), notices_.end(),
                       [&](const Notice& n) { return n.output.get() == &out; });
}

void Audio::AwaitDelivery(const WaveOutput& out) {
    Thread* self = platform_.CurrentThread();
    if (!Pending(out) || !self || self->id == audioTid_) return;
    platform_.Block({std::make_shared<Delivered>(*this, out)}, INFINITE);
}

DWORD Audio::AudioThread() {
    for (;;) {
        platform_.Block({work_}, INFINITE);
        while (!notices_.empty()) {
            Notice n = std::move(notices_.front());
            notices_.pop_front();
            const WaveOutput& out = *n.output;
            if (out.callbackType == CALLBACK_FUNCTION) {
                auto callback = reinterpret_cast<LPWAVECALLBACK>(out.callback);
                callback(reinterpret_cast<HWAVEOUT>(out.handle), n.message, out.instance, n.param,
                         0);
            } else if (auto object = platform_.Resolve(reinterpret_cast<HANDLE>(out.callback));
                       object && object->kind == KernelObject::Kind::Event) {
                static_cast<Event&>(*object).signaled = true;
            }
            platform_.WakeWaiters();
        }
    }
}

// ---- The speaker -----------------------------------------------------------------

std::vector<unsigned char> Audio::SpeakerWav() const {
    auto until = [&](const Playback& p) {
        return p.playing ? std::min(p.end, platform_.Now()) : p.end;
    };
    uint32_t rate = 0;
    uint64_t last = 0;
    for (const Playback& p : playbacks_) {
        rate = std::max<uint32_t>(rate, p.format.nSamplesPerSec);
        last = std::max(last, until(p));
    }
    if (rate == 0) rate = kDefaultSpeakerRate;
    const size_t total = size_t((last * rate + 999) / 1000);
    std::vector<int32_t> mix(total, 0);
    for (const Playback& p : playbacks_) {
        const size_t first = size_t(p.start * rate / 1000);
        const size_t frames = p.PlayedBytes(until(p)) / p.format.nBlockAlign;
        for (size_t n = 0; first + n < total; ++n) {
            const size_t frame = size_t(uint64_t(n) * p.format.nSamplesPerSec / rate);
            if (frame >= frames) break;
            mix[first + n] += FrameValue(p, frame);
        }
    }
    std::vector<unsigned char> wav;
    wav.reserve(44 + total * 2);
    auto text = [&](const char* s) {
        for (int i = 0; i < 4; ++i)
            wav.push_back(static_cast<unsigned char>(s[i]));
    };
    text("RIFF");
    PutLe32(wav, uint32_t(36 + total * 2));
    text("WAVE");
    text("fmt ");
    PutLe32(wav, 16);
    PutLe16(wav, WAVE_FORMAT_PCM);
    PutLe16(wav, 1);
    PutLe32(wav, rate);
    PutLe32(wav, rate * 2);
    PutLe16(wav, 2);
    PutLe16(wav, 16);
    text("data");
    PutLe32(wav, uint32_t(total * 2));
    for (int32_t v : mix)
        PutLe16(wav, uint16_t(int16_t(std::clamp<int32_t>(v, -32768, 32767))));
    return wav;
}

bool Audio::WriteSpeakerWav(const std::string& path, std::string* error) const {
    const std::vector<unsigned char> wav = SpeakerWav();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    if (out) out.close();
    if (!out) {
        *error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace handset
