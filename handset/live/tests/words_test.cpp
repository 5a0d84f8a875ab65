// The live phone in words: what a person did is written as scenario lines
// that read back as the same steps, and a phone's files open the script.
#include <gtest/gtest.h>

#include "live/words.h"

using namespace handset::live;
using namespace handset::script;

namespace {

Recorded Stylus(Ms t, step::Stylus::Move m, LONG x, LONG y) {
    return {t, step::Stylus{m, {x, y}}};
}
Recorded Key(Ms t, bool down) {
    return {t, step::Key{down, VK_RETURN, "centre"}};
}
constexpr auto Down = step::Stylus::Move::Down, Move = step::Stylus::Move::Move,
               Up = step::Stylus::Move::Up;

// The lines after the opening ones.
std::string Body(const std::vector<Recorded>& inputs, Ms end) {
    std::string text = ScenarioText("install\n", inputs, end);
    return text.substr(text.find("install\n") + 8);
}

} // namespace

TEST(LiveWords, InputsAreWrittenAsTheShapesTheyMake) {
    struct Case {
        int line;
        std::vector<Recorded> inputs;
        Ms end;
        const char* body;
    } cases[] = {
        {__LINE__,
         {Stylus(1000, Down, 10, 20), Stylus(1080, Up, 10, 20)},
         2000,
         "at 1s\ntap 10,20 for 80ms\nat 2s\n"},
        {__LINE__,
         {Stylus(500, Down, 10, 20), Stylus(600, Up, 10, 20)},
         600,
         "at 500ms\ntap 10,20\n"},
        {__LINE__,
         {Stylus(0, Down, 10, 20), Stylus(40, Move, 30, 20), Stylus(90, Up, 30, 20)},
         90,
         "at 0s\nstylus down 10,20\nat 40ms\nstylus move 30,20\nat 90ms\nstylus up 30,20\n"},
        {__LINE__,
         {Stylus(0, Down, 10, 20), Stylus(0, Up, 11, 20)},
         0,
         "at 0s\nstylus down 10,20\nat 0s\nstylus up 11,20\n"},
        {__LINE__, {Key(3000, true), Key(3150, false)}, 3150, "at 3s\npress centre for 150ms\n"},
        {__LINE__,
         {Key(0, true), {10, step::IncomingCall{u"0123", false, true}}, Key(20, false)},
         20,
         "at 0s\nkey down centre\nat 10ms\ngsm call 0123 data\nat 20ms\nkey up centre\n"},
        {__LINE__,
         {{5, step::Gsm{step::Gsm::Verb::Cancel, u""}},
          {6, step::IncomingCall{u"", true, false}},
          {7, step::Dial{u"+447700900123", false}}},
         7,
         "at 5ms\ngsm cancel\nat 6ms\ngsm call withheld\nat 7ms\ndial +447700900123\n"},
    };
    for (const Case& c : cases) {
        std::string body = Body(c.inputs, c.end);
        EXPECT_EQ(c.body, body) << "line " << c.line;
        // What is written reads back.
        Script s;
        std::vector<Error> errors;
        EXPECT_TRUE(Parse("install\n" + body, "saved.scenario", ".", &s, &errors))
            << "line " << c.line << ": " << (errors.empty() ? "" : errors[0].Text());
    }
}

TEST(LiveWords, APhonesFilesOpenTheScript) {
    std::string vcf = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Anna;;;\r\nTEL;TYPE=CELL:+44 7700 "
                      "900123\r\nTEL;TYPE=WORK:020 7946 0018\r\nEND:VCARD\r\n";
    std::string reg = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Apps\\Tessaril]\r\n"
                      "\"TempUnlockDelay\"=dword:00000006\r\n\"TurnOffScr\"=dword:00000000\r\n";
    std::string error;
    auto lines = OpeningLines({480, 640, 192}, &vcf, "anna.vcf", &reg, "phone.reg", &error);
    ASSERT_TRUE(lines) << error;
    EXPECT_EQ("screen 480x640\n"
              "contact \"Anna Smith\" mobile +44 7700 900123\n"
              "contact \"Anna Smith\" work 020 7946 0018\n"
              "set TempUnlockDelay 6 # 8 sec\n"
              "set TurnOffScr 0 # Never\n"
              "install\nstart Tessaril\n",
              *lines);
    std::string broken = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"A\"=dword:zz\r\n";
    EXPECT_FALSE(OpeningLines({}, nullptr, "", &broken, "broken.reg", &error));
    EXPECT_NE(std::string::npos, error.find("broken.reg")) << error;
}
