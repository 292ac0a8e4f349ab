#include "companion/app/start_mode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zellmate::ParseStartMode;
using zellmate::StartMode;

TEST(StartMode, AutomationSwitchesInAnyCaseAreTakenFromTheArguments) {
  std::string line = "\"C:\\Program Files\\Zellora\\Zellmate.exe\" -Embedding";
  EXPECT_EQ(ParseStartMode(line), StartMode::kAutomation);
  EXPECT_EQ(line, "\"C:\\Program Files\\Zellora\\Zellmate.exe\" ");
  line = "Zellmate.exe /automation";
  EXPECT_EQ(ParseStartMode(line), StartMode::kAutomation);
  EXPECT_EQ(line, "Zellmate.exe ");
  line = "Zellmate.exe /EMBEDDING /UNREGIST";
  EXPECT_EQ(ParseStartMode(line), StartMode::kAutomation);
  // Only one switch is removed, and the program's own path is never searched.
  line = "\"C:\\x-Embedding\\Zellmate.exe\"";
  EXPECT_EQ(ParseStartMode(line), StartMode::kRegister);
  line = "C:\\x-Automation\\Zellmate.exe";
  EXPECT_EQ(ParseStartMode(line), StartMode::kRegister);
  line = "Zellmate.exe Embedding";
  EXPECT_EQ(ParseStartMode(line), StartMode::kRegister);
}

TEST(StartMode, UnregistAnywhereInAnyCaseOtherwiseRegister) {
  for (const char* text : {"Zellmate.exe /UNREGIST", "Zellmate.exe /unregist", "\"Zellmate.exe\" /UnRegister",
                           "Zellmate.exe foo/unregistXYZ"}) {
    std::string line = text;
    EXPECT_EQ(ParseStartMode(line), StartMode::kUnregister) << text;
  }
  for (const char* text :
       {"Zellmate.exe", "Zellmate.exe /REGIST", "Zellmate.exe -UNREGIST", "Zellmate.exe /UNREGIS", ""}) {
    std::string line = text;
    EXPECT_EQ(ParseStartMode(line), StartMode::kRegister) << text;
  }
  // Upper-casing is multibyte-aware: the trail byte of ｕ-like double-byte text is not a letter.
  std::string line = "C:\\表示\\Zellmate.exe /unregist";
  EXPECT_EQ(ParseStartMode(line), StartMode::kUnregister);
}

}  // namespace
