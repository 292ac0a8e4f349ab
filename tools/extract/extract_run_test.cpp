#include "tools/extract/extract_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/test_server.h"
#include "ticker/news/news_list.h"

namespace {

namespace fs = std::filesystem;

// A file of its own in the temporary folder, removed afterwards.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    path = fs::temp_directory_path() /
           ("zellora-extract-test-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~TempFile() {
    std::error_code ec;
    fs::remove(path, ec);
  }
  std::string Name() const { return path.string(); }

 private:
  fs::path path;
};

ExtractOptions FileOptions(const std::string& name, int level = 1) {
  ExtractOptions options;
  options.target = name;
  options.level = level;
  return options;
}

TEST(ExtractRun, FileIsReadLikeAFetchedBody) {
  // EUC-JP, undeclared: head lines are guessed until "<BODY>", later lines are taken as they are.
  TempFile file(
      "<html><head><title>\xC6\xFC\xCB\xDC</title></head>\r\n<BODY>\n\n  \xB7\xD0\xBA\xD1 &amp; co  \n");
  std::string out;
  EXPECT_EQ(RunExtract(FileOptions(file.Name()), out), 0);
  EXPECT_EQ(out, "日本\n\xB7\xD0\xBA\xD1 & co\n");

  // With the set given, the body lines are converted too; UTF-8 output for a terminal.
  TempFile declared("<body>\n\xB7\xD0\xBA\xD1\n");
  ExtractOptions options = FileOptions(declared.Name());
  options.encoding = 3;
  options.utf8 = true;
  out.clear();
  EXPECT_EQ(RunExtract(options, out), 0);
  EXPECT_EQ(out, "\n\xE7\xB5\x8C\xE6\xB8\x88\n");
}

TEST(ExtractRun, EveryItemIsOneLine) {
  NewsList list;
  list.title = "t\rx";
  list.items = {"a\nb", "c"};
  EXPECT_EQ(FormatNewsList(list, false), "t x\na b\nc\n");
  // With links: the title line as before, every item with a TAB and its link (or nothing); a TAB
  // inside an item cannot be taken for the separator.
  list.title = "t\tx";
  list.items = {"a\tb", "c", "d"};
  list.links = {"http://e.jp/a", ""};
  EXPECT_EQ(FormatNewsList(list, false, true), "t x\na b\thttp://e.jp/a\nc\t\nd\t\n");
  EXPECT_EQ(FormatNewsList(list, false, false), "t\tx\na\tb\nc\nd\n");
}

TEST(ExtractRun, LevelAndMissingFile) {
  TempFile file("<p>12345<p>1234\n");
  std::string out;
  EXPECT_EQ(RunExtract(FileOptions(file.Name(), 5), out), 0);
  EXPECT_EQ(out, "\n12345\n");

  const std::string missing = file.Name() + ".missing";
  out.clear();
  EXPECT_EQ(RunExtract(FileOptions(missing), out), 1);
  EXPECT_EQ(out, "\n＜ページが見つかりません " + missing + "＞\n");
}

TEST(ExtractRun, UnreachableUrlPrintsTheErrorItem) {
  ExtractOptions options;
  options.target = "http://127.0.0.1:1/";
  options.isUrl = true;
  std::string out;
  EXPECT_EQ(RunExtract(options, out), 1);
  EXPECT_EQ(out, "\n＜ページが見つかりません http://127.0.0.1:1/＞\n");
}

class ExtractRunFetch : public HttpServerTest {};

TEST_F(ExtractRunFetch, ReferrerGoesOutOnlyWithoutControlCharacters) {
  // What --referrer gives reaches the one header builder: a value holding CR, LF or another
  // control character goes out as an empty Referer and adds no header line of its own.
  const struct {
    const char* referrer;
    const char* sent;
  } cases[] = {
      {"http://news.example.jp/top", "http://news.example.jp/top"},
      {"", ""},
      {"http://r.example/\r\nX-Injected: 1", ""},
      {"http://r.example/\nX-Injected: 1", ""},
      {"x\x1b[0m", ""},
  };
  for (const auto& c : cases) {
    server->ClearRequests();
    ExtractOptions options;
    options.target = server->Url("/page?body=%3Cp%3Eheadline");
    options.isUrl = true;
    options.level = 1;
    options.hasReferrer = true;
    options.referrer = c.referrer;
    std::string out;
    EXPECT_EQ(RunExtract(options, out), 0) << c.referrer;
    EXPECT_EQ(out, "\nheadline\n") << c.referrer;
    const std::string requests = server->Requests();
    EXPECT_NE(requests.find("\r\nReferer: " + std::string(c.sent) + "\r\n"), std::string::npos) << requests;
    EXPECT_EQ(requests.find("X-Injected"), std::string::npos) << requests;
  }
}

}  // namespace
