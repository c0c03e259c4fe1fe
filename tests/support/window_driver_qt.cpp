#include "support/window_driver.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "runtime/ui_testing.h"
#include "support/qt_testing.h"

namespace zoq::testing {

namespace {
QString ToQ(const Text& text) { return QString::fromUtf16(zoq::testing::Utf16(text).c_str()); }
}  // namespace

struct WindowDriver::State {
  std::unique_ptr<QWidget> other;
};

void LetEventsRun(int ms) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  RunFor(ms);
}

void AnswerNextMessageBox() {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      QTest::keyClick(box, Qt::Key_Return);
      poll->deleteLater();
    }
  });
  poll->start(10);
}

WindowDriver::WindowDriver(ui::Window& window, const ui::FormSpec& form)
    : window_(window), form_(form), state_(std::make_unique<State>()) {
  // A window manager activates the window it maps; the tests' X server has
  // none, so the driver does what it would.
  QWidget* top = zoq::testing::TopLevel(window_);
  if (top && top->isVisible() && QApplication::activeWindow() != top) {
    top->activateWindow();
    RunUntil([top] { return QApplication::activeWindow() == top; }, 2000);
    LetEventsRun();
  }
}
WindowDriver::~WindowDriver() = default;

void WindowDriver::Click(const Text& control) {
  if (QWidget* w = zoq::testing::Widget(window_, control)) {
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
  }
  LetEventsRun();
}

void WindowDriver::Type(const Text& text) {
  if (QWidget* w = QApplication::focusWidget()) testing::Type(w, ToQ(text));
  LetEventsRun();
}

void WindowDriver::Press(Key key) {
  QWidget* target = QApplication::focusWidget();
  if (!target) target = zoq::testing::TopLevel(window_);
  switch (key) {
    case Key::Tab:
      QTest::keyClick(target, Qt::Key_Tab);
      break;
    case Key::ShiftTab:
      QTest::keyClick(target, Qt::Key_Backtab, Qt::ShiftModifier);
      break;
    case Key::Space:
      QTest::keyClick(target, Qt::Key_Space);
      break;
    case Key::Return:
      QTest::keyClick(target, Qt::Key_Return);
      break;
  }
  LetEventsRun();
}

Text WindowDriver::Focused() const {
  QWidget* focus = QApplication::focusWidget();
  if (!focus) return {};
  for (const ui::ControlSpec& c : form_.controls) {
    if (zoq::testing::Widget(window_, c.name) == focus) return c.name;
  }
  return {};
}

Text WindowDriver::ShownText(const Text& control) const {
  QWidget* w = zoq::testing::Widget(window_, control);
  QString shown;
  if (auto* line = qobject_cast<QLineEdit*>(w)) shown = line->text();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) shown = plain->toPlainText();
  if (auto* label = qobject_cast<QLabel*>(w)) shown = label->text();
  if (auto* box = qobject_cast<QGroupBox*>(w)) shown = box->title();
  if (auto* button = qobject_cast<QPushButton*>(w)) shown = button->text();
  return zoq::testing::Gbk(shown.toStdU16String().c_str());
}

bool WindowDriver::Shown() const {
  QWidget* top = zoq::testing::TopLevel(window_);
  return top && top->isVisible();
}

bool WindowDriver::Exists(const Text& control) const {
  return zoq::testing::Widget(window_, control) != nullptr;
}

Rect WindowDriver::Place(const Text& control) const {
  const QWidget* w = zoq::testing::Widget(window_, control);
  if (!w) return {};
  const QRect r = w->geometry();
  return {r.x(), r.y(), r.width(), r.height()};
}

Text WindowDriver::Container(const Text& control) const {
  const QWidget* w = zoq::testing::Widget(window_, control);
  if (!w) return {};
  for (const ui::ControlSpec& c : form_.controls) {
    if (zoq::testing::Widget(window_, c.name) == w->parentWidget()) return c.name;
  }
  return {};
}

void WindowDriver::Deactivate() {
  state_->other = std::make_unique<QWidget>();
  state_->other->show();
  state_->other->activateWindow();
  QWidget* other = state_->other.get();
  RunUntil([other] { return QApplication::activeWindow() == other; }, 2000);
}

void WindowDriver::Activate() {
  state_->other.reset();
  QWidget* top = zoq::testing::TopLevel(window_);
  top->activateWindow();
  RunUntil([top] { return QApplication::activeWindow() == top; }, 2000);
  LetEventsRun();
}

}  // namespace zoq::testing
