// Message boxes, the open-file dialog and the browser hand-off on Qt.

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>

#include <utility>

#include "qt.h"
#include "shell.h"

namespace zoq::ui {
namespace {

OpenDialogChooser& Chooser() {
  static OpenDialogChooser chooser;
  return chooser;
}

QMessageBox::Icon IconOf(int style) {
  switch (style & 0x70) {
    case 16:
      return QMessageBox::Critical;
    case 32:
      return QMessageBox::Question;
    case 48:
      return QMessageBox::Warning;
    case 64:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QString Caption(const Text& text) {
  // "[*]" would be taken for Qt's modified mark.
  return ToQString(text).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

QString DialogFolder(const Text& preset) {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  return QString::fromStdU16String(ui::StartFolder(preset, desktop.toStdU16String(),
                                                   QDir::homePath().toStdU16String()));
}

QMessageBox* MakeBox(QWidget* owner, const Text& text, int style, const Text& caption) {
  auto* box = new QMessageBox(owner);
  box->setWindowTitle(Caption(caption));
  box->setTextFormat(Qt::PlainText);
  box->setText(ToQString(text));
  box->setIcon(IconOf(style));
  box->setStandardButtons(QMessageBox::Ok);
  box->setDefaultButton(QMessageBox::Ok);
  box->setEscapeButton(QMessageBox::Ok);
  return box;
}

// The box PrepareMessage made, and what it was made to say.
struct PreparedBox {
  QPointer<QMessageBox> box;
  Text text;
  int style = 0;
  Text caption;
};

PreparedBox& Prepared() {
  static PreparedBox prepared;
  return prepared;
}

}  // namespace

void PrepareMessage(const Text& text, int style) {
  if (ProgramEnding()) return;
  DiscardPreparedMessage();
  const Text caption = StartupTitle();
  PreparedBox& prepared = Prepared();
  prepared = {MakeBox(nullptr, text, style, caption), text, style, caption};
  // Laid out and given its window now; showing it then only maps it.
  prepared.box->ensurePolished();
  prepared.box->adjustSize();
  prepared.box->winId();
}

void DiscardPreparedMessage() { delete std::exchange(Prepared(), {}).box.data(); }

void ShowMessage(const Text& text, int style, const std::optional<Text>& caption) {
  if (ProgramEnding()) return;
  // On the heap and guarded: the owner may go away while the box is up.
  QPointer<QWidget> owner = QApplication::activeWindow();
  const Text title = caption ? *caption : StartupTitle();
  PreparedBox prepared = std::exchange(Prepared(), {});
  QPointer<QMessageBox> box;
  if (prepared.box && !owner && prepared.text == text && prepared.style == style &&
      prepared.caption == title) {
    box = prepared.box;
  } else {
    delete prepared.box.data();
    box = MakeBox(owner, text, style, title);
  }
  box->exec();
  delete box.data();
  // Back to the window the box came over, and so to the control that had
  // the focus there: without a window manager nothing else would.
  if (owner && owner->isVisible()) owner->activateWindow();
}

bool OpenInBrowser(const Text& url) {
  if (!IsWebAddress(url)) return false;
  const QUrl address(ToQString(url), QUrl::TolerantMode);
  if (address.isEmpty() || !address.isValid()) return false;
  return QDesktopServices::openUrl(address);
}

void SetOpenDialogChooser(OpenDialogChooser chooser) { Chooser() = std::move(chooser); }

std::optional<Text> RunOpenDialog(QWidget* parent, const Text& preset) {
  const QString start = DialogFolder(preset);
  if (const OpenDialogChooser chooser = Chooser()) return chooser(FromQString(start));
  if (ProgramEnding()) return std::nullopt;
  QPointer<QFileDialog> dialog = new QFileDialog(parent, QString(), start);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  const QStringList files = dialog ? dialog->selectedFiles() : QStringList();
  delete dialog.data();
  if (!accepted || files.isEmpty()) return std::nullopt;
  const QString path = QDir::toNativeSeparators(files.first());
  Text text = FromQString(path);
  RememberChosenPath(text, path.toStdU16String());
  return text;
}

}  // namespace zoq::ui
