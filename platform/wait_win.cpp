// On Windows MsgWaitForMultipleObjects itself watches the thread's message
// queue, which every window system there feeds, so there is nothing to hook.
#include "platform/wait.h"

namespace zoq::platform {

void SetMessageWaiter(MessageWaiter*) {}

}  // namespace zoq::platform
