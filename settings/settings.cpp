// Opening the settings window and binding its five buttons.
#include "settings/settings.h"

#include "forms/forms.h"
#include "handlers.h"

namespace zoq::settings {
namespace {

void BindHandlers(ui::Window& window) {
  // The handlers belong to the window and die with it, so the pointer they
  // hold never outlives it.
  ui::Window* self = &window;
  window.OnClick("按钮1", [self] { TitleClick(*self); });
  window.OnClick("按钮2", [self] { TextColoursClick(*self); });
  window.OnClick("按钮3", [self] { BackColoursClick(*self); });
  window.OnClick("按钮4", [self] { PictureClick(*self); });
  window.OnClick("图形按钮1", [self] { ContactClick(*self); });
}

}  // namespace

void OpenSettingsWindow() {
  // One settings window at a time: a second click on the gear brings the
  // open one forward instead of stacking a twin. The handlers close "the"
  // settings window by name, and twins could not be told apart.
  if (ui::Window* open = ui::WindowNamed(forms::kSettingsWindow)) {
    open->BringToFront();
    return;
  }
  // Built afresh from the layout each time: no state of an earlier window
  // survives. Non-modal and without owner; the result is not examined.
  ui::LoadWindow(forms::SettingsForm(), BindHandlers, nullptr, false);
}

void CloseSettingsWindow() {
  // Looked up again rather than kept: the window may have gone while a
  // message box was up.
  if (ui::Window* open = ui::WindowNamed(forms::kSettingsWindow)) open->Destroy();
}

}  // namespace zoq::settings
