#include "support/charset.h"

#include <cstring>

#include "support/sjis.h"

namespace {

using Byte = unsigned char;

// Eight bytes at once: true when none of them has the high bit set.
inline bool AllAscii8(const Byte* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return (v & 0x8080808080808080ull) == 0;
}

inline bool Contains(std::string_view text, std::string_view needle) {
  return sjis::Find(text, needle) != std::string_view::npos;
}

// The first byte of the Shift_JIS pair for the JIS row byte b (b already folded to 0x21..0x7E or,
// for rows past 0x5E, 0xDF..0xFE). Written so that the shift never sees a negative value: for odd
// b this is (b - 0x21) / 2 + 0x81, for even b (b - 0x22) / 2 + 0x81.
inline unsigned SjisFirst(int b) { return static_cast<unsigned>(((b + 0xDF) >> 1) + 0x01) & 0xFF; }

inline void TrimInPlace(std::string& line) {
  std::string_view t = sjis::TrimView(line);
  if (t.size() == line.size()) return;
  const std::size_t start = static_cast<std::size_t>(t.data() - line.data());
  const std::size_t len = t.size();
  if (start != 0) std::memmove(&line[0], &line[start], len);
  line.resize(len);
}

// Next '&' at or after from that starts a character. `boundary` is a character start at or before
// the hit, carried from call to call so that the whole scan stays linear; it never moves back.
std::size_t NextAmpersand(std::string_view s, std::size_t from, std::size_t& boundary) {
  while (from < s.size()) {
    const void* hit = std::memchr(s.data() + from, '&', s.size() - from);
    if (hit == nullptr) return std::string_view::npos;
    const std::size_t h = static_cast<std::size_t>(static_cast<const char*>(hit) - s.data());
    while (boundary < h) boundary = sjis::NextChar(s, boundary);
    if (boundary == h) return h;
    from = h + 1;  // the '&' was the second byte of a double-byte character
  }
  return std::string_view::npos;
}

// Replaces every occurrence of pattern (which starts with '&' and is plain ASCII) by the single
// byte rep. The text is rewritten front to back in place: the result never outgrows the input,
// and the scan only ever reads bytes that have not been written yet.
void ReplaceEntity(std::string& s, std::string_view pattern, char rep) {
  char* p = &s[0];
  const std::size_t n = s.size();
  std::size_t read = 0;
  std::size_t write = 0;
  std::size_t from = 0;
  std::size_t boundary = 0;
  for (;;) {
    const std::size_t h = NextAmpersand(std::string_view(p, n), from, boundary);
    if (h == std::string_view::npos) break;
    if (n - h >= pattern.size() && std::memcmp(p + h, pattern.data(), pattern.size()) == 0) {
      if (write != read) std::memmove(p + write, p + read, h - read);
      write += h - read;
      p[write++] = rep;
      read = h + pattern.size();
      from = read;
      boundary = read;  // the pattern is single-byte text, so its end is a character start
    } else {
      from = h + 1;
      boundary = h + 1;
    }
  }
  if (read == 0) return;
  if (write != read) std::memmove(p + write, p + read, n - read);
  write += n - read;
  s.resize(write);
}

enum EntityGroup : unsigned { kLt = 1, kGt = 2, kAmp = 4, kQuot = 8, kNbsp = 16 };

// Which entity names occur in any letter case: the same answer as searching an upper-cased copy
// of the line, without making one.
unsigned EntityGroupsPresent(std::string_view s) {
  unsigned mask = 0;
  std::size_t boundary = 0;
  std::size_t h = NextAmpersand(s, 0, boundary);
  while (h != std::string_view::npos) {
    const std::string_view rest = s.substr(h + 1);
    auto starts = [&rest](std::string_view name) {
      return rest.size() >= name.size() && sjis::EqualsNoCase(rest.substr(0, name.size()), name);
    };
    if (starts("LT;")) mask |= kLt;
    else if (starts("GT;")) mask |= kGt;
    else if (starts("AMP;")) mask |= kAmp;
    else if (starts("QUOT;")) mask |= kQuot;
    else if (starts("NBSP;")) mask |= kNbsp;
    h = NextAmpersand(s, h + 1, boundary);
  }
  return mask;
}

// Decodes &lt; &gt; &amp; &quot; &nbsp; in the listed letter-case forms only, group by group and
// form by form; &amp; comes after &lt; and &gt;, so "&amp;lt;" stays "&lt;".
void DecodeEntities(std::string& line) {
  if (line.find('&') == std::string::npos) return;
  const unsigned groups = EntityGroupsPresent(line);
  if (groups == 0) return;
  if (groups & kLt) {
    for (const char* form : {"&LT;", "&lt;", "&Lt;", "&lT;"}) ReplaceEntity(line, form, '<');
  }
  if (groups & kGt) {
    for (const char* form : {"&GT;", "&gt;", "&Gt;", "&gT;"}) ReplaceEntity(line, form, '>');
  }
  if (groups & kAmp) {
    for (const char* form : {"&AMP;", "&amp;", "&Amp;"}) ReplaceEntity(line, form, '&');
  }
  if (groups & kQuot) {
    for (const char* form : {"&QUOT;", "&quot;", "&Quot;"}) ReplaceEntity(line, form, '"');
  }
  if (groups & kNbsp) {
    for (const char* form : {"&NBSP;", "&nbsp;", "&Nbsp;"}) ReplaceEntity(line, form, ' ');
  }
}

// Follows charset declarations in a head line (already upper-cased). Every name found sets the
// code, so the last group named on the line wins.
void ReadDeclaration(std::string_view upper, int& encoding) {
  if (!Contains(upper, "CHARSET")) return;
  if (Contains(upper, "ISO-2022-JP") || Contains(upper, "ISO_2022_JP")) encoding = kEncodingIso2022Jp;
  if (Contains(upper, "EUC-JP") || Contains(upper, "EUC_JP") || Contains(upper, "X-EUC-JP") ||
      Contains(upper, "X_EUC_JP")) {
    encoding = kEncodingEucJp;
  }
  if (Contains(upper, "SHIFT-JIS") || Contains(upper, "SHIFT_JIS") || Contains(upper, "X-SJIS") ||
      Contains(upper, "X_SJIS")) {
    encoding = kEncodingShiftJis;
  }
  if (Contains(upper, "UTF-8") || Contains(upper, "UTF_8")) encoding = kEncodingUtf8;
}

}  // namespace

std::uint16_t JisToSjis(int first, int second) {
  const int j1 = first & 0xFF;
  const int j2 = second & 0xFF;
  const int b = j1 < 0x5F ? j1 : j1 + 0x80;
  const unsigned hi = SjisFirst(b);
  const unsigned lo = (b & 1) ? static_cast<unsigned>(j2 + 0x1F + (j2 >= 0x60 ? 1 : 0))
                              : static_cast<unsigned>(j2 + 0x7E);
  return static_cast<std::uint16_t>(hi << 8 | (lo & 0xFF));
}

std::uint16_t EucToSjis(int first, int second) {
  const int e1 = first & 0xFF;
  const int e2 = second & 0xFF;
  // The second byte is used as it is (not folded to 7 bits first), so a stray high byte followed
  // by ASCII maps by the same formula as a proper pair.
  const int b = e1 <= 0xDE ? e1 - 0x80 : e1;
  const unsigned hi = SjisFirst(b);
  const unsigned lo = (b & 1) ? static_cast<unsigned>(e2 - 0x61 + (e2 >= 0xE0 ? 1 : 0))
                              : static_cast<unsigned>(e2 - 2);
  return static_cast<std::uint16_t>(hi << 8 | (lo & 0xFF));
}

int GuessEncoding(std::string_view bytes) {
  const Byte* p = reinterpret_cast<const Byte*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    if (i + 8 <= n && AllAscii8(p + i)) {
      // No high byte here, but an ESC "$" may still sit among them.
      const void* esc = std::memchr(p + i, 0x1B, 8);
      if (esc == nullptr) {
        i += 8;
        continue;
      }
    }
    const Byte c = p[i];
    if (c < 0x80) {
      if (c == 0x1B && i + 1 < n && p[i + 1] == '$') return kEncodingIso2022Jp;
      ++i;
      continue;
    }
    if (c >= 0x81 && c <= 0x9F) return kEncodingShiftJis;
    if (c >= 0xA1 && c <= 0xDF) return kEncodingEucJp;
    // 0x80, 0xA0, 0xE0..0xFF: a Shift_JIS lead byte unless an EUC-range byte follows (the end
    // of the text counts as a zero byte).
    const Byte next = i + 1 < n ? p[i + 1] : 0;
    if (next <= 0xA0) return kEncodingShiftJis;
    ++i;
  }
  return kEncodingUnknown;
}

void DecodeIso2022Jp(std::string& line) {
  const std::size_t n = line.size();
  if (n == 0) return;
  Byte* p = reinterpret_cast<Byte*>(&line[0]);
  std::size_t r = 0;
  std::size_t w = 0;
  bool twoByte = false;
  while (r < n) {
    const Byte c = p[r];
    if (c <= 0x1B) {
      // Only ESC starts a recognised three-byte sequence; SI and the rest are plain bytes.
      if (c == 0x1B && r + 2 < n) {
        const Byte c1 = p[r + 1];
        const Byte c2 = p[r + 2];
        if (c1 == '$' && (c2 == 'B' || c2 == '@')) {
          twoByte = true;
          r += 3;
          continue;
        }
        if (c1 == '(' && (c2 == 'B' || c2 == 'J' || c2 == 'I')) {
          twoByte = false;
          r += 3;
          continue;
        }
      }
      if (c == 0x0E) {  // SO: back to single bytes, dropped
        twoByte = false;
        ++r;
        continue;
      }
    }
    if (twoByte && r + 1 < n) {
      const std::uint16_t s = JisToSjis(c, p[r + 1]);
      p[w++] = static_cast<Byte>(s >> 8);
      p[w++] = static_cast<Byte>(s);
      r += 2;
      continue;
    }
    p[w++] = c;
    ++r;
    // Single-byte runs are copied until the next control byte that could switch modes.
    if (!twoByte) {
      while (r < n && p[r] > 0x1B) p[w++] = p[r++];
    }
  }
  line.resize(w);
}

void DecodeEucJp(std::string& line) {
  const std::size_t n = line.size();
  if (n == 0) return;
  Byte* p = reinterpret_cast<Byte*>(&line[0]);
  std::size_t r = 0;
  // Same-length phase: pairs are rewritten where they stand and ASCII is left alone, until the
  // first single-shift sequence makes the text shorter.
  while (r < n) {
    if (r + 8 <= n && AllAscii8(p + r)) {
      r += 8;
      continue;
    }
    const Byte c = p[r];
    if (c < 0x80) {
      ++r;
      continue;
    }
    if (r + 1 >= n) break;  // a final high byte without a partner stays as it is
    const Byte c2 = p[r + 1];
    if ((c == 0x8E && c2 >= 0xA1 && c2 <= 0xDF) ||
        (c == 0x8F && c2 >= 0xA1 && c2 <= 0xFE && r + 2 < n && p[r + 2] >= 0xA1 && p[r + 2] <= 0xFE)) {
      break;
    }
    const std::uint16_t s = EucToSjis(c, c2);
    p[r] = static_cast<Byte>(s >> 8);
    p[r + 1] = static_cast<Byte>(s);
    r += 2;
  }
  if (r + 1 >= n) return;
  // Shrinking phase.
  std::size_t w = r;
  while (r < n) {
    const Byte c = p[r];
    if (c < 0x80 || r + 1 >= n) {
      p[w++] = c;
      ++r;
      continue;
    }
    const Byte c2 = p[r + 1];
    if (c == 0x8E && c2 >= 0xA1 && c2 <= 0xDF) {
      // Half-width katakana: Shift_JIS holds them as the same single byte.
      p[w++] = c2;
      r += 2;
      continue;
    }
    if (c == 0x8F && c2 >= 0xA1 && c2 <= 0xFE && r + 2 < n && p[r + 2] >= 0xA1 && p[r + 2] <= 0xFE) {
      // JIS X 0212 has no place in Shift_JIS; one default character keeps the rest in step.
      p[w++] = '?';
      r += 3;
      continue;
    }
    const std::uint16_t s = EucToSjis(c, c2);
    p[w++] = static_cast<Byte>(s >> 8);
    p[w++] = static_cast<Byte>(s);
    r += 2;
  }
  line.resize(w);
}

void ConvertLine(PageLines& page, std::string& line) {
  TrimInPlace(line);

  if (page.inHead) {
    // One reused buffer per thread for the upper-cased copy: head lines are many on pages that
    // never reach a plain "<BODY>".
    thread_local std::string upper;
    upper.assign(line);
    sjis::MakeUpper(upper);
    ReadDeclaration(upper, page.encoding);
    if (Contains(upper, "<BODY>")) page.inHead = 0;
  }

  int code = page.encoding;
  if (code == kEncodingUnknown && page.inHead) code = GuessEncoding(line);

  switch (code) {
    case kEncodingIso2022Jp:
      DecodeIso2022Jp(line);
      break;
    case kEncodingEucJp:
      DecodeEucJp(line);
      break;
    case kEncodingUtf8:
      Utf8ToAnsi(line);
      break;
    default:  // Shift_JIS, undetermined, or a code this version does not know: as it is
      break;
  }

  DecodeEntities(line);
}
