#include <string>

#include "support/net/page_fetch.h"
#include "support/net/page_lines.h"
#include "ticker/news/extractor.h"
#include "ticker/news/news_list.h"

void NewsList::FetchAndExtract(const char* url, const char* referrer, int level, const char* userName,
                               const char* password) {
  Clear();
  if (!url) {
    failed = 1;
    AddItem(kFatalErrorItem, 1);
    return;
  }
  try {
    // The extractor takes each line as the reader converts it, so the page is never held whole.
    PageLines page;
    Extractor extractor(*this, level);
    if (LoadPage(page, url, referrer, kEncodingUnknown, userName, password, extractor)) {
      extractor.Finish();
      return;
    }
    // A failed fetch shows only the error, not what was extracted before the failure.
    Clear();
    failed = 1;
    std::string text = kNotFoundItem;
    text.replace(text.find("%s"), 2, url);
    AddItem(text, 1);
  } catch (...) {
    Clear();
    failed = 1;
    AddItem(kReadErrorItem, 1);
  }
}
