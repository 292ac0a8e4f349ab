// The ticker's rotation engine: chooses the next source (the built-in channel, then the URL
// list), has it fetched, builds the display line, scrolls it tick by tick in the current display
// mode, repeats it, pauses and starts over; it also plays the flash sequence and takes news
// messages. It is the logic of the ticker window with every window, timer and picture behind
// TickerHost and every registry value behind TickerStore, so the whole cycle runs without
// windows. All calls come from the ticker's thread, except Busy() and SiteUrl(), which the main
// window reads from its own thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/ticker_link/ticker_link.h"
#include "ticker/display/ticker_host.h"
#include "ticker/news/news_list.h"
#include "ticker/news/ticker_store.h"

namespace ticker {

// Timer ids of the ticker window.
constexpr int kTickTimer = 100;
constexpr int kPauseTimer = 200;
constexpr int kFlashTimerFirst = 500;  // 500-505: the flash sequence
constexpr int kFlashTimerLast = 505;
// Bar mode, while the bar gives way to a full-screen program: when to look again.
constexpr int kGiveWayTimer = 300;
constexpr int kGiveWayCheckMs = 500;

// Pause before each registration-order probe of a slot.
constexpr int kProbePauseMs = 100;
// The visible part of the line never exceeds this many bytes (124 full-width characters).
constexpr int kMaxVisibleBytes = 248;

class TickerEngine {
 public:
  TickerEngine(TickerHost& host, TickerStore& store);
  TickerEngine(const TickerEngine&) = delete;
  TickerEngine& operator=(const TickerEngine&) = delete;

  // --- messages of the ticker window ---
  // While the ticker's thread waits in a send to another process (a caption write, the desktop
  // snapshot), Windows delivers the messages other threads send to the ticker window, inside the
  // handler that is running. Such a message is kept and handled as soon as the running handler
  // is done, so that no handler ever runs inside another: a close never lands in the middle of a
  // tick, which would then draw again after Stop cleaned up.
  //
  // Initialisation, after the host created its windows: reads the settings and, when online,
  // fetches the first source at once.
  void OnInit();
  void OnTimer(int id);
  // WM_COMMAND: 1031, 10000-10999 and 11000-11999. False for any other id (default handling) and
  // once the engine is closed or closing.
  bool OnCommand(int id);
  // WM_COPYDATA: true when tag is one of ZLL1-ZLL3, FLSH and the message was taken (false once
  // the engine is closed or closing). The data is read (copied) before this returns.
  bool OnCopyData(std::uint32_t tag, const void* data, std::size_t size);
  // WM_CLOSE: stops the display and has the host close its windows.
  void OnClose();
  // WM_DISPLAYCHANGE: the wallpaper image and the snapshot at the new screen size.
  void OnDisplayChange();

  // --- operations ---
  // Settings reload: restarts the rotation at once (fetches the next source when online).
  void Reload();
  // Clears the display and kills the tick and pause timers.
  void Stop();
  // Chooses and fetches the next source and starts scrolling it, or starts the pause timer.
  // key: the temporary entry's key, or null.
  void FetchNext(const char* key = nullptr) { FetchNext(key, lineBuilt != 0); }
  // Shows URL-list slot n now (favourites, companion); nothing when the slot does not exist.
  void ShowSlot(int slot);
  // Shows the temporary entry once (or deletes it unread when offline).
  void ShowTempEntry();
  // The next URL-list slot to show, or -1 (updates currentSlot and nextSlot).
  int SelectSlot();
  // True when the built-in channel has a new issue and it is now being shown.
  bool CheckChannel();
  // Makes the display line for the current source and headlines, starting at width pixels.
  void BuildLine(int width);
  // One scroll tick (timer 100).
  void ScrollTick();

  // --- read by the main window's thread ---
  bool Busy() const { return busy.load(std::memory_order_relaxed) != 0; }
  std::string SiteUrl() const;
  // The items of the page now showing and their links (empty when none), copied under a lock.
  struct Headline {
    std::string text;
    std::string link;
  };
  std::vector<Headline> ShownHeadlines() const;

  // --- state, readable for the host and tests ---
  int NextSlot() const { return nextSlot; }
  int CurrentSlot() const { return currentSlot; }
  int LineBuilt() const { return lineBuilt; }
  int Step() const { return step; }
  int Mode() const { return mode; }
  int UserMode() const { return userMode; }
  int Remaining() const { return remaining; }
  int RepeatCounter() const { return repeatCounter; }
  int Online() const { return online; }
  int AreaPercent() const { return areaPercent; }
  int LoopCount() const { return loopCount; }
  const std::string& DisplayLineText() const { return displayLine; }
  const std::string& SiteTitle() const { return siteTitle; }
  const std::string& Referrer() const { return referrer; }
  int FilterLevel() const { return filterLevel; }
  const NewsList& Headlines() const { return news; }
  const std::string& FlashTitle() const { return flashTitle; }
  const std::vector<std::string>& FlashLines() const { return flashLines; }
  int FlashIndex() const { return flashIndex; }
  // The bar is hidden and the scrolling held for a full-screen program.
  bool GivingWay() const { return givingWay; }

  // The tick interval of the current speed, and the pause of the current "Sleep" index (-1: none).
  long long TickInterval() const;
  long long PauseInterval() const;

  // Lets tests and the demonstration tool set the order without a reload.
  void SetNextSlot(int slot) { nextSlot = slot; }

 private:
  enum class TickResult { kContinue, kStop };
  // Runs work now, followed by whatever arrived meanwhile; inside a running handler, keeps it for
  // when that handler is done.
  void Deliver(std::function<void()> work);
  void HandleTimer(int id);
  void HandleCommand(int id);
  void HandleNewsMessage(std::uint32_t tag, const std::string& text);
  void HandleClose();
  TickResult ModeTick();
  // wasShown: a line was on display when the fetch was asked for.
  void FetchNext(const char* key, bool wasShown);
  void StartTickTimer();
  void StartPauseTimer();
  void LoadEntry(const std::string& key);
  void FetchCurrent(const settings::ProxyCredentials& proxy);
  void SetSiteUrl(const std::string& url);
  // Makes the headline list what ShownHeadlines gives (after every change of the list).
  void PublishHeadlines();
  void OnFlashTimer(int id);
  void OnGiveWayTimer();
  void KillFlashTimers();

  TickerHost& host;
  TickerStore& store;

  int nextSlot = 0;
  int currentSlot = 0;
  int lineBuilt = 0;
  int step = 0;
  int mode = 1;
  int userMode = 1;
  int order = 0;
  int loopCount = 0;
  int sleepIndex = 0;
  int speedIndex = 1;
  int areaPercent = 25;
  NewsList news;
  std::string displayLine;
  std::string siteTitle;
  std::string siteUrl;
  mutable std::mutex siteUrlLock;  // siteUrl and shown are read by the main window's thread
  std::vector<Headline> shown;
  std::string referrer;
  int filterLevel = 0;
  int remaining = 0;
  int repeatCounter = 0;
  int online = 1;
  std::atomic<int> busy{0};
  bool closed = false;
  bool givingWay = false;
  bool closing = false;  // a close is waiting behind the running handler
  bool handling = false;
  std::deque<std::function<void()>> pending;

  std::vector<std::string> flashLines;
  std::string flashTitle;
  int flashIndex = 0;
};

}  // namespace ticker
