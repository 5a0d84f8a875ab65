// Key handles: their values, who holds them, what happens at process exit
// and when their key is deleted; the fault plan on every registry call; and
// deep trees freed without recursion.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <memory>

#include "helpers.h"

using handset::Device;
using handset::Registry;
using namespace regtest;

TEST(RegHandles, AreNewValuesDistinctFromTheRootsAndNeverGivenTwice) {
    Device d;
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, u"Software");
    HKEY first = OpenKey(HKEY_LOCAL_MACHINE, u"Software");
    ASSERT_NE(nullptr, first);
    EXPECT_FALSE(handset::Registry::IsPredefined(first));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(first));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(first)) << "closed already";
    HKEY second = OpenKey(HKEY_LOCAL_MACHINE, u"Software");
    EXPECT_NE(first, second) << "a closed handle's value does not come back";
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegQueryValueExW(first, u"x", nullptr, nullptr, nullptr, &size));
    RegCloseKey(second);

    // The roots close as a no-op and stay usable.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS})
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(root));
    EXPECT_NE(nullptr, OpenKey(HKEY_LOCAL_MACHINE, u"Software"));
    // Something that never was a key handle, such as a kernel handle.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reinterpret_cast<HKEY>(event)));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    CloseHandle(event);
}

TEST(RegHandles, CountAgainstTheProcessThatOpenedThem) {
    Device d;
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Apps");
    HKEY shared = nullptr;
    DWORD first = 0, second = 0;
    first = d.StartProcess("first", [&] {
        HKEY a = OpenKey(HKEY_LOCAL_MACHINE, u"Software");
        HKEY b = CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Apps");
        EXPECT_EQ(2, d.Held(GetCurrentProcessId(), handset::kRegistryKey));
        RegCloseKey(a);
        EXPECT_EQ(1, d.Held(GetCurrentProcessId(), handset::kRegistryKey));
        shared = b;
        Sleep(1000);
        return DWORD(0);
    });
    second = d.StartProcess("second", [&] {
        HKEY c = OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Apps");
        EXPECT_EQ(1, d.Held(GetCurrentProcessId(), handset::kRegistryKey));
        // A failed open holds nothing.
        EXPECT_EQ(nullptr, OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Missing"));
        EXPECT_EQ(1, d.Held(GetCurrentProcessId(), handset::kRegistryKey));
        RegCloseKey(c);
        return DWORD(0);
    });
    d.RunFor(10);
    EXPECT_EQ(1, d.Held(first, handset::kRegistryKey));
    EXPECT_EQ(0, d.Held(second, handset::kRegistryKey));
    EXPECT_EQ(1u, d.Get<handset::Registry>().OpenHandleCount());
    // Closed from elsewhere, the handle still comes off its owner's count.
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(shared));
    EXPECT_EQ(0, d.Held(first, handset::kRegistryKey));
    d.RunFor(2000);
}

TEST(RegHandles, ThoseLeftOpenAreClosedWhenTheProcessEnds) {
    Device d;
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, u"Software");
    std::vector<HKEY> leaked;
    DWORD pid = d.StartProcess("leaker", [&] {
        for (int i = 0; i < 3; ++i)
            leaked.push_back(OpenKey(HKEY_LOCAL_MACHINE, u"Software"));
        RegCloseKey(leaked[0]);
        return DWORD(0);
    });
    DWORD other = d.StartProcess("keeper", [&] {
        OpenKey(HKEY_LOCAL_MACHINE, u"Software");
        Sleep(5000);
        return DWORD(0);
    });
    d.RunFor(100);
    ASSERT_FALSE(d.ProcessRunning(pid));
    EXPECT_EQ(2, d.Held(pid, handset::kRegistryKey)) << "the count as it was when it ended";
    EXPECT_EQ(1u, d.Get<handset::Registry>().OpenHandleCount())
        << "only the running process's handle is left";
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(leaked[1])) << "the kernel closed it";
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(leaked[2]));
    EXPECT_EQ(1, d.Held(other, handset::kRegistryKey));
    d.RunFor(6000);
    EXPECT_EQ(0u, d.Get<handset::Registry>().OpenHandleCount());
}

TEST(RegHandles, OnADeletedKeyAnswerKeyDeletedAndStillClose) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Gone\\Child", u"V", 1);
    HKEY gone = OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Gone");
    HKEY child = OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Gone\\Child");
    ASSERT_NE(nullptr, gone);
    ASSERT_NE(nullptr, child);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Gone"));

    BYTE data[4] = {1, 0, 0, 0};
    for (HKEY h : {gone, child}) {
        DWORD size = 4, disp = 0, count = 0;
        HKEY out = nullptr;
        WCHAR name[16];
        DWORD chars = 16;
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(h, u"V", nullptr, nullptr, data, &size));
        EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(h, u"New", 0, REG_DWORD, data, 4));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueW(h, u"V"));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegEnumKeyExW(h, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegEnumValueW(h, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExW(h, u"", 0, 0, &out));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegCreateKeyExW(h, u"Again", 0, nullptr, 0, 0, nullptr, &out, &disp));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteKeyW(h, u"Child"));
    }
    // A key of the same name made later is another key.
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Gone", u"Fresh", 2);
    DWORD size = 4;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(gone, u"Fresh", nullptr, nullptr, data, &size));
    EXPECT_FALSE(r.KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Gone\\Child"));
    EXPECT_EQ(2u, r.OpenHandleCount());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(gone));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));
    EXPECT_EQ(0u, r.OpenHandleCount());
}

TEST(RegFaults, EachCallReturnsThePlannedErrorAndChangesNothing) {
    struct Case {
        int line;
        const char* function;
        std::function<LONG(HKEY key)> call;
    } cases[] = {
        {__LINE__, "RegOpenKeyExW",
         [](HKEY) {
             HKEY out = nullptr;
             LONG r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\T", 0, 0, &out);
             EXPECT_EQ(nullptr, out);
             return r;
         }},
        {__LINE__, "RegCreateKeyExW",
         [](HKEY) {
             HKEY out = nullptr;
             DWORD disp = 0;
             LONG r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\New", 0, nullptr, 0, 0,
                                      nullptr, &out, &disp);
             EXPECT_EQ(nullptr, out);
             EXPECT_EQ(0u, disp);
             return r;
         }},
        {__LINE__, "RegCloseKey", [](HKEY key) { return RegCloseKey(key); }},
        {__LINE__, "RegQueryInfoKeyW",
         [](HKEY key) {
             DWORD values = 99;
             LONG r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       &values, nullptr, nullptr, nullptr, nullptr);
             EXPECT_EQ(99u, values);
             return r;
         }},
        {__LINE__, "RegQueryValueExW",
         [](HKEY key) {
             DWORD size = 4, value = 99;
             LONG r = RegQueryValueExW(key, u"V", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                       &size);
             EXPECT_EQ(99u, value);
             return r;
         }},
        {__LINE__, "RegSetValueExW",
         [](HKEY key) {
             DWORD value = 5;
             return RegSetValueExW(key, u"V", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
         }},
        {__LINE__, "RegDeleteValueW", [](HKEY key) { return RegDeleteValueW(key, u"V"); }},
        {__LINE__, "RegDeleteKeyW", [](HKEY key) { return RegDeleteKeyW(key, u"Sub"); }},
        {__LINE__, "RegEnumKeyExW",
         [](HKEY key) {
             WCHAR name[8];
             DWORD chars = 8;
             return RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr);
         }},
        {__LINE__, "RegEnumValueW",
         [](HKEY key) {
             WCHAR name[8];
             DWORD chars = 8;
             return RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, u"Software\\T", u"V", 1);
        d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, u"Software\\T\\Sub");
        const std::string before = d.Get<handset::Registry>().SaveRegText();
        d.Call([&] {
            HKEY key = OpenKey(HKEY_LOCAL_MACHINE, u"Software\\T");
            d.faults().FailAlways(c.function, ERROR_ACCESS_DENIED);
            EXPECT_EQ(ERROR_ACCESS_DENIED, c.call(key)) << "" << c.function;
            d.faults().Clear();
            EXPECT_EQ(1, d.Held(GetCurrentProcessId(), handset::kRegistryKey)) << "" << c.function;
            RegCloseKey(key);
            return DWORD(0);
        });
        EXPECT_EQ(before, d.Get<handset::Registry>().SaveRegText()) << "" << c.function;
        EXPECT_EQ(0u, d.timeline().Count("registry.write") + d.timeline().Count("registry.delete") +
                          d.timeline().Count("registry.create"));
    }
}

TEST(RegFaults, NthCallFailsAndTheOthersDoNot) {
    Device d;
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, u"Software");
    d.faults().FailNth("RegOpenKeyExW", 2, ERROR_NOT_ENOUGH_MEMORY);
    std::vector<LONG> results;
    for (int i = 0; i < 3; ++i) {
        HKEY key = nullptr;
        results.push_back(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, 0, &key));
        if (key) RegCloseKey(key);
    }
    EXPECT_EQ((std::vector<LONG>{ERROR_SUCCESS, ERROR_NOT_ENOUGH_MEMORY, ERROR_SUCCESS}), results);
}

TEST(RegDriver, ReadsAndWritesPastTheFaultPlanAndTheAccounting) {
    Device d;
    for (const char* f : {"RegOpenKeyExW", "RegCreateKeyExW", "RegSetValueExW", "RegQueryValueExW"})
        d.faults().FailAlways(f, ERROR_ACCESS_DENIED);
    auto& r = d.Get<handset::Registry>();
    r.SetDword(HKEY_CURRENT_USER, u"Control\\Volume", u"Level", 0x80000000u);
    r.SetString(HKEY_CURRENT_USER, u"Control", u"Name", u"phone");
    EXPECT_EQ(0x80000000u, r.GetDword(HKEY_CURRENT_USER, u"CONTROL\\volume", u"level").value_or(0));
    EXPECT_EQ("phone",
              handset::Narrow(r.GetString(HKEY_CURRENT_USER, u"Control", u"Name").value_or(u"")));
    EXPECT_FALSE(r.GetDword(HKEY_CURRENT_USER, u"Control", u"Name")) << "not a DWORD";
    EXPECT_FALSE(r.Get(HKEY_CURRENT_USER, u"Nowhere", u"Name"));
    EXPECT_FALSE(r.KeyExists(HKEY_LOCAL_MACHINE, u"Control")) << "roots are apart";
    EXPECT_EQ(0u, d.faults().Calls("RegSetValueExW"));
    EXPECT_EQ(0u, r.OpenHandleCount());
    EXPECT_TRUE(r.DeleteKey(HKEY_CURRENT_USER, u"Control"));
    EXPECT_FALSE(r.DeleteKey(HKEY_CURRENT_USER, u"Control"));
    EXPECT_FALSE(r.KeyExists(HKEY_CURRENT_USER, u"Control\\Volume"));
}

namespace {

// Runs fn on a thread with a 64 KB stack, where a destructor that recursed
// once per level of a deep tree would overflow.
void OnASmallStack(std::function<void()> fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 64 * 1024);
    pthread_t thread;
    auto body = [](void* arg) -> void* {
        (*static_cast<std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(0, pthread_create(&thread, &attr, body, &fn));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

// A chain of keys `levels` deep below a new key; the chain's first key.
std::shared_ptr<Registry::Key> Chain(int levels) {
    auto top = std::make_shared<Registry::Key>();
    Registry::Key* k = top.get();
    for (int i = 0; i < levels; ++i) {
        auto sub = std::make_shared<Registry::Key>();
        sub->name = u"k";
        sub->parent = k;
        k->subkeys.push_back(sub);
        k = sub.get();
    }
    return top;
}

} // namespace

// No call makes a tree this deep any more (keys go 512 levels down), so it is
// built by hand: a deep tree is freed, and deleted, without recursion.
TEST(RegKeys, ADeepTreeIsFreedAndDeletedWithoutRecursion) {
    auto alone = Chain(100000);
    // A key still held elsewhere (as a handle holds a deleted one) keeps its subtree.
    std::shared_ptr<Registry::Key> middle = alone;
    for (int i = 0; i < 50000; ++i)
        middle = middle->subkeys.front();
    OnASmallStack([&] { alone.reset(); });
    size_t below = 0;
    for (auto k = middle; !k->subkeys.empty(); k = k->subkeys.front())
        ++below;
    EXPECT_EQ(50000u, below);
    OnASmallStack([&] { middle.reset(); });

    Device d;
    auto& root = d.Get<handset::Registry>().Root(HKEY_LOCAL_MACHINE);
    auto top = Chain(100000);
    top->name = u"Deep";
    top->parent = &root;
    root.subkeys.push_back(top);
    Registry::Key* held = top.get();
    top.reset();
    OnASmallStack([&] { d.Get<handset::Registry>().Remove(*held); });
    EXPECT_FALSE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, u"Deep"));
}
