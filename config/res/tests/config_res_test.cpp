// The configuration program's compiled resources, read as the phone reads
// them: the page templates control by control, the menu bars, the strings,
// the icon, and list labels that name what the lock program does with them.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <tuple>

#include "common/bytes.h"
#include "common/text.h"
#include "config_resources.h"
#include "res/resfile.h"
#include "testing/testing.h"
#include "settings.h"

using handset::GetLe16;
using handset::GetLe32;
using handset::Narrow;
using handset::ResFile;

namespace {

const ResFile& Resources() {
    static ResFile res = handset::testing::ParsedResources({kTessarilCfgRes, kTessarilCfgResSize},
                                                           "TessarilCfg.res");
    return res;
}

std::string String(uint32_t id) {
    auto s = Resources().String(id);
    return s ? Narrow(*s) : "(missing)";
}

// A DLGTEMPLATE as lines: the frame, then "id class x,y,w,h style text" per
// control (a class or text ordinal as #n).
std::string DescribeDialog(uint16_t id) {
    const handset::ResEntry* e = Resources().Find(handset::kRtDialog, id);
    if (!e) return "(missing)";
    const unsigned char* p = e->data.data();
    size_t at = 0;
    auto word = [&] { return GetLe16(p + (at += 2) - 2); };
    auto text = [&] {
        if (GetLe16(p + at) == 0xFFFF) return (at += 4, "#" + std::to_string(GetLe16(p + at - 2)));
        std::u16string s;
        while (uint16_t c = word())
            s += char16_t(c);
        return Narrow(s);
    };
    auto rect = [&] {
        std::ostringstream r;
        for (int i = 0; i < 4; ++i)
            r << (i ? "," : "") << int16_t(word());
        return r.str();
    };
    std::ostringstream out;
    out << std::hex << GetLe32(p) << " " << GetLe32(p + 4) << std::dec;
    at = 8;
    int count = word();
    out << " " << rect() << " menu " << text() << " class " << text();
    out << " \"" << text() << "\" " << word() << "pt ";
    out << text() << "\n";
    for (int i = 0; i < count; ++i) {
        at = (at + 3) & ~size_t(3);
        uint32_t style = GetLe32(p + at);
        at += 8;
        std::string r = rect();
        int control = int16_t(word());
        std::string cls = text();
        out << control << " " << cls << " " << r << " " << std::hex << style << std::dec << " "
            << text() << "\n";
        at += word(); // creation data
    }
    return out.str();
}

// "1 min. 55 sec." as 115000; "Never" as NEVER_MS.
LONG LabelMs(const std::string& label) {
    if (label == "Never") return NEVER_MS;
    std::istringstream in(label);
    LONG ms = 0, n;
    std::string unit;
    while (in >> n >> unit)
        ms += n * (unit == "min." ? 60000 : unit == "sec." ? 1000 : -1000000);
    return ms;
}

std::vector<std::string> Items(const std::string& list) {
    std::vector<std::string> items;
    for (size_t at = 0, end; (end = list.find(';', at)) != std::string::npos; at = end + 1)
        items.push_back(list.substr(at, end - at));
    return items;
}

} // namespace

TEST(ConfigResources, HoldExactlyThePagesMenusBarsStringsAndIcon) {
    std::set<std::string> got;
    for (const handset::ResEntry& e : Resources().entries())
        got.insert(e.type.Describe() + " " + e.name.Describe() + " " + std::to_string(e.language));
    std::set<std::string> want = {"14 101 1033",  "4 1017 1033", "4 1019 1033", "10 1017 1033",
                                  "10 1019 1033", "6 1 1033",    "6 2 1033"};
    for (int dialog : {105, 134, 135, 138})
        want.insert("5 " + std::to_string(dialog) + " 1033");
    for (int icon = 1; icon <= 3; ++icon)
        want.insert("3 " + std::to_string(icon) + " 1033");
    EXPECT_EQ(want, got);

    auto group = Resources().FindIconGroup(101);
    ASSERT_TRUE(group);
    std::set<std::tuple<int, int, int>> sizes;
    for (const handset::IconGroupEntry& i : group->entries)
        sizes.insert({i.width, i.height, i.bitCount});
    EXPECT_EQ((std::set<std::tuple<int, int, int>>{{16, 16, 8}, {32, 32, 8}, {64, 64, 8}}), sizes);
}

// What the user picks is what the lock program does: item i of a time list
// names entry i of the lock program's table, and there is one item per entry.
TEST(ConfigResources, TimeListItemsNameTheLockProgramsTableEntries) {
    struct Case {
        int line;
        uint32_t id;
        int count;
        LONG (*ms)(int);
    } cases[] = {
        {__LINE__, 15, TURN_OFF_SCR_COUNT, TurnOffScrMs},
        {__LINE__, 17, REGULAR_SOUND_DELAY_COUNT, RegularSoundDelayMs},
        {__LINE__, 18, DROP_DELAY_COUNT, DropDelayMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        std::vector<std::string> items = Items(String(c.id));
        EXPECT_EQ(size_t(c.count), items.size()) << String(c.id);
        for (size_t i = 0; i < items.size(); ++i)
            EXPECT_EQ(c.ms(int(i)), LabelMs(items[i])) << "item " << i << " \"" << items[i] << "\"";
    }
}

TEST(ConfigResources, PagesHoldTheirControlsInTabOrderAtTheirPositions) {
    // Frames: pop-up with caption, DS_SETFONT; the caption's OK button.
    const std::string frame = "80c00040 80000000 0,0,156,129 menu  class  \"";
    struct Case {
        int line;
        uint16_t id;
        std::string want;
    } cases[] = {
        {__LINE__, 134,
         frame + "Main\" 8pt MS Shell Dlg\n"
                 "-1 #130 7,9,21,8 50020000 State:\n"
                 "1003 #133 34,7,115,50 50210003 \n"
                 "-1 #130 7,23,51,19 50020000 Temporary unlock period:\n"
                 "1004 #133 63,24,86,90 50210003 \n"
                 "-1 #130 7,43,50,8 50020000 On start delay:\n"
                 "1005 #133 63,41,86,74 50210003 \n"
                 "1006 #128 7,59,83,10 50010003 Autostart after reset\n"},
        {__LINE__, 135,
         frame + "Options\" 8pt MS Shell Dlg\n"
                 "201 #130 7,5,58,8 50020000 Lock Signal:\n"
                 "205 #133 65,1,83,43 50210002 \n"
                 "202 #130 7,18,58,8 50020000 Unlock Signal:\n"
                 "206 #133 65,16,83,53 50210002 \n"
                 "203 #130 7,31,120,8 50020000 Time Elapsed Signal:\n"
                 "-1 #130 10,43,34,8 50020000 Type:\n"
                 "207 #133 65,41,83,54 50210002 \n"
                 "-1 #130 10,58,34,8 50020000 Interval:\n"
                 "208 #133 65,56,83,66 50210002 \n"
                 "204 #130 7,91,58,8 50020000 Turn off screen:\n"
                 "209 #133 65,88,83,65 50210002 \n"
                 "1026 #130 10,74,55,8 50020000 Signal Before:\n"
                 "210 #133 65,71,83,65 50210002 \n"},
        {__LINE__, 138,
         frame + "Call Drop\" 8pt MS Shell Dlg\n"
                 "-1 #130 2,2,145,8 50020000 Drop Incoming Calls After:\n"
                 "1027 #133 25,12,97,105 50210003 \n"
                 "-1 #130 2,30,144,8 50020000 Drop Outgoing Calls After:\n"
                 "1028 #133 25,42,97,97 50210003 \n"},
        {__LINE__, 105,
         frame + "Tessaril\" 8pt MS Shell Dlg\n"
                 "201 STATIC 67,7,20,20 50000803 #101\n"
                 "202 #130 7,33,142,9 50020001 Tessaril Version 1.8\n"
                 "203 #130 7,45,142,9 50020001 In-call screen lock\n"
                 "204 #130 7,57,142,9 50020001 for touch-screen phones\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        EXPECT_EQ(c.want, DescribeDialog(c.id));
    }
}

// The program makes its bars from the menus; these describe the same keys.
TEST(ConfigResources, MenuBarsNameTheirMenusButtonsAndStrings) {
    struct Case {
        int line;
        uint16_t id;
        std::vector<uint16_t> words;
    } cases[] = {
        // id, count; per button: image, command, state, style, string, 0, menu entry
        {__LINE__,
         1019,
         {1019, 2, 0xFFFE, 1020, 0x04, 0x10, 14, 0, 0xFFFF, 0xFFFE, 0, 0x04, 0x18, 13, 0, 1}},
        {__LINE__, 1017, {1017, 1, 0xFFFE, 1018, 0x04, 0x10, 5, 0, 0xFFFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        const handset::ResEntry* bar = Resources().Find(handset::kRtRcData, c.id);
        ASSERT_TRUE(bar);
        std::vector<uint16_t> got;
        for (size_t at = 0; at + 1 < bar->data.size(); at += 2)
            got.push_back(GetLe16(bar->data.data() + at));
        EXPECT_EQ(c.words, got);
    }
    EXPECT_EQ("Apply|Actions|Done", String(14) + "|" + String(13) + "|" + String(5));
}
