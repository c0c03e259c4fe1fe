// The main window's layout: a cyan frame (分组框1) over the whole client
// area with the photograph, three note boxes, the clock line and the gear
// button, plus the timer and three hidden edit boxes the start-up check
// keeps its texts in.
//
// Order matters: the runtime creates controls in this order, so a later
// sibling lies above an earlier one; 编辑框6 and 编辑框4 belong to the window
// itself and come after 分组框1 to stay above it.
#include "forms/forms.h"
#include "forms/palette.h"

// Each control names only the fields that differ from ControlSpec's
// defaults; gcc 12 would flag every field left out.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace zoq::forms {
namespace {

using ui::Colour;
using ui::ControlSpec;
using ui::Font;
using ui::FormSpec;
using ui::Kind;
using namespace palette;


const Font kFrameCaption{"Fixedsys", 29, 700};
const Font kNoteFont{"楷体_GB2312", 32, 700};
const Font kClockFont{"楷体_GB2312", 16, 700};

// A note box: single line, no border, magenta on cyan.
ControlSpec NoteBox(const char* name, const char* container, int top, const char* spoken) {
  return {.name = name, .kind = Kind::EditBox, .container = container,
          .left = 312, .top = top, .width = 432, .height = 72, .text = "在这里输入",
          .font = kNoteFont, .textColour = kMagenta, .backColour = kCyan,
          .accessibleName = spoken};
}

// A hidden edit box of the start-up check: default font, black on white.
ControlSpec Store(const char* name, int left, int top, int width, int height,
                  const char* text, bool multiLine) {
  return {.name = name, .kind = Kind::EditBox, .container = "分组框1",
          .left = left, .top = top, .width = width, .height = height, .text = text,
          .textColour = kBlack, .backColour = kWhite, .visible = false,
          .multiLine = multiLine, .readOnly = multiLine};
}

FormSpec BuildMainForm() {
  FormSpec form{.name = kMainWindow, .title = "Ｚｏｑ个人播放器",
                .left = 50, .top = 50, .width = 748, .height = 319,
                .icon = "zoq.ico", .controls = {}};
  auto& c = form.controls;

  c.push_back({.name = "分组框1", .kind = Kind::GroupBox, .container = "",
               .left = 0, .top = 0, .width = 816, .height = 296, .text = "求小三",
               .font = kFrameCaption, .textColour = kMagenta, .backColour = kCyan});
  c.push_back({.name = "图片框1", .kind = Kind::PictureBox, .container = "分组框1",
               .left = -8, .top = 0, .width = 320, .height = 288, .backColour = kCyan,
               .picture = "photo.jpg", .accessibleName = "照片"});
  c.push_back(NoteBox("编辑框3", "分组框1", 0, "便笺1"));
  c.push_back(NoteBox("编辑框6", "", 72, "便笺2"));
  c.push_back(NoteBox("编辑框4", "", 144, "便笺3"));
  c.push_back({.name = "标签3", .kind = Kind::Label, .container = "分组框1",
               .left = 352, .top = 240, .width = 376, .height = 40, .text = "           ",
               .font = kClockFont, .textColour = kBlack, .backColour = kCyan});
  c.push_back({.name = "图形按钮1", .kind = Kind::GraphicButton, .container = "分组框1",
               .left = 712, .top = 256, .width = 72, .height = 48, .backColour = kCyan,
               .picture = "gear.png", .accessibleName = "个人设置"});

  // Never shown.
  c.push_back({.name = "时钟1", .kind = Kind::Timer, .container = "分组框1",
               .left = 376, .top = 0, .width = 56, .height = 48});
  c.push_back(Store("编辑框5", 232, 0, 80, 16, "1.2", false));
  c.push_back(Store("编辑框2", 448, 0, 96, 16, "", false));
  c.push_back(Store("编辑框1", 8, 160, 8, 8, "", true));
  return form;
}

}  // namespace

const ui::FormSpec& MainForm() {
  static const FormSpec form = BuildMainForm();
  return form;
}

}  // namespace zoq::forms
