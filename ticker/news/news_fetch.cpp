#include <string>

#include "support/net/page_fetch.h"
#include "support/net/page_lines.h"
#include "ticker/news/document_reader.h"
#include "ticker/news/extractor.h"
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
    // The reader takes each line as it is converted, so the page is never held whole.
    PageLines page;
    PageExchange exchange;
    DocumentReader reader(*this, level, page, url);
    const bool read = LoadPage(page, url, referrer, kEncodingUnknown, userName, password, &reader, exchange);
    // An error status is no page of news: its body (a "not found" page) is not shown.
    if (read && exchange.response.status < 400) {
      reader.Finish();
      return;
    }
    SetNotFound(*this, url);
  } catch (...) {
    Clear();
    failed = 1;
    AddItem(kReadErrorItem, 1);
  }
}
