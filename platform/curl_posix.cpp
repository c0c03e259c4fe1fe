#include "curl_posix.h"

namespace zoq::platform {

bool CurlReady() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

}  // namespace zoq::platform
