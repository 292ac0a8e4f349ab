// Shift_JIS (code page 932) text helpers. Every piece of code that has to know where a
// double-byte character starts uses these; nobody else tests lead bytes.
//
// Text is held in std::string as raw bytes. A lead byte is 0x81-0x9F or 0xE0-0xFC; the byte after
// it is a trail byte, which may itself look like ASCII ('@', '\\', 'a' ...) and must never be taken
// for one. Lengths always count bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sjis {

inline bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
inline bool IsLeadByte(char c) {
  return IsLeadByte(static_cast<unsigned char>(c));
}

// Single-byte white space: space, tab, line feed, vertical tab, form feed, carriage return.
inline bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Byte length of the character starting at s[pos]: 2 for a lead byte followed by another byte,
// else 1 (a lone lead byte at the end counts as one byte). 0 when pos is at or past the end.
std::size_t CharLength(std::string_view s, std::size_t pos);

// Position of the character after the one at pos (never past s.size()).
inline std::size_t NextChar(std::string_view s, std::size_t pos) {
  return pos + CharLength(s, pos);
}

// Start of the character that ends right before pos, found by walking from the start of s.
std::size_t PrevChar(std::string_view s, std::size_t pos);

// Upper-cases ASCII letters only; trail bytes are left alone and the length never changes.
void MakeUpper(std::string& s);
std::string ToUpper(std::string_view s);
// Lower-cases ASCII letters only, likewise.
void MakeLower(std::string& s);

// Removes single-byte white space at both ends (or one end). A trail byte is never white space,
// since no trail byte is below 0x40.
std::string_view TrimView(std::string_view s);
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Finds needle in s starting at a character boundary at or after from; a match that would start
// on a trail byte is skipped. Returns std::string_view::npos when absent; an empty needle
// matches at from.
std::size_t Find(std::string_view s, std::string_view needle, std::size_t from = 0);

// Last position of the single-byte character c that is not a trail byte, or npos.
std::size_t FindLastChar(std::string_view s, char c);
// First position of the single-byte character c at or after from that is not a trail byte, or
// npos. from must start a character (0 always does). memchr finds the candidates and only the
// lead-range bytes right before a candidate are looked at, so a forward scan stays linear.
std::size_t FindChar(std::string_view s, char c, std::size_t from = 0);

// True when pos starts a character of s, given that from (<= pos) starts one. A byte outside the
// lead-byte range always ends a character, so only the run of lead-range bytes right before pos
// decides: they pair up, and pos starts a character when the run is even.
inline bool StartsCharacter(std::string_view s, std::size_t from, std::size_t pos) {
  std::size_t run = 0;
  while (pos - run > from && IsLeadByte(s[pos - run - 1])) ++run;
  return run % 2 == 0;
}

// The last byte of s is a lead byte without its partner (from starts a character).
inline bool EndsWithLoneLead(std::string_view s, std::size_t from) {
  return s.size() > from && IsLeadByte(s.back()) && StartsCharacter(s, from, s.size() - 1);
}

// True when s ends with the whole character sequence suffix (a match starting on a trail byte
// does not count).
bool EndsWith(std::string_view s, std::string_view suffix);
bool StartsWith(std::string_view s, std::string_view prefix);

// ASCII letters compared without case, every other byte exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace sjis
