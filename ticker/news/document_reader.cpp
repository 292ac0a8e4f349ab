#include "ticker/news/document_reader.h"

#include <utility>

#include "support/text/charset.h"
#include "ticker/news/news_list.h"

DocumentReader::DocumentReader(NewsList& target, int level, ConvertState& convertState,
                               const std::string& url, std::string* text)
    : list(target), state(convertState), extractor(target, level, url), feed(target, url), pageText(text) {
  state.decodeEntities = false;
}

bool DocumentReader::OnResponse(const HttpResponse& response) {
  extractor.SetPageUrl(response.finalUrl);
  feed.SetFeedUrl(response.finalUrl);
  return response.status < 400;
}

void DocumentReader::PageLine(std::string& line) {
  DecodeEntities(line);
  if (pageText) {
    pageText->append(line);
    pageText->push_back('\n');
  }
  extractor.Feed(line);
}

void DocumentReader::ToPage(std::string* current) {
  route = Route::kPage;
  std::vector<std::string> lines;
  lines.swap(held);
  heldBytes = 0;
  for (std::string& line : lines) PageLine(line);
  if (current) PageLine(*current);
}

void DocumentReader::OnLine(std::string& line) {
  if (broken) return;
  try {
    switch (route) {
      case Route::kPage:
        PageLine(line);
        break;
      case Route::kFeed:
        feed.Feed(line);
        break;
      case Route::kUndecided:
        feed.Feed(line);
        if (feed.GetKind() == FeedReader::Kind::kFeed) {
          route = Route::kFeed;
          state.encodingFixed = true;
          held.clear();
        } else if (feed.GetKind() == FeedReader::Kind::kNotFeed) {
          ToPage(&line);
        } else {
          heldBytes += line.size();
          held.push_back(line);
          if (heldBytes > kMaxHeldBytes) ToPage(nullptr);
        }
        break;
    }
  } catch (...) {
    // Out of memory: what was stored stays, the rest of the document is lost.
    broken = true;
  }
}

bool DocumentReader::Satisfied() const {
  return broken || (route == Route::kFeed && feed.Done());
}

void DocumentReader::Finish() {
  if (route == Route::kUndecided && !broken) {
    try {
      ToPage(nullptr);
    } catch (...) {
      broken = true;
    }
  }
  if (route == Route::kFeed) {
    feed.Finish();
  } else {
    extractor.Finish();
  }
  if (broken) {
    list.failed = 1;
    list.AddItem(kReadErrorItem, 1);
  }
}
