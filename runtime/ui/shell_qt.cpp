// Message boxes, the open-file dialog, the browser hand-off and whole-file
// reading.

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>

#include "qt.h"

namespace zoq::ui {
namespace {


// Larger files count as unreadable: nothing the program opens is that big,
// and reading one whole would only exhaust the memory.
constexpr qint64 kLargestFile = qint64{256} * 1024 * 1024;

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

// The folder a common dialog's text names.
QString StartFolder(const Text& preset) {
  const QString name = ToQString(preset);
  if (name == QStringLiteral("桌面")) {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
  }
  if (!name.isEmpty() && QFileInfo(name).isDir()) return QFileInfo(name).absoluteFilePath();
  return QDir::homePath();
}

}  // namespace

void ShowMessage(const Text& text, int style, const std::optional<Text>& caption) {
  if (ProgramEnding()) return;
  // On the heap and guarded: the owner may go away while the box is up.
  QPointer<QWidget> owner = QApplication::activeWindow();
  QPointer<QMessageBox> box = new QMessageBox(owner);
  box->setWindowTitle(Caption(caption ? *caption : StartupTitle()));
  box->setTextFormat(Qt::PlainText);
  box->setText(ToQString(text));
  box->setIcon(IconOf(style));
  box->setStandardButtons(QMessageBox::Ok);
  box->setDefaultButton(QMessageBox::Ok);
  box->setEscapeButton(QMessageBox::Ok);
  box->exec();
  delete box.data();
  // Back to the window the box came over, and so to the control that had
  // the focus there: without a window manager nothing else would.
  if (owner && owner->isVisible()) owner->activateWindow();
}

bool OpenInBrowser(const Text& url) {
  const QUrl address(ToQString(url), QUrl::TolerantMode);
  if (address.isEmpty() || !address.isValid()) return false;
  return QDesktopServices::openUrl(address);
}

Bytes ReadWholeFile(const Text& path) {
  const QString name = PathFromText(path);
  if (name.isEmpty() || !QFileInfo(name).isFile()) return {};
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile) return {};
  Bytes bytes(static_cast<std::size_t>(file.size()));
  qint64 filled = 0;
  // Reads to the real end: a file may be longer or shorter than it said.
  while (true) {
    if (filled == static_cast<qint64>(bytes.size())) {
      if (filled >= kLargestFile + 1) return {};
      bytes.resize(static_cast<std::size_t>(
          std::min<qint64>(kLargestFile + 1, std::max<qint64>(filled * 2, 4096))));
    }
    const qint64 got = file.read(reinterpret_cast<char*>(bytes.data()) + filled,
                                 static_cast<qint64>(bytes.size()) - filled);
    if (got < 0) return {};
    if (got == 0) break;
    filled += got;
  }
  if (filled > kLargestFile) return {};
  bytes.resize(static_cast<std::size_t>(filled));
  return bytes;
}

void SetOpenDialogChooser(OpenDialogChooser chooser) { Chooser() = std::move(chooser); }


std::optional<Text> RunOpenDialog(QWidget* parent, const Text& preset) {
  const QString start = StartFolder(preset);
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
  RememberChosenPath(text, path);  // a name 936 cannot spell still opens
  return text;
}

}  // namespace zoq::ui
