// The worker's side of PageFetch.
#pragma once

#include "runtime/core.h"

namespace zoq::fetch {

// One HTTP exchange driven by the request packet in `packetFile`; writes the
// reply packet there. 1 when the reply was written, 0 otherwise. Runs on the
// fetch worker thread.
int HttpExchange(rt::FileNumber packetFile);

}  // namespace zoq::fetch
