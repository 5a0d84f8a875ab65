// The COM runtime: apartments per thread, CoCreateInstance's checks and
// errors, and faults from the plan.
#include <gtest/gtest.h>

#include <functional>

#include <objbase.h>
#include <pimstore.h>

#include "device/device.h"
#include "pim/store.h"

using handset::Device;

namespace {

const IID kOtherIid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

// CoCreateInstance of the application, released at once; its result.
HRESULT CreateApp() {
    IPOutlookApp* app = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IPOutlookApp, reinterpret_cast<void**>(&app));
    if (app) app->Release();
    return hr;
}

} // namespace

TEST(CoInitializeEx, FirstCallSucceedsRepeatsCountAndOtherModeIsRefused) {
    Device d;
    d.Call([&] {
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        // Two successes, so two CoUninitialize calls end COM; the refused call counts for nothing.
        CoUninitialize();
        EXPECT_EQ(S_OK, CreateApp()) << "one CoInitializeEx is still open";
        CoUninitialize();
        EXPECT_EQ(CO_E_NOTINITIALIZED, CreateApp());
        CoUninitialize(); // one too many: nothing happens
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))
            << "a new start may choose the other model";
        CoUninitialize();
    });
}

TEST(CoInitializeEx, RefusesReservedPointerAndUnknownFlags) {
    Device d;
    d.Call([&] {
        int reserved = 0;
        EXPECT_EQ(E_INVALIDARG, CoInitializeEx(&reserved, COINIT_MULTITHREADED));
        EXPECT_EQ(E_INVALIDARG, CoInitializeEx(nullptr, 0x4));
        EXPECT_EQ(E_INVALIDARG, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | 0x8));
        EXPECT_EQ(CO_E_NOTINITIALIZED, CreateApp()) << "refused calls start nothing";
    });
}

TEST(CoInitializeEx, IsPerThread) {
    Device d;
    static HRESULT otherCreate, otherInit;
    d.Call([&] {
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                otherCreate = CreateApp();
                otherInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
                CoUninitialize();
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        EXPECT_EQ(S_OK, CreateApp()) << "the other thread's CoUninitialize is its own";
        CoUninitialize();
    });
    EXPECT_EQ(CO_E_NOTINITIALIZED, otherCreate);
    EXPECT_EQ(S_OK, otherInit) << "a second thread starts its own COM, in its own model";
}

TEST(CoCreateInstance, RefusesWithTheDocumentedErrors) {
    struct Case {
        const char* what;
        const CLSID* clsid;
        bool outer;
        DWORD context;
        const IID* iid;
        bool nullOut;
        HRESULT expected;
    };
    const Case cases[] = {
        {"null out pointer", &CLSID_Application, false, CLSCTX_INPROC_SERVER, &IID_IPOutlookApp,
         true, E_POINTER},
        {"unknown class", &kOtherIid, false, CLSCTX_INPROC_SERVER, &IID_IPOutlookApp, false,
         REGDB_E_CLASSNOTREG},
        {"local server only", &CLSID_Application, false, CLSCTX_LOCAL_SERVER, &IID_IPOutlookApp,
         false, REGDB_E_CLASSNOTREG},
        {"aggregation", &CLSID_Application, true, CLSCTX_INPROC_SERVER, &IID_IPOutlookApp, false,
         CLASS_E_NOAGGREGATION},
        {"unknown interface", &CLSID_Application, false, CLSCTX_INPROC_SERVER, &kOtherIid, false,
         E_NOINTERFACE},
        {"a folder's interface", &CLSID_Application, false, CLSCTX_INPROC_SERVER, &IID_IFolder,
         false, E_NOINTERFACE},
    };
    Device d;
    DWORD pid = 0;
    d.Call([&] {
        pid = d.CurrentPid();
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        int notAnObject = 0; // the outer object is refused before it is used
        auto* outer = reinterpret_cast<IUnknown*>(&notAnObject);
        for (const Case& c : cases) {
            void* out = reinterpret_cast<void*>(0x1); // must be cleared
            HRESULT hr = CoCreateInstance(*c.clsid, c.outer ? outer : nullptr, c.context, *c.iid,
                                          c.nullOut ? nullptr : &out);
            EXPECT_EQ(c.expected, hr) << c.what;
            if (!c.nullOut) {
                EXPECT_EQ(nullptr, out) << c.what;
            }
        }
        EXPECT_EQ(0, d.Held(pid, handset::kComObject)) << "a refused call makes no object";
        CoUninitialize();
    });
}

TEST(CoCreateInstance, GivesTheApplicationForEachOfItsInterfaces) {
    Device d;
    DWORD pid = 0;
    d.Call([&] {
        pid = d.CurrentPid();
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (const IID* iid : {&IID_IPOutlookApp, &IID_IDispatch, &IID_IUnknown}) {
            IUnknown* unknown = nullptr;
            HRESULT hr = CoCreateInstance(CLSID_Application, nullptr, CLSCTX_SERVER, *iid,
                                          reinterpret_cast<void**>(&unknown));
            ASSERT_EQ(S_OK, hr);
            ASSERT_NE(nullptr, unknown);
            EXPECT_EQ(1, d.Held(pid, handset::kComObject));
            IPOutlookApp* app = nullptr;
            EXPECT_EQ(S_OK,
                      unknown->QueryInterface(IID_IPOutlookApp, reinterpret_cast<void**>(&app)));
            EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(app)) << "one object";
            EXPECT_EQ(1u, app->Release());
            EXPECT_EQ(0u, unknown->Release());
            EXPECT_EQ(0, d.Held(pid, handset::kComObject));
        }
        // Each call makes an object of its own.
        IPOutlookApp* a = nullptr;
        IPOutlookApp* b = nullptr;
        CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                         reinterpret_cast<void**>(&a));
        CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                         reinterpret_cast<void**>(&b));
        EXPECT_NE(a, b);
        EXPECT_EQ(2, d.Held(pid, handset::kComObject));
        a->Release();
        b->Release();
        CoUninitialize();
    });
    EXPECT_EQ(0, d.Held(pid, handset::kComObject));
}

TEST(CoCreateInstance, FaultsFromThePlan) {
    Device d;
    d.faults().FailNth("CoInitializeEx", 1, static_cast<DWORD>(E_OUTOFMEMORY));
    d.faults().FailNth("CoCreateInstance", 2, static_cast<DWORD>(E_OUTOFMEMORY));
    d.Call([&] {
        EXPECT_EQ(E_OUTOFMEMORY, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(CO_E_NOTINITIALIZED, CreateApp()) << "the failed start opened nothing";
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(E_OUTOFMEMORY, CreateApp()) << "the second call fails";
        EXPECT_EQ(S_OK, CreateApp()) << "the third call is past the fault";
        CoUninitialize();
    });
    EXPECT_EQ(3u, d.faults().Calls("CoCreateInstance"));
}

TEST(CoCreateInstance, SlowFaultTakesVirtualTime) {
    Device d;
    d.faults().Slow("CoCreateInstance", 750);
    uint64_t took = 0;
    d.Call([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        uint64_t start = d.Now();
        EXPECT_EQ(S_OK, CreateApp());
        took = d.Now() - start;
        CoUninitialize();
    });
    EXPECT_EQ(750u, took);
}
