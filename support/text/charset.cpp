#include "support/text/charset.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define ZELLORA_CHARSET_SSE2 1
#endif

#include "support/text/sjis.h"

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
inline unsigned SjisFirst(int b) {
  return static_cast<unsigned>(((b + 0xDF) >> 1) + 0x01) & 0xFF;
}

// The mappings are written without branches: the parity of the row is random in Japanese text,
// and a mispredicted jump per character would cost more than the arithmetic.
inline std::uint16_t JisPair(int j1, int j2) {
  const int b = j1 + ((j1 >= 0x5F) << 7);  // rows past 0x5E continue after 0xDF
  const int odd = -(b & 1);                // all ones for an odd row
  // odd row: j2 + 0x1F, one more from 0x60 on; even row: j2 + 0x7E
  const int lo = j2 + 0x7E + (odd & (0x1F - 0x7E + (j2 >= 0x60)));
  return static_cast<std::uint16_t>(SjisFirst(b) << 8 | (static_cast<unsigned>(lo) & 0xFF));
}

// The second byte is used as it is (not folded to 7 bits first), so a stray high byte followed
// by ASCII maps by the same formula as a proper pair.
inline std::uint16_t EucPair(int e1, int e2) {
  const int b = e1 - 0x80 + ((e1 > 0xDE) << 7);
  const int odd = -(b & 1);
  // odd row: e2 - 0x61, one more from 0xE0 on; even row: e2 - 2
  const int lo = e2 - 2 + (odd & (-0x61 + 2 + (e2 >= 0xE0)));
  return static_cast<std::uint16_t>(SjisFirst(b) << 8 | (static_cast<unsigned>(lo) & 0xFF));
}

// Half-width katakana (SS2) and JIS X 0212 (SS3) sequences, the ones that shorten the text.
inline bool IsKatakanaPair(Byte c, Byte c2) {
  return c == 0x8E && c2 >= 0xA1 && c2 <= 0xDF;
}
inline bool IsSupplementaryTriple(const Byte* p, std::size_t r, std::size_t n) {
  return p[r] == 0x8F && r + 2 < n && p[r + 1] >= 0xA1 && p[r + 1] <= 0xFE && p[r + 2] >= 0xA1 &&
         p[r + 2] <= 0xFE;
}

#if ZELLORA_CHARSET_SSE2
// Sixteen bytes at a time for the long runs of double-byte text: the same arithmetic as JisPair
// and EucPair on eight pairs in 16-bit lanes (first byte low, second byte high), results taken
// modulo 256 likewise.
inline __m128i SjisPairs(__m128i b, __m128i second, __m128i oddLo, __m128i evenLo) {
  const __m128i ff = _mm_set1_epi16(0xFF);
  const __m128i odd = _mm_sub_epi16(_mm_setzero_si128(), _mm_and_si128(b, _mm_set1_epi16(1)));
  const __m128i hi = _mm_and_si128(
      _mm_add_epi16(_mm_srli_epi16(_mm_add_epi16(b, _mm_set1_epi16(0xDF)), 1), _mm_set1_epi16(1)), ff);
  const __m128i lo = _mm_and_si128(
      _mm_add_epi16(second, _mm_or_si128(_mm_and_si128(odd, oddLo), _mm_andnot_si128(odd, evenLo))), ff);
  return _mm_or_si128(hi, _mm_slli_epi16(lo, 8));
}

inline __m128i JisPairs16(__m128i x) {
  const __m128i j1 = _mm_and_si128(x, _mm_set1_epi16(0xFF));
  const __m128i j2 = _mm_srli_epi16(x, 8);
  const __m128i b =
      _mm_add_epi16(j1, _mm_and_si128(_mm_cmpgt_epi16(j1, _mm_set1_epi16(0x5E)), _mm_set1_epi16(0x80)));
  // odd row: + 0x1F, one more from 0x60 on; even row: + 0x7E
  const __m128i oddLo = _mm_sub_epi16(_mm_set1_epi16(0x1F), _mm_cmpgt_epi16(j2, _mm_set1_epi16(0x5F)));
  return SjisPairs(b, j2, oddLo, _mm_set1_epi16(0x7E));
}

inline __m128i EucPairs16(__m128i x) {
  const __m128i e1 = _mm_and_si128(x, _mm_set1_epi16(0xFF));
  const __m128i e2 = _mm_srli_epi16(x, 8);
  const __m128i b =
      _mm_add_epi16(_mm_sub_epi16(e1, _mm_set1_epi16(0x80)),
                    _mm_and_si128(_mm_cmpgt_epi16(e1, _mm_set1_epi16(0xDE)), _mm_set1_epi16(0x80)));
  // odd row: - 0x61, one more from 0xE0 on; even row: - 2
  const __m128i oddLo = _mm_sub_epi16(_mm_set1_epi16(-0x61), _mm_cmpgt_epi16(e2, _mm_set1_epi16(0xDF)));
  return SjisPairs(b, e2, oddLo, _mm_set1_epi16(-2));
}

// Number of leading bytes of v that are at least min (all 16 when every byte is).
inline unsigned LeadingAtLeast(__m128i v, Byte min) {
  const __m128i ok = _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(min))), v);
  const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(ok));
  return bits == 0xFFFF ? 16u : static_cast<unsigned>(__builtin_ctz(~bits));
}

inline __m128i Load16(const Byte* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store16(Byte* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
#endif

// The decoders write into one buffer per thread and swap it with the line: reading and writing
// never touch the same bytes, so sixteen-byte stores may run ahead of the text they belong to
// (the next store or the final size cuts them back), and no load waits on a recent store.
// The buffer has 16 bytes of slack for those stores.
inline std::string& OutputBuffer(std::size_t n) {
  thread_local std::string out;
  out.resize(n + 16);
  return out;
}

inline void TakeOutput(std::string& line, std::string& out, std::size_t w) {
  out.resize(w);
  line.swap(out);
}

inline void TrimInPlace(std::string& line) {
  std::string_view t = sjis::TrimView(line);
  if (t.size() == line.size()) return;
  const std::size_t start = static_cast<std::size_t>(t.data() - line.data());
  const std::size_t len = t.size();
  if (start != 0) std::memmove(&line[0], &line[start], len);
  line.resize(len);
}

// Next '&' at or after from. '&' is never the second byte of a double-byte character, so every
// '&' byte is one; a plain byte search also finds the entity after a lone lead byte.
std::size_t NextAmpersand(std::string_view s, std::size_t from) {
  return from < s.size() ? s.find('&', from) : std::string_view::npos;
}

// The entity spellings that are decoded, in the order they are applied, and their groups.
struct EntityForm {
  std::string_view text;
  char replacement;
};
constexpr EntityForm kForms[] = {
    {"&LT;", '<'},   {"&lt;", '<'},   {"&Lt;", '<'},   {"&lT;", '<'},  // 0-3
    {"&GT;", '>'},   {"&gt;", '>'},   {"&Gt;", '>'},   {"&gT;", '>'},  // 4-7
    {"&AMP;", '&'},  {"&amp;", '&'},  {"&Amp;", '&'},                  // 8-10
    {"&QUOT;", '"'}, {"&quot;", '"'}, {"&Quot;", '"'},                 // 11-13
    {"&NBSP;", ' '}, {"&nbsp;", ' '}, {"&Nbsp;", ' '},                 // 14-16
};
constexpr unsigned kLtForms = 0x000F, kGtForms = 0x00F0, kQuotForms = 0x3800, kNbspForms = 0x1C000;
constexpr unsigned kFirstAmpForm = 8, kLastAmpForm = 10;

enum EntityGroup : unsigned { kLt = 1, kGt = 2, kAmp = 4, kQuot = 8, kNbsp = 16 };

// The group of the entity name after the '&' at p, in any letter case, or -1. Every byte looked at
// is a single-byte character, so comparing letters with their lower-case forms is what comparing
// an upper-cased copy would give.
constexpr std::string_view kNames[] = {"LT;", "GT;", "AMP;", "QUOT;", "NBSP;"};
constexpr unsigned kGroupForms[] = {0, 4, 8, 11, 14, 17};  // first form of each group, and the end

inline int GroupAt(const char* p, std::size_t avail) {
  if (avail < 2) return -1;
  int g;
  switch (p[1]) {
    case 'L':
    case 'l':
      g = 0;
      break;
    case 'G':
    case 'g':
      g = 1;
      break;
    case 'A':
    case 'a':
      g = 2;
      break;
    case 'Q':
    case 'q':
      g = 3;
      break;
    case 'N':
    case 'n':
      g = 4;
      break;
    default:
      return -1;
  }
  const std::string_view name = kNames[g];
  if (avail - 1 < name.size()) return -1;
  for (std::size_t k = 1; k < name.size(); ++k) {
    const char c = p[1 + k];
    const char u = name[k];
    if (c != u && !(u >= 'A' && u <= 'Z' && c == u + ('a' - 'A'))) return -1;
  }
  return g;
}

// The index in kForms of the exact spelling at p within group g, or -1.
inline int FormAt(const char* p, int g) {
  for (unsigned i = kGroupForms[g]; i < kGroupForms[g + 1]; ++i) {
    const std::string_view t = kForms[i].text;
    std::size_t k = 1;
    while (k < t.size() && p[k] == t[k]) ++k;
    if (k == t.size()) return static_cast<int>(i);
  }
  return -1;
}

struct EntityScan {
  unsigned groups = 0;  // names present in any letter case
  unsigned forms = 0;   // bit i: kForms[i] present as spelled
};

// One walk over the '&'s of the line.
EntityScan ScanEntities(std::string_view s) {
  EntityScan scan;
  for (std::size_t h = NextAmpersand(s, 0); h != std::string_view::npos; h = NextAmpersand(s, h + 1)) {
    const int g = GroupAt(s.data() + h, s.size() - h);
    if (g < 0) continue;
    scan.groups |= 1u << g;
    const int f = FormAt(s.data() + h, g);
    if (f >= 0) scan.forms |= 1u << f;
  }
  return scan;
}

// Replaces, in one pass, every occurrence of the forms in formMask by their replacement byte.
// One pass does what a pass per form would: the forms cannot overlap, and '<', '>', '"' and ' '
// never complete another form. The text is rewritten front to back in place: the result never
// outgrows the input, and the scan only looks at bytes from the end of the last match on, which
// are not written yet.
void ReplaceForms(std::string& s, unsigned formMask) {
  char* p = &s[0];
  const std::size_t n = s.size();
  std::size_t read = 0;
  std::size_t write = 0;
  std::size_t from = 0;
  for (;;) {
    const std::size_t h = NextAmpersand(std::string_view(p, n), from);
    if (h == std::string_view::npos) break;
    const int g = GroupAt(p + h, n - h);
    const int f = g < 0 ? -1 : FormAt(p + h, g);
    if (f < 0 || (formMask >> f & 1) == 0) {
      from = h + 1;
      continue;
    }
    if (write != read) std::memmove(p + write, p + read, h - read);
    write += h - read;
    p[write++] = kForms[f].replacement;
    read = h + kForms[f].text.size();
    from = read;
  }
  if (read == 0) return;
  if (write != read) std::memmove(p + write, p + read, n - read);
  write += n - read;
  s.resize(write);
}

// Decodes the entities form by form in the listed order, for the rare lines where an "&" put back
// by an &amp; form could complete a later form. Which groups run is decided once, before any
// replacement; &amp; comes after &lt; and &gt;, so "&amp;lt;" stays "&lt;". The &amp; forms run one
// by one and the line is looked at again after each.
void DecodeEntitiesFormByForm(std::string& line) {
  EntityScan scan = ScanEntities(line);
  const unsigned groups = scan.groups;
  if (scan.forms & (kLtForms | kGtForms)) ReplaceForms(line, scan.forms & (kLtForms | kGtForms));
  if (groups & kAmp) {
    for (unsigned i = kFirstAmpForm; i <= kLastAmpForm; ++i) {
      if ((scan.forms >> i & 1) == 0) continue;
      ReplaceForms(line, 1u << i);
      scan = ScanEntities(line);
    }
  }
  const unsigned late = ((groups & kQuot) ? kQuotForms : 0) | ((groups & kNbsp) ? kNbspForms : 0);
  if (scan.forms & late) ReplaceForms(line, scan.forms & late);
}

}  // namespace

// Decodes &lt; &gt; &amp; &quot; &nbsp; in the listed letter-case forms only. Applying the forms
// one after another comes down to replacing every form where it stands, in one pass, unless an
// &amp; form is directly followed by the rest of an entity name (as in "&amp;quot;" or
// "&AMP;amp;"): only then can a replacement complete another form, and the form-by-form way runs.
void DecodeEntities(std::string& line) {
  const std::size_t first = line.find('&');
  if (first == std::string::npos) return;
  constexpr std::size_t kMaxMatches = 64;
  std::size_t at[kMaxMatches];
  int form[kMaxMatches];
  std::size_t count = 0;
  const std::string_view s = line;
  for (std::size_t h = NextAmpersand(s, first); h != std::string_view::npos; h = NextAmpersand(s, h + 1)) {
    const int g = GroupAt(s.data() + h, s.size() - h);
    if (g < 0) continue;
    const int f = FormAt(s.data() + h, g);
    if (f < 0) continue;
    const std::size_t end = h + kForms[f].text.size();
    if (count == kMaxMatches ||
        (kForms[f].replacement == '&' && GroupAt(s.data() + end - 1, s.size() - end + 1) >= 0)) {
      DecodeEntitiesFormByForm(line);
      return;
    }
    at[count] = h;
    form[count] = f;
    ++count;
  }
  if (count == 0) return;
  char* p = &line[0];
  std::size_t read = at[0];
  std::size_t write = at[0];
  for (std::size_t i = 0; i < count; ++i) {
    if (write != read) std::memmove(p + write, p + read, at[i] - read);
    write += at[i] - read;
    p[write++] = kForms[form[i]].replacement;
    read = at[i] + kForms[form[i]].text.size();
  }
  std::memmove(p + write, p + read, line.size() - read);
  write += line.size() - read;
  line.resize(write);
}

namespace {

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

// A quick test before the exact ones: false only when the line cannot contain "CHARSET" or
// "<BODY>" in any letter case.
bool MayHoldHeadWords(std::string_view s) {
  auto foldedAt = [&s](std::size_t i, std::string_view upperWord) {
    if (s.size() - i < upperWord.size()) return false;
    for (std::size_t k = 1; k < upperWord.size(); ++k) {
      const char u = upperWord[k];
      const char c = s[i + k];
      if (c != u && !(u >= 'A' && u <= 'Z' && c == u + ('a' - 'A'))) return false;
    }
    return true;
  };
  auto hitAt = [&](std::size_t i) {
    const char c = s[i];
    return ((c == 'C' || c == 'c') && foldedAt(i, "CHARSET")) || (c == '<' && foldedAt(i, "<BODY>"));
  };
  std::size_t i = 0;
#if ZELLORA_CHARSET_SSE2
  const Byte* p = reinterpret_cast<const Byte*>(s.data());
  for (; i + 16 <= s.size(); i += 16) {
    const __m128i x = Load16(p + i);
    const __m128i c = _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(0x20)), _mm_set1_epi8('c'));
    const __m128i lt = _mm_cmpeq_epi8(x, _mm_set1_epi8('<'));
    for (unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(c, lt))); m != 0; m &= m - 1) {
      if (hitAt(i + static_cast<unsigned>(__builtin_ctz(m)))) return true;
    }
  }
#endif
  for (; i < s.size(); ++i) {
    if (hitAt(i)) return true;
  }
  return false;
}

}  // namespace

std::uint16_t JisToSjis(int first, int second) {
  return JisPair(first & 0xFF, second & 0xFF);
}

std::uint16_t EucToSjis(int first, int second) {
  return EucPair(first & 0xFF, second & 0xFF);
}

int GuessEncoding(std::string_view bytes) {
  const Byte* p = reinterpret_cast<const Byte*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
#if ZELLORA_CHARSET_SSE2
    // Straight to the next high byte or ESC.
    while (i + 16 <= n) {
      const __m128i x = Load16(p + i);
      const unsigned m =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(x, _mm_cmpeq_epi8(x, _mm_set1_epi8(0x1B)))));
      if (m != 0) {
        i += static_cast<unsigned>(__builtin_ctz(m));
        break;
      }
      i += 16;
    }
    if (i >= n) break;
#endif
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
  const Byte* in = reinterpret_cast<const Byte*>(line.data());
  std::string& buffer = OutputBuffer(n);
  Byte* out = reinterpret_cast<Byte*>(&buffer[0]);
  std::size_t r = 0;
  std::size_t w = 0;
  enum { kAscii, kTwoByte, kKatakana } mode = kAscii;
  while (r < n) {
#if ZELLORA_CHARSET_SSE2
    // Runs without control bytes, sixteen bytes at a time: pairs in two-byte mode, plain copies
    // in ASCII mode (the rare katakana mode goes byte by byte).
    const bool twoByte = mode == kTwoByte;
    while (mode != kKatakana && r + 16 <= n) {
      const __m128i x = Load16(in + r);
      const unsigned run = LeadingAtLeast(x, 0x20);
      const unsigned take = twoByte ? run & ~1u : run;
      if (take == 0) break;
      Store16(out + w, twoByte ? JisPairs16(x) : x);
      r += take;
      w += take;
    }
    if (r >= n) break;
#endif
    const Byte c = in[r];
    if (c <= 0x1B) {
      // Only ESC starts a recognised three-byte sequence; SI and the rest are plain bytes.
      if (c == 0x1B && r + 2 < n) {
        const Byte c1 = in[r + 1];
        const Byte c2 = in[r + 2];
        if (c1 == '$' && (c2 == 'B' || c2 == '@')) {
          mode = kTwoByte;
          r += 3;
          continue;
        }
        if (c1 == '(' && (c2 == 'B' || c2 == 'J' || c2 == 'I')) {
          mode = c2 == 'I' ? kKatakana : kAscii;
          r += 3;
          continue;
        }
      }
      if (c == 0x0E) {  // SO: back to single bytes, dropped
        mode = kAscii;
        ++r;
        continue;
      }
    }
    if (mode == kTwoByte && r + 1 < n) {
      const std::uint16_t s = JisPair(c, in[r + 1]);
      out[w++] = static_cast<Byte>(s >> 8);
      out[w++] = static_cast<Byte>(s);
      r += 2;
      continue;
    }
    // JIS X 0201 katakana (after ESC ( I) are 0x21..0x5F; Shift_JIS holds them at 0xA1..0xDF.
    out[w++] = (mode == kKatakana && c >= 0x21 && c <= 0x5F) ? static_cast<Byte>(c + 0x80) : c;
    ++r;
  }
  TakeOutput(line, buffer, w);
}

void DecodeEucJp(std::string& line) {
  const std::size_t n = line.size();
  const Byte* in = reinterpret_cast<const Byte*>(line.data());
  // Most lines of a page are plain ASCII: leave them alone without touching the buffer.
  std::size_t r = 0;
  while (r + 8 <= n && AllAscii8(in + r)) r += 8;
  while (r < n && in[r] < 0x80) ++r;
  if (r == n) return;

  std::string& buffer = OutputBuffer(n);
  Byte* out = reinterpret_cast<Byte*>(&buffer[0]);
  std::memcpy(out, in, r);
  std::size_t w = r;
  while (r < n) {
#if ZELLORA_CHARSET_SSE2
    // Sixteen bytes at a time: an ASCII run is copied, a run of JIS X 0208 pairs (bytes 0xA1 and
    // up) converted; anything else goes the byte-wise way below.
    while (r + 16 <= n) {
      const __m128i x = Load16(in + r);
      const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(x));
      if ((high & 1) == 0) {
        Store16(out + w, x);
        const unsigned ascii = high == 0 ? 16u : static_cast<unsigned>(__builtin_ctz(high));
        r += ascii;
        w += ascii;
        continue;
      }
      const unsigned take = LeadingAtLeast(x, 0xA1) & ~1u;
      if (take == 0) break;
      Store16(out + w, EucPairs16(x));
      r += take;
      w += take;
    }
    if (r >= n) break;
#endif
    const Byte c = in[r];
    if (c < 0x80 || r + 1 >= n) {  // a final high byte without a partner stays as it is
      out[w++] = c;
      ++r;
      continue;
    }
    const Byte c2 = in[r + 1];
    if (IsKatakanaPair(c, c2)) {
      // Half-width katakana: Shift_JIS holds them as the same single byte.
      out[w++] = c2;
      r += 2;
      continue;
    }
    if (IsSupplementaryTriple(in, r, n)) {
      // JIS X 0212 has no place in Shift_JIS; one default character keeps the rest in step.
      out[w++] = '?';
      r += 3;
      continue;
    }
    const std::uint16_t s = EucPair(c, c2);
    out[w++] = static_cast<Byte>(s >> 8);
    out[w++] = static_cast<Byte>(s);
    r += 2;
  }
  TakeOutput(line, buffer, w);
}

int EncodingFromName(std::string_view name) {
  struct Alias {
    std::string_view name;
    int code;
  };
  static constexpr Alias kAliases[] = {
      {"SHIFT_JIS", kEncodingShiftJis},
      {"SHIFT-JIS", kEncodingShiftJis},
      {"X-SJIS", kEncodingShiftJis},
      {"X_SJIS", kEncodingShiftJis},
      {"SJIS", kEncodingShiftJis},
      {"MS_KANJI", kEncodingShiftJis},
      {"CSSHIFTJIS", kEncodingShiftJis},
      {"WINDOWS-31J", kEncodingShiftJis},
      {"CP932", kEncodingShiftJis},
      {"MS932", kEncodingShiftJis},
      {"EUC-JP", kEncodingEucJp},
      {"EUC_JP", kEncodingEucJp},
      {"X-EUC-JP", kEncodingEucJp},
      {"X_EUC_JP", kEncodingEucJp},
      {"ISO-2022-JP", kEncodingIso2022Jp},
      {"ISO_2022_JP", kEncodingIso2022Jp},
      {"CSISO2022JP", kEncodingIso2022Jp},
      {"UTF-8", kEncodingUtf8},
      {"UTF_8", kEncodingUtf8},
      {"UTF8", kEncodingUtf8},
  };
  name = sjis::TrimView(name);
  for (const Alias& alias : kAliases) {
    if (sjis::EqualsNoCase(name, alias.name)) return alias.code;
  }
  return kEncodingUnknown;
}

namespace {

// The value of parameter `name` in a header or a pseudo-attribute list, after position from:
// name, optional white space, "=", optional white space, then a quoted or a bare value. Letters of
// the name in any case; a name must not continue a longer word.
bool FindParameter(std::string_view text, std::string_view name, std::size_t from, std::string_view& value) {
  for (std::size_t at = from; at + name.size() <= text.size(); ++at) {
    if (!sjis::EqualsNoCase(text.substr(at, name.size()), name)) continue;
    if (at > 0) {
      const char before = text[at - 1];
      if ((before >= 'A' && before <= 'Z') || (before >= 'a' && before <= 'z') || before == '-' ||
          before == '_') {
        continue;
      }
    }
    std::size_t i = at + name.size();
    while (i < text.size() && sjis::IsSpace(text[i])) ++i;
    if (i >= text.size() || text[i] != '=') continue;
    ++i;
    while (i < text.size() && sjis::IsSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
      const char quote = text[i];
      const std::size_t end = text.find(quote, i + 1);
      if (end == std::string_view::npos) return false;
      value = text.substr(i + 1, end - i - 1);
      return true;
    }
    std::size_t end = i;
    while (end < text.size() && !sjis::IsSpace(text[end]) && text[end] != ';' && text[end] != '?' &&
           text[end] != '>') {
      ++end;
    }
    value = text.substr(i, end - i);
    return true;
  }
  return false;
}

// An XML declaration at the start of the line: "<?xml" followed by white space or "?". Sets end
// to the position after its "?>" (or the line's end when it is not closed on this line).
bool IsXmlDeclaration(std::string_view line, std::size_t& end) {
  if (line.size() < 6 || line.substr(0, 5) != "<?xml") return false;
  if (!sjis::IsSpace(line[5]) && line[5] != '?') return false;
  const std::size_t close = line.find("?>", 5);
  end = close == std::string_view::npos ? line.size() : close + 2;
  return true;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

int EncodingFromContentType(std::string_view contentType) {
  const std::size_t semicolon = contentType.find(';');
  if (semicolon == std::string_view::npos) return kEncodingUnknown;
  std::string_view value;
  if (!FindParameter(contentType, "charset", semicolon + 1, value)) return kEncodingUnknown;
  return EncodingFromName(value);
}

void ConvertLine(ConvertState& page, std::string& line) {
  TrimInPlace(line);

  // The document's own first bytes: a byte-order mark, an XML declaration.
  bool declaredHere = false;
  if (page.firstLine) {
    page.firstLine = false;
    if (std::string_view(line).substr(0, 3) == kUtf8Bom) {
      line.erase(0, 3);
      page.encoding = kEncodingUtf8;
      page.encodingFixed = true;
    }
    std::size_t declarationEnd = 0;
    if (IsXmlDeclaration(line, declarationEnd)) {
      const std::string_view declaration = std::string_view(line).substr(0, declarationEnd);
      std::string_view name;
      if (FindParameter(declaration, "encoding", 5, name)) {
        const int code = EncodingFromName(name);
        if (code != kEncodingUnknown && !page.encodingFixed) {
          page.encoding = code;
          // The document's first declaration names its set; the rest of its line is content.
          declaredHere = true;
          page.xmlDeclared = true;
        }
      } else if (page.encoding == kEncodingUnknown) {
        page.encoding = kEncodingUtf8;  // XML's own default
        page.xmlDeclared = true;
      }
    }
  }

  // The head tests look at an upper-cased copy of the line, made only when the line may hold
  // one of the words at all (pages that never reach a plain "<BODY>", feeds for one, are read
  // in the head from start to end).
  if (page.inHead && MayHoldHeadWords(line)) {
    thread_local std::string upper;  // reused, so no allocation per line
    upper.assign(line);
    sjis::MakeUpper(upper);
    if (!page.encodingFixed && !declaredHere && (!page.xmlDeclared || Contains(upper, "<META"))) {
      ReadDeclaration(upper, page.encoding);
    }
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

  if (page.decodeEntities) DecodeEntities(line);
}
