// The pages' list filling, against a stand-in combo box that records the
// items it is given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "device/device.h"
#include "string_res.h"

namespace {

std::vector<std::string> g_items;

LRESULT CALLBACK StandInCombo(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m != CB_ADDSTRING) return DefWindowProcW(h, m, wp, lp);
    g_items.push_back(handset::Narrow(reinterpret_cast<LPCWSTR>(lp)));
    return LRESULT(g_items.size() - 1);
}

} // namespace

TEST(FillListFromString, AddsEachSemicolonEndedItemInOrder) {
    const std::u16string tooLong = std::u16string(300, u'x') + u";b;";
    struct Case {
        int line;
        const char16_t* text; // null: none
        std::vector<std::string> items;
    } cases[] = {
        {__LINE__, u"None;Sound;Vibrate;", {"None", "Sound", "Vibrate"}},
        {__LINE__, u"None;Sound;Vibrate", {"None", "Sound"}}, // no closing ";"
        {__LINE__, u";a;;", {"", "a", ""}},
        {__LINE__, u"no item", {}},
        {__LINE__, u"", {}},
        {__LINE__, nullptr, {}},
        {__LINE__, tooLong.c_str(), {std::string(255, 'x'), "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        handset::Device d;
        g_items.clear();
        d.Call([&] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = StandInCombo;
            wc.lpszClassName = u"StandInCombo";
            RegisterClassW(&wc);
            HWND combo = CreateWindowExW(0, u"StandInCombo", u"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                         nullptr, nullptr, nullptr);
            ASSERT_TRUE(combo);
            FillListFromString(combo, c.text);
            DestroyWindow(combo);
        });
        EXPECT_EQ(c.items, g_items);
    }
}
