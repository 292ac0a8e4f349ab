// UTF-8 to code page 932 without Windows: the UTF-8 decoding follows the system converter's rules
// for invalid input, and the mapping of each character comes from iconv's CP932 table, which also
// converts the other way.
#include <iconv.h>

#include <cstring>
#include <string>

#include "support/text/utf8_ansi.h"

namespace {

constexpr std::uint16_t kNoMapping = 0xFFFF;

// Code page 932 bytes of every BMP character, asked from iconv once: a value below 0x100 is one
// byte, a larger one a lead and a trail byte, kNoMapping none. Asking per character keeps a
// failed character from disturbing its neighbours.
struct Cp932Table {
  std::uint16_t bytes[0x10000];

  Cp932Table() {
    for (auto& b : bytes) b = kNoMapping;
    for (unsigned cp = 0; cp < 0x80; ++cp) bytes[cp] = static_cast<std::uint16_t>(cp);
    iconv_t cd = iconv_open("CP932", "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (unsigned cp = 0x80; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      char in[4] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8), 0, 0};
      char out[8];
      char* inPtr = in;
      char* outPtr = out;
      std::size_t inLeft = sizeof in;
      std::size_t outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) continue;
      const std::size_t len = sizeof out - outLeft;
      const unsigned char* o = reinterpret_cast<unsigned char*>(out);
      if (len == 1)
        bytes[cp] = o[0];
      else if (len == 2 && o[0] >= 0x81)
        bytes[cp] = static_cast<std::uint16_t>(o[0] << 8 | o[1]);
    }
    iconv_close(cd);
  }
};

const Cp932Table& Table() {
  static const Cp932Table* table = new Cp932Table();  // built once, kept for the process
  return *table;
}

constexpr unsigned kInvalid = 0xFFFFFFFFu;

// Decodes the character at p[i] and advances i. Invalid input gives kInvalid after consuming the
// lead byte and the continuation bytes that still fitted, exactly like the system converter;
// unlike it, a sequence cut off by the end of the line takes only its own bytes with it.
inline unsigned DecodeUtf8(const unsigned char* p, std::size_t n, std::size_t& i) {
  const unsigned c = p[i++];
  unsigned more;
  unsigned cp;
  if (c >= 0xC2 && c <= 0xDF) {
    more = 1;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    more = 2;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    more = 3;
    cp = c & 0x07;
  } else {
    return kInvalid;  // a continuation byte, C0, C1 or F5..FF on its own
  }
  if (more == 3) {
    if (i >= n || (p[i] ^ 0x80) >= 0x40) return kInvalid;
    cp = cp << 6 | (p[i++] ^ 0x80);
    if (cp < 0x10) return kInvalid;  // overlong four-byte form
  }
  if (more >= 2) {
    if (i >= n || (p[i] ^ 0x80) >= 0x40) return kInvalid;
    const unsigned next = cp << 6 | (p[i] ^ 0x80);
    if (next >= (0x110000 >> 6)) return kInvalid;  // past U+10FFFF
    ++i;
    cp = next;
    if (cp < 0x20) return kInvalid;                                   // overlong three-byte form
    if (cp >= (0xD800 >> 6) && cp <= (0xDFFF >> 6)) return kInvalid;  // a surrogate
  }
  if (i >= n || (p[i] ^ 0x80) >= 0x40) return kInvalid;
  cp = cp << 6 | (p[i++] ^ 0x80);
  return cp;
}

}  // namespace

void Utf8ToAnsi(std::string& line) {
  const std::size_t n = line.size();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line.data());
  std::size_t i = 0;
  while (i < n && p[i] < 0x80) ++i;
  if (i == n) return;  // ASCII is the same in both

  const Cp932Table& table = Table();
  // Every character shrinks or keeps its length (two or more UTF-8 bytes give at most two bytes;
  // a four-byte character gives two default characters), so the line is rewritten in place.
  unsigned char* out = reinterpret_cast<unsigned char*>(&line[0]);
  std::size_t w = i;
  while (i < n) {
    const unsigned c = p[i];
    if (c < 0x80) {
      out[w++] = static_cast<unsigned char>(c);
      ++i;
      continue;
    }
    const unsigned cp = DecodeUtf8(p, n, i);
    if (cp == kInvalid) {
      out[w++] = '?';
    } else if (cp >= 0x10000) {
      // Outside the BMP: the system converts the two UTF-16 halves one by one, each to "?".
      out[w++] = '?';
      out[w++] = '?';
    } else {
      const std::uint16_t b = table.bytes[cp];
      if (b == kNoMapping) {
        out[w++] = '?';
      } else if (b < 0x100) {
        out[w++] = static_cast<unsigned char>(b);
      } else {
        out[w++] = static_cast<unsigned char>(b >> 8);
        out[w++] = static_cast<unsigned char>(b);
      }
    }
  }
  line.resize(w);
}

bool AnsiToUtf8(std::string_view ansi, std::string& utf8) {
  utf8.clear();
  if (ansi.empty()) return true;
  // One converter per thread, reset before each use: opening one costs more than converting an
  // address.
  struct Converter {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    ~Converter() {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  };
  thread_local Converter converter;
  if (converter.cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);
  std::string in(ansi);
  // A code page 932 character takes at most three bytes in UTF-8.
  utf8.resize(ansi.size() * 3);
  char* inPtr = &in[0];
  char* outPtr = &utf8[0];
  std::size_t inLeft = in.size();
  std::size_t outLeft = utf8.size();
  if (iconv(converter.cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
      inLeft != 0) {
    return false;
  }
  utf8.resize(utf8.size() - outLeft);
  return true;
}
