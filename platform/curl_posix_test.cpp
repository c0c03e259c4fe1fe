// The HTTP library is opened when first needed, not with the program, and
// several threads needing it at once all get the one library.

#include <link.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/inet_test_helpers.h"

namespace {

using zoq::testing::Exchange;
using zoq::testing::HttpReply;
using zoq::testing::LoopbackServer;

bool HttpLibraryLoaded() {
  bool found = false;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        if (info->dlpi_name && std::strstr(info->dlpi_name, "libcurl")) {
          *static_cast<bool*>(data) = true;
        }
        return 0;
      },
      &found);
  return found;
}

// Exit codes tell the parent what went wrong in the child.
void FirstUseFromFourThreads() {
  if (HttpLibraryLoaded()) _exit(2);  // came with the program
  LoopbackServer server;
  server.SetHandler([](const std::string&, std::size_t index) {
    return HttpReply(200, "OK", {}, "page " + std::to_string(index % 10));
  });
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      Exchange x(server.port(), "GET", "/");
      if (x.Send() && x.ReadAll().rfind("page ", 0) == 0) ++good;
    });
  }
  for (std::thread& t : threads) t.join();
  if (good != 4) _exit(3);
  if (!HttpLibraryLoaded()) _exit(4);
  _exit(0);
}

TEST(HttpLibraryDeathTest, OpensOnFirstUseFromManyThreadsAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, nothing loaded yet
  EXPECT_EXIT(FirstUseFromFourThreads(), testing::ExitedWithCode(0), "");
}

}  // namespace
