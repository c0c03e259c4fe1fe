// The program's two window layouts as tables of controls: name, kind,
// container, geometry, text, font, colours.
//
// Order matters: the runtime creates controls in list order, so a later
// sibling lies above an earlier one.
#include "forms/forms.h"

#include <utility>

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

// The colours both layouts use.
constexpr Colour kMagenta = 0x00FF00FF;
constexpr Colour kCyan = 0x00FFFF00;
constexpr Colour kRed = 0x000000FF;
constexpr Colour kBlack = 0x00000000;
constexpr Colour kWhite = 0x00FFFFFF;

// --- The main window ---
// A cyan group box (分组框1) over the whole client area with the photograph,
// three note boxes, the clock line and the gear button, plus the timer and
// three hidden edit boxes the start-up check keeps its texts in.
//
// 编辑框6 and 编辑框4 belong to the window itself and come after 分组框1 to
// stay above it.

const Font kGroupCaption{"Fixedsys", 29, 700};
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
               .font = kGroupCaption, .textColour = kMagenta, .backColour = kCyan});
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

// --- The settings window ---
// A black sheet (分组框1) a little larger than the window, holding the
// title, colour, picture and contact sections.
//
// 颜色选择器5, 颜色选择器6 and 标签11 are children of the window itself;
// coming after 分组框1 keeps them above the sheet and everything on it.

const Font kSong12{"新宋体", 12, 400};
const Font kKai21Bold{"楷体_GB2312", 21, 700};
const Font kKai19Bold{"楷体_GB2312", 19, 700};
const Font kKai16Bold{"楷体_GB2312", 16, 700};
const Font kKai20Bold{"楷体_GB2312", 20, 700};

// The colour section's captions: bold Kai, magenta on black.
ControlSpec ColourLabel(const char* name, const char* container, int left, int top,
                        const char* text) {
  return {.name = name, .kind = Kind::Label, .container = container,
          .left = left, .top = top, .width = 160, .height = 32, .text = text,
          .font = kKai16Bold, .textColour = kMagenta, .backColour = kBlack};
}

// The pickers store no colour: each starts at the picker's own default.
// Screen readers call a picker by the caption of the label beside it.
ControlSpec Picker(const char* name, const char* container, int left, int top,
                   const char* caption) {
  return {.name = name, .kind = Kind::ColourPicker, .container = container,
          .left = left, .top = top, .width = 80, .height = 24, .accessibleName = caption};
}

ControlSpec Button(const char* name, const char* container, int left, int top, int width,
                   int height, const char* text, Font font = {}) {
  return {.name = name, .kind = Kind::Button, .container = container,
          .left = left, .top = top, .width = width, .height = height, .text = text,
          .font = std::move(font)};
}

FormSpec BuildSettingsForm() {
  FormSpec form{.name = kSettingsWindow, .title = "个人设置",
                .left = 50, .top = 50, .width = 562, .height = 679,
                .backColour = kWhite, .controls = {}};
  auto& c = form.controls;

  // The sheet and its three sections.
  c.push_back({.name = "分组框1", .kind = Kind::GroupBox, .container = "",
               .left = -8, .top = 0, .width = 584, .height = 688,
               .textColour = kBlack, .backColour = kBlack});
  c.push_back({.name = "分组框3", .kind = Kind::GroupBox, .container = "分组框1",
               .left = 16, .top = 128, .width = 536, .height = 208,
               .text = "文本颜色修改", .font = kSong12,
               .textColour = kMagenta, .backColour = kBlack});
  c.push_back({.name = "分组框4", .kind = Kind::GroupBox, .container = "分组框1",
               .left = 16, .top = 344, .width = 536, .height = 136,
               .text = "图片更换", .textColour = kMagenta, .backColour = kBlack});
  c.push_back({.name = "分组框2", .kind = Kind::GroupBox, .container = "分组框1",
               .left = 16, .top = 488, .width = 536, .height = 152,
               .text = "点击联系我", .textColour = kMagenta, .backColour = kBlack});

  // Title.
  c.push_back({.name = "标签1", .kind = Kind::Label, .container = "分组框1",
               .left = 8, .top = 0, .width = 248, .height = 32,
               .text = "启动标题名字修改", .font = kKai21Bold, .textColour = kMagenta});
  c.push_back({.name = "编辑框1", .kind = Kind::EditBox, .container = "分组框1",
               .left = 8, .top = 32, .width = 256, .height = 32,
               .text = "Ｚｏｑ个人播放器", .textColour = kBlack, .backColour = kWhite,
               .border = true, .accessibleName = "启动标题名字修改"});
  c.push_back({.name = "标签3", .kind = Kind::Label, .container = "分组框1",
               .left = 256, .top = 0, .width = 376, .height = 32,
               .text = "（窗口名）", .font = kKai19Bold, .textColour = kRed,
               .border = true});
  c.push_back({.name = "标签4", .kind = Kind::Label, .container = "分组框1",
               .left = 256, .top = 32, .width = 360, .height = 32,
               .text = "（可以输入）", .font = kKai19Bold, .textColour = kRed,
               .border = true});
  c.push_back(Button("按钮1", "分组框1", 168, 80, 176, 48, "修改"));

  // Colours: the left column applies text colours and 分组框1's background
  // (按钮2), the right column the backgrounds (按钮3).
  c.push_back(ColourLabel("标签7", "分组框3", 16, 24, "1字体颜色改变"));
  c.push_back(Picker("颜色选择器1", "分组框3", 160, 24, "1字体颜色改变"));
  c.push_back(ColourLabel("标签9", "分组框3", 16, 56, "2字体颜色改变"));
  c.push_back(Picker("颜色选择器2", "分组框3", 160, 56, "2字体颜色改变"));
  c.push_back(ColourLabel("标签8", "分组框3", 16, 88, "3字体颜色改变"));
  c.push_back(Picker("颜色选择器3", "分组框3", 160, 93, "3字体颜色改变"));
  c.push_back(ColourLabel("标签2", "分组框3", 16, 120, "4背景颜色改变"));
  c.push_back(Picker("颜色选择器4", "分组框3", 160, 128, "4背景颜色改变"));
  c.push_back(Button("按钮2", "分组框3", 32, 168, 120, 32, "修改"));
  c.push_back(ColourLabel("标签5", "分组框3", 256, 16, "1字体背景颜色改变"));
  c.push_back(Picker("颜色选择器5", "", 432, 144, "1字体背景颜色改变"));
  c.push_back(ColourLabel("标签11", "", 264, 176, "2字体背景颜色改变"));
  c.push_back(Picker("颜色选择器6", "", 432, 176, "2字体背景颜色改变"));
  c.push_back(ColourLabel("标签6", "分组框3", 256, 80, "3字体背景颜色改变"));
  c.push_back(Picker("颜色选择器7", "分组框3", 424, 80, "3字体背景颜色改变"));
  c.push_back(ColourLabel("标签12", "分组框3", 256, 112, "4时间背景颜色改变"));
  c.push_back(Picker("颜色选择器8", "分组框3", 424, 120, "4时间背景颜色改变"));
  c.push_back({.name = "标签13", .kind = Kind::Label, .container = "分组框3",
               .left = 184, .top = 160, .width = 184, .height = 40,
               .text = "谨记：修改一个所有都要修改", .textColour = kRed,
               .backColour = kBlack});
  c.push_back(Button("按钮3", "分组框3", 408, 168, 120, 32, "修改"));

  // Picture. The dialog has no presence on screen; its one preset text is
  // the folder it opens in.
  c.push_back(Button("按钮4", "分组框4", 160, 40, 224, 40, "点击本按钮更换图片", kKai20Bold));
  c.push_back({.name = "通用对话框1", .kind = Kind::CommonDialog, .container = "分组框4",
               .left = 192, .top = 80, .width = 176, .height = 40, .text = "桌面"});

  // Contact.
  c.push_back({.name = "图形按钮1", .kind = Kind::GraphicButton, .container = "分组框2",
               .left = 112, .top = 8, .width = 232, .height = 104,
               .picture = "contact.jpg", .accessibleName = "点击联系我"});
  c.push_back({.name = "标签10", .kind = Kind::Label, .container = "分组框2",
               .left = 352, .top = 96, .width = 176, .height = 40,
               .text = "看不明白联系我", .textColour = kMagenta, .backColour = kBlack});
  return form;
}

}  // namespace

const ui::FormSpec& MainForm() {
  static const FormSpec form = BuildMainForm();
  return form;
}

const ui::FormSpec& SettingsForm() {
  static const FormSpec form = BuildSettingsForm();
  return form;
}

}  // namespace zoq::forms
