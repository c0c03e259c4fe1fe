// main() of every Windows test binary that builds windows: one application
// for the whole run, made before the first test.
#include <gtest/gtest.h>

#include "runtime/ui.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  zoq::ui::Application application;
  return RUN_ALL_TESTS();
}
