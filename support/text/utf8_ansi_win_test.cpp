// The Windows conversion of UTF-8 lines, run under the Japanese locale (code page 932).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/text/charset.h"

namespace {

std::string Utf8(std::string s) {
  Utf8ToAnsi(s);
  return s;
}

TEST(Utf8ToAnsiWindows, RunsUnderCodePage932) {
  ASSERT_EQ(GetACP(), 932u);
}

TEST(Utf8ToAnsiWindows, BestFitMappingsOfTheSystem) {
  // Latin letters and signs without a Shift_JIS form get the system's nearest character.
  EXPECT_EQ(Utf8("caf\xC3\xA9"), "cafe");
  EXPECT_EQ(Utf8("\xC2\xA9"), "c");
  EXPECT_EQ(Utf8("\xC2\xA5"), "\\");
  EXPECT_EQ(Utf8("\xC2\xB7"), "\x81\x45");
  // The wave dash and the minus sign of JIS-origin text have none: the default character.
  EXPECT_EQ(Utf8("\xE3\x80\x9C"), "?");
  EXPECT_EQ(Utf8("\xE2\x88\x92"), "?");
  EXPECT_EQ(Utf8("\xEF\xBD\x9E"), "\x81\x60");  // the full-width tilde is the code page's own
}

TEST(Utf8ToAnsiWindows, CutSequenceAtTheEnd) {
  // A sequence cut off by the end of the line is one default character; Wine's converter also
  // swallows the bytes that were read as its continuation.
  EXPECT_EQ(Utf8("a\xE3\x81").substr(0, 2), "a?");
  EXPECT_EQ(Utf8("a\xE3z").substr(0, 2), "a?");
}

}  // namespace
