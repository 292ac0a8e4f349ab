// A ticker host on a virtual clock, and an in-memory store, for driving the rotation engine
// without windows. Timers behave like window timers (repeating until killed, clamped to 10 ms at
// least); Sleep advances the clock; drawing, flash and fetch calls are recorded as events.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ticker/display/ticker_host.h"
#include "ticker/news/news_list.h"
#include "ticker/news/ticker_store.h"

namespace fake {

struct HostEvent {
  enum Kind {
    kSetTimer,
    kKillTimer,
    kTimerFired,
    kSleep,
    kPrepareBar,
    kCheckWallpaper,
    kRefreshSnapshot,
    kDrawBar,
    kDrawDesktop,
    kDrawCaption,
    kHideBar,
    kClearDesktop,
    kReleaseCaption,
    kFlashText,
    kShowFlash,
    kHideFlash,
    kRebuildWallpaper,
    kFetch,
    kSendMessage,
    kCloseWindows,
  };
  Kind kind;
  long long time = 0;   // virtual milliseconds
  int id = 0;           // timer id, x offset, area percent or message tag
  long long value = 0;  // timer interval or sleep length
  std::string text;     // drawn text, flash text or fetched URL
};

struct CannedPage {
  std::string title;
  std::vector<std::string> items;
  bool failed = false;
  std::vector<std::string> links = {};  // beside items
};

struct FetchRecord {
  std::string url, referrer, user, password;
  int level = 0;
  long long time = 0;
};

class FakeTickerHost : public TickerHost {
 public:
  // --- TickerHost ---
  void SetTimer(int id, long long milliseconds) override;
  void KillTimer(int id) override;
  void Sleep(int milliseconds) override;
  LocalDate Today() override;
  int Random() override;
  int ScreenWidth() override { return screenWidth; }
  int BarWidth() override { return barExists ? barWidth : 0; }
  int CaptionTargetWidth() override { return captionWidth; }
  bool PrepareBar() override;
  bool BarMustGiveWay() override { return fullScreen; }
  void CheckWallpaperSettings() override;
  void RefreshSnapshot() override;
  void DrawBar(const std::string& text, int xOffset) override;
  void DrawDesktop(const std::string& text, int xOffset, int areaPercent) override;
  void DrawCaption(const std::string& text) override;
  void HideBar() override;
  void ClearDesktopStrip() override;
  void ReleaseCaptionTarget() override;
  bool FlashExists() override { return flashExists; }
  void SetFlashText(const std::string& text) override;
  void ShowFlash() override;
  void HideFlash() override;
  void RebuildWallpaperImage() override { Record(HostEvent::kRebuildWallpaper); }
  void FetchPage(const std::string& url, const std::string& referrer, int level, const std::string& user,
                 const std::string& password, NewsList& list) override;
  bool SendNewsMessage(std::uint32_t tag, const void* data, std::size_t size) override;
  void CloseWindows() override { Record(HostEvent::kCloseWindows); }

  // --- the virtual clock ---
  // Fires due timers in order of due time (then id) up to now + milliseconds.
  void RunFor(long long milliseconds);
  // Fires timers one by one until pred() holds or the clock would pass now + limit; true when
  // pred() held.
  bool RunUntil(const std::function<bool()>& pred, long long limit);
  // Fires the next due timer, if any, advancing the clock; false when no timer is armed.
  bool FireNext(long long until);
  bool TimerActive(int id) const;
  long long TimerInterval(int id) const;  // -1 when not armed
  long long TimerDue(int id) const;       // -1 when not armed

  // The local date: day 0 of the clock is this date; the clock starts at startMsOfDay.
  void SetDate(int year, int month, int day, long long startMsOfDay = 0);

  // Events of a kind, and all of them.
  std::vector<HostEvent> Events(HostEvent::Kind kind) const;
  std::vector<HostEvent> events;
  void ClearEvents() { events.clear(); }

  // --- scripting ---
  std::function<void(int)> onTimer;  // delivers WM_TIMER to the engine
  std::function<bool(std::uint32_t, const void*, std::size_t)> onNewsMessage;
  std::function<void(const std::string&)> onFetch;  // called inside FetchPage
  // Called in the middle of each host call that sends to another process on Windows (wallpaper
  // check, snapshot, desktop strip and its clean-up, caption write and release), where Windows
  // delivers the messages sent to the ticker window meanwhile.
  std::function<void(HostEvent::Kind)> duringSend;
  // What other programs show once those sends are done: the desktop strip's text (empty when
  // cleaned up) and the caption target's appended text (empty when released).
  std::string desktopShows;
  std::string captionShows;
  std::map<std::string, CannedPage> pages;
  std::vector<FetchRecord> fetches;
  long long now = 0;
  int screenWidth = 1024;
  int barWidth = 1024;
  int captionWidth = -1;
  bool barExists = true;
  bool fullScreen = false;  // a full-screen program is in front on the bar's monitor
  bool barVisible = false;
  bool flashExists = true;
  bool flashVisible = false;
  std::string flashText;
  unsigned randomState = 1;      // the C runtime's generator of the Windows build
  std::vector<int> randomQueue;  // numbers handed out first, when given
  bool throwOnDraw = false;

 private:
  struct Timer {
    long long interval = 0;
    long long due = 0;
  };
  void Record(HostEvent::Kind kind, int id = 0, long long value = 0, std::string text = {});
  void Send(HostEvent::Kind kind);
  std::map<int, Timer> timers;
  long long epochDay = 0;
  long long startMsOfDay = 0;
};

class FakeTickerStore : public TickerStore {
 public:
  settings::TickerSettings ReadSettings() override {
    ++settingsReads;
    return settingsValue;
  }
  settings::ProxyCredentials ReadProxy() override {
    ++proxyReads;
    return proxy;
  }
  bool KeyExists(const std::string& key) override;
  bool LoadEntry(const std::string& key, UrlEntry& entry) override;
  bool DeleteKey(const std::string& key) override { return keys.erase(key) > 0; }
  std::string ReadHomeId() override { return homeId; }
  bool WriteHomeId(const std::string& id) override {
    homeId = id;
    ++homeIdWrites;
    return true;
  }

  // Puts an entry into slot n (title, url "http://site<n>/", level 20) unless one is given.
  void AddSlot(int slot);
  void AddSlot(int slot, const UrlEntry& entry);

  settings::TickerSettings settingsValue;
  settings::ProxyCredentials proxy;
  std::map<std::string, UrlEntry> keys;
  std::vector<std::string> probes;  // every KeyExists in order
  std::string homeId;
  int settingsReads = 0;
  int proxyReads = 0;
  int homeIdWrites = 0;
};

}  // namespace fake
