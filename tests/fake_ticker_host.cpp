#include "tests/fake_ticker_host.h"

#include <stdexcept>
#include <utility>

#include "support/ticker_link/url_slot.h"

namespace fake {

namespace {

// Window timers: at least 10 ms, at most 0x7FFFFFFF ms.
long long ClampInterval(long long ms) {
  if (ms < 10) return 10;
  if (ms > 0x7FFFFFFF) return 0x7FFFFFFF;
  return ms;
}

// Days since 1970-01-01 of a civil date, and back.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

LocalDate CivilFromDays(long long z) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  LocalDate date;
  date.year = static_cast<int>(y + (m <= 2));
  date.month = static_cast<int>(m);
  date.day = static_cast<int>(d);
  return date;
}

}  // namespace

void FakeTickerHost::Record(HostEvent::Kind kind, int id, long long value, std::string text) {
  HostEvent e{kind, now, id, value, std::move(text)};
  events.push_back(std::move(e));
}

void FakeTickerHost::SetTimer(int id, long long milliseconds) {
  Record(HostEvent::kSetTimer, id, milliseconds);
  Timer& t = timers[id];
  t.interval = ClampInterval(milliseconds);
  t.due = now + t.interval;
}

void FakeTickerHost::KillTimer(int id) {
  Record(HostEvent::kKillTimer, id);
  timers.erase(id);
}

void FakeTickerHost::Sleep(int milliseconds) {
  Record(HostEvent::kSleep, 0, milliseconds);
  if (milliseconds > 0) now += milliseconds;
}

void FakeTickerHost::SetDate(int year, int month, int day, long long msOfDay) {
  epochDay = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  startMsOfDay = msOfDay;
}

LocalDate FakeTickerHost::Today() {
  return CivilFromDays(epochDay + (startMsOfDay + now) / 86400000);
}

int FakeTickerHost::Random() {
  if (!randomQueue.empty()) {
    const int r = randomQueue.front();
    randomQueue.erase(randomQueue.begin());
    return r;
  }
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7FFF);
}

bool FakeTickerHost::PrepareBar() {
  Record(HostEvent::kPrepareBar);
  if (!barExists) return false;
  barVisible = true;
  return true;
}

void FakeTickerHost::DrawBar(const std::string& text, int xOffset) {
  Record(HostEvent::kDrawBar, xOffset, 0, text);
  if (throwOnDraw) throw std::runtime_error("drawing failed");
}

void FakeTickerHost::Send(HostEvent::Kind kind) {
  if (duringSend) duringSend(kind);
}

void FakeTickerHost::CheckWallpaperSettings() {
  Record(HostEvent::kCheckWallpaper);
  Send(HostEvent::kCheckWallpaper);
}

void FakeTickerHost::RefreshSnapshot() {
  Record(HostEvent::kRefreshSnapshot);
  Send(HostEvent::kRefreshSnapshot);
}

void FakeTickerHost::DrawDesktop(const std::string& text, int xOffset, int areaPercent) {
  Record(HostEvent::kDrawDesktop, xOffset, areaPercent, text);
  Send(HostEvent::kDrawDesktop);
  if (throwOnDraw) throw std::runtime_error("drawing failed");
  desktopShows = text;
}

void FakeTickerHost::DrawCaption(const std::string& text) {
  Record(HostEvent::kDrawCaption, 0, 0, text);
  Send(HostEvent::kDrawCaption);
  if (throwOnDraw) throw std::runtime_error("drawing failed");
  captionShows = text;
}

void FakeTickerHost::ClearDesktopStrip() {
  Record(HostEvent::kClearDesktop);
  Send(HostEvent::kClearDesktop);
  desktopShows.clear();
}

void FakeTickerHost::ReleaseCaptionTarget() {
  Record(HostEvent::kReleaseCaption);
  Send(HostEvent::kReleaseCaption);
  captionShows.clear();
}

void FakeTickerHost::HideBar() {
  Record(HostEvent::kHideBar);
  barVisible = false;
}

void FakeTickerHost::SetFlashText(const std::string& text) {
  Record(HostEvent::kFlashText, 0, 0, text);
  flashText = text;
}

void FakeTickerHost::ShowFlash() {
  Record(HostEvent::kShowFlash);
  flashVisible = true;
}

void FakeTickerHost::HideFlash() {
  Record(HostEvent::kHideFlash);
  flashVisible = false;
}

void FakeTickerHost::FetchPage(const std::string& url, const std::string& referrer, int level,
                               const std::string& user, const std::string& password, NewsList& list) {
  Record(HostEvent::kFetch, level, 0, url);
  fetches.push_back(FetchRecord{url, referrer, user, password, level, now});
  if (onFetch) onFetch(url);
  list.title.clear();
  list.items.clear();
  list.links.clear();
  list.inHead = 0;
  list.failed = 0;
  auto it = pages.find(url);
  if (it == pages.end()) {
    list.items.push_back("＜読み込みエラー＞");
    list.failed = 1;
    return;
  }
  list.title = it->second.title;
  list.items = it->second.items;
  list.links = it->second.links;
  list.failed = it->second.failed ? 1 : 0;
}

bool FakeTickerHost::SendNewsMessage(std::uint32_t tag, const void* data, std::size_t size) {
  Record(HostEvent::kSendMessage, static_cast<int>(tag), static_cast<long long>(size),
         data ? std::string(static_cast<const char*>(data), size) : std::string());
  return onNewsMessage ? onNewsMessage(tag, data, size) : false;
}

bool FakeTickerHost::FireNext(long long until) {
  int bestId = 0;
  const Timer* best = nullptr;
  for (const auto& [id, t] : timers) {
    if (best == nullptr || t.due < best->due) {
      best = &t;
      bestId = id;
    }
  }
  if (best == nullptr || best->due > until) return false;
  if (best->due > now) now = best->due;
  timers[bestId].due = now + timers[bestId].interval;  // repeats until killed
  Record(HostEvent::kTimerFired, bestId);
  if (onTimer) onTimer(bestId);
  return true;
}

void FakeTickerHost::RunFor(long long milliseconds) {
  const long long until = now + milliseconds;
  while (FireNext(until)) {
  }
  if (now < until) now = until;
}

bool FakeTickerHost::RunUntil(const std::function<bool()>& pred, long long limit) {
  const long long until = now + limit;
  while (!pred()) {
    if (!FireNext(until)) return false;
  }
  return true;
}

bool FakeTickerHost::TimerActive(int id) const {
  return timers.count(id) != 0;
}

long long FakeTickerHost::TimerInterval(int id) const {
  auto it = timers.find(id);
  return it == timers.end() ? -1 : it->second.interval;
}

long long FakeTickerHost::TimerDue(int id) const {
  auto it = timers.find(id);
  return it == timers.end() ? -1 : it->second.due;
}

std::vector<HostEvent> FakeTickerHost::Events(HostEvent::Kind kind) const {
  std::vector<HostEvent> out;
  for (const HostEvent& e : events) {
    if (e.kind == kind) out.push_back(e);
  }
  return out;
}

bool FakeTickerStore::KeyExists(const std::string& key) {
  probes.push_back(key);
  return keys.count(key) != 0;
}

bool FakeTickerStore::LoadEntry(const std::string& key, UrlEntry& entry) {
  auto it = keys.find(key);
  if (it == keys.end()) {
    entry = UrlEntry();
    return false;
  }
  entry = it->second;
  return true;
}

void FakeTickerStore::AddSlot(int slot) {
  UrlEntry entry;
  entry.title = "site" + std::to_string(slot);
  entry.url = "http://site" + std::to_string(slot) + "/";
  entry.level = 20;
  AddSlot(slot, entry);
}

void FakeTickerStore::AddSlot(int slot, const UrlEntry& entry) {
  keys[url_list::SlotKey(slot)] = entry;
}

}  // namespace fake
