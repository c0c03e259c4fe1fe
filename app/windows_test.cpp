// The program's two windows as the user meets them, on whichever backend
// the tests are built for: where the controls lie, the keyboard's way
// through them, where the focus goes, and the life of windows.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "forms/forms.h"
#include "settings/settings.h"
#include "support/window_driver.h"

#ifdef _WIN32
#include <windows.h>
#include <winternl.h>

#include "runtime/ui_testing.h"
#endif

namespace zoq::app {
namespace {

using testing::Key;
using testing::LetEventsRun;
using testing::Rect;
using testing::WindowDriver;

// The controls Tab (or Shift+Tab) visits from where the focus is now.
std::vector<Text> TabWalk(WindowDriver& driver, Key key, int presses) {
  std::vector<Text> seen;
  for (int i = 0; i < presses; ++i) {
    driver.Press(key);
    seen.push_back(driver.Focused());
  }
  return seen;
}

void Report(const char* what, const std::vector<Text>& names) {
  std::string line;
  for (const Text& name : names) line += (line.empty() ? "" : " ") + name;
  std::printf("%s: %s\n", what, line.c_str());  // code-page 936 bytes
}

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = ui::LoadWindow(forms::MainForm(), {}, nullptr, false);
    ASSERT_NE(main_, nullptr);
    driver_ = std::make_unique<WindowDriver>(*main_, forms::MainForm());
    LetEventsRun(50);
  }
  void TearDown() override {
    driver_.reset();
    settings::CloseSettingsWindow();
    if (ui::WindowNamed(forms::kMainWindow)) main_->Destroy();
    LetEventsRun(20);
  }
  ui::Window* main_ = nullptr;
  std::unique_ptr<WindowDriver> driver_;
};

TEST_F(WindowsTest, EveryControlWhereItsLayoutPutsIt) {
  settings::OpenSettingsWindow();
  ui::Window* settingsWindow = ui::WindowNamed(forms::kSettingsWindow);
  ASSERT_NE(settingsWindow, nullptr);
  WindowDriver settingsDriver(*settingsWindow, forms::SettingsForm());
  const std::pair<const ui::FormSpec*, WindowDriver*> windows[] = {
      {&forms::MainForm(), driver_.get()}, {&forms::SettingsForm(), &settingsDriver}};
  for (const auto& [form, driver] : windows) {
    EXPECT_TRUE(driver->Shown());
    for (const ui::ControlSpec& c : form->controls) {
      SCOPED_TRACE(form->name + " " + c.name);
      const bool onScreen = c.kind != ui::Kind::Timer && c.kind != ui::Kind::CommonDialog;
      ASSERT_EQ(driver->Exists(c.name), onScreen);
      if (!onScreen) continue;
      EXPECT_EQ(driver->Place(c.name), (Rect{c.left, c.top, c.width, c.height}));
      EXPECT_EQ(driver->Container(c.name), c.container);
    }
  }
}

TEST_F(WindowsTest, KeyboardFollowsTheLayoutAndClicksLeaveTheFocusAlone) {
  const Text notes[] = {"编辑框3", "编辑框6", "编辑框4"};
  EXPECT_EQ(driver_->Focused(), notes[0]);  // the first tab stop, as the window shows
  const std::vector<Text> forward = TabWalk(*driver_, Key::Tab, 3);
  const std::vector<Text> backward = TabWalk(*driver_, Key::ShiftTab, 3);
  Report("main, Tab", forward);
  Report("main, Shift+Tab", backward);
  EXPECT_EQ(forward, (std::vector<Text>{notes[1], notes[2], notes[0]}));
  EXPECT_EQ(backward, (std::vector<Text>{notes[2], notes[1], notes[0]}));

  // Typing after Tab replaces the note.
  driver_->Press(Key::Tab);
  driver_->Type("abc");
  EXPECT_EQ(main_->ControlText(notes[1]), "abc");

  // Nothing but edit boxes and buttons takes the focus by a click, and the
  // gear still answers one.
  int gearClicks = 0;
  main_->OnClick("图形按钮1", [&gearClicks] { ++gearClicks; });
  for (const char* control : {"图形按钮1", "标签3", "图片框1", "分组框1"}) {
    driver_->Click(control);
    EXPECT_EQ(driver_->Focused(), notes[1]) << control;
  }
  EXPECT_EQ(gearClicks, 1);
  driver_->Press(Key::Space);  // reaches the note, never the gear again
  EXPECT_EQ(gearClicks, 1);
  EXPECT_EQ(main_->ControlText(notes[1]), "abc ");

  // The focus comes back after another window had it, and after a box.
  driver_->Click(notes[2]);
  EXPECT_EQ(driver_->Focused(), notes[2]);
  driver_->Deactivate();
  EXPECT_NE(driver_->Focused(), notes[2]);
  driver_->Activate();
  EXPECT_EQ(driver_->Focused(), notes[2]);
  testing::AnswerNextMessageBox();
  ui::ShowMessage("box", ui::kPlainBox);
  LetEventsRun(50);
  EXPECT_EQ(driver_->Focused(), notes[2]);
}

TEST_F(WindowsTest, SettingsTabStopsInLayoutOrderFromTheTitleBox) {
  main_->OnClick("图形按钮1", settings::OpenSettingsWindow);
  driver_->Click("图形按钮1");
  ui::Window* settingsWindow = ui::WindowNamed(forms::kSettingsWindow);
  ASSERT_NE(settingsWindow, nullptr);
  WindowDriver settingsDriver(*settingsWindow, forms::SettingsForm());
  LetEventsRun(50);
  EXPECT_EQ(settingsDriver.Focused(), "编辑框1");
  const std::vector<Text> forward = TabWalk(settingsDriver, Key::Tab, 13);
  Report("settings, Tab", forward);
  EXPECT_EQ(forward, (std::vector<Text>{"按钮1", "颜色选择器1", "颜色选择器2", "颜色选择器3",
                                        "颜色选择器4", "按钮2", "颜色选择器5", "颜色选择器6",
                                        "颜色选择器7", "颜色选择器8", "按钮3", "按钮4",
                                        "编辑框1"}));
  const std::vector<Text> backward = TabWalk(settingsDriver, Key::ShiftTab, 2);
  Report("settings, Shift+Tab", backward);
  EXPECT_EQ(backward, (std::vector<Text>{"按钮4", "按钮3"}));
}

TEST_F(WindowsTest, TextsRoundTripByteForByte) {
  const Text title = "新标题 [*] 含空格 ";
  main_->SetTitle(title);
  EXPECT_EQ(main_->Title(), title);
  EXPECT_EQ(driver_->ShownText("编辑框3"), "在这里输入");
  // Bytes that are no character of code page 936 come back unchanged while
  // the user has not touched the box; what the user types is read from it.
  const Text odd = "a\x81\x20z\xFF";
  main_->SetControlText("编辑框3", odd);
  EXPECT_EQ(main_->ControlText("编辑框3"), odd);
  driver_->Click("编辑框3");
  driver_->Type("你好");
  EXPECT_EQ(main_->ControlText("编辑框3"), driver_->ShownText("编辑框3"));
  EXPECT_NE(main_->ControlText("编辑框3").find("你好"), Text::npos);
  // Captions are plain text: markup shows as written.
  main_->SetControlText("标签3", "<b>x</b>");
  EXPECT_EQ(driver_->ShownText("标签3"), "<b>x</b>");
  main_->SetControlText("分组框1", "新框");
  EXPECT_EQ(driver_->ShownText("分组框1"), "新框");
  EXPECT_EQ(main_->ControlText("编辑框5"), "1.2");
  EXPECT_EQ(main_->ControlText("不存在"), "");
}

TEST(WindowLife, CreatedBeforeShownAndDestroyedFromItsOwnEvent) {
  bool shownInCreated = true;
  bool labelMadeInCreated = true;
  bool windowMadeInCreated = true;
  Text readInCreated;
  ui::Window* main = ui::CreateStartupWindow(forms::MainForm(), [&](ui::Window& w) {
    w.OnCreated([&] {
      WindowDriver driver(w, forms::MainForm());
      shownInCreated = driver.Shown();
      labelMadeInCreated = driver.Exists("标签3");
#ifdef _WIN32
      windowMadeInCreated = zoq::testing::NativeWindow(w) != nullptr;
#endif
      // What the start-up check does before its box: texts in, read back.
      w.SetControlText("标签3", "早写");
      w.SetControlText("编辑框1", "隐藏的页");
      readInCreated = w.ControlText("标签3") + w.ControlText("编辑框1");
    });
  });
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(shownInCreated);
  EXPECT_EQ(readInCreated, "早写隐藏的页");
  WindowDriver driver(*main, forms::MainForm());
  EXPECT_TRUE(driver.Shown());
#ifdef _WIN32
  // Nothing is made before the first show, the window itself included: the
  // start-up box waits for none of it.
  EXPECT_FALSE(labelMadeInCreated);
  EXPECT_FALSE(windowMadeInCreated);
#endif
  EXPECT_EQ(driver.ShownText("标签3"), "早写");
  EXPECT_EQ(driver.ShownText("编辑框1"), "");  // a hidden box keeps its text to itself
  EXPECT_EQ(main->ControlText("编辑框1"), "隐藏的页");

  // Destroyed from its own click handler: the button still exists while
  // the handler runs, and the window is gone after it.
  int clicks = 0;
  ui::Window* settingsWindow = ui::LoadWindow(
      forms::SettingsForm(),
      [&clicks](ui::Window& w) {
        w.OnClick("按钮1", [&clicks, &w] {
          ++clicks;
          w.Destroy();
        });
      },
      nullptr, false);
  ASSERT_NE(settingsWindow, nullptr);
  WindowDriver(*settingsWindow, forms::SettingsForm()).Click("按钮1");
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
  LetEventsRun(20);
  EXPECT_EQ(ui::WindowNamed(forms::kMainWindow), main);
  main->Destroy();
  LetEventsRun(20);
  EXPECT_EQ(ui::WindowNamed(forms::kMainWindow), nullptr);
}

#ifdef _WIN32
// The process's GDI and USER objects. Wine answers GetGuiResources with 0:
// there the GDI objects are counted in the handle table the process
// environment block points at, and the USER objects stand for the windows
// of this thread, hidden ones included.
BOOL CALLBACK CountWindow(HWND hwnd, LPARAM count) {
  ++*reinterpret_cast<DWORD*>(count);
  EnumChildWindows(hwnd, CountWindow, count);
  return TRUE;
}

DWORD GdiObjects() {
  if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return n;
  struct Entry {  // GDI_HANDLE_ENTRY, 24 bytes on 64-bit Windows
    ULONG64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONG64 user;
  };
  static_assert(sizeof(Entry) == 24);
  const auto* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const auto* table = *reinterpret_cast<const Entry* const*>(peb + 0xF8);
  if (!table) return 0;
  DWORD n = 0;
  for (int i = 0; i < 0x10000; ++i) n += table[i].type != 0 ? 1 : 0;
  return n;
}

DWORD UserObjects() {
  if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return n;
  DWORD n = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
  return n;
}

// Opening the settings window, applying a title and closing it again frees
// every window, brush, bitmap and font it made.
TEST_F(WindowsTest, SettingsCyclesLeaveNoWindowsObjectBehind) {
  main_->OnClick("图形按钮1", settings::OpenSettingsWindow);
  auto cycle = [this] {
    driver_->Click("图形按钮1");
    ui::Window* settingsWindow = ui::WindowNamed(forms::kSettingsWindow);
    ASSERT_NE(settingsWindow, nullptr);
    WindowDriver settingsDriver(*settingsWindow, forms::SettingsForm());
    settingsDriver.Press(Key::Tab);  // and back: the title box's text selected
    settingsDriver.Press(Key::ShiftTab);
    settingsDriver.Type("标题");
    testing::AnswerNextMessageBox();
    settingsDriver.Click("按钮1");  // confirms in a box and closes the window
    LetEventsRun(20);
    ASSERT_EQ(ui::WindowNamed(forms::kSettingsWindow), nullptr);
  };
  cycle();  // the first makes what stays for the program's life (fonts, brushes)
  const DWORD gdiBefore = GdiObjects();
  const DWORD userBefore = UserObjects();
  ASSERT_GT(gdiBefore, 0u);
  ASSERT_GT(userBefore, 0u);
  for (int i = 0; i < 20; ++i) cycle();
  const DWORD gdiAfter = GdiObjects();
  const DWORD userAfter = UserObjects();
  std::printf("GDI objects %lu -> %lu, USER objects %lu -> %lu over 20 cycles\n", gdiBefore,
              gdiAfter, userBefore, userAfter);
  EXPECT_EQ(main_->Title(), "标题");
  EXPECT_EQ(gdiAfter, gdiBefore);
  EXPECT_EQ(userAfter, userBefore);
}
#endif

}  // namespace
}  // namespace zoq::app
