// The headline extractor: one pass over a page's converted lines, as they arrive.
//
// There is no HTML parser. Tags are recognised by their literal text (letters in any case), the
// text between tags is collected into an accumulator, and every line end (and every <P> and <BR>)
// hands the collected run to NewsList::AddItem, which keeps it when it reaches the page's
// extraction level.
// The title is the text between the first "<TITLE>" and the first "</TITLE>" of the whole page.
// An item whose text begins inside a link (<A HREF>) keeps the link's address, resolved against
// the page's <BASE HREF> or its own address.
//
// The extractor keeps only the current line, the accumulator, the head of an unfinished tag and the
// title being collected, so a page streamed into it line by line is never held whole, and the work
// per byte is constant (a page twice as large takes twice as long).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/net/page_lines.h"

class NewsList;

// Items that are not page text.
inline constexpr char kFatalErrorItem[] = "＜致命的なエラー＞";           // no URL to fetch
inline constexpr char kNotFoundItem[] = "＜ページが見つかりません %s＞";  // the fetch failed; %s the URL
inline constexpr char kReadErrorItem[] = "＜読み込みエラー＞";            // fetching or extracting broke down
inline constexpr char kContinuationItem[] = "続きはホームページで";       // the stored text passed the cap

class Extractor : public PageLineSink {
 public:
  // Stored text beyond which the page is cut short with kContinuation.
  static constexpr std::int64_t kStoredTextCap = 20000;
  // An unfinished tag keeps this much of its text (its name, a link's address and the markers
  // that matter are at its start; "display:none" is watched over its whole length).
  static constexpr std::size_t kTagHeadBytes = 4096;
  // A title longer than this is cut (at a character boundary).
  static constexpr std::size_t kMaxTitleBytes = 4096;

  // Clears list (title, items, flags) and starts a page extracted at level. pageUrl is the
  // address the page came from (after redirects), against which links are resolved; empty when
  // unknown (then only absolute links are kept).
  Extractor(NewsList& list, int level, std::string pageUrl = std::string());
  // The page's address, when it becomes known only after the extractor was made.
  void SetPageUrl(std::string url);

  void OnLine(std::string& line) override { Feed(line); }
  // Takes the next line of the page (trimmed of single-byte white space first). Never throws: a
  // failure stops the extraction and is reported by Finish.
  void Feed(std::string_view line) noexcept;
  // Ends the page. When a line could not be processed, the items stored so far are kept and
  // "＜読み込みエラー＞" is appended with failed = 1.
  void Finish();

  // True once the stored text passed the cap: later lines are looked at for the title only.
  bool CutShort() const { return cutShort; }

 private:
  enum class Skip { kNone, kScript, kHidden };

  // Finds an ASCII needle, letters in either case, in a stream of characters. The needle must not
  // start again inside itself ("<TITLE>", "</TITLE>", "DISPLAY:NONE" do not), so a mismatch only
  // has to look at the needle's first character. A double-byte character never matches.
  struct Matcher {
    std::string_view upper;  // the needle, and the same in lower case
    std::string_view lower;
    std::size_t matched = 0;
    // Takes the next single-byte character; true when the needle ends with it.
    bool Single(char c) {
      if (c == upper[matched] || c == lower[matched]) {
        if (++matched < upper.size()) return false;
        matched = 0;
        return true;
      }
      matched = (c == upper[0] || c == lower[0]) ? 1 : 0;
      return false;
    }
    void Double() { matched = 0; }
    bool Idle() const { return matched == 0; }
  };

  void FeedLine(std::string_view line);
  void ScanTitle(std::string_view line);
  // Scans the tag that starts at pos (or continues there from the last line); returns the position
  // after its ">", or npos when the line ends first.
  std::size_t ScanTag(std::string_view line, std::size_t pos);
  void WatchDisplayNone(std::string_view line, std::size_t from, std::size_t to);
  void EndTag();
  // Follows <A HREF>, </A> and <BASE HREF> (the tag held whole in tagHead).
  void FollowLinkTag(std::string_view tag);
  // Appends a run of text to the accumulator, noting the link it stands in.
  void Collect(std::string_view text);
  void Flush();

  NewsList& list;
  int level;
  std::int64_t stored = 0;  // bytes stored by AddItem so far
  bool cutShort = false;
  bool broken = false;  // a line failed; nothing more is extracted

  // Extraction state.
  std::string accumulator;  // text collected since the last flush
  // Where in the accumulator the link in force changed, and to what ("" outside links).
  std::vector<std::pair<std::size_t, std::string>> linkMarks;
  std::string pageUrl;
  std::string baseUrl;      // what relative links are resolved against
  std::string currentLink;  // the resolved address of the open <A>, or empty
  Skip skip = Skip::kNone;
  std::string hiddenName;       // the tag name that ends the hidden mode (any case)
  bool inTag = false;           // an unfinished tag continues on the next line
  bool tagLeadPending = false;  // the tag's last byte so far is a lead byte awaiting its partner
  std::string tagHead;          // the start of the current tag, as written
  bool tagDisplayNone = false;
  Matcher displayNone{"DISPLAY:NONE", "display:none"};

  // Title state, over the page's lines joined without separator.
  bool titleDecided = false;
  bool titleOpen = false;            // "<TITLE>" was found; collecting
  std::uint64_t pageOffset = 0;      // bytes of the joined page before the current line
  std::uint64_t titleTextStart = 0;  // offset of the first byte after "<TITLE>"
  std::string titleText;
  Matcher titleStart{"<TITLE>", "<title>"};
  Matcher titleEnd{"</TITLE>", "</title>"};
};
