#include "ticker/news/fetch_cache.h"

#include <chrono>
#include <cstdlib>

#include "support/text/sjis.h"
#include "ticker/news/extractor.h"

namespace news {

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Number(std::string_view s, std::int64_t& value) {
  if (s.empty() || s.size() > 12) return false;
  value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// An HTTP date in any of its three forms, as seconds since 1970 UTC.
bool HttpDate(std::string_view text, std::int64_t& seconds) {
  static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string_view parts[8];
  std::size_t count = 0;
  std::size_t i = 0;
  while (i < text.size() && count < 8) {
    while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '-')) ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != '-') ++i;
    if (i > start) parts[count++] = text.substr(start, i - start);
  }
  // IMF-fixdate "Sun, 06 Nov 1994 08:49:37 GMT" and RFC 850 "Sunday, 06-Nov-94 08:49:37 GMT":
  // weekday day month year time; asctime "Sun Nov  6 08:49:37 1994": weekday month day time year.
  std::int64_t day = 0;
  std::int64_t year = 0;
  std::string_view month;
  std::string_view time;
  if (count >= 5 && Number(parts[1], day)) {
    month = parts[2];
    if (!Number(parts[3], year)) return false;
    time = parts[4];
    if (parts[3].size() == 2) year += year < 70 ? 2000 : 1900;
  } else if (count >= 5 && Number(parts[2], day)) {
    month = parts[1];
    time = parts[3];
    if (!Number(parts[4], year)) return false;
  } else {
    return false;
  }
  unsigned m = 0;
  for (unsigned k = 0; k < 12; ++k) {
    if (sjis::EqualsNoCase(month, kMonths[k])) m = k + 1;
  }
  std::int64_t hh = 0;
  std::int64_t mm = 0;
  std::int64_t ss = 0;
  if (m == 0 || day < 1 || day > 31 || time.size() != 8 || time[2] != ':' || time[5] != ':' ||
      !Number(time.substr(0, 2), hh) || !Number(time.substr(3, 2), mm) || !Number(time.substr(6, 2), ss) ||
      hh > 23 || mm > 59 || ss > 60 || year < 1970 || year > 9999) {
    return false;
  }
  seconds = DaysFromCivil(year, m, static_cast<unsigned>(day)) * 86400 + hh * 3600 + mm * 60 + ss;
  return true;
}

std::int64_t SystemSteady() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t SystemWall() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::int64_t RetryAfterSeconds(std::string_view value, std::int64_t nowSeconds) {
  value = sjis::TrimView(value);
  std::int64_t seconds = 0;
  if (Number(value, seconds)) {
    // Delay-seconds.
  } else if (HttpDate(value, seconds)) {
    seconds -= nowSeconds;
    if (seconds < 0) seconds = 0;
  } else {
    return -1;
  }
  return seconds > kMaxRetryAfterSeconds ? kMaxRetryAfterSeconds : seconds;
}

void FetchCache::SetClocks(Clock steady, Clock wall) {
  std::lock_guard<std::mutex> guard(lock);
  steadyClock = steady;
  wallClock = wall;
}

std::int64_t FetchCache::Steady() const {
  return steadyClock ? steadyClock() : SystemSteady();
}

std::int64_t FetchCache::Wall() const {
  return wallClock ? wallClock() : SystemWall();
}

FetchCache::Entry* FetchCache::Find(const FetchKey& key) {
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->key == key) {
      entries.splice(entries.begin(), entries, it);
      return &entries.front();
    }
  }
  return nullptr;
}

FetchCache::Entry& FetchCache::FindOrAdd(const FetchKey& key) {
  if (Entry* entry = Find(key)) return *entry;
  entries.emplace_front();
  entries.front().key = key;
  while (entries.size() > kMaxEntries) entries.pop_back();
  return entries.front();
}

void FetchCache::Remembered(const Entry* entry, NewsList& list) {
  if (entry && entry->hasList) {
    list = entry->list;
    return;
  }
  list.Clear();
  list.failed = 1;
  list.AddItem(kReadErrorItem, 1);
}

bool FetchCache::MayFetch(const FetchKey& key, NewsList& list, HttpConditions& conditions) {
  std::lock_guard<std::mutex> guard(lock);
  conditions = HttpConditions();
  Entry* entry = Find(key);
  if (!entry) return true;
  if (entry->blockedUntil != 0) {
    if (Steady() < entry->blockedUntil) {
      Remembered(entry, list);
      return false;
    }
    entry->blockedUntil = 0;
  }
  if (entry->hasList) {
    conditions.ifNoneMatch = entry->etag;
    conditions.ifModifiedSince = entry->lastModified;
  }
  return true;
}

bool FetchCache::Unchanged(const FetchKey& key, NewsList& list) {
  std::lock_guard<std::mutex> guard(lock);
  Entry* entry = Find(key);
  if (!entry || !entry->hasList) return false;
  list = entry->list;
  return true;
}

bool FetchCache::Refuse(const FetchKey& key, const std::string& retryAfter, NewsList& list) {
  std::lock_guard<std::mutex> guard(lock);
  const std::int64_t delay = RetryAfterSeconds(retryAfter, Wall());
  if (delay <= 0) return false;
  Entry& entry = FindOrAdd(key);
  entry.blockedUntil = Steady() + delay;
  Remembered(&entry, list);
  return true;
}

void FetchCache::Remember(const FetchKey& key, const HttpResponse& response, const NewsList& list) {
  std::lock_guard<std::mutex> guard(lock);
  Entry& entry = FindOrAdd(key);
  entry.etag = response.etag;
  entry.lastModified = response.lastModified;
  entry.list = list;
  entry.hasList = true;
  entry.blockedUntil = 0;
}

void FetchCache::Clear() {
  std::lock_guard<std::mutex> guard(lock);
  entries.clear();
}

std::size_t FetchCache::Size() const {
  std::lock_guard<std::mutex> guard(lock);
  return entries.size();
}

FetchCache& TheFetchCache() {
  static FetchCache* cache = new FetchCache();  // kept for the process: threads may use it at exit
  return *cache;
}

}  // namespace news
