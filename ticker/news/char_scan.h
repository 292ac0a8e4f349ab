// Fast scanning of Shift_JIS text for the extractor: memchr finds the candidates, and a look at the
// bytes right before a candidate tells whether it starts a character. Every byte is looked at a
// bounded number of times, so scans that move forward stay linear.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "support/sjis.h"

namespace char_scan {

constexpr std::size_t kEnd = std::string_view::npos;

// True when pos starts a character of s, given that from (<= pos) starts one. A byte outside the
// lead-byte range always ends a character, so only the run of lead-range bytes right before pos
// decides: they pair up, and pos starts a character when the run is even.
inline bool StartsCharacter(std::string_view s, std::size_t from, std::size_t pos) {
  std::size_t run = 0;
  while (pos - run > from && sjis::IsLeadByte(s[pos - run - 1])) ++run;
  return run % 2 == 0;
}

// The first single-byte character c at or after from (which must start a character), or kEnd. A
// hit that is the second byte of a double-byte character is passed over.
inline std::size_t FindChar(std::string_view s, std::size_t from, char c) {
  while (from < s.size()) {
    const void* hit = std::memchr(s.data() + from, c, s.size() - from);
    if (!hit) return kEnd;
    const std::size_t pos = static_cast<std::size_t>(static_cast<const char*>(hit) - s.data());
    if (StartsCharacter(s, from, pos)) return pos;
    from = pos + 1;
  }
  return kEnd;
}

// The last byte of s is a lead byte without its partner (from starts a character).
inline bool EndsWithLoneLead(std::string_view s, std::size_t from) {
  return s.size() > from && sjis::IsLeadByte(s.back()) && StartsCharacter(s, from, s.size() - 1);
}

}  // namespace char_scan
