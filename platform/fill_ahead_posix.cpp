// Memory for a buffer being filled: populated a step ahead in one call, in
// huge pages while they prove cheap.
//
// With 4 KiB pages the kernel's fault path (a trap, then allocate, zero,
// charge and map) costs about as much as receiving the bytes; populating a
// step in one call saves the traps. A 2 MiB page needs one fault for 512
// small ones and is far cheaper still, with two catches:
// - Where transparent huge pages and their defragmentation are on for
//   advised memory only, a fault in advised memory that finds no free 2 MiB
//   block compacts memory first, stalling the writer. So the advice goes out
//   only while /proc/buddyinfo shows free blocks to spare for the step.
// - On a virtual machine whose host takes back free guest memory in blocks
//   of that size, a free 2 MiB block is often no longer backed by the host,
//   and its first touch costs a host fault per small page: several times the
//   small pages' price. Nothing tells such blocks apart beforehand, so each
//   step's cost is measured, and once huge pages prove dear the rest of the
//   buffer keeps small ones.

#include "platform/fill_ahead.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zoq::platform {
namespace {

constexpr std::size_t kHuge = 2u << 20;
constexpr std::size_t kStep = 2 * kHuge;
// Free blocks left over, beyond the step's own, for whoever else allocates
// meanwhile.
constexpr long kSpareBlocks = 64;
// Thread CPU time per huge page above which small pages are cheaper: one
// costs about 0.1 ms when its memory is at hand, 4 ms when the host has to
// supply it; 512 small pages cost about 0.7 ms.
constexpr double kDearHugePageMs = 0.4;

// The buddy order of a 2 MiB block; 0 when no power of two of the page size
// makes one.
int HugeOrder() {
  const long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return 0;
  int order = 0;
  for (std::size_t size = static_cast<std::size_t>(page); size < kHuge; size <<= 1) ++order;
  return (static_cast<std::size_t>(page) << order) == kHuge ? order : 0;
}

// Free blocks of 2 MiB, counting larger ones by what they hold; -1 when
// unknown. Read afresh each time: what other processes do meanwhile is what
// matters.
long FreeHugeBlocks() {
  static const int order = HugeOrder();
  if (order == 0) return -1;
  int fd = open("/proc/buddyinfo", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char text[4096];
  ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return -1;
  text[n] = '\0';
  // Lines "Node 0, zone   Normal  n0 n1 n2 ...": free blocks by ascending
  // order.
  long blocks = 0;
  for (char* line = text; *line != '\0';) {
    char* end = std::strchr(line, '\n');
    if (end != nullptr) *end = '\0';
    if (char* p = std::strstr(line, "zone")) {
      p += 4;
      while (*p == ' ') ++p;
      while (*p != '\0' && *p != ' ') ++p;  // the zone's name
      for (int k = 0;; ++k) {
        char* after = nullptr;
        long count = std::strtol(p, &after, 10);
        if (after == p) break;
        if (k >= order) blocks += count << (k - order);
        p = after;
      }
    }
    if (end == nullptr) break;
    line = end + 1;
  }
  return blocks;
}

bool HugePagesOnAdvice() {
  char mode[64] = {};
  int fd = open("/sys/kernel/mm/transparent_hugepage/enabled", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ssize_t n = read(fd, mode, sizeof mode - 1);
  close(fd);
  // With "always" the advice is not needed, with "never" ignored.
  return n > 0 && std::strstr(mode, "[madvise]") != nullptr;
}

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace

void FillAhead::Step(std::uint8_t* data, std::size_t size, std::size_t at) {
  if (data != data_) {
    data_ = data;
    readyTo_ = 0;
    smallPagesOnly_ = false;
  }
  // Readied steps follow on from each other; the writer may be up to a write
  // short of the last one's end.
  const std::size_t stepAt = std::min(std::max(at, readyTo_), size);
  readyTo_ = size;  // unless a step is readied below
#if defined(MADV_POPULATE_WRITE) && defined(MADV_HUGEPAGE)
  static const bool hugeOnAdvice = HugePagesOnAdvice();
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  if (size < kHuge || stepAt == size) return;
  // Steps end on huge page boundaries; the buffer's end is its own.
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t from = start + stepAt;
  const std::uintptr_t to = std::min(start + size, (from & ~(kHuge - 1)) + kStep);
  const std::uintptr_t hugeFrom = (from + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t hugeTo = to & ~(kHuge - 1);
  const std::size_t hugePages = hugeTo > hugeFrom ? (hugeTo - hugeFrom) / kHuge : 0;
  const bool tryHuge = hugeOnAdvice && !smallPagesOnly_ && hugePages > 0 &&
                       FreeHugeBlocks() >= static_cast<long>(hugePages) + kSpareBlocks;
  if (tryHuge) madvise(reinterpret_cast<void*>(hugeFrom), hugeTo - hugeFrom, MADV_HUGEPAGE);
  // Pages wholly inside the buffer; the huge ones timed apart from the
  // small ones.
  const std::uintptr_t popFrom = (from + page - 1) & ~(page - 1);
  const std::uintptr_t popTo = to & ~(page - 1);
  auto populate = [](std::uintptr_t a, std::uintptr_t b) {
    return b <= a || madvise(reinterpret_cast<void*>(a), b - a, MADV_POPULATE_WRITE) == 0;
  };
  if (!tryHuge) {
    if (!populate(popFrom, popTo)) return;  // an older kernel: the writer's faults do it
  } else {
    if (!populate(popFrom, hugeFrom)) return;
    const double before = ThreadCpuMs();
    if (!populate(hugeFrom, hugeTo)) return;
    if (ThreadCpuMs() - before > kDearHugePageMs * hugePages) smallPagesOnly_ = true;
    if (!populate(hugeTo, popTo)) return;
  }
  readyTo_ = to - start;
#endif
}

}  // namespace zoq::platform
