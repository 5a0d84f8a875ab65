// The Phone program (\Windows\cprog.exe): a window over the work area that
// shows the network's current call (the contact's name where one of the
// contact store's numbers matches, the number, the state and the call time,
// refreshed each second) with Hold, Mute and End buttons; while a call is
// offered the first reads Answer, as does the talk key. It follows the
// calls through the cellular network's listener and acts on them through
// the network's driving half, as the phone's own call program does below
// TAPI. It comes to the front when a call is offered or placed, and hides
// three seconds after the call ends.
#include <windows.h>

#include <string>

#include "apps/programs.h"
#include "device/platform.h"
#include "pim/store.h"
#include "user/window_manager.h"

namespace handset::apps {

namespace {

constexpr UINT kCallChanged = WM_APP + 1; // wParam: the call's id
constexpr UINT kClockTimer = 1;
constexpr UINT kHideTimer = 2;
constexpr uint64_t kHideAfterMs = 3000;

const COLORREF kBackground = RGB(244, 247, 251);
const COLORREF kInk = RGB(16, 24, 40);
const COLORREF kStatusInk = RGB(48, 88, 150);
const COLORREF kFace = RGB(226, 231, 238);
const COLORREF kEdge = RGB(112, 124, 146);
const COLORREF kGreyed = RGB(160, 166, 176);
const COLORREF kEndRed = RGB(200, 32, 32);

const char16_t* const kButtonNames[] = {u"Hold", u"Mute", u"End"};

std::u16string Digits(std::u16string_view number) {
    std::u16string digits;
    for (char16_t c : number)
        if (c >= u'0' && c <= u'9') digits += c;
    return digits;
}

// The name of the first contact with a number whose digits are the call's.
std::u16string ContactName(std::u16string_view number) {
    std::u16string wanted = Digits(number);
    if (wanted.empty()) return u"";
    const PimStore& store = Platform::Current().Get<PimStore>();
    for (size_t i = 0; i < store.Count(); ++i) {
        const ContactRecord& c = *store.At(i);
        for (const auto* field :
             {&c.mobileTelephoneNumber, &c.homeTelephoneNumber, &c.home2TelephoneNumber,
              &c.businessTelephoneNumber, &c.business2TelephoneNumber, &c.carTelephoneNumber,
              &c.radioTelephoneNumber})
            if (Digits(*field) == wanted) {
                std::u16string name = c.firstName;
                if (!c.lastName.empty()) name += (name.empty() ? u"" : u" ") + c.lastName;
                if (name.empty()) name = c.fileAs.empty() ? c.companyName : c.fileAs;
                return name;
            }
    }
    return u"";
}

const NetworkCall* Shown() {
    PhoneState& p = State().phone;
    return p.call ? &Network().Call(p.call) : nullptr;
}

bool Live(DWORD state) {
    return state != LINECALLSTATE_IDLE && state != LINECALLSTATE_DISCONNECTED;
}

std::u16string StatusText(DWORD state) {
    switch (state) {
    case LINECALLSTATE_OFFERING:
    case LINECALLSTATE_ACCEPTED:
        return u"Incoming call";
    case LINECALLSTATE_DIALING:
    case LINECALLSTATE_PROCEEDING:
        return u"Dialing...";
    case LINECALLSTATE_RINGBACK:
        return u"Ringing...";
    case LINECALLSTATE_CONNECTED:
        return u"Connected";
    case LINECALLSTATE_ONHOLD:
        return u"On hold";
    case LINECALLSTATE_BUSY:
        return u"Busy";
    default:
        return u"Call ended";
    }
}

// "0:42", or "1:02:03" past the hour.
std::u16string CallTime(uint64_t ms) {
    uint64_t s = ms / 1000;
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%u:%02u:%02u", unsigned(s / 3600), unsigned(s / 60 % 60),
                      unsigned(s % 60));
    else
        std::snprintf(text, sizeof text, "%u:%02u", unsigned(s / 60), unsigned(s % 60));
    return Widen(text);
}

bool Enabled(int button, DWORD state) {
    switch (button) {
    case 0: // Hold, or Answer while offered
        return state == LINECALLSTATE_CONNECTED || state == LINECALLSTATE_ONHOLD ||
               state == LINECALLSTATE_OFFERING;
    case 1: // Mute
        return state == LINECALLSTATE_CONNECTED || state == LINECALLSTATE_ONHOLD;
    default: // End
        return Live(state);
    }
}

void Paint(HWND hwnd) {
    int s = Scale();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT all;
    GetClientRect(hwnd, &all);
    FillColour(dc, all, kBackground);
    PhoneLayout l = LayOutPhone(all.right, all.bottom, s);
    const PhoneState& p = State().phone;
    const NetworkCall* call = Shown();
    DWORD state = call ? call->state : LINECALLSTATE_IDLE;
    if (call) {
        DrawLabel(dc, l.status, StatusText(state), 12 * s, true, kStatusInk,
                  DT_SINGLELINE | DT_VCENTER);
        std::u16string name = ContactName(call->number);
        std::u16string number = call->number.empty() ? u"Unknown caller" : call->number;
        DrawLabel(dc, l.name, name.empty() ? number : name, 18 * s, true, kInk,
                  DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS);
        if (!name.empty())
            DrawLabel(dc, l.number, number, 12 * s, false, kInk, DT_SINGLELINE | DT_VCENTER);
        if (p.connected) {
            uint64_t until = p.ended ? p.endedAt : Platform::Current().Now();
            DrawLabel(dc, l.time, CallTime(until - p.connectedAt), 24 * s, true, kInk,
                      DT_SINGLELINE | DT_VCENTER);
        }
    }
    for (int i = 0; i < 3; ++i) {
        bool enabled = Enabled(i, state);
        bool down = p.pressed == i;
        COLORREF face = i == 2 ? kEndRed : (i == 1 && p.muted ? RGB(255, 214, 110) : kFace);
        FillColour(dc, l.buttons[i], down ? kInk : face);
        FrameColour(dc, l.buttons[i], s, i == 2 ? RGB(120, 16, 16) : kEdge);
        std::u16string label = kButtonNames[i];
        if (i == 0 && state == LINECALLSTATE_ONHOLD) label = u"Unhold";
        if (i == 0 && state == LINECALLSTATE_OFFERING) label = u"Answer";
        if (i == 1 && p.muted) label = u"Unmute";
        COLORREF ink = !enabled ? kGreyed : (i == 2 || down ? RGB(255, 255, 255) : kInk);
        DrawLabel(dc, l.buttons[i], label, 13 * s, true, ink,
                  DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
    EndPaint(hwnd, &ps);
}

void Press(HWND hwnd, int button) {
    const NetworkCall* call = Shown();
    if (!call || !Enabled(button, call->state)) return;
    PhoneState& p = State().phone;
    Platform& d = Platform::Current();
    CallId id = call->id;
    switch (button) {
    case 0:
        if (call->state == LINECALLSTATE_OFFERING) {
            d.timeline().Record("phone.answer", {{"call", id}});
            Network().Connect(id);
            break;
        }
        d.timeline().Record(call->state == LINECALLSTATE_ONHOLD ? "phone.resume" : "phone.hold",
                            {{"call", id}});
        if (call->state == LINECALLSTATE_ONHOLD)
            Network().Resume(id);
        else
            Network().Hold(id);
        break;
    case 1:
        p.muted = !p.muted;
        d.timeline().Record("phone.mute", {{"call", id}, {"on", p.muted ? 1 : 0}});
        break;
    default:
        // An offered call is turned down; any other is hung up.
        d.timeline().Record("phone.end", {{"call", id}});
        Network().HangUp(id, call->state == LINECALLSTATE_OFFERING ? LINEDISCONNECTMODE_REJECT
                                                                   : LINEDISCONNECTMODE_NORMAL);
        break;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

void CallChanged(HWND hwnd, CallId id) {
    PhoneState& p = State().phone;
    const NetworkCall& call = Network().Call(id);
    if (call.options.mediaMode != LINEMEDIAMODE_INTERACTIVEVOICE) return;
    bool placedOrOffered =
        call.state == LINECALLSTATE_OFFERING || call.state == LINECALLSTATE_DIALING;
    if (p.call != id) {
        bool adopt = placedOrOffered || (!Shown() && Live(call.state));
        if (!adopt) return;
        PhoneState fresh;
        fresh.window = p.window;
        fresh.tid = p.tid;
        fresh.listener = p.listener;
        fresh.call = id;
        p = fresh;
        KillTimer(hwnd, kHideTimer);
        SetTimer(hwnd, kClockTimer, 1000, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
    }
    Platform& d = Platform::Current();
    if (call.state == LINECALLSTATE_CONNECTED && !p.connected) {
        p.connected = true;
        p.connectedAt = d.Now();
    }
    if (!Live(call.state) && !p.ended) {
        p.ended = true;
        p.endedAt = d.Now();
        KillTimer(hwnd, kClockTimer);
        SetTimer(hwnd, kHideTimer, kHideAfterMs, nullptr);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

int ButtonAt(HWND hwnd, LPARAM at) {
    RECT all;
    GetClientRect(hwnd, &all);
    PhoneLayout l = LayOutPhone(all.right, all.bottom, Scale());
    POINT p{static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))};
    for (int i = 0; i < 3; ++i) {
        const RECT& r = l.buttons[i];
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return i;
    }
    return -1;
}

LRESULT CALLBACK PhoneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    PhoneState& p = State().phone;
    switch (message) {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case kCallChanged:
        CallChanged(hwnd, static_cast<CallId>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kHideTimer) {
            KillTimer(hwnd, kHideTimer);
            ShowWindow(hwnd, SW_HIDE);
            p.call = 0;
        } else {
            InvalidateRect(hwnd, nullptr, FALSE); // the call time
        }
        return 0;
    case WM_LBUTTONDOWN:
        p.pressed = ButtonAt(hwnd, lParam);
        if (p.pressed >= 0) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        int pressed = p.pressed;
        p.pressed = -1;
        if (pressed >= 0 && ButtonAt(hwnd, lParam) == pressed) Press(hwnd, pressed);
        if (pressed >= 0) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_TEND) Press(hwnd, 2); // the red key
        if (wParam == VK_TTALK && Shown() && Shown()->state == LINECALLSTATE_OFFERING)
            Press(hwnd, 0); // the green key answers
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

PhoneLayout LayOutPhone(LONG width, LONG height, int s) {
    PhoneLayout l{};
    l.status = {8 * s, 6 * s, width - 8 * s, 26 * s};
    l.name = {8 * s, 28 * s, width - 8 * s, 56 * s};
    l.number = {8 * s, 56 * s, width - 8 * s, 74 * s};
    l.time = {8 * s, 80 * s, width - 8 * s, 116 * s};
    LONG gap = 6 * s, bottom = height - 8 * s, top = bottom - 40 * s;
    LONG each = (width - 16 * s - 2 * gap) / 3;
    for (int i = 0; i < 3; ++i) {
        LONG left = 8 * s + i * (each + gap);
        l.buttons[i] = {left, top, left + each, bottom};
    }
    return l;
}

int PhoneMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PhoneProc;
    wc.hInstance = instance;
    wc.lpszClassName = u"MSCprog";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"MSCprog", u"Phone", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    PhoneState& p = State().phone;
    p = PhoneState{};
    p.window = hwnd;
    p.tid = GetCurrentThreadId();
    Platform& d = Platform::Current();
    p.listener = Network().AddListener([tid = p.tid, &d](const NetworkCall& call) {
        d.Get<WindowManager>().PostToThread(tid, kCallChanged, call.id, 0);
    });
    MSG m;
    // The posted notices carry no window: they are the program's own.
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.message == kCallChanged && !m.hwnd) m.hwnd = hwnd;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    Network().RemoveListener(p.listener);
    return 0;
}

} // namespace handset::apps
