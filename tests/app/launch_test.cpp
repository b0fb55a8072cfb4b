#include "host/launch.h"

#include <gtest/gtest.h>

namespace {

TEST(LaunchCommand, AProgramThatCannotStartReturnsFalseAtOnce) {
  EXPECT_FALSE(LaunchCommand("\\no\\such\\folder\\setup.exe /q", false, true));
  EXPECT_FALSE(LaunchCommand("", false, true));
}

}  // namespace
