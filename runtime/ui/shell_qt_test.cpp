// Message boxes, the open-file dialog, the browser hand-off and the crossing
// of texts and colours into Qt.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>

#include "qt.h"
#include "runtime/ui_testing.h"
#include "support/qt_testing.h"

namespace zoq::ui {
namespace {

using testing::Gbk;
using zoq::testing::ModalAnswerer;

struct BoxSeen {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
};

BoxSeen Show(const Text& text, int style, const std::optional<Text>& caption) {
  BoxSeen seen;
  ModalAnswerer answer([&seen](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->buttons().size());
  });
  ShowMessage(text, style, caption);
  EXPECT_EQ(answer.Answered(), 1);
  return seen;
}

TEST(ShowMessage, StyleChoosesTheIconAndTheCaptionIsShown) {
  const BoxSeen info = Show(Gbk(u"设置成功~！"), 64, Gbk(u"温馨提示~！"));
  EXPECT_EQ(info.text, QStringLiteral("设置成功~！"));
  EXPECT_EQ(info.title, QStringLiteral("温馨提示~！"));
  EXPECT_EQ(info.icon, QMessageBox::Information);
  EXPECT_EQ(info.buttons, 1);
  const BoxSeen plain = Show(Gbk(u"匹配失败发现最新版本~！"), 0, std::nullopt);
  EXPECT_EQ(plain.icon, QMessageBox::NoIcon);
  EXPECT_EQ(plain.buttons, 1);
  // Markup in a message is shown as written.
  EXPECT_EQ(Show("<b>1.3</b>", 0, Text()).text, QStringLiteral("<b>1.3</b>"));
}

TEST(ShowMessage, WithoutCaptionTheStartupWindowsTitleIsUsed) {
  FormSpec form{.name = "captioned", .title = Gbk(u"Ｚｏｑ个人播放器"), .left = 0, .top = 0,
                .width = 100, .height = 80, .icon = {}, .controls = {}};
  Window* main = CreateStartupWindow(form, {});
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Show(Gbk(u"最新版本~！可以使用~！"), 0, std::nullopt).title,
            QStringLiteral("Ｚｏｑ个人播放器"));
  main->SetTitle(Gbk(u"新名字"));
  EXPECT_EQ(Show("x", 0, std::nullopt).title, QStringLiteral("新名字"));
  main->Destroy();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Show("x", 0, std::nullopt).title, QString());
}

class FileTest : public ::testing::Test {
 protected:
  Text Path(const char* name) { return FromQString(dir_.filePath(name)); }
  void Write(const char* name, const std::string& bytes) {
    std::ofstream(dir_.filePath(name).toStdString(), std::ios::binary) << bytes;
  }
  QTemporaryDir dir_;
};

TEST_F(FileTest, RealOpenDialogReturnsTheChosenFullPath) {
  Write("photo 照片.jpg", "jpeg");
  const QString chosen = dir_.filePath(QStringLiteral("photo 照片.jpg"));
  QString startedIn;
  ModalAnswerer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    startedIn = dialog->directory().absolutePath();
    dialog->selectFile(chosen);
    static_cast<QDialog*>(dialog)->accept();  // as the Open button does
  });
  answer.CloseWith(0);
  const std::optional<Text> path = RunOpenDialog(nullptr, FromQString(dir_.path()));
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, FromQString(chosen));
  EXPECT_EQ(startedIn, QDir(dir_.path()).absolutePath());
  EXPECT_EQ(ReadWholeFile(*path), (Bytes{'j', 'p', 'e', 'g'}));
}

TEST_F(FileTest, CancelledOpenDialogChoosesNothing) {
  ModalAnswerer answer;
  answer.CloseWith(Qt::Key_Escape);
  EXPECT_FALSE(RunOpenDialog(nullptr, Gbk(u"桌面")).has_value());
  EXPECT_EQ(answer.Answered(), 1);
}

TEST_F(FileTest, ChosenNameOutsideTheCodePageStillOpens) {
  // Code page 936 has no letter for U+00E9 or for emoji: the dialog's text
  // cannot spell the name, yet the chosen file must still be read.
  const QString name = QStringLiteral("caf\u00e9 \U0001F600.png");
  Write("placeholder", "");
  QFile file(dir_.filePath(name));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("abc");
  file.close();
  ModalAnswerer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(dir_.filePath(name));
    static_cast<QDialog*>(dialog)->accept();  // as the Open button does
  });
  answer.CloseWith(0);
  const std::optional<Text> path = RunOpenDialog(nullptr, FromQString(dir_.path()));
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(ReadWholeFile(*path), (Bytes{'a', 'b', 'c'}));
}

TEST(Browser, HandsTheAddressToTheDesktopOnlyWhereThereIsOne) {
  // On X the address goes to xdg-open (the tests put a recording one first
  // in PATH); Qt's offscreen platform has no browser to hand it to.
  if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
    const char* log = std::getenv("ZOQ_XDG_OPEN_LOG");
    if (!log) GTEST_SKIP() << "needs the recording xdg-open";
    EXPECT_TRUE(OpenInBrowser("http://127.0.0.1:18080/share/zoq?a=1&b=%E4"));
    // The fake writes its argument once the hand-off happened.
    ASSERT_TRUE(zoq::testing::RunUntil([log] { return QFileInfo(log).size() > 0; }));
    QFile file(QString::fromLocal8Bit(log));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().trimmed(), QByteArray("http://127.0.0.1:18080/share/zoq?a=1&b=%E4"));
    return;
  }
  EXPECT_FALSE(OpenInBrowser("http://127.0.0.1:18080/share/zoq"));
  EXPECT_FALSE(OpenInBrowser(""));
}

TEST(Texts, TextsAndColoursCrossIntoQt) {
  EXPECT_EQ(ToQString(Gbk(u"个人~！")), QStringLiteral("个人~！"));
  EXPECT_EQ(FromQString(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")), "ab");
  EXPECT_EQ(ToQColor(0x00FFFF00), QColor(0, 255, 255));  // cyan
  EXPECT_EQ(ToQColor(0x00FF00FF), QColor(255, 0, 255));  // magenta
  EXPECT_EQ(ToQColor(0x000000FF), QColor(255, 0, 0));
  EXPECT_FALSE(ToQColor(kDefaultColour).isValid());
  EXPECT_FALSE(ToQColor(0x80000005).isValid());  // no system colours here
  EXPECT_EQ(FromQColor(QColor(1, 2, 3)), 0x00030201u);
  EXPECT_EQ(FromQColor(QColor()), kDefaultColour);
}

}  // namespace
}  // namespace zoq::ui
