#include "curl_posix.h"

#include <system_error>
#include <thread>

namespace zoq::platform {

bool CurlReady() {
  static const bool ready = [] {
    const auto init = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; };
    // On a thread of its own that ends straight after: the TLS library
    // leaves per-thread state on the thread that initialises it, freed only
    // when that thread ends, and a fetch worker may outlive the program.
    bool ok = false;
    try {
      std::thread([&] { ok = init(); }).join();
    } catch (const std::system_error&) {
      ok = init();  // no thread to spare
    }
    return ok;
  }();
  return ready;
}

}  // namespace zoq::platform
