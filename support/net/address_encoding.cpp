#include "support/net/address_encoding.h"

#include <cstdint>

#include "support/text/sjis.h"
#include "support/text/utf8_ansi.h"

namespace address_encoding {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendPercent(std::string& out, unsigned char byte) {
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

// Byte length of the character at s[pos] in the charset (a UTF-8 sequence is taken byte by byte:
// every byte beyond ASCII is percent-encoded as it is anyway).
std::size_t CharLength(std::string_view s, std::size_t pos, Charset charset) {
  return charset == Charset::kAnsi ? sjis::CharLength(s, pos) : 1;
}

// Path, query and user part: ASCII as written but the space, everything else as UTF-8, %XX.
void AppendEncoded(std::string& out, std::string_view part, Charset charset) {
  std::string utf8;
  for (std::size_t i = 0; i < part.size();) {
    const std::size_t n = CharLength(part, i, charset);
    const unsigned char c = static_cast<unsigned char>(part[i]);
    if (c == ' ') {
      out += "%20";
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      const std::string_view ch = part.substr(i, n);
      // A byte sequence the code page does not define goes out as it is, percent-encoded: the
      // server may know what it means, and nothing is lost.
      if (charset == Charset::kUtf8 || !AnsiToUtf8(ch, utf8)) utf8.assign(ch);
      for (char b : utf8) AppendPercent(out, static_cast<unsigned char>(b));
    }
    i += n;
  }
}

// Position of the first single-byte character of set at or after from, or npos.
std::size_t FindAny(std::string_view s, std::size_t from, std::string_view set, Charset charset) {
  for (std::size_t i = from; i < s.size(); i += CharLength(s, i, charset)) {
    if (set.find(s[i]) != std::string_view::npos) return i;
  }
  return std::string_view::npos;
}

// The last '@' and ':' that are characters of their own (not the trail byte of a Shift_JIS
// character), or npos.
std::size_t FindLast(std::string_view s, char c, Charset charset) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size(); i += CharLength(s, i, charset)) {
    if (s[i] == c) found = i;
  }
  return found;
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// --- host names ---

constexpr char32_t kInvalid = 0xFFFFFFFF;

bool DecodeUtf8(std::string_view s, std::u32string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t more;
    char32_t cp;
    if (c < 0x80) {
      more = 0;
      cp = c;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (more > s.size() - i - 1) return false;  // cut off by the end
    for (std::size_t k = 1; k <= more; ++k) {
      const unsigned char next = static_cast<unsigned char>(s[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = cp << 6 | (next & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out += cp;
    i += more + 1;
  }
  return true;
}

// Half-width katakana U+FF66..U+FF9D as their full-width forms (the compatibility mapping):
// ヲ, the small ァィゥェォャュョッ, ー, then アイウエオ ... ワン in the order of the table.
constexpr char16_t kHalfWidthKana[] = {
    0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2,
    0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9,
    0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE,
    0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6,
    0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3};

// A katakana followed by the half-width voiced (or semi-voiced) mark, composed as the canonical
// composition does; kInvalid when the two do not compose.
char32_t Compose(char32_t kana, bool semiVoiced) {
  const bool haRow = kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0;  // ハヒフヘホ
  if (semiVoiced) return haRow ? kana + 2 : kInvalid;
  // カ..チ alternate with their voiced forms; after the small ッ, ツテト do so at odd places.
  const bool voiceable = (kana >= 0x30AB && kana <= 0x30C1 && (kana - 0x30AB) % 2 == 0) || kana == 0x30C4 ||
                         kana == 0x30C6 || kana == 0x30C8 || haRow;
  if (voiceable) return kana + 1;
  if (kana == 0x30A6) return 0x30F4;  // ウ to ヴ
  if (kana == 0x30EF) return 0x30F7;  // ワ
  if (kana == 0x30F2) return 0x30FA;  // ヲ
  return kInvalid;
}

// The mapping of one character as browsers map host names; kInvalid for a character no host name
// may hold.
char32_t MapHostChar(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFF01 - 0x21;  // full-width ASCII
  if (c == 0x3002 || c == 0xFF61) c = '.';             // ideographic and half-width full stops
  if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
  if (c < 0x80) {
    const bool ldh = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    return ldh ? c : kInvalid;
  }
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;  // Greek capitals
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;                 // Cyrillic capitals
  if (c == 0x0401) return 0x0451;
  if (c == 0xFF65) return 0x30FB;  // half-width middle dot
  if (c >= 0xFF66 && c <= 0xFF9D) return kHalfWidthKana[c - 0xFF66];
  const bool letter = (c >= 0x03B1 && c <= 0x03C9) ||                                  // Greek
                      (c >= 0x0430 && c <= 0x044F) || c == 0x0451 ||                   // Cyrillic
                      (c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E ||    // hiragana
                      (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x30FB && c <= 0x30FE) ||  // katakana
                      (c >= 0x3005 && c <= 0x3007) ||                                  // 々〆〇
                      (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||  // kanji
                      // the twelve unified ideographs of the compatibility block
                      c == 0xFA0E || c == 0xFA0F || c == 0xFA11 || c == 0xFA13 || c == 0xFA14 ||
                      c == 0xFA1F || c == 0xFA21 || c == 0xFA23 || c == 0xFA24 || c == 0xFA27 ||
                      c == 0xFA28 || c == 0xFA29;
  return letter ? c : kInvalid;
}

bool IsJapanese(char32_t c) {
  return (c >= 0x3041 && c <= 0x309E) || (c >= 0x30A1 && c <= 0x30FE && c != 0x30FB) ||
         (c >= 0x3005 && c <= 0x3007) || (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xFA0E && c <= 0xFA29);
}

// One label: ASCII as it is, anything else as "xn--" and its Punycode.
bool AppendLabel(std::string& out, const std::u32string& label) {
  if (label.empty() || label.front() == '-' || label.back() == '-') return false;
  bool ascii = true;
  bool japanese = false;
  bool middleDot = false;
  for (char32_t c : label) {
    if (c >= 0x80) ascii = false;
    if (IsJapanese(c)) japanese = true;
    if (c == 0x30FB) middleDot = true;
  }
  std::string encoded;
  if (ascii) {
    for (char32_t c : label) encoded += static_cast<char>(c);
  } else {
    // "ab--" is reserved for encodings like our own; the katakana middle dot belongs between
    // Japanese characters only.
    if (label.size() >= 4 && label[2] == '-' && label[3] == '-') return false;
    if (middleDot && !japanese) return false;
    if (!Punycode(label, encoded)) return false;
    encoded.insert(0, "xn--");
  }
  if (encoded.size() > 63) return false;
  out += encoded;
  return true;
}

// RFC 3492, section 6.1.
std::uint32_t Adapt(std::uint32_t delta, std::uint32_t points, bool first) {
  constexpr std::uint32_t kBase = 36, kTmin = 1, kTmax = 26, kSkew = 38, kDamp = 700;
  delta = first ? delta / kDamp : delta / 2;
  delta += delta / points;
  std::uint32_t k = 0;
  while (delta > ((kBase - kTmin) * kTmax) / 2) {
    delta /= kBase - kTmin;
    k += kBase;
  }
  return k + (kBase - kTmin + 1) * delta / (delta + kSkew);
}

char Digit(std::uint32_t d) {
  return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26));
}

}  // namespace

bool Punycode(std::u32string_view label, std::string& out) {
  constexpr std::uint32_t kBase = 36, kTmin = 1, kTmax = 26;
  constexpr std::uint32_t kMax = 0xFFFFFFFF;
  out.clear();
  std::uint32_t n = 0x80;
  std::uint32_t delta = 0;
  std::uint32_t bias = 72;
  for (char32_t c : label) {
    if (c < 0x80) out += static_cast<char>(c);
  }
  const std::uint32_t basic = static_cast<std::uint32_t>(out.size());
  std::uint32_t handled = basic;
  if (basic > 0) out += '-';
  const std::uint32_t length = static_cast<std::uint32_t>(label.size());
  while (handled < length) {
    std::uint32_t m = kMax;
    for (char32_t c : label) {
      if (c >= n && c < m) m = c;
    }
    if (m - n > (kMax - delta) / (handled + 1)) return false;
    delta += (m - n) * (handled + 1);
    n = m;
    for (char32_t c : label) {
      if (c < n && ++delta == 0) return false;
      if (c != n) continue;
      std::uint32_t q = delta;
      for (std::uint32_t k = kBase;; k += kBase) {
        const std::uint32_t t = k <= bias ? kTmin : k >= bias + kTmax ? kTmax : k - bias;
        if (q < t) break;
        out += Digit(t + (q - t) % (kBase - t));
        q = (q - t) / (kBase - t);
      }
      out += Digit(q);
      bias = Adapt(delta, handled + 1, handled == basic);
      delta = 0;
      ++handled;
    }
    ++delta;
    ++n;
  }
  return true;
}

bool HostToAscii(std::string_view utf8Host, std::string& ascii) {
  ascii.clear();
  std::u32string chars;
  if (!DecodeUtf8(utf8Host, chars)) return false;
  // Map, composing a half-width voiced or semi-voiced mark with the kana before it.
  std::u32string mapped;
  for (char32_t c : chars) {
    if (c == 0xFF9E || c == 0xFF9F) {
      const char32_t composed = mapped.empty() ? kInvalid : Compose(mapped.back(), c == 0xFF9F);
      if (composed == kInvalid) return false;
      mapped.back() = composed;
      continue;
    }
    const char32_t m = MapHostChar(c);
    if (m == kInvalid) return false;
    mapped += m;
  }
  // A name may end in a dot (the root); no other label may be empty.
  std::u32string label;
  for (std::size_t i = 0; i <= mapped.size(); ++i) {
    if (i < mapped.size() && mapped[i] != '.') {
      label += mapped[i];
      continue;
    }
    const bool rootDot = i == mapped.size() && label.empty() && !ascii.empty();
    if (!rootDot) {
      if (!AppendLabel(ascii, label)) return false;
      if (i < mapped.size()) ascii += '.';
    }
    label.clear();
  }
  const std::size_t length = !ascii.empty() && ascii.back() == '.' ? ascii.size() - 1 : ascii.size();
  return length > 0 && length <= 253;
}

bool ToWire(std::string_view address, Charset charset, std::string& wire) {
  wire.clear();
  // The fragment stays with the client.
  address = address.substr(0, FindAny(address, 0, "#", charset));

  // The authority: after "scheme://" or a leading "//".
  std::size_t authority = std::string_view::npos;
  const std::size_t colon = FindAny(address, 0, ":/?", charset);
  if (colon != std::string_view::npos && address[colon] == ':' && address.substr(colon + 1, 2) == "//") {
    authority = colon + 3;
  } else if (address.substr(0, 2) == "//") {
    authority = 2;
  }
  if (authority == std::string_view::npos) {
    AppendEncoded(wire, address, charset);
    return true;
  }
  wire.append(address.substr(0, authority));
  std::size_t end = FindAny(address, authority, "/?", charset);
  if (end == std::string_view::npos) end = address.size();
  std::string_view hostPort = address.substr(authority, end - authority);

  // user:password@ goes out like a path.
  const std::size_t at = FindLast(hostPort, '@', charset);
  if (at != std::string_view::npos) {
    AppendEncoded(wire, hostPort.substr(0, at + 1), charset);
    hostPort.remove_prefix(at + 1);
  }
  // The port, unless the colon is inside an IPv6 literal's brackets.
  std::string_view host = hostPort;
  std::string_view port;
  const std::size_t portColon = FindLast(hostPort, ':', charset);
  if (portColon != std::string_view::npos && hostPort.find(']', portColon) == std::string_view::npos) {
    host = hostPort.substr(0, portColon);
    port = hostPort.substr(portColon);
  }
  if (IsAscii(host)) {
    wire.append(host);
  } else {
    std::string utf8;
    if (charset == Charset::kAnsi) {
      if (!AnsiToUtf8(host, utf8)) return false;
    } else {
      utf8.assign(host);
    }
    std::string ascii;
    if (!HostToAscii(utf8, ascii)) return false;
    wire += ascii;
  }
  AppendEncoded(wire, port, charset);
  AppendEncoded(wire, address.substr(end), charset);
  return true;
}

}  // namespace address_encoding
