// zellora-ticker: runs the ticker's rotation engine in a terminal and prints what every scroll
// tick would show, so that the rotation can be watched without Windows.
//
//   zellora-ticker [options] PAGE...
//
// Each PAGE (a file or an http:// URL) becomes one URL-list slot, in order. The engine runs on a
// virtual clock (or in real time with --realtime) with the given settings; every tick prints the
// time, the mode, the pixel offset and the visible text. See --help.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/net/page_lines.h"
#include "support/ticker_link/url_slot.h"
#include "ticker/display/ticker_engine.h"
#include "ticker/news/news_list.h"
#include "ticker/news/news_message.h"
#include "tools/extract/console.h"
#include "tools/extract/extract_run.h"

namespace {

struct Options {
  settings::TickerSettings settings;
  int level = 20;
  int barWidth = 1024;
  int screenWidth = 1024;
  int columns = 60;       // characters of the visible text printed
  int every = 1;          // print every nth tick
  long long seconds = 0;  // virtual time limit; 0: until every page was shown once
  bool realtime = false;
  bool sjis = false;
  std::string channelFile;
  std::string flashFile;
  std::vector<std::string> pages;
};

void Usage(FILE* out) {
  std::fputs(
      "usage: zellora-ticker [options] PAGE...\n"
      "Runs the ticker's rotation over the given pages (files or http:// URLs, one URL-list slot\n"
      "each) and prints what every scroll tick shows.\n"
      "  --mode bar|desktop|title|N   display mode (\"Howto\"; default desktop)\n"
      "  --order N      0 registration order (default), other: random\n"
      "  --loop N       extra passes per page (\"loopCount\", default 0)\n"
      "  --sleep N      pause index 0-11 (\"Sleep\", default 0 = 1 s)\n"
      "  --speed N      tick every (N + 1) * 80 ms (\"Speed\", default 1)\n"
      "  --area N       desktop strip in percent of the screen (default 25)\n"
      "  --level N      extraction level of every page (default 20)\n"
      "  --bar-width PX, --screen-width PX   widths for the lead-in (default 1024)\n"
      "  --columns N    characters of visible text printed per tick (default 60, 0: all)\n"
      "  --every N      print every Nth tick only (default 1)\n"
      "  --seconds N    stop after N seconds of ticker time (default: once every page was shown)\n"
      "  --channel FILE answer the built-in channel's page from FILE (default: unreachable)\n"
      "  --flash FILE   send the item-stream text in FILE as a flash message at the start\n"
      "  --realtime     wait for real between timers\n"
      "  --sjis         print Shift_JIS instead of UTF-8\n",
      out);
}

bool ParseInt(const char* s, int& value) {
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (end == s || *end != '\0') return false;
  value = static_cast<int>(v);
  return true;
}

// Shift_JIS, or UTF-8 for the terminal.
class Utf8Out {
 public:
  explicit Utf8Out(bool raw) : sjis(raw) {}
  std::string operator()(const std::string& text) const { return sjis ? text : SjisToUtf8(text); }

 private:
  bool sjis;
};

bool ReadFile(const std::string& path, std::string& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

class MemoryStore : public TickerStore {
 public:
  settings::TickerSettings ReadSettings() override { return settingsValue; }
  settings::ProxyCredentials ReadProxy() override { return {}; }
  bool KeyExists(const std::string& key) override { return keys.count(key) != 0; }
  bool LoadEntry(const std::string& key, UrlEntry& entry) override {
    auto it = keys.find(key);
    entry = it == keys.end() ? UrlEntry() : it->second;
    return it != keys.end();
  }
  bool DeleteKey(const std::string& key) override { return keys.erase(key) > 0; }
  std::string ReadHomeId() override { return homeId; }
  bool WriteHomeId(const std::string& id) override {
    homeId = id;
    return true;
  }
  settings::TickerSettings settingsValue;
  std::map<std::string, UrlEntry> keys;
  std::string homeId;
};

class TerminalHost : public TickerHost {
 public:
  TerminalHost(const Options& o, const Utf8Out& u) : options(o), utf8(u) {}

  void SetTimer(int id, long long ms) override {
    if (ms < 10) ms = 10;
    timers[id] = Timer{ms, now + ms};
    if (id == ticker::kPauseTimer) Note("pause " + std::to_string(ms) + " ms");
  }
  void KillTimer(int id) override { timers.erase(id); }
  void Sleep(int ms) override { Advance(now + ms); }
  LocalDate Today() override {
    const auto t = std::chrono::system_clock::to_time_t(startWall + std::chrono::milliseconds(now));
    const std::tm* tm = std::localtime(&t);  // the tool has one thread
    if (tm == nullptr) return LocalDate{1970, 1, 1};
    return LocalDate{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday};
  }
  int Random() override { return std::rand(); }
  int ScreenWidth() override { return options.screenWidth; }
  int BarWidth() override { return options.barWidth; }
  int CaptionTargetWidth() override { return -1; }
  bool PrepareBar() override { return true; }
  void CheckWallpaperSettings() override {}
  void RefreshSnapshot() override {}
  void DrawBar(const std::string& text, int x) override { Tick("bar", text, x); }
  void DrawDesktop(const std::string& text, int x, int) override { Tick("desk", text, x); }
  void DrawCaption(const std::string& text) override { Tick("title", text, 0); }
  void HideBar() override {}
  void ClearDesktopStrip() override {}
  void ReleaseCaptionTarget() override {}
  bool FlashExists() override { return true; }
  void SetFlashText(const std::string& text) override { Note("flash \"" + utf8(Escape(text)) + "\""); }
  void ShowFlash() override {}
  void HideFlash() override { Note("flash hidden"); }
  void RebuildWallpaperImage() override {}

  void FetchPage(const std::string& url, const std::string& referrer, int level, const std::string& user,
                 const std::string& password, NewsList& list) override {
    if (url == news::kChannelPageUrl) {
      if (options.channelFile.empty()) {
        list = NewsList();
        list.failed = 1;  // no channel page given: as if unreachable
        return;
      }
      ExtractFile(options.channelFile, level, list);
    } else if (url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0) {
      list.FetchAndExtract(url.c_str(), referrer.c_str(), level, user.c_str(), password.c_str());
    } else {
      ExtractFile(url, level, list);
    }
    if (url != news::kChannelPageUrl) ++fetches;
    Note("fetched " + utf8(url) + ": \"" + utf8(list.GetTitle()) + "\", " + std::to_string(list.ItemCount()) +
         " item(s)" + (list.failed ? " (failed)" : ""));
  }

  bool SendNewsMessage(std::uint32_t tag, const void* data, std::size_t size) override {
    return engine != nullptr && engine->OnCopyData(tag, data, size);
  }
  void CloseWindows() override {}

  // Runs the timers until the limit or until the engine rests after every page was shown once.
  void Run(long long limitMs, std::size_t pageCount) {
    while (!timers.empty()) {
      auto next = timers.begin();
      for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->second.due < next->second.due) next = it;
      }
      if (limitMs > 0 && next->second.due > limitMs) break;
      if (limitMs == 0 && next->first == ticker::kPauseTimer && fetches >= pageCount && !FlashRunning())
        break;
      const int id = next->first;
      Advance(next->second.due);
      next->second.due = now + next->second.interval;
      engine->OnTimer(id);
    }
  }

  ticker::TickerEngine* engine = nullptr;
  std::size_t fetches = 0;

 private:
  struct Timer {
    long long interval;
    long long due;
  };

  bool FlashRunning() const {
    for (int id = ticker::kFlashTimerFirst; id <= ticker::kFlashTimerLast; ++id) {
      if (timers.count(id)) return true;
    }
    return false;
  }

  void Advance(long long to) {
    if (options.realtime && to > now) std::this_thread::sleep_for(std::chrono::milliseconds(to - now));
    if (to > now) now = to;
  }

  static std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\r')
        out += "\\r";
      else if (c == '\n')
        out += "\\n";
      else
        out += c;
    }
    return out;
  }

  static void ExtractFile(const std::string& path, int level, NewsList& list) {
    list = NewsList();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    // A missing file leaves the same error item a missing page does.
    ::ExtractFile(file, path, kEncodingUnknown, level, list);
    if (file != nullptr) std::fclose(file);
  }

  void Note(const std::string& text) { std::printf("%9.3fs  -- %s\n", now / 1000.0, text.c_str()); }

  void Tick(const char* mode, const std::string& text, int x) {
    ++ticks;
    if (options.every > 1 && (ticks - 1) % options.every != 0) return;
    std::string shown = text;
    if (options.columns > 0 && shown.size() > static_cast<std::size_t>(options.columns) * 2) {
      shown.resize(static_cast<std::size_t>(options.columns) * 2);
    }
    std::printf("%9.3fs  %-5s x=%-3d |%s|\n", now / 1000.0, mode, x, utf8(shown).c_str());
  }

  const Options& options;
  const Utf8Out& utf8;
  std::map<int, Timer> timers;
  long long now = 0;
  long long ticks = 0;
  const std::chrono::system_clock::time_point startWall = std::chrono::system_clock::now();
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](int& out) {
      if (i + 1 >= argc || !ParseInt(argv[i + 1], out)) {
        std::fprintf(stderr, "zellora-ticker: %s needs a number\n", a.c_str());
        std::exit(2);
      }
      ++i;
    };
    auto text = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zellora-ticker: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      out = argv[++i];
    };
    int n = 0;
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      return 0;
    } else if (a == "--mode") {
      std::string m;
      text(m);
      if (m == "bar")
        o.settings.howto = 0;
      else if (m == "desktop")
        o.settings.howto = 1;
      else if (m == "title")
        o.settings.howto = 2;
      else if (ParseInt(m.c_str(), n))
        o.settings.howto = n;
      else {
        std::fprintf(stderr, "zellora-ticker: unknown mode %s\n", m.c_str());
        return 2;
      }
    } else if (a == "--order")
      value(o.settings.order);
    else if (a == "--loop")
      value(o.settings.loopCount);
    else if (a == "--sleep")
      value(o.settings.sleep);
    else if (a == "--speed")
      value(o.settings.speed);
    else if (a == "--area")
      value(o.settings.deskPer);
    else if (a == "--level")
      value(o.level);
    else if (a == "--bar-width")
      value(o.barWidth);
    else if (a == "--screen-width")
      value(o.screenWidth);
    else if (a == "--columns")
      value(o.columns);
    else if (a == "--every")
      value(o.every);
    else if (a == "--seconds") {
      value(n);
      o.seconds = n;
    } else if (a == "--channel")
      text(o.channelFile);
    else if (a == "--flash")
      text(o.flashFile);
    else if (a == "--realtime")
      o.realtime = true;
    else if (a == "--sjis")
      o.sjis = true;
    else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "zellora-ticker: unknown option %s\n", a.c_str());
      Usage(stderr);
      return 2;
    } else {
      o.pages.push_back(a);
    }
  }
  if (o.pages.empty() && o.channelFile.empty() && o.flashFile.empty()) {
    Usage(stderr);
    return 2;
  }
  if (o.pages.size() > static_cast<std::size_t>(url_list::kMaxSlots)) o.pages.resize(url_list::kMaxSlots);

  std::srand(static_cast<unsigned>(std::time(nullptr)));
  const Utf8Out utf8(o.sjis);
  MemoryStore store;
  store.settingsValue = o.settings;
  for (std::size_t i = 0; i < o.pages.size(); ++i) {
    UrlEntry entry;
    const std::string& page = o.pages[i];
    // The slot title is the file or page name (a path separator inside a double-byte name only
    // shortens the title).
    const std::size_t slash = page.find_last_of("/\\");
    entry.title = slash == std::string::npos ? page : page.substr(slash + 1);
    if (entry.title.empty()) entry.title = page;
    entry.url = page;
    entry.level = o.level;
    store.keys[url_list::SlotKey(static_cast<int>(i))] = entry;
  }

  TerminalHost host(o, utf8);
  ticker::TickerEngine engine(host, store);
  host.engine = &engine;
  engine.OnInit();
  if (!o.flashFile.empty()) {
    std::string text;
    if (!ReadFile(o.flashFile, text)) {
      std::fprintf(stderr, "zellora-ticker: cannot read %s\n", o.flashFile.c_str());
      return 1;
    }
    engine.OnCopyData(ticker_link::kTagFlash, text.data(), text.size());
  }
  host.Run(o.seconds * 1000, o.pages.size());
  engine.OnClose();
  return 0;
}
