// The options dialog's rules that do not need a window: the texts of its lists, when the area list
// and the proxy edits are usable, the help text, and how the browser companion is started.
#pragma once

#include <string>
#include <vector>

#include "ticker/common/settings.h"

namespace option_dlg {

// List contents in the order shown; the stored value is the index. "1分" has a half-width digit
// while every other pause uses full-width digits: that is how the lists always read.
const std::vector<std::string>& AreaEntries();   // "DeskPer"
const std::vector<std::string>& SpeedEntries();  // "Speed"
const std::vector<std::string>& LoopEntries();   // "loopCount"
const std::vector<std::string>& SleepEntries();  // "Sleep"

// The options as the dialog shows them: a radio or list index the control has no entry for takes
// the reader's default (so a stored "Howto" of 5 shows, and is saved as, the desktop background),
// and a check box is on for every value but 0, as the programs that read those values take it.
settings::OptionSettings ShownOptions(const settings::OptionSettings& stored);

// The area list matters only for the desktop-background mode.
inline bool AreaListEnabled(int howto) {
  return howto == 1;
}
// The user name and password edits are usable while authentication is on.
inline bool ProxyEditsEnabled(int proxyAuth) {
  return proxyAuth == 1;
}

// The help window's text, lines separated by CR LF.
const std::string& HelpText();

constexpr const char kCompanionFile[] = "Zellmate.exe";
// The companion beside the ticker's own program file; empty when the folder is unknown.
std::string CompanionPath(const std::string& tickerFolder);
// The companion's command line: the path in double quotes (a folder such as "Program Files" has a
// blank, and an unquoted path would be tried as "C:\Program" first), followed by " /UNREGIST"
// when the browser menu entries are to be removed. Empty when path is empty.
std::string CompanionCommandLine(const std::string& path, bool registerMenus);

}  // namespace option_dlg
