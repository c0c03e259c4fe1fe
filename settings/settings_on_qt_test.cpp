// The settings window as built from its layout, and its life: opening,
// bringing forward, closing, and the end of the program.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QSet>
#include <QTimer>

#include <cstdlib>

#include "forms/forms.h"
#include "runtime/ui_testing.h"
#include "runtime/core.h"
#include "support/settings_fixture.h"
#include "settings/settings.h"

namespace zoq::settings {
namespace {

using testing::AsQColor;
using testing::SettingsWindowTest;

constexpr ui::Colour kMagenta = 0x00FF00FF;
constexpr ui::Colour kRed = 0x000000FF;
constexpr ui::Colour kBlack = 0;
constexpr ui::Colour kWhite = 0x00FFFFFF;
constexpr ui::Colour kDefault = ui::kDefaultColour;

// Where each control must end up, in client-area coordinates of the window,
// with what it shows. Faces: K = 楷体_GB2312 bold, S = 新宋体, "" = default.
struct Expected {
  const char* name;
  const char* container;  // "" = the window itself
  int x, y, width, height;
  const char16_t* text;  // nullptr: shows no text
  char face;             // 'K', 'S' or 0
  int pixels;
  ui::Colour textColour, backColour;
  QAccessible::Role role;
};

const Expected kLayout[] = {
    {"分组框1", "", -8, 0, 584, 688, u"", 0, 0, kBlack, kBlack, QAccessible::Grouping},
    {"分组框3", "分组框1", 8, 128, 536, 208, u"文本颜色修改", 'S', 12, kMagenta, kBlack,
     QAccessible::Grouping},
    {"分组框4", "分组框1", 8, 344, 536, 136, u"图片更换", 0, 0, kMagenta, kBlack,
     QAccessible::Grouping},
    {"分组框2", "分组框1", 8, 488, 536, 152, u"点击联系我", 0, 0, kMagenta, kBlack,
     QAccessible::Grouping},
    {"标签1", "分组框1", 0, 0, 248, 32, u"启动标题名字修改", 'K', 21, kMagenta, kDefault,
     QAccessible::StaticText},
    {"编辑框1", "分组框1", 0, 32, 256, 32, u"Ｚｏｑ个人播放器", 0, 0, kBlack, kWhite,
     QAccessible::EditableText},
    {"标签3", "分组框1", 248, 0, 376, 32, u"（窗口名）", 'K', 19, kRed, kDefault,
     QAccessible::StaticText},
    {"标签4", "分组框1", 248, 32, 360, 32, u"（可以输入）", 'K', 19, kRed, kDefault,
     QAccessible::StaticText},
    {"按钮1", "分组框1", 160, 80, 176, 48, u"修改", 0, 0, kDefault, kDefault,
     QAccessible::Button},
    {"标签7", "分组框3", 24, 152, 160, 32, u"1字体颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器1", "分组框3", 168, 152, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"标签9", "分组框3", 24, 184, 160, 32, u"2字体颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器2", "分组框3", 168, 184, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"标签8", "分组框3", 24, 216, 160, 32, u"3字体颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器3", "分组框3", 168, 221, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"标签2", "分组框3", 24, 248, 160, 32, u"4背景颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器4", "分组框3", 168, 256, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"按钮2", "分组框3", 40, 296, 120, 32, u"修改", 0, 0, kDefault, kDefault,
     QAccessible::Button},
    {"标签5", "分组框3", 264, 144, 160, 32, u"1字体背景颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器5", "", 432, 144, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"标签11", "", 264, 176, 160, 32, u"2字体背景颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器6", "", 432, 176, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"标签6", "分组框3", 264, 208, 160, 32, u"3字体背景颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器7", "分组框3", 432, 208, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"标签12", "分组框3", 264, 240, 160, 32, u"4时间背景颜色改变", 'K', 16, kMagenta, kBlack,
     QAccessible::StaticText},
    {"颜色选择器8", "分组框3", 432, 248, 80, 24, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::ButtonMenu},
    {"标签13", "分组框3", 192, 288, 184, 40, u"谨记：修改一个所有都要修改", 0, 0, kRed, kBlack,
     QAccessible::StaticText},
    {"按钮3", "分组框3", 416, 296, 120, 32, u"修改", 0, 0, kDefault, kDefault,
     QAccessible::Button},
    {"按钮4", "分组框4", 168, 384, 224, 40, u"点击本按钮更换图片", 'K', 20, kDefault, kDefault,
     QAccessible::Button},
    {"图形按钮1", "分组框2", 120, 496, 232, 104, nullptr, 0, 0, kDefault, kDefault,
     QAccessible::Button},
    {"标签10", "分组框2", 360, 584, 176, 40, u"看不明白联系我", 0, 0, kMagenta, kBlack,
     QAccessible::StaticText},
};

QString ShownText(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* box = qobject_cast<QGroupBox*>(widget)) return box->title();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  return {};
}

using LayoutTest = SettingsWindowTest;

TEST_F(LayoutTest, WindowTitleSizeAndBackground) {
  QWidget* top = zoq::testing::TopLevel(Settings());
  EXPECT_EQ(Settings().Title(), "个人设置");
  EXPECT_EQ(top->windowTitle(), QString::fromUtf16(u"个人设置"));
  EXPECT_EQ(top->frameGeometry().size(), QSize(562, 679));
  EXPECT_EQ(top->palette().color(QPalette::Window), AsQColor(kWhite));
  EXPECT_TRUE(top->isVisible());
  EXPECT_FALSE(top->isModal());
  EXPECT_EQ(top->parentWidget(), nullptr) << "the settings window has an owner";
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(LayoutTest, EveryControlWhereAndAsLaidOut) {
  ui::Window& settings = Settings();
  QWidget* top = zoq::testing::TopLevel(settings);
  for (const Expected& e : kLayout) {
    SCOPED_TRACE(e.name);
    QWidget* w = zoq::testing::Widget(settings, e.name);
    ASSERT_NE(w, nullptr);
    QWidget* container = *e.container ? zoq::testing::Widget(settings, e.container) : top;
    EXPECT_EQ(w->parentWidget(), container);
    EXPECT_EQ(QRect(w->mapTo(top, QPoint(0, 0)), w->size()),
              QRect(e.x, e.y, e.width, e.height));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isEnabled());

    if (e.text) {
      EXPECT_EQ(ShownText(w), QString::fromUtf16(e.text));
    }

    const QFont font = w->font();
    if (e.face == 'K') {
      EXPECT_EQ(font.family(), QString::fromUtf16(u"楷体_GB2312"));
      EXPECT_EQ(font.weight(), QFont::Bold);
    } else if (e.face == 'S') {
      EXPECT_EQ(font.family(), QString::fromUtf16(u"新宋体"));
      EXPECT_EQ(font.weight(), QFont::Normal);
    } else {
      EXPECT_EQ(font.family(), QApplication::font().family());
      EXPECT_EQ(font.weight(), QFont::Normal);
    }
    EXPECT_EQ(font.pixelSize(), e.pixels ? e.pixels : QApplication::font().pixelSize());

    EXPECT_EQ(settings.TextColour(e.name), e.textColour);
    EXPECT_EQ(settings.BackColour(e.name), e.backColour);
    if (e.textColour != kDefault && e.role != QAccessible::EditableText) {
      EXPECT_EQ(w->palette().color(QPalette::WindowText), AsQColor(e.textColour));
    }

    // Keyboard focus: edit box, buttons and pickers; not labels, group
    // boxes or the graphic button.
    const bool takesFocus = e.role == QAccessible::EditableText ||
                            e.role == QAccessible::ButtonMenu ||
                            (e.role == QAccessible::Button && e.text);
    EXPECT_EQ((w->focusPolicy() & Qt::TabFocus) != 0, takesFocus);

    // What a screen reader hears: the right role and a name.
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->role(), e.role);
    if (e.role != QAccessible::Grouping || (e.text && *e.text)) {
      EXPECT_FALSE(a11y->text(QAccessible::Name).isEmpty());
    }
  }
}

TEST_F(LayoutTest, PickersAreNamedByTheirLabelsForScreenReaders) {
  const std::pair<const char*, const char16_t*> pairs[] = {
      {"颜色选择器1", u"1字体颜色改变"},     {"颜色选择器2", u"2字体颜色改变"},
      {"颜色选择器3", u"3字体颜色改变"},     {"颜色选择器4", u"4背景颜色改变"},
      {"颜色选择器5", u"1字体背景颜色改变"}, {"颜色选择器6", u"2字体背景颜色改变"},
      {"颜色选择器7", u"3字体背景颜色改变"}, {"颜色选择器8", u"4时间背景颜色改变"},
  };
  for (const auto& [picker, caption] : pairs) {
    QAccessibleInterface* a11y =
        QAccessible::queryAccessibleInterface(zoq::testing::Widget(Settings(), picker));
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->text(QAccessible::Name), QString::fromUtf16(caption)) << picker;
  }
}

TEST_F(LayoutTest, WindowLevelControlsLieAboveTheSheet) {
  QWidget* top = zoq::testing::TopLevel(Settings());
  const QImage shot = top->grab().toImage();
  for (const char* name : {"颜色选择器5", "颜色选择器6", "标签11"}) {
    QWidget* w = zoq::testing::Widget(Settings(), name);
    const QPoint centre = w->mapTo(top, w->rect().center());
    QWidget* hit = top->childAt(centre);
    EXPECT_TRUE(hit == w || w->isAncestorOf(hit)) << name;
  }
  // 标签11's magenta caption is actually drawn, not covered by the sheet.
  QWidget* label = zoq::testing::Widget(Settings(), "标签11");
  const QRect area(label->mapTo(top, QPoint(0, 0)), label->size());
  int magenta = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (testing::Near(shot.pixelColor(x, y), QColor(255, 0, 255), 40)) ++magenta;
    }
  }
  EXPECT_GT(magenta, 30);
}

// 标签3 and 标签4 are framed by a single line that shows on the black sheet.
TEST_F(LayoutTest, BorderedLabelsShowTheirLine) {
  QWidget* top = zoq::testing::TopLevel(Settings());
  const QImage shot = top->grab().toImage();
  for (const char* name : {"标签3", "标签4"}) {
    QWidget* label = zoq::testing::Widget(Settings(), name);
    const QPoint corner = label->mapTo(top, QPoint(0, 0));
    // Its left line, in the red of its text (not black on black).
    int red = 0;
    for (int y = corner.y(); y < corner.y() + label->height(); ++y) {
      if (testing::Near(shot.pixelColor(corner.x(), y), AsQColor(kRed), 40)) ++red;
    }
    EXPECT_EQ(red, label->height()) << name;
  }
}

TEST_F(LayoutTest, ContactButtonShowsItsPicture) {
  auto* button = qobject_cast<QAbstractButton*>(zoq::testing::Widget(Settings(), "图形按钮1"));
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(button->icon().isNull());
  // A photograph-like picture, not a plain field: many distinct colours.
  const QImage shown = button->grab().toImage();
  QSet<QRgb> colours;
  for (int y = 0; y < shown.height(); y += 2) {
    for (int x = 0; x < shown.width(); x += 2) colours.insert(shown.pixel(x, y));
  }
  EXPECT_GT(colours.size(), 50);
}

// --- Life of the window ---

using LifeTest = SettingsWindowTest;

TEST_F(LifeTest, SecondOpeningBringsTheOpenWindowForward) {
  ui::Window* first = &Settings();
  first->SetControlText("编辑框1", "还在编辑");
  zoq::testing::TopLevel(*first)->showMinimized();
  OpenSettingsWindow();

  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), first);
  EXPECT_EQ(Settings().ControlText("编辑框1"), "还在编辑");  // not rebuilt
  EXPECT_FALSE(zoq::testing::TopLevel(*first)->windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(zoq::testing::TopLevel(*first)->isVisible());
  int shown = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == QString::fromUtf16(u"个人设置")) ++shown;
  }
  EXPECT_EQ(shown, 1);
}

TEST_F(LifeTest, ClosedByTheUserAndOpenedAfreshWhileTheMainWindowStaysUsable) {
  // The main window takes input while the settings window is open.
  auto* note = qobject_cast<QLineEdit*>(zoq::testing::Widget(Main(), "编辑框3"));
  ASSERT_NE(note, nullptr);
  note->clear();
  QTest::keyClicks(note, QStringLiteral("abc"));
  EXPECT_EQ(note->text(), QStringLiteral("abc"));

  QPointer<QWidget> top = zoq::testing::TopLevel(Settings());
  Settings().SetPickerColour("颜色选择器5", 0x00ABCDEF);
  top->close();
  FlushDeletes();
  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
  EXPECT_TRUE(top.isNull());
  EXPECT_TRUE(zoq::testing::TopLevel(Main())->isVisible());
  EXPECT_EQ(Main().BackColour("编辑框3"), 0x00FFFF00u) << "closing applied something";

  OpenSettingsWindow();
  EXPECT_EQ(Settings().PickerColour("颜色选择器5"), kBlack);
  EXPECT_TRUE(answerer_.Boxes().empty());
}

// Closing the main window ends the program even with the settings window
// open. Run in a child process, since ending is for good.
void CloseMainWithSettingsOpen() {
  ui::Window* main = ui::CreateStartupWindow(forms::MainForm(), {});
  if (!main) std::_Exit(10);
  OpenSettingsWindow();
  if (!ui::WindowNamed(forms::kSettingsWindow)) std::_Exit(11);
  QTimer::singleShot(0, [main] { zoq::testing::TopLevel(*main)->close(); });
  QTimer::singleShot(5000, [] { std::_Exit(12); });  // the loop never ended
  const int code = ui::RunMessageLoop();
  std::_Exit(code == 0 && !ui::WindowNamed(forms::kSettingsWindow) ? 0 : 13);
}

TEST(ProgramEnd, ClosingTheMainWindowEndsItWhileSettingsAreOpen) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(CloseMainWithSettingsOpen(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zoq::settings
