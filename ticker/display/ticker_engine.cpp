#include "ticker/display/ticker_engine.h"

#include <algorithm>
#include <utility>

#include "support/ticker_link/url_slot.h"
#include "ticker/display/display_line.h"
#include "ticker/news/fetch_cache.h"
#include "ticker/news/news_message.h"

namespace ticker {

TickerEngine::TickerEngine(TickerHost& h, TickerStore& s) : host(h), store(s) {}

std::string TickerEngine::SiteUrl() const {
  std::lock_guard<std::mutex> guard(siteUrlLock);
  return siteUrl;
}

void TickerEngine::SetSiteUrl(const std::string& url) {
  std::lock_guard<std::mutex> guard(siteUrlLock);
  siteUrl = url;
}

std::vector<TickerEngine::Headline> TickerEngine::ShownHeadlines() const {
  std::lock_guard<std::mutex> guard(siteUrlLock);
  return shown;
}

void TickerEngine::PublishHeadlines() {
  std::vector<Headline> list;
  list.reserve(news.items.size());
  for (int i = 0; i < news.ItemCount(); ++i) list.push_back({news.GetItem(i), news.GetLink(i)});
  std::lock_guard<std::mutex> guard(siteUrlLock);
  shown.swap(list);
}

long long TickerEngine::TickInterval() const {
  return settings::TickMilliseconds(speedIndex);
}
long long TickerEngine::PauseInterval() const {
  return settings::SleepMilliseconds(sleepIndex);
}

void TickerEngine::StartTickTimer() {
  host.SetTimer(kTickTimer, TickInterval());
}

void TickerEngine::StartPauseTimer() {
  // A "Sleep" index outside the table arms nothing: the rotation rests until the next command.
  const long long pause = PauseInterval();
  if (pause >= 0) host.SetTimer(kPauseTimer, pause);
}

// ---------------------------------------------------------------------------------------------
// Messages

void TickerEngine::Deliver(std::function<void()> work) {
  if (handling) {
    pending.push_back(std::move(work));
    return;
  }
  struct Guard {
    TickerEngine& engine;
    ~Guard() { engine.handling = false; }
  } guard{*this};
  handling = true;
  work();
  while (!pending.empty()) {
    std::function<void()> next = std::move(pending.front());
    pending.pop_front();
    next();
  }
}

void TickerEngine::OnInit() {
  Deliver([this] {
    closed = false;
    closing = false;
    Reload();
  });
}

void TickerEngine::OnTimer(int id) {
  Deliver([this, id] { HandleTimer(id); });
}

void TickerEngine::HandleTimer(int id) {
  if (closed) {
    host.KillTimer(id);
    return;
  }
  if (id == kTickTimer) {
    ScrollTick();
  } else if (id == kPauseTimer) {
    host.KillTimer(kPauseTimer);
    FetchNext(nullptr);
  } else if (id >= kFlashTimerFirst && id <= kFlashTimerLast) {
    OnFlashTimer(id);
  } else if (id == kGiveWayTimer) {
    OnGiveWayTimer();
  }
}

void TickerEngine::OnGiveWayTimer() {
  host.KillTimer(kGiveWayTimer);
  if (!givingWay) return;
  if (host.BarMustGiveWay()) {
    host.SetTimer(kGiveWayTimer, kGiveWayCheckMs);
    return;
  }
  // The full-screen program is gone: the line goes on from where it stopped.
  givingWay = false;
  ScrollTick();
}

bool TickerEngine::OnCommand(int id) {
  const bool ours = id == ticker_link::kReloadCommand ||
                    (id >= ticker_link::kShowSlotCommandFirst && id <= ticker_link::kShowSlotCommandLast) ||
                    (id >= ticker_link::kShowTempCommandFirst && id <= ticker_link::kShowTempCommandLast);
  if (!ours || closed || closing) return false;
  Deliver([this, id] { HandleCommand(id); });
  return true;
}

void TickerEngine::HandleCommand(int id) {
  if (closed) return;
  if (id == ticker_link::kReloadCommand) {
    Reload();
  } else if (id >= ticker_link::kShowSlotCommandFirst && id <= ticker_link::kShowSlotCommandLast) {
    ShowSlot(id - ticker_link::kShowSlotCommandFirst);
  } else {
    ShowTempEntry();
  }
}

bool TickerEngine::OnCopyData(std::uint32_t tag, const void* data, std::size_t size) {
  if (!news::IsNewsTag(tag) || closed || closing) return false;
  // The sender's block is valid only during its send: the text is taken now.
  std::string text = ticker_link::ReadCopyDataText(data, size);
  Deliver([this, tag, text = std::move(text)] { HandleNewsMessage(tag, text); });
  return true;
}

void TickerEngine::HandleNewsMessage(std::uint32_t tag, const std::string& text) {
  if (closed) return;
  const news::ItemStream item = news::ReadItemStream(text, [this] { return host.Random(); });

  if (tag == ticker_link::kTagFlash) {
    // A new flash drops the sequence in progress and starts with its own title. A channel item
    // leaves the flash alone: killing its timers there would leave the window showing a stale
    // bulletin for good.
    KillFlashTimers();
    flashTitle = item.title;
    flashIndex = 0;
    flashLines = news::SplitPieces(item.body, '\f');
    if (!flashLines.empty()) host.SetTimer(kFlashTimerFirst, 1000);
    return;
  }

  // A channel item replaces the line; the interrupted list entry comes again next.
  if (lineBuilt != 0) nextSlot = currentSlot;
  Stop();
  mode = news::ModeOfTag(tag);
  siteTitle = item.title;
  SetSiteUrl(item.url);
  // Items by message get loopCount passes (at least one), not loopCount + 1.
  repeatCounter = loopCount;
  lineBuilt = 0;
  news = NewsList();
  for (const std::string& piece : news::SplitPieces(item.body, '\n')) news.AddItem(piece, 0);
  PublishHeadlines();
  ScrollTick();
}

void TickerEngine::OnClose() {
  if (closed || closing) return;
  closing = true;
  Deliver([this] { HandleClose(); });
}

void TickerEngine::HandleClose() {
  if (closed) return;
  Stop();
  KillFlashTimers();
  closed = true;
  closing = false;
  host.CloseWindows();
}

void TickerEngine::OnDisplayChange() {
  Deliver([this] {
    if (closed) return;
    host.RebuildWallpaperImage();
    host.RefreshSnapshot();
  });
}

// ---------------------------------------------------------------------------------------------
// Rotation

void TickerEngine::Reload() {
  host.KillTimer(kTickTimer);
  // A changed entry is read afresh: what the servers answered before is forgotten.
  news::TheFetchCache().Clear();
  nextSlot = 0;
  currentSlot = 0;
  const settings::TickerSettings s = store.ReadSettings();
  online = s.online != 0 ? 1 : 0;
  userMode = s.howto;
  mode = s.howto;
  order = s.order;
  loopCount = s.loopCount;
  sleepIndex = s.sleep;
  speedIndex = s.speed;
  areaPercent = s.deskPer;
  if (online) {
    host.RebuildWallpaperImage();
    FetchNext(nullptr);
  } else {
    Stop();
  }
}

void TickerEngine::Stop() {
  host.KillTimer(kTickTimer);
  host.KillTimer(kPauseTimer);
  if (givingWay) {
    host.KillTimer(kGiveWayTimer);
    givingWay = false;
  }
  displayLine.clear();
  lineBuilt = 0;
  step = 0;
  remaining = 0;
  repeatCounter = 0;
  host.ClearDesktopStrip();
  host.ReleaseCaptionTarget();
  host.HideBar();
}

void TickerEngine::LoadEntry(const std::string& key) {
  UrlEntry entry;
  store.LoadEntry(key, entry);
  siteTitle = entry.title;
  SetSiteUrl(entry.url);
  referrer = entry.referrer;
  filterLevel = entry.level;
}

void TickerEngine::FetchCurrent(const settings::ProxyCredentials& proxy) {
  news = NewsList();
  host.FetchPage(SiteUrl(), referrer, filterLevel, proxy.user, proxy.password, news);
  PublishHeadlines();
}

void TickerEngine::FetchNext(const char* key, bool wasShown) {
  Stop();
  const settings::ProxyCredentials proxy = store.ReadProxy();
  mode = userMode;
  busy.store(1, std::memory_order_relaxed);

  if (key != nullptr && store.KeyExists(key)) {
    // The temporary entry: shown once, and the interrupted list entry comes again next.
    if (wasShown) nextSlot = currentSlot;
    LoadEntry(key);
    store.DeleteKey(key);
    FetchCurrent(proxy);
    repeatCounter = loopCount + 1;
    StartTickTimer();
  } else if (CheckChannel()) {
    // The channel set up the source, the mode and the tick timer itself.
  } else {
    const int slot = SelectSlot();
    if (slot >= 0) {
      LoadEntry(url_list::SlotKey(slot));
      FetchCurrent(proxy);
      repeatCounter = loopCount + 1;
      StartTickTimer();
    } else if (online) {
      StartPauseTimer();
    }
  }
  busy.store(0, std::memory_order_relaxed);
}

int TickerEngine::SelectSlot() {
  int chosen = -1;
  if (order == 0) {
    // Registration order never passes a gap: a missing slot sends the probe back to slot 0, and
    // when slot 0 is missing too the list counts as empty.
    host.Sleep(kProbePauseMs);
    if (url_list::IsSlot(nextSlot) && store.KeyExists(url_list::SlotKey(nextSlot))) {
      chosen = nextSlot;
    } else if (nextSlot != 0) {
      host.Sleep(kProbePauseMs);
      if (store.KeyExists(url_list::SlotKey(0))) chosen = 0;
    }
  } else {
    int slots[url_list::kMaxSlots];
    int count = 0;
    for (int s = 0; s < url_list::kMaxSlots; ++s) {
      if (store.KeyExists(url_list::SlotKey(s))) slots[count++] = s;
    }
    if (count > 0) {
      for (int i = 0; i < 10 * count; ++i) {
        const int a = host.Random() % count;
        const int b = host.Random() % count;
        if (a >= 0 && b >= 0) std::swap(slots[a], slots[b]);
      }
      chosen = slots[0];
    }
  }
  if (chosen < 0) return -1;
  currentSlot = chosen;
  if (order == 0) {
    nextSlot = chosen + 1 > url_list::kMaxSlots - 1 ? 0 : chosen + 1;
  } else {
    nextSlot = chosen;
  }
  return chosen;
}

void TickerEngine::ShowSlot(int slot) {
  if (!url_list::IsSlot(slot) || !store.KeyExists(url_list::SlotKey(slot))) return;
  Stop();
  if (!online) return;
  nextSlot = slot;
  host.RebuildWallpaperImage();
  FetchNext(nullptr);
}

void TickerEngine::ShowTempEntry() {
  if (!store.KeyExists(url_list::kTempKey)) return;
  // Whether a line was on display is taken before Stop clears it, so that the interrupted list
  // entry is shown again after the temporary one.
  const bool wasShown = lineBuilt != 0;
  Stop();
  if (online) {
    host.RebuildWallpaperImage();
    FetchNext(url_list::kTempKey, wasShown);
  } else {
    store.DeleteKey(url_list::kTempKey);
  }
}

bool TickerEngine::CheckChannel() {
  const settings::ProxyCredentials proxy = store.ReadProxy();
  NewsList page;
  host.FetchPage(news::kChannelPageUrl, news::kChannelReferrer, 1, proxy.user, proxy.password, page);
  if (page.failed || page.ItemCount() == 0) return false;
  const std::string homeId = store.ReadHomeId();
  if (page.GetTitle() != news::kChannelTitle) return false;
  const std::string issue = page.GetItem(0);
  if (issue == homeId) return false;

  std::vector<std::string> texts;
  for (int i = 4; i < page.ItemCount() && !page.GetItem(i).empty(); ++i) texts.push_back(page.GetItem(i));

  const std::string kind = page.GetItem(1);
  if (kind == "FLASH") {
    // Bulletins go to the flash window through the ordinary news message; the list goes on.
    const std::string text = news::BuildFlashText(page.GetItem(2), page.GetItem(3), texts);
    store.WriteHomeId(issue);
    host.SendNewsMessage(ticker_link::kTagFlash, text.c_str(), text.size() + 1);
    return false;
  }

  if (kind == "ZELL1") {
    mode = 0;
  } else if (kind == "ZELL2") {
    mode = 1;
  } else if (kind == "ZELL3") {
    mode = 2;
  }  // any other kind keeps the user's mode
  siteTitle = page.GetItem(2);
  SetSiteUrl(page.GetItem(3));
  referrer.clear();
  filterLevel = 0;
  news = NewsList();
  for (const std::string& text : texts) news.AddItem(text, 0);
  PublishHeadlines();
  repeatCounter = loopCount + 1;
  store.WriteHomeId(issue);
  StartTickTimer();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Display line and scrolling

void TickerEngine::BuildLine(int width) {
  const LocalDate today = host.Today();
  const display::DisplayLine line =
      display::BuildDisplayLine(siteTitle, news.items, today.month, today.day, width);
  displayLine = line.text;
  remaining = static_cast<int>(displayLine.size() / 2);
  lineBuilt = line.consumed + 1;
}

void TickerEngine::ScrollTick() {
  host.KillTimer(kTickTimer);
  if (mode < 0 || mode > 2) {
    // An unknown display mode ("Howto" out of range) shows nothing until the next reload.
    Stop();
    return;
  }
  if (ModeTick() == TickResult::kContinue) StartTickTimer();
}

TickerEngine::TickResult TickerEngine::ModeTick() {
  if (mode == 0) {
    if (host.BarMustGiveWay()) {
      // Hidden and held, with the line where it is: no drawing and no tick timer until the
      // full-screen program is gone, looked for every half second.
      host.HideBar();
      givingWay = true;
      host.SetTimer(kGiveWayTimer, kGiveWayCheckMs);
      return TickResult::kStop;
    }
    if (!host.PrepareBar()) return TickResult::kStop;
  } else if (mode == 1) {
    host.CheckWallpaperSettings();
    if (areaPercent < 25) areaPercent = 25;
  }

  if (remaining == 0) {
    if (lineBuilt != 0) {
      // The pass is over: another one with a freshly built line (and date), or the pause.
      const int before = repeatCounter--;
      if (before >= 2) {
        lineBuilt = 0;
        return TickResult::kContinue;
      }
      Stop();
      StartPauseTimer();
      return TickResult::kStop;
    }
    int width = 0;
    if (mode == 0) {
      width = host.BarWidth();
    } else if (mode == 1) {
      width = static_cast<int>(static_cast<long long>(host.ScreenWidth()) * areaPercent / 100);
    } else {
      width = host.CaptionTargetWidth();
      if (width < 0) width = host.ScreenWidth();
    }
    BuildLine(width);
    step = 0;
  }

  std::string visible;
  if (mode == 2) {
    const std::size_t offset = static_cast<std::size_t>(step) * 2;
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(remaining) * 2, kMaxVisibleBytes);
    visible = displayLine.substr(std::min(offset, displayLine.size()), length);
    --remaining;
  } else {
    const std::size_t offset = static_cast<std::size_t>(step / 3) * 2;
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(remaining) * 2, kMaxVisibleBytes);
    visible = displayLine.substr(std::min(offset, displayLine.size()), length);
    if (step % 3 == 2) --remaining;
  }

  try {
    const int xOffset = mode == 2 ? 0 : -4 * (step % 3);
    if (mode == 0) {
      host.DrawBar(visible, xOffset);
    } else if (mode == 1) {
      if (step % 50 == 0) host.RefreshSnapshot();
      host.DrawDesktop(visible, xOffset, areaPercent);
    } else {
      host.DrawCaption(visible);
    }
  } catch (...) {
    // A failed frame is skipped; the tick still counts.
  }
  ++step;
  return TickResult::kContinue;
}

// ---------------------------------------------------------------------------------------------
// Flash sequence

void TickerEngine::KillFlashTimers() {
  for (int id = kFlashTimerFirst; id <= kFlashTimerLast; ++id) host.KillTimer(id);
}

void TickerEngine::OnFlashTimer(int id) {
  host.KillTimer(id);
  if (!host.FlashExists()) {
    flashIndex = 0;
    flashLines.clear();
    return;
  }
  if (flashIndex >= static_cast<int>(flashLines.size())) {
    host.HideFlash();
    flashIndex = 0;
    flashLines.clear();
    return;
  }
  // Title, blank, title, blank, title, then each line for five seconds.
  int next = 0;
  long long after = 0;
  switch (id) {
    case 500:
      host.SetFlashText(flashTitle);
      next = 501;
      after = 1000;
      break;
    case 501:
      host.SetFlashText(std::string());
      next = 502;
      after = 300;
      break;
    case 502:
      host.SetFlashText(flashTitle);
      next = 503;
      after = 1000;
      break;
    case 503:
      host.SetFlashText(std::string());
      next = 504;
      after = 300;
      break;
    case 504:
      host.SetFlashText(flashTitle);
      next = 505;
      after = 5000;
      break;
    default:
      host.SetFlashText(flashLines[static_cast<std::size_t>(flashIndex)]);
      ++flashIndex;
      next = 505;
      after = 5000;
      break;
  }
  host.ShowFlash();
  host.SetTimer(next, after);
}

}  // namespace ticker
