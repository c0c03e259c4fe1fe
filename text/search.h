// Substring search behind TextFind and TextBetween.
#pragma once

#include <cstddef>
#include <string_view>

namespace zoq {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// Offset of the first occurrence of `needle` in `hay` that begins at or after
// `from`, or kNotFound. With `ignoreCase` the ASCII letters match in either
// case and every other byte must be equal. An empty needle is never found.
// Time is linear in the sizes of both, whatever the bytes are.
std::size_t FindBytes(std::string_view hay, std::string_view needle, std::size_t from,
                      bool ignoreCase);

}  // namespace zoq
