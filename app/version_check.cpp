#include "app/version_check.h"

#include <memory>
#include <optional>
#include <utility>

#include "config.h"
#include "fetch/fetch.h"
#include "runtime/core.h"
#include "text/between.h"
#include "text/decode.h"
#include "text/text.h"

namespace zoq::app {

namespace {

// The version page carries the current version as `<h2 class="...title">1.2</h2>`.
constexpr const char* kStartMarker = "title\">";
constexpr const char* kEndMarker = "</h2>";

constexpr const char* kMatchMessage = "最新版本~！可以使用~！";
constexpr const char* kMismatchMessage = "匹配失败发现最新版本~！";

constexpr int kClockInterval = 1000;  // ms

// Fetches, decodes and cuts the page's version through the hidden boxes
// 编辑框1 and 编辑框2, and returns what 编辑框2 holds. Each stage's
// temporary goes as soon as the next one exists: the page may be large.
Text VersionFromPage(ui::Window& main, const VersionCheckServices& services) {
  {
    Text decoded;
    {
      // Decoded where it lies, up to its first zero byte as its text would be.
      const Bytes body = services.fetch(kVersionPageUrl);
      decoded = UrlDecode({reinterpret_cast<const char*>(body.data()), body.size()});
    }
    main.SetControlText("编辑框1", decoded);
  }
  {
    const Text page = main.ControlText("编辑框1");
    main.SetControlText("编辑框2", TextBetween(page, kStartMarker, kEndMarker));
  }
  return main.ControlText("编辑框2");
}

// The request StartVersionFetch sent, until the check takes it. Never
// destroyed otherwise: a program that ends before its check leaves the
// worker to the system, as a time-out does.
fetch::StartedFetch* startedFetch = nullptr;

Bytes FetchVersionPage(const Text& url) {
  if (startedFetch && url == kVersionPageUrl) {
    std::unique_ptr<fetch::StartedFetch> started(std::exchange(startedFetch, nullptr));
    // Most starts end in this box: while the page is awaited, it is made
    // ahead. A page already here leaves no wait to fill.
    if (!started->Answered()) ui::PrepareMessage(kMatchMessage, ui::kPlainBox);
    return started->Take();
  }
  return fetch::PageFetch(url);
}

}  // namespace

void StartVersionFetch() {
  if (!startedFetch) startedFetch = new fetch::StartedFetch(kVersionPageUrl);
}

VersionCheckServices RealVersionCheckServices() {
  return {
      .fetch = FetchVersionPage,
      .message = [](const Text& text, int style) { ui::ShowMessage(text, style, std::nullopt); },
      .openInBrowser = [](const Text& url) { ui::OpenInBrowser(url); },
      .endProgram = [] { rt::EndProgram(); },
  };
}

void VersionCheck(ui::Window& main) { VersionCheck(main, RealVersionCheckServices()); }

void VersionCheck(ui::Window& main, const VersionCheckServices& services) {
  const Text pageVersion = VersionFromPage(main, services);
  const Text builtInVersion = main.ControlText("编辑框5");

  if (TextCompare(pageVersion, builtInVersion) == 0) {
    services.message(kMatchMessage, ui::kPlainBox);
    // Only now: the clock must not tick while the message is up.
    main.SetTimerInterval("时钟1", kClockInterval);
    return;
  }
  services.message(kMismatchMessage, ui::kPlainBox);
  services.openInBrowser(kDownloadPageUrl);
  services.endProgram();
}

}  // namespace zoq::app
