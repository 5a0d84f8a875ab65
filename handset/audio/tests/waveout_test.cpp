// Waveform output on the handset: Win32's rules for headers and outputs,
// playing in virtual time with callbacks from the audio thread, reset, an
// output left open by an ended process, and PlaySoundW of a WAVE resource.
#include <gtest/gtest.h>

#include <mmsystem.h>

#include "audio/audio.h"
#include "device/device.h"
#include "res/resources.h"
#include "res_sample.h"
#include "testing/testing.h"

using handset::Audio;
using handset::Device;

namespace {

struct Notice {
    UINT message;
    uint64_t at;
    DWORD tid;
    DWORD_PTR param;
};
std::vector<Notice> g_notices;

void CALLBACK Heard(HWAVEOUT, UINT message, DWORD_PTR, DWORD_PTR param, DWORD_PTR) {
    g_notices.push_back({message, handset::Platform::Current().Now(), GetCurrentThreadId(), param});
}

// PCM whose bytes per second add up, unless given.
WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits, DWORD bytesPerSecond = 0) {
    const WORD block = WORD(channels * bits / 8);
    WAVEFORMATEX f = {WAVE_FORMAT_PCM, channels, rate, rate * block, block, bits, 0};
    if (bytesPerSecond) f.nAvgBytesPerSec = bytesPerSecond;
    return f;
}
// 22050 bytes a second.
WAVEFORMATEX Mono16() {
    return Pcm(1, 11025, 16);
}

std::string Messages() {
    std::string out;
    for (const Notice& n : g_notices)
        out += n.message == WOM_OPEN ? "open " : n.message == WOM_DONE ? "done " : "close ";
    return out;
}

} // namespace

TEST(WaveOut, OpenRefusesFormatsDevicesAndFlagsItCannotTake) {
    Device d;
    struct Case {
        int line;
        UINT device;
        WAVEFORMATEX format;
        DWORD flags;
        MMRESULT result;
    } cases[] = {
        {__LINE__, WAVE_MAPPER, Pcm(2, 8000, 8), WAVE_FORMAT_QUERY, MMSYSERR_NOERROR},
        {__LINE__, 1, Mono16(), WAVE_FORMAT_QUERY, MMSYSERR_BADDEVICEID},
        {__LINE__, 0, Pcm(1, 11025, 24), WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
        {__LINE__, 0, Pcm(1, 11025, 16, 11025), WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
        {__LINE__, 0, Mono16(), CALLBACK_FUNCTION | 0x100, MMSYSERR_INVALFLAG},
        {__LINE__, 0, Mono16(), CALLBACK_FUNCTION, MMSYSERR_INVALPARAM}, // without the function
    };
    d.Call([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.line);
            HWAVEOUT out = nullptr;
            EXPECT_EQ(c.result, waveOutOpen(&out, c.device, &c.format, 0, 0, c.flags));
            EXPECT_EQ(nullptr, out);
        }
    });
    EXPECT_EQ(0u, d.Get<Audio>().OpenOutputs());
}

TEST(WaveOut, PlaysInVirtualTimeAndKeepsWin32sRulesForHeadersAndClosing) {
    Device d;
    g_notices.clear();
    static short samples[5512]; // 11024 bytes: half a second, rounded up
    struct Step {
        int line;
        const char* what;
        MMRESULT result;
    };
    std::vector<Step> got, want = {
                               {__LINE__, "write unprepared", WAVERR_UNPREPARED},
                               {__LINE__, "write", MMSYSERR_NOERROR},
                               {__LINE__, "write again", WAVERR_STILLPLAYING},
                               {__LINE__, "unprepare while playing", WAVERR_STILLPLAYING},
                               {__LINE__, "close while playing", WAVERR_STILLPLAYING},
                               {__LINE__, "unprepare done", MMSYSERR_NOERROR},
                               {__LINE__, "close", MMSYSERR_NOERROR},
                               {__LINE__, "write to closed", MMSYSERR_INVALHANDLE},
                           };
    DWORD flagsAfter = 0, pid = 0;
    size_t heardByOpen = 0;
    uint64_t opened = 0;
    pid = d.StartProcess("player", [&] {
        const WAVEFORMATEX f = Mono16();
        HWAVEOUT out = nullptr;
        if (waveOutOpen(&out, WAVE_MAPPER, &f, DWORD_PTR(&Heard), 0, CALLBACK_FUNCTION) != 0)
            return DWORD(1);
        opened = d.Now();
        heardByOpen = g_notices.size();
        WAVEHDR h = {reinterpret_cast<LPSTR>(samples), sizeof samples};
        auto step = [&](int i, MMRESULT r) { got.push_back({want[i].line, want[i].what, r}); };
        step(0, waveOutWrite(out, &h, sizeof h));
        waveOutPrepareHeader(out, &h, sizeof h);
        step(1, waveOutWrite(out, &h, sizeof h));
        step(2, waveOutWrite(out, &h, sizeof h));
        step(3, waveOutUnprepareHeader(out, &h, sizeof h));
        step(4, waveOutClose(out));
        Sleep(600);
        flagsAfter = h.dwFlags;
        step(5, waveOutUnprepareHeader(out, &h, sizeof h));
        step(6, waveOutClose(out));
        step(7, waveOutWrite(out, &h, sizeof h));
        return DWORD(0);
    });
    d.RunUntilExit(pid, 10000);
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].line);
        EXPECT_EQ(want[i].result, got[i].result) << want[i].what;
    }
    EXPECT_EQ(DWORD(WHDR_DONE | WHDR_PREPARED), flagsAfter);
    ASSERT_EQ("open done close ", Messages());
    EXPECT_EQ(1u, heardByOpen) << "WOM_OPEN is delivered within waveOutOpen";
    EXPECT_EQ(opened + 500, g_notices[1].at) << "11024 bytes at 22050 bytes/s";
    for (const Notice& n : g_notices)
        EXPECT_EQ(d.PrimaryThreadId(d.Get<Audio>().AudioPid()), n.tid) << "the audio thread";
    ASSERT_EQ(1u, d.Get<Audio>().Playbacks().size());
    const handset::Playback& p = d.Get<Audio>().Playbacks()[0];
    EXPECT_EQ(opened, p.start);
    EXPECT_EQ(opened + 500, p.end);
    EXPECT_TRUE(p.finished);
    EXPECT_NOTHING_HELD(d, pid);
}

TEST(WaveOut, ResetCutsThePlayingBufferAndGivesEveryQueuedOneBackBeforeReturning) {
    Device d;
    g_notices.clear();
    static short samples[22050]; // a second
    std::string heardByReset;
    d.Call([&] {
        const WAVEFORMATEX f = Mono16();
        HWAVEOUT out = nullptr;
        waveOutOpen(&out, WAVE_MAPPER, &f, DWORD_PTR(&Heard), 0, CALLBACK_FUNCTION);
        WAVEHDR a = {reinterpret_cast<LPSTR>(samples), sizeof samples};
        WAVEHDR b = a;
        waveOutPrepareHeader(out, &a, sizeof a);
        waveOutPrepareHeader(out, &b, sizeof b);
        waveOutWrite(out, &a, sizeof a);
        waveOutWrite(out, &b, sizeof b);
        Sleep(300);
        EXPECT_EQ(MMSYSERR_NOERROR, waveOutReset(out));
        heardByReset = Messages();
        EXPECT_EQ(DWORD(WHDR_DONE | WHDR_PREPARED), b.dwFlags) << "the waiting buffer is back";
        waveOutUnprepareHeader(out, &a, sizeof a);
        waveOutUnprepareHeader(out, &b, sizeof b);
        EXPECT_EQ(MMSYSERR_NOERROR, waveOutClose(out));
    });
    EXPECT_EQ("open done done ", heardByReset);
    ASSERT_EQ(1u, d.Get<Audio>().Playbacks().size()) << "the second never started";
    const handset::Playback& p = d.Get<Audio>().Playbacks()[0];
    EXPECT_EQ(300u, p.end - p.start);
    EXPECT_FALSE(p.finished);
    EXPECT_EQ(6614u, p.PlayedBytes(p.end)) << "300 ms, in whole samples";
    d.RunFor(5000);
    EXPECT_EQ("open done done close ", Messages()) << "nothing comes after the close";
}

TEST(WaveOut, AnOutputLeftOpenStopsAndIsTakenBackWhenItsProcessEnds) {
    Device d;
    g_notices.clear();
    static short samples[22050];
    static WAVEHDR h = {reinterpret_cast<LPSTR>(samples), sizeof samples};
    DWORD pid = d.StartProcess("leaver", [] {
        const WAVEFORMATEX f = Mono16();
        HWAVEOUT out = nullptr;
        waveOutOpen(&out, WAVE_MAPPER, &f, DWORD_PTR(&Heard), 0, CALLBACK_FUNCTION);
        waveOutPrepareHeader(out, &h, sizeof h);
        waveOutWrite(out, &h, sizeof h);
        Sleep(200);
        return DWORD(0);
    });
    d.RunFor(5000);
    EXPECT_EQ(1, d.Held(pid, handset::kWaveOut)) << "held when it ended";
    EXPECT_EQ(0u, d.Get<Audio>().OpenOutputs());
    EXPECT_EQ("open ", Messages()) << "no callback into an ended process";
    ASSERT_EQ(1u, d.Get<Audio>().Playbacks().size());
    EXPECT_EQ(200u, d.Get<Audio>().Playbacks()[0].end - d.Get<Audio>().Playbacks()[0].start);
}

TEST(SoundResource, PlaySoundPlaysTheProgramsWaveWhileTheCallerWaits) {
    Device d;
    const char16_t exe[] = u"\\Program Files\\Sample\\Sample.exe";
    d.RegisterProgram(exe, [](HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; });
    std::string error;
    ASSERT_TRUE(
        d.Get<handset::Resources>().Attach(exe, {kSampleRes, kSampleResSize}, "sample.res", &error))
        << error;
    HMODULE module = d.ProgramModule(exe);
    DWORD took = 0;
    BOOL missing = TRUE;
    DWORD missingError = 0;
    d.Call([&] {
        DWORD start = GetTickCount();
        EXPECT_TRUE(PlaySoundW(MAKEINTRESOURCE(200), module, SND_RESOURCE));
        took = GetTickCount() - start;
        missing = PlaySoundW(MAKEINTRESOURCE(201), module, SND_RESOURCE | SND_NODEFAULT);
        missingError = GetLastError();
    });
    EXPECT_EQ(314u, took) << "6904 bytes at 22050 bytes/s, rounded up";
    EXPECT_FALSE(missing);
    EXPECT_EQ(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND), missingError);
    ASSERT_EQ(1u, d.Get<Audio>().Playbacks().size());
    const handset::Playback& p = d.Get<Audio>().Playbacks()[0];
    EXPECT_TRUE(p.viaPlaySound);
    EXPECT_EQ(6904u, p.data.size());
    EXPECT_EQ(
        std::make_tuple(DWORD(11025), WORD(16), WORD(1)),
        std::make_tuple(p.format.nSamplesPerSec, p.format.wBitsPerSample, p.format.nChannels));
}
