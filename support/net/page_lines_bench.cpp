// Throughput of ConvertLine per character set, on the real pages of the corpus and on a synthetic
// 20 MB page per set. Bytes counted are the line bytes handed to ConvertLine.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/net/page_lines.h"
#include "support/text/charset.h"
#include "support/text/sjis.h"

namespace {

struct Page {
  std::vector<std::string> lines;
  int encoding = kEncodingUnknown;  // what the fetch presets (always 0 for the ticker)
};

struct Corpus {
  std::vector<Page> pages;
  std::size_t bytes = 0;
};

std::string CorpusRoot() {
  const std::string src = ZELLORA_SOURCE_DIR;
  for (const std::string& dir :
       {src + "/../shared/corpus/chardet", std::string("/work/shared/corpus/chardet")}) {
    std::ifstream probe(dir + "/LICENSE");
    if (probe) return dir;
  }
  return "";
}

// Lines as the page reader hands them on: split at line feeds, trimmed, empty ones dropped.
void AddPage(Corpus& corpus, const std::string& body, int encoding = kEncodingUnknown) {
  Page page;
  page.encoding = encoding;
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    std::string t = sjis::Trim(std::string_view(body).substr(start, end - start));
    if (!t.empty()) {
      corpus.bytes += t.size();
      page.lines.push_back(std::move(t));
    }
    start = end + 1;
  }
  corpus.pages.push_back(std::move(page));
}

Corpus LoadFolders(std::initializer_list<const char*> folders) {
  Corpus corpus;
  const std::string root = CorpusRoot();
  for (const char* folder : folders) {
    const std::string dir = root + "/" + folder;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) continue;
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      std::ifstream in(dir + "/" + e->d_name, std::ios::binary);
      std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      AddPage(corpus, body);
    }
    closedir(d);
  }
  return corpus;
}

std::string Iconv(const char* to, const std::string& sjisText) {
  iconv_t cd = iconv_open(to, "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "";
  std::string in = sjisText;
  std::string out(in.size() * 4 + 16, '\0');
  char* ip = &in[0];
  char* op = &out[0];
  std::size_t il = in.size();
  std::size_t ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  iconv(cd, nullptr, nullptr, &op, &ol);  // back to ASCII at the end of an ISO-2022-JP line
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

// A news-like Shift_JIS line: Japanese runs (hiragana, katakana, common kanji) between short
// ASCII words and tags; every fourth line carries entities.
std::string SyntheticLine(std::mt19937& rng, int index) {
  std::string s = "<li><a href=\"/news/" + std::to_string(index) + ".html\">";
  const int runs = 3 + static_cast<int>(rng() % 4);
  for (int r = 0; r < runs; ++r) {
    const int chars = 4 + static_cast<int>(rng() % 12);
    for (int c = 0; c < chars; ++c) {
      const unsigned kind = rng() % 10;
      int j1;
      int j2 = 0x21 + static_cast<int>(rng() % 83);
      if (kind < 3)
        j1 = 0x24;  // hiragana
      else if (kind < 4)
        j1 = 0x25;  // katakana
      else
        j1 = 0x30 + static_cast<int>(rng() % 0x1F);  // level-1 kanji rows
      const std::uint16_t sj = JisToSjis(j1, j2);
      s += static_cast<char>(sj >> 8);
      s += static_cast<char>(sj & 0xFF);
    }
    s += (r % 2) ? " 2026 " : "NEWS";
  }
  if (index % 4 == 0) s += " &lt;速報&gt; R&amp;D &quot;";
  s += "</a></li>";
  return s;
}

const char* const kCharsetNames[] = {"", "Shift_JIS", "ISO-2022-JP", "EUC-JP", "UTF-8"};

// About 20 MB of body lines in the given set, with a declaring head and a plain body tag.
Corpus Synthetic(int encoding, bool declared = true, bool plainBody = true) {
  std::mt19937 rng(20261207);
  std::string sjisBody;
  std::string body;
  body += "<html>\n<head>\n";
  if (declared) {
    body += std::string("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=") +
            kCharsetNames[encoding] + "\">\n";
  }
  body += "<title>Synthetic</title>\n</head>\n";
  body += plainBody ? "<body>\n" : "<body bgcolor=\"#ffffff\">\n";
  const char* iconvName = encoding == kEncodingIso2022Jp ? "ISO-2022-JP"
                          : encoding == kEncodingEucJp   ? "EUC-JP-MS"
                          : encoding == kEncodingUtf8    ? "UTF-8"
                                                         : nullptr;
  for (int i = 0; body.size() < (20u << 20); ++i) {
    const std::string line = SyntheticLine(rng, i);
    body += iconvName ? Iconv(iconvName, line) : line;
    body += "\r\n";
  }
  body += "</body>\n</html>\n";
  Corpus corpus;
  AddPage(corpus, body);
  return corpus;
}

void RunPages(benchmark::State& state, const Corpus& corpus) {
  if (corpus.bytes == 0) {
    state.SkipWithError("no pages (corpus not found)");
    return;
  }
  std::string buffer;
  buffer.reserve(1 << 20);
  for (auto _ : state) {
    for (const Page& p : corpus.pages) {
      PageLines page;
      page.encoding = p.encoding;
      for (const std::string& line : p.lines) {
        buffer.assign(line);
        ConvertLine(page, buffer);
        benchmark::DoNotOptimize(buffer.data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(corpus.bytes));
  state.counters["pages"] = static_cast<double>(corpus.pages.size());
}

void BM_CorpusShiftJis(benchmark::State& state) {
  static const Corpus c = LoadFolders({"SHIFT_JIS", "CP932"});
  RunPages(state, c);
}
void BM_CorpusEucJp(benchmark::State& state) {
  static const Corpus c = LoadFolders({"EUC-JP"});
  RunPages(state, c);
}
void BM_CorpusIso2022Jp(benchmark::State& state) {
  static const Corpus c = LoadFolders({"iso-2022-jp"});
  RunPages(state, c);
}
void BM_CorpusUtf8(benchmark::State& state) {
  static const Corpus c = LoadFolders({"utf-8"});
  RunPages(state, c);
}

void BM_Synthetic20MbShiftJis(benchmark::State& state) {
  static const Corpus c = Synthetic(kEncodingShiftJis);
  RunPages(state, c);
}
void BM_Synthetic20MbEucJp(benchmark::State& state) {
  static const Corpus c = Synthetic(kEncodingEucJp);
  RunPages(state, c);
}
void BM_Synthetic20MbIso2022Jp(benchmark::State& state) {
  static const Corpus c = Synthetic(kEncodingIso2022Jp);
  RunPages(state, c);
}
void BM_Synthetic20MbUtf8(benchmark::State& state) {
  static const Corpus c = Synthetic(kEncodingUtf8);
  RunPages(state, c);
}
// No declaration and a body tag with attributes: every line stays in the head, is upper-cased,
// searched for declarations and guessed.
void BM_Synthetic20MbEucJpGuessedInHead(benchmark::State& state) {
  static const Corpus c = Synthetic(kEncodingEucJp, false, false);
  RunPages(state, c);
}

// The same EUC-JP lines through glibc iconv, for comparison.
void BM_Synthetic20MbEucJpIconvBaseline(benchmark::State& state) {
  static const Corpus c = Synthetic(kEncodingEucJp);
  iconv_t cd = iconv_open("CP932", "EUC-JP-MS");
  std::string in;
  std::string out(1 << 21, '\0');
  for (auto _ : state) {
    for (const std::string& line : c.pages[0].lines) {
      in.assign(line);
      char* ip = &in[0];
      char* op = &out[0];
      std::size_t il = in.size();
      std::size_t ol = out.size();
      iconv(cd, &ip, &il, &op, &ol);
      benchmark::DoNotOptimize(out.data());
    }
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(c.bytes));
}

}  // namespace

BENCHMARK(BM_CorpusShiftJis);
BENCHMARK(BM_CorpusEucJp);
BENCHMARK(BM_CorpusIso2022Jp);
BENCHMARK(BM_CorpusUtf8);
BENCHMARK(BM_Synthetic20MbShiftJis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Synthetic20MbEucJp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Synthetic20MbIso2022Jp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Synthetic20MbUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Synthetic20MbEucJpGuessedInHead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Synthetic20MbEucJpIconvBaseline)->Unit(benchmark::kMillisecond);
