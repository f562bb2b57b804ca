// Test main for the host build: every test starts from a fresh stand-in platform.
#include <gtest/gtest.h>

#include "winsim/control.h"

namespace {

class FreshPlatform : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { winsim::Reset(); }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  winsim::Reset();
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshPlatform);
  return RUN_ALL_TESTS();
}
