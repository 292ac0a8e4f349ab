// Shift_JIS text cut at a byte limit on a character boundary.
#pragma once

#include <cstddef>
#include <string_view>

#include "support/text/sjis.h"

namespace sjis {

// The longest start of s of at most maxBytes bytes that ends on a character boundary (never half
// a double-byte character).
inline std::string_view CutToBytes(std::string_view s, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < s.size()) {
    const std::size_t next = NextChar(s, end);
    if (next > maxBytes) break;
    end = next;
  }
  return s.substr(0, end);
}

}  // namespace sjis
