// A hint about how the fetch's large buffers are backed.
#pragma once

#include <cstddef>

namespace zoq::fetch {

// Asks for huge pages under [data, data + size) where the system offers
// them, before the memory is first touched. Only a hint: nothing changes
// for the buffer's owner, and elsewhere it does nothing.
void PreferHugePages(void* data, std::size_t size);

}  // namespace zoq::fetch
