// ShellExecuteEx's launches and refusals. (The soft reset and the
// installation are exercised by the configuration program's tests.)
#include <gtest/gtest.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "device/device.h"
#include "shell/install.h"
#include "testing/testing.h"

using handset::Device;
using handset::kConfigProgramPath;
using handset::kLockProgramPath;

namespace {

std::u16string g_commandLine;
int g_show = 0;

int Recorder(HINSTANCE, HINSTANCE, LPWSTR commandLine, int show) {
    g_commandLine = commandLine;
    g_show = show;
    return 7;
}

SHELLEXECUTEINFO Info(LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, ULONG mask) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = 3;
    return info;
}

// Runs the routine in a process of its own until it ends; its process id.
DWORD RunInProcess(Device& d, std::function<void()> routine) {
    DWORD pid = d.StartProcess("caller", [routine] {
        routine();
        return DWORD(0);
    });
    d.RunUntilExit(pid, 10000);
    return pid;
}

} // namespace

TEST(ShellExecuteEx, OpensARegisteredProgramWithItsParametersAsCommandLine) {
    Device d;
    d.RegisterProgram(kLockProgramPath, Recorder);
    d.RegisterProgram(u"\\Windows\\tool.exe", Recorder);
    struct Case {
        int line;
        LPCWSTR verb;
        LPCWSTR file;
        LPCWSTR parameters;
        ULONG mask;
        std::u16string commandLine;
    } cases[] = {
        {__LINE__, nullptr, u"\\Program Files\\Tessaril\\Tessaril.exe", u"reset",
         SEE_MASK_NOCLOSEPROCESS, u"reset"},
        {__LINE__, u"Open", u"\\PROGRAM FILES\\tessaril\\TESSARIL.EXE", nullptr, 0, u""},
        {__LINE__, u"open", u"tool.exe", u"a b", SEE_MASK_FLAG_NO_UI, u"a b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        g_commandLine = u"(not run)";
        DWORD exitCode = 0;
        int heldWithHandle = -1;
        DWORD caller = RunInProcess(d, [&] {
            SHELLEXECUTEINFO info = Info(c.verb, c.file, c.parameters, c.mask);
            EXPECT_TRUE(ShellExecuteEx(&info));
            EXPECT_GT(reinterpret_cast<UINT_PTR>(info.hInstApp), 32u);
            if (!(c.mask & SEE_MASK_NOCLOSEPROCESS)) {
                EXPECT_EQ(nullptr, info.hProcess);
                return;
            }
            auto& platform = handset::Platform::Current();
            heldWithHandle = platform.handles().Held(platform.CurrentPid(), handset::kKernelHandle);
            EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(info.hProcess, INFINITE));
            GetExitCodeProcess(info.hProcess, &exitCode);
            CloseHandle(info.hProcess);
        });
        d.RunUntilIdle();
        EXPECT_EQ(c.commandLine, g_commandLine);
        EXPECT_EQ(3, g_show) << "nShow is the program's show command";
        if (c.mask & SEE_MASK_NOCLOSEPROCESS) {
            EXPECT_EQ(1, heldWithHandle) << "hProcess is a counted kernel handle";
            EXPECT_EQ(7u, exitCode);
        }
        EXPECT_NOTHING_HELD(d, caller);
    }
}

TEST(ShellExecuteEx, RefusesWhatNoProgramIsRegisteredFor) {
    Device d;
    d.RegisterProgram(kConfigProgramPath, Recorder);
    struct Case {
        int line;
        LPCWSTR file;
        DWORD cbSize;
        DWORD error;
        UINT_PTR hInstApp;
    } cases[] = {
        {__LINE__, u"\\Program Files\\Tessaril\\Tessaril.exe", sizeof(SHELLEXECUTEINFO),
         ERROR_FILE_NOT_FOUND, SE_ERR_FNF},
        {__LINE__, u"\\Storage Card\\Tessaril.exe", sizeof(SHELLEXECUTEINFO), ERROR_PATH_NOT_FOUND,
         SE_ERR_PNF},
        {__LINE__, u"TessarilCfg.exe", sizeof(SHELLEXECUTEINFO), ERROR_FILE_NOT_FOUND, SE_ERR_FNF},
        {__LINE__, u"\\Program Files\\Tessaril\\TessarilCfg.exe", sizeof(SHELLEXECUTEINFO) - 4,
         ERROR_INVALID_PARAMETER, 99},
        {__LINE__, nullptr, sizeof(SHELLEXECUTEINFO), ERROR_INVALID_PARAMETER, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        size_t before = d.ProcessIds().size();
        DWORD caller = RunInProcess(d, [&] {
            SHELLEXECUTEINFO info =
                Info(u"Open", c.file, nullptr, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI);
            info.cbSize = c.cbSize;
            info.hInstApp = reinterpret_cast<HINSTANCE>(UINT_PTR(99));
            EXPECT_FALSE(ShellExecuteEx(&info));
            EXPECT_EQ(c.error, GetLastError());
            EXPECT_EQ(c.hInstApp, reinterpret_cast<UINT_PTR>(info.hInstApp));
            EXPECT_EQ(nullptr, info.hProcess);
        });
        EXPECT_EQ(before, d.ProcessIds().size()) << "nothing started";
        EXPECT_NOTHING_HELD(d, caller);
    }
}

TEST(ShellExecuteExDeathTest, TheShellsOwnErrorBoxIsNotEmulated) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Device d;
            d.Call([] {
                SHELLEXECUTEINFO info = Info(nullptr, u"\\Windows\\gone.exe", nullptr, 0);
                ShellExecuteEx(&info);
            });
        },
        "not emulated: ShellExecuteEx: the shell's error box");
}
