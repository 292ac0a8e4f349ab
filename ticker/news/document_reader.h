// Reads a fetched document into a NewsList as what it is: a feed (FeedReader) when its first
// element says so, a page (Extractor) otherwise. The lines before the first element are held until
// it is read; from then on every line goes straight to the one reader, so nothing is held whole.
//
// It turns the converter's entity pass off (a feed decodes its own references) and runs that pass
// itself on a page's lines, so a page is read exactly as before. Once the document is a feed, its
// character set is fixed: a later line naming another set does not switch it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "support/net/page_lines.h"
#include "ticker/news/extractor.h"
#include "ticker/news/feed_reader.h"

class NewsList;

class DocumentReader : public PageLineSink {
 public:
  // Lines held before the first element is read; past this the document is a page.
  static constexpr std::size_t kMaxHeldBytes = 1u << 20;

  // Clears list and reads a document extracted at level (a feed's items are kept whatever the
  // level). state is the converter's state of the document's lines; url the address it came from
  // (empty when unknown or told later by OnResponse). pageText, when given, receives a page's
  // converted lines, each followed by a line feed (not a feed's).
  DocumentReader(NewsList& list, int level, ConvertState& state, const std::string& url,
                 std::string* pageText = nullptr);

  // Takes the final address for relative links; false for a status of 400 or above (the body of an
  // error page is not news, so it is not read).
  bool OnResponse(const HttpResponse& response) override;
  void OnLine(std::string& line) override;
  bool Satisfied() const override;
  // The end of the document. A line that could not be processed leaves the items read so far and
  // "＜読み込みエラー＞" with failed = 1.
  void Finish();

  bool IsFeed() const { return route == Route::kFeed; }

 private:
  enum class Route { kUndecided, kPage, kFeed };
  void ToPage(std::string* current);
  void PageLine(std::string& line);

  NewsList& list;
  ConvertState& state;
  Extractor extractor;
  FeedReader feed;
  Route route = Route::kUndecided;
  std::vector<std::string> held;
  std::size_t heldBytes = 0;
  std::string* pageText;
  bool broken = false;
};
