#include "ticker/common/settings.h"

#include "support/registry/registry.h"
#include "support/ticker_link/url_slot.h"

namespace settings {

namespace {

// Reads a number, keeping fallback when the value cannot be read.
int ReadNumberOr(CRegistry& reg, const char* path, const char* name, int fallback) {
  int value = 0;
  return reg.ReadNumber(path, name, value) ? value : fallback;
}

}  // namespace

TickerSettings ReadTickerSettings(const char* root) {
  CRegistry reg(root);
  TickerSettings s;
  s.online = ReadNumberOr(reg, "", kOnline, 1);
  s.howto = ReadNumberOr(reg, kOptionKey, kHowto, kModeDesktop);
  s.order = ReadNumberOr(reg, kOptionKey, kOrder, 0);
  s.loopCount = ReadNumberOr(reg, kOptionKey, kLoopCount, 0);
  s.sleep = ReadNumberOr(reg, kOptionKey, kSleep, 0);
  s.speed = ReadNumberOr(reg, kOptionKey, kSpeed, 1);
  s.deskPer = DeskPerPercent(ReadNumberOr(reg, kOptionKey, kDeskPer, 0));
  return s;
}

int DeskPerPercent(int index) {
  switch (index) {
    case 1:
      return 50;
    case 2:
      return 75;
    case 3:
      return 100;
    default:
      return 25;
  }
}

long long SleepMilliseconds(int index) {
  // "連続" still pauses one second; the rest are 10 s, 30 s and 1 to 60 minutes.
  static const long long kSeconds[] = {1, 10, 30, 60, 180, 300, 600, 900, 1200, 1800, 2700, 3600};
  if (index < 0 || index >= static_cast<int>(sizeof kSeconds / sizeof kSeconds[0])) return -1;
  return kSeconds[index] * 1000;
}

long long TickMilliseconds(int speed) {
  // Computed in 64 bits so that a stray huge or negative value cannot overflow.
  return (static_cast<long long>(speed) + 1) * 80;
}

ProxyCredentials ReadProxyCredentials(const char* root) {
  CRegistry reg(root);
  ProxyCredentials credentials;
  if (ReadNumberOr(reg, kOptionKey, kProxyAuth, 0) == 0) return credentials;
  if (!reg.ReadString(kOptionKey, kProxyUser, credentials.user)) credentials.user.clear();
  if (!reg.ReadScrambled(kOptionKey, kProxyPassword, credentials.password)) credentials.password.clear();
  return credentials;
}

OptionSettings ReadOptionSettings(const char* root) {
  CRegistry reg(root);
  OptionSettings o;
  o.howto = ReadNumberOr(reg, kOptionKey, kHowto, o.howto);
  o.order = ReadNumberOr(reg, kOptionKey, kOrder, o.order);
  o.loopCount = ReadNumberOr(reg, kOptionKey, kLoopCount, o.loopCount);
  o.sleep = ReadNumberOr(reg, kOptionKey, kSleep, o.sleep);
  o.speed = ReadNumberOr(reg, kOptionKey, kSpeed, o.speed);
  o.regExplorer = ReadNumberOr(reg, kOptionKey, kRegExplorer, o.regExplorer);
  o.deskPer = ReadNumberOr(reg, kOptionKey, kDeskPer, o.deskPer);
  o.proxyAuth = ReadNumberOr(reg, kOptionKey, kProxyAuth, o.proxyAuth);
  if (!reg.ReadString(kOptionKey, kProxyUser, o.proxyUser)) o.proxyUser.clear();
  if (!reg.ReadScrambled(kOptionKey, kProxyPassword, o.proxyPassword)) o.proxyPassword.clear();
  return o;
}

bool WriteOptionSettings(const OptionSettings& o, const std::string& passwordAsRead, const char* root) {
  CRegistry reg(root);
  bool ok = true;
  ok &= reg.WriteNumber(kOptionKey, kHowto, o.howto);
  ok &= reg.WriteNumber(kOptionKey, kOrder, o.order);
  ok &= reg.WriteNumber(kOptionKey, kLoopCount, o.loopCount);
  ok &= reg.WriteNumber(kOptionKey, kSleep, o.sleep);
  ok &= reg.WriteNumber(kOptionKey, kSpeed, o.speed);
  ok &= reg.WriteNumber(kOptionKey, kRegExplorer, o.regExplorer);
  ok &= reg.WriteNumber(kOptionKey, kDeskPer, o.deskPer);
  ok &= reg.WriteNumber(kOptionKey, kProxyAuth, o.proxyAuth);
  ok &= reg.WriteString(kOptionKey, kProxyUser, o.proxyUser.c_str());
  ok &= reg.WriteScrambled(kOptionKey, kProxyPassword, passwordAsRead.c_str(), o.proxyPassword.c_str());
  return ok;
}

bool ReadOnline(const char* root) {
  CRegistry reg(root);
  return ReadNumberOr(reg, "", kOnline, 1) != 0;
}

bool WriteOnline(bool online, const char* root) {
  CRegistry reg(root);
  return reg.WriteNumber("", kOnline, online ? 1 : 0);
}

std::string ReadHomeId(const char* root) {
  CRegistry reg(root);
  std::string id;
  if (!reg.ReadString("", kHomeId, id)) id.clear();
  return id;
}

bool WriteHomeId(const std::string& id, const char* root) {
  CRegistry reg(root);
  return reg.WriteString("", kHomeId, id.c_str());
}

bool ApplyFirstRunDefaults(const char* root) {
  CRegistry reg(root);
  if (reg.ValueExists("", kSetup)) return false;
  const std::string slot = url_list::SlotKey(0);
  reg.WriteString(slot.c_str(), url_list::kTitleValue, kDefaultTitle);
  reg.WriteString(slot.c_str(), url_list::kUrlValue, kDefaultUrl);
  reg.WriteNumber(slot.c_str(), url_list::kLevelValue, kDefaultLevel);
  reg.WriteNumber(kOptionKey, kRegExplorer, 1);
  // A new installation starts with the bar; an installation from before this value was written
  // keeps what its readers make of a missing "Howto".
  reg.WriteNumber(kOptionKey, kHowto, kModeBar);
  reg.WriteNumber("", kSetup, 1);
  reg.WriteNumber("", kOnline, 1);
  return true;
}

}  // namespace settings
