#include "support/text/charset.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/text/sjis.h"

namespace {

// Literals are Shift_JIS; EUC-JP and ISO-2022-JP inputs are written as bytes, UTF-8 as u8"".
const std::string kKanji = "漢字";                 // 8A BF 8E 9A
const std::string kEucKanji = "\xB4\xC1\xBB\xFA";  // the same two characters in EUC-JP
const std::string kIsoKanji = "\x1B$B\x34\x41\x3B\x7A\x1B(B";

// Straightforward byte-by-byte versions of the rules, to hold the fast decoders against.
std::string ModelEuc(const std::string& in) {
  std::string out;
  const std::size_t n = in.size();
  auto at = [&in](std::size_t i) { return static_cast<unsigned char>(in[i]); };
  for (std::size_t i = 0; i < n;) {
    const unsigned c = at(i);
    if (c < 0x80 || i + 1 >= n) {
      out += static_cast<char>(c);
      i += 1;
    } else if (c == 0x8E && at(i + 1) >= 0xA1 && at(i + 1) <= 0xDF) {
      out += static_cast<char>(at(i + 1));
      i += 2;
    } else if (c == 0x8F && i + 2 < n && at(i + 1) >= 0xA1 && at(i + 1) <= 0xFE && at(i + 2) >= 0xA1 &&
               at(i + 2) <= 0xFE) {
      out += '?';
      i += 3;
    } else {
      const int v = EucToSjis(static_cast<int>(c), at(i + 1));
      out += static_cast<char>(v >> 8);
      out += static_cast<char>(v & 0xFF);
      i += 2;
    }
  }
  return out;
}

std::string ModelIso(const std::string& in) {
  std::string out;
  const std::size_t n = in.size();
  bool two = false;
  bool kana = false;
  for (std::size_t i = 0; i < n;) {
    const std::string three = in.substr(i, 3);
    if (i + 2 < n && (three == "\x1B$B" || three == "\x1B$@")) {
      two = true;
      kana = false;
      i += 3;
    } else if (i + 2 < n && (three == "\x1B(B" || three == "\x1B(J" || three == "\x1B(I")) {
      two = false;
      kana = three == "\x1B(I";
      i += 3;
    } else if (in[i] == '\x0E') {
      two = false;
      kana = false;
      i += 1;
    } else if (two && i + 1 < n) {
      const int v = JisToSjis(static_cast<unsigned char>(in[i]), static_cast<unsigned char>(in[i + 1]));
      out += static_cast<char>(v >> 8);
      out += static_cast<char>(v & 0xFF);
      i += 2;
    } else if (kana && in[i] >= 0x21 && in[i] <= 0x5F) {
      out += static_cast<char>(in[i] + 0x80);
      i += 1;
    } else {
      out += in[i];
      i += 1;
    }
  }
  return out;
}

// Entities the slow way: one upper-cased copy for the group tests, then every form replaced in
// its own pass.
std::string ModelEntities(std::string line) {
  const std::string upper = sjis::ToUpper(line);
  struct Group {
    const char* name;
    std::vector<std::string> forms;
    char rep;
  };
  const Group groups[] = {{"&LT;", {"&LT;", "&lt;", "&Lt;", "&lT;"}, '<'},
                          {"&GT;", {"&GT;", "&gt;", "&Gt;", "&gT;"}, '>'},
                          {"&AMP;", {"&AMP;", "&amp;", "&Amp;"}, '&'},
                          {"&QUOT;", {"&QUOT;", "&quot;", "&Quot;"}, '"'},
                          {"&NBSP;", {"&NBSP;", "&nbsp;", "&Nbsp;"}, ' '}};
  // Plain substring searches: "&" is never a second byte, and the letters after it start characters.
  for (const Group& g : groups) {
    if (upper.find(g.name) == std::string::npos) continue;
    for (const std::string& f : g.forms) {
      std::string out;
      std::size_t from = 0;
      for (std::size_t h = line.find(f); h != std::string::npos; h = line.find(f, from)) {
        out += line.substr(from, h - from);
        out += g.rep;
        from = h + f.size();
      }
      line = out + line.substr(from);
    }
  }
  return line;
}

// Random lines built from pieces that matter to the decoders, in runs long enough for the
// sixteen-byte paths.
std::string RandomLine(std::mt19937& rng, const std::vector<std::string>& pieces) {
  std::string s;
  const int count = static_cast<int>(rng() % 40);
  for (int i = 0; i < count; ++i) {
    const std::string& piece = pieces[rng() % pieces.size()];
    const int repeat = (rng() % 4 == 0) ? 1 + static_cast<int>(rng() % 12) : 1;
    for (int k = 0; k < repeat; ++k) s += piece;
  }
  return s;
}

std::string RandomByte(std::mt19937& rng) {
  return std::string(1, static_cast<char>(rng() & 0xFF));
}

std::string Converted(ConvertState& page, std::string line) {
  ConvertLine(page, line);
  return line;
}

std::string Euc(std::string s) {
  DecodeEucJp(s);
  return s;
}

std::string Iso(std::string s) {
  DecodeIso2022Jp(s);
  return s;
}

std::string Utf8(std::string s) {
  Utf8ToAnsi(s);
  return s;
}

TEST(CharsetMapping, KnownCodes) {
  EXPECT_EQ(JisToSjis(0x21, 0x21), 0x8140);
  EXPECT_EQ(JisToSjis(0x5F, 0x21), 0xE040);
  EXPECT_EQ(JisToSjis(0x30, 0x21), 0x889F);  // 亜
  EXPECT_EQ(JisToSjis(0x24, 0x22), 0x82A0);  // あ
  EXPECT_EQ(JisToSjis(0x7E, 0x7E), 0xEFFC);
  EXPECT_EQ(EucToSjis(0xA1, 0xA1), 0x8140);
  EXPECT_EQ(EucToSjis(0xFE, 0xFE), 0xEFFC);
}

TEST(CharsetMapping, JisX0208IsABijectionOntoShiftJisPairs) {
  std::set<int> seen;
  for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      const int s = JisToSjis(j1, j2);
      const int lead = s >> 8;
      const int trail = s & 0xFF;
      ASSERT_TRUE(sjis::IsLeadByte(static_cast<unsigned char>(lead)) && lead <= 0xEF) << j1 << ' ' << j2;
      ASSERT_TRUE(trail >= 0x40 && trail <= 0xFC && trail != 0x7F) << j1 << ' ' << j2;
      ASSERT_TRUE(seen.insert(s).second) << j1 << ' ' << j2;
      ASSERT_EQ(EucToSjis(j1 | 0x80, j2 | 0x80), s) << j1 << ' ' << j2;
    }
  }
  EXPECT_EQ(seen.size(), 94u * 94u);
}

TEST(CharsetMapping, StrayEucByteBeforeAsciiUsesTheByteAsItIs) {
  // Even row: second byte - 2; odd row: second byte - 0x61 without the +1 of the folded form.
  EXPECT_EQ(EucToSjis(0xB0, 'A'), 0x883F);
  EXPECT_EQ(EucToSjis(0xB1, 'A'), 0x89E0);
  // Results wrap to bytes.
  EXPECT_EQ(EucToSjis(0x80, 0x00), 0x70FE);
  EXPECT_EQ(JisToSjis(0x9F, 0x21) >> 8, 0x00);
}

TEST(GuessEncoding, FirstTellingByteDecides) {
  EXPECT_EQ(GuessEncoding(""), kEncodingUnknown);
  EXPECT_EQ(GuessEncoding("plain <b>ascii</b> text"), kEncodingUnknown);
  EXPECT_EQ(GuessEncoding("abc\x1B$B\x30\x21"), kEncodingIso2022Jp);
  EXPECT_EQ(GuessEncoding("abc\x1B(Bxyz\x1B$"), kEncodingIso2022Jp);  // other escapes passed over
  EXPECT_EQ(GuessEncoding("a\x1B"), kEncodingUnknown);
  EXPECT_EQ(GuessEncoding("x" + kKanji), kEncodingShiftJis);
  EXPECT_EQ(GuessEncoding("x" + kEucKanji), kEncodingEucJp);
  // A half-width katakana first reads as EUC-JP.
  EXPECT_EQ(GuessEncoding("ｱｲｳ"), kEncodingEucJp);
  EXPECT_EQ(GuessEncoding("\xE0\x40"), kEncodingShiftJis);
  EXPECT_EQ(GuessEncoding("\xE0\xA1"), kEncodingEucJp);  // goes on with the 0xA1
  EXPECT_EQ(GuessEncoding("\xE0\xE0\x41"), kEncodingShiftJis);
  EXPECT_EQ(GuessEncoding("abc\xE0"), kEncodingShiftJis);  // the end counts as a zero byte
  EXPECT_EQ(GuessEncoding("\xFF\xFF"), kEncodingShiftJis);
  EXPECT_EQ(GuessEncoding("\x80\xA0"), kEncodingShiftJis);
  EXPECT_EQ(GuessEncoding(std::string("a\0\0b\x1B$", 6)), kEncodingIso2022Jp);
  // Long ASCII runs before the telling byte (the eight-at-a-time path).
  EXPECT_EQ(GuessEncoding(std::string(37, 'a') + "\x1B$B"), kEncodingIso2022Jp);
  EXPECT_EQ(GuessEncoding(std::string(40, 'a') + kEucKanji), kEncodingEucJp);
}

TEST(DecodeIso2022Jp, EscapesSwitchModes) {
  EXPECT_EQ(Iso("\x1B$B\x30\x21\x1B(B"), "\x88\x9F");
  EXPECT_EQ(Iso("News: " + kIsoKanji + " ok"), "News: " + kKanji + " ok");
  EXPECT_EQ(Iso("\x1B$@\x30\x21\x1B(Jx"), "\x88\x9Fx");
  // ESC ( I: half-width katakana, 0x21..0x5F, become their Shift_JIS bytes; others stay.
  EXPECT_EQ(Iso("\x1B$B\x30\x21\x1B(I\x31\x32\x5F\x60 \x1B(Bz"),
            "\x88\x9F"
            "ｱｲﾟ\x60 z");
  EXPECT_EQ(Iso("\x1B(I\x31\x0E\x31"), "ｱ1");
  // SO is dropped and ends two-byte mode; SI is an ordinary byte.
  EXPECT_EQ(Iso("\x1B$B\x30\x21\x0E\x30\x21"), "\x88\x9F\x30\x21");
  EXPECT_EQ(Iso("a\x0F\x62"), "a\x0F\x62");
  // Every line starts in single-byte mode.
  EXPECT_EQ(Iso("\x30\x21"), "\x30\x21");
}

TEST(DecodeIso2022Jp, MalformedInputIsCopied) {
  EXPECT_EQ(Iso("\x1B$Zab"), "\x1B$Zab");
  EXPECT_EQ(Iso("a\x1B$"), "a\x1B$");
  EXPECT_EQ(Iso("\x1B"), "\x1B");
  EXPECT_EQ(Iso("\x1B$B\x30"), "0");                          // odd byte left in two-byte mode
  EXPECT_EQ(Iso("\x1B$B\x30\x21\x1B("), "\x88\x9F\x7E\x47");  // a cut escape is a pair
  EXPECT_EQ(Iso(std::string("\x1B$B\0\0", 5)), std::string("\x70\x7E", 2));
  EXPECT_EQ(Iso("\x1B$B\xFF\xFF"), "\x30\x1F");
}

TEST(DecodeIso2022Jp, SplitAtEveryByte) {
  // ESC $ B, two characters, ESC ( B: each cut gives what the rules say for the front part (a cut
  // escape in two-byte mode is a pair), and the back part starts over in single-byte mode.
  const std::string line = "\x1B$B\x30\x21\x34\x41\x1B(B";
  const std::vector<std::string> front = {"", "\x1B", "\x1B$", "", "0", "\x88\x9F",
                                          // The literal is split so that the escape \x9F does not take the 4.
                                          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
                                          "\x88\x9F"
                                          "4",
                                          "\x88\x9F\x8A\xBF", "\x88\x9F\x8A\xBF\x1B",
                                          "\x88\x9F\x8A\xBF\x7E\x47", "\x88\x9F\x8A\xBF"};
  ASSERT_EQ(front.size(), line.size() + 1);
  for (std::size_t k = 0; k <= line.size(); ++k) {
    EXPECT_EQ(Iso(line.substr(0, k)), front[k]) << k;
    std::string back = Iso(line.substr(k));
    if (k >= 3 && k <= 7) {
      // Inside the two-byte run the back part is taken as single bytes until ESC ( B.
      EXPECT_EQ(back, line.substr(k, 7 - k)) << k;
    }
  }
}

TEST(DecodeEucJp, PairsKatakanaAndSupplementaryKanji) {
  EXPECT_EQ(Euc(kEucKanji), kKanji);
  EXPECT_EQ(Euc("<a>" + kEucKanji + "</a>"), "<a>" + kKanji + "</a>");
  // Half-width katakana (SS2) become their single Shift_JIS byte; text after stays in step.
  EXPECT_EQ(Euc("\x8E\xB1\x8E\xB2" + kEucKanji + "x"), "ｱｲ" + kKanji + "x");
  // A JIS X 0212 character (SS3) has no Shift_JIS form: one "?" and the rest in step.
  EXPECT_EQ(Euc("\x8F\xB0\xA1" + kEucKanji), "?" + kKanji);
  // A final high byte without a partner is kept; a stray one pairs with what follows.
  EXPECT_EQ(Euc("ab\xB4"), "ab\xB4");
  EXPECT_EQ(Euc("\xB0"
                "A"),
            "\x88\x3F");
  // SS2/SS3 without proper followers are ordinary pairs.
  EXPECT_EQ(Euc("\x8E"
                "A"),
            std::string("\x77\x3F"));
  EXPECT_EQ(Euc("\x8F\xB0"), "\x78\x4F");
  EXPECT_EQ(Euc("\x8F\xB0"
                "A"),
            "\x78\x4F"
            "A");
  // Long mixed text passes the eight-at-a-time ASCII path on both sides of the pairs.
  const std::string ascii(21, 'x');
  EXPECT_EQ(Euc(ascii + kEucKanji + ascii + "\x8E\xB3" + ascii + kEucKanji),
            ascii + kKanji + ascii + "ｳ" + ascii + kKanji);
}

TEST(DecodeEucJp, SplitAtEveryByte) {
  struct Piece {
    std::string in, out;
  };
  const std::vector<Piece> pieces = {{"a", "a"},
                                     {"\xB4\xC1", "\x8A\xBF"},
                                     {"\x8E\xB1", "\xB1"},
                                     {"\x8F\xB0\xA1", "?"},
                                     {"\xBB\xFA", "\x8E\x9A"},
                                     {"z", "z"}};
  std::string whole;
  std::vector<std::size_t> starts;
  for (const auto& p : pieces) {
    starts.push_back(whole.size());
    whole += p.in;
  }
  for (std::size_t k = 0; k <= whole.size(); ++k) {
    std::string expected;
    std::size_t i = 0;
    while (i < pieces.size() && starts[i] + pieces[i].in.size() <= k) expected += pieces[i++].out;
    const std::string front = Euc(whole.substr(0, k));
    if (i < pieces.size() && starts[i] < k) {
      // Cut inside a character: a lone high byte stays, two bytes of SS3 become a plain pair.
      const std::string part = whole.substr(starts[i], k - starts[i]);
      EXPECT_EQ(front, expected + Euc(part)) << k;
      EXPECT_EQ(front.size(), expected.size() + part.size()) << k;
    } else {
      EXPECT_EQ(front, expected) << k;
      std::string rest;
      for (std::size_t j = i; j < pieces.size(); ++j) rest += pieces[j].out;
      EXPECT_EQ(Euc(whole.substr(k)), rest) << k;
    }
  }
}

TEST(CharsetModel, DecodersMatchTheByteWiseRules) {
  std::mt19937 rng(12345);
  const std::vector<std::string> eucPieces = {"a",        "<p>",      " ",        "\xB4\xC1",     "\xA4\xA2",
                                              "\xFE\xFE", "\xDF\xA1", "\x8E\xB1", "\x8F\xB0\xA1", "\x8E",
                                              "\x8F",     "\xA0",     "\x80",     "\xFF"};
  const std::vector<std::string> isoPieces = {
      "a",           "<p>",      "\x1B$B", "\x1B$@", "\x1B(B", "\x1B(J", "\x1B(I", "\x30\x21",
      "\x7E\x7E",    "\x5F\x60", "\x1B",   "\x0E",   "\x0F",   "\x1B$",  "\xA4",   std::string(1, '\0'),
      "\x31\x5F\x21"};
  for (int i = 0; i < 4000; ++i) {
    std::string euc = RandomLine(rng, eucPieces);
    std::string iso = RandomLine(rng, isoPieces);
    if (i % 3 == 0) {
      euc += RandomByte(rng);
      iso += RandomByte(rng);
    }
    ASSERT_EQ(Euc(euc), ModelEuc(euc)) << i;
    ASSERT_EQ(Iso(iso), ModelIso(iso)) << i;
  }
}

TEST(CharsetModel, EntityDecodingMatchesFormByFormReplacement) {
  std::mt19937 rng(777);
  const std::vector<std::string> pieces = {
      "&",     "amp;",  "AMP;",  "Amp;",  "aMp;",  "lt;", "LT;", "lT;", "gt;",  "Gt;",  "quot;",
      "QUOT;", "Quot;", "nbsp;", "Nbsp;", "NBSP;", "x",   ";",   "表",  "\x81", "\x82", "&#12354;"};
  for (int i = 0; i < 6000; ++i) {
    const std::string line = RandomLine(rng, pieces);
    ConvertState page;
    page.inHead = 0;
    page.encoding = kEncodingShiftJis;
    ASSERT_EQ(Converted(page, line), ModelEntities(sjis::Trim(line))) << i << ": " << line;
  }
}

TEST(CharsetModel, HeadStateMatchesTheUpperCasedCopyTests) {
  std::mt19937 rng(4242);
  const std::vector<std::string> pieces = {
      "charset", "CHARSET", "ChArSeT",   "charse",    "euc-jp", "EUC_JP",      "x-euc-jp",
      "utf-8",   "UTF_8",   "shift_jis", "Shift-JIS", "x-sjis", "iso-2022-jp", "ISO_2022_JP",
      "<body>",  "<BODY>",  "<body ",    "<Body>",    "<",      "c",           "表",
      "\x81",    "\x83",    "xxxxxxx",   " ",         "="};
  for (int i = 0; i < 6000; ++i) {
    const std::string line = RandomLine(rng, pieces);
    ConvertState page;
    page.encoding = static_cast<int>(rng() % 5);
    page.inHead = 1;
    int encoding = page.encoding;
    const std::string upper = sjis::ToUpper(sjis::Trim(line));
    auto has = [&upper](const char* word) { return sjis::Find(upper, word) != std::string::npos; };
    if (has("CHARSET")) {
      if (has("ISO-2022-JP") || has("ISO_2022_JP")) encoding = kEncodingIso2022Jp;
      if (has("EUC-JP") || has("EUC_JP") || has("X-EUC-JP") || has("X_EUC_JP")) encoding = kEncodingEucJp;
      if (has("SHIFT-JIS") || has("SHIFT_JIS") || has("X-SJIS") || has("X_SJIS"))
        encoding = kEncodingShiftJis;
      if (has("UTF-8") || has("UTF_8")) encoding = kEncodingUtf8;
    }
    const int inHead = has("<BODY>") ? 0 : 1;
    Converted(page, line);
    ASSERT_EQ(page.encoding, encoding) << i << ": " << line;
    ASSERT_EQ(page.inHead, inHead) << i << ": " << line;
  }
}

TEST(Utf8ToAnsi, JapaneseAndAscii) {
  EXPECT_EQ(Utf8(u8"日本語のニュース"), "日本語のニュース");
  EXPECT_EQ(Utf8(u8"ｱｲｳ ①Ⅰ～"), "ｱｲｳ ①Ⅰ～");
  EXPECT_EQ(Utf8(u8"表示ソ能"), "表示ソ能");  // trail bytes 0x5C
  EXPECT_EQ(Utf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Utf8("plain"), "plain");
  EXPECT_EQ(Utf8(""), "");
}

TEST(Utf8ToAnsi, UnmappableAndInvalidBecomeDefaultCharacter) {
  EXPECT_EQ(Utf8("x\xEA\xB0\x80y"), "x?y");     // Hangul
  EXPECT_EQ(Utf8("\xE2\x82\xAC"), "?");         // euro sign
  EXPECT_EQ(Utf8("\xEF\xBF\xBD"), "?");         // U+FFFD itself
  EXPECT_EQ(Utf8("\xF0\x9F\x98\x80z"), "??z");  // outside the BMP: one per UTF-16 half
  EXPECT_EQ(Utf8("a\x80z"), "a?z");
  EXPECT_EQ(Utf8("\xFF\xFEz"), "??z");
  EXPECT_EQ(Utf8("\xC0\xAFz"), "??z");  // overlong
  EXPECT_EQ(Utf8("\xE0\x80\x80z"), "??z");
  EXPECT_EQ(Utf8("\xED\xA0\x80z"), "??z");       // a surrogate
  EXPECT_EQ(Utf8("\xF4\x90\x80\x80z"), "???z");  // past U+10FFFF
  EXPECT_EQ(Utf8("\xE3\x81z"), "?z");            // cut short before ASCII
  EXPECT_EQ(Utf8("\xC3\xC3\xA9z")[0], '?');
}

TEST(Utf8ToAnsi, SequenceCutAtTheLineEnd) {
  const std::string line = u8"aあ漢b";  // 61 E3 81 82 E6 BC A2 62
  const std::vector<std::string> front = {"", "a", "a?", "a?", "aあ", "aあ?", "aあ?", "aあ漢", "aあ漢b"};
  ASSERT_EQ(front.size(), line.size() + 1);
  for (std::size_t k = 0; k <= line.size(); ++k) {
    EXPECT_EQ(Utf8(line.substr(0, k)), front[k]) << k;
    // The back part starts with one "?" per stray continuation byte.
    const std::size_t stray = (k == 2 || k == 5) ? 2 : (k == 3 || k == 6) ? 1 : 0;
    const std::string back = Utf8(line.substr(k));
    EXPECT_EQ(back.substr(0, stray), std::string(stray, '?')) << k;
  }
}

TEST(ConvertLine, TrimsAndLeavesShiftJisAlone) {
  ConvertState page;
  page.inHead = 0;
  EXPECT_EQ(Converted(page, " \t" + kKanji + " <b>x</b>\r\n"), kKanji + " <b>x</b>");
  EXPECT_EQ(Converted(page, "   "), "");
  EXPECT_EQ(page.encoding, kEncodingUnknown);
  EXPECT_EQ(page.inHead, 0);
}

TEST(ConvertLine, DeclarationsInTheHeadLastOneWins) {
  ConvertState page;
  Converted(page, "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">");
  EXPECT_EQ(page.encoding, kEncodingShiftJis);
  EXPECT_EQ(Converted(page, "<title>" + kKanji + "</title>"), "<title>" + kKanji + "</title>");
  Converted(page, "<META CONTENT=\"text/html; charset=euc-jp\">");
  EXPECT_EQ(page.encoding, kEncodingEucJp);
  EXPECT_EQ(Converted(page, kEucKanji), kKanji);
  // Several names on one line: the later group in the test order wins, not the later position.
  Converted(page, "charset: utf-8 or euc-jp");
  EXPECT_EQ(page.encoding, kEncodingUtf8);
  Converted(page, "CHARSET=x_sjis; ISO-2022-JP");
  EXPECT_EQ(page.encoding, kEncodingShiftJis);
  Converted(page, "charset=iso_2022_jp");
  EXPECT_EQ(page.encoding, kEncodingIso2022Jp);
  EXPECT_EQ(Converted(page, kIsoKanji), kKanji);
  Converted(page, "<meta charset=\"x-euc-jp\">");
  EXPECT_EQ(page.encoding, kEncodingEucJp);
  // A name without the word CHARSET on the line is no declaration.
  Converted(page, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  EXPECT_EQ(page.encoding, kEncodingEucJp);
  Converted(page, "<meta charset=\"windows-31j\">");  // unknown name: unchanged
  EXPECT_EQ(page.encoding, kEncodingEucJp);
  EXPECT_EQ(page.inHead, 1);
}

TEST(ConvertLine, OnlyAPlainBodyTagEndsTheHead) {
  ConvertState page;
  Converted(page, "<body bgcolor=\"#ffffff\">");
  EXPECT_EQ(page.inHead, 1);
  Converted(page, "<BODY >");
  EXPECT_EQ(page.inHead, 1);
  Converted(page, "</head><body><p>");
  EXPECT_EQ(page.inHead, 0);
  // Declarations after the body are not read, and undeclared lines are no longer guessed.
  Converted(page, "<meta charset=euc-jp>");
  EXPECT_EQ(page.encoding, kEncodingUnknown);
  EXPECT_EQ(Converted(page, kEucKanji), kEucKanji);
  Converted(page, "<BODY>");
  EXPECT_EQ(page.inHead, 0);
}

TEST(ConvertLine, UndeclaredHeadLinesAreGuessedOneByOne) {
  ConvertState page;
  EXPECT_EQ(Converted(page, "<title>" + kEucKanji + "</title>"), "<title>" + kKanji + "</title>");
  EXPECT_EQ(page.encoding, kEncodingUnknown);  // the guess is not kept
  EXPECT_EQ(Converted(page, kKanji), kKanji);
  EXPECT_EQ(Converted(page, kIsoKanji), kKanji);
  // The line that ends the head is itself no longer guessed.
  EXPECT_EQ(Converted(page, "<body>" + kEucKanji), "<body>" + kEucKanji);
  EXPECT_EQ(Converted(page, kEucKanji), kEucKanji);
}

TEST(ConvertLine, CallerPresetAndUnknownCodes) {
  ConvertState page;
  page.encoding = kEncodingShiftJis;
  EXPECT_EQ(Converted(page, kEucKanji), kEucKanji);  // no guessing with a preset set
  page.encoding = kEncodingUtf8;
  page.inHead = 0;
  EXPECT_EQ(Converted(page, u8"速報 &lt;号外&gt;"), "速報 <号外>");
  for (int code : {-1, 5, 99}) {
    ConvertState odd;
    odd.encoding = code;
    EXPECT_EQ(Converted(odd, kEucKanji + " &amp;"), kEucKanji + " &") << code;
    EXPECT_EQ(odd.encoding, code);
  }
}

TEST(ConvertLine, EntitiesInTheListedFormsOnly) {
  ConvertState page;
  page.inHead = 0;
  EXPECT_EQ(Converted(page, "&lt;b&gt;News&lt;/b&gt;"), "<b>News</b>");
  EXPECT_EQ(Converted(page, "&LT;b&GT;"), "<b>");
  EXPECT_EQ(Converted(page, "&Lt;&lT;&Gt;&gT;"), "<<>>");
  EXPECT_EQ(Converted(page, "R&D &amp; co"), "R&D & co");
  EXPECT_EQ(Converted(page, "&AMP;&Amp;&aMp;&amP;"), "&&&aMp;&amP;");
  EXPECT_EQ(Converted(page, "&QUOT;a&quot;&Quot;&qUOT;"), "\"a\"\"&qUOT;");
  EXPECT_EQ(Converted(page, "a&NBSP;b&nbsp;c&Nbsp;d&nBSP;"), "a b c d&nBSP;");
  EXPECT_EQ(Converted(page, "&#12354; &copy; &lt &amp"), "&#12354; &copy; &lt &amp");
  // &amp; is decoded after &lt;, so an escaped entity is decoded once only.
  EXPECT_EQ(Converted(page, "&amp;lt;b&amp;gt;"), "&lt;b&gt;");
  // Within a group the forms are replaced one after another.
  EXPECT_EQ(Converted(page, "&AMP;amp;"), "&");
  EXPECT_EQ(Converted(page, "&&&lt;&&"), "&&<&&");
  EXPECT_EQ(Converted(page, kKanji + "&nbsp;" + kKanji), kKanji + " " + kKanji);
  // "&" is never a second byte: after a lone lead byte the entity is still one.
  EXPECT_EQ(Converted(page, "news\x82&lt;script&gt;\x81&amp;\x9F&quot;\xE0&nbsp;"),
            "news\x82<script>\x81&\x9F\"\xE0 ");
  // A letter of an entity name may be a second byte: 0x82 'l' is no "l".
  EXPECT_EQ(Converted(page, "&\x82lt;"), "&\x82lt;");
  // Entities are decoded after the conversion.
  ConvertState euc;
  euc.encoding = kEncodingEucJp;
  EXPECT_EQ(Converted(euc, kEucKanji + "&quot;"), kKanji + "\"");
}

TEST(ConvertLine, ByteOrderMarkAndXmlDeclarationNameTheSet) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string utf8Kanji = u8"漢字";
  struct Case {
    const char* what;
    int preset;                      // the set named by the server, or unknown
    std::vector<std::string> lines;  // the document's lines
    int encoding;                    // the set in force after them
    std::string last;                // the last line, converted
  };
  const Case cases[] = {
      {"a byte-order mark names UTF-8 for good",
       kEncodingShiftJis,
       {bom + "<html>", "<meta charset=Shift_JIS>", utf8Kanji},
       kEncodingUtf8,
       kKanji},
      {"a mark alone on its line leaves nothing", kEncodingUnknown, {bom}, kEncodingUtf8, ""},
      {"the declaration sets the set from its line on",
       kEncodingUnknown,
       {"<?xml version=\"1.0\" encoding=\"EUC-JP\"?>", kEucKanji},
       kEncodingEucJp,
       kKanji},
      {"the document's declaration wins over the server's",
       kEncodingUtf8,
       {"<?xml version='1.0' encoding='shift_jis' standalone='yes'?>", kKanji},
       kEncodingShiftJis,
       kKanji},
      {"an XML document without one is UTF-8",
       kEncodingUnknown,
       {"<?xml version=\"1.0\"?><rss>", utf8Kanji},
       kEncodingUtf8,
       kKanji},
      {"...unless the server named a set",
       kEncodingEucJp,
       {"<?xml version=\"1.0\"?>", kEucKanji},
       kEncodingEucJp,
       kKanji},
      {"an unknown name declares nothing",
       kEncodingUnknown,
       {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", kEucKanji},
       kEncodingUnknown,
       kKanji},
      {"a mark before the declaration holds against it",
       kEncodingUnknown,
       {bom + "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>", utf8Kanji},
       kEncodingUtf8,
       kKanji},
      {"the declaration's line is not read for CHARSET",
       kEncodingUnknown,
       {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><p>charset=euc-jp</p>"},
       kEncodingShiftJis,
       "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><p>charset=euc-jp</p>"},
      {"a later page declaration still switches",
       kEncodingUnknown,
       {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<meta charset=euc-jp>", kEucKanji},
       kEncodingEucJp,
       kKanji},
      {"a declaration after the first line is none",
       kEncodingUnknown,
       {"<html>", "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>"},
       kEncodingUnknown,
       "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>"},
      {"a look-alike is no declaration",
       kEncodingUnknown,
       {"<?xml-stylesheet href=\"a.xsl\"?>"},
       kEncodingUnknown,
       "<?xml-stylesheet href=\"a.xsl\"?>"},
  };
  for (const Case& c : cases) {
    ConvertState page;
    page.encoding = c.preset;
    std::string last;
    for (const std::string& line : c.lines) last = Converted(page, line);
    EXPECT_EQ(page.encoding, c.encoding) << c.what;
    EXPECT_EQ(last, c.last) << c.what;
  }
  // A fixed set no longer follows declarations, and a reader may turn the entity pass off.
  ConvertState fixed;
  fixed.encoding = kEncodingShiftJis;
  fixed.encodingFixed = true;
  fixed.decodeEntities = false;
  EXPECT_EQ(Converted(fixed, "<meta charset=euc-jp> &amp;"), "<meta charset=euc-jp> &amp;");
  EXPECT_EQ(fixed.encoding, kEncodingShiftJis);
}

TEST(CharsetNames, KnownNamesAndContentTypeParameter) {
  EXPECT_EQ(EncodingFromName("Shift_JIS"), kEncodingShiftJis);
  EXPECT_EQ(EncodingFromName(" windows-31j "), kEncodingShiftJis);
  EXPECT_EQ(EncodingFromName("x-euc-jp"), kEncodingEucJp);
  EXPECT_EQ(EncodingFromName("ISO-2022-JP"), kEncodingIso2022Jp);
  EXPECT_EQ(EncodingFromName("utf8"), kEncodingUtf8);
  for (const char* unknown : {"", "latin1", "UTF-16", "SHIFT_JISX0213", "EUC-JP-MS"}) {
    EXPECT_EQ(EncodingFromName(unknown), kEncodingUnknown) << unknown;
  }
  EXPECT_EQ(EncodingFromContentType("text/html; charset=UTF-8"), kEncodingUtf8);
  EXPECT_EQ(EncodingFromContentType("text/html;CHARSET=\"euc-jp\""), kEncodingEucJp);
  EXPECT_EQ(EncodingFromContentType("application/xml; q=1; charset = 'Shift_JIS' ; x=y"), kEncodingShiftJis);
  EXPECT_EQ(EncodingFromContentType("text/html"), kEncodingUnknown);
  EXPECT_EQ(EncodingFromContentType("text/charset=utf-8"), kEncodingUnknown);  // not a parameter
  EXPECT_EQ(EncodingFromContentType("text/html; xcharset=utf-8"), kEncodingUnknown);
  EXPECT_EQ(EncodingFromContentType("text/html; charset=\"utf-8"), kEncodingUnknown);
}

TEST(ConvertLine, BadInputNeverBreaksTheState) {
  const std::vector<std::string> lines = {std::string("\0\0\0", 3),
                                          "\xFF\xFF\xFF",
                                          "\x1B",
                                          "\x1B$",
                                          "\x1B$B",
                                          "\x1B$B\xFF",
                                          "\x8E",
                                          "\x8F\xA1",
                                          "\xE3\x81",
                                          "&",
                                          "&lt",
                                          "<BODY",
                                          "charset",
                                          std::string(1000, '\xA4'),
                                          "\x81&lt;"};
  for (int code = -1; code <= 5; ++code) {
    for (int head = 0; head <= 1; ++head) {
      for (const auto& l : lines) {
        ConvertState page;
        page.encoding = code;
        page.inHead = head;
        std::string s = l;
        ConvertLine(page, s);
        EXPECT_LE(s.size(), l.size() + 0u);
        EXPECT_EQ(page.encoding, code);
        EXPECT_EQ(page.inHead, head);
      }
    }
  }
}

}  // namespace
