// Throughput of the news path after the download: the page reader's line splitting, ConvertLine
// and the extractor, over real pages and over large synthetic ones (to show that the time grows
// linearly with the page).
#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/net/page_lines.h"
#include "ticker/news/document_reader.h"
#include "ticker/news/extractor.h"
#include "ticker/news/news_list.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> LoadCorpus() {
  std::vector<std::string> pages;
  for (const fs::path& root : {fs::path(ZELLORA_SOURCE_DIR) / ".." / "shared" / "corpus" / "chardet",
                               fs::path("/work/shared/corpus/chardet")}) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
      if (!entry.is_regular_file() || entry.path().filename() == "LICENSE") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      pages.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!pages.empty()) break;
  }
  return pages;
}

const std::vector<std::string>& Corpus() {
  static const std::vector<std::string> pages = LoadCorpus();
  return pages;
}

// Reads one body as a fetch does and extracts it (a feed as a feed).
void ReadAndExtract(const std::string& body, int level, NewsList& list) {
  PageLines page;
  DocumentReader extractor(list, level, page, "http://news.example.jp/");
  PageLineReader reader(page, &extractor);
  reader.Feed(body.data(), body.size());
  reader.Finish();
  extractor.Finish();
}

void BM_CorpusConvertAndExtract(benchmark::State& state) {
  const auto& pages = Corpus();
  if (pages.empty()) {
    state.SkipWithError("corpus not found");
    return;
  }
  std::size_t bytes = 0;
  for (const std::string& p : pages) bytes += p.size();
  NewsList list;
  for (auto _ : state) {
    for (const std::string& p : pages) {
      ReadAndExtract(p, 20, list);
      benchmark::DoNotOptimize(list.items.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["pages"] = static_cast<double>(pages.size());
}
BENCHMARK(BM_CorpusConvertAndExtract)->Unit(benchmark::kMillisecond);

// The extractor alone, on lines converted beforehand.
void BM_CorpusExtractOnly(benchmark::State& state) {
  const auto& pages = Corpus();
  if (pages.empty()) {
    state.SkipWithError("corpus not found");
    return;
  }
  std::vector<PageLines> converted(pages.size());
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    PageLineReader reader(converted[i]);
    reader.Feed(pages[i].data(), pages[i].size());
    reader.Finish();
    bytes += pages[i].size();
  }
  NewsList list;
  for (auto _ : state) {
    for (const PageLines& page : converted) {
      list.Extract(page, 20);
      benchmark::DoNotOptimize(list.items.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_CorpusExtractOnly)->Unit(benchmark::kMillisecond);

// A Shift_JIS news page of about mb megabytes. kind 0: a table of linked headlines; kind 1: every
// tag broken over two lines, so that text accumulates across lines; kind 2: an unclosed script
// near the top suppressing the rest.
std::string SyntheticPage(int mb, int kind) {
  std::string page =
      "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
      "<title>ニュース速報 &amp; 天気</title>\n<style>td { color: red }</style>\n</head>\n<body "
      "bgcolor=\"#ffffff\">\n";
  if (kind == 2) page += "<script type=\"text/javascript\">\n";
  const std::size_t target = static_cast<std::size_t>(mb) << 20;
  char number[32];
  for (int n = 0; page.size() < target; ++n) {
    std::snprintf(number, sizeof number, "%d", n);
    if (kind == 1) {
      page += "<a\nhref=\"/news/";
      page += number;
      page += ".html\">政府が新しい経済対策を発表 &lt;速報&gt; 第";
      page += number;
      page += "報</a\n><br\n>";
    } else {
      page += "<tr><td class=\"headline\"><a href=\"/news/";
      page += number;
      page += ".html\">政府が新しい経済対策を発表、来年度予算に反映へ &lt;速報&gt; 第";
      page += number;
      page += "報</a></td><td>12/07</td></tr>\n";
      if (n % 10 == 0 && kind != 2)
        page += "<script type=\"text/javascript\">document.write('<p>ad</p>');</script>\n";
      if (n % 15 == 0) page += "<div style=\"display:none\">隠された行</div>\n";
    }
  }
  return page;
}

void BM_SyntheticPage(benchmark::State& state) {
  const std::string body = SyntheticPage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  NewsList list;
  for (auto _ : state) {
    // A level nothing reaches keeps the cap away, so that every line is scanned.
    ReadAndExtract(body, INT_MAX, list);
    benchmark::DoNotOptimize(list.title.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(body.size()) * state.iterations());
}
BENCHMARK(BM_SyntheticPage)
    ->ArgNames({"MB", "kind"})
    ->Args({10, 0})
    ->Args({20, 0})
    ->Args({10, 1})
    ->Args({20, 1})
    ->Args({10, 2})
    ->Args({20, 2})
    ->Unit(benchmark::kMillisecond);

// A Shift_JIS RSS 2.0 feed of about mb megabytes: 150 items (under the 200 kept, so the whole
// feed is read), each with a title, a link, a guid and a long description in CDATA and escaped
// HTML, as blogs publish them.
std::string SyntheticFeed(int mb) {
  const std::size_t target = static_cast<std::size_t>(mb) << 20;
  const int items = 150;
  std::string feed =
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<rss version=\"2.0\">\n<channel>\n"
      "<title>ニュース速報 &amp; 天気</title>\n<link>http://news.example.jp/</link>\n";
  const std::size_t perItem = target / items;
  char number[32];
  for (int n = 0; n < items; ++n) {
    std::snprintf(number, sizeof number, "%d", n);
    feed += "<item>\n<title>政府が新しい経済対策を発表、来年度予算に反映へ &lt;速報&gt; 第";
    feed += number;
    feed += "報</title>\n<link>/news/";
    feed += number;
    feed += ".html</link>\n<guid isPermaLink=\"false\">tag:news.example.jp,2026:";
    feed += number;
    feed += "</guid>\n<description>";
    const std::size_t end = feed.size() + perItem;
    for (int k = 0; feed.size() < end; ++k) {
      feed += k % 2
                  ? "<![CDATA[<p>本文の段落です。<b>強調</b>と<a href=\"/x\">リンク</a>があります。</p>]]>\n"
                  : "&lt;p&gt;本文の段落です。&amp;quot;引用&amp;quot; &#12354;&#x3044;&lt;/p&gt;\n";
    }
    feed += "</description>\n</item>\n";
  }
  feed += "</channel>\n</rss>\n";
  return feed;
}

// A feed and a page of the same size through conversion and extraction, one after the other in
// one run: the feed reader must be at least as fast as the page extractor.
void BM_FeedVersusPage(benchmark::State& state) {
  const bool feed = state.range(0) == 1;
  const std::string body = feed ? SyntheticFeed(10) : SyntheticPage(10, 0);
  NewsList list;
  for (auto _ : state) {
    ReadAndExtract(body, feed ? 20 : INT_MAX, list);
    benchmark::DoNotOptimize(list.title.data());
  }
  if (feed && list.ItemCount() != 150) state.SkipWithError("the feed was not read whole");
  state.SetBytesProcessed(static_cast<std::int64_t>(body.size()) * state.iterations());
  state.counters["items"] = static_cast<double>(list.ItemCount());
}
BENCHMARK(BM_FeedVersusPage)->ArgNames({"feed"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
