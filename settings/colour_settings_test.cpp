// 按钮2 and 按钮3: which picker reaches which control of the main window, in
// which order, and what becomes of the settings window.
#include <QEvent>
#include <QPointer>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <map>
#include <vector>

#include "forms/forms.h"
#include "runtime/ui_testing.h"
#include "handlers.h"
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
  const QColor mainBack = ui::testing::TopLevel(Main())->palette().color(QPalette::Window);

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
  EXPECT_EQ(ui::testing::Widget(Main(), "编辑框6")->palette().color(QPalette::Text), AsQColor(0x0000FF00));
  EXPECT_TRUE(testing::Near(testing::RenderedAt(ui::testing::Widget(Main(), "分组框1"), {330, 228}),
                            AsQColor(0x00808080), 2))
      << "the frame's new background does not show";

  // Untouched: note backgrounds, the clock line, the frame's caption colour
  // and the main window's own background.
  EXPECT_EQ(Main().BackColour("编辑框3"), kCyan);
  EXPECT_EQ(Main().BackColour("标签3"), kCyan);
  EXPECT_EQ(Main().TextColour("标签3"), kBlack);
  EXPECT_EQ(Main().TextColour("分组框1"), kMagenta);
  EXPECT_EQ(ui::testing::TopLevel(Main())->palette().color(QPalette::Window), mainBack);

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
  QWidget* clock = ui::testing::Widget(Main(), "标签3");
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
  QPointer<QWidget> firstTop = ui::testing::TopLevel(*first);
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
      QWidget* widget = ui::testing::Widget(main, name);
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

}  // namespace
}  // namespace zoq::settings
