// The settings window's click handlers and the colours they apply. Each
// handler is given the settings window it was clicked in; its targets are
// controls of the main window.
#pragma once

#include "runtime/ui.h"

namespace zoq::settings {

// The last colours applied to the main window, 0 until the first click.
// Each is written and then read within one click of 按钮2 or 按钮3.
extern ui::Colour boxTextColour1;
extern ui::Colour boxTextColour2;
extern ui::Colour boxTextColour3;
extern ui::Colour frameBackColour;
extern ui::Colour boxBackColour1;
extern ui::Colour boxBackColour2;
extern ui::Colour boxBackColour3;
extern ui::Colour clockBackColour;

void TextColoursClick(ui::Window& settings);  // 按钮2
void BackColoursClick(ui::Window& settings);  // 按钮3
void TitleClick(ui::Window& settings);        // 按钮1
void PictureClick(ui::Window& settings);      // 按钮4
void ContactClick(ui::Window& settings);      // 图形按钮1

}  // namespace zoq::settings
