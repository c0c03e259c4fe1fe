// 按钮2 and 按钮3: each applies every picker of its column at once.
#include "forms/forms.h"
#include "handlers.h"

namespace zoq::settings {

ui::Colour boxTextColour1 = 0;
ui::Colour boxTextColour2 = 0;
ui::Colour boxTextColour3 = 0;
ui::Colour frameBackColour = 0;
ui::Colour boxBackColour1 = 0;
ui::Colour boxBackColour2 = 0;
ui::Colour boxBackColour3 = 0;
ui::Colour clockBackColour = 0;

void TextColoursClick(ui::Window& settings) {
  boxTextColour1 = settings.PickerColour("颜色选择器1");
  boxTextColour3 = settings.PickerColour("颜色选择器3");
  boxTextColour2 = settings.PickerColour("颜色选择器2");
  frameBackColour = settings.PickerColour("颜色选择器4");

  if (ui::Window* main = ui::WindowNamed(forms::kMainWindow)) {
    main->SetTextColour("编辑框3", boxTextColour1);
    main->SetTextColour("编辑框6", boxTextColour2);
    main->SetTextColour("编辑框4", boxTextColour3);
    // The frame group box covers the main window's client area; the window's
    // own background stays as it is.
    main->SetBackColour("分组框1", frameBackColour);
  }

  ui::ShowMessage("设置成功~！", 64, Text("温馨提示~！"));
  CloseSettingsWindow();
}

void BackColoursClick(ui::Window& settings) {
  boxBackColour1 = settings.PickerColour("颜色选择器5");
  boxBackColour2 = settings.PickerColour("颜色选择器6");
  boxBackColour3 = settings.PickerColour("颜色选择器7");
  clockBackColour = settings.PickerColour("颜色选择器8");

  if (ui::Window* main = ui::WindowNamed(forms::kMainWindow)) {
    main->SetBackColour("编辑框3", boxBackColour1);
    main->SetBackColour("编辑框6", boxBackColour2);
    main->SetBackColour("编辑框4", boxBackColour3);
    main->SetBackColour("标签3", clockBackColour);
  }

  ui::ShowMessage("设置成功~！", 64, Text("温馨提示~！"));
}

}  // namespace zoq::settings
