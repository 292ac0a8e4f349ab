#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "support/buffer/binary.h"

namespace {

// Dump blocks in its message box: a watcher thread reads the box and presses OK.
TEST(CBinaryWin, DumpShowsTheTextInAMessageBox) {
  CBinary b;
  b.AssignString("0123456789ABCDEFxyz");
  std::atomic<bool> closed{false};
  std::string caption, text;
  std::thread watcher([&] {
    for (int i = 0; i < 3000 && !closed; ++i) {
      HWND box = FindWindowA("#32770", "CBinary dumping");
      if (box != nullptr) {
        char buffer[4096] = {};
        GetWindowTextA(box, buffer, sizeof buffer);
        caption = buffer;
        // The message text is the box's static control with id 0xFFFF.
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        closed = true;
        return;
      }
      Sleep(10);
    }
  });
  b.Dump("dump title");
  closed = true;
  watcher.join();
  EXPECT_EQ(caption, "CBinary dumping");
  EXPECT_EQ(text, b.DumpText("dump title"));
}

}  // namespace
