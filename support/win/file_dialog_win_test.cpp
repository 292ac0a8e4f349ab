#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/system/paths_win.h"
#include "support/text/sjis.h"
#include "support/win/file_dialog.h"

namespace {

// Plays the user of a file dialog from another thread: waits for the dialog window with the
// given title, notes the first file type offered, optionally types a file name, then confirms
// or cancels.
class DialogUser {
 public:
  DialogUser(std::string title, std::string typeName, bool confirm)
      : title_(std::move(title)), typeName_(std::move(typeName)), confirm_(confirm) {
    thread_ = std::thread([this] { Run(); });
  }
  ~DialogUser() {
    if (thread_.joinable()) thread_.join();
  }
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;

  void Join() { thread_.join(); }
  bool found = false;
  std::string firstFilter;

 private:
  void Run() {
    HWND dialog = nullptr;
    for (int i = 0; i < 400 && !dialog; ++i) {  // up to 20 s
      dialog = FindWindowA("#32770", title_.c_str());
      if (!dialog) Sleep(50);
    }
    if (!dialog) return;
    found = true;
    // The window exists before its controls are filled: wait until it shows and the file type
    // combo box (cmb1) has its entries.
    HWND types = nullptr;
    for (int i = 0; i < 200; ++i) {
      types = GetDlgItem(dialog, 0x470);
      if (IsWindowVisible(dialog) && types && SendMessageA(types, CB_GETCOUNT, 0, 0) > 0) break;
      Sleep(25);
    }
    char text[256] = {};
    if (types && SendMessageA(types, CB_GETLBTEXTLEN, 0, 0) < static_cast<LRESULT>(sizeof text)) {
      SendMessageA(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    firstFilter = text;
    if (std::getenv("ZELLORA_DIALOG_SHOT")) Sleep(3000);  // time for a screenshot by hand
    if (confirm_) {
      // The file name box: an edit (edt1) or the combo box of newer dialogs (cmb13).
      HWND name = GetDlgItem(dialog, 0x480);
      if (!name) name = GetDlgItem(dialog, 0x47c);
      SetWindowTextA(name, typeName_.c_str());
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    } else {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  }

  std::string title_;
  std::string typeName_;
  bool confirm_;
  std::thread thread_;
};

std::string Folder() {
  std::string folder =
      paths::GetTempFolderText() + "\\zellora-dialog-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

TEST(FileDialogWin, ExeFilterOfferedAndCancelKeepsThePath) {
  std::string folder = Folder();
  std::string path = folder + "\\setup.exe";
  const std::string original = path;
  DialogUser user("保存先を選択して下さい", "", false);
  EXPECT_FALSE(FileDialogForPath(nullptr, "保存先を選択して下さい", path, false));
  user.Join();
  ASSERT_TRUE(user.found);
  EXPECT_EQ(user.firstFilter, "exe Files (*.exe)");
  EXPECT_EQ(path, original);
  RemoveDirectoryA(folder.c_str());
}

TEST(FileDialogWin, SaveAddsTheDefaultExtensionInTheInitialFolder) {
  std::string folder = Folder();
  std::string path = folder + "\\setup.exe";
  DialogUser user("ダウンロード先", "chosen", true);
  ASSERT_TRUE(FileDialogForPath(nullptr, "ダウンロード先", path, false));
  user.Join();
  EXPECT_TRUE(sjis::EqualsNoCase(path, folder + "\\chosen.exe")) << path;
  RemoveDirectoryA(folder.c_str());
}

TEST(FileDialogWin, MultipleSelectionInTheDialogsOrder) {
  std::string folder = Folder();
  ASSERT_TRUE(paths::WriteNewFile(folder + "\\b.txt", "b", 1));
  ASSERT_TRUE(paths::WriteNewFile(folder + "\\表.txt", "a", 1));
  std::vector<std::string> results{"kept"};
  DialogUser user("複数選択", "\"b.txt\" \"表.txt\"", true);
  ASSERT_TRUE(FileDialog(nullptr, "複数選択", folder + "\\x.txt", results, "", "Text|*.txt||",
                         paths::kDialogAllowMultiSelect, true));
  user.Join();
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0], "kept");
  EXPECT_TRUE(sjis::EqualsNoCase(results[1], folder + "\\b.txt")) << results[1];
  EXPECT_TRUE(sjis::EqualsNoCase(results[2], folder + "\\表.txt")) << results[2];
  paths::RemoveFile(folder + "\\b.txt");
  paths::RemoveFile(folder + "\\表.txt");
  RemoveDirectoryA(folder.c_str());
}

TEST(FileDialogWin, OverLongInitialNameIsRefusedWithoutADialog) {
  std::vector<std::string> results;
  std::string path = "C:\\" + std::string(300, 'n') + ".exe";
  EXPECT_FALSE(FileDialog(nullptr, "x", path, results, "exe", "All Files (*.*)|*.*||", 0, false));
  EXPECT_TRUE(results.empty());
  std::string dialogPath = path;
  EXPECT_FALSE(FileDialogForPath(nullptr, "x", dialogPath, false));
  EXPECT_EQ(dialogPath, path);
}

}  // namespace
