// The dialogs' help texts are kept line by line as they are shown; the help window takes them
// joined with CR LF.
#pragma once

#include <initializer_list>
#include <string>

namespace help_text {

// The caption of the help box of the options, registration and selection dialogs.
constexpr const char kHelpTitle[] = " Zellora ｵﾌﾟｼｮﾝ設定 ﾍﾙﾌﾟ";

inline std::string JoinLines(std::initializer_list<const char*> lines) {
  std::string text;
  bool first = true;
  for (const char* line : lines) {
    if (!first) text += "\r\n";
    text += line;
    first = false;
  }
  return text;
}

}  // namespace help_text
