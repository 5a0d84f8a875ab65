// The waveOut calls and PlaySoundW. The waveOut calls report through their
// MMRESULT, as the phone's do, and leave the last error alone; PlaySoundW
// sets it when it fails.
#include <windows.h>
#include <audiosys.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>

#include "audio/audio.h"
#include "common/bytes.h"
#include "device/platform.h"
#include "device/relay.h"
#include "kernel/objects.h"
#include "res/resources.h"

using handset::Audio;
using handset::Enter;
using handset::Fail;
using handset::Platform;
using handset::WaveOutput;

namespace {

Audio& Snd() {
    return Platform::Current().Get<Audio>();
}

// A header the call can use: there, and of the structure's size.
bool HeaderGiven(LPWAVEHDR pwh, UINT cbwh) {
    return pwh && cbwh >= sizeof(WAVEHDR) && (pwh->lpData || pwh->dwBufferLength == 0);
}

// The format and samples of a RIFF/WAVE image: the first 16 bytes of its
// "fmt " chunk and its "data" chunk (cut to the bytes there), read without
// leaving the image. False when it is not RIFF/WAVE or lacks either chunk.
bool ReadWave(std::span<const unsigned char> image, WAVEFORMATEX* format,
              std::span<const unsigned char>* data) {
    if (image.size() < 12 || std::memcmp(image.data(), "RIFF", 4) != 0 ||
        std::memcmp(image.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false, haveData = false;
    size_t at = 12;
    while (image.size() - at >= 8) {
        const unsigned char* chunk = image.data() + at;
        const size_t length = handset::GetLe32(chunk + 4);
        const size_t room = image.size() - at - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16 && room >= 16) {
            *format = {};
            format->wFormatTag = handset::GetLe16(chunk + 8);
            format->nChannels = handset::GetLe16(chunk + 10);
            format->nSamplesPerSec = handset::GetLe32(chunk + 12);
            format->nAvgBytesPerSec = handset::GetLe32(chunk + 16);
            format->nBlockAlign = handset::GetLe16(chunk + 20);
            format->wBitsPerSample = handset::GetLe16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            *data = image.subspan(at + 8, std::min(length, room));
            haveData = true;
        }
        if (length >= room) break;
        at += 8 + length + (length & 1); // chunks are padded to even lengths
    }
    return haveFormat && haveData;
}

} // namespace

HANDSET_API(MMRESULT, waveOutOpen,
            (LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
             DWORD_PTR dwInstance, DWORD fdwOpen),
            (phwo, uDeviceID, pwfx, dwCallback, dwInstance, fdwOpen)) {
    if (auto e = Enter("waveOutOpen")) return MMRESULT(*e);
    if (uDeviceID != WAVE_MAPPER && uDeviceID != 0) return MMSYSERR_BADDEVICEID;
    const DWORD type = fdwOpen & CALLBACK_TYPEMASK;
    if ((fdwOpen & ~DWORD(CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY | WAVE_ALLOWSYNC)) != 0 ||
        (type != CALLBACK_NULL && type != CALLBACK_WINDOW && type != CALLBACK_THREAD &&
         type != CALLBACK_FUNCTION && type != CALLBACK_EVENT))
        return MMSYSERR_INVALFLAG;
    if (!pwfx) return MMSYSERR_INVALPARAM;
    if (!Audio::Playable(*pwfx)) return WAVERR_BADFORMAT;
    if (fdwOpen & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
    if (type == CALLBACK_WINDOW || type == CALLBACK_THREAD)
        handset::NotEmulated("waveOutOpen", type == CALLBACK_WINDOW ? "fdwOpen CALLBACK_WINDOW"
                                                                    : "fdwOpen CALLBACK_THREAD");
    if (!phwo || (type != CALLBACK_NULL && !dwCallback)) return MMSYSERR_INVALPARAM;
    if (type == CALLBACK_EVENT) {
        auto event = Platform::Current().Resolve(reinterpret_cast<HANDLE>(dwCallback));
        if (!event || event->kind != handset::KernelObject::Kind::Event) return MMSYSERR_INVALPARAM;
    }
    *phwo = Snd().Open(*pwfx, type, dwCallback, dwInstance);
    return MMSYSERR_NOERROR;
}

HANDSET_API(MMRESULT, waveOutPrepareHeader, (HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh),
            (hwo, pwh, cbwh)) {
    if (auto e = Enter("waveOutPrepareHeader")) return MMRESULT(*e);
    if (!Snd().Find(hwo)) return MMSYSERR_INVALHANDLE;
    if (!HeaderGiven(pwh, cbwh)) return MMSYSERR_INVALPARAM;
    pwh->dwFlags |= WHDR_PREPARED; // preparing twice changes nothing
    return MMSYSERR_NOERROR;
}

HANDSET_API(MMRESULT, waveOutUnprepareHeader, (HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh),
            (hwo, pwh, cbwh)) {
    if (auto e = Enter("waveOutUnprepareHeader")) return MMRESULT(*e);
    if (!Snd().Find(hwo)) return MMSYSERR_INVALHANDLE;
    if (!HeaderGiven(pwh, cbwh)) return MMSYSERR_INVALPARAM;
    if (pwh->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    pwh->dwFlags &= ~DWORD(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

HANDSET_API(MMRESULT, waveOutWrite, (HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh), (hwo, pwh, cbwh)) {
    if (auto e = Enter("waveOutWrite")) return MMRESULT(*e);
    auto out = Snd().Find(hwo);
    if (!out) return MMSYSERR_INVALHANDLE;
    if (!HeaderGiven(pwh, cbwh)) return MMSYSERR_INVALPARAM;
    if (!(pwh->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (pwh->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (pwh->dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP))
        handset::NotEmulated("waveOutWrite", "dwFlags WHDR_BEGINLOOP or WHDR_ENDLOOP");
    Snd().Write(out, pwh);
    return MMSYSERR_NOERROR;
}

HANDSET_API(MMRESULT, waveOutReset, (HWAVEOUT hwo), (hwo)) {
    if (auto e = Enter("waveOutReset")) return MMRESULT(*e);
    auto out = Snd().Find(hwo);
    if (!out) return MMSYSERR_INVALHANDLE;
    Snd().Reset(out);
    return MMSYSERR_NOERROR;
}

HANDSET_API(MMRESULT, waveOutClose, (HWAVEOUT hwo), (hwo)) {
    if (auto e = Enter("waveOutClose")) return MMRESULT(*e);
    auto out = Snd().Find(hwo);
    if (!out) return MMSYSERR_INVALHANDLE;
    if (!out->queue.empty()) return WAVERR_STILLPLAYING;
    Snd().Close(out);
    return MMSYSERR_NOERROR;
}

// A null handle is device 0, whose volume is the whole device's: not emulated.
HANDSET_API(MMRESULT, waveOutSetVolume, (HWAVEOUT hwo, DWORD dwVolume), (hwo, dwVolume)) {
    if (auto e = Enter("waveOutSetVolume")) return MMRESULT(*e);
    if (!hwo) handset::NotEmulated("waveOutSetVolume", "device 0 (the device's own volume)");
    auto out = Snd().Find(hwo);
    if (!out) return MMSYSERR_INVALHANDLE;
    out->volume = dwVolume;
    return MMSYSERR_NOERROR;
}

// The driver's messages: the gain class and loudspeaker forcing of
// audiosys.h. They apply to the buffers that start playing after them.
HANDSET_API(MMRESULT, waveOutMessage, (HWAVEOUT hwo, UINT uMsg, DWORD_PTR dw1, DWORD_PTR dw2),
            (hwo, uMsg, dw1, dw2)) {
    if (auto e = Enter("waveOutMessage")) return MMRESULT(*e);
    if (!hwo) handset::NotEmulated("waveOutMessage", "device 0 instead of an open output");
    auto out = Snd().Find(hwo);
    if (!out) return MMSYSERR_INVALHANDLE;
    switch (uMsg) {
    case MM_WOM_SETSECONDARYGAINCLASS:
        if (dw1 > 3) return MMSYSERR_INVALPARAM;
        out->gainClass = DWORD(dw1);
        return MMSYSERR_NOERROR;
    case MM_WOM_FORCESPEAKER:
        out->speakerForced = dw1 != 0;
        return MMSYSERR_NOERROR;
    }
    handset::NotEmulated("waveOutMessage", "uMsg " + handset::Hex32(uMsg));
}

// Only a module's WAVE resource, synchronously: what the programs play.
HANDSET_API(BOOL, PlaySoundW, (LPCWSTR pszSound, HMODULE hmod, DWORD fdwSound),
            (pszSound, hmod, fdwSound)) {
    if (auto e = Enter("PlaySoundW")) return Fail(*e, FALSE);
    if (!pszSound) handset::NotEmulated("PlaySoundW", "pszSound NULL (stopping the sound)");
    if ((fdwSound & SND_RESOURCE) != SND_RESOURCE ||
        (fdwSound & ~DWORD(SND_RESOURCE | SND_NODEFAULT)) != 0)
        handset::NotEmulated("PlaySoundW", "fdwSound " + handset::Hex32(fdwSound));
    const handset::ResFile* file = Platform::Current().Get<handset::Resources>().Find(hmod);
    const handset::ResEntry* wave =
        file ? file->Find(u"WAVE", handset::ResId::FromPointer(pszSound),
                          Platform::Current().Get<handset::Resources>().Language())
             : nullptr;
    if (!wave) {
        if (!(fdwSound & SND_NODEFAULT))
            handset::NotEmulated("PlaySoundW", "the default sound, for a WAVE resource missing");
        return Fail(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND), FALSE);
    }
    WAVEFORMATEX format{};
    std::span<const unsigned char> data;
    if (!ReadWave(wave->data, &format, &data) || !Audio::Playable(format))
        return Fail(DWORD(ERROR_BAD_FORMAT), FALSE);
    Snd().PlaySync(format, data);
    return TRUE;
}
