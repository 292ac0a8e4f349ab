#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/win/dialog.h"
#include "support/win/dialog_test_res.h"
#include "support/win/handles.h"

namespace {

class CTestDlg : public win::CDialog {
 public:
  explicit CTestDlg(UINT id = IDD_TEST_DIALOG) : CDialog(id) {}
  ~CTestDlg() override { DestroyWindow(); }

  // What the handlers saw.
  int initCount = 0;
  HWND hwndAtInit = nullptr;
  std::vector<int> commands;  // clicks and menu-style commands
  std::vector<UINT_PTR> timers;
  std::string copied;
  int okCount = 0, cancelCount = 0, closeCount = 0, destroyCount = 0;

  // What the handlers do.
  bool throwInInit = false;
  bool throwOnCommand = false;
  bool endLoopOnTimer = false;
  bool destroyOnCommand = false;
  bool cancelFromInit = false;
  std::string textAtOk;  // read back in OnOK, as a dialog's out field

 protected:
  bool OnInitDialog() override {
    ++initCount;
    hwndAtInit = GetHwnd();
    if (throwInInit) throw std::runtime_error("init");
    if (cancelFromInit) ::PostMessageA(GetHwnd(), WM_COMMAND, IDCANCEL, 0);
    return true;
  }
  bool OnCommand(int id, int code, HWND control) override {
    if (code == BN_CLICKED) commands.push_back(id);  // not the edit boxes' focus notifications
    if (throwOnCommand && id == IDC_TEST_COMMAND) throw std::runtime_error("command");
    if (destroyOnCommand && id == IDC_TEST_COMMAND) {
      DestroyWindow();
      return true;
    }
    return CDialog::OnCommand(id, code, control);
  }
  void OnOK() override {
    ++okCount;
    textAtOk = GetItemText(IDC_TEST_TEXT);
    CDialog::OnOK();
  }
  void OnCancel() override {
    ++cancelCount;
    CDialog::OnCancel();
  }
  void OnClose() override {
    ++closeCount;
    CDialog::OnClose();
  }
  void OnTimer(UINT_PTR id) override {
    timers.push_back(id);
    ::KillTimer(GetHwnd(), id);
    if (endLoopOnTimer) EndModalLoop(42);
  }
  bool OnCopyData(HWND, const COPYDATASTRUCT* data) override {
    if (!data || data->dwData != 0x4c4c5a31) return false;
    copied.assign(static_cast<const char*>(data->lpData), data->cbData);
    return true;
  }
  void OnDestroy() override { ++destroyCount; }
};

TEST(Dialog, ModelessIsBoundAtInitAndGetsCommands) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  HWND wnd = dlg.GetHwnd();
  ASSERT_NE(wnd, nullptr);
  EXPECT_EQ(dlg.initCount, 1);
  EXPECT_EQ(dlg.hwndAtInit, wnd);
  EXPECT_FALSE(dlg.IsModal());
  EXPECT_FALSE(::IsWindowVisible(wnd));  // the resource has no WS_VISIBLE
  EXPECT_FALSE(dlg.Create());            // only once

  char title[64] = {};
  ::GetWindowTextA(wnd, title, sizeof title);
  EXPECT_EQ(std::string(title), "テスト用ダイアログ");

  ::SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(IDC_TEST_COMMAND, BN_CLICKED), 0);
  ASSERT_EQ(dlg.commands.size(), 1u);
  EXPECT_EQ(dlg.commands[0], IDC_TEST_COMMAND);

  // OK outside a loop destroys a modeless dialog and unbinds it.
  ::SendMessageA(wnd, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(dlg.okCount, 1);
  EXPECT_EQ(dlg.destroyCount, 1);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  EXPECT_FALSE(::IsWindow(wnd));
}

TEST(Dialog, ModalLoopEndsOnOkCancelCloseAndKeepsTheWindow) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  HWND wnd = dlg.GetHwnd();

  ::PostMessageA(wnd, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(dlg.RunModalLoop(), IDOK);
  EXPECT_FALSE(dlg.IsLoopRunning());
  EXPECT_TRUE(::IsWindow(wnd));  // the owner tears it down after the loop

  ::PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(dlg.RunModalLoop(), IDCANCEL);

  ::PostMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(dlg.RunModalLoop(), IDCANCEL);
  EXPECT_EQ(dlg.closeCount, 1);
  EXPECT_EQ(dlg.cancelCount, 2);

  // Commands that are not OK or Cancel leave the loop running.
  ::PostMessageA(wnd, WM_COMMAND, IDC_TEST_COMMAND, 0);
  ::PostMessageA(wnd, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(dlg.RunModalLoop(), IDOK);
  EXPECT_EQ(dlg.commands.back(), IDOK);
  EXPECT_EQ(dlg.commands[dlg.commands.size() - 2], IDC_TEST_COMMAND);

  dlg.DestroyWindow();
  EXPECT_FALSE(::IsWindow(wnd));
  EXPECT_EQ(dlg.RunModalLoop(), -1);  // no window, no loop
}

TEST(Dialog, ModalLoopEndedFromATimerAndByDestruction) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.endLoopOnTimer = true;
  ASSERT_NE(::SetTimer(dlg.GetHwnd(), 100, 10, nullptr), 0u);
  EXPECT_EQ(dlg.RunModalLoop(), 42);
  ASSERT_EQ(dlg.timers.size(), 1u);
  EXPECT_EQ(dlg.timers[0], 100u);

  // A window destroyed under a running loop ends it with -1.
  dlg.destroyOnCommand = true;
  ::PostMessageA(dlg.GetHwnd(), WM_COMMAND, IDC_TEST_COMMAND, 0);
  EXPECT_EQ(dlg.RunModalLoop(), -1);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
}

TEST(Dialog, QuitEndsTheLoopAndIsPostedAgain) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  ::PostQuitMessage(7);
  EXPECT_EQ(dlg.RunModalLoop(), -1);
  MSG msg;
  ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

TEST(Dialog, CopyDataReachesTheHandlerWithItsResult) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  std::string text = "地震速報\fテスト";
  COPYDATASTRUCT cds = {0x4c4c5a31, static_cast<DWORD>(text.size()), &text[0]};
  EXPECT_EQ(::SendMessageA(dlg.GetHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), TRUE);
  EXPECT_EQ(dlg.copied, text);
  COPYDATASTRUCT other = {0x12345678, 0, nullptr};
  EXPECT_EQ(::SendMessageA(dlg.GetHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&other)), FALSE);
}

TEST(Dialog, ExceptionsStopAtTheDialogProcedure) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.throwOnCommand = true;
  ::SendMessageA(dlg.GetHwnd(), WM_COMMAND, IDC_TEST_COMMAND, 0);
  EXPECT_EQ(dlg.commands.size(), 1u);
  EXPECT_NE(dlg.GetHwnd(), nullptr);  // still alive and usable
  ::PostMessageA(dlg.GetHwnd(), WM_COMMAND, IDOK, 0);
  EXPECT_EQ(dlg.RunModalLoop(), IDOK);

  // A dialog whose initialisation fails is not made.
  CTestDlg failing;
  failing.throwInInit = true;
  EXPECT_FALSE(failing.Create());
  EXPECT_EQ(failing.GetHwnd(), nullptr);
  EXPECT_EQ(failing.DoModal(), -1);
}

TEST(Dialog, MissingResourceFails) {
  CTestDlg dlg(IDD_TEST_MISSING);
  EXPECT_FALSE(dlg.Create());
  EXPECT_EQ(dlg.DoModal(), -1);
  EXPECT_EQ(dlg.initCount, 0);
}

TEST(Dialog, DoModalReturnsTheEndResult) {
  const long live = win::LiveUserObjects();
  CTestDlg dlg;
  dlg.cancelFromInit = true;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(win::LiveUserObjects(), live) << "the ended dialog no longer counts";
  EXPECT_EQ(dlg.cancelCount, 1);
  EXPECT_EQ(dlg.destroyCount, 1);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  EXPECT_FALSE(dlg.IsModal());
}

TEST(Dialog, DestructorDestroysAModelessWindow) {
  HWND wnd = nullptr;
  const long live = win::LiveUserObjects();
  {
    win::CDialog plain(IDD_TEST_DIALOG);
    ASSERT_TRUE(plain.Create());
    wnd = plain.GetHwnd();
    EXPECT_TRUE(::IsWindow(wnd));
    EXPECT_EQ(win::LiveUserObjects(), live + 1) << "a live dialog counts as a USER object";
  }
  EXPECT_FALSE(::IsWindow(wnd));
  EXPECT_EQ(win::LiveUserObjects(), live);
}

TEST(DialogControls, TextAndIntegers) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  // Characters whose trail byte is a backslash come back unchanged.
  EXPECT_TRUE(dlg.SetItemText(IDC_TEST_TEXT, "表示ソ能\\end"));
  EXPECT_EQ(dlg.GetItemText(IDC_TEST_TEXT), "表示ソ能\\end");
  EXPECT_TRUE(dlg.SetItemText(IDC_TEST_TEXT, ""));
  EXPECT_EQ(dlg.GetItemText(IDC_TEST_TEXT), "");
  EXPECT_FALSE(dlg.SetItemText(4711, "x"));
  EXPECT_EQ(dlg.GetItemText(4711), "");

  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {
      {"42", true, 42},
      {"  -7 ", true, -7},
      {"+3", true, 3},
      {"0", true, 0},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"-", false, 0},
      {"12x", false, 0},
      {"1 2", false, 0},
      {"１２", false, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(dlg.SetItemText(IDC_TEST_NUMBER, c.text));
    int value = -555;
    EXPECT_EQ(dlg.GetItemInt(IDC_TEST_NUMBER, value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : -555) << c.text;
  }
  EXPECT_TRUE(dlg.SetItemInt(IDC_TEST_NUMBER, -2147483647 - 1));
  EXPECT_EQ(dlg.GetItemText(IDC_TEST_NUMBER), "-2147483648");
  int value = 9;
  EXPECT_FALSE(dlg.GetItemInt(4711, value));
  EXPECT_EQ(value, 9);
}

TEST(DialogControls, ChecksAndRadioGroups) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  EXPECT_FALSE(dlg.IsChecked(IDC_TEST_CHECK));
  dlg.SetCheck(IDC_TEST_CHECK, true);
  EXPECT_TRUE(dlg.IsChecked(IDC_TEST_CHECK));
  dlg.SetCheck(IDC_TEST_CHECK, false);
  EXPECT_FALSE(dlg.IsChecked(IDC_TEST_CHECK));

  EXPECT_EQ(dlg.GetRadioIndex(IDC_TEST_RADIO1), -1);
  for (int i = 0; i < 3; ++i) {
    dlg.SetRadioIndex(IDC_TEST_RADIO1, i);
    EXPECT_EQ(dlg.GetRadioIndex(IDC_TEST_RADIO1), i);
    EXPECT_EQ(dlg.IsChecked(IDC_TEST_RADIO1 + i), true);
  }
  // The group ends at the next WS_GROUP control, which is never touched.
  dlg.SetCheck(IDC_TEST_AFTER_GROUP, true);
  dlg.SetRadioIndex(IDC_TEST_RADIO1, 3);
  EXPECT_EQ(dlg.GetRadioIndex(IDC_TEST_RADIO1), -1);
  EXPECT_TRUE(dlg.IsChecked(IDC_TEST_AFTER_GROUP));
  dlg.SetRadioIndex(IDC_TEST_RADIO1, 1);
  EXPECT_EQ(dlg.GetRadioIndex(IDC_TEST_RADIO1), 1);
  EXPECT_TRUE(dlg.IsChecked(IDC_TEST_AFTER_GROUP));
  // Counting starts at the id given.
  EXPECT_EQ(dlg.GetRadioIndex(IDC_TEST_RADIO2), 0);
  EXPECT_EQ(dlg.GetRadioIndex(4711), -1);
  // A control that is not a radio button is no group.
  EXPECT_EQ(dlg.GetRadioIndex(IDC_TEST_TEXT), -1);
}

TEST(DialogControls, ListIndexesInCombosAndListBoxes) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  for (int id : {IDC_TEST_COMBO, IDC_TEST_LIST}) {
    EXPECT_EQ(dlg.GetListIndex(id), -1) << id;
    EXPECT_EQ(dlg.AddListString(id, "早く"), 0);
    EXPECT_EQ(dlg.AddListString(id, "普通"), 1);
    EXPECT_EQ(dlg.AddListString(id, "ゆっくり"), 2);
    EXPECT_TRUE(dlg.SetListIndex(id, 2));
    EXPECT_EQ(dlg.GetListIndex(id), 2);
    EXPECT_FALSE(dlg.SetListIndex(id, 3));  // past the end
    EXPECT_FALSE(dlg.SetListIndex(id, -2));
    EXPECT_TRUE(dlg.SetListIndex(id, -1));
    EXPECT_EQ(dlg.GetListIndex(id), -1);
  }
  EXPECT_FALSE(dlg.SetListIndex(IDC_TEST_TEXT, 0));  // not a list
  EXPECT_EQ(dlg.GetListIndex(IDC_TEST_TEXT), -1);
  EXPECT_EQ(dlg.AddListString(4711, "x"), -1);
}

TEST(DialogControls, OkReadsTheControlsBeforeClosing) {
  CTestDlg dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.SetItemText(IDC_TEST_TEXT, "入力");
  ::PostMessageA(dlg.GetHwnd(), WM_COMMAND, IDOK, 0);
  EXPECT_EQ(dlg.RunModalLoop(), IDOK);
  EXPECT_EQ(dlg.textAtOk, "入力");
}

}  // namespace
