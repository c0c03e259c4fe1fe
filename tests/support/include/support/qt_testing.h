// Helpers for the tests that drive real Qt windows: waiting on the event
// loop, standing in for the user at modal windows, the open-file dialog and
// the browser, looking at what is shown, and writing test files.
#pragma once

#include <QColor>
#include <QImage>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "runtime/ui.h"

namespace zoq::testing {

// Runs the event loop until `done` holds or `limitMs` passes; whether it
// held. The limit only keeps a broken build from hanging.
bool RunUntil(const std::function<bool()>& done, int limitMs = 5000);
void RunFor(int ms);

// A message box as the user saw it.
struct ShownBox {
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
};

// Stands in for the user at modal windows while it lives. Every modal
// widget that comes up is first handed to `inspect`; then it gets the key
// CloseWith names (Return unless told otherwise). Message boxes are also
// recorded in Boxes(), and `onBox` sees each while it is still up. Without
// `inspect`, any other modal widget counts as unexpected. A widget the key
// did not close is rejected.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(std::function<void(QWidget*)> inspect = {});
  ~ModalAnswerer();
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

  // 0: no key; `inspect` closes the widget itself.
  void CloseWith(int key) { closeWith_ = key; }
  int Answered() const { return answered_; }
  const std::vector<ShownBox>& Boxes() const { return boxes_; }
  void Clear() { boxes_.clear(); }
  int Unexpected() const { return unexpected_; }  // modal widgets nobody expected
  std::function<void(const ShownBox&)> onBox;

 private:
  void Poll();
  std::function<void(QWidget*)> inspect_;
  QTimer timer_;
  int closeWith_;
  int answered_ = 0;
  int unexpected_ = 0;
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

// Types into a widget as a user would: ASCII through key presses, Chinese
// through the input method.
void Type(QWidget* widget, const QString& text);

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

}  // namespace zoq::testing
