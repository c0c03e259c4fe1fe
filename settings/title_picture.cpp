// 按钮1 (the main window's title), 按钮4 (its picture) and 图形按钮1 (the
// contact page).
#include "forms/forms.h"
#include "contact_url.h"
#include "handlers.h"

namespace zoq::settings {

void TitleClick(ui::Window& settings) {
  // Unchecked: an empty box gives an empty title.
  const Text title = settings.ControlText("编辑框1");
  if (ui::Window* main = ui::WindowNamed(forms::kMainWindow)) main->SetTitle(title);

  ui::ShowMessage("设置成功~！", 64, Text("温馨提示~！"));
  CloseSettingsWindow();
}

void PictureClick(ui::Window& settings) {
  if (!settings.ShowOpenDialog("通用对话框1")) return;  // cancelled: nothing changes
  const Text path = settings.DialogFileName("通用对话框1");

  // A file that cannot be read (gone, unreadable, too large to hold) gives
  // no bytes, which clears the picture; the change is still confirmed.
  const Bytes image = ui::ReadWholeFile(path);
  if (ui::Window* main = ui::WindowNamed(forms::kMainWindow)) main->SetPicture("图片框1", image);

  ui::ShowMessage("更换成功", 64, Text("温馨提示"));
}

void ContactClick(ui::Window&) {
  // Fire and forget: when no browser opens, nothing else happens.
  ui::OpenInBrowser(kContactChatUrl);
}

}  // namespace zoq::settings
