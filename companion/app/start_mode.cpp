#include "companion/app/start_mode.h"

#include "support/text/sjis.h"

namespace zellmate {

namespace {

// Where the arguments begin: after the program's path, which is quoted or ends at a blank.
std::size_t ArgumentsStart(const std::string& line) {
  std::size_t pos = 0;
  while (pos < line.size() && sjis::IsSpace(line[pos])) ++pos;
  if (pos < line.size() && line[pos] == '"') {
    const std::size_t close = sjis::FindChar(line, '"', pos + 1);
    return close == std::string::npos ? line.size() : close + 1;
  }
  while (pos < line.size() && !sjis::IsSpace(line[pos])) pos = sjis::NextChar(line, pos);
  return pos;
}

}  // namespace

bool TakeAutomationSwitch(std::string& commandLine) {
  static const char* const kSwitches[] = {"EMBEDDING", "AUTOMATION"};
  const std::string upper = sjis::ToUpper(commandLine);
  // Upper-casing keeps every length, so positions in upper are positions in commandLine.
  for (std::size_t pos = ArgumentsStart(commandLine); pos < upper.size(); pos = sjis::NextChar(upper, pos)) {
    if (upper[pos] != '/' && upper[pos] != '-') continue;
    for (const char* word : kSwitches) {
      const std::string_view w(word);
      if (upper.compare(pos + 1, w.size(), w) == 0) {
        commandLine.erase(pos, w.size() + 1);
        return true;
      }
    }
  }
  return false;
}

StartMode ParseStartMode(std::string& commandLine) {
  if (TakeAutomationSwitch(commandLine)) return StartMode::kAutomation;
  if (sjis::Find(sjis::ToUpper(commandLine), "/UNREGIST") != std::string::npos) return StartMode::kUnregister;
  return StartMode::kRegister;
}

}  // namespace zellmate
