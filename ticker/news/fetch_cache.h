// What the ticker remembers of the answers it was given, so that it asks politely: for each address
// fetched during the program's run, with the level and referrer it was fetched with, the validators
// of its last successful answer (ETag, Last-Modified) and the list made from it, and how long the
// server asked it to stay away (Retry-After of a 429 or 503).
//
// At most kMaxEntries addresses are remembered; the one used least recently goes first. The ticker's
// settings reload forgets them all. One cache serves the whole program: the ticker's thread and the
// URL selection dialog's own download use it, so every call takes its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <string_view>

#include "support/net/http_request.h"
#include "ticker/news/news_list.h"

namespace news {

// What a fetch is remembered by.
struct FetchKey {
  std::string url;
  std::string referrer;
  bool hasReferrer = false;  // a null referrer differs from an empty one
  int level = 0;
  bool operator==(const FetchKey& other) const {
    return url == other.url && referrer == other.referrer && hasReferrer == other.hasReferrer &&
           level == other.level;
  }
};

// The delay a Retry-After value asks for, in seconds from now (nowSeconds, seconds since 1970 UTC):
// delay-seconds or an HTTP date (IMF-fixdate, RFC 850 or asctime form), capped at kMaxRetryAfter.
// -1 when the value is neither; 0 for a date already past.
constexpr std::int64_t kMaxRetryAfterSeconds = std::int64_t{6} * 3600;
std::int64_t RetryAfterSeconds(std::string_view value, std::int64_t nowSeconds);

class FetchCache {
 public:
  static constexpr std::size_t kMaxEntries = 64;

  // The clocks, in seconds: steady for how long to stay away, wall for HTTP dates. Tests replace
  // them; null means the system's.
  using Clock = std::int64_t (*)();
  void SetClocks(Clock steady, Clock wall);

  // Before a fetch. False when the server asked to be left alone until a time not reached yet:
  // then list is the remembered list, or the read-error item when there is none. Otherwise
  // conditions are the validators of the last successful answer (empty when none).
  bool MayFetch(const FetchKey& key, NewsList& list, HttpConditions& conditions);
  // After a 304: true and the remembered list in list, when there is one.
  bool Unchanged(const FetchKey& key, NewsList& list);
  // After a 429 or 503 whose Retry-After could be read: no fetch of key before the delay has
  // passed; list is as for MayFetch. False when retryAfter asks for no delay.
  bool Refuse(const FetchKey& key, const std::string& retryAfter, NewsList& list);
  // After a successful answer: its validators and the list made from it.
  void Remember(const FetchKey& key, const HttpResponse& response, const NewsList& list);

  void Clear();
  std::size_t Size() const;

 private:
  struct Entry {
    FetchKey key;
    std::string etag;
    std::string lastModified;
    bool hasList = false;
    NewsList list;
    std::int64_t blockedUntil = 0;  // steady seconds; 0 when not blocked
  };
  // The entry of key, moved to the front (most recently used), or null.
  Entry* Find(const FetchKey& key);
  Entry& FindOrAdd(const FetchKey& key);
  static void Remembered(const Entry* entry, NewsList& list);
  std::int64_t Steady() const;
  std::int64_t Wall() const;

  mutable std::mutex lock;
  std::list<Entry> entries;  // most recently used first
  Clock steadyClock = nullptr;
  Clock wallClock = nullptr;
};

// The program's cache.
FetchCache& TheFetchCache();

}  // namespace news
