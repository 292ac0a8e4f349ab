// The ticker's settings: names, defaults and range rules shared by every reader and writer.
//
// Nothing here lives for the run. Every reader opens the registry afresh, takes the default for
// each value it cannot read, and lets go; writers write single values.
#pragma once

#include <string>

#include "support/ticker_link/ticker_link.h"

namespace settings {

constexpr const char kOptionKey[] = "Option";

// Value names.
constexpr const char kSetup[] = "bSetup";
constexpr const char kOnline[] = "bOnline";
constexpr const char kHomeId[] = "homeId";
constexpr const char kHowto[] = "Howto";
constexpr const char kOrder[] = "Order";
constexpr const char kLoopCount[] = "loopCount";
constexpr const char kSleep[] = "Sleep";
constexpr const char kSpeed[] = "Speed";
constexpr const char kDeskPer[] = "DeskPer";
constexpr const char kRegExplorer[] = "bRegExplorer";
constexpr const char kProxyAuth[] = "bProxyAuth";
constexpr const char kProxyUser[] = "ProxyUser";
constexpr const char kProxyPassword[] = "ProxyPassword";

// Display modes ("Howto").
enum DisplayMode : int { kModeBar = 0, kModeDesktop = 1, kModeTitleBar = 2 };

// What the ticker window reads at start and on every reload command. Out-of-range values are kept
// as read; their effect is decided where they are used.
struct TickerSettings {
  int online = 1;     // "bOnline", non-zero = display on
  int howto = 1;      // "Howto"
  int order = 0;      // "Order", 0 registration order, anything else random
  int loopCount = 0;  // "loopCount", extra passes
  int sleep = 0;      // "Sleep", index into the pause table
  int speed = 1;      // "Speed", tick = (speed + 1) * 80 ms
  int deskPer = 25;   // "DeskPer" already mapped to a percentage
};

// Every function below opens the registry at root (Zellora's key unless a test names its own),
// reads or writes, and lets go.

// Reads the ticker window's values afresh, each with its own default.
TickerSettings ReadTickerSettings(const char* root = ticker_link::kRootPath);

// The DeskPer index as a percentage: 0 -> 25, 1 -> 50, 2 -> 75, 3 -> 100, anything else -> 25.
int DeskPerPercent(int index);
// The pause of a "Sleep" index in milliseconds, or -1 for an index outside 0-11 (no pause timer).
long long SleepMilliseconds(int index);
// The scroll tick interval in milliseconds for a "Speed" value.
long long TickMilliseconds(int speed);

// Proxy credentials, read before every fetch: user and password only when "bProxyAuth" is
// non-zero; otherwise both empty. An unreadable user or password is empty (a missing password
// value is created holding the scrambled empty text, as every scrambled read does).
struct ProxyCredentials {
  std::string user;
  std::string password;
};
ProxyCredentials ReadProxyCredentials(const char* root = ticker_link::kRootPath);

// Everything the options dialog edits, as stored: list and radio indexes, not percentages.
struct OptionSettings {
  int howto = 1;
  int order = 0;
  int loopCount = 0;
  int sleep = 0;
  int speed = 1;
  int regExplorer = 1;
  int deskPer = 0;
  int proxyAuth = 0;
  std::string proxyUser;
  std::string proxyPassword;
};
// Reads the numbers in the order "Howto", "Order", "loopCount", "Sleep", "Speed",
// "bRegExplorer", "DeskPer", "bProxyAuth", then "ProxyUser" and "ProxyPassword"; each value
// that cannot be read keeps its default.
OptionSettings ReadOptionSettings(const char* root = ticker_link::kRootPath);
// Writes every value in the same order. The password is stored only while the stored one still
// equals passwordAsRead (the password read when the editing began). True when every write
// succeeded.
bool WriteOptionSettings(const OptionSettings& options, const std::string& passwordAsRead,
                         const char* root = ticker_link::kRootPath);

// "bOnline" (missing -> on) and its writer.
bool ReadOnline(const char* root = ticker_link::kRootPath);
bool WriteOnline(bool online, const char* root = ticker_link::kRootPath);

// "homeId" (missing -> empty) and its writer.
std::string ReadHomeId(const char* root = ticker_link::kRootPath);
bool WriteHomeId(const std::string& id, const char* root = ticker_link::kRootPath);

// The first-run defaults: when "bSetup" does not exist, writes the first URL-list slot ("Title",
// "URL", "Filter"), then "bRegExplorer", "Howto" (the bar), "bSetup" and "bOnline". Returns true
// when it wrote them (write failures are ignored: readers fall back to their defaults).
bool ApplyFirstRunDefaults(const char* root = ticker_link::kRootPath);

// The entry the first run puts into the URL list.
constexpr const char kDefaultTitle[] = "Yahoo!トピック";
constexpr const char kDefaultUrl[] = "http://dailynews.yahoo.co.jp/fc/";
constexpr int kDefaultLevel = 20;

}  // namespace settings
