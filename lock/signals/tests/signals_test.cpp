// The lock program's signals on the handset: its two sounds played from its
// real resources (format, volume, gain class, loudspeaker, timing), the stop
// of a sound that outlasts the wait, the failures that play nothing, the
// speaker's WAV, the vibration pulse and the backlight.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "audio/audio.h"
#include "common/bytes.h"
#include "device/device.h"
#include "lock_resources.h"
#include "power/power.h"
#include "res/resources.h"
#include "signals/signals.h"
#include "testing/testing.h"

using handset::Audio;
using handset::Device;
using handset::Playback;
using handset::Power;

// AddressSanitizer gives each frame of this program a place of its own on
// a fake stack, so that a write into a frame that has returned is caught.
extern "C" const char* __asan_default_options() {
    return "detect_stack_use_after_return=1";
}

namespace {

const char16_t kTessaril[] = u"\\Program Files\\Tessaril\\Tessaril.exe";
const char16_t kOther[] = u"\\Program Files\\Test\\Sounds.exe";

std::function<void(HINSTANCE)> g_body;
int Main(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    g_body(instance);
    return 0;
}

using Bytes = std::vector<unsigned char>;

// A .res image of WAVE resources, laid out as a resource compiler writes it.
Bytes WaveRes(const std::vector<std::pair<uint16_t, Bytes>>& waves) {
    Bytes out;
    auto entry = [&](bool empty, uint16_t id, const Bytes& data) {
        Bytes ids;
        auto put16 = [&](uint16_t v) { handset::PutLe16(ids, v); };
        if (empty) {
            put16(0xFFFF), put16(0), put16(0xFFFF), put16(0);
        } else {
            for (char16_t c : std::u16string(u"WAVE"))
                put16(c);
            put16(0), put16(0xFFFF), put16(id);
        }
        while (ids.size() % 4)
            ids.push_back(0);
        handset::PutLe32(out, uint32_t(data.size()));
        handset::PutLe32(out, uint32_t(8 + ids.size() + 16));
        out.insert(out.end(), ids.begin(), ids.end());
        for (int i = 0; i < 4; ++i)
            handset::PutLe32(out, 0); // versions, flags, language, characteristics
        out.insert(out.end(), data.begin(), data.end());
        while (out.size() % 4)
            out.push_back(0);
    };
    entry(true, 0, {});
    for (const auto& [id, data] : waves)
        entry(false, id, data);
    return out;
}

// 16-bit mono PCM at 11025 samples/s, as long as asked.
Bytes MonoWave(uint32_t ms) {
    const uint32_t bytes = ms * 22050 / 1000;
    Bytes out = {'R', 'I', 'F', 'F'};
    handset::PutLe32(out, 36 + bytes);
    for (char c : std::string("WAVEfmt "))
        out.push_back(c);
    for (uint32_t v : {16u, 0x00010001u, 11025u, 22050u, 0x00100002u})
        handset::PutLe32(out, v);
    for (char c : std::string("data"))
        out.push_back(c);
    handset::PutLe32(out, bytes);
    out.resize(out.size() + bytes, 0x11);
    return out;
}

// The lock program with its real resources, and a second program whose
// WAVE 131 is a 3 s sound and 140 no wave at all.
struct Phone {
    Device d;
    Phone() {
        static const Bytes other = WaveRes({{131, MonoWave(3000)}, {140, Bytes(48, 'x')}});
        std::string error;
        for (auto [exe, res] :
             {std::pair{kTessaril, Bytes(kTessarilRes, kTessarilRes + kTessarilResSize)},
              std::pair{kOther, other}}) {
            d.RegisterProgram(exe, Main);
            EXPECT_TRUE(d.Get<handset::Resources>().Attach(exe, res, "test", &error)) << error;
        }
    }
    // Runs the body as the program's main routine; its process id.
    DWORD Run(const char16_t* exe, std::function<void(HINSTANCE)> body) {
        g_body = std::move(body);
        DWORD pid = d.StartProgram(exe);
        EXPECT_TRUE(d.RunUntilExit(pid, 60000));
        return pid;
    }
    const std::vector<Playback>& Playbacks() { return d.Get<Audio>().Playbacks(); }
};

} // namespace

TEST(PlayWaveResource, PlaysTheSignalsAsAskedAndStopsWhatOutlastsTheWait) {
    struct Case {
        int line;
        const char16_t* program;
        UINT id;
        BOOL keepVolume, forceSpeaker;
        const char* fault; // this call fails once
        DWORD tookMs;
        size_t bytes; // played, 0: nothing
        DWORD volume;
        bool finished;
    } cases[] = {
        {__LINE__, kTessaril, 131, TRUE, TRUE, nullptr, 792, 17444, 0xFFFFFFFF, true},
        {__LINE__, kTessaril, 133, FALSE, FALSE, nullptr, 314, 6904, 0x0000FFFF, true},
        {__LINE__, kOther, 131, TRUE, FALSE, nullptr, 2000, 44100, 0xFFFFFFFF, false},
        {__LINE__, kTessaril, 132, TRUE, TRUE, nullptr, 0, 0},
        {__LINE__, kOther, 140, TRUE, TRUE, nullptr, 0, 0},
        {__LINE__, kTessaril, 131, TRUE, TRUE, "waveOutOpen", 0, 0},
        {__LINE__, kTessaril, 131, TRUE, TRUE, "waveOutPrepareHeader", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Phone phone;
        if (c.fault) phone.d.faults().FailNth(c.fault, 1, MMSYSERR_NOMEM);
        phone.d.RunFor(1000);
        DWORD took = 0;
        DWORD pid = phone.Run(c.program, [&](HINSTANCE instance) {
            DWORD start = GetTickCount();
            PlayWaveResource(instance, c.id, c.keepVolume, c.forceSpeaker);
            took = GetTickCount() - start;
        });
        EXPECT_EQ(c.tookMs, took);
        EXPECT_NOTHING_HELD(phone.d, pid);
        ASSERT_EQ(c.bytes ? 1u : 0u, phone.Playbacks().size());
        if (!c.bytes) continue;
        const Playback& p = phone.Playbacks()[0];
        EXPECT_EQ(c.program, p.program);
        EXPECT_EQ(std::make_tuple(WORD(WAVE_FORMAT_PCM), WORD(1), DWORD(11025), DWORD(22050),
                                  WORD(2), WORD(16), WORD(0)),
                  std::make_tuple(p.format.wFormatTag, p.format.nChannels, p.format.nSamplesPerSec,
                                  p.format.nAvgBytesPerSec, p.format.nBlockAlign,
                                  p.format.wBitsPerSample, p.format.cbSize));
        EXPECT_EQ(c.volume, p.volume);
        EXPECT_EQ(DWORD(2), p.gainClass);
        EXPECT_EQ(c.forceSpeaker != FALSE, p.speakerForced);
        EXPECT_EQ(1000u, p.start);
        EXPECT_EQ(1000u + c.tookMs, p.end);
        EXPECT_EQ(c.finished, p.finished);
        EXPECT_EQ(c.bytes, p.PlayedBytes(p.end));
    }
}

// The wait ends before the sound (the wait fails, or the sound outlasts
// it) and the output cannot be stopped, so PlayWaveResource returns while
// the output still plays the buffer, whose end the driver then marks in the
// buffer's header: a header in PlayWaveResource's frame would be written
// after the frame is gone (AddressSanitizer reports it, its fake stack
// keeping returned frames apart). The next sound gets the output back.
TEST(PlayWaveResource, AnOutputThatCannotBeStoppedWritesIntoNoReturnedFrame) {
    struct Case {
        int line;
        const char16_t* program; // its WAVE 131
        bool waitFails;
        uint64_t firstEnd; // when the first sound played out
    } cases[] = {
        {__LINE__, kTessaril, true, 1792}, // the chime, 0.8 s
        {__LINE__, kOther, false, 4000},   // 3 s
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Phone phone;
        phone.d.RunFor(1000);
        int outputsAfter = -1;
        DWORD pid = phone.Run(c.program, [&](HINSTANCE instance) {
            auto& faults = handset::Platform::Current().faults();
            DWORD self = GetCurrentProcessId();
            if (c.waitFails)
                faults.Add({.function = "WaitForSingleObject",
                            .error = ERROR_INVALID_HANDLE,
                            .nth = 1,
                            .pid = self});
            faults.Add({.function = "waveOutReset", .error = MMSYSERR_NODRIVER, .pid = self});
            PlayWaveResource(instance, 131, TRUE, TRUE);
            faults.Clear();
            Sleep(5000); // the first sound plays out meanwhile
            PlayWaveResource(instance, 131, TRUE, TRUE);
            outputsAfter = phone.d.Held(self, handset::kWaveOut);
        });
        EXPECT_EQ(0, outputsAfter) << "the first output was closed too";
        EXPECT_NOTHING_HELD(phone.d, pid);
        ASSERT_EQ(2u, phone.Playbacks().size());
        EXPECT_TRUE(phone.Playbacks()[0].finished);
        EXPECT_EQ(c.firstEnd, phone.Playbacks()[0].end);
    }
}

TEST(SpeakerWav, HoldsTheChimeAtItsTimeAfterSilence) {
    Phone phone;
    phone.d.RunFor(1000);
    phone.Run(kTessaril, [](HINSTANCE instance) { PlayWaveResource(instance, 131, TRUE, TRUE); });
    const auto path = std::filesystem::path(::testing::TempDir()) / "speaker.wav";
    std::string error;
    ASSERT_TRUE(phone.d.Get<Audio>().WriteSpeakerWav(path.string(), &error)) << error;
    std::ifstream in(path, std::ios::binary);
    const Bytes wav{std::istreambuf_iterator<char>(in), {}};

    // 1.792 s at 11025 samples/s, the chime from sample 11025 (1 s) on.
    const uint32_t samples = 19757;
    ASSERT_EQ(44u + 2 * samples, wav.size());
    const unsigned char* w = wav.data();
    EXPECT_EQ("RIFF", std::string(w, w + 4));
    EXPECT_EQ(36 + 2 * samples, handset::GetLe32(w + 4));
    EXPECT_EQ("WAVEfmt ", std::string(w + 8, w + 16));
    EXPECT_EQ(std::make_tuple(16u, 1, 1, 11025u, 22050u, 2, 16),
              std::make_tuple(handset::GetLe32(w + 16), handset::GetLe16(w + 20),
                              handset::GetLe16(w + 22), handset::GetLe32(w + 24),
                              handset::GetLe32(w + 28), handset::GetLe16(w + 32),
                              handset::GetLe16(w + 34)));
    EXPECT_EQ("data", std::string(w + 36, w + 40));
    EXPECT_EQ(2 * samples, handset::GetLe32(w + 40));
    const Bytes silence(2 * 11025, 0);
    EXPECT_TRUE(std::equal(silence.begin(), silence.end(), w + 44)) << "nothing before the chime";
    const handset::ResEntry* chime = phone.d.Get<handset::Resources>()
                                         .Find(phone.d.ProgramModule(kTessaril))
                                         ->Find(u"WAVE", 131);
    const unsigned char* at = w + 44 + 2 * 11025;
    EXPECT_TRUE(std::equal(chime->data.begin() + 44, chime->data.end(), at))
        << "the chime's samples, unchanged at full volume";
}

TEST(Signals, AVibrationPulseKeepsTheVibratorOnFor400Ms) {
    Phone phone;
    phone.d.RunFor(500);
    DWORD returned = 0;
    DWORD pid = phone.Run(kTessaril, [&](HINSTANCE) {
        VibratePulse();
        returned = GetTickCount();
    });
    const auto& history = phone.d.Get<Power>().LedHistory();
    ASSERT_EQ(2u, history.size());
    EXPECT_EQ(
        std::make_tuple(500u, 1u, NLED_ON),
        std::make_tuple(history[0].at, history[0].settings.LedNum, history[0].settings.OffOnBlink));
    EXPECT_EQ(
        std::make_tuple(900u, 1u, NLED_OFF),
        std::make_tuple(history[1].at, history[1].settings.LedNum, history[1].settings.OffOnBlink));
    EXPECT_EQ(900u, returned) << "returns once the vibrator is off";
    EXPECT_FALSE(phone.d.Get<Power>().LedOn(1));
    EXPECT_NOTHING_HELD(phone.d, pid);
}

TEST(Signals, BacklightOffForcesD4AndOnForcesD0ThenGivesItBack) {
    Phone phone;
    bool darkBetween = false;
    phone.Run(kTessaril, [&](HINSTANCE) {
        BacklightOff();
        Sleep(5000);
        darkBetween = !handset::Platform::Current().Get<Power>().BacklightOn();
        BacklightOn();
    });
    EXPECT_TRUE(darkBetween);
    EXPECT_TRUE(phone.d.Get<Power>().BacklightOn());
    EXPECT_FALSE(phone.d.Get<Power>().BacklightForced());
    const auto& history = phone.d.Get<Power>().BacklightHistory();
    ASSERT_EQ(3u, history.size());
    const int want[][3] = {{0, D4, D4}, {5000, D0, D0}, {5000, PwrDeviceUnspecified, D0}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::make_tuple(uint64_t(want[i][0]), want[i][1], want[i][2],
                                  DWORD(POWER_NAME | POWER_FORCE)),
                  std::make_tuple(history[i].at, int(history[i].requested), int(history[i].state),
                                  history[i].flags));
    }
}
