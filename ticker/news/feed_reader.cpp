#include "ticker/news/feed_reader.h"

#include <algorithm>

#include "support/net/url_resolve.h"
#include "support/text/sjis.h"
#include "support/text/sjis_cut.h"
#include "support/text/utf8_ansi.h"
#include "ticker/news/news_list.h"

namespace {

constexpr std::string_view kRdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::string_view kRss10Ns = "http://purl.org/rss/1.0/";
constexpr std::string_view kRss090Ns = "http://my.netscape.com/rdf/simple/0.9/";
constexpr std::string_view kAtom10Ns = "http://www.w3.org/2005/Atom";
constexpr std::string_view kAtom03Ns = "http://purl.org/atom/ns#";
constexpr std::string_view kXmlNs = "http://www.w3.org/XML/1998/namespace";
// An element whose prefix is bound to nothing belongs to no known vocabulary.
constexpr std::string_view kUnboundNs = "#unbound";

// Elements nested deeper than this end the reading (a feed is a few levels deep).
constexpr std::size_t kMaxDepth = 256;

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || b >= 0x80;
}

std::string_view LocalName(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// One character reference's code point as Shift_JIS, as the converter makes it of UTF-8.
void AppendCodePoint(std::string& out, unsigned long cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
      (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r')) {
    out += '?';  // no character XML allows
    return;
  }
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  std::string utf8;
  if (cp < 0x800) {
    utf8 += static_cast<char>(0xC0 | (cp >> 6));
  } else if (cp < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (cp >> 12));
    utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (cp >> 18));
    utf8 += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  utf8 += static_cast<char>(0x80 | (cp & 0x3F));
  Utf8ToAnsi(utf8);
  out += utf8;
}

// Appends text with its references decoded: the five entities of XML and numeric references
// (and, for escaped HTML, the no-break space). Any other reference, and a lone "&", stays as
// written: no entity is ever expanded into more than one character. "&" and ";" are never second
// bytes, and the bytes right after "&" start characters.
void AppendDecoded(std::string& out, std::string_view text, bool html) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(text.data() + i, text.size() - i);
      return;
    }
    out.append(text.data() + i, amp - i);
    i = amp + 1;
    const std::size_t semi = text.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10 || semi == i) {
      out += '&';
      continue;
    }
    const std::string_view name = text.substr(i, semi - i);
    bool known = true;
    if (name[0] == '#') {
      unsigned long cp = 0;
      const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
      const std::size_t digits = hex ? 2 : 1;
      known = name.size() > digits;
      for (std::size_t k = digits; k < name.size() && known; ++k) {
        const char c = name[k];
        int v;
        if (c >= '0' && c <= '9') {
          v = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
          v = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
          v = c - 'A' + 10;
        } else {
          known = false;
          break;
        }
        cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(v);
        if (cp > 0x10FFFF) cp = 0x110000;  // stays out of range, never overflows
      }
      if (known) AppendCodePoint(out, cp);
    } else if (name == "lt") {
      out += '<';
    } else if (name == "gt") {
      out += '>';
    } else if (name == "amp") {
      out += '&';
    } else if (name == "quot") {
      out += '"';
    } else if (name == "apos") {
      out += '\'';
    } else if (html && name == "nbsp") {
      out += ' ';
    } else {
      known = false;
    }
    if (known) {
      i = semi + 1;
    } else {
      out += '&';
    }
  }
}

// Removes markup from text the way page text loses its tags: from a "<" that starts a tag (a
// letter, "/", "!" or "?" follows) to the next ">"; a tag left open takes the rest with it. A "<"
// followed by anything else is text.
std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t lt = text.find('<', i);
    if (lt == std::string_view::npos || lt + 1 >= text.size()) {
      out.append(text.data() + i, text.size() - i);
      break;
    }
    const char next = text[lt + 1];
    const bool tag = (next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z') || next == '/' ||
                     next == '!' || next == '?';
    out.append(text.data() + i, lt - i + (tag ? 0 : 1));
    if (!tag) {
      i = lt + 1;
      continue;
    }
    const std::size_t gt = text.find('>', lt);
    if (gt == std::string_view::npos) break;
    i = gt + 1;
  }
  return out;
}

// White-space runs, line breaks included, become one space; none at the ends. No trail byte is
// white space, so the bytes are looked at one by one.
std::string CollapseSpace(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool space = false;
  for (const char c : text) {
    if (IsXmlSpace(c)) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

std::string CutAtCharacter(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  text.resize(sjis::CutToBytes(text, limit).size());
  return text;
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

const std::string* Find(const Attributes& attributes, std::string_view name) {
  for (const auto& a : attributes) {
    if (a.first == name) return &a.second;
  }
  return nullptr;
}

}  // namespace

FeedReader::FeedReader(NewsList& target, std::string url) : list(target), feedUrl(std::move(url)) {}

void FeedReader::SetFeedUrl(std::string url) {
  feedUrl = std::move(url);
}

void FeedReader::Feed(std::string_view line) {
  if (done) return;
  if (!firstLine) {
    // The line break between two lines is white space wherever it falls.
    if ((mode == Mode::kText || mode == Mode::kCdata) && capturing && captured.size() < kMaxTextBytes) {
      captured += ' ';
    } else if (mode == Mode::kTag || mode == Mode::kMarkupStart) {
      markup += '\n';
    }
  }
  firstLine = false;
  ReadLine(line);
}

void FeedReader::ReadLine(std::string_view line) {
  const std::size_t n = line.size();
  std::size_t i = 0;
  while (i < n && !done) {
    switch (mode) {
      case Mode::kText: {
        const std::size_t lt = line.find('<', i);
        const std::size_t end = lt == std::string_view::npos ? n : lt;
        if (end > i) Text(line.substr(i, end - i), false);
        if (lt == std::string_view::npos) return;
        markup.assign(1, '<');
        mode = Mode::kMarkupStart;
        i = lt + 1;
        break;
      }
      case Mode::kMarkupStart: {
        const char c = line[i];
        if (markup.size() == 1 && c != '!' && c != '?' && c != '/' && !IsNameStart(c)) {
          // "<" before something that starts no markup: a character of the text.
          Text("<", true);
          mode = Mode::kText;
          break;  // c is read again as text
        }
        markup += c;
        ++i;
        StartMarkup();
        break;
      }
      case Mode::kTag: {
        std::size_t j = i;
        for (; j < n; ++j) {
          const char c = line[j];
          if (quote != 0) {
            if (c == quote) quote = 0;
          } else if (c == '"' || c == '\'') {
            quote = c;
          } else if (c == '>') {
            break;
          }
        }
        const std::size_t take = (j < n ? j + 1 : n) - i;
        if (markup.size() + take > kMaxTagBytes) {
          Stop();  // a tag no feed writes
          return;
        }
        markup.append(line.data() + i, take);
        i += take;
        if (j < n) {
          mode = Mode::kText;
          EndTagMarkup();
        }
        break;
      }
      case Mode::kComment:
      case Mode::kPi: {
        const std::string_view close = mode == Mode::kComment ? "-->" : "?>";
        const std::size_t end = line.find(close, i);
        if (end == std::string_view::npos) return;
        i = end + close.size();
        mode = Mode::kText;
        break;
      }
      case Mode::kCdata: {
        const std::size_t end = line.find("]]>", i);
        const std::size_t stop = end == std::string_view::npos ? n : end;
        if (stop > i) Text(line.substr(i, stop - i), true);
        if (end == std::string_view::npos) return;
        i = end + 3;
        mode = Mode::kText;
        break;
      }
      case Mode::kDeclaration: {
        // A doctype and its internal subset are skipped whole: no entity they declare is used.
        for (; i < n; ++i) {
          const char c = line[i];
          if (quote != 0) {
            if (c == quote) quote = 0;
          } else if (c == '"' || c == '\'') {
            quote = c;
          } else if (c == '[') {
            ++bracketDepth;
          } else if (c == ']') {
            if (bracketDepth > 0) --bracketDepth;
          } else if (c == '>' && bracketDepth == 0) {
            ++i;
            mode = Mode::kText;
            break;
          }
        }
        break;
      }
    }
  }
}

void FeedReader::StartMarkup() {
  static constexpr std::string_view kComment = "<!--";
  static constexpr std::string_view kCdata = "<![CDATA[";
  const std::string_view m = markup;
  if (m[1] == '?') {
    mode = Mode::kPi;
  } else if (m[1] != '!') {
    mode = Mode::kTag;
    quote = 0;
  } else if (m == kComment) {
    mode = Mode::kComment;
  } else if (m == kCdata) {
    mode = Mode::kCdata;
  } else if (kComment.substr(0, m.size()) != m && kCdata.substr(0, std::min(m.size(), kCdata.size())) != m) {
    mode = Mode::kDeclaration;
    quote = 0;
    bracketDepth = m.size() > 2 && m[2] == '[' ? 1 : 0;
    if (m.back() == '>' && bracketDepth == 0) mode = Mode::kText;  // "<!>"
  } else {
    return;  // still a possible start of a comment or a CDATA section
  }
  if (mode != Mode::kTag) markup.clear();
}

void FeedReader::EndTagMarkup() {
  std::string tag;
  tag.swap(markup);
  // tag is "<...>"; the quote state is clear.
  if (tag.size() >= 2 && tag[1] == '/') {
    std::size_t end = 2;
    while (end < tag.size() && !IsXmlSpace(tag[end]) && tag[end] != '>') ++end;
    EndElement(std::string_view(tag).substr(2, end - 2));
    return;
  }
  std::string_view body = std::string_view(tag).substr(1, tag.size() - 2);
  const bool selfClosing = !body.empty() && body.back() == '/';
  if (selfClosing) body.remove_suffix(1);
  StartElement(body, selfClosing);
}

void FeedReader::StartElement(std::string_view body, bool selfClosing) {
  if (kind == Kind::kFeed && stack.empty()) {
    Stop();  // a second root: the feed has ended
    return;
  }
  if (stack.size() >= kMaxDepth) {
    Stop();
    return;
  }
  std::size_t i = 0;
  while (i < body.size() && !IsXmlSpace(body[i]) && body[i] != '/') ++i;
  const std::string_view name = body.substr(0, i);

  Attributes attributes;
  while (i < body.size()) {
    while (i < body.size() && (IsXmlSpace(body[i]) || body[i] == '/')) ++i;
    const std::size_t nameStart = i;
    while (i < body.size() && !IsXmlSpace(body[i]) && body[i] != '=') ++i;
    const std::string_view attributeName = body.substr(nameStart, i - nameStart);
    while (i < body.size() && IsXmlSpace(body[i])) ++i;
    std::string value;
    if (i < body.size() && body[i] == '=') {
      ++i;
      while (i < body.size() && IsXmlSpace(body[i])) ++i;
      std::size_t valueStart = i;
      std::size_t valueEnd;
      if (i < body.size() && (body[i] == '"' || body[i] == '\'')) {
        const std::size_t close = body.find(body[i], i + 1);
        valueStart = i + 1;
        valueEnd = close == std::string_view::npos ? body.size() : close;
        i = close == std::string_view::npos ? body.size() : close + 1;
      } else {
        while (i < body.size() && !IsXmlSpace(body[i])) ++i;
        valueEnd = i;
      }
      AppendDecoded(value, body.substr(valueStart, valueEnd - valueStart), false);
    }
    if (!attributeName.empty()) attributes.emplace_back(std::string(attributeName), std::move(value));
  }

  Element element;
  element.name.assign(name);
  element.bindings = bindings.size();
  for (const auto& a : attributes) {
    if (a.first == "xmlns") {
      bindings.emplace_back(std::string(), a.second);
    } else if (a.first.compare(0, 6, "xmlns:") == 0) {
      bindings.emplace_back(a.first.substr(6), a.second);
    }
  }
  const std::string ns = NamespaceOf(name);
  const std::string_view local = LocalName(name);
  const std::string& parentBase = stack.empty() ? feedUrl : stack.back().base;
  const std::string* xmlBase = Find(attributes, "xml:base");
  element.base = xmlBase ? ResolveUrl(parentBase, *xmlBase) : parentBase;

  if (stack.empty()) {
    // The first element decides what the document is.
    if (local == "rss" && ns.empty()) {
      format = Format::kRss;
    } else if (local == "RDF" && ns == kRdfNs) {
      format = Format::kRdf;
    } else if (local == "feed" && (ns == kAtom10Ns || ns == kAtom03Ns)) {
      format = Format::kAtom;
    } else {
      kind = Kind::kNotFeed;
      Stop();
      return;
    }
    kind = Kind::kFeed;
    list.isFeed = 1;
    element.role = Role::kRoot;
  } else {
    element.role = RoleOf(ns, local);
  }

  const Role parent = stack.empty() ? Role::kOther : stack.back().role;
  stack.push_back(std::move(element));
  const Element& e = stack.back();
  switch (e.role) {
    case Role::kItem:
      inItem = true;
      item = Item();
      break;
    case Role::kFeedTitle:
    case Role::kItemTitle: {
      if (capturing || (e.role == Role::kFeedTitle && titleSet)) break;
      bool html = true;  // RSS titles may hold escaped markup
      bool escaped = false;
      if (format == Format::kAtom) {
        const std::string* type = Find(attributes, "type");
        const std::string* atomMode = Find(attributes, "mode");
        html = type && (*type == "html" || *type == "xhtml" || *type == "text/html" ||
                        *type == "application/xhtml+xml");
        escaped = (type && (*type == "html" || (*type == "text/html" && !atomMode))) ||
                  (atomMode && *atomMode == "escaped");
        html = html || escaped;
      }
      BeginCapture(html, escaped);
      break;
    }
    case Role::kItemLink:
      if (!capturing && !item.hasLink) BeginCapture(false, false);
      break;
    case Role::kItemGuid: {
      const std::string* permaLink = Find(attributes, "isPermaLink");
      guidPermaLink = permaLink ? *permaLink : std::string();
      if (!capturing) BeginCapture(false, false);
      break;
    }
    default:
      break;
  }
  if (format == Format::kAtom && parent == Role::kItem && local == "link" &&
      (ns == kAtom10Ns || ns == kAtom03Ns) && !item.hasLink) {
    const std::string* rel = Find(attributes, "rel");
    const std::string* href = Find(attributes, "href");
    if ((!rel || *rel == "alternate") && href && !sjis::TrimView(*href).empty()) {
      item.link = ResolveUrl(e.base, *href);
      item.hasLink = true;
    }
  }
  if (selfClosing) Pop();
}

FeedReader::Role FeedReader::RoleOf(std::string_view ns, std::string_view local) const {
  const Role parent = stack.back().role;
  switch (format) {
    case Format::kRss:
      // Elements of other vocabularies (media:title, itunes:title, atom:link) are extensions.
      if (!ns.empty()) return Role::kOther;
      break;
    case Format::kRdf:
      if (!ns.empty() && ns != kRss10Ns && ns != kRss090Ns) return Role::kOther;
      break;
    case Format::kAtom:
      if (ns != kAtom10Ns && ns != kAtom03Ns) return Role::kOther;
      if (parent == Role::kRoot && local == "title") return Role::kFeedTitle;
      if (parent == Role::kRoot && local == "entry") return Role::kItem;
      if (parent == Role::kItem && local == "title") return Role::kItemTitle;
      return Role::kOther;
  }
  if (parent == Role::kRoot && local == "channel") return Role::kChannel;
  if ((parent == Role::kRoot || parent == Role::kChannel) && local == "item") return Role::kItem;
  if (parent == Role::kChannel && local == "title") return Role::kFeedTitle;
  if (parent == Role::kItem) {
    if (local == "title") return Role::kItemTitle;
    if (local == "link") return Role::kItemLink;
    if (local == "guid" && format == Format::kRss) return Role::kItemGuid;
  }
  return Role::kOther;
}

std::string FeedReader::NamespaceOf(std::string_view qualified) const {
  const std::size_t colon = qualified.find(':');
  const std::string_view prefix =
      colon == std::string_view::npos ? std::string_view() : qualified.substr(0, colon);
  if (prefix == "xml") return std::string(kXmlNs);
  for (auto it = bindings.rbegin(); it != bindings.rend(); ++it) {
    if (it->first == prefix) return it->second;
  }
  return prefix.empty() ? std::string() : std::string(kUnboundNs);
}

void FeedReader::EndElement(std::string_view name) {
  // The innermost open element of that name closes, and every element opened inside it.
  for (std::size_t k = stack.size(); k > 0; --k) {
    if (stack[k - 1].name == name) {
      while (!done && stack.size() >= k) Pop();
      return;
    }
  }
}

void FeedReader::Pop() {
  const Element& e = stack.back();
  if (capturing && stack.size() == captureDepth) EndCapture(e);
  if (e.role == Role::kItem) {
    EmitItem();
    inItem = false;
  }
  bindings.resize(stack.back().bindings);
  stack.pop_back();
  if (stack.empty() && kind == Kind::kFeed) Stop();  // the root ended: so did the feed
}

void FeedReader::Text(std::string_view text, bool literal) {
  if (stack.empty()) {
    // Before the first element only white space may come: text there makes the document a page.
    if (kind == Kind::kUndecided) {
      for (const char c : text) {
        if (!IsXmlSpace(c)) {
          kind = Kind::kNotFeed;
          Stop();
          return;
        }
      }
    }
    return;
  }
  if (!capturing || captured.size() >= kMaxTextBytes) return;
  const std::size_t before = captured.size();
  if (literal) {
    captured.append(text.data(), std::min(text.size(), kMaxTextBytes - before));
  } else {
    AppendDecoded(captured, text, false);
  }
  if (captured.size() > kMaxTextBytes) captured.resize(kMaxTextBytes);
}

void FeedReader::BeginCapture(bool html, bool escaped) {
  capturing = true;
  captureDepth = stack.size();
  captureHtml = html;
  captureEscaped = escaped;
  captured.clear();
}

void FeedReader::EndCapture(const Element& element) {
  capturing = false;
  std::string text;
  text.swap(captured);
  switch (element.role) {
    case Role::kFeedTitle:
    case Role::kItemTitle: {
      if (captureHtml) text = StripTags(text);
      if (captureEscaped) {
        std::string decoded;
        AppendDecoded(decoded, text, true);
        text.swap(decoded);
      }
      text = CutAtCharacter(CollapseSpace(text), kMaxTitleBytes);
      if (element.role == Role::kFeedTitle) {
        list.title = text;
        titleSet = true;
      } else {
        item.title = text;
        item.titleRead = true;
      }
      break;
    }
    case Role::kItemLink: {
      const std::string_view address = sjis::TrimView(text);
      if (!address.empty()) {
        item.link = ResolveUrl(element.base, address);
        item.hasLink = true;
      }
      break;
    }
    case Role::kItemGuid: {
      const std::string_view address = sjis::TrimView(text);
      if (guidPermaLink != "false" && !address.empty()) item.guid = ResolveUrl(element.base, address);
      break;
    }
    default:
      break;
  }
}

void FeedReader::EmitItem() {
  if (!inItem || item.title.empty()) return;
  if (list.AddItem(item.title, 1, item.hasLink ? item.link : item.guid) > 0 && ++emitted >= kMaxItems) {
    Stop();
  }
  item = Item();
}

void FeedReader::Finish() {
  // A body cut off inside an item: the item counts once its title was read.
  if (kind == Kind::kFeed && inItem && item.titleRead && emitted < kMaxItems) EmitItem();
  inItem = false;
}
