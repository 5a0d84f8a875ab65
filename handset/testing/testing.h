// What the handset's and the programs' tests repeat: text conversion for
// messages, and the check that a process holds nothing.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "device/device.h"

namespace handset::testing {

// Every kind the process holds (or held when it ended) is at zero; the
// failure lists what is left.
::testing::AssertionResult HoldsNothing(const Device& d, DWORD pid);
#define EXPECT_NOTHING_HELD(device, pid) EXPECT_TRUE(::handset::testing::HoldsNothing(device, pid))

} // namespace handset::testing
