#include "tools/extract/console.h"

#include <gtest/gtest.h>

namespace {

TEST(SjisToUtf8, ConvertsCodePage932) {
  // Narrow literals are Shift_JIS; the expected text is spelled in UTF-8 bytes.
  EXPECT_EQ(SjisToUtf8("abc"), "abc");
  EXPECT_EQ(SjisToUtf8("日本語"), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
  EXPECT_EQ(SjisToUtf8("①～"), "\xE2\x91\xA0\xEF\xBD\x9E");  // code page 932 extensions
  EXPECT_EQ(SjisToUtf8("\xB1"), "\xEF\xBD\xB1");             // half-width katakana
  EXPECT_EQ(SjisToUtf8(""), "");
}

TEST(SjisToUtf8, BadBytesDoNotStopTheLine) {
  const std::string out = SjisToUtf8("a\x81");  // a lone lead byte at the end
  EXPECT_EQ(out.substr(0, 1), "a");
  EXPECT_GT(out.size(), 1u);
  const std::string mid = SjisToUtf8("a\xA0z日");
  EXPECT_EQ(mid.substr(0, 1), "a");
  EXPECT_EQ(mid.substr(mid.size() - 4), "z\xE6\x97\xA5");
}

}  // namespace
