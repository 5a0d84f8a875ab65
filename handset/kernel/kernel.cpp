// The kernel calls: last error, time, waits, events, mutexes, threads,
// processes, modules and the local heap. Each returns the documented error
// and sets the last error, as the phone does.
#include <windows.h>

#include "device/platform.h"
#include "device/relay.h"
#include "kernel/heap.h"
#include "kernel/objects.h"

using handset::Enter;
using handset::Event;
using handset::Fail;
using handset::KernelObject;
using handset::Mutex;
using handset::Platform;
using handset::Process;
using handset::Thread;

namespace {

Platform& Dev() {
    return Platform::Current();
}

template <class T> std::shared_ptr<T> As(HANDLE h, KernelObject::Kind kind) {
    auto object = Dev().Resolve(h);
    if (!object || object->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
}

// Opens or makes a named object of the kind; null name: always a new one.
template <class T, class Make>
HANDLE CreateNamed(LPCWSTR name, KernelObject::Kind kind, Make make) {
    Platform& d = Dev();
    if (name && *name) {
        std::u16string key(name);
        if (auto existing = d.FindNamed(key)) {
            if (existing->kind != kind) {
                d.LastError() = ERROR_INVALID_HANDLE;
                return nullptr;
            }
            HANDLE h = d.AddHandle(existing);
            d.LastError() = ERROR_ALREADY_EXISTS;
            return h;
        }
        auto object = make();
        object->name = key;
        d.AddNamed(object);
        d.LastError() = ERROR_SUCCESS;
        return d.AddHandle(object);
    }
    d.LastError() = ERROR_SUCCESS;
    return d.AddHandle(make());
}

} // namespace

// GetLastError to GetTickCount, and Sleep, ExitThread and the Current calls,
// have no failure result: the fault plan counts and slows them only.
HANDSET_API(DWORD, GetLastError, (), ()) {
    (void)Enter("GetLastError");
    return Dev().LastError();
}
HANDSET_API(void, SetLastError, (DWORD dwErrCode), (dwErrCode)) {
    (void)Enter("SetLastError");
    Dev().LastError() = dwErrCode;
}
HANDSET_API(DWORD, GetTickCount, (), ()) {
    (void)Enter("GetTickCount");
    return Dev().TickCount();
}

HANDSET_API(void, Sleep, (DWORD dwMilliseconds), (dwMilliseconds)) {
    (void)Enter("Sleep");
    if (dwMilliseconds == 0)
        Dev().Yield();
    else
        Dev().Block({}, dwMilliseconds);
}

HANDSET_API(BOOL, CloseHandle, (HANDLE hObject), (hObject)) {
    if (auto e = Enter("CloseHandle")) return Fail(*e, FALSE);
    if (Platform::IsPseudoHandle(hObject)) return TRUE;
    if (!Dev().CloseHandleOf(hObject)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

// ---- Events and mutexes --------------------------------------------------------

HANDSET_API(HANDLE, CreateEventW,
            (LPSECURITY_ATTRIBUTES arg1, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName),
            (arg1, bManualReset, bInitialState, lpName)) {
    if (auto e = Enter("CreateEventW")) return Fail(*e, HANDLE(nullptr));
    return CreateNamed<Event>(lpName, KernelObject::Kind::Event, [&] {
        return std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE);
    });
}

HANDSET_API(BOOL, EventModify, (HANDLE hEvent, DWORD func), (hEvent, func)) {
    if (auto e = Enter("EventModify")) return Fail(*e, FALSE);
    auto event = As<Event>(hEvent, KernelObject::Kind::Event);
    if (!event) return Fail(ERROR_INVALID_HANDLE, FALSE);
    switch (func) {
    case EVENT_SET:
        event->signaled = true;
        Dev().WakeWaiters();
        return TRUE;
    case EVENT_RESET:
        event->signaled = false;
        return TRUE;
    case EVENT_PULSE:
        // Releases whoever waits now, then the event is reset.
        event->signaled = true;
        Dev().WakeWaiters();
        event->signaled = false;
        return TRUE;
    }
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
}

HANDSET_API(HANDLE, CreateMutexW, (LPSECURITY_ATTRIBUTES arg1, BOOL bInitialOwner, LPCWSTR lpName),
            (arg1, bInitialOwner, lpName)) {
    if (auto e = Enter("CreateMutexW")) return Fail(*e, HANDLE(nullptr));
    // The initial owner applies only to a mutex made here, not to one that exists.
    return CreateNamed<Mutex>(lpName, KernelObject::Kind::Mutex, [&] {
        auto m = std::make_shared<Mutex>();
        if (bInitialOwner && Dev().CurrentThread()) m->Acquire(*Dev().CurrentThread());
        return m;
    });
}

HANDSET_API(BOOL, ReleaseMutex, (HANDLE hMutex), (hMutex)) {
    if (auto e = Enter("ReleaseMutex")) return Fail(*e, FALSE);
    auto m = As<Mutex>(hMutex, KernelObject::Kind::Mutex);
    if (!m) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!m->owner || m->owner != Dev().CurrentThread()) return Fail(ERROR_NOT_OWNER, FALSE);
    if (--m->count == 0) {
        m->owner = nullptr;
        Dev().WakeWaiters();
    }
    return TRUE;
}

// ---- Waits ---------------------------------------------------------------------

HANDSET_API(DWORD, WaitForSingleObject, (HANDLE hHandle, DWORD dwMilliseconds),
            (hHandle, dwMilliseconds)) {
    if (auto e = Enter("WaitForSingleObject")) return Fail(*e, DWORD(WAIT_FAILED));
    auto object = Dev().Resolve(hHandle);
    if (!object) return Fail(ERROR_INVALID_HANDLE, DWORD(WAIT_FAILED));
    return Dev().Block({object}, dwMilliseconds);
}

HANDSET_API(DWORD, WaitForMultipleObjects,
            (DWORD nCount, CONST HANDLE* lpHandles, BOOL fWaitAll, DWORD dwMilliseconds),
            (nCount, lpHandles, fWaitAll, dwMilliseconds)) {
    if (auto e = Enter("WaitForMultipleObjects")) return Fail(*e, DWORD(WAIT_FAILED));
    // Windows CE waits for any one object only.
    if (fWaitAll || nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles)
        return Fail(ERROR_INVALID_PARAMETER, DWORD(WAIT_FAILED));
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = Dev().Resolve(lpHandles[i]);
        if (!object) return Fail(ERROR_INVALID_HANDLE, DWORD(WAIT_FAILED));
        objects.push_back(std::move(object));
    }
    return Dev().Block(std::move(objects), dwMilliseconds);
}

// ---- Threads -------------------------------------------------------------------

HANDSET_API(HANDLE, CreateThread,
            (LPSECURITY_ATTRIBUTES arg1, DWORD arg2, LPTHREAD_START_ROUTINE lpStartAddress,
             LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId),
            (arg1, arg2, lpStartAddress, lpParameter, dwCreationFlags, lpThreadId)) {
    if (auto e = Enter("CreateThread")) return Fail(*e, HANDLE(nullptr));
    Platform& d = Dev();
    if (!lpStartAddress ||
        (dwCreationFlags & ~DWORD(CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION)))
        return Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
    if (!d.CurrentProcess()) Platform::Fatal("CreateThread called in the driver's context");
    Thread* t = d.CreateThreadIn(
        d.CurrentProcess(), [lpStartAddress, lpParameter] { return lpStartAddress(lpParameter); },
        (dwCreationFlags & CREATE_SUSPENDED) != 0);
    if (lpThreadId) *lpThreadId = t->id;
    d.LastError() = ERROR_SUCCESS;
    return d.AddHandle(d.SharedThread(t));
}

HANDSET_API(DWORD, ResumeThread, (HANDLE hThread), (hThread)) {
    if (auto e = Enter("ResumeThread")) return Fail(*e, DWORD(0xFFFFFFFF));
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t) return Fail(ERROR_INVALID_HANDLE, DWORD(0xFFFFFFFF));
    DWORD previous = static_cast<DWORD>(t->suspendCount);
    Dev().Resume(t.get());
    return previous;
}

HANDSET_API(DWORD, SuspendThread, (HANDLE hThread), (hThread)) {
    if (auto e = Enter("SuspendThread")) return Fail(*e, DWORD(0xFFFFFFFF));
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t || t->state == Thread::State::Exited)
        return Fail(ERROR_INVALID_HANDLE, DWORD(0xFFFFFFFF));
    DWORD previous = static_cast<DWORD>(t->suspendCount);
    Dev().Suspend(t.get());
    return previous;
}

HANDSET_API(BOOL, TerminateThread, (HANDLE hThread, DWORD dwExitCode), (hThread, dwExitCode)) {
    if (auto e = Enter("TerminateThread")) return Fail(*e, FALSE);
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (t->state == Thread::State::Exited) return TRUE;
    Dev().timeline().Record("thread.terminate", {{"thread", t->id}, {"code", dwExitCode}});
    Dev().Kill(t.get(), dwExitCode);
    return TRUE;
}

HANDSET_API(void, ExitThread, (DWORD dwExitCode), (dwExitCode)) {
    (void)Enter("ExitThread");
    Dev().ExitCurrentThread(dwExitCode);
}

HANDSET_API(BOOL, GetExitCodeThread, (HANDLE hThread, LPDWORD lpExitCode), (hThread, lpExitCode)) {
    if (auto e = Enter("GetExitCodeThread")) return Fail(*e, FALSE);
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t || !lpExitCode) return Fail(ERROR_INVALID_HANDLE, FALSE);
    *lpExitCode = t->state == Thread::State::Exited ? t->exitCode : STILL_ACTIVE;
    return TRUE;
}

HANDSET_API(DWORD, GetCurrentThreadId, (), ()) {
    (void)Enter("GetCurrentThreadId");
    return Dev().CurrentTid();
}
HANDSET_API(DWORD, GetCurrentProcessId, (), ()) {
    (void)Enter("GetCurrentProcessId");
    return Dev().CurrentPid();
}
HANDSET_API(HANDLE, GetCurrentThread, (), ()) {
    (void)Enter("GetCurrentThread");
    return Platform::CurrentThreadPseudoHandle();
}
HANDSET_API(HANDLE, GetCurrentProcess, (), ()) {
    (void)Enter("GetCurrentProcess");
    return Platform::CurrentProcessPseudoHandle();
}

// ---- Processes and modules -----------------------------------------------------

HANDSET_API(HANDLE, OpenProcess, (DWORD arg1, BOOL arg2, DWORD IDProcess),
            (arg1, arg2, IDProcess)) {
    if (auto e = Enter("OpenProcess")) return Fail(*e, HANDLE(nullptr));
    Process* p = Dev().FindProcess(IDProcess);
    if (!p || p->exited) return Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
    return Dev().AddHandle(Dev().SharedProcess(p));
}

HANDSET_API(BOOL, GetExitCodeProcess, (HANDLE hProcess, LPDWORD lpExitCode),
            (hProcess, lpExitCode)) {
    if (auto e = Enter("GetExitCodeProcess")) return Fail(*e, FALSE);
    auto p = As<Process>(hProcess, KernelObject::Kind::Process);
    if (!p || !lpExitCode) return Fail(ERROR_INVALID_HANDLE, FALSE);
    *lpExitCode = p->exited ? p->exitCode : STILL_ACTIVE;
    return TRUE;
}

HANDSET_API(BOOL, TerminateProcess, (HANDLE hProcess, DWORD uExitCode), (hProcess, uExitCode)) {
    if (auto e = Enter("TerminateProcess")) return Fail(*e, FALSE);
    auto p = As<Process>(hProcess, KernelObject::Kind::Process);
    if (!p) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (p->exited) return Fail(ERROR_ACCESS_DENIED, FALSE);
    Dev().TerminateProcessNow(p.get(), uExitCode);
    return TRUE;
}

HANDSET_API(DWORD, GetModuleFileNameW, (HMODULE hModule, LPWSTR lpFilename, DWORD nSize),
            (hModule, lpFilename, nSize)) {
    if (auto e = Enter("GetModuleFileNameW")) return Fail(*e, DWORD(0));
    Platform& d = Dev();
    Process* p = hModule ? d.ProcessByModule(hModule) : d.CurrentProcess();
    if (!p) return Fail(ERROR_INVALID_HANDLE, DWORD(0));
    if (!lpFilename || nSize == 0) return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD(0));
    const std::u16string& path = p->exePath;
    // A path that does not fit is cut and still terminated; the result is
    // then the buffer size, with ERROR_INSUFFICIENT_BUFFER.
    if (path.size() + 1 > nSize) {
        std::copy(path.begin(), path.begin() + (nSize - 1), lpFilename);
        lpFilename[nSize - 1] = 0;
        return Fail(ERROR_INSUFFICIENT_BUFFER, nSize);
    }
    std::copy(path.begin(), path.end(), lpFilename);
    lpFilename[path.size()] = 0;
    return static_cast<DWORD>(path.size());
}

HANDSET_API(HMODULE, GetModuleHandleW, (LPCWSTR lpModuleName), (lpModuleName)) {
    if (auto e = Enter("GetModuleHandleW")) return Fail(*e, HMODULE(nullptr));
    Platform& d = Dev();
    if (!lpModuleName) return d.CurrentProcess() ? d.CurrentProcess()->module : nullptr;
    std::u16string want(lpModuleName);
    for (DWORD pid : d.ProcessIds()) {
        Process* p = d.FindProcess(pid);
        std::u16string file = p->exePath.substr(p->exePath.find_last_of(u'\\') + 1);
        if (_wcsicmp(file.c_str(), want.c_str()) == 0) return p->module;
    }
    return Fail(ERROR_FILE_NOT_FOUND, HMODULE(nullptr));
}
