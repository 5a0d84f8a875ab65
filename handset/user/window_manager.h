// The window manager: window classes, top-level windows in their z-order,
// activation and keyboard focus, painting, window timers, the stylus and the
// keys, and message boxes. Thread message queues (queue.h) are its state for
// each thread; the platform calls (calls.cpp, paint.cpp, msgbox.cpp) act on
// it, and tests and scenarios drive and read it through its first half. Its
// own code is in window_manager.cpp (classes, windows), window_zorder.cpp,
// window_messages.cpp and window_input.cpp (input and timers).
//
// How the phone's screen works, and so the handset's:
// - No compositor. Windows paint straight onto the screen, each clipped to
//   what no visible window above it covers. Top-level windows are pop-ups
//   and overlapped windows without frames (the client area is the whole
//   window); owned windows stay above their owner. Child windows (dialog
//   controls, property sheet pages) lie within their parent, which does not
//   draw over them: on Windows CE every window clips its children and
//   siblings.
// - A process that is not marked high-resolution aware (its resources lack
//   CEUX HI_RES_AWARE = 1) sees a 96-dpi screen: on a 192-dpi screen its
//   windows' places, sizes, update regions and stylus points are in logical
//   pixels, each two physical pixels wide and high, and its device contexts
//   draw every logical pixel as a 2 x 2 block (Gdi::ScaleOf). Window::rect is
//   logical; the z-order, visibility and hit testing work on Physical().
// - Update regions hold only visible pixels. Invalidating a covered or hidden
//   part does nothing; a part that becomes visible (a window above is hidden,
//   moved or destroyed, or this one is shown or raised) is added to the
//   window's update region with an erase pending. GetMessageW makes WM_PAINT
//   from it; BeginPaint sends WM_ERASEBKGND when an erase is pending, and
//   DefWindowProcW fills with the class brush, unless the class has none or
//   NULL_BRUSH: then the screen keeps what was there.
// - Moving a window without repaint leaves its pixels where they were: the
//   program invalidates what it wants redrawn (as on the phone, whose blit of
//   the moved bits the handset does not do).
// - Messages the system sends a window of another thread (activation, focus,
//   show) are delivered there without waiting; SendMessageW waits for the
//   answer, serving messages sent to its own thread meanwhile.
// - A tap does not activate a window: programs come to the front through
//   SetForegroundWindow (the shell, the Phone program and ours all do).
// - Windows belong to their thread. When a thread ends, its windows are
//   destroyed without WM_DESTROY (the thread cannot run it); those of a
//   process's last thread stay until the process ends, so that Device::Held
//   counts them, and the handle table then destroys them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/area.h"
#include "device/handles.h"
#include "user/queue.h"
#include "user/region.h"

namespace handset {

class Platform;

void ReclaimWindow(Platform& platform, uintptr_t value, const HandleEntry& entry);
inline constexpr HandleKind kWindow{"window", "windows", ReclaimWindow};

struct WindowClass {
    ATOM atom = 0;
    DWORD pid = 0; // the process that registered it; 0 for the handset's own
    HINSTANCE instance = nullptr;
    std::u16string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HBRUSH background = nullptr;
};

struct Window {
    HWND handle = nullptr;
    DWORD pid = 0;
    DWORD tid = 0;
    std::shared_ptr<const WindowClass> cls;
    WNDPROC proc = nullptr;
    std::u16string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    // On the process's logical screen, children's too; the client area is
    // all of it.
    RECT rect = {};
    int scale = 1; // physical pixels per logical one
    HWND owner = nullptr;
    HWND parent = nullptr;      // a child window's; null for a top-level one
    std::vector<HWND> children; // topmost first
    int id = 0;                 // a child's control id
    LONG userData = 0;          // GWL_USERDATA
    // The state of a system class's window (a dialog's, a control's).
    std::shared_ptr<void> extra;
    bool visible = false;
    bool enabled = true;
    bool desktop = false;    // the shell's desktop: always at the bottom
    bool destroying = false; // DestroyWindow is under way
    bool destroyed = false;
    Region update; // client coordinates, within the visible part
    bool erase = false;
    HWND lastActiveOwned = nullptr;

    POINT Origin() const { return {rect.left, rect.top}; }
    RECT Physical() const {
        return {rect.left * scale, rect.top * scale, rect.right * scale, rect.bottom * scale};
    }
    LONG Width() const { return rect.right - rect.left; }
    LONG Height() const { return rect.bottom - rect.top; }
};

struct WindowTimer {
    HWND window = nullptr; // null: a thread timer, which has a TIMERPROC
    DWORD tid = 0;
    UINT id = 0;
    UINT period = 0;
    TIMERPROC proc = nullptr;
    uint64_t due = 0;
    uint64_t generation = 0; // of the expiry on the clock
    bool ready = false;      // expired, its WM_TIMER not yet taken
    uint64_t readySeq = 0;   // the order in which timers expired
};

// A message box as the driver sees it.
struct MessageBoxInfo {
    HWND window = nullptr;
    DWORD pid = 0;
    std::u16string text;
    std::u16string caption;
    UINT style = 0;
    std::vector<int> buttons;      // IDOK, ..., left to right
    std::vector<RECT> buttonRects; // on the screen, in the same order
    int answer = 0;                // 0 while it is open
    std::string answeredBy;        // "driver", "tap", "key", or "quit" (WM_QUIT closed it)
    int pressed = -1;              // the button the stylus is down on
};

class WindowManager final : public Area {
  public:
    explicit WindowManager(Platform& platform);
    ~WindowManager() override;

    // ---- Driving: for tests and scenarios ------------------------------------
    struct WindowInfo {
        HWND handle;
        DWORD pid;
        DWORD tid;
        std::u16string className;
        std::u16string title;
        RECT rect;
        bool visible;
        HWND owner;
        Region update; // client coordinates
        HWND parent;
        int id;
    };
    // Every top-level window, topmost first.
    std::vector<WindowInfo> Windows() const;
    // A window's children, topmost first.
    std::vector<HWND> Children(HWND window) const;
    std::optional<WindowInfo> Info(HWND window) const;
    // The topmost window of the class (and title, when given), visible or not.
    HWND FindByClass(std::u16string_view className, std::u16string_view title = {}) const;
    HWND Foreground() const { return foreground_; }
    // Where keys go: the focus window of the foreground window's thread.
    HWND KeyTarget() const;
    // The topmost visible window at a screen point, or null; within an
    // enabled window, its deepest visible and enabled child there.
    HWND WindowAt(POINT screen) const;
    // What of the window the screen shows, in screen coordinates.
    Region VisibleRegion(HWND window) const;
    // Timers alive, in the order they were set.
    std::vector<WindowTimer> Timers() const;

    // Input, delivered now: the stylus to the topmost visible window at its
    // point (client coordinates in lParam), keys to KeyTarget(). Each is
    // recorded on the timeline with the window and process that got it
    // (window 0 when nothing was there). Device-level helpers that also run
    // the clock are in input.h.
    void StylusDown(POINT screen);
    void StylusMove(POINT screen);
    void StylusUp(POINT screen);
    void KeyDown(UINT vk);
    void KeyUp(UINT vk);
    // A character from the input panel: WM_CHAR to KeyTarget().
    void Char(WCHAR c);

    // Message boxes shown so far, oldest first; the one open last, or null.
    const std::vector<MessageBoxInfo>& MessageBoxes() const { return boxes_; }
    const MessageBoxInfo* OpenMessageBox() const;
    // Answers the open message box (the newest) with one of its buttons, as
    // if it was pressed; fatal when none is open or it has no such button.
    void AnswerMessageBox(int button);

    // ---- For the shell and the phone's programs ------------------------------
    // Keeps the window below every other (the shell's desktop).
    void MakeDesktop(HWND window);
    // Into or out of the topmost band, raised to its top; or to the very
    // bottom of the z-order, out of the band.
    void SetTopmost(HWND window, bool topmost);
    void ToBottom(HWND window);
    // Called whenever the foreground window (null: none) or its title changes.
    void OnForegroundChange(std::function<void(HWND)> listener);
    // Posts to a thread from anywhere (the driver's context included),
    // without the fault plan: for the handset's own services.
    bool PostToThread(DWORD tid, UINT message, WPARAM wParam, LPARAM lParam);
    RECT ScreenRect() const;
    // The screen as the process sees it, and its scale (Gdi::ScaleOf).
    RECT LogicalScreen(DWORD pid) const;
    int ScaleOf(DWORD pid) const;
    // A popup that closes when the stylus goes down outside it (a dropped
    // combo box list, a menu): that tap only posts WM_CANCELMODE to it. One
    // at a time; null clears it.
    void SetDismissable(HWND popup) { dismissable_ = popup; }
    // A system window that follows the stylus past its edges (a scroll bar's
    // thumb, an arrow held down) asks, on the stylus going down, for its
    // moves and its lift, wherever they are; it has them until the lift.
    void CaptureStylus(HWND window) { capture_ = window; }
    // Soft keys (VK_F1, VK_F2) pressed while the foreground window has a
    // menu bar go to the handler, which says whether it took them.
    void OnSoftKey(std::function<bool(UINT vk, bool down)> handler) {
        softKeys_ = std::move(handler);
    }
    // The shell's strip at the top of the screen: 26 pixels at 96 dpi, in
    // proportion at other densities; the menu bar's at the bottom likewise.
    LONG TaskbarHeight() const;
    LONG MenuBarHeight() const { return TaskbarHeight(); }

    // ---- For the platform calls ------------------------------------------------
    MessageQueue& Own();
    MessageQueue* QueueOf(DWORD tid) const;
    std::shared_ptr<Window> Get(HWND window) const; // null unless a live window
    // The window itself for a top-level window, else its top-level ancestor.
    std::shared_ptr<Window> TopLevel(const std::shared_ptr<Window>& w) const;
    // Visible, and so are all its ancestors.
    bool Shown(const Window& w) const;
    // What the screen shows of the window in its client coordinates
    // (logical), a part-covered logical pixel included.
    Region VisibleClient(const Window& w) const;

    // A new class of the process; 0 when it has one of that name.
    ATOM AddClass(const WNDCLASSW& wc, DWORD pid);
    // By name, or by atom when the pointer's value is below 0x10000; the
    // calling process's classes, then the handset's.
    std::shared_ptr<const WindowClass> FindClass(LPCWSTR name, DWORD pid) const;
    // A class of the handset's own (message boxes, the taskbar), found from
    // every process; the phone's programs register theirs as programs do.
    void AddSystemClass(std::u16string name, WNDPROC proc, HBRUSH background);

    struct CreateArgs {
        DWORD exStyle = 0;
        std::shared_ptr<const WindowClass> cls;
        std::u16string title;
        DWORD style = 0;
        RECT rect = {};
        HWND owner = nullptr;
        LPVOID param = nullptr;
        HINSTANCE instance = nullptr;
        HMENU menu = nullptr;
        HWND parent = nullptr;  // a child window: rect is in the parent's client coordinates
        WNDPROC proc = nullptr; // instead of the class's
        int scale = 0;          // 0: the process's; the shell's own windows say 1
        std::shared_ptr<void> extra;
        bool atBottom = false; // a child below its siblings (dialog controls, in tab order)
        // CREATESTRUCT's lpszName instead of the title: a template's
        // ordinal text, {0xFFFF, id}, as Win32 hands it to a control.
        LPCWSTR createName = nullptr;
    };
    // Made on the calling thread, WM_CREATE sent, shown when WS_VISIBLE;
    // null when WM_CREATE answered -1 (the window is gone again).
    HWND Create(const CreateArgs& args);
    // By the window's own thread: WM_DESTROY, timers, owned windows.
    void Destroy(HWND window);

    LRESULT CallProc(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam);
    // SendMessageW: a window of this thread at once; another's waits.
    LRESULT Send(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam);
    // The system's notice: at once on this thread, queued without waiting
    // for another.
    void Notify(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam);
    bool Post(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam);

    // Takes (or copies) the next message for the filter, serving sent
    // messages first; GetMessage waits for one.
    bool Take(MessageQueue& q, MSG* out, HWND hwnd, UINT min, UINT max, bool remove);
    void NextMessage(MSG* out, HWND hwnd, UINT min, UINT max);
    LRESULT Dispatch(const MSG& m);
    // TranslateMessage: a key that stands for a character gets its WM_CHAR,
    // next in the queue.
    bool TranslateKey(MessageQueue& q, const MSG& m);
    // Whether GetMessageW would make WM_PAINT or WM_TIMER for the thread.
    bool Generates(const MessageQueue& q, HWND hwnd, UINT min, UINT max) const;

    LRESULT DefProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // SW_HIDE, SW_SHOW, SW_SHOWNORMAL, SW_SHOWNA, SW_SHOWNOACTIVATE; was it visible.
    bool Show(const std::shared_ptr<Window>& w, int command);
    // To a place on the logical screen; its children come along.
    void Move(const std::shared_ptr<Window>& w, RECT rect, bool repaint);
    // Raises the window (its owned ones come along, above it) and activates
    // it, or its last active owned window when `owned`.
    void SetForeground(const std::shared_ptr<Window>& w, bool owned);
    // Activates a window of the calling thread; the previous active window.
    HWND SetActive(MessageQueue& q, const std::shared_ptr<Window>& w);
    HWND SetFocus(MessageQueue& q, HWND window);

    // Client coordinates; null: the whole client area.
    void Invalidate(Window& w, const RECT* rect, bool erase);
    void Validate(Window& w, const RECT* rect);
    HDC BeginPaint(const std::shared_ptr<Window>& w, PAINTSTRUCT* ps);
    bool EndPaint(Window& w, const PAINTSTRUCT* ps);

    // The timer's id (for a thread timer, a new one); 0 when it cannot be set.
    UINT SetTimer(HWND window, DWORD tid, UINT id, UINT elapse, TIMERPROC proc);
    bool KillTimer(HWND window, DWORD tid, UINT id);

    // Message boxes (msgbox.cpp): shows one and runs the caller's messages
    // until it is answered; the answer.
    int RunMessageBox(HWND owner, std::u16string text, std::u16string caption, UINT style);
    MessageBoxInfo* FindBox(HWND window);

    void ThreadExited(Thread& thread) override;
    void ProcessExited(Process& process) override;
    // Destroys a window whose thread can no longer run its procedure.
    void DestroyLeft(HWND window);

  private:
    using Visible = std::map<HWND, Region>;
    Visible VisibleRegions() const;
    // The window's part of `available` (screen pixels) and its children's.
    void VisitVisible(HWND window, const Region& available, Visible* out) const;
    // Every window, each top-level one (topmost first) followed by its
    // descendants, parents before children.
    std::vector<HWND> AllWindows() const;
    void AddWithDescendants(HWND window, std::vector<HWND>* out) const;
    bool IsWithin(const Window& w, const Window* ancestor) const;
    // Runs a change of the z-order, visibility or places, then gives every
    // window what became visible of it and takes from its update region what
    // is no longer visible. `moved`, when given, was moved by (dx, dy): what
    // was visible of it before and still is kept its pixels.
    void Restack(const std::function<void()>& change, const Window* moved = nullptr, LONG dx = 0,
                 LONG dy = 0);
    int Band(const Window& w) const;
    void Raise(HWND window);
    void RemoveFromZ(HWND window);
    // A new foreground window after the foreground one was hidden or destroyed.
    void PassForeground(HWND leaving);
    void ChangeForeground(const std::shared_ptr<Window>& w);
    void ServeSent(MessageQueue& q);
    void FinishSent(MessageQueue& q);
    void Deliver(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam,
                 POINT screen);
    void Stylus(UINT message, POINT screen, const char* action);
    void Key(UINT message, UINT vk, const char* action);
    void Expire(DWORD tid, HWND window, UINT id, uint64_t generation);
    void ScheduleTimer(WindowTimer& t);
    // DefWindowProcW's WM_ERASEBKGND: fills with the class brush; whether it did.
    bool EraseBackground(const std::shared_ptr<Window>& w, HDC dc);
    void RemoveWindow(Window& w);

    void WireGdi();
    bool gdiWired_ = false;
    std::vector<HWND> z_; // topmost first
    std::vector<std::shared_ptr<WindowClass>> classes_;
    ATOM nextAtom_ = 0xC000;
    HWND foreground_ = nullptr;
    std::vector<std::function<void(HWND)>> foregroundListeners_;
    std::vector<WindowTimer> timers_;
    uint64_t timerGeneration_ = 0;
    uint64_t readySeq_ = 0;
    UINT nextThreadTimer_ = 1;
    std::vector<MessageBoxInfo> boxes_;
    HWND dismissable_ = nullptr;
    bool dismissed_ = false; // the stylus went down only to close a popup
    HWND capture_ = nullptr;
    std::function<bool(UINT, bool)> softKeys_;
};

// The window manager of the current phone.
WindowManager& Wm();

// Class names and titles compare without regard to (ASCII) case.
bool SameText(std::u16string_view a, std::u16string_view b);

} // namespace handset
