#include <gtest/gtest.h>

#include "host/platform.h"

namespace {

// The conversions depend on the start-up floating-point mode, as in the program.
struct HostServicesEnvironment : testing::Environment {
  void SetUp() override { InitHostServices(); }
};
const auto* const gEnvironment = testing::AddGlobalTestEnvironment(new HostServicesEnvironment);

}  // namespace
