// Test harness for the settings window: a Qt application on the offscreen
// platform, a main window and a settings window per test, and stand-ins for
// the user at modal boxes, at the open-file dialog and for the browser.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "runtime/ui.h"

namespace zoq::settings::testing {

// A message box as the user saw it.
struct ShownBox {
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Stands in for the user at modal boxes while it lives: every message box
// that comes up is recorded and dismissed with Return. `onBox` runs while
// the box is still up, to look at the windows at that moment.
class ModalAnswerer {
 public:
  ModalAnswerer();
  ~ModalAnswerer();
  const std::vector<ShownBox>& Boxes() const { return boxes_; }
  void Clear() { boxes_.clear(); }
  std::function<void(const ShownBox&)> onBox;
  int unexpected = 0;  // modal widgets other than message boxes

 private:
  void Poll();
  QTimer timer_;
  std::vector<ShownBox> boxes_;
};

// Stands in for the user at the open-file dialog: each showing takes the
// next scripted answer (a path, or nothing for a cancel); `before` runs just
// before the answer is handed back. With no answer left it cancels.
class ScriptedDialog {
 public:
  struct Answer {
    std::optional<Text> path;
    std::function<void()> before;
  };
  ScriptedDialog();
  ~ScriptedDialog();
  void Push(Answer answer) { answers_.push_back(std::move(answer)); }
  int Shown() const { return shown_; }
  const Text& LastStartFolder() const { return lastStart_; }

 private:
  std::deque<Answer> answers_;
  int shown_ = 0;
  Text lastStart_;
};

// Receives the addresses that would have gone to the browser.
class BrowserRecorder : public QObject {
  Q_OBJECT
 public:
  BrowserRecorder();
  ~BrowserRecorder() override;
  const QStringList& Opened() const { return opened_; }

 public slots:
  void Open(const QUrl& url);

 private:
  QStringList opened_;
};

// Every test starts with a fresh main window and a settings window opened
// the way the gear button opens it.
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

// Types into a widget as a user would: ASCII through key presses, Chinese
// through the input method.
void Type(QWidget* widget, const QString& text);

// The main window's picture box as shown: the colour at its centre.
QColor PictureCentre(ui::Window& main);
// The colour a widget shows at a point, as rendered.
QColor RenderedAt(QWidget* widget, QPoint point);
bool Near(const QColor& a, const QColor& b, int tolerance = 24);

// A colour value (0x00BBGGRR) as Qt's colour.
QColor AsQColor(ui::Colour colour);

// Test files, written by the tests themselves.
void WriteImage(const QString& path, const QImage& image, const char* format);
void WriteBytes(const QString& path, const QByteArray& bytes);
// A valid PNG whose pixels need more memory than Qt allows one image;
// it compresses to well under a megabyte.
QByteArray OversizedPng();

}  // namespace zoq::settings::testing
