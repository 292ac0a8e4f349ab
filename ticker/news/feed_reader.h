// The feed reader: RSS 0.91-2.0, RSS 1.0 (RDF), Atom 1.0 and Atom 0.3 read as what they are,
// into the same NewsList the page extractor fills: the feed's title as the page title, each
// item's or entry's title as an item (through AddItem, every one kept whatever the page's level),
// each with the address of its article.
//
// It reads the page's converted lines as they arrive (no per-line entity pass: the XML's own
// references are decoded here, once) and keeps only the element path, the markup being read and the
// text of the title or link being collected, so a feed is never held whole. It is no validating
// parser: no DTD is read, no entity but the five of XML and numeric references is known (anything
// else stays as written), and markup that breaks the rules is read on as well as it goes (an end tag
// closes the elements opened after its own start); what cannot be read ends the reading, keeping the
// items before.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class NewsList;

class FeedReader {
 public:
  enum class Kind { kUndecided, kFeed, kNotFeed };

  // Items kept per feed; the rest of the feed is not read.
  static constexpr int kMaxItems = 200;
  // One tag (with its attributes) longer than this ends the reading.
  static constexpr std::size_t kMaxTagBytes = std::size_t{64} * 1024;
  // Collected text of a title or a link is cut here.
  static constexpr std::size_t kMaxTextBytes = std::size_t{16} * 1024;
  // A title is cut here (at a character boundary), as a page's is.
  static constexpr std::size_t kMaxTitleBytes = 4096;

  // feedUrl: the address the feed came from (after redirects), for relative links; may be empty.
  // The list is filled only once the document turned out to be a feed.
  FeedReader(NewsList& list, std::string feedUrl);
  // The address, when it becomes known only after the reader was made (before the first line).
  void SetFeedUrl(std::string url);

  // The next converted line of the document (trimmed; its line break counts as white space).
  void Feed(std::string_view line);
  // The end of the document: an item cut off after its title was read still counts.
  void Finish();

  // What the first element said; kUndecided until it was read.
  Kind GetKind() const { return kind; }
  // Nothing more is needed from the document (the item bound, the end of the root, a fault).
  bool Done() const { return done; }

 private:
  enum class Mode { kText, kMarkupStart, kTag, kComment, kCdata, kPi, kDeclaration };
  enum class Format { kRss, kRdf, kAtom };
  enum class Role {
    kOther,
    kRoot,
    kChannel,
    kFeedTitle,
    kItem,
    kItemTitle,
    kItemLink,
    kItemGuid,
  };

  struct Element {
    std::string name;  // as written, for matching end tags
    Role role = Role::kOther;
    std::size_t bindings = 0;  // namespace bindings in force before this element
    std::string base;          // the address relative links inside are resolved against
  };

  struct Item {
    std::string title;
    bool titleRead = false;
    std::string link;
    std::string guid;
    bool hasLink = false;
  };

  void ReadLine(std::string_view line);
  // Decides what the markup that starts with markup is; false while too little of it is known.
  void StartMarkup();
  void EndTagMarkup();
  void StartElement(std::string_view tag, bool selfClosing);
  void EndElement(std::string_view name);
  void Pop();
  // What an element below the root is, by its namespace, its local name and its parent.
  Role RoleOf(std::string_view ns, std::string_view local) const;
  // The namespace an element's qualified name is in ("" for none).
  std::string NamespaceOf(std::string_view qualifiedName) const;
  void Text(std::string_view text, bool literal);
  void BeginCapture(bool html, bool escapedHtml);
  void EndCapture(const Element& element);
  void EmitItem();
  void Stop() { done = true; }

  NewsList& list;
  std::string feedUrl;
  Kind kind = Kind::kUndecided;
  Format format = Format::kRss;
  bool done = false;
  int emitted = 0;
  bool titleSet = false;

  Mode mode = Mode::kText;
  bool firstLine = true;
  std::string markup;    // the markup being read (a tag, or the start of any markup)
  char quote = 0;        // the quote open inside a tag or a declaration
  int bracketDepth = 0;  // "[" open inside a declaration (an internal subset)

  std::vector<Element> stack;
  std::vector<std::pair<std::string, std::string>> bindings;  // prefix, namespace name

  // The text being collected for a title or a link.
  bool capturing = false;
  std::size_t captureDepth = 0;
  bool captureHtml = false;     // markup inside it is removed
  bool captureEscaped = false;  // it holds escaped HTML whose references are decoded once more
  std::string captured;

  bool inItem = false;
  Item item;
  std::string guidPermaLink;  // the guid element's isPermaLink
};
