// The settings window's five click handlers: 按钮2 and 按钮3 apply every
// picker of their column at once, 按钮1 sets the main window's title, 按钮4
// its picture, and 图形按钮1 opens the contact page.
#include "handlers.h"

#include "contact_url.h"
#include "forms/forms.h"
#include "settings/settings.h"

namespace zoq::settings {
namespace {

// How a title or colour change confirms itself.
void ConfirmChange() { ui::ShowMessage("设置成功~！", ui::kInformationBox, Text("温馨提示~！")); }

}  // namespace

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
    // The group box 分组框1 covers the main window's client area; the window's
    // own background stays as it is.
    main->SetBackColour("分组框1", frameBackColour);
  }

  ConfirmChange();
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

  ConfirmChange();
}

void TitleClick(ui::Window& settings) {
  // Unchecked: an empty box gives an empty title.
  const Text title = settings.ControlText("编辑框1");
  if (ui::Window* main = ui::WindowNamed(forms::kMainWindow)) main->SetTitle(title);

  ConfirmChange();
  CloseSettingsWindow();
}

void PictureClick(ui::Window& settings) {
  if (!settings.ShowOpenDialog("通用对话框1")) return;  // cancelled: nothing changes
  const Text path = settings.DialogFileName("通用对话框1");

  // A file that cannot be read (gone, unreadable, too large to hold) gives
  // no bytes, which clears the picture; the change is still confirmed.
  const Bytes image = ui::ReadWholeFile(path);
  if (ui::Window* main = ui::WindowNamed(forms::kMainWindow)) main->SetPicture("图片框1", image);

  ui::ShowMessage("更换成功", ui::kInformationBox, Text("温馨提示"));
}

void ContactClick(ui::Window&) {
  // Fire and forget: when no browser opens, nothing else happens.
  ui::OpenInBrowser(kContactChatUrl);
}

}  // namespace zoq::settings
