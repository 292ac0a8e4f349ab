// The ticker's settings: names, defaults and range rules shared by every reader and writer.
//
// Nothing here lives for the run. Every reader opens the registry afresh, takes the default for
// each value it cannot read, and lets go; writers write single values.
#pragma once

#include <string>

namespace settings {

// Zellora's key, and the key above it that the uninstall run deletes "Zellora" from.
constexpr const char kRootPath[] = "HKEY_CURRENT_USER\\Software\\HOSHIRAI\\Zellora";
constexpr const char kMakerPath[] = "HKEY_CURRENT_USER\\Software\\HOSHIRAI";
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

// Reads the ticker window's values afresh, each with its own default.
TickerSettings ReadTickerSettings();

// The DeskPer index as a percentage: 0 -> 25, 1 -> 50, 2 -> 75, 3 -> 100, anything else -> 25.
int DeskPerPercent(int index);
// The pause of a "Sleep" index in milliseconds, or -1 for an index outside 0-11 (no pause timer).
long long SleepMilliseconds(int index);
// The scroll tick interval in milliseconds for a "Speed" value.
long long TickMilliseconds(int speed);

// Proxy credentials, read before every fetch: user and password only when "bProxyAuth" is
// non-zero; otherwise both empty.
struct ProxyCredentials {
  std::string user;
  std::string password;
};
ProxyCredentials ReadProxyCredentials();

// "bOnline" (missing -> on) and its writer.
bool ReadOnline();
bool WriteOnline(bool online);

// "homeId" (missing -> empty) and its writer.
std::string ReadHomeId();
bool WriteHomeId(const std::string& id);

// The first-run defaults: when "bSetup" does not exist, writes the first URL-list slot, then
// "bRegExplorer", "bSetup" and "bOnline". Returns true when it wrote them.
bool ApplyFirstRunDefaults();

}  // namespace settings
