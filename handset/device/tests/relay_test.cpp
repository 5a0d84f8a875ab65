// The relay trace: how a traced call writes its arguments.
#include <gtest/gtest.h>

#include <string>

#include "device/device.h"

using handset::Device;

// A resource's type or name may be an ordinal (MAKEINTRESOURCE): a value
// below 0x10000, written as its number and never read as text.
TEST(Relay, AResourceOrdinalIsTracedAsItsNumberAndANameAsText) {
    struct Case {
        int line;
        LPCWSTR name, type;
        std::string args;
    } cases[] = {
        {__LINE__, MAKEINTRESOURCEW(131), TEXT("WAVE"), "NULL, #131, \"WAVE\""},
        {__LINE__, TEXT("LOCK"), RT_RCDATA, "NULL, \"LOCK\", #10"},
        {__LINE__, MAKEINTRESOURCEW(0xFFFF), MAKEINTRESOURCEW(1), "NULL, #65535, #1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d(Device::Options{.trace = true});
        d.Call([&] { FindResourceW(nullptr, c.name, c.type); });
        auto calls = d.timeline().Find("call");
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ("FindResourceW", calls[0]->Get("fn"));
        EXPECT_EQ(c.args, calls[0]->Get("args"));
    }
}
