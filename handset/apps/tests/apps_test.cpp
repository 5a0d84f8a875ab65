// The phone's programs: the Phone program's buttons under a tap, the window
// that keeps taps from them, and pictures of the screens to look at.
#include <gtest/gtest.h>

#include <string>

#include "apps/apps.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "pim/store.h"
#include "registry/registry.h"
#include "tapi/network.h"
#include "testing/testing.h"
#include "user/input.h"
#include "user/window_manager.h"

using handset::Device;
using handset::apps::PhoneButton;

namespace {

// A full-screen window that swallows every tap, as the lock window does.
DWORD StartCover(Device& d) {
    DWORD pid = d.StartProcess("cover", [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"Cover";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        RegisterClassW(&wc);
        CreateWindowExW(0, u"Cover", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                        nullptr, nullptr);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0)
            DispatchMessageW(&m);
        return DWORD(0);
    });
    d.RunUntilIdle();
    return pid;
}

handset::CallId ConnectedCall(Device& d) {
    auto& net = d.Get<handset::CellularNetwork>();
    DWORD line = net.AddStandardLines();
    handset::CallId call = net.Incoming(line, u"+44 20 7946 0018");
    d.RunUntilIdle();
    net.Connect(call);
    d.RunFor(42000);
    return call;
}

} // namespace

TEST(PhoneProgram, EndDropsTheCallWhenATapReachesIt) {
    struct Case {
        int line;
        bool covered;
        DWORD state; // afterwards
    } cases[] = {
        {__LINE__, false, LINECALLSTATE_IDLE},
        {__LINE__, true, LINECALLSTATE_CONNECTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Device d;
        handset::apps::StartPhoneShell(d);
        handset::CallId call = ConnectedCall(d);
        auto& wm = d.Get<handset::WindowManager>();
        EXPECT_EQ(handset::apps::PhoneWindow(d), wm.Foreground()) << "an offered call brings it up";
        if (c.covered) StartCover(d);
        handset::Tap(d, handset::Centre(handset::apps::PhoneButtonRect(d, PhoneButton::End)));
        EXPECT_EQ(handset::CallStateName(c.state),
                  std::string(
                      handset::CallStateName(d.Get<handset::CellularNetwork>().Call(call).state)));
        EXPECT_EQ(c.covered ? 0u : 1u, d.timeline().Count("phone.end"));
    }
}

TEST(PhoneProgram, HoldAndMuteFollowTheirTaps) {
    Device d;
    handset::apps::StartPhoneShell(d);
    handset::CallId call = ConnectedCall(d);
    auto& net = d.Get<handset::CellularNetwork>();
    POINT hold = handset::Centre(handset::apps::PhoneButtonRect(d, PhoneButton::Hold));
    POINT mute = handset::Centre(handset::apps::PhoneButtonRect(d, PhoneButton::Mute));
    handset::Tap(d, hold);
    EXPECT_EQ(DWORD(LINECALLSTATE_ONHOLD), net.Call(call).state);
    handset::Tap(d, hold);
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), net.Call(call).state);
    handset::Tap(d, mute);
    EXPECT_TRUE(handset::apps::PhoneMuted(d));
    // Down on Mute, up on Hold: no button was pressed.
    handset::Drag(d, mute, hold);
    EXPECT_TRUE(handset::apps::PhoneMuted(d));
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), net.Call(call).state);
}

TEST(PhoneProgram, AnOfferedCallIsAnsweredByTheFirstButtonOrTheTalkKey) {
    struct Case {
        int line;
        bool tap; // the button, or else the talk key
    } cases[] = {{__LINE__, true}, {__LINE__, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Device d;
        handset::apps::StartPhoneShell(d);
        auto& net = d.Get<handset::CellularNetwork>();
        handset::CallId call = net.Incoming(net.AddStandardLines(), u"07700900123");
        d.RunUntilIdle();
        if (c.tap)
            handset::Tap(d, handset::Centre(handset::apps::PhoneButtonRect(d, PhoneButton::Hold)));
        else
            handset::PressKey(d, VK_TTALK);
        EXPECT_EQ(std::string("connected"), handset::CallStateName(net.Call(call).state));
        EXPECT_EQ(1u, d.timeline().Count("phone.answer"));
    }
}

// Screenshots at both sizes: the Today screen, the Phone program during a
// call, and a message box over it. The checks hold the pictures' landmarks.
TEST(Screenshots, TodayPhoneAndMessageBox) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        Device d;
        d.Get<handset::Screen>().SetSize(240 * scale, 320 * scale, 96 * scale);
        d.Get<handset::Registry>().SetString(HKEY_CURRENT_USER, handset::apps::kOwnerKey,
                                             handset::apps::kOwnerValue, u"Ann Example");
        d.Get<handset::PimStore>().Add({.firstName = u"Grace",
                                        .lastName = u"Hopper",
                                        .mobileTelephoneNumber = u"+44 (20) 7946-0018"});
        handset::apps::StartPhoneShell(d);
        auto& screen = d.Get<handset::Screen>();
        std::string size = std::to_string(240 * scale) + "x" + std::to_string(320 * scale);
        auto save = [&](const std::string& name) {
            std::string error,
                path = std::string(APPS_PICTURE_DIR) + "/" + name + "_" + size + ".png";
            EXPECT_TRUE(screen.SaveScreenshot(path, handset::Screen::Shot::Raw, &error)) << error;
        };
        auto pixel = [&](int x, int y) { return screen.Pixel(x * scale, y * scale); };
        save("today");
        EXPECT_EQ(handset::gdi::ToRgb565(RGB(226, 236, 248)), pixel(120, 200))
            << "Today's background";

        ConnectedCall(d);
        save("phone");
        RECT end = handset::apps::PhoneButtonRect(d, PhoneButton::End);
        EXPECT_EQ(handset::gdi::ToRgb565(RGB(200, 32, 32)),
                  screen.Pixel(end.left + 3 * scale, end.top + 3 * scale))
            << "End is red";

        DWORD asker = d.StartProcess("asker", [] {
            MessageBoxW(nullptr, u"The call could not be put on hold.", u"Phone",
                        MB_OK | MB_ICONEXCLAMATION);
            return DWORD(0);
        });
        d.RunUntilIdle();
        save("msgbox");
        const handset::MessageBoxInfo* box = d.Get<handset::WindowManager>().OpenMessageBox();
        ASSERT_NE(nullptr, box);
        handset::AnswerMessageBox(d, IDOK);
        EXPECT_FALSE(d.ProcessRunning(asker));
    }
}
