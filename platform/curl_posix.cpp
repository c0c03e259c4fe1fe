#include "curl_posix.h"

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <system_error>


namespace zoq::platform {
namespace {

template <typename Fn>
bool Bind(void* library, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(dlsym(library, name));
  return fn != nullptr;
}

const CurlApi* Open() {
  static CurlApi api;
  void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  // Never closed: the TLS library's state lives as long as the process.
  bool ok = Bind(library, "curl_easy_init", api.easy_init) &&
            Bind(library, "curl_easy_cleanup", api.easy_cleanup) &&
            Bind(library, "curl_easy_setopt", api.easy_setopt) &&
            Bind(library, "curl_multi_init", api.multi_init) &&
            Bind(library, "curl_multi_cleanup", api.multi_cleanup) &&
            Bind(library, "curl_multi_add_handle", api.multi_add_handle) &&
            Bind(library, "curl_multi_remove_handle", api.multi_remove_handle) &&
            Bind(library, "curl_multi_perform", api.multi_perform) &&
            Bind(library, "curl_multi_poll", api.multi_poll) &&
            Bind(library, "curl_multi_wakeup", api.multi_wakeup) &&
            Bind(library, "curl_multi_info_read", api.multi_info_read) &&
            Bind(library, "curl_slist_append", api.slist_append) &&
            Bind(library, "curl_slist_free_all", api.slist_free_all) &&
            Bind(library, "curl_url", api.url) &&
            Bind(library, "curl_url_cleanup", api.url_cleanup) &&
            Bind(library, "curl_url_get", api.url_get) &&
            Bind(library, "curl_url_set", api.url_set) &&
            Bind(library, "curl_free", api.free) && Bind(library, "curl_getdate", api.getdate);
  decltype(&::curl_global_init) globalInit = nullptr;
  ok = ok && Bind(library, "curl_global_init", globalInit);
  if (!ok || globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
  return &api;
}

// The program's end waits for a load in progress: the TLS library must not
// be torn down while another thread initialises it.
struct AwaitLoadAtExit {
  std::shared_future<const CurlApi*> load;
  ~AwaitLoadAtExit() {
    using std::chrono::seconds;
    if (load.valid() && load.wait_for(seconds(0)) != std::future_status::deferred) load.wait();
  }
};

struct Loader {
  std::mutex lock;
  // The load runs on a thread of its own even when a fetch asks for it:
  // the TLS library leaves per-thread state behind on the thread that
  // initialises it, freed only when that thread ends, and this one ends
  // right after the load instead of living on as a fetch worker might.
  std::shared_future<const CurlApi*> loaded;
  std::atomic<const CurlApi*> ready{nullptr};

  std::shared_future<const CurlApi*> Start() {
    std::lock_guard guard(lock);
    if (loaded.valid()) return loaded;
    try {
      loaded = std::async(std::launch::async, Open).share();
    } catch (const std::system_error&) {
      loaded = std::async(std::launch::deferred, Open).share();  // no thread to spare
    }
    static AwaitLoadAtExit atExit{loaded};
    return loaded;
  }
};

// Never destroyed: a worker abandoned by a time-out may still make HTTP
// calls while the program ends.
Loader& TheLoader() {
  static Loader* loader = new Loader;
  return *loader;
}

}  // namespace

const CurlApi* Curl() {
  Loader& loader = TheLoader();
  if (const CurlApi* api = loader.ready.load(std::memory_order_acquire)) return api;
  const CurlApi* api = loader.Start().get();
  if (api) loader.ready.store(api, std::memory_order_release);
  return api;
}

}  // namespace zoq::platform
