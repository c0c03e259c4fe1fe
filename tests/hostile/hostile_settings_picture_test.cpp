// The same hostile files chosen the way a user does: the settings window's
// picture button, its open-file dialog answered with the file, the
// confirmation box dismissed. The main window's picture box ends up empty,
// the change is confirmed, and both windows stay usable.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>
#include <string>

#include "forms/forms.h"
#include "runtime/ui.h"
#include "runtime/ui_testing.h"
#include "settings/settings.h"
#include "support/qt_testing.h"

namespace zoq {
namespace {

// Control names as the layouts spell them, in code page 936.
const Text kPictureButton = "\xB0\xB4\xC5\xA5" "4";       // 按钮4
const Text kPictureBox = "\xCD\xBC\xC6\xAC\xBF\xF2" "1";  // 图片框1

Bytes Png(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return Bytes(data.begin(), data.end());
}

class SettingsPictureButton : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    main_ = ui::LoadWindow(forms::MainForm(), [](ui::Window&) {}, nullptr, false);
    ASSERT_NE(main_, nullptr);
    settings::OpenSettingsWindow();
    settings_ = ui::WindowNamed(forms::kSettingsWindow);
    ASSERT_NE(settings_, nullptr);
  }

  void TearDown() override {
    ui::SetOpenDialogChooser({});
    for (const char* name : {forms::kSettingsWindow, forms::kMainWindow})
      if (ui::Window* w = ui::WindowNamed(name)) w->Destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  void Write(const char* name, const Bytes& bytes) const {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }

  void Choose(const QString& path) {
    const Text chosen = QDir::toNativeSeparators(path).toStdString();
    ui::SetOpenDialogChooser([chosen](const Text&) { return std::optional<Text>(chosen); });
    auto* button = qobject_cast<QAbstractButton*>(zoq::testing::Widget(*settings_, kPictureButton));
    ASSERT_NE(button, nullptr);
    button->click();
  }

  bool PictureEmpty() const {
    auto* label = qobject_cast<QLabel*>(zoq::testing::Widget(*main_, kPictureBox));
    return label != nullptr && label->pixmap().isNull();
  }

  QTemporaryDir dir_;
  testing::ModalAnswerer answerer_;  // every box that comes up is recorded and dismissed
  ui::Window* main_ = nullptr;
  ui::Window* settings_ = nullptr;
};

TEST_F(SettingsPictureButton, HostileFilesClearThePictureAndAreConfirmed) {
  Write("good.png", Png(40, 30));
  Write("words.jpg", Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  Write("bomb.ppm", Bytes{'P', '6', '\n', '9', '9', '9', '9', '9', ' ', '9', '9', '9', '9', '9',
                          '\n', '2', '5', '5', '\n', 1, 2, 3});
  Write("huge.png", Png(40, 30));
  ASSERT_TRUE(QFile(Path("huge.png")).resize(qint64{300} * 1024 * 1024));
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.png")));
  ASSERT_EQ(::mkfifo(Path("pipe.png").toLocal8Bit().constData(), 0600), 0);

  int expected = 0;
  for (const QString& path : {Path("words.jpg"), Path("bomb.ppm"), Path("huge.png"),
                              Path("folder.png"), Path("pipe.png"), QStringLiteral("/proc/self/mem"),
                              Path("gone.png")}) {
    Choose(Path("good.png"));
    ASSERT_FALSE(PictureEmpty()) << "a good picture must show";
    Choose(path);
    EXPECT_TRUE(PictureEmpty()) << path.toStdString();
    expected += 2;
  }
  EXPECT_EQ(static_cast<int>(answerer_.Boxes().size()), expected);
  EXPECT_EQ(answerer_.Unexpected(), 0);
  // The settings window stays open for the next choice.
  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), settings_);
}

}  // namespace
}  // namespace zoq
