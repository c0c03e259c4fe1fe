// main() of every test binary that builds windows, whichever the backend:
// one application for the whole run, made before the first test and gone
// before anything static is torn down after it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/ui.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (CTest's discovery at build time) needs no display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
#ifndef _WIN32
  // Qt's offscreen platform unless the test run names another.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
  zoq::ui::Application application;
  return RUN_ALL_TESTS();
}
