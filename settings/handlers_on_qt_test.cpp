// The five click handlers: which picker of 按钮2 and 按钮3 reaches which
// control of the main window, in which order, and what becomes of the
// settings window; 按钮1 (title), 按钮4 (picture) and 图形按钮1 (contact page).
#include "handlers.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QWidget>

#include <algorithm>
#include <map>
#include <vector>

#include "contact_url.h"
#include "forms/forms.h"
#include "runtime/ui_testing.h"
#include "settings/settings.h"
#include "support/fake_window.h"
#include "support/settings_fixture.h"

namespace zoq::settings {
namespace {


using testing::AsQColor;
using testing::SettingsWindowTest;

constexpr ui::Colour kMagenta = 0x00FF00FF;
constexpr ui::Colour kCyan = 0x00FFFF00;
constexpr ui::Colour kBlack = 0;

const QString kSetOk = QString::fromUtf16(u"设置成功~！");
const QString kSetCaption = QString::fromUtf16(u"温馨提示~！");

using ColourTest = SettingsWindowTest;

TEST_F(ColourTest, LeftColumnSetsNoteTextAndFrameBackThenCloses) {
  ui::Window& settings = Settings();
  settings.SetPickerColour("颜色选择器1", 0x000000FF);
  settings.SetPickerColour("颜色选择器2", 0x0000FF00);
  settings.SetPickerColour("颜色选择器3", 0x00FF0000);
  settings.SetPickerColour("颜色选择器4", 0x00808080);
  const QColor mainBack = zoq::testing::TopLevel(Main())->palette().color(QPalette::Window);

  // While the box is up the changes already show and the window is still there.
  bool settingsOpenAtBox = false;
  ui::Colour frameAtBox = kCyan;
  answerer_.onBox = [&](const testing::ShownBox&) {
    settingsOpenAtBox = ui::WindowNamed(forms::kSettingsWindow) != nullptr;
    frameAtBox = Main().BackColour("分组框1");
  };
  Click("按钮2");

  EXPECT_EQ(boxTextColour1, 0x000000FFu);
  EXPECT_EQ(boxTextColour2, 0x0000FF00u);
  EXPECT_EQ(boxTextColour3, 0x00FF0000u);
  EXPECT_EQ(frameBackColour, 0x00808080u);
  EXPECT_EQ(Main().TextColour("编辑框3"), 0x000000FFu);
  EXPECT_EQ(Main().TextColour("编辑框6"), 0x0000FF00u);
  EXPECT_EQ(Main().TextColour("编辑框4"), 0x00FF0000u);
  EXPECT_EQ(Main().BackColour("分组框1"), 0x00808080u);
  EXPECT_EQ(zoq::testing::Widget(Main(), "编辑框6")->palette().color(QPalette::Text),
            AsQColor(0x0000FF00));
  EXPECT_TRUE(testing::Near(testing::RenderedAt(zoq::testing::Widget(Main(), "分组框1"), {330, 228}),
                            AsQColor(0x00808080), 2))
      << "the frame's new background does not show";

  // Untouched: note backgrounds, the clock line, the frame's caption colour
  // and the main window's own background.
  EXPECT_EQ(Main().BackColour("编辑框3"), kCyan);
  EXPECT_EQ(Main().BackColour("标签3"), kCyan);
  EXPECT_EQ(Main().TextColour("标签3"), kBlack);
  EXPECT_EQ(Main().TextColour("分组框1"), kMagenta);
  EXPECT_EQ(zoq::testing::TopLevel(Main())->palette().color(QPalette::Window), mainBack);

  ASSERT_EQ(answerer_.Boxes().size(), 1u);
  EXPECT_EQ(answerer_.Boxes()[0].text, kSetOk);
  EXPECT_EQ(answerer_.Boxes()[0].caption, kSetCaption);
  EXPECT_EQ(answerer_.Boxes()[0].icon, QMessageBox::Information);
  EXPECT_TRUE(settingsOpenAtBox);
  EXPECT_EQ(frameAtBox, 0x00808080u);
  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

TEST_F(ColourTest, RightColumnSetsBackgroundsAndStaysOpen) {
  ui::Window& settings = Settings();
  settings.SetPickerColour("颜色选择器5", 0x00112233);
  settings.SetPickerColour("颜色选择器6", 0x00445566);
  settings.SetPickerColour("颜色选择器7", 0x00778899);
  settings.SetPickerColour("颜色选择器8", 0x00AABBCC);
  Click("按钮3");

  EXPECT_EQ(boxBackColour1, 0x00112233u);
  EXPECT_EQ(boxBackColour2, 0x00445566u);
  EXPECT_EQ(boxBackColour3, 0x00778899u);
  EXPECT_EQ(clockBackColour, 0x00AABBCCu);
  EXPECT_EQ(Main().BackColour("编辑框3"), 0x00112233u);
  EXPECT_EQ(Main().BackColour("编辑框6"), 0x00445566u);
  EXPECT_EQ(Main().BackColour("编辑框4"), 0x00778899u);
  EXPECT_EQ(Main().BackColour("标签3"), 0x00AABBCCu);
  QWidget* clock = zoq::testing::Widget(Main(), "标签3");
  EXPECT_TRUE(testing::Near(testing::RenderedAt(clock, {clock->width() - 2, 2}),
                            AsQColor(0x00AABBCC), 2))
      << "the clock line's new background does not show";

  // Only the clock line's background: not its text, not the frame.
  EXPECT_EQ(Main().TextColour("标签3"), kBlack);
  EXPECT_EQ(Main().BackColour("分组框1"), kCyan);
  EXPECT_EQ(Main().TextColour("编辑框3"), kMagenta);

  ASSERT_EQ(answerer_.Boxes().size(), 1u);
  EXPECT_EQ(answerer_.Boxes()[0].text, kSetOk);
  EXPECT_EQ(answerer_.Boxes()[0].caption, kSetCaption);
  EXPECT_EQ(answerer_.Boxes()[0].icon, QMessageBox::Information);
  ASSERT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr);

  // Again, with one picker changed: applied again and confirmed again.
  Settings().SetPickerColour("颜色选择器6", 0x00010203);
  Click("按钮3");
  EXPECT_EQ(Main().BackColour("编辑框6"), 0x00010203u);
  EXPECT_EQ(Main().BackColour("编辑框3"), 0x00112233u);
  EXPECT_EQ(answerer_.Boxes().size(), 2u);
  EXPECT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

TEST_F(ColourTest, UntouchedPickersApplyTheirStartingColours) {
  // The layout stores no colour: whatever a fresh picker starts with is
  // applied, to every target of the column.
  std::map<Text, ui::Colour> start;
  for (const char* name : {"颜色选择器1", "颜色选择器2", "颜色选择器3", "颜色选择器4",
                           "颜色选择器5", "颜色选择器6", "颜色选择器7", "颜色选择器8"}) {
    start[name] = Settings().PickerColour(name);
    EXPECT_EQ(start[name], kBlack) << name;
  }

  Click("按钮3");
  EXPECT_EQ(Main().BackColour("编辑框3"), start["颜色选择器5"]);
  EXPECT_EQ(Main().BackColour("编辑框6"), start["颜色选择器6"]);
  EXPECT_EQ(Main().BackColour("编辑框4"), start["颜色选择器7"]);
  EXPECT_EQ(Main().BackColour("标签3"), start["颜色选择器8"]);

  Click("按钮2");
  EXPECT_EQ(Main().TextColour("编辑框3"), start["颜色选择器1"]);
  EXPECT_EQ(Main().TextColour("编辑框6"), start["颜色选择器2"]);
  EXPECT_EQ(Main().TextColour("编辑框4"), start["颜色选择器3"]);
  EXPECT_EQ(Main().BackColour("分组框1"), start["颜色选择器4"]);
  EXPECT_EQ(answerer_.Boxes().size(), 2u);
  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

TEST_F(ColourTest, ReopeningAfterLeftColumnShowsStartingValuesAgain) {
  ui::Window* first = &Settings();
  QPointer<QWidget> firstTop = zoq::testing::TopLevel(*first);
  for (int i = 1; i <= 8; ++i) {
    first->SetPickerColour("颜色选择器" + std::to_string(i), 0x00123456);
  }
  first->SetControlText("编辑框1", "另一个标题");
  Click("按钮2");
  ASSERT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
  EXPECT_TRUE(firstTop.isNull()) << "the closed window was not destroyed";

  OpenSettingsWindow();
  ui::Window& again = Settings();
  for (int i = 1; i <= 8; ++i) {
    EXPECT_EQ(again.PickerColour("颜色选择器" + std::to_string(i)), kBlack) << i;
  }
  EXPECT_EQ(again.ControlText("编辑框1"), "Ｚｏｑ个人播放器");
  // The main window keeps what was applied.
  EXPECT_EQ(Main().TextColour("编辑框3"), 0x00123456u);
}

// Records the order in which the main window's controls change colour.
class PaletteOrder : public QObject {
 public:
  PaletteOrder(ui::Window& main, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      QWidget* widget = zoq::testing::Widget(main, name);
      widget->installEventFilter(this);
      names_[widget] = name;
    }
  }
  std::vector<Text> order;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::PaletteChange) {
      const Text& name = names_[watched];
      if (std::find(order.begin(), order.end(), name) == order.end()) order.push_back(name);
    }
    return false;
  }

 private:
  std::map<QObject*, Text> names_;
};

TEST_F(ColourTest, ReadsAndWritesInTheirOrder) {
  // A settings window whose pickers give 0x010101 times the count of reads.
  testing::FakeWindow fake;
  fake.pickerColour = [&fake](const Text&) {
    return 0x00010101 * static_cast<ui::Colour>(fake.pickerReads.size());
  };
  {
    PaletteOrder writes(Main(), {"编辑框3", "编辑框6", "编辑框4", "分组框1"});
    TextColoursClick(fake);
    EXPECT_EQ(fake.pickerReads,
              (std::vector<Text>{"颜色选择器1", "颜色选择器3", "颜色选择器2", "颜色选择器4"}));
    EXPECT_EQ(writes.order, (std::vector<Text>{"编辑框3", "编辑框6", "编辑框4", "分组框1"}));
    // The second read, 颜色选择器3, goes to note box 3.
    EXPECT_EQ(boxTextColour3, 0x00020202u);
    EXPECT_EQ(Main().TextColour("编辑框4"), 0x00020202u);
  }
  fake.pickerReads.clear();
  {
    PaletteOrder writes(Main(), {"编辑框3", "编辑框6", "编辑框4", "标签3"});
    BackColoursClick(fake);
    EXPECT_EQ(fake.pickerReads,
              (std::vector<Text>{"颜色选择器5", "颜色选择器6", "颜色选择器7", "颜色选择器8"}));
    EXPECT_EQ(writes.order, (std::vector<Text>{"编辑框3", "编辑框6", "编辑框4", "标签3"}));
  }
  EXPECT_EQ(answerer_.Boxes().size(), 2u);
}

// --- Title, picture and contact ---

using testing::Near;
using testing::PictureCentre;
using testing::ScriptedDialog;

const QString kSwapOk = QString::fromUtf16(u"更换成功");
const QString kSwapCaption = QString::fromUtf16(u"温馨提示");
const QColor kRedShown(255, 0, 0);
const QColor kBlueShown(0, 0, 255);
const QColor kCyanShown(0, 255, 255);  // the picture box's own background

Text Native(const QString& path) { return QDir::toNativeSeparators(path).toStdString(); }

// --- Title ---

using TitleTest = SettingsWindowTest;

TEST_F(TitleTest, TypedTextBecomesTheMainTitleExactly) {
  auto* edit = qobject_cast<QLineEdit*>(zoq::testing::Widget(Settings(), "编辑框1"));
  ASSERT_NE(edit, nullptr);
  edit->clear();
  testing::Type(edit, QString::fromUtf16(u"  我的 播放器  Two  "));

  // The runtime's own code-page conversion of what was typed agrees with
  // this file's literals byte for byte.
  ASSERT_EQ(Settings().ControlText("编辑框1"), "  我的 播放器  Two  ");

  Click("按钮1");
  EXPECT_EQ(Main().Title(), "  我的 播放器  Two  ");
  EXPECT_EQ(zoq::testing::TopLevel(Main())->windowTitle(), QString::fromUtf16(u"  我的 播放器  Two  "));
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
  qobject_cast<QLineEdit*>(zoq::testing::Widget(Settings(), "编辑框1"))->clear();
  Click("按钮1");
  EXPECT_EQ(Main().Title(), "");
  EXPECT_TRUE(zoq::testing::TopLevel(Main())->windowTitle().isEmpty());
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
  Choose(Solid("blue.png", kBlueShown, "png"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kBlueShown)) << "PNG";
  Choose(Solid("red.jpg", kRedShown, "jpeg"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kRedShown)) << "JPEG";
  Choose(Solid("blue.bmp", kBlueShown, "bmp"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kBlueShown)) << "BMP";
  // The same file twice: shown again, confirmed again.
  Choose(Path("red.jpg"));
  Choose(Path("red.jpg"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kRedShown));
  ExpectConfirmed(5);
  EXPECT_EQ(dialog_.Shown(), 5);
}

TEST_F(PictureTest, BytesThatAreNoImageLeaveTheBoxEmpty) {
  Choose(Solid("red.png", kRedShown, "png"));
  ASSERT_TRUE(Near(PictureCentre(Main()), kRedShown));
  testing::WriteBytes(Path("notes.txt"), "not a picture, just words\n");
  Choose(Path("notes.txt"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyanShown, 2));
  // A file cut short in the middle of its header decodes to nothing too.
  Choose(Solid("red2.png", kRedShown, "png"));
  QFile cut(Path("red2.png"));
  ASSERT_TRUE(cut.resize(20));
  Choose(Path("red2.png"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyanShown, 2));
  ExpectConfirmed(4);
}

TEST_F(PictureTest, FileGoneBeforeReadingClearsThePictureAndConfirms) {
  Choose(Solid("red.png", kRedShown, "png"));
  const QString doomed = Solid("doomed.png", kBlueShown, "png");
  Choose(doomed, [doomed] { QFile::remove(doomed); });
  EXPECT_FALSE(QFile::exists(doomed));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyanShown, 2));
  ExpectConfirmed(2);
}

TEST_F(PictureTest, CancelChangesNothingAndSaysNothing) {
  Choose(Solid("red.png", kRedShown, "png"));
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
  EXPECT_TRUE(Near(PictureCentre(Main()), kRedShown));
  EXPECT_TRUE(answerer_.Boxes().empty());
  EXPECT_NE(ui::WindowNamed(forms::kSettingsWindow), nullptr);
}

TEST_F(PictureTest, FileTooLargeToHoldCountsAsUnreadable) {
  // A real PNG followed by a hole up to 256 MiB and one byte: read whole,
  // it would decode and show red.
  const QString path = Solid("huge.png", kRedShown, "png");
  QFile file(path);
  ASSERT_TRUE(file.resize(qint64{256} * 1024 * 1024 + 1));
  EXPECT_TRUE(ui::ReadWholeFile(Native(path)).empty());

  Choose(Solid("blue.png", kBlueShown, "png"));
  Choose(path);
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyanShown, 2));
  ExpectConfirmed(2);
}

TEST_F(PictureTest, ImageTooLargeToDecodeIsRefused) {
  // Qt's allocation limit must stay in force.
  ASSERT_GT(QImageReader::allocationLimit(), 0);
  testing::WriteBytes(Path("bomb.png"), testing::OversizedPng());
  ASSERT_LT(QFileInfo(Path("bomb.png")).size(), 1024 * 1024);

  Choose(Solid("blue.png", kBlueShown, "png"));
  Choose(Path("bomb.png"));
  EXPECT_TRUE(Near(PictureCentre(Main()), kCyanShown, 2));
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
