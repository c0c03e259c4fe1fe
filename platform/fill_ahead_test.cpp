// A buffer filled front to back with its memory readied ahead: what was
// written before, and what is written after, stays as written.

#include "platform/fill_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

std::uint8_t ByteAt(std::size_t i) { return static_cast<std::uint8_t>(i * 131 + (i >> 12)); }

TEST(FillAhead, KeepsWhatIsWrittenAcrossStepsAndBuffers) {
  zoq::platform::FillAhead ahead;
  // Sizes and offsets on no page boundary; the second buffer is smaller than
  // a huge page.
  for (std::size_t total : {std::size_t{(9u << 20) + 100}, std::size_t{70000}}) {
    std::vector<std::uint8_t> buffer(total, 0);
    std::uint8_t* data = buffer.data() + 3;
    const std::size_t size = total - 3;
    const std::size_t half = size / 2 + 7;
    for (std::size_t i = 0; i < half; ++i) data[i] = ByteAt(i);
    for (std::size_t at = half; at < size; at += 512) {
      const std::size_t n = std::min<std::size_t>(512, size - at);
      ahead.Before(data, size, at, n);
      for (std::size_t i = at; i < at + n; ++i) data[i] = ByteAt(i);
    }
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < size; ++i) wrong += data[i] != ByteAt(i);
    EXPECT_EQ(wrong, 0u) << "buffer of " << total;
    EXPECT_EQ(buffer[0], 0);
  }
}

}  // namespace
