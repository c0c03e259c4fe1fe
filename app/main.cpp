// Start-up: the version page's request, the exit routine, the program-wide
// state, the main window with its handlers, then the message loop until the
// program ends.
#ifdef __linux__
#include <malloc.h>
#endif

#include "app/clock.h"
#include "app/version_check.h"
#include "forms/forms.h"
#include "runtime/core.h"
#include "runtime/ui.h"

#include "settings/settings.h"

namespace {

using namespace zoq;

// The main window's created event, run before the window is first shown:
// the version check, which starts the clock on a match and otherwise ends
// the program.
void MainCreated(ui::Window& main) { app::VersionCheck(main); }

void BindMainWindow(ui::Window& main) {
  main.OnCreated([&main] { MainCreated(main); });
  main.OnTick("时钟1", [&main] { app::ClockTick(main); });
  main.OnClick("图形按钮1", settings::OpenSettingsWindow);
}

// The program keeps no state of its own beyond its windows' controls: the
// exit routine has nothing to save or release.
void ExitRoutine() {}

}  // namespace

int main() {
#ifdef __linux__
  // Large blocks (a decoded picture, a resource read whole, the page) get
  // pages of their own, given back when freed. glibc otherwise raises the
  // limit after the first such free, and later ones stay resident in the heap.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
  // The version page's round trip overlaps the toolkit's start and the
  // main window's making.
  app::StartVersionFetch();
  ui::Application application;
  rt::RegisterExitRoutine(ExitRoutine);
  ui::CreateStartupWindow(forms::MainForm(), BindMainWindow);
  return ui::RunMessageLoop();
}
