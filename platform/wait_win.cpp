// On Windows MsgWaitForMultipleObjects itself watches the thread's message
// queue, which every window system there feeds, so there is nothing to hook.
#include "platform/wait.h"

namespace zoq::platform {

void SetMessageWaiter(MessageWaiter*) {}

// WinINet is a system library, loaded with the program.
void PrepareHttp() {}

}  // namespace zoq::platform
