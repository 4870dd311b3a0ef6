// A test that starts and ends with the platform's test controls (faults,
// free space, code page, call counters) reset.
#pragma once

#include <gtest/gtest.h>

#include "platform/testing.h"

namespace test_support {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { platform::testing::Reset(); }
    void TearDown() override { platform::testing::Reset(); }
};

}  // namespace test_support
