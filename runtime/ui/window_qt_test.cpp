// Windows built from layouts: geometry, stacking, kinds, fonts, colours,
// texts, pictures, events and the life of windows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QColorDialog>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWidgetAction>
#include <QWindow>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "controls_qt.h"
#include "qt.h"
#include "runtime/ui_testing.h"
#include "support/qt_testing.h"

// Controls name only the fields that differ from the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace zoq::ui {
namespace {

using testing::Gbk;
using zoq::testing::RunUntil;

constexpr Colour kMagenta = 0x00FF00FF;
constexpr Colour kCyan = 0x00FFFF00;
constexpr Colour kRed = 0x000000FF;

Bytes Encoded(const QImage& image, const char* format) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return Bytes(data.begin(), data.end());
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// The PNG with its header rewritten to claim another size (CRC kept valid).
Bytes PngClaiming(Bytes png, std::uint32_t width, std::uint32_t height) {
  auto put = [&png](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  };
  put(16, width);  // IHDR data starts at 16, after signature, length and type
  put(20, height);
  put(29, Crc32(png.data() + 12, 17));  // over the type and the 13 data bytes
  return png;
}

// A window with one control of every kind, some inside a bold group box.
FormSpec SampleForm() {
  FormSpec form;
  form.name = "sample";
  form.title = Gbk(u"样本窗口");
  form.left = 50;
  form.top = 60;
  form.width = 400;
  form.height = 300;
  auto add = [&form](ControlSpec c) { form.controls.push_back(std::move(c)); };
  ControlSpec frame{.name = Gbk(u"分组框1"), .kind = Kind::GroupBox};
  frame.left = 0, frame.top = 0, frame.width = 420, frame.height = 280;
  frame.text = Gbk(u"框");
  frame.font = {Gbk(u"Fixedsys"), 29, 700};
  frame.textColour = kMagenta;
  frame.backColour = kCyan;
  add(frame);
  ControlSpec picture{.name = Gbk(u"图片框1"), .kind = Kind::PictureBox,
                      .container = Gbk(u"分组框1")};
  picture.left = -8, picture.width = 320, picture.height = 288;
  picture.backColour = kCyan;
  add(picture);
  ControlSpec note{.name = Gbk(u"编辑框3"), .kind = Kind::EditBox, .container = Gbk(u"分组框1")};
  note.left = 300, note.top = 0, note.width = 100, note.height = 40;
  note.text = Gbk(u"在这里输入");
  note.font = {Gbk(u"楷体_GB2312"), 32, 700};
  note.textColour = kMagenta;
  note.backColour = kCyan;
  add(note);
  ControlSpec label{.name = Gbk(u"标签3"), .kind = Kind::Label, .container = Gbk(u"分组框1")};
  label.left = 200, label.top = 240, label.width = 150, label.height = 30;
  label.text = "           ";
  add(label);
  // A label carries no controls: the button lies on the window.
  ControlSpec button{.name = Gbk(u"按钮1"), .kind = Kind::Button, .container = Gbk(u"标签3")};
  button.left = 10, button.top = 250, button.width = 80, button.height = 30;
  button.text = Gbk(u"修改");
  add(button);
  ControlSpec gear{.name = Gbk(u"图形按钮1"), .kind = Kind::GraphicButton,
                   .container = Gbk(u"分组框1")};
  gear.left = 360, gear.top = 240, gear.width = 72, gear.height = 48;
  add(gear);
  ControlSpec picker{.name = Gbk(u"颜色选择器1"), .kind = Kind::ColourPicker};
  picker.left = 100, picker.top = 250, picker.width = 80, picker.height = 24;
  add(picker);
  add({.name = Gbk(u"时钟1"), .kind = Kind::Timer});
  add({.name = Gbk(u"通用对话框1"), .kind = Kind::CommonDialog, .text = Gbk(u"桌面")});
  ControlSpec store{.name = Gbk(u"编辑框1"), .kind = Kind::EditBox, .container = Gbk(u"分组框1")};
  store.visible = false;
  store.multiLine = true;
  store.readOnly = true;
  add(store);
  ControlSpec version{.name = Gbk(u"编辑框5"), .kind = Kind::EditBox};
  version.text = "1.2";
  version.visible = false;
  add(version);
  return form;
}

// Each test gets its own window and leaves no window behind.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = LoadWindow(SampleForm(), {}, nullptr, false);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (WindowNamed("sample")) window_->Destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QWidget* W(const char16_t* name) { return testing::Widget(*window_, Gbk(name)); }
  Window* window_ = nullptr;
};

TEST_F(WindowTest, GeometryIsTheLayoutsInPixels) {
  QWidget* top = testing::TopLevel(*window_);
  EXPECT_TRUE(top->isVisible());
  EXPECT_EQ(top->windowTitle(), QStringLiteral("样本窗口"));
  // The outer rectangle is the layout's; the client area gives up what the
  // platform's frame takes.
  EXPECT_EQ(top->frameGeometry(), QRect(50, 60, 400, 300));
  const QMargins frame = top->windowHandle()->frameMargins();
  EXPECT_EQ(top->size(), QSize(400 - frame.left() - frame.right(),
                               300 - frame.top() - frame.bottom()));
  EXPECT_EQ(W(u"分组框1")->parentWidget(), top);
  EXPECT_EQ(W(u"分组框1")->geometry(), QRect(0, 0, 420, 280));
  // Positions inside a group box are relative to the box.
  EXPECT_EQ(W(u"图片框1")->parentWidget(), W(u"分组框1"));
  EXPECT_EQ(W(u"图片框1")->geometry(), QRect(-8, 0, 320, 288));
  EXPECT_EQ(W(u"编辑框3")->geometry(), QRect(300, 0, 100, 40));
  EXPECT_EQ(W(u"按钮1")->parentWidget(), top);
}

TEST_F(WindowTest, LaterControlsLieAbove) {
  QWidget* frame = W(u"分组框1");
  // The note box overlaps the picture box and comes later.
  EXPECT_EQ(frame->childAt(305, 10), W(u"编辑框3"));
  // The graphic button comes after the label it overlaps.
  EXPECT_EQ(frame->childAt(365, 245), W(u"图形按钮1"));
  // Window-level controls listed after the frame lie above it.
  EXPECT_EQ(testing::TopLevel(*window_)->childAt(15, 255), W(u"按钮1"));
}

TEST_F(WindowTest, EveryKindIsARealWidgetWithAName) {
  EXPECT_NE(qobject_cast<QGroupBox*>(W(u"分组框1")), nullptr);
  EXPECT_NE(dynamic_cast<PictureBox*>(W(u"图片框1")), nullptr);
  EXPECT_NE(qobject_cast<QLineEdit*>(W(u"编辑框3")), nullptr);
  EXPECT_NE(qobject_cast<QPlainTextEdit*>(W(u"编辑框1")), nullptr);
  EXPECT_NE(qobject_cast<QLabel*>(W(u"标签3")), nullptr);
  EXPECT_NE(qobject_cast<QPushButton*>(W(u"按钮1")), nullptr);
  EXPECT_NE(qobject_cast<QToolButton*>(W(u"图形按钮1")), nullptr);
  EXPECT_NE(dynamic_cast<ColourPicker*>(W(u"颜色选择器1")), nullptr);
  EXPECT_EQ(W(u"时钟1"), nullptr);
  EXPECT_EQ(W(u"通用对话框1"), nullptr);
  EXPECT_EQ(W(u"不存在"), nullptr);
  // Controls without a text of their own are named for screen readers.
  EXPECT_EQ(W(u"图形按钮1")->accessibleName(), QStringLiteral("图形按钮1"));
  EXPECT_EQ(W(u"颜色选择器1")->accessibleName(), QStringLiteral("颜色选择器1"));
  EXPECT_EQ(W(u"编辑框3")->accessibleName(), QStringLiteral("编辑框3"));
  EXPECT_FALSE(W(u"编辑框1")->isVisibleTo(testing::TopLevel(*window_)));
  EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(W(u"编辑框1"))->isReadOnly());
}

TEST_F(WindowTest, ControlsWithoutAFontUseTheDefaultNotTheContainers) {
  const QFont frame = W(u"分组框1")->font();
  EXPECT_EQ(frame.pixelSize(), 29);
  EXPECT_EQ(frame.weight(), QFont::Bold);
  const QFont label = W(u"标签3")->font();  // inside the bold frame
  EXPECT_EQ(label, DefaultFont());
  EXPECT_EQ(label.weight(), QFont::Normal);
  EXPECT_EQ(label.pixelSize(), 12);
  const QFont note = W(u"编辑框3")->font();
  EXPECT_EQ(note.pixelSize(), 32);
  EXPECT_EQ(note.weight(), QFont::Bold);
}

TEST_F(WindowTest, ColoursShowAndDefaultsStayOwn) {
  const QPalette frame = W(u"分组框1")->palette();
  EXPECT_EQ(frame.color(QPalette::Window), QColor(0, 255, 255));
  EXPECT_EQ(frame.color(QPalette::WindowText), QColor(255, 0, 255));
  EXPECT_TRUE(W(u"分组框1")->autoFillBackground());
  const QPalette note = W(u"编辑框3")->palette();
  EXPECT_EQ(note.color(QPalette::Text), QColor(255, 0, 255));
  EXPECT_EQ(note.color(QPalette::Base), QColor(0, 255, 255));
  // A label with default colours inside the magenta-on-cyan frame takes
  // neither: its text has the style's colour and its background shows through.
  QWidget* label = W(u"标签3");
  EXPECT_EQ(label->palette().color(QPalette::WindowText),
            QApplication::palette(label).color(QPalette::WindowText));
  EXPECT_FALSE(label->autoFillBackground());

  window_->SetBackColour(Gbk(u"标签3"), kRed);
  EXPECT_EQ(window_->BackColour(Gbk(u"标签3")), kRed);
  EXPECT_EQ(label->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_TRUE(label->autoFillBackground());
  window_->SetTextColour(Gbk(u"编辑框3"), 0x00123456);
  EXPECT_EQ(W(u"编辑框3")->palette().color(QPalette::Text), QColor(0x56, 0x34, 0x12));
  EXPECT_EQ(window_->TextColour(Gbk(u"编辑框3")), 0x00123456u);
  // The grabbed pixels agree: the label now paints red.
  const QImage shot = testing::TopLevel(*window_)->grab().toImage();
  EXPECT_EQ(shot.pixelColor(200 + 140, 240 + 25), QColor(255, 0, 0));
  EXPECT_EQ(shot.pixelColor(390, 200), QColor(0, 255, 255));
}

// The byte-for-byte round trip of texts runs on both backends
// (app/windows_test.cpp); here what Qt alone could get wrong.
TEST_F(WindowTest, TitlesAndCaptionsShowAsWritten) {
  window_->SetTitle(Gbk(u"新标题 [*] 含空格 "));
  ASSERT_NE(testing::TopLevel(*window_)->windowHandle(), nullptr);
  EXPECT_EQ(testing::TopLevel(*window_)->windowHandle()->title(),
            QStringLiteral("新标题 [*] 含空格 "));
  window_->SetControlText(Gbk(u"标签3"), "<b>x</b>");
  EXPECT_EQ(qobject_cast<QLabel*>(W(u"标签3"))->textFormat(), Qt::PlainText);
}

TEST_F(WindowTest, HiddenEditBoxKeepsAHugeTextWithoutLayingItOut) {
  Text page;
  page.reserve(20u << 20);
  while (page.size() < (20u << 20)) page += Gbk(u"<h2 class=\"title\">1.2</h2> 网页正文\n");
  window_->SetControlText(Gbk(u"编辑框1"), page);
  EXPECT_EQ(window_->ControlText(Gbk(u"编辑框1")), page);
  // The widget was never handed the text.
  EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(W(u"编辑框1"))->document()->isEmpty());
  // A single-line box keeps all of a text longer than a line edit holds.
  const Text longLine(100000, 'x');
  window_->SetControlText(Gbk(u"编辑框3"), longLine);
  EXPECT_EQ(window_->ControlText(Gbk(u"编辑框3")), longLine);
}

TEST_F(WindowTest, PictureBoxShowsWhatDecodesAndNothingElse) {
  auto* box = dynamic_cast<PictureBox*>(W(u"图片框1"));
  QImage photo(312, 313, QImage::Format_RGB32);
  photo.fill(Qt::darkGreen);
  window_->SetPicture(Gbk(u"图片框1"), Encoded(photo, "JPEG"));
  ASSERT_FALSE(box->Decoded().isNull());
  // Scaled down to fit the 320x288 box, proportions kept.
  EXPECT_EQ(box->pixmap().deviceIndependentSize().toSize(), QSize(287, 288));
  // Only the display-size copy is kept: a resize makes it again from the bytes.
  box->resize(160, 144);
  EXPECT_EQ(box->pixmap().deviceIndependentSize().toSize(), QSize(144, 144));
  box->resize(320, 288);

  QImage small(40, 30, QImage::Format_ARGB32);
  small.fill(Qt::red);
  window_->SetPicture(Gbk(u"图片框1"), Encoded(small, "PNG"));
  EXPECT_EQ(box->pixmap().size(), QSize(40, 30));  // fits: its own size

  window_->SetPicture(Gbk(u"图片框1"), Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'g'});
  EXPECT_TRUE(box->Decoded().isNull());
  EXPECT_TRUE(box->pixmap().isNull());
  window_->SetPicture(Gbk(u"图片框1"), Encoded(small, "PNG"));
  window_->SetPicture(Gbk(u"图片框1"), {});
  EXPECT_TRUE(box->pixmap().isNull());

  // A small PNG declaring 30000x30000 pixels: refused, not allocated.
  window_->SetPicture(Gbk(u"图片框1"), Encoded(small, "PNG"));
  window_->SetPicture(Gbk(u"图片框1"), PngClaiming(Encoded(small, "PNG"), 30000, 30000));
  EXPECT_TRUE(box->Decoded().isNull());
}

TEST_F(WindowTest, ClicksAndTicksReachTheirHandlers) {
  int clicks = 0, graphic = 0, ticks = 0;
  window_->OnClick(Gbk(u"按钮1"), [&clicks] { ++clicks; });
  window_->OnClick(Gbk(u"图形按钮1"), [&graphic] { ++graphic; });
  window_->OnTick(Gbk(u"时钟1"), [&ticks] { ++ticks; });
  qobject_cast<QPushButton*>(W(u"按钮1"))->click();
  qobject_cast<QToolButton*>(W(u"图形按钮1"))->click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(graphic, 1);

  window_->SetTimerInterval(Gbk(u"时钟1"), 10);
  EXPECT_TRUE(RunUntil([&ticks] { return ticks >= 3; }));
  window_->SetTimerInterval(Gbk(u"时钟1"), 0);
  const int stopped = ticks;
  zoq::testing::RunFor(60);
  EXPECT_EQ(ticks, stopped);
}

TEST_F(WindowTest, ColourPickerStartsBlackAndTakesTheUsersChoice) {
  EXPECT_EQ(window_->PickerColour(Gbk(u"颜色选择器1")), 0u);
  window_->SetPickerColour(Gbk(u"颜色选择器1"), kCyan);
  EXPECT_EQ(window_->PickerColour(Gbk(u"颜色选择器1")), kCyan);

  // The menu's swatches are buttons named by their colour.
  auto* picker = dynamic_cast<ColourPicker*>(W(u"颜色选择器1"));
  QToolButton* red = nullptr;
  for (auto* button : picker->menu()->findChildren<QToolButton*>()) {
    if (button->accessibleName() == QStringLiteral("红色")) red = button;
  }
  ASSERT_NE(red, nullptr);
  red->click();
  EXPECT_EQ(window_->PickerColour(Gbk(u"颜色选择器1")), kRed);
  EXPECT_EQ(picker->accessibleDescription(), QStringLiteral("#ff0000"));
  EXPECT_EQ(picker->menu()->findChildren<QToolButton*>().size(), 16);  // the common colours

  // Any other colour comes from the colour dialog.
  QAction* other = nullptr;
  for (QAction* action : picker->menu()->actions()) {
    if (action->text() == QStringLiteral("其他颜色...")) other = action;
  }
  ASSERT_NE(other, nullptr);
  {
    zoq::testing::ModalAnswerer answer([](QWidget* modal) {
      auto* dialog = qobject_cast<QColorDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->currentColor(), QColor(255, 0, 0));  // starts at the current one
      dialog->setCurrentColor(QColor(1, 2, 3));
      dialog->accept();
    });
    answer.CloseWith(0);
    other->trigger();
    EXPECT_EQ(answer.Answered(), 1);
    EXPECT_EQ(window_->PickerColour(Gbk(u"颜色选择器1")), 0x00030201u);
  }

  // A cancelled dialog keeps the colour.
  zoq::testing::ModalAnswerer cancel;
  cancel.CloseWith(Qt::Key_Escape);
  other->trigger();
  EXPECT_EQ(cancel.Answered(), 1);
  EXPECT_EQ(window_->PickerColour(Gbk(u"颜色选择器1")), 0x00030201u);
}

TEST_F(WindowTest, OpenDialogStartsOnTheDesktopAndReportsTheChoice) {
  std::optional<Text> startedIn;
  SetOpenDialogChooser([&startedIn](const Text& folder) -> std::optional<Text> {
    startedIn = folder;
    return std::nullopt;
  });
  EXPECT_FALSE(window_->ShowOpenDialog(Gbk(u"通用对话框1")));
  ASSERT_TRUE(startedIn.has_value());
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  EXPECT_EQ(ToQString(*startedIn),
            QFileInfo(desktop).isDir() ? desktop : QDir::homePath());
  EXPECT_EQ(window_->DialogFileName(Gbk(u"通用对话框1")), "");

  SetOpenDialogChooser([](const Text&) -> std::optional<Text> { return Text("/tmp/a.jpg"); });
  EXPECT_TRUE(window_->ShowOpenDialog(Gbk(u"通用对话框1")));
  EXPECT_EQ(window_->DialogFileName(Gbk(u"通用对话框1")), "/tmp/a.jpg");
  SetOpenDialogChooser({});
  EXPECT_FALSE(window_->ShowOpenDialog(Gbk(u"按钮1")));  // not a dialog
}

TEST(Windows, ModalLoadReturnsWhenTheWindowCloses) {
  QTimer::singleShot(20, [] {
    if (Window* w = WindowNamed("sample")) testing::TopLevel(*w)->close();
  });
  EXPECT_EQ(LoadWindow(SampleForm(), {}, nullptr, true), nullptr);
  EXPECT_EQ(WindowNamed("sample"), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Ending the program from the created event: nothing is ever shown, the
// exit routine runs once, and the loop returns at once with 0.
TEST(Windows, EndingInTheCreatedEventNeverShowsTheWindow) {
  int exitRoutineRuns = 0;
  rt::RegisterExitRoutine([&exitRoutineRuns] { ++exitRoutineRuns; });
  int shows = 0;
  QWidget* top = nullptr;
  struct ShowCounter : QObject {
    int* shows;
    explicit ShowCounter(int* s) : shows(s) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Show || e->type() == QEvent::Expose) ++*shows;
      return false;
    }
  } counter(&shows);
  Window* window = CreateStartupWindow(SampleForm(), [&](Window& w) {
    top = testing::TopLevel(w);
    top->installEventFilter(&counter);
    w.OnCreated([] { rt::EndProgram(); });
  });
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(exitRoutineRuns, 1);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(WindowNamed("sample"), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(shows, 0);
  ShowMessage("ignored once the program ends", 0);  // returns without a box
  SetProgramEnding(false);
  rt::RegisterExitRoutine({});
}

TEST(Windows, ClosingTheStartupWindowEndsTheProgram) {
  Window* main = CreateStartupWindow(SampleForm(), {});
  ASSERT_NE(main, nullptr);
  FormSpec other = SampleForm();
  other.name = "other";
  ASSERT_NE(LoadWindow(other, {}, nullptr, false), nullptr);
  QTimer::singleShot(10, [main] { testing::TopLevel(*main)->close(); });
  EXPECT_EQ(RunMessageLoop(), 0);  // returns: the program ended
  EXPECT_TRUE(ProgramEnding());
  EXPECT_EQ(WindowNamed("other"), nullptr);  // the other window went too
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  SetProgramEnding(false);
}

}  // namespace
}  // namespace zoq::ui
