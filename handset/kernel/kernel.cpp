// The kernel calls: last error, time, waits, events, mutexes, threads,
// processes, modules and the local heap. Each returns the documented error
// and sets the last error, as the phone does.
#include <windows.h>

#include "device/device.h"
#include "kernel/objects.h"

using handset::Device;
using handset::Enter;
using handset::Event;
using handset::Fail;
using handset::KernelObject;
using handset::Mutex;
using handset::Process;
using handset::Thread;

namespace {

Device& Dev() {
    return Device::Current();
}

template <class T> std::shared_ptr<T> As(HANDLE h, KernelObject::Kind kind) {
    auto object = Dev().Resolve(h);
    if (!object || object->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
}

// Opens or makes a named object of the kind; null name: always a new one.
template <class T, class Make>
HANDLE CreateNamed(LPCWSTR name, KernelObject::Kind kind, Make make) {
    Device& d = Dev();
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
DWORD WINAPI GetLastError(void) {
    (void)Enter("GetLastError");
    return Dev().LastError();
}
void WINAPI SetLastError(DWORD dwErrCode) {
    (void)Enter("SetLastError");
    Dev().LastError() = dwErrCode;
}
DWORD WINAPI GetTickCount(void) {
    (void)Enter("GetTickCount");
    return Dev().TickCount();
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    (void)Enter("Sleep");
    if (dwMilliseconds == 0)
        Dev().Yield();
    else
        Dev().Block({}, dwMilliseconds);
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (auto e = Enter("CloseHandle")) return Fail(*e, FALSE);
    if (Device::IsPseudoHandle(hObject)) return TRUE;
    if (!Dev().CloseHandleOf(hObject)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

// ---- Events and mutexes --------------------------------------------------------

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCWSTR lpName) {
    if (auto e = Enter("CreateEventW")) return Fail(*e, HANDLE(nullptr));
    return CreateNamed<Event>(lpName, KernelObject::Kind::Event, [&] {
        return std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE);
    });
}

BOOL WINAPI EventModify(HANDLE hEvent, DWORD func) {
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

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
    if (auto e = Enter("CreateMutexW")) return Fail(*e, HANDLE(nullptr));
    // The initial owner applies only to a mutex made here, not to one that exists.
    return CreateNamed<Mutex>(lpName, KernelObject::Kind::Mutex, [&] {
        auto m = std::make_shared<Mutex>();
        if (bInitialOwner && Dev().CurrentThread()) m->Acquire(*Dev().CurrentThread());
        return m;
    });
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
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

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    if (auto e = Enter("WaitForSingleObject")) return Fail(*e, DWORD(WAIT_FAILED));
    auto object = Dev().Resolve(hHandle);
    if (!object) return Fail(ERROR_INVALID_HANDLE, DWORD(WAIT_FAILED));
    return Dev().Block({object}, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, CONST HANDLE* lpHandles, BOOL fWaitAll,
                                    DWORD dwMilliseconds) {
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

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (auto e = Enter("CreateThread")) return Fail(*e, HANDLE(nullptr));
    Device& d = Dev();
    if (!lpStartAddress ||
        (dwCreationFlags & ~DWORD(CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION)))
        return Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
    if (!d.CurrentProcess()) Device::Fatal("CreateThread called in the driver's context");
    Thread* t = d.CreateThreadIn(
        d.CurrentProcess(), [lpStartAddress, lpParameter] { return lpStartAddress(lpParameter); },
        (dwCreationFlags & CREATE_SUSPENDED) != 0);
    if (lpThreadId) *lpThreadId = t->id;
    d.LastError() = ERROR_SUCCESS;
    return d.AddHandle(d.SharedThread(t));
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
    if (auto e = Enter("ResumeThread")) return Fail(*e, DWORD(0xFFFFFFFF));
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t) return Fail(ERROR_INVALID_HANDLE, DWORD(0xFFFFFFFF));
    DWORD previous = static_cast<DWORD>(t->suspendCount);
    Dev().Resume(t.get());
    return previous;
}

DWORD WINAPI SuspendThread(HANDLE hThread) {
    if (auto e = Enter("SuspendThread")) return Fail(*e, DWORD(0xFFFFFFFF));
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t || t->state == Thread::State::Exited)
        return Fail(ERROR_INVALID_HANDLE, DWORD(0xFFFFFFFF));
    DWORD previous = static_cast<DWORD>(t->suspendCount);
    Dev().Suspend(t.get());
    return previous;
}

BOOL WINAPI TerminateThread(HANDLE hThread, DWORD dwExitCode) {
    if (auto e = Enter("TerminateThread")) return Fail(*e, FALSE);
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (t->state == Thread::State::Exited) return TRUE;
    Dev().timeline().Record("thread.terminate", {{"thread", t->id}, {"code", dwExitCode}});
    Dev().Kill(t.get(), dwExitCode);
    return TRUE;
}

void WINAPI ExitThread(DWORD dwExitCode) {
    (void)Enter("ExitThread");
    Dev().ExitCurrentThread(dwExitCode);
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    if (auto e = Enter("GetExitCodeThread")) return Fail(*e, FALSE);
    auto t = As<Thread>(hThread, KernelObject::Kind::Thread);
    if (!t || !lpExitCode) return Fail(ERROR_INVALID_HANDLE, FALSE);
    *lpExitCode = t->state == Thread::State::Exited ? t->exitCode : STILL_ACTIVE;
    return TRUE;
}

DWORD WINAPI GetCurrentThreadId(void) {
    (void)Enter("GetCurrentThreadId");
    return Dev().CurrentTid();
}
DWORD WINAPI GetCurrentProcessId(void) {
    (void)Enter("GetCurrentProcessId");
    return Dev().CurrentPid();
}
HANDLE WINAPI GetCurrentThread(void) {
    (void)Enter("GetCurrentThread");
    return Device::CurrentThreadPseudoHandle();
}
HANDLE WINAPI GetCurrentProcess(void) {
    (void)Enter("GetCurrentProcess");
    return Device::CurrentProcessPseudoHandle();
}

// ---- Processes and modules -----------------------------------------------------

HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD IDProcess) {
    if (auto e = Enter("OpenProcess")) return Fail(*e, HANDLE(nullptr));
    Process* p = Dev().FindProcess(IDProcess);
    if (!p || p->exited) return Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
    return Dev().AddHandle(Dev().SharedProcess(p));
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    if (auto e = Enter("GetExitCodeProcess")) return Fail(*e, FALSE);
    auto p = As<Process>(hProcess, KernelObject::Kind::Process);
    if (!p || !lpExitCode) return Fail(ERROR_INVALID_HANDLE, FALSE);
    *lpExitCode = p->exited ? p->exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, DWORD uExitCode) {
    if (auto e = Enter("TerminateProcess")) return Fail(*e, FALSE);
    auto p = As<Process>(hProcess, KernelObject::Kind::Process);
    if (!p) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (p->exited) return Fail(ERROR_ACCESS_DENIED, FALSE);
    Dev().TerminateProcessNow(p.get(), uExitCode);
    return TRUE;
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (auto e = Enter("GetModuleFileNameW")) return Fail(*e, DWORD(0));
    Device& d = Dev();
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

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    if (auto e = Enter("GetModuleHandleW")) return Fail(*e, HMODULE(nullptr));
    Device& d = Dev();
    if (!lpModuleName) return d.CurrentProcess() ? d.CurrentProcess()->module : nullptr;
    std::u16string want(lpModuleName);
    for (DWORD pid : d.ProcessIds()) {
        Process* p = d.FindProcess(pid);
        std::u16string file = p->exePath.substr(p->exePath.find_last_of(u'\\') + 1);
        if (_wcsicmp(file.c_str(), want.c_str()) == 0) return p->module;
    }
    return Fail(ERROR_FILE_NOT_FOUND, HMODULE(nullptr));
}

// ---- Local heap --------------------------------------------------------------

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if (auto e = Enter("LocalAlloc")) return Fail(*e, HLOCAL(nullptr));
    if (uFlags & ~UINT(LMEM_MOVEABLE | LMEM_ZEROINIT))
        return Fail(ERROR_INVALID_PARAMETER, HLOCAL(nullptr));
    return Dev().HeapAlloc(uBytes, (uFlags & LMEM_ZEROINIT) != 0);
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    if (!hMem) return nullptr;
    if (auto e = Enter("LocalFree")) return Fail(*e, hMem);
    if (!Dev().HeapFree(hMem)) return Fail(ERROR_INVALID_HANDLE, hMem);
    return nullptr;
}

SIZE_T WINAPI LocalSize(HLOCAL hMem) {
    if (auto e = Enter("LocalSize")) return Fail(*e, SIZE_T(0));
    size_t bytes = 0;
    if (!Dev().HeapSize(hMem, &bytes)) return Fail(ERROR_INVALID_HANDLE, SIZE_T(0));
    return bytes;
}
