#include <string>

#include "support/net/page_fetch.h"
#include "support/net/page_lines.h"
#include "ticker/news/document_reader.h"
#include "ticker/news/extractor.h"
#include "ticker/news/fetch_cache.h"
#include "ticker/news/news_list.h"

namespace {

void SetNotFound(NewsList& list, const char* url) {
  // A failed fetch shows only the error, not what was extracted before the failure.
  list.Clear();
  list.failed = 1;
  std::string text = kNotFoundItem;
  text.replace(text.find("%s"), 2, url);
  list.AddItem(text, 1);
}

}  // namespace

void NewsList::FetchAndExtract(const char* url, const char* referrer, int level, const char* userName,
                               const char* password) {
  Clear();
  if (!url) {
    failed = 1;
    AddItem(kFatalErrorItem, 1);
    return;
  }
  try {
    news::FetchCache& cache = news::TheFetchCache();
    const news::FetchKey key{url, referrer ? referrer : "", referrer != nullptr, level};
    PageExchange exchange;
    // A server that asked to be left alone is not asked again before its time.
    if (!cache.MayFetch(key, *this, exchange.conditions)) return;

    // The reader takes each line as it is converted, so the page is never held whole.
    PageLines page;
    DocumentReader reader(*this, level, page, url);
    const bool read = LoadPage(page, url, referrer, kEncodingUnknown, userName, password, &reader, exchange);
    const HttpResponse& response = exchange.response;
    if (read && response.status == 304 && cache.Unchanged(key, *this)) return;
    if ((response.status == 429 || response.status == 503) && cache.Refuse(key, response.retryAfter, *this)) {
      return;
    }
    // An error status is no page of news: its body (a "not found" page) is not shown.
    if (read && response.status < 400 && response.status != 304) {
      reader.Finish();
      if (!failed) cache.Remember(key, response, *this);
      return;
    }
    SetNotFound(*this, url);
  } catch (...) {
    Clear();
    failed = 1;
    AddItem(kReadErrorItem, 1);
  }
}
