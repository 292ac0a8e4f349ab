#include "ticker/shell/dialog_hooks_win.h"

#include <gtest/gtest.h>

#include <string>

#include "ticker/dialogs/test_driver_win.h"

namespace {

// The menu's commands open the dialogs modally; "ｷｬﾝｾﾙ" reports that nothing was confirmed.
TEST(DialogHooks, MenuCommandsOpenTheDialogsAndCancelConfirmsNothing) {
  for (const char* caption : {" オプション設定", " URL登録"}) {
    bool seen = false;
    std::thread user = dialog_test::WhenShown(caption, [&](HWND dlg) {
      if (!dlg) return;
      seen = true;
      ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    const bool confirmed =
        std::string(caption) == " URL登録" ? RunUrlDialog(nullptr) : RunOptionDialog(nullptr);
    user.join();
    EXPECT_TRUE(seen) << caption;
    EXPECT_FALSE(confirmed) << caption;
  }
}

}  // namespace
