// main() of every test binary that builds windows: one application for the
// whole run, made before the first test and gone before anything static is
// torn down after Qt.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "runtime/ui.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (CTest's discovery at build time) needs no display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
  }
  zoq::ui::Application application;
  return RUN_ALL_TESTS();
}
