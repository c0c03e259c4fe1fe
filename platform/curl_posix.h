// libcurl, opened at run time rather than linked: its two dozen libraries
// then load in the background while the program starts, instead of before
// its first line runs.
#pragma once

#include <curl/curl.h>

namespace zoq::platform {

struct CurlApi {
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_multi_init) multi_init;
  decltype(&::curl_multi_cleanup) multi_cleanup;
  decltype(&::curl_multi_add_handle) multi_add_handle;
  decltype(&::curl_multi_remove_handle) multi_remove_handle;
  decltype(&::curl_multi_perform) multi_perform;
  decltype(&::curl_multi_poll) multi_poll;
  decltype(&::curl_multi_wakeup) multi_wakeup;
  decltype(&::curl_multi_info_read) multi_info_read;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
  decltype(&::curl_url) url;
  decltype(&::curl_url_cleanup) url_cleanup;
  decltype(&::curl_url_get) url_get;
  decltype(&::curl_url_set) url_set;
  decltype(&::curl_free) free;
  decltype(&::curl_getdate) getdate;
};

// The library, opened and initialised once; waits for a load in progress.
// Null when it is missing or lacks a call: HTTP then fails, nothing else.
const CurlApi* Curl();

}  // namespace zoq::platform
