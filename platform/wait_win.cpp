// On Windows MsgWaitForMultipleObjects watches the thread's message queue
// itself, so a window layer has nothing to plug in.

#include "platform/wait.h"

namespace zoq::platform {

void SetMessageWaiter(MessageWaiter*) {}

}  // namespace zoq::platform
