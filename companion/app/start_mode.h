// How Zellmate was started, from its command line. The COM runtime adds "-Embedding" (or
// "/Automation") when it starts the registered server; any other start registers the browser menu
// entries, or removes them with "/UNREGIST".
#pragma once

#include <string>

namespace zellmate {

enum class StartMode { kRegister, kUnregister, kAutomation };

// Removes the first automation switch ("Embedding" or "Automation" after "/" or "-", any letter
// case) from the arguments of commandLine (the program's own path, quoted or not, is not
// searched); true when one was found.
bool TakeAutomationSwitch(std::string& commandLine);

// The mode of a start with this whole command line (program path included). An automation
// switch is removed from it; otherwise "/UNREGIST" anywhere, in any letter case and as the start
// of a longer word, means unregister.
StartMode ParseStartMode(std::string& commandLine);

}  // namespace zellmate
