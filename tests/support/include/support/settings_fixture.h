// The settings window's tests start each with a fresh main window and a
// settings window opened the way the gear button opens it.
#pragma once

#include <gtest/gtest.h>

#include <QColor>

#include "runtime/ui.h"
#include "support/qt_testing.h"

namespace zoq::testing {

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ui::Window& Main() { return *main_; }
  // The open settings window; fails the test when there is none.
  ui::Window& Settings();
  // Presses a button of the settings window as the user would.
  void Click(const Text& button);
  // Lets windows destroyed by a handler actually go.
  static void FlushDeletes();

  ModalAnswerer answerer_;
  ui::Window* main_ = nullptr;
};

// The main window's picture box as shown: the colour at its centre.
QColor PictureCentre(ui::Window& main);

}  // namespace zoq::testing
