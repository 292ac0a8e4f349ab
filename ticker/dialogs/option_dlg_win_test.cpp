#include "ticker/dialogs/option_dlg_win.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/registry/registry.h"
#include "support/system/paths_win.h"
#include "tests/registry_test_key.h"
#include "ticker/dialogs/help_texts.h"
#include "ticker/dialogs/option_dlg_res.h"
#include "ticker/dialogs/option_rules.h"
#include "ticker/dialogs/test_driver_win.h"

namespace {

std::string SelectedText(HWND combo) {
  const LRESULT index = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (index < 0) return "(none)";
  char text[64] = {};
  ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

bool Checked(HWND button) {
  return ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Choose(HWND combo, int index) {
  ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ::SendMessageA(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

// Every value under a key: name -> type and bytes.
std::map<std::string, std::pair<DWORD, std::string>> Snapshot(const std::string& subKey) {
  std::map<std::string, std::pair<DWORD, std::string>> values;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    BYTE data[1024];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    if (::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
    values[name] = {type, std::string(reinterpret_cast<char*>(data), dataSize)};
  }
  ::RegCloseKey(key);
  return values;
}

class OptionDlg : public RegistryKeyTest {
 protected:
  void SetUp() override {
    RegistryKeyTest::SetUp();
    standin = paths::GetModuleFolder("") + "\\stand in\\Zellmate.exe";
    log = paths::GetModuleFolder("") + "\\stand in\\" + name_ + ".log";
    ::DeleteFileA(log.c_str());
    ::SetEnvironmentVariableA("ZELLMATE_STANDIN_LOG", log.c_str());
  }
  void TearDown() override {
    ::SetEnvironmentVariableA("ZELLMATE_STANDIN_LOG", nullptr);
    ::DeleteFileA(log.c_str());
    RegistryKeyTest::TearDown();
  }
  HWND Open(COptionDlg& dlg) {
    EXPECT_TRUE(dlg.Create(nullptr));
    return dlg.GetHwnd();
  }
  std::vector<std::string> StartedCommandLines() const {
    std::vector<std::string> lines;
    std::string text;
    if (FILE* f = std::fopen(log.c_str(), "rb")) {
      char buf[4096];
      std::size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
      std::fclose(f);
    }
    std::size_t start = 0;
    for (std::size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
      lines.push_back(text.substr(start, nl - start));
      start = nl + 1;
    }
    return lines;
  }
  std::string OptionPath() const { return subKey_ + "\\Option"; }

  std::string standin;
  std::string log;
};

TEST_F(OptionDlg, EmptyKeyOpensWithTheDefaults) {
  COptionDlg dlg(base_, standin);
  HWND wnd = Open(dlg);
  ASSERT_TRUE(wnd);
  char title[64] = {};
  ::GetWindowTextA(wnd, title, sizeof title);
  EXPECT_STREQ(title, " オプション設定");
  EXPECT_FALSE(Checked(dlg.GetItem(IDC_OPT_MODE_BAR)));
  EXPECT_TRUE(Checked(dlg.GetItem(IDC_OPT_MODE_DESKTOP)));
  EXPECT_TRUE(Checked(dlg.GetItem(IDC_OPT_ORDER_REGIST)));
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_SPEED)), "普通");
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_LOOP)), "１回");
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_SLEEP)), "連続");
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_AREA)), "２５％");
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_AREA)));
  EXPECT_TRUE(Checked(dlg.GetItem(IDC_OPT_REG_EXPLORER)));
  EXPECT_FALSE(Checked(dlg.GetItem(IDC_OPT_PROXY_AUTH)));
  EXPECT_FALSE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_USER)));
  EXPECT_FALSE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_PASSWORD)));
  EXPECT_EQ(::SendMessageA(dlg.GetItem(IDC_OPT_SLEEP), CB_GETCOUNT, 0, 0), 12);
  // Opening writes nothing but the empty password the scrambled read creates.
  auto values = Snapshot(OptionPath());
  EXPECT_EQ(values.size(), 1u);
  EXPECT_EQ(values.count("ProxyPassword"), 1u);
  dlg.DestroyWindow();
}

TEST_F(OptionDlg, StoredIndexesTheControlsCannotShowAreShownAndSavedAsTheDefaults) {
  for (const auto& [name, value] : std::vector<std::pair<const char*, int>>{{"Howto", 5},
                                                                            {"Order", -1},
                                                                            {"Speed", 3},
                                                                            {"loopCount", 99},
                                                                            {"Sleep", 12},
                                                                            {"DeskPer", 4},
                                                                            {"bRegExplorer", 7},
                                                                            {"bProxyAuth", 2}}) {
    reg_.WriteNumber("Option", name, value);
  }
  COptionDlg dlg(base_, standin);
  ASSERT_TRUE(Open(dlg));
  EXPECT_TRUE(Checked(dlg.GetItem(IDC_OPT_MODE_DESKTOP)));
  EXPECT_TRUE(Checked(dlg.GetItem(IDC_OPT_ORDER_REGIST)));
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_SPEED)), "普通");
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_LOOP)), "１回");
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_SLEEP)), "連続");
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_AREA)), "２５％");
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_AREA)));
  EXPECT_TRUE(Checked(dlg.GetItem(IDC_OPT_REG_EXPLORER)));
  // Any value but 0 turns authentication on for the fetch, so the dialog shows it on.
  EXPECT_TRUE(Checked(dlg.GetItem(IDC_OPT_PROXY_AUTH)));
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_USER)));
  ::SendMessageA(dlg.GetItem(IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);

  const settings::OptionSettings saved = settings::ReadOptionSettings(base_.c_str());
  EXPECT_EQ(saved.howto, 1);
  EXPECT_EQ(saved.order, 0);
  EXPECT_EQ(saved.speed, 1);
  EXPECT_EQ(saved.loopCount, 0);
  EXPECT_EQ(saved.sleep, 0);
  EXPECT_EQ(saved.deskPer, 0);
  EXPECT_EQ(saved.regExplorer, 1);
  EXPECT_EQ(saved.proxyAuth, 1);
}

TEST_F(OptionDlg, ModesEnableTheAreaListAndAuthenticationTheEdits) {
  reg_.WriteNumber("Option", "Howto", 0);
  reg_.WriteNumber("Option", "bProxyAuth", 1);
  COptionDlg dlg(base_, standin);
  ASSERT_TRUE(Open(dlg));
  HWND area = dlg.GetItem(IDC_OPT_AREA);
  EXPECT_FALSE(::IsWindowEnabled(area));
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_USER)));
  ::SendMessageA(dlg.GetItem(IDC_OPT_MODE_DESKTOP), BM_CLICK, 0, 0);
  EXPECT_TRUE(::IsWindowEnabled(area));
  ::SendMessageA(dlg.GetItem(IDC_OPT_MODE_TITLE), BM_CLICK, 0, 0);
  EXPECT_FALSE(::IsWindowEnabled(area));
  ::SendMessageA(dlg.GetItem(IDC_OPT_MODE_DESKTOP), BM_CLICK, 0, 0);
  ::SendMessageA(dlg.GetItem(IDC_OPT_MODE_BAR), BM_CLICK, 0, 0);
  EXPECT_FALSE(::IsWindowEnabled(area));
  EXPECT_EQ(dlg.options.howto, 0);

  ::SendMessageA(dlg.GetItem(IDC_OPT_PROXY_AUTH), BM_CLICK, 0, 0);
  EXPECT_FALSE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_USER)));
  EXPECT_FALSE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_PASSWORD)));
  ::SendMessageA(dlg.GetItem(IDC_OPT_PROXY_AUTH), BM_CLICK, 0, 0);
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_USER)));
  EXPECT_TRUE(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_PASSWORD)));
  dlg.DestroyWindow();
}

TEST_F(OptionDlg, CancelAfterChangingEveryControlLeavesTheRegistryAsItWas) {
  settings::OptionSettings stored;
  stored.howto = 2;
  stored.sleep = 5;
  stored.proxyUser = "user";
  stored.proxyPassword = "secret";
  ASSERT_TRUE(settings::WriteOptionSettings(stored, "", base_.c_str()));
  const auto before = Snapshot(OptionPath());
  ASSERT_EQ(before.size(), 10u);

  COptionDlg dlg(base_, standin);
  ASSERT_TRUE(Open(dlg));
  EXPECT_EQ(SelectedText(dlg.GetItem(IDC_OPT_SLEEP)), "５分");
  ::SendMessageA(dlg.GetItem(IDC_OPT_MODE_DESKTOP), BM_CLICK, 0, 0);
  ::SendMessageA(dlg.GetItem(IDC_OPT_ORDER_RANDOM), BM_CLICK, 0, 0);
  Choose(dlg.GetItem(IDC_OPT_AREA), 3);
  Choose(dlg.GetItem(IDC_OPT_SPEED), 2);
  Choose(dlg.GetItem(IDC_OPT_LOOP), 2);
  Choose(dlg.GetItem(IDC_OPT_SLEEP), 3);
  ::SendMessageA(dlg.GetItem(IDC_OPT_REG_EXPLORER), BM_CLICK, 0, 0);
  ::SendMessageA(dlg.GetItem(IDC_OPT_PROXY_AUTH), BM_CLICK, 0, 0);
  ::SetWindowTextA(dlg.GetItem(IDC_OPT_PROXY_USER), "other");
  ::SetWindowTextA(dlg.GetItem(IDC_OPT_PROXY_PASSWORD), "changed");
  ::SendMessageA(dlg.GetItem(IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  EXPECT_EQ(Snapshot(OptionPath()), before);
  EXPECT_TRUE(StartedCommandLines().empty());
}

TEST_F(OptionDlg, PasswordChangedByAnotherProgramStaysAndEverythingElseIsWritten) {
  settings::OptionSettings stored;
  stored.proxyAuth = 1;
  stored.proxyPassword = "old";
  ASSERT_TRUE(settings::WriteOptionSettings(stored, "", base_.c_str()));
  COptionDlg dlg(base_, standin);
  ASSERT_TRUE(Open(dlg));
  EXPECT_EQ(dlg.GetItemText(IDC_OPT_PROXY_PASSWORD), "old");
  ::SetWindowTextA(dlg.GetItem(IDC_OPT_PROXY_PASSWORD), "mine");
  ::SetWindowTextA(dlg.GetItem(IDC_OPT_PROXY_USER), "newuser");
  Choose(dlg.GetItem(IDC_OPT_SPEED), 0);
  ASSERT_TRUE(reg_.WriteScrambled("Option", "ProxyPassword", "old", "theirs"));
  ::SendMessageA(dlg.GetItem(IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  const settings::OptionSettings now = settings::ReadOptionSettings(base_.c_str());
  EXPECT_EQ(now.proxyPassword, "theirs");
  EXPECT_EQ(now.proxyUser, "newuser");
  EXPECT_EQ(now.speed, 0);
  EXPECT_EQ(now.proxyAuth, 1);

  // Without interference the edit's password is stored.
  COptionDlg again(base_, standin);
  ASSERT_TRUE(Open(again));
  ::SetWindowTextA(again.GetItem(IDC_OPT_PROXY_PASSWORD), "mine");
  ::SendMessageA(again.GetItem(IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(settings::ReadOptionSettings(base_.c_str()).proxyPassword, "mine");
}

TEST_F(OptionDlg, SavingStartsTheCompanionWithTheQuotedPathEveryTime) {
  for (int run = 0; run < 2; ++run) {
    COptionDlg dlg(base_, standin);
    ASSERT_TRUE(Open(dlg));
    if (Checked(dlg.GetItem(IDC_OPT_REG_EXPLORER))) {
      ::SendMessageA(dlg.GetItem(IDC_OPT_REG_EXPLORER), BM_CLICK, 0, 0);
    }
    ::SendMessageA(dlg.GetItem(IDOK), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(settings::ReadOptionSettings(base_.c_str()).regExplorer, 0);
  COptionDlg dlg(base_, standin);
  ASSERT_TRUE(Open(dlg));
  ::SendMessageA(dlg.GetItem(IDC_OPT_REG_EXPLORER), BM_CLICK, 0, 0);
  ::SendMessageA(dlg.GetItem(IDOK), BM_CLICK, 0, 0);

  const std::vector<std::string> lines = StartedCommandLines();
  const std::string quoted = "\"" + standin + "\"";
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], quoted + " /UNREGIST");
  EXPECT_EQ(lines[1], quoted + " /UNREGIST");
  EXPECT_EQ(lines[2], quoted);
  EXPECT_NE(standin.find(' '), std::string::npos);
}

TEST_F(OptionDlg, HelpPictureOpensTheHelpWindowWithTheOptionsText) {
  COptionDlg dlg(base_, standin);
  ASSERT_TRUE(Open(dlg));
  EXPECT_NE(::SendMessageA(dlg.GetItem(IDC_OPT_HELP), STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  std::string shownText;
  std::thread user = dialog_test::WhenShown(help_text::kHelpTitle, [&](HWND help) {
    if (!help) return;
    char text[4096] = {};
    ::GetDlgItemTextA(help, 1033, text, sizeof text);
    shownText = text;
    ::PostMessageA(help, WM_COMMAND, IDOK, 0);
  });
  dialog_test::Click(dlg.GetItem(IDC_OPT_HELP));
  user.join();
  EXPECT_EQ(shownText, option_dlg::HelpText());
  dlg.DestroyWindow();
}

}  // namespace
