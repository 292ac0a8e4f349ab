#include "support/text/sjis.h"

#include <cstring>

namespace sjis {

std::size_t CharLength(std::string_view s, std::size_t pos) {
  if (pos >= s.size()) return 0;
  if (IsLeadByte(s[pos]) && pos + 1 < s.size()) return 2;
  return 1;
}

std::size_t PrevChar(std::string_view s, std::size_t pos) {
  if (pos > s.size()) pos = s.size();
  std::size_t i = 0;
  std::size_t last = 0;
  while (i < pos) {
    last = i;
    i = NextChar(s, i);
  }
  return last;
}

void MakeUpper(std::string& s) {
  // Hot: every head line of every page is upper-cased. A plain byte loop; a lead byte skips its
  // trail byte, which is never changed.
  unsigned char* p = reinterpret_cast<unsigned char*>(&s[0]);
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      if (static_cast<unsigned char>(c - 'a') < 26) p[i] = static_cast<unsigned char>(c - 0x20);
    } else if (IsLeadByte(c)) {
      ++i;
    }
  }
}

std::string ToUpper(std::string_view s) {
  std::string out(s);
  MakeUpper(out);
  return out;
}

void MakeLower(std::string& s) {
  for (std::size_t i = 0; i < s.size(); i = NextChar(s, i)) {
    char& c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

std::string_view TrimView(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Trim(std::string_view s) {
  return std::string(TrimView(s));
}

std::string TrimLeft(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsSpace(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsSpace(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::size_t Find(std::string_view s, std::string_view needle, std::size_t from) {
  if (from > s.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  // Walk character boundaries from the start so that a trail byte is never a match start.
  std::size_t i = 0;
  while (i < from) i = NextChar(s, i);
  for (;;) {
    std::size_t hit = s.find(needle, i);
    if (hit == std::string_view::npos) return hit;
    while (i < hit) i = NextChar(s, i);
    if (i == hit) return hit;
    // hit was inside a double-byte character; carry on from the next boundary.
  }
}

std::size_t FindChar(std::string_view s, char c, std::size_t from) {
  while (from < s.size()) {
    const void* hit = std::memchr(s.data() + from, c, s.size() - from);
    if (!hit) return std::string_view::npos;
    const std::size_t pos = static_cast<std::size_t>(static_cast<const char*>(hit) - s.data());
    if (StartsCharacter(s, from, pos)) return pos;
    from = pos + 1;  // a trail byte: the character after it starts right behind it
  }
  return std::string_view::npos;
}

std::size_t FindLastChar(std::string_view s, char c) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size(); i = NextChar(s, i)) {
    if (s[i] == c) found = i;
  }
  return found;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  if (suffix.size() > s.size()) return false;
  std::size_t start = s.size() - suffix.size();
  if (s.substr(start) != suffix) return false;
  std::size_t i = 0;
  while (i < start) i = NextChar(s, i);
  return i == start;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    std::size_t n = CharLength(a, i);
    if (n == 2) {
      // A double-byte character, trail byte included, must match exactly.
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else {
      char x = a[i];
      char y = b[i];
      if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
      if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
      if (x != y) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace sjis
