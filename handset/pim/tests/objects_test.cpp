// The Pocket Outlook objects: session rules, the collection's indexing, the
// contact getters, reference counts and what each process is counted for,
// strings and their freeing, faults, and what a process leaves at its exit.
#include <gtest/gtest.h>

#include <functional>

#include <cstdio>
#include <string>

#include <mapix.h>
#include <objbase.h>
#include <pimstore.h>

#include "device/device.h"
#include "testing/testing.h"
#include "pim/store.h"

using handset::ContactRecord;
using handset::Device;
using handset::Narrow;
using handset::PimStore;

namespace {

using TextGetter = HRESULT (STDMETHODCALLTYPE IContact::*)(BSTR*);

std::string Hex(HRESULT hr) {
    return handset::testing::Hex(static_cast<uint32_t>(hr));
}

// The property's text, freed again; an error reads as "error 0x...".
std::string Read(IContact* contact, TextGetter getter) {
    BSTR text = nullptr;
    HRESULT hr = (contact->*getter)(&text);
    if (FAILED(hr)) return "error " + Hex(hr);
    if (!text) return "null";
    std::string out = Narrow(text);
    MAPIFreeBuffer(text);
    return out;
}

// COM, a logged-on application, its contacts folder and the folder's items,
// as a program opens them.
struct Session {
    IPOutlookApp* app = nullptr;
    IFolder* folder = nullptr;
    IPOutlookItemCollection* items = nullptr;

    void Open() {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPOutlookApp, reinterpret_cast<void**>(&app)));
        ASSERT_EQ(S_OK, app->Logon(0));
        ASSERT_EQ(S_OK, app->GetDefaultFolder(olFolderContacts, &folder));
        ASSERT_EQ(S_OK, folder->get_Items(&items));
    }
    void Close() {
        if (items) items->Release();
        if (folder) folder->Release();
        if (app) {
            app->Logoff();
            app->Release();
        }
        items = nullptr;
        folder = nullptr;
        app = nullptr;
        CoUninitialize();
    }
    IContact* Item(int i) {
        IDispatch* item = nullptr;
        return SUCCEEDED(items->Item(i, &item)) ? static_cast<IContact*>(item) : nullptr;
    }
};

ContactRecord Person(const char16_t* last, const char16_t* first, const char16_t* mobile) {
    return ContactRecord{.firstName = first, .lastName = last, .mobileTelephoneNumber = mobile};
}

} // namespace

TEST(Application, FoldersNeedLogonAndLogoffEndsTheSession) {
    Device d;
    long oid = d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"123"));
    d.Call([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IPOutlookApp* app = nullptr;
        CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                         reinterpret_cast<void**>(&app));
        IFolder* folder = reinterpret_cast<IFolder*>(0x1);
        IDispatch* item = reinterpret_cast<IDispatch*>(0x1);
        EXPECT_EQ(E_FAIL, app->GetDefaultFolder(olFolderContacts, &folder)) << "before Logon";
        EXPECT_EQ(nullptr, folder);
        EXPECT_EQ(E_FAIL, app->GetItemFromOid(oid, &item)) << "before Logon";
        EXPECT_EQ(nullptr, item);

        EXPECT_EQ(S_OK, app->Logon(0));
        EXPECT_EQ(S_OK, app->Logon(0)) << "a second Logon is harmless";
        ASSERT_EQ(S_OK, app->GetDefaultFolder(olFolderContacts, &folder));
        EXPECT_EQ(S_OK, app->Logoff());
        EXPECT_EQ(E_FAIL, app->GetDefaultFolder(olFolderContacts, &folder)) << "after Logoff";
        EXPECT_EQ(nullptr, folder);
        folder = nullptr;
        app->Release();
        CoUninitialize();
    });
}

TEST(Application, ObjectsGotDuringTheSessionOutliveLogoff) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"123"));
    d.Call([&] {
        Session s;
        s.Open();
        EXPECT_EQ(S_OK, s.app->Logoff());
        int count = -1;
        EXPECT_EQ(S_OK, s.items->get_Count(&count));
        EXPECT_EQ(1, count);
        s.Close();
    });
}

TEST(Application, GetDefaultFolderGivesOnlyContacts) {
    struct Case {
        int folder;
        HRESULT expected;
    };
    const Case cases[] = {
        {olFolderContacts, S_OK},
        {0, E_INVALIDARG},
        {-1, E_INVALIDARG},
        {11, E_INVALIDARG},
    };
    Device d;
    d.Call([&] {
        Session s;
        s.Open();
        for (const Case& c : cases) {
            IFolder* folder = nullptr;
            EXPECT_EQ(Hex(c.expected), Hex(s.app->GetDefaultFolder(c.folder, &folder)))
                << "folder " << c.folder;
            EXPECT_EQ(c.expected == S_OK, folder != nullptr) << "folder " << c.folder;
            if (folder) {
                int type = 0;
                EXPECT_EQ(S_OK, folder->get_DefaultItemType(&type));
                EXPECT_EQ(olContactItem, type);
                folder->Release();
            }
        }
        EXPECT_EQ(E_POINTER, s.app->GetDefaultFolder(olFolderContacts, nullptr));
        s.Close();
    });
}

TEST(Application, VersionAndItemFromOid) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"123"));
    long oid = d.Get<handset::PimStore>().Add(Person(u"Roe", u"Rick", u"456"));
    d.Call([&] {
        Session s;
        s.Open();
        BSTR version = nullptr;
        EXPECT_EQ(S_OK, s.app->get_Version(&version));
        EXPECT_EQ("1.0", Narrow(version ? version : u""));
        MAPIFreeBuffer(version);
        EXPECT_EQ(E_POINTER, s.app->get_Version(nullptr));

        IDispatch* item = nullptr;
        ASSERT_EQ(S_OK, s.app->GetItemFromOid(oid, &item));
        auto* contact = static_cast<IContact*>(item);
        EXPECT_EQ("Roe", Read(contact, &IContact::get_LastName));
        long got = 0;
        EXPECT_EQ(S_OK, contact->get_Oid(&got));
        EXPECT_EQ(oid, got);
        contact->Release();
        EXPECT_EQ(E_INVALIDARG, s.app->GetItemFromOid(oid + 1000, &item));
        EXPECT_EQ(nullptr, item);
        s.Close();
    });
}

TEST(Objects, AnswerQueryInterfaceForTheirOwnInterfaceOnly) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"123"));
    d.Call([&] {
        Session s;
        s.Open();
        IContact* contact = s.Item(1);
        ASSERT_NE(nullptr, contact);
        struct Object {
            const char* name;
            IUnknown* object;
            const IID* own;
        };
        const Object objects[] = {
            {"application", s.app, &IID_IPOutlookApp},
            {"folder", s.folder, &IID_IFolder},
            {"items", s.items, &IID_IPOutlookItemCollection},
            {"contact", contact, &IID_IContact},
        };
        const IID* all[] = {&IID_IPOutlookApp, &IID_IFolder, &IID_IPOutlookItemCollection,
                            &IID_IContact};
        for (const Object& o : objects) {
            for (const IID* iid : {o.own, &IID_IDispatch, &IID_IUnknown}) {
                void* out = nullptr;
                EXPECT_EQ(S_OK, o.object->QueryInterface(*iid, &out)) << o.name;
                EXPECT_EQ(static_cast<void*>(o.object), out) << o.name << ": one object";
                if (out) static_cast<IUnknown*>(out)->Release();
            }
            for (const IID* iid : all) {
                if (iid == o.own) continue;
                void* out = reinterpret_cast<void*>(0x1);
                EXPECT_EQ(E_NOINTERFACE, o.object->QueryInterface(*iid, &out)) << o.name;
                EXPECT_EQ(nullptr, out) << o.name;
            }
            EXPECT_EQ(E_POINTER, o.object->QueryInterface(IID_IUnknown, nullptr)) << o.name;
        }
        contact->Release();
        s.Close();
    });
}

// Methods and folders the phone has but the handset does not emulate stop
// the run, naming the method and what was asked of it.
TEST(ObjectsDeathTest, WhatTheHandsetDoesNotEmulateStopsTheRunNamingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    BSTR text = const_cast<BSTR>(u"Doe");
    IDispatch* item = nullptr;
    IFolder* folder = nullptr;
    IPOutlookItemCollection* restricted = nullptr;
    UINT count = 0;
    ITypeInfo* info = nullptr;
    DISPID id = 0;
    struct Case {
        int line;
        std::function<void(Session&)> call;
        const char* message;
    } cases[] = {
        {__LINE__, [&](Session& s) { s.app->GetDefaultFolder(olFolderCalendar, &folder); },
         "IPOutlookApp::GetDefaultFolder: olFolder 9"},
        {__LINE__, [&](Session& s) { s.app->GetDefaultFolder(olFolderTasks, &folder); },
         "IPOutlookApp::GetDefaultFolder: olFolder 13"},
        {__LINE__, [&](Session& s) { s.app->GetDefaultFolder(olFolderCities, &folder); },
         "IPOutlookApp::GetDefaultFolder: olFolder 101"},
        {__LINE__, [&](Session& s) { s.app->GetDefaultFolder(olFolderInfrared, &folder); },
         "IPOutlookApp::GetDefaultFolder: olFolder 102"},
        {__LINE__, [&](Session& s) { s.app->CreateItem(olContactItem, &item); },
         "IPOutlookApp::CreateItem: olItem 2"},
        {__LINE__, [&](Session& s) { s.items->Add(&item); }, "IPOutlookItemCollection::Add"},
        {__LINE__, [&](Session& s) { s.items->Find(text, &item); },
         "IPOutlookItemCollection::Find: restriction \"Doe\""},
        {__LINE__, [&](Session& s) { s.items->FindNext(&item); },
         "IPOutlookItemCollection::FindNext"},
        {__LINE__, [&](Session& s) { s.items->Remove(1); },
         "IPOutlookItemCollection::Remove: index 1"},
        {__LINE__, [&](Session& s) { s.items->Restrict(text, &restricted); },
         "IPOutlookItemCollection::Restrict: restriction \"Doe\""},
        {__LINE__, [&](Session& s) { s.items->Sort(text, VARIANT_FALSE); },
         "IPOutlookItemCollection::Sort: property \"Doe\""},
        {__LINE__, [&](Session& s) { s.app->GetTypeInfoCount(&count); },
         "IDispatch::GetTypeInfoCount"},
        {__LINE__, [&](Session& s) { s.folder->GetTypeInfo(0, 0, &info); },
         "IDispatch::GetTypeInfo"},
        {__LINE__, [&](Session& s) { s.folder->GetIDsOfNames(IID_IUnknown, &text, 1, 0, &id); },
         "IDispatch::GetIDsOfNames: name Doe"},
        {__LINE__,
         [&](Session& s) {
             s.items->Invoke(7, IID_IUnknown, 0, 0, nullptr, nullptr, nullptr, nullptr);
         },
         "IDispatch::Invoke: dispIdMember 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        EXPECT_DEATH(
            {
                Device d;
                d.Call([&] {
                    Session s;
                    s.Open();
                    c.call(s);
                });
            },
            std::string("handset: not emulated: ") + c.message);
    }
}

TEST(Objects, GetApplicationGivesTheApplicationThatMadeThem) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"123"));
    d.Call([&] {
        Session s;
        s.Open();
        IContact* contact = s.Item(1);
        ASSERT_NE(nullptr, contact);
        IPOutlookApp* got = nullptr;
        EXPECT_EQ(S_OK, s.folder->get_Application(&got));
        EXPECT_EQ(s.app, got);
        // The program, the folder, the items and the contact hold it, and now this.
        EXPECT_EQ(4u, got->Release()) << "it was given with a reference of its own";
        EXPECT_EQ(S_OK, s.items->get_Application(&got));
        EXPECT_EQ(s.app, got);
        got->Release();
        EXPECT_EQ(S_OK, contact->get_Application(&got));
        EXPECT_EQ(s.app, got);
        got->Release();
        EXPECT_EQ(E_POINTER, contact->get_Application(nullptr));
        contact->Release();
        s.Close();
    });
}

TEST(Items, AreIndexedFromOneInInsertionOrder) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Zed", u"Ann", u"1"));
    d.Get<handset::PimStore>().Add(Person(u"Abel", u"Bob", u"2"));
    d.Get<handset::PimStore>().Add(Person(u"Moe", u"Cy", u"3"));
    d.Call([&] {
        Session s;
        s.Open();
        int count = 0;
        EXPECT_EQ(S_OK, s.items->get_Count(&count));
        EXPECT_EQ(3, count);
        const char* expected[] = {"Zed", "Abel", "Moe"}; // not sorted
        for (int i = 1; i <= 3; ++i) {
            IContact* contact = s.Item(i);
            ASSERT_NE(nullptr, contact) << "item " << i;
            EXPECT_EQ(expected[i - 1], Read(contact, &IContact::get_LastName)) << "item " << i;
            long oid = 0;
            contact->get_Oid(&oid);
            EXPECT_EQ(d.Get<handset::PimStore>().OidAt(i - 1), oid) << "item " << i;
            contact->Release();
        }
        for (int bad : {0, -1, 4, 1000}) {
            IDispatch* item = reinterpret_cast<IDispatch*>(0x1);
            EXPECT_EQ(E_INVALIDARG, s.items->Item(bad, &item)) << "index " << bad;
            EXPECT_EQ(nullptr, item) << "index " << bad;
        }
        EXPECT_EQ(E_POINTER, s.items->Item(1, nullptr));
        EXPECT_EQ(E_POINTER, s.items->get_Count(nullptr));
        s.Close();
    });
}

TEST(Items, AreALiveViewOfTheStore) {
    Device d;
    PimStore& store = d.Get<handset::PimStore>();
    long first = store.Add(Person(u"Doe", u"Jane", u"1"));
    d.StartProcess("holder", [&] {
        Session s;
        s.Open();
        IContact* held = s.Item(1);
        Sleep(100); // the driver changes the store meanwhile
        int count = 0;
        s.items->get_Count(&count);
        EXPECT_EQ(1, count) << "one removed, one added";
        IContact* now = s.Item(1);
        EXPECT_EQ("Roe", Read(now, &IContact::get_LastName)) << "the new one is first now";
        now->Release();
        // The held item's record is gone: its text cannot be read, its id still can.
        BSTR text = reinterpret_cast<BSTR>(0x1);
        EXPECT_EQ(E_FAIL, held->get_LastName(&text));
        EXPECT_EQ(nullptr, text);
        long oid = 0;
        EXPECT_EQ(S_OK, held->get_Oid(&oid));
        EXPECT_EQ(first, oid);
        held->Release();
        s.Close();
        return DWORD(0);
    });
    d.RunUntilIdle();
    EXPECT_TRUE(store.Remove(first));
    store.Add(Person(u"Roe", u"Rick", u"2"));
    d.RunFor(200);
}

TEST(Contact, EachGetterReadsItsOwnProperty) {
    // Every property holds its own name, so a getter wired to the wrong field shows.
    const struct {
        const char* property;
        TextGetter getter;
    } getters[] = {
        {"FirstName", &IContact::get_FirstName},
        {"MiddleName", &IContact::get_MiddleName},
        {"LastName", &IContact::get_LastName},
        {"Title", &IContact::get_Title},
        {"Suffix", &IContact::get_Suffix},
        {"FileAs", &IContact::get_FileAs},
        {"CompanyName", &IContact::get_CompanyName},
        {"Department", &IContact::get_Department},
        {"JobTitle", &IContact::get_JobTitle},
        {"BusinessTelephoneNumber", &IContact::get_BusinessTelephoneNumber},
        {"Business2TelephoneNumber", &IContact::get_Business2TelephoneNumber},
        {"HomeTelephoneNumber", &IContact::get_HomeTelephoneNumber},
        {"Home2TelephoneNumber", &IContact::get_Home2TelephoneNumber},
        {"MobileTelephoneNumber", &IContact::get_MobileTelephoneNumber},
        {"CarTelephoneNumber", &IContact::get_CarTelephoneNumber},
        {"RadioTelephoneNumber", &IContact::get_RadioTelephoneNumber},
        {"PagerNumber", &IContact::get_PagerNumber},
        {"BusinessFaxNumber", &IContact::get_BusinessFaxNumber},
        {"HomeFaxNumber", &IContact::get_HomeFaxNumber},
        {"Email1Address", &IContact::get_Email1Address},
        {"Email2Address", &IContact::get_Email2Address},
        {"Email3Address", &IContact::get_Email3Address},
    };
    ASSERT_EQ(std::size(getters), handset::ContactProperties().size());
    Device d;
    ContactRecord full;
    for (auto& p : handset::ContactProperties())
        full.*p.field = handset::Widen(p.name);
    d.Get<handset::PimStore>().Add(full);
    d.Get<handset::PimStore>().Add(ContactRecord{});
    d.Call([&] {
        Session s;
        s.Open();
        IContact* contact = s.Item(1);
        IContact* empty = s.Item(2);
        ASSERT_NE(nullptr, contact);
        ASSERT_NE(nullptr, empty);
        for (auto& g : getters) {
            EXPECT_EQ(g.property, Read(contact, g.getter));
            // An empty property is an empty string, not null.
            BSTR text = nullptr;
            EXPECT_EQ(S_OK, (empty->*g.getter)(&text)) << g.property;
            ASSERT_NE(nullptr, text) << g.property;
            EXPECT_EQ(0u, SysStringLen(text)) << g.property;
            EXPECT_EQ(u'\0', text[0]) << g.property;
            MAPIFreeBuffer(text);
            EXPECT_EQ(E_POINTER, (contact->*g.getter)(nullptr)) << g.property;
        }
        EXPECT_EQ(E_POINTER, contact->get_Oid(nullptr));
        contact->Release();
        empty->Release();
        s.Close();
    });
}

TEST(Accounting, ObjectsAreCountedWhileAliveAndReferencesKeepThemAlive) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"1"));
    DWORD pid = 0;
    d.Call([&] {
        pid = d.CurrentPid();
        Session s;
        s.Open();
        EXPECT_EQ(3, d.Held(pid, handset::kComObject)) << "application, folder, items";
        IContact* a = s.Item(1);
        IContact* b = s.Item(1);
        EXPECT_NE(a, b) << "each Item call makes an object";
        EXPECT_EQ(5, d.Held(pid, handset::kComObject));
        EXPECT_EQ(2u, a->AddRef());
        EXPECT_EQ(1u, a->Release());
        EXPECT_EQ(5, d.Held(pid, handset::kComObject)) << "one reference left";
        EXPECT_EQ(0u, a->Release());
        EXPECT_EQ(0u, b->Release());
        EXPECT_EQ(3, d.Held(pid, handset::kComObject));

        // The folder holds the application: releasing the program's reference
        // first leaves it alive, and counted, until the folder goes.
        EXPECT_EQ(S_OK, s.app->Logoff());
        EXPECT_EQ(2u, s.app->Release()) << "folder and items hold it";
        s.app = nullptr;
        EXPECT_EQ(3, d.Held(pid, handset::kComObject));
        s.folder->Release();
        s.folder = nullptr;
        EXPECT_EQ(2, d.Held(pid, handset::kComObject));
        s.items->Release();
        s.items = nullptr;
        EXPECT_EQ(0, d.Held(pid, handset::kComObject))
            << "the last holder took the application along";
        EXPECT_EQ(0u, d.Get<handset::PimStore>().ObjectsAlive());
        CoUninitialize();
    });
    EXPECT_EQ(0, d.Held(pid, handset::kComObject));
}

TEST(Accounting, StringsAreCountedUntilFreed) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"555-1234"));
    DWORD pid = 0;
    d.Call([&] {
        pid = d.CurrentPid();
        Session s;
        s.Open();
        IContact* c = s.Item(1);
        BSTR last = nullptr, mobile = nullptr, first = nullptr;
        c->get_LastName(&last);
        c->get_MobileTelephoneNumber(&mobile);
        c->get_FirstName(&first);
        EXPECT_EQ(3, d.Held(pid, handset::kComString));
        EXPECT_EQ(8u, SysStringLen(mobile));
        EXPECT_EQ(S_OK, static_cast<HRESULT>(MAPIFreeBuffer(last)));
        EXPECT_EQ(MAPI_E_INVALID_PARAMETER, static_cast<HRESULT>(MAPIFreeBuffer(last)))
            << "a second free is refused";
        SysFreeString(mobile); // the two free calls take each other's strings
        EXPECT_EQ(1, d.Held(pid, handset::kComString));
        EXPECT_EQ(S_OK, static_cast<HRESULT>(MAPIFreeBuffer(nullptr)));
        WCHAR local[] = u"mine";
        EXPECT_EQ(MAPI_E_INVALID_PARAMETER, static_cast<HRESULT>(MAPIFreeBuffer(local)));
        EXPECT_EQ(1, d.Held(pid, handset::kComString)) << "refused frees take nothing";
        c->Release();
        s.Close();
        // `first` is left over on purpose.
    });
    EXPECT_EQ(1, d.Held(pid, handset::kComString)) << "the leak shows at exit";
    EXPECT_EQ(0, d.Held(pid, handset::kComObject));
    EXPECT_EQ(0u, d.Get<handset::PimStore>().StringsOutstanding()) << "and was reclaimed";
}

TEST(Strings, SysAllocStringShareTheStoresAllocations) {
    Device d;
    DWORD pid = 0;
    d.Call([&] {
        pid = d.CurrentPid();
        BSTR s = SysAllocString(u"hello");
        ASSERT_NE(nullptr, s);
        EXPECT_EQ("hello", Narrow(s));
        EXPECT_EQ(5u, SysStringLen(s));
        EXPECT_EQ(5u * 2, *reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(s) - 4))
            << "a BSTR carries its byte length before the text";
        BSTR empty = SysAllocString(u"");
        ASSERT_NE(nullptr, empty);
        EXPECT_EQ(0u, SysStringLen(empty));
        EXPECT_EQ(nullptr, SysAllocString(nullptr));
        EXPECT_EQ(0u, SysStringLen(nullptr));
        EXPECT_EQ(2, d.Held(pid, handset::kComString));
        EXPECT_EQ(S_OK, static_cast<HRESULT>(MAPIFreeBuffer(s)));
        SysFreeString(empty);
        SysFreeString(nullptr);
        EXPECT_EQ(0, d.Held(pid, handset::kComString));
        WCHAR local[] = u"not a BSTR";
        SysFreeString(local);
        EXPECT_EQ(1u, d.timeline().Count("pim.bad-free")) << "a foreign free is refused, and seen";
    });
    EXPECT_EQ(0, d.Held(pid, handset::kComString));
}

TEST(Faults, MethodsFailWithThePlannedError) {
    struct Case {
        const char* function;
        HRESULT error;
    };
    const Case cases[] = {
        {"IPOutlookApp::Logon", E_FAIL},
        {"IPOutlookApp::GetDefaultFolder", E_OUTOFMEMORY},
        {"IFolder::get_Items", E_ACCESSDENIED},
        {"IPOutlookItemCollection::get_Count", E_UNEXPECTED},
        {"IPOutlookItemCollection::Item", E_OUTOFMEMORY},
        {"IContact::get_LastName", E_FAIL},
        {"IContact::get_MobileTelephoneNumber", E_OUTOFMEMORY},
        {"MAPIFreeBuffer", E_ACCESSDENIED},
    };
    for (const Case& c : cases) {
        Device d;
        d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"1"));
        d.faults().FailNth(c.function, 1, static_cast<DWORD>(c.error));
        std::string log;
        DWORD pid = 0;
        d.Call([&] {
            pid = d.CurrentPid();
            auto note = [&](HRESULT hr) { log += Hex(hr) + " "; };
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            IPOutlookApp* app = nullptr;
            CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                             reinterpret_cast<void**>(&app));
            note(app->Logon(0));
            app->Logon(0);
            IFolder* folder = nullptr;
            note(app->GetDefaultFolder(olFolderContacts, &folder));
            if (!folder) app->GetDefaultFolder(olFolderContacts, &folder);
            IPOutlookItemCollection* items = nullptr;
            note(folder->get_Items(&items));
            if (!items) folder->get_Items(&items);
            int count = 0;
            note(items->get_Count(&count));
            IDispatch* item = nullptr;
            note(items->Item(1, &item));
            if (!item) items->Item(1, &item);
            auto* contact = static_cast<IContact*>(item);
            BSTR last = nullptr, mobile = nullptr;
            note(contact->get_LastName(&last));
            note(contact->get_MobileTelephoneNumber(&mobile));
            note(static_cast<HRESULT>(MAPIFreeBuffer(last)));
            MAPIFreeBuffer(last); // the refused free left it to free again
            MAPIFreeBuffer(mobile);
            contact->Release();
            items->Release();
            folder->Release();
            app->Release();
            CoUninitialize();
        });
        // Only the planned call fails, and only with the planned error.
        std::string expected;
        for (const Case& other : cases)
            expected += (other.function == c.function ? Hex(c.error) : Hex(S_OK)) + " ";
        EXPECT_EQ(expected, log) << c.function;
        EXPECT_EQ(0, d.Held(pid, handset::kComString))
            << c.function << ": a failed getter hands out nothing";
        EXPECT_EQ(0, d.Held(pid, handset::kComObject)) << c.function;
    }
}

TEST(ProcessExit, ReclaimsWhatWasLeftAndDisconnectsIt) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"1"));
    IPOutlookApp* leftApp = nullptr;
    IPOutlookItemCollection* leftItems = nullptr;
    IContact* leftContact = nullptr;
    DWORD pid = d.StartProcess("leaky", [&] {
        Session s;
        s.Open();
        leftContact = s.Item(1);
        BSTR text = nullptr;
        leftContact->get_LastName(&text);
        leftContact->get_FirstName(&text);
        leftApp = s.app;
        leftItems = s.items;
        s.folder->Release();
        // Exits holding the application, the items, a contact and two strings.
        return DWORD(0);
    });
    d.RunUntilExit(pid, 1000);
    ASSERT_FALSE(d.ProcessRunning(pid));
    EXPECT_EQ(3, d.Held(pid, handset::kComObject)) << "as it was at exit";
    EXPECT_EQ(2, d.Held(pid, handset::kComString));
    PimStore& store = d.Get<handset::PimStore>();
    EXPECT_EQ(0u, store.StringsOutstanding()) << "strings are freed at exit";
    // The objects stay in memory, disconnected, so a kept pointer is safe to use.
    int count = 0;
    EXPECT_EQ(RPC_E_DISCONNECTED, leftItems->get_Count(&count));
    BSTR text = nullptr;
    EXPECT_EQ(RPC_E_DISCONNECTED, leftContact->get_LastName(&text));
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(3u, store.ObjectsAlive());
    leftContact->Release();
    leftItems->Release();
    EXPECT_EQ(1u, store.ObjectsAlive()) << "the application's own reference is still out";
    leftApp->Release();
    EXPECT_EQ(0u, store.ObjectsAlive());
    EXPECT_EQ(3, d.Held(pid, handset::kComObject)) << "the record of the exit stands";
}

TEST(ProcessExit, OtherProcessesKeepWhatTheyHold) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"1"));
    int countAfter = -1;
    DWORD keeper = d.StartProcess("keeper", [&] {
        Session s;
        s.Open();
        Sleep(100); // another process ends meanwhile
        s.items->get_Count(&countAfter);
        s.Close();
        return DWORD(0);
    });
    DWORD quitter = d.StartProcess("quitter", [&] {
        Session s;
        s.Open();
        return DWORD(0); // leaves everything
    });
    d.RunFor(200);
    EXPECT_EQ(1, countAfter) << "the keeper's objects were not disconnected";
    EXPECT_EQ(0, d.Held(keeper, handset::kComObject));
    EXPECT_EQ(3, d.Held(quitter, handset::kComObject));
}

TEST(CoUninitialize, DisconnectsObjectsStillHeld) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"1"));
    DWORD pid = 0;
    d.Call([&] {
        pid = d.CurrentPid();
        Session s;
        s.Open();
        CoUninitialize(); // too early: the program still holds its objects
        int count = 0;
        EXPECT_EQ(RPC_E_DISCONNECTED, s.items->get_Count(&count));
        IFolder* folder = nullptr;
        EXPECT_EQ(RPC_E_DISCONNECTED, s.app->GetDefaultFolder(olFolderContacts, &folder));
        EXPECT_EQ(3, d.Held(pid, handset::kComObject)) << "still a leak until released";
        s.items->Release();
        s.folder->Release();
        s.app->Release();
        EXPECT_EQ(0, d.Held(pid, handset::kComObject));
    });
}

// The lock program's use: one lookup on a background thread, in the
// multithreaded apartment, everything given back afterwards.
TEST(Lookup, ABackgroundLookupGivesBackAllItTook) {
    Device d;
    d.Get<handset::PimStore>().Add(Person(u"Doe", u"Jane", u"+1 905 555 1234"));
    d.Get<handset::PimStore>().Add(Person(u"Roe", u"Rick", u"905-777-0000"));
    static std::string found;
    DWORD pid = 0;
    d.Call([&] {
        pid = d.CurrentPid();
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                Session s;
                s.Open();
                int count = 0;
                s.items->get_Count(&count);
                for (int i = 1; i <= count && found.empty(); ++i) {
                    IContact* c = s.Item(i);
                    if (Read(c, &IContact::get_MobileTelephoneNumber) == "905-777-0000")
                        found = Read(c, &IContact::get_LastName);
                    c->Release();
                }
                s.Close();
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    });
    EXPECT_EQ("Roe", found);
    EXPECT_EQ("nothing", d.DescribeHeld(pid));
}
