// 按钮1 (title), 按钮4 (picture) and 图形按钮1 (contact page).
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include "forms/forms.h"
#include "runtime/ui_testing.h"
#include "contact_url.h"
#include "support/settings_fixture.h"
#include "settings/settings.h"

namespace zoq::settings {
namespace {

using testing::Near;
using testing::PictureCentre;
using testing::ScriptedDialog;
using testing::SettingsWindowTest;

const QString kSetOk = QString::fromUtf16(u"设置成功~！");
const QString kSetCaption = QString::fromUtf16(u"温馨提示~！");
const QString kSwapOk = QString::fromUtf16(u"更换成功");
const QString kSwapCaption = QString::fromUtf16(u"温馨提示");
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kCyan(0, 255, 255);  // the picture box's own background

Text Native(const QString& path) { return QDir::toNativeSeparators(path).toStdString(); }

// --- Title ---

using TitleTest = SettingsWindowTest;

TEST_F(TitleTest, TypedTextBecomesTheMainTitleExactly) {
  auto* edit = qobject_cast<QLineEdit*>(ui::testing::Widget(Settings(), "编辑框1"));
  ASSERT_NE(edit, nullptr);
  edit->clear();
  testing::Type(edit, QString::fromUtf16(u"  我的 播放器  Two  "));

  // The runtime's own code-page conversion of what was typed agrees with
  // this file's literals byte for byte.
  ASSERT_EQ(Settings().ControlText("编辑框1"), "  我的 播放器  Two  ");

  Click("按钮1");
  EXPECT_EQ(Main().Title(), "  我的 播放器  Two  ");
  EXPECT_EQ(ui::testing::TopLevel(Main())->windowTitle(), QString::fromUtf16(u"  我的 播放器  Two  "));
  ASSERT_EQ(answerer_.Boxes().size(), 1u);
  EXPECT_EQ(answerer_.Boxes()[0].text, kSetOk);
  EXPECT_EQ(answerer_.Boxes()[0].caption, kSetCaption);
  EXPECT_EQ(answerer_.Boxes()[0].icon, QMessageBox::Information);
  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

TEST_F(TitleTest, UneditedBoxGivesTheLayoutTitleBack) {
  Main().SetTitle("别的名字");
  Click("按钮1");
  EXPECT_EQ(Main().Title(), "Ｚｏｑ个人播放器");

  // A fresh window shows the layout's title again, not the current one.
  Main().SetTitle("又一个名字");
  OpenSettingsWindow();
  EXPECT_EQ(Settings().ControlText("编辑框1"), "Ｚｏｑ个人播放器");
}

TEST_F(TitleTest, EmptyBoxGivesAnEmptyTitleAndStillConfirms) {
  qobject_cast<QLineEdit*>(ui::testing::Widget(Settings(), "编辑框1"))->clear();
  Click("按钮1");
  EXPECT_EQ(Main().Title(), "");
  EXPECT_TRUE(ui::testing::TopLevel(Main())->windowTitle().isEmpty());
  ASSERT_EQ(answerer_.Boxes().size(), 1u);
  EXPECT_EQ(answerer_.Boxes()[0].text, kSetOk);
  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

// --- Picture ---

class PictureTest : public SettingsWindowTest {
 protected:
  void SetUp() override {
    SettingsWindowTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
  }
  QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
  // A picture the size of the box in one colour, in the given format.
  QString Solid(const char* name, const QColor& colour, const char* format) {
    QImage image(320, 288, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = Path(name);
    testing::WriteImage(path, image, format);
    return path;
  }
  // Chooses `path` in the dialog and presses 按钮4.
  void Choose(const QString& path, std::function<void()> before = {}) {
    dialog_.Push({Native(path), std::move(before)});
    Click("按钮4");
  }
  void ExpectConfirmed(std::size_t count) {
    ASSERT_EQ(answerer_.Boxes().size(), count);
    for (const auto& box : answerer_.Boxes()) {
      EXPECT_EQ(box.text, kSwapOk);
      EXPECT_EQ(box.caption, kSwapCaption);
      EXPECT_EQ(box.icon, QMessageBox::Information);
    }
    EXPECT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr) << "按钮4 closed the window";
  }

  QTemporaryDir dir_;
  ScriptedDialog dialog_;
};

TEST_F(PictureTest, JpegPngAndBmpReplaceThePhotograph) {
  Choose(Solid("blue.png", kBlue, "png"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kBlue)) << "PNG";
  Choose(Solid("red.jpg", kRed, "jpeg"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kRed)) << "JPEG";
  Choose(Solid("blue.bmp", kBlue, "bmp"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kBlue)) << "BMP";
  // The same file twice: shown again, confirmed again.
  Choose(Path("red.jpg"));
  Choose(Path("red.jpg"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kRed));
  ExpectConfirmed(5);
  EXPECT_EQ(dialog_.Shown(), 5);
}

TEST_F(PictureTest, BytesThatAreNoImageLeaveTheBoxEmpty) {
  Choose(Solid("red.png", kRed, "png"));
  ASSERT_TRUE(Near(PictureCentre(Main()), kRed));
  testing::WriteBytes(Path("notes.txt"), "not a picture, just words\n");
  Choose(Path("notes.txt"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyan, 2));
  // A file cut short in the middle of its header decodes to nothing too.
  Choose(Solid("red2.png", kRed, "png"));
  QFile cut(Path("red2.png"));
  ASSERT_TRUE(cut.resize(20));
  Choose(Path("red2.png"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyan, 2));
  ExpectConfirmed(4);
}

TEST_F(PictureTest, FileGoneBeforeReadingClearsThePictureAndConfirms) {
  Choose(Solid("red.png", kRed, "png"));
  const QString doomed = Solid("doomed.png", kBlue, "png");
  Choose(doomed, [doomed] { QFile::remove(doomed); });
  EXPECT_FALSE(QFile::exists(doomed));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyan, 2));
  ExpectConfirmed(2);
}

TEST_F(PictureTest, CancelChangesNothingAndSaysNothing) {
  Choose(Solid("red.png", kRed, "png"));
  answerer_.Clear();

  // The dialog starts in the desktop folder.
  QTemporaryDir home;
  ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Desktop")));
  const QByteArray oldHome = qgetenv("HOME");
  qputenv("HOME", home.path().toLocal8Bit());
  dialog_.Push({std::nullopt, {}});
  Click("按钮4");
  qputenv("HOME", oldHome);

  EXPECT_EQ(dialog_.Shown(), 2);
  EXPECT_EQ(dialog_.LastStartFolder(), Native(home.filePath(QStringLiteral("Desktop"))));
  EXPECT_TRUE(Near(PictureCentre(Main()), kRed));
  EXPECT_TRUE(answerer_.Boxes().empty());
  EXPECT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

TEST_F(PictureTest, FileTooLargeToHoldCountsAsUnreadable) {
  // A real PNG followed by a hole up to 256 MiB and one byte: read whole,
  // it would decode and show red.
  const QString path = Solid("huge.png", kRed, "png");
  QFile file(path);
  ASSERT_TRUE(file.resize(qint64{256} * 1024 * 1024 + 1));
  EXPECT_TRUE(ui::ReadWholeFile(Native(path)).empty());

  Choose(Solid("blue.png", kBlue, "png"));
  Choose(path);
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyan, 2));
  ExpectConfirmed(2);
}

TEST_F(PictureTest, ImageTooLargeToDecodeIsRefused) {
  // Qt's allocation limit must stay in force.
  ASSERT_GT(QImageReader::allocationLimit(), 0);
  testing::WriteBytes(Path("bomb.png"), testing::OversizedPng());
  ASSERT_LT(QFileInfo(Path("bomb.png")).size(), 1024 * 1024);

  Choose(Solid("blue.png", kBlue, "png"));
  Choose(Path("bomb.png"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyan, 2));
  ExpectConfirmed(2);
}

// --- Contact ---

using ContactTest = SettingsWindowTest;

TEST_F(ContactTest, EachClickHandsTheChatAddressToTheBrowser) {
  testing::BrowserRecorder browser;
  Click("图形按钮1");
  Click("图形按钮1");
  Click("图形按钮1");
  const QString expected = QString::fromLatin1(kContactChatUrl);
  EXPECT_EQ(browser.Opened(), QStringList({expected, expected, expected}));
  EXPECT_TRUE(answerer_.Boxes().empty());
  EXPECT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr);
  // The main window is not touched.
  EXPECT_EQ(Main().Title(), "Ｚｏｑ个人播放器");
}

TEST(ContactAddress, IsAChatPageWithItsFourKeysInOrder) {
  const QUrl url(QString::fromLatin1(kContactChatUrl), QUrl::StrictMode);
  ASSERT_TRUE(url.isValid());
  EXPECT_EQ(url.scheme(), QStringLiteral("http"));
  EXPECT_EQ(url.path(), QStringLiteral("/msgrd"));
  const auto items = QUrlQuery(url).queryItems();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0], qMakePair(QStringLiteral("v"), QStringLiteral("3")));
  EXPECT_EQ(items[1].first, QStringLiteral("uin"));
  EXPECT_FALSE(items[1].second.isEmpty());
  EXPECT_EQ(items[2], qMakePair(QStringLiteral("site"), QStringLiteral("qq")));
  EXPECT_EQ(items[3], qMakePair(QStringLiteral("menu"), QStringLiteral("yes")));
}

}  // namespace
}  // namespace zoq::settings
