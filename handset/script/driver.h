// The hand on the phone: a fresh handset (the Today screen, the Phone
// program and the cellular line) and the steps of the scenario language that
// act on it (contacts and settings, installing and starting the programs,
// the network's calls, taps, drags and keys) through the driver calls the
// tests use. The scenario runner adds time, expectations and shots on top;
// the live phone feeds it what a person does in the page, so both drive the
// phone alike.
#pragma once

#include <optional>
#include <string>

#include "device/device.h"
#include "script/script.h"
#include "tapi/network.h"
#include "user/window_manager.h"

namespace handset::script {

class Driver {
  public:
    // A phone with its shell running, at the size.
    explicit Driver(ScreenSize size);

    Device& device() { return d_; }
    CellularNetwork& Net() { return d_.Get<CellularNetwork>(); }
    WindowManager& Windows() { return d_.Get<WindowManager>(); }
    HWND LockWindow();

    // Whether the step is one Act takes (not time, expectations, shots or
    // random input, which are the runner's).
    static bool Acts(const Action& a);
    // Does the step; what stood in its way (nothing was done then), or
    // nothing. A step Act does not take is the caller's mistake and fatal.
    std::optional<std::string> Act(const Step& step);

    // The newest process of the program, running or ended; 0 when none.
    DWORD LastProcess(Program p);
    // "X,Y is outside the screen of WxH", or nothing.
    std::optional<std::string> Outside(POINT p);
    // The calls under way (neither idle nor disconnected).
    std::vector<NetworkCall> CallsUnderWay();
    // " on the sheet's page Main (tap a tab first)", where a sheet is open.
    std::string OnTop();
    // The box a label names: the first combo box after it among its siblings.
    HWND LabelledBox(HWND label);

  private:
    struct Visitor;

    Device d_;
    DWORD cell_ = 0;
};

// The digits of a number, for matching "+44 7700 900123" with 07700900123.
std::string Digits(std::u16string_view number);

} // namespace handset::script
