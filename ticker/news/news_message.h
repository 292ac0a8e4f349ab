// News messages: the item-stream text carried by WM_COPYDATA to the ticker window, its tags, and
// the addresses of the maker's built-in news channel.
//
// Item stream: "@TITLE@" title "@/TITLE@" "@URL@" url "@/URL@" "@NEWS@" body. Channel items
// (ZLL1-ZLL3) carry headlines separated by line feeds, flash items (FLSH) bulletins separated by
// form feeds. Everything here is portable; the window code only unpacks the COPYDATASTRUCT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/ticker_link/ticker_link.h"

namespace news {

bool IsNewsTag(std::uint32_t tag);
// Display mode of a channel tag (0 bar, 1 desktop, 2 title bar), or -1 for any other tag.
int ModeOfTag(std::uint32_t tag);

// The maker's server: home page (the URL of a message that names none), the built-in channel's
// page and the Referer sent with it.
constexpr const char kMakerHomeUrl[] = "http://www.hoshirai.example/";
constexpr const char kChannelPageUrl[] = "http://www.hoshirai.example/amuse/news.html";
constexpr const char kChannelReferrer[] = "http://www.hoshirai.example/amuse/index.html";
// The channel page counts only with exactly this title.
constexpr const char kChannelTitle[] = "HOSHIRAI NEWS";

struct ItemStream {
  std::string title;
  std::string url;
  std::string body;
};

// Splits an item-stream text. A missing or misordered pair of markers gives an empty part; an
// empty title becomes one of "特報", "号外", "緊急" by random() modulo 3 (random is called only
// then), an empty URL the maker's home page. Without "@NEWS@" the whole text is the body.
ItemStream ReadItemStream(std::string_view text, const std::function<int()>& random);

// The head a writer puts before the body.
std::string ItemStreamHead(std::string_view title, std::string_view url);

// The pieces of body separated by separator, each trimmed of single-byte white space; empty
// pieces are left out.
std::vector<std::string> SplitPieces(std::string_view body, char separator);

// The flash text the channel sends itself: the head, then every bulletin with "&enter;" replaced
// by CR LF and followed by a form feed.
std::string BuildFlashText(std::string_view title, std::string_view url,
                           const std::vector<std::string>& bulletins);

// Replaces every "&enter;" by CR LF.
std::string ExpandEnter(std::string_view text);

}  // namespace news
