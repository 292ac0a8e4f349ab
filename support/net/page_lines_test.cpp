#include "support/net/page_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadAll(const std::string& body, std::size_t block,
                                 std::size_t* rawLines = nullptr) {
  PageLines page;
  PageLineReader reader(page);
  for (std::size_t i = 0; i < body.size(); i += block) {
    reader.Feed(body.data() + i, std::min(block, body.size() - i));
  }
  reader.Finish();
  if (rawLines) *rawLines = reader.RawLineCount();
  return page.lines;
}

struct CollectingSink : PageLineSink {
  std::vector<std::string> lines;
  void OnLine(std::string& line) override { lines.push_back(line); }
};

int thousandCalls = 0;
void CountThousand() {
  ++thousandCalls;
}

}  // namespace

TEST(PageLineReader, SplitsTrimsAndSkipsEmptyLinesAtAnyBlockSize) {
  // CR LF and LF endings, blank and white-space-only lines, Shift_JIS text whose trail bytes look
  // like ASCII ("表" is 0x95 0x5C), and a last line without a line feed.
  const std::string body = "  <html>\r\n\r\n\t \r\nfirst line\n表示\x81\x40\n   \nlast  ";
  const std::vector<std::string> expected = {"<html>", "first line", "表示\x81\x40", "last"};
  for (std::size_t block : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(7), body.size()}) {
    std::size_t raw = 0;
    EXPECT_EQ(ReadAll(body, block, &raw), expected) << "block " << block;
    EXPECT_EQ(raw, 7u) << "block " << block;
  }
  EXPECT_TRUE(ReadAll("", 16).empty());
  EXPECT_TRUE(ReadAll("\n\r\n \n", 16).empty());
  EXPECT_EQ(ReadAll("a\nb\n", 16), (std::vector<std::string>{"a", "b"}));
}

// Found by fuzzing: a line that conversion empties (ISO-2022-JP shift sequences and nothing else)
// was stored, against the promise that no line is empty.
TEST(PageLineReader, LineEmptiedByConversionIsLeftOut) {
  PageLines page;
  page.encoding = kEncodingIso2022Jp;
  CollectingSink sink;
  PageLineReader reader(page, &sink);
  const std::string body = "a\n\x1b$B\x1b(B\n  \x1b$B\x1b(B  \nb";
  reader.Feed(body.data(), body.size());
  reader.Finish();
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(reader.RawLineCount(), 4u);
}

TEST(PageLineReader, SinkGetsConvertedLinesInOrderAndPageStaysEmpty) {
  PageLines page;
  page.inHead = 1;
  CollectingSink sink;
  PageLineReader reader(page, &sink);
  const std::string body = "<head>\n<BODY>\nx\n";
  EXPECT_TRUE(reader.Feed(body.data(), body.size()));
  reader.Finish();
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"<head>", "<BODY>", "x"}));
  EXPECT_TRUE(page.lines.empty());
  EXPECT_EQ(page.inHead, 0);  // the page state passes through the conversion
  EXPECT_EQ(page.GetLine(0), "");
}

TEST(PageLineReader, ThousandLineHookCountsEveryLineReadEmptyOnesIncluded) {
  PageLines page;
  PageLineReader reader(page);
  thousandCalls = 0;
  reader.onThousandLines = CountThousand;
  std::string body;
  for (int i = 0; i < 2999; ++i) body += (i % 2) ? "\n" : "text\n";
  reader.Feed(body.data(), body.size());
  EXPECT_EQ(thousandCalls, 2);
  reader.Feed("x", 1);
  EXPECT_EQ(thousandCalls, 2);
  reader.Finish();  // the unterminated last line is the 3000th
  EXPECT_EQ(thousandCalls, 3);
  EXPECT_EQ(reader.RawLineCount(), 3000u);
  EXPECT_EQ(page.lines.size(), 1501u);
}

TEST(PageLineReader, OverlongLineIsCutAndTheRestUpToTheLineFeedDropped) {
  const std::size_t limit = PageLineReader::kMaxLineBytes;
  const std::string body =
      "before\n" + std::string(limit * 3 + 17, 'a') + "\nafter\n" + std::string(limit + 1, 'b');
  for (std::size_t block : {std::size_t(65536), std::size_t(limit + 3), body.size()}) {
    std::vector<std::string> lines = ReadAll(body, block);
    ASSERT_EQ(lines.size(), 4u) << "block " << block;
    EXPECT_EQ(lines[0], "before");
    EXPECT_EQ(lines[1], std::string(limit, 'a'));
    EXPECT_EQ(lines[2], "after");
    EXPECT_EQ(lines[3], std::string(limit, 'b'));
  }
  // Exactly at the bound nothing is lost.
  EXPECT_EQ(ReadAll(std::string(limit, 'c') + "\nd", 4096),
            (std::vector<std::string>{std::string(limit, 'c'), "d"}));
}

TEST(PageLineReader, BodyLimitEndsTheReading) {
  PageLines page;
  CollectingSink sink;
  PageLineReader reader(page, &sink);
  // 1000-byte lines (one letter, then blanks, so that converting stays cheap), fed in 64 KiB
  // blocks, well past the limit.
  std::string line = "x" + std::string(998, ' ') + "\n";
  std::string block;
  while (block.size() < 65536) block += line;
  std::size_t fed = 0;
  bool more = true;
  while (more && fed < PageLineReader::kMaxBodyBytes + 4 * block.size()) {
    more = reader.Feed(block.data(), block.size());
    fed += block.size();
  }
  EXPECT_FALSE(more);
  EXPECT_LT(fed, PageLineReader::kMaxBodyBytes + block.size());
  EXPECT_FALSE(reader.Feed("y\n", 2));  // nothing more is taken
  reader.Finish();
  // Every whole line up to the limit, and the start of the one the limit cut.
  std::size_t whole = PageLineReader::kMaxBodyBytes / line.size();
  EXPECT_EQ(reader.RawLineCount(), whole + 1);
  EXPECT_EQ(sink.lines.size(), whole + 1);
  EXPECT_EQ(sink.lines.back(), "x");
  EXPECT_TRUE(page.lines.empty());
}

TEST(PageLines, GetLinePastTheEndIsEmpty) {
  PageLines page;
  page.lines = {"a", "b"};
  EXPECT_EQ(page.LineCount(), 2u);
  EXPECT_EQ(page.GetLine(1), "b");
  EXPECT_EQ(page.GetLine(2), "");
  EXPECT_EQ(page.GetLine(static_cast<std::size_t>(-1)), "");
}
