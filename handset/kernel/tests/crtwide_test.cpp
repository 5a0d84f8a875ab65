#include <gtest/gtest.h>
#include "device/device.h"
TEST(Scheduler, Placeholder3) { handset::Device d; EXPECT_EQ(0u, d.Now()); }
