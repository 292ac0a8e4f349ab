// The headline list of one page: its title and items. AddItem is the only way in.
#pragma once

#include <string>
#include <vector>

struct PageLines;

class NewsList {
 public:
  // Normalises text and appends it when it has at least minLength bytes; returns the stored
  // length in bytes, or 0 when nothing was stored.
  int AddItem(const std::string& text, int minLength);

  // The item at index, or empty text when index is out of range.
  std::string GetItem(int index) const;
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

  // Empties title and items and clears the flags.
  void Clear();

  std::string title;
  std::vector<std::string> items;
  int inHead = 0;  // 1 while the extractor is between <HEAD> and </HEAD>
  int failed = 0;  // 1 when the items are an error message rather than page text
};
