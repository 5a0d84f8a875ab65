// Queues, timers and window messages: the order in which a thread gets what
// was posted, sent, painted and timed; thread messages (the lock program's
// three); the timer's messages; painting and its update region; focus.
#include "conformance.h"

#include <string.h>

namespace {

const WCHAR kClass[] = TEXT("TessarilConformance");

// What the test window's procedure heard, in order.
struct Heard {
    UINT messages[64];
    WPARAM wParams[64];
    int count;
    LPARAM createParam;
    RECT paint;
    int paints;
};
Heard g_heard;

bool Interesting(UINT message) {
    return message == WM_CREATE || message == WM_DESTROY || message == WM_TIMER ||
           message == WM_PAINT || message == WM_SETFOCUS || message == WM_KILLFOCUS ||
           message >= WM_USER;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Interesting(message) && g_heard.count < 64) {
        g_heard.messages[g_heard.count] = message;
        g_heard.wParams[g_heard.count] = wParam;
        ++g_heard.count;
    }
    switch (message) {
    case WM_CREATE:
        g_heard.createParam = (LPARAM)((CREATESTRUCTW*)lParam)->lpCreateParams;
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        g_heard.paint = ps.rcPaint;
        ++g_heard.paints;
        EndPaint(window, &ps);
        return 0;
    }
    case WM_USER + 1:
        return (LRESULT)(wParam * 2 + 1);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow(DWORD style) {
    memset(&g_heard, 0, sizeof g_heard);
    WNDCLASSW windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = kClass;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, kClass, TEXT("Conformance"), style, 10, 20, 100, 80, NULL, NULL,
                           GetModuleHandleW(NULL), (LPVOID)0x1234);
}

// Takes every message now waiting, dispatching each; how many.
int Pump() {
    MSG msg;
    int n = 0;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
        ++n;
    }
    return n;
}

void ObserveHeard(const char* what) {
    Observe(g_heard.count, "%s.count", what);
    for (int i = 0; i < g_heard.count; ++i)
        ObserveHex(g_heard.messages[i], "%s[%d]", what, i);
}

void ThreadMessagesComeInOrder() {
    MSG msg;
    PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE); // the thread's queue
    DWORD self = GetCurrentThreadId();
    Observe(PostThreadMessageW(self, WM_USER + 1, 0, 0), "post[0]");
    Observe(PostThreadMessageW(self, WM_USER + 3, 3, 30), "post[1]");
    Observe(PostThreadMessageW(self, WM_USER + 2, 2, 20), "post[2]");
    for (int i = 0; i < 4; ++i) {
        memset(&msg, 0, sizeof msg);
        BOOL got = PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE);
        Observe(got, "peek[%d]", i);
        if (!got) continue;
        ObserveHex(msg.message, "peek[%d].message", i);
        Observe((long)msg.wParam, "peek[%d].wParam", i);
        Observe((long)msg.lParam, "peek[%d].lParam", i);
        Observe(msg.hwnd == NULL, "peek[%d].no_window", i);
    }
}

void FilteredPeeksTakeTheirRange() {
    MSG msg;
    PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE);
    DWORD self = GetCurrentThreadId();
    PostThreadMessageW(self, WM_USER + 5, 0, 0);
    PostThreadMessageW(self, WM_APP + 1, 0, 0);
    Observe(PeekMessageW(&msg, NULL, WM_APP, WM_APP + 10, PM_NOREMOVE), "app_range.kept");
    ObserveHex(msg.message, "app_range.kept.message");
    Observe(PeekMessageW(&msg, NULL, WM_APP, WM_APP + 10, PM_REMOVE), "app_range.taken");
    Observe(PeekMessageW(&msg, NULL, WM_APP, WM_APP + 10, PM_REMOVE), "app_range.empty");
    Observe(PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE), "rest.taken");
    ObserveHex(msg.message, "rest.message");
}

void QuitEndsGetMessage() {
    PostQuitMessage(5);
    MSG msg;
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 9, 0, 0);
    Observe(GetMessageW(&msg, NULL, 0, 0), "first.result");
    ObserveHex(msg.message, "first.message");
    Observe(GetMessageW(&msg, NULL, 0, 0), "second.result");
    ObserveHex(msg.message, "second.message");
    Observe((long)msg.wParam, "second.wParam");
}

// The error for a thread that does not exist.
void PostingToAThreadThatIsNot() {
    SetLastError(0);
    Observe(PostThreadMessageW(0xFFFFFFF0, WM_USER, 0, 0), "result");
    Observe(GetLastError(), "error");
}

void CreationSendsCreateWithItsParameter() {
    HWND window = MakeWindow(WS_POPUP);
    Observe(window != NULL, "created");
    Observe(g_heard.createParam, "create_param");
    Observe(g_heard.count >= 1 && g_heard.messages[0] == WM_CREATE, "create_heard_first");
    Observe(IsWindowVisible(window), "visible");
    Observe(DestroyWindow(window), "destroy");
    Observe(g_heard.messages[g_heard.count - 1] == WM_DESTROY, "destroy_heard_last");
    Observe(IsWindow(window), "is_window_after");
}

void SendCallsTheProcedureAtOnce() {
    HWND window = MakeWindow(WS_POPUP);
    g_heard.count = 0;
    Observe((long)SendMessageW(window, WM_USER + 1, 20, 0), "result");
    Observe(g_heard.count, "heard_before_return");
    Observe(PostMessageW(window, WM_USER + 1, 1, 0), "post");
    Observe(g_heard.count, "heard_after_post");
    Observe(Pump(), "pumped");
    ObserveHeard("heard");
    DestroyWindow(window);
}

// Posted messages first, then the paint, then the timer.
void PostedThenPaintThenTimer() {
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    Pump();
    ValidateRect(window, NULL);
    Pump();
    g_heard.count = 0;
    g_heard.paints = 0;
    SetTimer(window, 7, 10, NULL);
    Sleep(50);
    InvalidateRect(window, NULL, FALSE);
    PostMessageW(window, WM_USER + 2, 0, 0);
    MSG msg;
    for (int i = 0; i < 3; ++i) {
        if (!GetMessageW(&msg, NULL, 0, 0)) break;
        ObserveHex(msg.message, "order[%d]", i);
        if (msg.message == WM_TIMER) Observe((long)msg.wParam, "order[%d].timer_id", i);
        DispatchMessageW(&msg);
    }
    KillTimer(window, 7);
    DestroyWindow(window);
}

void TimersRepeatUntilKilled() {
    HWND window = MakeWindow(WS_POPUP);
    Observe((long)SetTimer(window, 3, 20, NULL), "set.result");
    MSG msg;
    int timers = 0;
    DWORD start = GetTickCount();
    while (timers < 3 && GetTickCount() - start < 2000) {
        if (!GetMessageW(&msg, NULL, 0, 0)) break;
        if (msg.message == WM_TIMER && msg.hwnd == window) {
            Observe((long)msg.wParam, "timer[%d].id", timers);
            Observe(msg.lParam == 0, "timer[%d].no_procedure", timers);
            ++timers;
        }
        DispatchMessageW(&msg);
    }
    Observe(timers, "timers");
    Observe(KillTimer(window, 3), "kill");
    Observe(KillTimer(window, 3), "kill_again");
    Sleep(60);
    Observe(PeekMessageW(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE), "after_kill");
    // Setting a timer again under its id only moves it.
    SetTimer(window, 4, 1000, NULL);
    Observe((long)SetTimer(window, 4, 10, NULL), "reset.result");
    Sleep(40);
    Observe(PeekMessageW(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE), "reset.fired");
    Observe(PeekMessageW(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE), "reset.fired_once");
    KillTimer(window, 4);
    DestroyWindow(window);
}

// The update region gathers what is invalidated; the paint sees its bounds.
void PaintSeesTheUpdateRegion() {
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    Pump();
    RECT a = {5, 5, 20, 15};
    RECT b = {30, 40, 50, 60};
    g_heard.paints = 0;
    Observe(InvalidateRect(window, &a, FALSE), "invalidate[0]");
    Observe(InvalidateRect(window, &b, TRUE), "invalidate[1]");
    Pump();
    Observe(g_heard.paints, "paints");
    Observe(g_heard.paint.left, "rcPaint.left");
    Observe(g_heard.paint.top, "rcPaint.top");
    Observe(g_heard.paint.right, "rcPaint.right");
    Observe(g_heard.paint.bottom, "rcPaint.bottom");
    // Validated before it is painted: no paint.
    InvalidateRect(window, &a, FALSE);
    ValidateRect(window, NULL);
    g_heard.paints = 0;
    Pump();
    Observe(g_heard.paints, "validated.paints");
    // Invalidated outside the client area: clipped to it.
    RECT outside = {90, 70, 200, 200};
    InvalidateRect(window, &outside, FALSE);
    Pump();
    Observe(g_heard.paint.left, "clipped.left");
    Observe(g_heard.paint.top, "clipped.top");
    Observe(g_heard.paint.right, "clipped.right");
    Observe(g_heard.paint.bottom, "clipped.bottom");
    RECT client;
    GetClientRect(window, &client);
    Observe(client.right, "client.right");
    Observe(client.bottom, "client.bottom");
    RECT place;
    GetWindowRect(window, &place);
    Observe(place.left, "window.left");
    Observe(place.top, "window.top");
    DestroyWindow(window);
}

// Focus between two child windows of one window, as between a dialog's
// controls: the one losing it hears first, and is told who gains it.
void FocusMovesWithSetFocus() {
    HWND parent = MakeWindow(WS_POPUP | WS_VISIBLE);
    HWND first = CreateWindowExW(0, kClass, TEXT("First"), WS_CHILD | WS_VISIBLE, 0, 0, 40, 20,
                                 parent, (HMENU)1, GetModuleHandleW(NULL), NULL);
    HWND second = CreateWindowExW(0, kClass, TEXT("Second"), WS_CHILD | WS_VISIBLE, 0, 30, 40, 20,
                                  parent, (HMENU)2, GetModuleHandleW(NULL), NULL);
    SetForegroundWindow(parent);
    SetFocus(first);
    Pump();
    Observe(GetFocus() == first, "first.focus");
    g_heard.count = 0;
    HWND previous = SetFocus(second);
    Observe(previous == first, "second.previous");
    Observe(GetFocus() == second, "second.focus");
    int focusMessages = 0;
    for (int i = 0; i < g_heard.count; ++i) {
        UINT m = g_heard.messages[i];
        if (m != WM_SETFOCUS && m != WM_KILLFOCUS) continue;
        ObserveHex(m, "focus_message[%d]", focusMessages);
        Observe(g_heard.wParams[i] == (WPARAM)(m == WM_KILLFOCUS ? second : first),
                "focus_message[%d].names_the_other", focusMessages);
        ++focusMessages;
    }
    Observe(focusMessages, "focus_messages");
    Observe(GetDlgCtrlID(second), "second.id");
    DestroyWindow(parent);
    Observe(IsWindow(first), "children_go_with_parent");
}

// What device code asks of its windows: styles as created, the previous
// state from the setters, the parent, the id.
void WindowStateAnswersWithThePrevious() {
    const int kUserData = -21; // GWL_USERDATA, which 64-bit headers leave out
    HWND window = MakeWindow(WS_POPUP);
    HWND child = CreateWindowExW(0, kClass, TEXT("Child"), WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                 window, (HMENU)77, GetModuleHandleW(NULL), NULL);
    ObserveHex(GetWindowLongW(window, GWL_STYLE), "popup.style");
    ObserveHex(GetWindowLongW(window, GWL_EXSTYLE), "popup.exstyle");
    ObserveHex(GetWindowLongW(child, GWL_STYLE), "child.style");
    Observe(GetWindowLongW(child, GWL_ID), "child.id");
    Observe(GetParent(child) == window, "child.parent");
    Observe(GetParent(window) == NULL, "popup.parent");
    Observe(ShowWindow(window, SW_SHOW), "show.was_visible");
    Observe(ShowWindow(window, SW_SHOW), "show_again.was_visible");
    Observe(ShowWindow(window, SW_HIDE), "hide.was_visible");
    Observe(IsWindowVisible(child), "child.visible_in_hidden_parent");
    Observe(EnableWindow(child, FALSE), "disable.was_disabled");
    Observe(EnableWindow(child, FALSE), "disable_again.was_disabled");
    Observe(IsWindowEnabled(child), "child.enabled");
    Observe(EnableWindow(child, TRUE), "enable.was_disabled");
    Observe(SetWindowLongW(window, kUserData, 1234), "userdata.initial");
    Observe(SetWindowLongW(window, kUserData, 5), "userdata.previous");
    Observe(GetWindowLongW(window, kUserData), "userdata");
    Observe(SetWindowTextW(window, TEXT("Renamed")), "set_text");
    WCHAR text[16];
    Observe(GetWindowTextW(window, text, 16), "text.length");
    ObserveText(text, "text");
    Observe(GetWindowTextW(window, text, 4), "text.short.length");
    ObserveText(text, "text.short");
    Observe(MoveWindow(window, 5, 6, 30, 40, FALSE), "move");
    RECT r;
    GetWindowRect(window, &r);
    Observe(r.left, "moved.left");
    Observe(r.bottom, "moved.bottom");
    DestroyWindow(window);
}

void ClassesRegisterOnce() {
    WNDCLASSW windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = TEXT("TessarilConformanceOnce");
    Observe(RegisterClassW(&windowClass) != 0, "first");
    SetLastError(0);
    Observe(RegisterClassW(&windowClass) != 0, "second");
    Observe(GetLastError(), "second.error");
    HWND none = CreateWindowExW(0, TEXT("NoSuchClass"), TEXT(""), WS_POPUP, 0, 0, 1, 1, NULL, NULL,
                                GetModuleHandleW(NULL), NULL);
    Observe(none == NULL, "unknown_class.null");
}

void FindWindowByClassAndTitle() {
    HWND window = MakeWindow(WS_POPUP);
    Observe(FindWindowW(kClass, NULL) == window, "by_class");
    Observe(FindWindowW(NULL, TEXT("Conformance")) == window, "by_title");
    Observe(FindWindowW(NULL, TEXT("conformance")) == window, "by_title_other_case");
    Observe(FindWindowW(kClass, TEXT("Other")) == NULL, "wrong_title");
    DestroyWindow(window);
    Observe(FindWindowW(kClass, NULL) == NULL, "after_destroy");
}

const ConformanceCase kCases[] = {
    {"ThreadMessagesComeInOrder", ThreadMessagesComeInOrder, NULL},
    {"FilteredPeeksTakeTheirRange", FilteredPeeksTakeTheirRange, NULL},
    {"QuitEndsGetMessage", QuitEndsGetMessage, NULL},
    {"PostingToAThreadThatIsNot", PostingToAThreadThatIsNot, NULL},
    {"CreationSendsCreateWithItsParameter", CreationSendsCreateWithItsParameter, NULL},
    {"SendCallsTheProcedureAtOnce", SendCallsTheProcedureAtOnce, NULL},
    {"PostedThenPaintThenTimer", PostedThenPaintThenTimer, NULL},
    {"TimersRepeatUntilKilled", TimersRepeatUntilKilled, NULL},
    {"PaintSeesTheUpdateRegion", PaintSeesTheUpdateRegion, NULL},
    {"FocusMovesWithSetFocus", FocusMovesWithSetFocus, NULL},
    {"WindowStateAnswersWithThePrevious", WindowStateAnswersWithThePrevious, NULL},
    {"ClassesRegisterOnce", ClassesRegisterOnce, NULL},
    {"FindWindowByClassAndTitle", FindWindowByClassAndTitle, NULL},
};

} // namespace

extern const ConformanceArea kMessagesArea = {"messages", kCases, CONFORMANCE_COUNT(kCases)};
