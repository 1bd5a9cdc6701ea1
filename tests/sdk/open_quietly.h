#pragma once

#include "kes_sdk/kes_driver.h"

#include <gtest/gtest.h>

// Opens a driver without its address lines on the test's output.
inline void openQuietly(kes_sdk::KesDriver& driver)
{
    testing::internal::CaptureStdout();
    ASSERT_EQ(driver.open(), kes_sdk::kSuccess);
    testing::internal::GetCapturedStdout();
}
