// The headline list of one page: its title, its items and, beside each item, the address of its
// article when there is one. AddItem is the only way in.
#pragma once

#include <string>
#include <vector>

struct PageLines;

class NewsList {
 public:
  // Normalises text and appends it when it has at least minLength bytes; returns the stored
  // length in bytes, or 0 when nothing was stored.
  // link goes beside the stored item when it is an address a browser may be sent to (see
  // AcceptableLink); otherwise the item has none.
  int AddItem(const std::string& text, int minLength, const std::string& link = std::string());

  // The item at index, or empty text when index is out of range.
  std::string GetItem(int index) const;
  // The address of the article of the item at index, or empty text when it has none or index is
  // out of range.
  std::string GetLink(int index) const;
  int ItemCount() const { return static_cast<int>(items.size()); }
  std::string GetTitle() const { return title; }

  // Fetches url and extracts it at level; never fails: a failure leaves one bracketed error item
  // and failed = 1. url may be null; referrer, userName and password may be null.
  void FetchAndExtract(const char* url, const char* referrer, int level, const char* userName,
                       const char* password);
  // Refills the list from the lines of a page.
  void Extract(const PageLines& page, int level);
  // Splits text held in memory into lines (no conversion) and extracts them.
  void ExtractFromText(const std::string& text, int level);

  // Where AddItem's stored text begins in text: after the white space and the leading marks it
  // strips (text.size() when nothing is left).
  static std::size_t ItemStart(const std::string& text);

  // Empties title, items and links and clears the flags.
  void Clear();

  // An http: or https: address of at most kMaxLinkBytes without control characters.
  static bool AcceptableLink(const std::string& link);
  static constexpr std::size_t kMaxLinkBytes = 2048;

  std::string title;
  std::vector<std::string> items;
  std::vector<std::string> links;  // beside items; may be shorter (the missing ones are empty)
  int isFeed = 0;                  // 1 when the items are a feed's entries
  int inHead = 0;                  // 1 while the extractor is between <HEAD> and </HEAD>
  int failed = 0;                  // 1 when the items are an error message rather than page text
};
