// The native UTF-8 conversion, and the decoders against iconv on the real pages of the corpus.
#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/text/charset.h"
#include "support/text/sjis.h"

namespace {

std::string Utf8(std::string s) {
  Utf8ToAnsi(s);
  return s;
}

TEST(Utf8ToAnsiNative, IconvMappings) {
  // Characters that only a best-fit table would map stay the default character natively.
  EXPECT_EQ(Utf8("caf\xC3\xA9"), "caf?");
  EXPECT_EQ(Utf8("\xC2\xA9"), "?");
  EXPECT_EQ(Utf8("\xC2\xA5"), "\\");
  // iconv's table takes the JIS-origin wave dash and minus sign to their Shift_JIS places.
  EXPECT_EQ(Utf8("\xE3\x80\x9C"), "\x81\x60");
  EXPECT_EQ(Utf8("\xE2\x88\x92"), "\x81\x7C");
  EXPECT_EQ(Utf8("\xEF\xBD\x9E"), "\x81\x60");
  EXPECT_EQ(Utf8("\xEE\x80\x80"), "\xF0\x40");  // user-defined area
}

TEST(Utf8ToAnsiNative, CutSequenceKeepsWhatFollows) {
  EXPECT_EQ(Utf8("a\xE3z"), "a?z");
  EXPECT_EQ(Utf8("a\xF0\x9F\x98z"), "a?z");
  EXPECT_EQ(Utf8("a\xE3\x81"), "a?");
}

// The chardet pages of the shared folder beside the source tree, else the machine's. The source tree
// is the build's absolute ZELLORA_SOURCE_DIR: __FILE__ is a path relative to the build tree in the
// clang build (its rewritten copies) and where the compiler cache rewrites paths under its base dir.
std::string CorpusDir() {
  for (const std::string& dir : {std::string(ZELLORA_SOURCE_DIR) + "/../shared/corpus/chardet",
                                 std::string("/work/shared/corpus/chardet")}) {
    std::ifstream probe(dir + "/LICENSE");
    if (probe) return dir;
  }
  return "";
}

std::vector<std::string> CorpusLines(const std::string& dir, const char* const* files) {
  std::vector<std::string> lines;
  for (const char* const* f = files; *f; ++f) {
    std::ifstream in(dir + "/" + *f, std::ios::binary);
    EXPECT_TRUE(in) << *f;
    std::string line;
    while (std::getline(in, line)) {
      std::string t = sjis::Trim(line);
      if (!t.empty()) lines.push_back(t);
    }
  }
  return lines;
}

// iconv's answer for one line, or false when it does not convert the whole line.
bool IconvLine(const char* from, const std::string& line, std::string& out) {
  iconv_t cd = iconv_open("CP932", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = line;
  out.assign(line.size() * 2 + 16, '\0');
  char* inPtr = &in[0];
  char* outPtr = &out[0];
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return ok;
}

TEST(CharsetCorpus, EucJpPagesMatchIconv) {
  const std::string dir = CorpusDir();
  if (dir.empty()) GTEST_SKIP() << "corpus not found";
  static const char* const files[] = {"EUC-JP/arclamp.jp.xml",
                                      "EUC-JP/aivy.co.jp.xml",
                                      "EUC-JP/akaname.main.jp.xml",
                                      "EUC-JP/_ude_1.txt",
                                      "EUC-JP/_mozilla_bug426271_text-euc-jp.html",
                                      nullptr};
  int compared = 0;
  for (const std::string& line : CorpusLines(dir, files)) {
    std::string expected;
    if (!IconvLine("EUC-JP-MS", line, expected)) continue;
    std::string got = line;
    DecodeEucJp(got);
    EXPECT_EQ(got, expected) << line;
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

TEST(CharsetCorpus, Iso2022JpAndUtf8PagesMatchIconv) {
  const std::string dir = CorpusDir();
  if (dir.empty()) GTEST_SKIP() << "corpus not found";
  static const char* const iso[] = {"iso-2022-jp/_ude_1.txt", nullptr};
  int compared = 0;
  for (const std::string& line : CorpusLines(dir, iso)) {
    std::string expected;
    ASSERT_TRUE(IconvLine("ISO-2022-JP", line, expected)) << line;
    std::string got = line;
    DecodeIso2022Jp(got);
    EXPECT_EQ(got, expected) << line;
    ++compared;
  }
  static const char* const utf8[] = {"utf-8/_chromium_UTF-8_with_no_encoding_specified.html", nullptr};
  for (const std::string& line : CorpusLines(dir, utf8)) {
    std::string expected;
    // Lines with characters outside code page 932 (the page is Chinese) are left to the
    // mapping tests above.
    if (!IconvLine("UTF-8", line, expected)) continue;
    EXPECT_EQ(Utf8(line), expected) << line;
    ++compared;
  }
  EXPECT_GT(compared, 15);
}

}  // namespace
