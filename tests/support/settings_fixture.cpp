// The settings window's test fixture (see settings_fixture.h).
#include "support/settings_fixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QWidget>

#include <stdexcept>

#include "forms/forms.h"
#include "runtime/ui_testing.h"
#include "settings/settings.h"

namespace zoq::testing {

// --- SettingsWindowTest ---

void SettingsWindowTest::SetUp() {
  main_ = ui::LoadWindow(forms::MainForm(), {}, nullptr, false);
  ASSERT_NE(main_, nullptr);
  settings::OpenSettingsWindow();
  ASSERT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

void SettingsWindowTest::TearDown() {
  if (ui::Window* settings = ui::WindowNamed(forms::kSettingsWindow)) settings->Destroy();
  if (main_) main_->Destroy();
  main_ = nullptr;
  FlushDeletes();
  EXPECT_EQ(answerer_.Unexpected(), 0) << "a modal window other than a message box came up";
}

ui::Window& SettingsWindowTest::Settings() {
  ui::Window* settings = ui::WindowNamed(forms::kSettingsWindow);
  // Thrown rather than asserted: GoogleTest reports it as this test's failure.
  if (!settings) throw std::runtime_error("the settings window is not open");
  return *settings;
}

void SettingsWindowTest::Click(const Text& button) {
  auto* widget = qobject_cast<QAbstractButton*>(zoq::testing::Widget(Settings(), button));
  ASSERT_NE(widget, nullptr);
  ASSERT_TRUE(widget->isVisible() && widget->isEnabled());
  widget->click();
  FlushDeletes();
}

void SettingsWindowTest::FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

QColor PictureCentre(ui::Window& main) {
  QWidget* box = zoq::testing::Widget(main, "图片框1");
  return box ? RenderedAt(box, box->rect().center()) : QColor();
}

}  // namespace zoq::testing
