// Helpers for the window half's tests: code-page 936 texts from UTF-16
// literals, waiting on the event loop, and answering modal boxes.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "runtime/ui_qt.h"

namespace zoq::ui::testing {

// A code-page 936 text, spelled in UTF-16 in the test's source.
inline Text Gbk(const char16_t* text) { return detail::FromQString(QString::fromUtf16(text)); }

// Runs the event loop until `done` holds or `limitMs` passes; whether it
// held. The limit only keeps a broken build from hanging.
inline bool RunUntil(const std::function<bool()>& done, int limitMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

inline void RunFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Answers the next modal widget: `inspect` sees it, then it gets a Return.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(std::function<void(QWidget*)> inspect = {})
      : inspect_(std::move(inspect)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible()) return;
      timer_.stop();
      ++answered_;
      if (inspect_) inspect_(modal);
      if (!closeWith_) return;
      QApplication::postEvent(modal, new QKeyEvent(QEvent::KeyPress, closeWith_, Qt::NoModifier));
      QApplication::postEvent(modal,
                              new QKeyEvent(QEvent::KeyRelease, closeWith_, Qt::NoModifier));
    });
    timer_.start(10);
  }
  // 0: inspect only; `inspect` closes the widget itself.
  void CloseWith(int key) { closeWith_ = key; }
  int Answered() const { return answered_; }

 private:
  std::function<void(QWidget*)> inspect_;
  QTimer timer_;
  int closeWith_ = Qt::Key_Return;
  int answered_ = 0;
};

}  // namespace zoq::ui::testing
