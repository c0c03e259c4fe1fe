// The helpers behind the Qt window tests (see qt_testing.h).
#include "support/qt_testing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QInputMethodEvent>
#include <QPointer>
#include <QTest>
#include <QtEndian>

#include <gtest/gtest.h>
#include <zlib.h>

namespace zoq::testing {

bool RunUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

void RunFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// --- ModalAnswerer ---

ModalAnswerer::ModalAnswerer(std::function<void(QWidget*)> inspect)
    : inspect_(std::move(inspect)), closeWith_(Qt::Key_Return) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start(1);
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

void ModalAnswerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  ++answered_;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    boxes_.push_back({box->text(), box->windowTitle(), box->icon(),
                      static_cast<int>(box->buttons().size())});
    if (onBox) onBox(boxes_.back());
  } else if (!inspect_) {
    ++unexpected_;  // nobody said what to do with it
  }
  const QPointer<QWidget> guard(modal);
  if (inspect_) inspect_(modal);
  // Synchronous, so the next poll never sees the same widget again.
  if (closeWith_ && guard && guard->isVisible()) {
    QTest::keyClick(guard.data(), static_cast<Qt::Key>(closeWith_));
  }
  if (closeWith_ && guard && guard->isVisible()) {
    if (auto* dialog = qobject_cast<QDialog*>(guard.data())) {
      dialog->reject();
    } else {
      guard->close();
    }
  }
}

// --- ScriptedDialog ---

ScriptedDialog::ScriptedDialog() {
  ui::SetOpenDialogChooser([this](const Text& start) -> std::optional<Text> {
    ++shown_;
    lastStart_ = start;
    if (answers_.empty()) return std::nullopt;
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    if (answer.before) answer.before();
    return answer.path;
  });
}

ScriptedDialog::~ScriptedDialog() { ui::SetOpenDialogChooser({}); }

// --- BrowserRecorder ---

BrowserRecorder::BrowserRecorder() {
  QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open");
  QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open");
}

BrowserRecorder::~BrowserRecorder() {
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void BrowserRecorder::Open(const QUrl& url) { opened_.append(url.toString(QUrl::FullyEncoded)); }

void Type(QWidget* widget, const QString& text) {
  for (const QChar ch : text) {
    if (ch.unicode() < 0x80) {
      QTest::keyClick(widget, static_cast<char>(ch.unicode()));
    } else {
      QInputMethodEvent commit;
      commit.setCommitString(QString(ch));
      QApplication::sendEvent(widget, &commit);
    }
  }
}

// --- Looking at what is shown ---

QColor RenderedAt(QWidget* widget, QPoint point) {
  if (!widget) return {};
  return widget->grab().toImage().pixelColor(point);
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
  return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
         std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor AsQColor(ui::Colour colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

// --- Test files ---

void WriteImage(const QString& path, const QImage& image, const char* format) {
  QImageWriter writer(path, format);
  ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

namespace {

void AppendChunk(QByteArray& png, const char* type, const QByteArray& data) {
  char length[4];
  qToBigEndian(static_cast<quint32>(data.size()), length);
  png.append(length, 4);
  QByteArray body(type, 4);
  body.append(data);
  png.append(body);
  char crc[4];
  qToBigEndian(static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(body.constData()),
                                          static_cast<uInt>(body.size()))),
               crc);
  png.append(crc, 4);
}

}  // namespace

QByteArray OversizedPng() {
  // 16500 x 16500 pixels of two-bit palette colour: Qt unpacks them into
  // one byte each, 272 MB, over its allocation limit for one image (128 MB
  // by default, never above 256 MiB), while the rows of zeros deflate to
  // almost nothing. The data is complete: without the limit it would decode.
  constexpr int kSide = 16500;
  constexpr int kRowBytes = 1 + kSide / 4;  // filter byte, four pixels a byte

  QByteArray header(13, '\0');
  qToBigEndian(static_cast<quint32>(kSide), header.data());
  qToBigEndian(static_cast<quint32>(kSide), header.data() + 4);
  header[8] = 2;  // bit depth
  header[9] = 3;  // palette colour

  const QByteArray palette("\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00\xff", 12);

  z_stream zs{};
  // Run-length matching only: quick on a stream of zeros.
  deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15, 9, Z_RLE);
  const QByteArray row(kRowBytes, '\0');
  QByteArray compressed;
  char out[1 << 16];
  for (int y = 0; y < kSide; ++y) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.constData()));
    zs.avail_in = kRowBytes;
    const int flush = y + 1 == kSide ? Z_FINISH : Z_NO_FLUSH;
    do {
      zs.next_out = reinterpret_cast<Bytef*>(out);
      zs.avail_out = sizeof out;
      deflate(&zs, flush);
      compressed.append(out, static_cast<qsizetype>(sizeof out - zs.avail_out));
    } while (zs.avail_out == 0);
  }
  deflateEnd(&zs);

  QByteArray png("\x89PNG\r\n\x1a\n", 8);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "PLTE", palette);
  AppendChunk(png, "IDAT", compressed);
  AppendChunk(png, "IEND", {});
  return png;
}

}  // namespace zoq::testing
