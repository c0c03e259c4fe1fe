// The harness behind the settings window's tests (see harness.h).
#include "settings/harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QImageWriter>
#include <QInputMethodEvent>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include <memory>
#include <stdexcept>

#include "forms/forms.h"
#include "settings/settings.h"

namespace zoq::settings::testing {
namespace {

// One application for the whole run, on the offscreen platform.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<ui::Application>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "settings_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<ui::Application> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

// --- ModalAnswerer ---

ModalAnswerer::ModalAnswerer() {
  timer_.setInterval(1);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start();
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

void ModalAnswerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    const ShownBox shown{box->text(), box->windowTitle(), box->icon()};
    boxes_.push_back(shown);
    if (onBox) onBox(shown);
    QTest::keyClick(box, Qt::Key_Return);
    return;
  }
  ++unexpected;
  if (auto* dialog = qobject_cast<QDialog*>(modal)) {
    dialog->reject();
  } else {
    modal->close();
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

// --- SettingsWindowTest ---

void SettingsWindowTest::SetUp() {
  main_ = ui::LoadWindow(forms::MainForm(), {}, nullptr, false);
  ASSERT_NE(main_, nullptr);
  OpenSettingsWindow();
  ASSERT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

void SettingsWindowTest::TearDown() {
  if (ui::Window* settings = ui::WindowNamed(forms::kSettingsWindow)) settings->Destroy();
  if (main_) main_->Destroy();
  main_ = nullptr;
  FlushDeletes();
  EXPECT_EQ(answerer_.unexpected, 0) << "a modal window other than a message box came up";
}

ui::Window& SettingsWindowTest::Settings() {
  ui::Window* settings = ui::WindowNamed(forms::kSettingsWindow);
  // Thrown rather than asserted: GoogleTest reports it as this test's failure.
  if (!settings) throw std::runtime_error("the settings window is not open");
  return *settings;
}

void SettingsWindowTest::Click(const Text& button) {
  auto* widget = qobject_cast<QAbstractButton*>(Settings().Widget(button));
  ASSERT_NE(widget, nullptr);
  ASSERT_TRUE(widget->isVisible() && widget->isEnabled());
  widget->click();
  FlushDeletes();
}

void SettingsWindowTest::FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

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

QColor PictureCentre(ui::Window& main) {
  QWidget* box = main.Widget("图片框1");
  return box ? RenderedAt(box, box->rect().center()) : QColor();
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

}  // namespace zoq::settings::testing
