// Caller lookup: digit reduction and matching, which contact wins, the name
// it is shown by, and that every string and object goes back.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "contacts/contacts.h"
#include "core/lock_state.h"
#include "device/device.h"
#include "testing/lock_testing.h"
#include "pim/store.h"

using handset::ContactRecord;
using handset::Device;

namespace {

// Looks the number up as the call details step does, in a process of its
// own; the name found, and what the process still held at its end.
struct Lookup {
    std::u16string name;
    std::string held;
};

Lookup LookUp(Device& d, const std::u16string& number) {
    ResetLockProgramGlobals();
    std::u16string cut = number.substr(0, CALL_NUMBER_LEN - 1);
    std::memcpy(g_lockState.callNumber, cut.c_str(), (cut.size() + 1) * sizeof(WCHAR));
    DWORD pid = d.StartProcess("lookup", [] {
        LookUpCallerName();
        return DWORD(0);
    });
    d.RunUntilExit(pid, 10000);
    return {g_lockState.callerName, d.DescribeHeld(pid)};
}

std::u16string Digits(const WCHAR* source, int size = CALL_DIGITS_LEN) {
    WCHAR out[CONTACT_DIGITS_LEN];
    DigitsOnly(out, size, source);
    return out;
}

// Composes the name of the store's first contact into name, destLen units,
// in a process of its own: "<exit code> <what the process still held>".
std::string ComposeFirst(Device& d, WCHAR* name, int destLen) {
    DWORD pid = d.StartProcess("compose", [name, destLen] {
        ContactStore store = {nullptr, nullptr, nullptr};
        if (!OpenContactStore(&store)) return DWORD(1);
        IDispatch* item = nullptr;
        if (SUCCEEDED(store.items->Item(1, &item)) && item) {
            ComposeContactName(static_cast<IContact*>(item), name, destLen);
            item->Release();
        }
        CloseContactStore(&store);
        return DWORD(0);
    });
    d.RunUntilExit(pid, 10000);
    return std::to_string(d.ProcessExitCode(pid)) + " " + d.DescribeHeld(pid);
}

} // namespace

TEST(Digits, KeepOnlyDigitsCutToFitAndReportTheSourceLength) {
    WCHAR out[8];
    EXPECT_EQ(17, DigitsOnly(out, 8, u"+44 (20) 7946-09x"));
    EXPECT_EQ(u"4420794", std::u16string(out)) << "seven digits and the terminator";
    EXPECT_EQ(u"", Digits(u"ext. *#"));
    EXPECT_EQ(u"", Digits(nullptr)) << "an absent string is empty";
    EXPECT_EQ(0, DigitsOnly(out, 8, nullptr));
}

TEST(Digits, DestinationLengthBoundsWhatIsWritten) {
    struct Case {
        int line;
        int destLen;
        std::u16string want; // the destination afterwards; '#' is untouched
    } cases[] = {
        {__LINE__, INT_MIN, u"####"},
        {__LINE__, -1, u"####"},
        {__LINE__, 0, u"####"},
        {__LINE__, 1, std::u16string(u"\0###", 4)},
        {__LINE__, 3, std::u16string(u"12\0#", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        WCHAR out[4] = {u'#', u'#', u'#', u'#'};
        EXPECT_EQ(7, DigitsOnly(out, c.destLen, u"1-2-3-4"));
        EXPECT_EQ(c.want, std::u16string(out, 4));
    }
}

TEST(Digits, MatchOnTheLastNineOrTheShorterLength) {
    struct Case {
        int line;
        const char16_t* a;
        const char16_t* b;
        BOOL match;
    } cases[] = {
        {__LINE__, u"442079460958", u"02079460958", TRUE}, // last nine agree
        {__LINE__, u"442079460958", u"02079460959", FALSE},
        {__LINE__, u"112", u"0049112", TRUE}, // a short number matches its ending
        {__LINE__, u"0049112", u"112", TRUE},
        {__LINE__, u"1112", u"2112", FALSE},
        {__LINE__, u"", u"112", FALSE}, // no digits matches nothing
        {__LINE__, u"", u"", FALSE},
        {__LINE__, u"999123456789", u"000123456789", TRUE}, // only nine count
        {__LINE__, u"993123456789", u"000023456789", FALSE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.match, NumbersMatch(c.a, c.b)) << "line " << c.line;
}

TEST(Lookup, PrefixesAndPunctuationDoNotMatter) {
    Device d;
    d.Get<handset::PimStore>().Add(
        {.firstName = u"Anna", .lastName = u"Smith", .mobileTelephoneNumber = u"020 7946 0958"});
    Lookup found = LookUp(d, u"+44 (20) 7946-0958");
    EXPECT_EQ(u"Smith, Anna", found.name);
    EXPECT_EQ("nothing", found.held);
}

TEST(Lookup, FirstContactInTheCollectionWins) {
    Device d;
    d.Get<handset::PimStore>().Add({.lastName = u"Other", .mobileTelephoneNumber = u"5550199"});
    d.Get<handset::PimStore>().Add({.lastName = u"First", .homeTelephoneNumber = u"5550100"});
    d.Get<handset::PimStore>().Add(
        {.lastName = u"Second", .businessTelephoneNumber = u"+1 555 0100"});
    EXPECT_EQ(u"First", LookUp(d, u"5550100").name);
}

TEST(Lookup, EachOfTheSixNumbersIdentifiesTheContact) {
    using Slot = std::u16string ContactRecord::*;
    struct Case {
        int line;
        Slot slot;
        std::u16string name;
    } cases[] = {
        {__LINE__, &ContactRecord::businessTelephoneNumber, u"Found"},
        {__LINE__, &ContactRecord::business2TelephoneNumber, u"Found"},
        {__LINE__, &ContactRecord::homeTelephoneNumber, u"Found"},
        {__LINE__, &ContactRecord::home2TelephoneNumber, u"Found"},
        {__LINE__, &ContactRecord::mobileTelephoneNumber, u"Found"},
        {__LINE__, &ContactRecord::carTelephoneNumber, u"Found"},
        {__LINE__, &ContactRecord::radioTelephoneNumber, u""}, // shown, never matched
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        ContactRecord contact{.lastName = u"Found"};
        contact.*c.slot = u"555 0100";
        d.Get<handset::PimStore>().Add(contact);
        EXPECT_EQ(c.name, LookUp(d, u"5550100").name);
    }
}

TEST(Lookup, AContactThatCannotBeFetchedIsPassedOver) {
    Device d;
    d.Get<handset::PimStore>().Add(
        {.lastName = u"Unreachable", .mobileTelephoneNumber = u"5550100"});
    d.Get<handset::PimStore>().Add({.lastName = u"Second", .mobileTelephoneNumber = u"5550100"});
    d.faults().FailNth("IPOutlookItemCollection::Item", 1, static_cast<DWORD>(E_FAIL));
    Lookup found = LookUp(d, u"5550100");
    EXPECT_EQ(u"Second", found.name);
    EXPECT_EQ("nothing", found.held);
}

TEST(Lookup, BusinessNumberIsFoundBeforeTheMobileIsRead) {
    Device d;
    d.Get<handset::PimStore>().Add({.lastName = u"Both",
                                    .businessTelephoneNumber = u"5550100",
                                    .mobileTelephoneNumber = u"5550100"});
    EXPECT_EQ(u"Both", LookUp(d, u"5550100").name);
    EXPECT_EQ(0u, d.faults().Calls("IContact::get_MobileTelephoneNumber"));
    EXPECT_EQ(1u, d.faults().Calls("IContact::get_BusinessTelephoneNumber"));
}

TEST(ComposeName, SurnameFirstThenTheFallbacks) {
    struct Case {
        int line;
        ContactRecord contact;
        std::u16string expected;
    } cases[] = {
        {__LINE__, {.firstName = u"Anna", .lastName = u"Smith"}, u"Smith, Anna"},
        {__LINE__, {.firstName = u"Anna"}, u"Anna"},
        {__LINE__, {.lastName = u"Smith"}, u"Smith"},
        {__LINE__, {.fileAs = u"Plumber"}, u"Plumber"},
        {__LINE__, {.fileAs = u"Plumber", .companyName = u"Pipes Ltd"}, u"Plumber"},
        {__LINE__, {.companyName = u"Pipes Ltd", .mobileTelephoneNumber = u"555"}, u"Pipes Ltd"},
        {__LINE__, {.radioTelephoneNumber = u"+1 (555) 0100"}, u"+1 (555) 0100"},
        {__LINE__,
         {.carTelephoneNumber = u"555-0101", .radioTelephoneNumber = u"555-0102"},
         u"555-0101"},
        {__LINE__,
         {.businessTelephoneNumber = u"555 0100", .mobileTelephoneNumber = u"555 0199"},
         u"555 0199"}, // the mobile number comes first among the fallbacks
        {__LINE__, {.email1Address = u"a@b.c"}, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        d.Get<handset::PimStore>().Add(c.contact);
        WCHAR name[CALLER_NAME_LEN] = u"#";
        EXPECT_EQ("0 nothing", ComposeFirst(d, name, CALLER_NAME_LEN)) << "every string released";
        EXPECT_EQ(c.expected, std::u16string(name));
    }
}

TEST(ComposeName, DestinationLengthBoundsWhatIsWritten) {
    struct Case {
        int line;
        int destLen;
        std::u16string want; // the destination afterwards; '#' is untouched
    } cases[] = {
        {__LINE__, INT_MIN, u"####"},
        {__LINE__, -1, u"####"},
        {__LINE__, 0, u"####"},
        {__LINE__, 1, std::u16string(u"\0###", 4)},
        {__LINE__, 3, std::u16string(u"Sm\0#", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        d.Get<handset::PimStore>().Add({.firstName = u"Anna", .lastName = u"Smith"});
        WCHAR name[4] = {u'#', u'#', u'#', u'#'};
        EXPECT_EQ("0 nothing", ComposeFirst(d, name, c.destLen));
        EXPECT_EQ(c.want, std::u16string(name, 4));
    }
}

TEST(Lookup, LongNameIsCutToTheField) {
    Device d;
    std::u16string last(200, u'L');
    d.Get<handset::PimStore>().Add(
        {.firstName = u"F", .lastName = last, .mobileTelephoneNumber = u"5550100"});
    std::u16string name = LookUp(d, u"5550100").name;
    EXPECT_EQ(size_t(CALLER_NAME_LEN - 1), name.size());
    EXPECT_EQ(last.substr(0, CALLER_NAME_LEN - 1), name);
}

TEST(Lookup, EmptyNumberStartsNoCom) {
    Device d;
    d.Get<handset::PimStore>().Add({.lastName = u"Any", .mobileTelephoneNumber = u"5550100"});
    EXPECT_EQ(u"", LookUp(d, u"").name);
    EXPECT_EQ(0u, d.faults().Calls("CoInitializeEx"));
    EXPECT_EQ(u"", LookUp(d, u"no digits").name) << "a number without digits matches nothing";
    EXPECT_EQ(1u, d.faults().Calls("CoInitializeEx"));
}

TEST(Lookup, StoreFailuresLeaveTheNameEmptyAndNothingHeld) {
    for (const char* function : {"CoInitializeEx", "CoCreateInstance", "IPOutlookApp::Logon",
                                 "IPOutlookApp::GetDefaultFolder", "IFolder::get_Items",
                                 "IPOutlookItemCollection::Item", "IContact::get_LastName"}) {
        Device d;
        d.Get<handset::PimStore>().Add({.lastName = u"Smith", .mobileTelephoneNumber = u"5550100"});
        d.faults().FailAlways(function, static_cast<DWORD>(E_FAIL));
        Lookup found = LookUp(d, u"5550100");
        if (std::strcmp(function, "IContact::get_LastName") == 0)
            EXPECT_EQ(u"5550100", found.name) << "an unreadable name falls back to the number";
        else
            EXPECT_EQ(u"", found.name) << function;
        EXPECT_EQ("nothing", found.held) << function;
        unsigned started = std::strcmp(function, "CoInitializeEx") == 0 ? 0 : 1;
        EXPECT_EQ(started, d.faults().Calls("CoUninitialize"))
            << "COM ended as often as it was started, " << function;
    }
}
