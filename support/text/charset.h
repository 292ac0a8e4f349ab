// Conversion of page lines to Shift_JIS and decoding of the few HTML entities the extractor needs.
//
// A page arrives in Shift_JIS, EUC-JP, ISO-2022-JP or UTF-8. The page reader hands every non-empty
// line, in page order, to ConvertLine, which keeps the declared character set and the "still in the
// head" flag in the ConvertState it is given. Every converter works in place and never fails: bytes it
// cannot make sense of are passed through (or, for UTF-8, replaced by the default character).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/text/utf8_ansi.h"

// Character-set codes.
enum PageEncoding : int {
  kEncodingUnknown = 0,  // taken as Shift_JIS
  kEncodingShiftJis = 1,
  kEncodingIso2022Jp = 2,
  kEncodingEucJp = 3,
  kEncodingUtf8 = 4,
};

// What the conversion carries from one line of a page to the next.
struct ConvertState {
  int encoding = kEncodingUnknown;  // the character set in force for the following lines
  int inHead = 1;                   // 1 until a line containing "<BODY>" was seen
  // The character set no longer follows declarations: a UTF-8 byte-order mark named it, or the
  // reader of the document fixed it (a feed is read to its end in the set it began with).
  bool encodingFixed = false;
  bool firstLine = true;  // the next line converted is the document's first
  // The document's XML declaration named its set (or left XML's default): from then on only an
  // HTML meta element (a line holding "<META") may declare another, not text that mentions one.
  bool xmlDeclared = false;
  // The HTML entity pass; a reader that decodes the text itself (XML) turns it off.
  bool decodeEntities = true;
};

// Trims the line, follows charset declarations and "<BODY>" while the head is read, converts the
// line to Shift_JIS (declared set, else a per-line guess while in the head, else none) and decodes
// &lt; &gt; &amp; &quot; &nbsp; (unless page.decodeEntities is off). The document's first line
// may begin with a UTF-8 byte-order mark (removed; the document is UTF-8 to its end) or an XML
// declaration: its encoding="..." declares like a "CHARSET" line, and without one an XML document
// whose character set is still unknown is UTF-8; after it, only a meta element declares again.
// Changes only page's fields and the line.
void ConvertLine(ConvertState& page, std::string& line);

// The code of a character-set name the converter knows (Shift_JIS and its aliases, EUC-JP,
// ISO-2022-JP, UTF-8; letters in any case), or kEncodingUnknown.
int EncodingFromName(std::string_view name);
// The code named by the charset parameter of a Content-Type value, or kEncodingUnknown.
int EncodingFromContentType(std::string_view contentType);

// Decodes &lt; &gt; &amp; &quot; &nbsp; in the letter-case forms the page pass knows, in place.
void DecodeEntities(std::string& line);

// Guesses the character set of one line: kEncodingIso2022Jp, kEncodingEucJp, kEncodingShiftJis or
// kEncodingUnknown when the line gives no hint (plain ASCII).
int GuessEncoding(std::string_view bytes);

// ISO-2022-JP to Shift_JIS, in place. Every line starts in single-byte mode; ESC $ B / ESC $ @
// switch to two-byte mode, ESC ( B / J back, ESC ( I to half-width katakana (which become their
// single Shift_JIS bytes); SO is dropped and ends two-byte mode; unknown escapes are copied.
void DecodeIso2022Jp(std::string& line);

// EUC-JP to Shift_JIS, in place. A high-bit byte with a follower starts a two-byte pair; half-width
// katakana (0x8E xx) become their single Shift_JIS byte, a JIS X 0212 triple (0x8F xx xx), which
// Shift_JIS cannot hold, becomes "?".
void DecodeEucJp(std::string& line);

// The two-byte mappings used by the decoders; each returns first << 8 | second, both taken
// modulo 256.
std::uint16_t JisToSjis(int first, int second);
std::uint16_t EucToSjis(int first, int second);
