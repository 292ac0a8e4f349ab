// The download rules against a scripted host: which tags lead to which file, and what the
// transfer writes, shows and deletes.
#include "catalogue/download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "catalogue/catalogue_content.h"
#include "catalogue/page_scan.h"
#include "support/net/page_lines.h"

namespace catalogue {
namespace {

struct ServedFile {
  std::string bytes;
  bool hasLength = true;
  std::uint64_t length = 0;  // announced; bytes.size() unless set
  bool lengthSet = false;
};

class FakeHost : public DownloadHost {
 public:
  std::map<std::string, std::string> pages;  // address -> body
  std::map<std::string, ServedFile> files;   // address -> file
  std::map<std::string, std::string> disk;   // path -> contents
  std::vector<std::string> fetched;
  std::vector<std::string> opened;
  std::vector<std::size_t> readSizes;
  std::vector<std::string> statuses, remainings, rates;
  std::uint64_t progressRange = 0, progressPosition = 0;
  std::string desktop = "C:\\Users\\ab cd\\Desktop";
  std::string host = "shop.test";
  int chooserShown = 0;
  std::string proposed;
  std::function<bool(std::string&)> choose = [](std::string&) { return true; };
  bool cancelled = false;
  int cancelAfterReads = -1;  // set the cancel flag after this many reads
  int failAppendAt = -1;      // the n-th append fails
  int appends = 0;
  std::int64_t clock = 100;
  std::int64_t secondsPerRead = 0;

  int PumpMessages(int) override { return cancelled ? 0 : 1; }
  bool IsCancelled() override { return cancelled; }
  bool FetchPage(const std::string& url, PageLines& page) override {
    fetched.push_back(url);
    auto it = pages.find(url);
    if (it == pages.end()) return false;
    page.lines.clear();
    page.encoding = 1;
    page.inHead = 1;
    PageLineReader reader(page);
    reader.Feed(it->second.data(), it->second.size());
    reader.Finish();
    return true;
  }
  std::string ShopHost() override { return host; }

  bool OpenFile(const std::string& url) override {
    opened.push_back(url);
    auto it = files.find(url);
    if (it == files.end()) return false;
    current = &it->second;
    offset = 0;
    return true;
  }
  bool FileLength(std::uint64_t& length) override {
    if (!current->hasLength) return false;
    length = current->lengthSet ? current->length : current->bytes.size();
    return true;
  }
  long ReadFile(char* buffer, std::size_t size) override {
    readSizes.push_back(size);
    clock += secondsPerRead;
    if (cancelAfterReads >= 0 && static_cast<int>(readSizes.size()) > cancelAfterReads) cancelled = true;
    std::size_t n = std::min(size, current->bytes.size() - offset);
    std::copy_n(current->bytes.data() + offset, n, buffer);
    offset += n;
    return static_cast<long>(n);
  }
  void CloseFile() override { current = nullptr; }
  std::string DesktopFolder() override { return desktop; }
  bool ChooseSavePath(std::string& path) override {
    ++chooserShown;
    proposed = path;
    return choose(path);
  }
  bool RemoveFile(const std::string& path) override { return disk.erase(path) > 0; }
  bool AppendToFile(const std::string& path, const char* bytes, std::size_t count) override {
    if (++appends == failAppendAt) return false;
    if (count == 0) {
      disk[path];  // opened or created, nothing written
      return true;
    }
    disk[path].append(bytes, count);
    return true;
  }
  std::int64_t NowSeconds() override { return clock; }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void SetProgressRange(std::uint64_t length) override { progressRange = length; }
  void SetProgressPosition(std::uint64_t position) override { progressPosition = position; }
  void SetRemaining(const std::string& text) override { remainings.push_back(text); }
  void SetRate(const std::string& text) override { rates.push_back(text); }

 private:
  ServedFile* current = nullptr;
  std::size_t offset = 0;
};

const std::string kPage = "http://shop.test/soft/x.html";
const std::string kFile = "http://files.test/dl/setup.exe";
const std::string kSaved = "C:\\Users\\ab cd\\Desktop\\setup.exe";

class Resolve : public testing::Test {
 protected:
  int Run(const std::string& body) {
    host.pages[kPage] = body;
    return ResolveDownloadPage(host, kPage, kDownloadMarker, path);
  }
  FakeHost host;
  std::string path;
};

TEST_F(Resolve, MetaDownloadInTheHeadLeadsStraightToTheFile) {
  host.files[kFile].bytes = "MZ installer";
  EXPECT_EQ(Run("<html><head>\n<title>x</title><meta name=\"DOWNLOAD\" content=\"" + kFile +
                "\">\n</head><body>text</body></html>\n"),
            1);
  EXPECT_EQ(host.opened, std::vector<std::string>{kFile});
  EXPECT_EQ(path, kSaved);
  EXPECT_EQ(host.disk[kSaved], "MZ installer");
  EXPECT_EQ(host.fetched, std::vector<std::string>{kPage});
}

TEST_F(Resolve, MetaDownloadOutsideTheHeadIsIgnored) {
  host.files[kFile].bytes = "MZ";
  // Before any <HEAD> and after </HEAD>: neither counts.
  EXPECT_EQ(Run("<meta name=\"download\" content=\"" + kFile +
                "\">\n<HEAD></HEAD>\n<META NAME=\"DOWNLOAD\" CONTENT=\"" + kFile + "\">\n"),
            0);
  EXPECT_TRUE(host.opened.empty());
  EXPECT_TRUE(host.disk.empty());
}

TEST_F(Resolve, AnEmptyOrUnquotedContentIsPassedOver) {
  host.files[kFile].bytes = "MZ";
  EXPECT_EQ(Run("<head><meta name=download content=\"\"><meta name=download content=x.exe>\n"
                "<meta name=\"download\" content=\"" +
                kFile + "\"></head>\n"),
            1);
  EXPECT_EQ(host.opened, std::vector<std::string>{kFile});
}

TEST_F(Resolve, MarkedImageFollowsTheLastLinkOnTheShopsServer) {
  host.pages["http://shop.test/go/two.html"] =
      "<html><head><meta http-equiv=\"Refresh\" content=\"0; URL=" + kFile + "\"></head></html>\n";
  host.files[kFile].bytes = std::string(10000, 'z');
  EXPECT_EQ(Run("<body><a href=\"go/one.html\">1</a> <a name=top> <A HREF=\"go/two.html\">2</A>\n"
                "<p><img src=\"dl.gif\" alt=\"HTTPでダウンロード\"></p><a href=\"go/three.html\">\n"),
            1);
  EXPECT_EQ(host.fetched, (std::vector<std::string>{kPage, "http://shop.test/go/two.html"}));
  EXPECT_EQ(host.disk[kSaved], std::string(10000, 'z'));
}

TEST_F(Resolve, MarkedImageBeforeAnyLinkFollowsTheShopsTopPage) {
  host.pages["http://shop.test/"] =
      "<HEAD><META HTTP-EQUIV=\"REFRESH\" CONTENT=\"0;URL=" + kFile + "\"></HEAD>\n";
  host.files[kFile].bytes = "top";
  EXPECT_EQ(Run("<img alt=\"HTTPでダウンロード\" src=\"a.gif\">\n<a href=\"late.html\">\n"), 1);
  EXPECT_EQ(host.fetched.back(), "http://shop.test/");
}

TEST_F(Resolve, ImageWithoutTheMarkerAndTagsSplitOverLinesAreNeverSeen) {
  host.files[kFile].bytes = "MZ";
  EXPECT_EQ(Run("<head><meta name=\"DOWNLOAD\"\ncontent=\"" + kFile +
                "\"></head>\n"
                "<body><img alt=\"HTTPで\nダウンロード\"><img alt=\"FTPでダウンロード\">\n"),
            0);
  EXPECT_TRUE(host.opened.empty());
  EXPECT_EQ(host.fetched.size(), 1u);
}

TEST_F(Resolve, PagesFailingToLoadOrCancelledSaveNothing) {
  EXPECT_EQ(ResolveDownloadPage(host, "http://nowhere.test/", kDownloadMarker, path), 0);
  host.files[kFile].bytes = "MZ";
  host.cancelled = true;
  EXPECT_EQ(Run("<head><meta name=\"DOWNLOAD\" content=\"" + kFile + "\"></head>\n"), 0);
  EXPECT_TRUE(host.opened.empty());
}

TEST_F(Resolve, TheResultOfTheTransferIsTheResult) {
  host.files[kFile].hasLength = false;
  EXPECT_EQ(Run("<head><meta name=\"DOWNLOAD\" content=\"" + kFile +
                "\"><meta name=\"DOWNLOAD\" content=\"x\"></head>\n"),
            0);
  EXPECT_EQ(host.opened, std::vector<std::string>{kFile});  // the first match decides
  EXPECT_EQ(host.chooserShown, 0);
}

class Follow : public testing::Test {
 protected:
  int Run(const std::string& body) {
    host.pages["http://shop.test/r.html"] = body;
    return FollowLinkPage(host, "r.html", kRefreshWord, path);
  }
  FakeHost host;
  std::string path;
};

TEST_F(Follow, RefreshInTheHeadWithUpperCaseUrlLeadsToTheFile) {
  host.files[kFile].bytes = "abc";
  EXPECT_EQ(Run("<head>\n<meta http-equiv=\"refresh\" content=\"3;URL=" + kFile + "\">\n</head>\n"), 1);
  EXPECT_EQ(host.opened, std::vector<std::string>{kFile});
}

TEST_F(Follow, LowerCaseUrlEmptyAddressesAndTagsOutsideTheHeadDoNotMatch) {
  host.files[kFile].bytes = "abc";
  EXPECT_EQ(
      Run("<meta http-equiv=\"refresh\" content=\"0;URL=" + kFile +
          "\">\n<head>\n"
          "<meta http-equiv=\"refresh\" content=\"0;url=" +
          kFile +
          "\">\n"
          "<meta http-equiv=\"refresh\" content=\"0;URL=\">\n<meta http-equiv=\"refresh\" content=0;URL=x>\n"
          "<meta name=\"other\" content=\"0;URL=" +
          kFile +
          "\">\n</head>\n"
          "<meta http-equiv=\"refresh\" content=\"0;URL=" +
          kFile + "\">\n"),
      0);
  EXPECT_TRUE(host.opened.empty());
}

TEST(PageScan, CutsLinesIntoTextAndTags) {
  std::string line = "ab<x>cd <y z=\"1>\"> <open";
  std::size_t pos = 0;
  std::string_view tag;
  std::vector<std::string> tags;
  int texts = 0;
  for (Piece p; (p = NextPiece(line, pos, tag)) != Piece::kEnd;) {
    if (p == Piece::kTag) tags.emplace_back(tag);
    if (p == Piece::kText) ++texts;
  }
  EXPECT_EQ(tags, (std::vector<std::string>{"<x>", "<y z=\"1>"}));
  EXPECT_EQ(texts, 3);  // "ab", "cd ", "\"> "
}

TEST(PageScan, QuotedAndRefreshValues) {
  std::string v;
  EXPECT_TRUE(QuotedValue("<A HREF=\"x.html\" TITLE=\"t\">", "href", v));
  EXPECT_EQ(v, "x.html");
  // The value keeps its case and its double-byte characters (ソ ends in 0x5C).
  EXPECT_TRUE(QuotedValue("<meta content=\"ソフト/Setup.EXE\">", "content", v));
  EXPECT_EQ(v, "ソフト/Setup.EXE");
  // Without the key the first quoted text counts.
  EXPECT_TRUE(QuotedValue("<a name=\"n\">", "href", v));
  EXPECT_EQ(v, "n");
  EXPECT_FALSE(QuotedValue("<a href=\"open>", "href", v));
  EXPECT_TRUE(RefreshValue("<meta content=\"0; URL=http://h/a b.exe\">", v));
  EXPECT_EQ(v, "http://h/a b.exe");
  EXPECT_FALSE(RefreshValue("<meta content=\"0; Url=http://h/\">", v));
  EXPECT_FALSE(RefreshValue("<meta content=0;URL=http://h/>", v));
}

// ---- transfer ----

TEST(DownloadTexts, SizesRatesAndRemainingTimeAtTheirBoundaries) {
  EXPECT_EQ(FormatSize(0), "0 Bytes");
  EXPECT_EQ(FormatSize(1023), "1023 Bytes");
  EXPECT_EQ(FormatSize(1024), "1 KB");
  EXPECT_EQ(FormatSize(1536), "1 KB");
  EXPECT_EQ(FormatSize(1048575), "1023 KB");
  EXPECT_EQ(FormatSize(1048576), "1.00 MB");
  EXPECT_EQ(FormatSize(1572864), "1.50 MB");
  EXPECT_EQ(RateText(1024), "1024 Bytes/秒");
  EXPECT_EQ(RateText(1025), "1 KB/秒");
  EXPECT_EQ(RateText(2048), "2 KB/秒");
  EXPECT_EQ(RateText(0), "0 Bytes/秒");
  EXPECT_EQ(RemainingText(60, "2 KB", "1 KB"), "60秒 (2 KB 中の 1 KB をコピーしました)");
  EXPECT_EQ(RemainingText(61, "2 KB", "1 KB"), "1分01秒 (2 KB 中の 1 KB をコピーしました)");
  EXPECT_EQ(RemainingText(3600, "a", "b"), "60分00秒 (a 中の b をコピーしました)");
  EXPECT_EQ(RemainingSeconds(100, 1000), 1u);  // never below a second
  EXPECT_EQ(RemainingSeconds(5000, 1000), 5u);
  EXPECT_EQ(RemainingSeconds(5000, 0), 4u);  // no rate: as if 1024 bytes a second
  EXPECT_EQ(RemainingSeconds(0, 0), 0u);
}

class Transfer : public testing::Test {
 protected:
  int Run(const std::string& address = kFile) { return TransferFile(host, address, path); }
  FakeHost host;
  std::string path;
};

TEST_F(Transfer, SavesEveryByteInBlocksWithTheProgressTexts) {
  std::string bytes;
  for (int i = 0; i < 10000; ++i) bytes += static_cast<char>(i * 7);
  host.files[kFile].bytes = bytes;
  host.secondsPerRead = 1;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(host.proposed, kSaved);
  EXPECT_EQ(host.disk[kSaved], bytes);
  EXPECT_EQ(host.readSizes, (std::vector<std::size_t>{4096, 4096, 1808}));
  EXPECT_EQ(host.statuses, std::vector<std::string>{"ダウンロードしています．．．\nsetup.exe"});
  EXPECT_EQ(host.progressRange, 10000u);
  EXPECT_EQ(host.progressPosition, 10000u);
  // Before the first block: 10000 / 1024 seconds; then by the measured rate.
  ASSERT_EQ(host.remainings.size(), 4u);
  EXPECT_EQ(host.remainings[0], "9秒 (9 KB 中の 0 Bytes をコピーしました)");
  EXPECT_EQ(host.remainings[1], "1秒 (9 KB 中の 4 KB をコピーしました)");  // 5904 / 4096
  EXPECT_EQ(host.remainings[3], "1秒 (9 KB 中の 9 KB をコピーしました)");
  EXPECT_EQ(host.rates, (std::vector<std::string>{"1024 Bytes/秒", "4 KB/秒", "4 KB/秒", "3 KB/秒"}));
}

TEST_F(Transfer, WithinTheFirstSecondTheRateStaysAtItsStartValue) {
  host.files[kFile].bytes = std::string(200000, 'x');
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(host.rates.back(), "1024 Bytes/秒");
  EXPECT_EQ(host.remainings[0], "3分15秒 (195 KB 中の 0 Bytes をコピーしました)");
}

TEST_F(Transfer, NoLengthMeansNoSaveDialogAndFailure) {
  host.files[kFile].bytes = "abc";
  host.files[kFile].hasLength = false;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(host.chooserShown, 0);
  EXPECT_TRUE(host.disk.empty());
  EXPECT_EQ(Run("http://files.test/missing"), 0);
}

TEST_F(Transfer, ZeroLengthReplacesAnyOldFileWithAnEmptyOne) {
  host.files[kFile].bytes = "";
  host.disk[kSaved] = "old";
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(host.chooserShown, 1);
  ASSERT_EQ(host.disk.count(kSaved), 1u);  // the old one removed, an empty one made
  EXPECT_EQ(host.disk[kSaved], "");
  EXPECT_TRUE(host.readSizes.empty());
}

TEST_F(Transfer, ABodyShorterThanAnnouncedFailsAndLeavesNoFile) {
  host.files[kFile].bytes = std::string(5000, 'a');
  host.files[kFile].length = 9000;
  host.files[kFile].lengthSet = true;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(host.disk.count(kSaved), 0u);
}

TEST_F(Transfer, CancelMidTransferDeletesThePartialFile) {
  host.files[kFile].bytes = std::string(50000, 'c');
  host.cancelAfterReads = 2;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(host.readSizes.size(), 3u);
  EXPECT_EQ(host.disk.count(kSaved), 0u);
}

TEST_F(Transfer, AFailedWriteOrACancelledSaveDialogFails) {
  host.files[kFile].bytes = std::string(9000, 'w');
  host.failAppendAt = 3;  // the second block
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(host.disk.count(kSaved), 0u);
  host.choose = [](std::string&) { return false; };
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(host.disk.empty());
}

TEST_F(Transfer, TheChosenPathIsWhereTheFileGoes) {
  host.files["setup.exe"].bytes = "x";
  host.choose = [](std::string& p) {
    p = "D:\\keep\\mine.exe";
    return true;
  };
  EXPECT_EQ(Run("setup.exe"), 1);  // no slash: the whole address is the name
  EXPECT_EQ(host.proposed, kSaved);
  EXPECT_EQ(path, "D:\\keep\\mine.exe");
  EXPECT_EQ(host.disk["D:\\keep\\mine.exe"], "x");
}

TEST(ProposedFileName, OnlyASafeNameFromTheLastSegmentOfThePath) {
  const struct {
    const char* address;
    const char* name;
  } cases[] = {
      {"http://files.test/dir/setup.exe", "setup.exe"},
      {"setup.exe", "setup.exe"},
      // A query or fragment is not part of the name, however many slashes it holds.
      {"http://files.test/get.cgi?file=../../x.exe", "get.cgi"},
      {"http://files.test/tool.exe#../../y.exe", "tool.exe"},
      {"http://files.test/dl/?name=tool.exe", "setup.exe"},
      // An empty last segment, or no path at all.
      {"http://files.test/dir/", "setup.exe"},
      {"http://files.test", "setup.exe"},
      {"", "setup.exe"},
      // Separators and what Windows refuses in a name go; nothing leads out of the folder.
      {"http://files.test/..\\..\\Startup\\x.exe", "Startupx.exe"},
      {"http://files.test/a/..", "setup.exe"},
      {"http://files.test/...exe", "exe"},
      {"http://files.test/C:x.exe", "Cx.exe"},
      {"http://files.test/a<b>c\"d|e*f.exe", "abcdef.exe"},
      {"http://files.test/tab\there.exe", "tabhere.exe"},
      // No macro or environment variable survives to be expanded, and nothing is decoded.
      {"http://files.test/%APPDATA%\\Microsoft\\x.exe", "APPDATAMicrosoftx.exe"},
      {"http://files.test/%2e%2e%5cx.exe", "2e2e5cx.exe"},
      // Trailing dots and spaces, which Windows would drop, go; device names are made harmless.
      {"http://files.test/setup.exe. . ", "setup.exe"},
      {"http://files.test/NUL.exe", "_NUL.exe"},
      {"http://files.test/com1", "_com1"},
      {"http://files.test/console.exe", "console.exe"},
      // Japanese names keep their characters, trail bytes that look like a backslash included.
      {"http://files.test/表示ソフト.exe", "表示ソフト.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProposedFileName(c.address), c.name) << c.address;

  // A lone lead byte at the end is no character.
  EXPECT_EQ(ProposedFileName(std::string("http://files.test/a.exe\x82")), "a.exe");

  // A 300-byte name is cut to 100 bytes between characters and keeps its extension.
  std::string japanese;
  for (int i = 0; i < 149; ++i) japanese += "表";
  const std::string cut = ProposedFileName("http://files.test/a" + japanese + ".exe");
  EXPECT_EQ(cut.size(), 99u);  // "a", 47 characters of two bytes, ".exe"
  EXPECT_EQ(cut, "a" + japanese.substr(0, 94) + ".exe");
  EXPECT_EQ(ProposedFileName("http://files.test/" + std::string(300, 'n') + ".msi"),
            std::string(96, 'n') + ".msi");
  // An "extension" too long to keep is cut with the rest.
  EXPECT_EQ(ProposedFileName("http://files.test/x." + std::string(300, 'e')), "x." + std::string(98, 'e'));
}

TEST_F(Transfer, TheProposedPathAndTheStatusUseTheSafeName) {
  const std::string address = "http://files.test/%TEMP%\\..\\evil.exe?x=1";
  host.files[address].bytes = "x";
  EXPECT_EQ(Run(address), 1);
  EXPECT_EQ(host.proposed, "C:\\Users\\ab cd\\Desktop\\TEMP..evil.exe");
  EXPECT_EQ(host.statuses, std::vector<std::string>{"ダウンロードしています．．．\nTEMP..evil.exe"});
}

TEST(Content, EightRecordsOfWhichFiveAreReachable) {
  ASSERT_EQ(CataloguePageRecords(), 8u);
  const int pictures[] = {137, 140, 138, 139, 149, 142, 141, 143};
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(kCataloguePages[i].pictureId, pictures[i]);
    int offers = 0;
    for (const CatalogueOffer& o : kCataloguePages[i].offers) {
      if (*o.address) {
        ++offers;
        EXPECT_EQ(std::string(o.address).rfind("http://" + std::string(kShopHost) + "/", 0), 0u) << o.address;
      }
    }
    EXPECT_EQ(offers, i == 3 ? 6 : 1) << i;
    EXPECT_NE(*kCataloguePages[i].offers[0].address, '\0');
  }
  EXPECT_LT(kHomeLinkPage, static_cast<int>(CataloguePageRecords()));
  EXPECT_GE(kHomeLinkPage, kPageCount);
  EXPECT_EQ(ShopAddress("h:81", "a/b"), "http://h:81/a/b");
}

}  // namespace
}  // namespace catalogue
