#include "settings/window_front.h"

#include <QWidget>

namespace zoq::settings {

void BringToFront(ui::Window& window) {
  QWidget* top = window.TopLevel();
  if (!top) return;
  top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
  top->show();
  top->raise();
  top->activateWindow();
}

}  // namespace zoq::settings
