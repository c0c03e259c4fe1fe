// How controls look where the layouts leave it open: decisions every
// backend shares, so that each only turns them into its toolkit's calls.
#pragma once

#include "runtime/ui.h"

namespace zoq::ui {

// False for kDefaultColour and every other value with a high byte.
bool IsSet(Colour colour);

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

// A picture's size scaled down to fit `box`, keeping its proportions
// (rounded to the nearest pixel, at least 1); one that fits keeps its own
// size. 0x0 when either is empty.
Size FittedSize(Size picture, Size box);

// A graphic button shows its picture this far in from its top-left corner,
// fitted into what the inset leaves on every side: a button hanging over
// its container's edge still shows its picture whole.
inline constexpr int kGraphicButtonInset = 2;
Size GraphicButtonRoom(Size button);

// What screen readers call a control that shows no text of its own.
const Text& AccessibleName(const ControlSpec& control);

// Only a group box carries controls: one that names any other control (or
// itself, or none) as its container lies on the window.
bool Carries(const ControlSpec& container, const ControlSpec& control);

// A bordered label's single line takes the label's text colour, so it shows
// wherever the text does: a black line would vanish on a black background
// (the settings window's sheet). Black for the default text colour.
Colour LabelBorderColour(Colour textColour);

// The colour picker's menu offers these sixteen, in this order (eight a
// row), each under the name screen readers say for it.
struct NamedColour {
  Colour colour;
  const char16_t* name;
};
inline constexpr NamedColour kCommonColours[] = {
    {0x000000, u"黑色"},   {0x808080, u"灰色"},   {0x000080, u"栗色"},   {0x008080, u"橄榄色"},
    {0x008000, u"绿色"},   {0x808000, u"蓝绿色"}, {0x800000, u"藏青色"}, {0x800080, u"紫色"},
    {0xFFFFFF, u"白色"},   {0xC0C0C0, u"银色"},   {0x0000FF, u"红色"},   {0x00FFFF, u"黄色"},
    {0x00FF00, u"亮绿色"}, {0xFFFF00, u"青色"},   {0xFF0000, u"蓝色"},   {0xFF00FF, u"品红色"},
};

}  // namespace zoq::ui
