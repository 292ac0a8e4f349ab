// The options and URL registration dialogs opened on values another program spoiled: the wrong
// type, zero bytes, 1 MiB, text the code page cannot hold, or nothing. Each dialog opens, shows
// its defaults or what is readable, and Cancel leaves every byte of the key as it was.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/ticker_link/url_list.h"
#include "tests/registry_test_key.h"
#include "ticker/common/settings.h"
#include "ticker/dialogs/option_dlg_res.h"
#include "ticker/dialogs/option_dlg_win.h"
#include "ticker/dialogs/url_regist_dlg_res.h"
#include "ticker/dialogs/url_regist_dlg_win.h"

namespace {

struct Form {
  const char* what;
  DWORD type;
  std::string data;
  bool stored = true;  // false: the value is taken away
};

std::vector<Form> Forms() {
  return {
      {"wrong type (text)", REG_SZ, std::string("7\0", 2)},
      {"wrong type (number)", REG_DWORD, std::string("\x07\0\0\0", 4)},
      {"zero bytes", REG_BINARY, ""},
      {"1 MiB", REG_SZ, std::string(1u << 20, 'a') + std::string(1, '\0')},
      {"invalid Shift_JIS", REG_SZ, std::string("\x81\x7f\xa0\xfd\x82\0", 6)},
      {"missing", REG_NONE, "", false},
  };
}

// Every key and value below a key, whatever their size: "sub\key|name" -> type and bytes.
using Tree = std::map<std::string, std::pair<DWORD, std::string>>;

void ReadTree(HKEY key, const std::string& path, Tree& tree) {
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
  if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  tree[path + "|"] = {REG_NONE, "(key)"};
  for (DWORD i = 0; i < values; ++i) {
    std::string name(maxName + 2, '\0');
    std::string data(maxData + 2, '\0');
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (::RegEnumValueA(key, i, &name[0], &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                        &dataSize) != ERROR_SUCCESS) {
      tree[path + "|#" + std::to_string(i)] = {REG_NONE, "(unreadable)"};
      continue;
    }
    tree[path + "|" + name.substr(0, nameSize)] = {type, data.substr(0, dataSize)};
  }
  for (DWORD i = 0; i < subKeys; ++i) {
    char name[256] = {};
    if (::RegEnumKeyA(key, i, name, sizeof name) != ERROR_SUCCESS) continue;
    HKEY child = nullptr;
    if (::RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    ReadTree(child, path + "\\" + name, tree);
    ::RegCloseKey(child);
  }
}

class HostileDialogs : public RegistryKeyTest {
 protected:
  Tree Snapshot() {
    Tree tree;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, subKey_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return tree;
    ReadTree(key, "", tree);
    ::RegCloseKey(key);
    return tree;
  }
  // Stores the form as value name under sub (created when missing), as another program could.
  void Store(const std::string& sub, const char* name, const Form& form) {
    const std::string path = sub.empty() ? subKey_ : subKey_ + "\\" + sub;
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    if (form.stored) {
      EXPECT_EQ(::RegSetValueExA(key, name, 0, form.type, reinterpret_cast<const BYTE*>(form.data.data()),
                                 static_cast<DWORD>(form.data.size())),
                ERROR_SUCCESS);
    } else {
      ::RegDeleteValueA(key, name);
    }
    ::RegCloseKey(key);
  }
  void Reset() {
    CRegistry cleaner(kTestRoot);
    cleaner.DeleteKey(name_);
    ASSERT_TRUE(reg_.CreateKey(""));
  }
};

bool IsChecked(HWND button) {
  return ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int Selected(HWND combo) {
  return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

TEST_F(HostileDialogs, OptionsDialogShowsTheDefaultsAndCancelWritesNothing) {
  const char* numbers[] = {settings::kHowto,     settings::kOrder,      settings::kLoopCount,
                           settings::kSleep,     settings::kSpeed,      settings::kDeskPer,
                           settings::kProxyAuth, settings::kRegExplorer};
  const char* texts[] = {settings::kProxyUser, settings::kProxyPassword};
  for (const Form& form : Forms()) {
    Reset();
    for (const char* n : numbers) Store(settings::kOptionKey, n, form);
    for (const char* t : texts) Store(settings::kOptionKey, t, form);
    const Tree before = Snapshot();

    COptionDlg dlg(base_, "-");
    ASSERT_TRUE(dlg.Create(nullptr)) << form.what;
    // A 4-byte number reads as that number: 7, which only the pause list has (the others show
    // their defaults, and the check boxes are on); nothing else here is a number.
    const bool number = form.type == REG_DWORD;
    EXPECT_TRUE(IsChecked(dlg.GetItem(IDC_OPT_MODE_DESKTOP))) << form.what;
    EXPECT_FALSE(IsChecked(dlg.GetItem(IDC_OPT_MODE_BAR))) << form.what;
    EXPECT_TRUE(IsChecked(dlg.GetItem(IDC_OPT_ORDER_REGIST))) << form.what;
    EXPECT_EQ(Selected(dlg.GetItem(IDC_OPT_SPEED)), 1) << form.what;
    EXPECT_EQ(Selected(dlg.GetItem(IDC_OPT_LOOP)), 0) << form.what;
    EXPECT_EQ(Selected(dlg.GetItem(IDC_OPT_SLEEP)), number ? 7 : 0) << form.what;
    EXPECT_EQ(Selected(dlg.GetItem(IDC_OPT_AREA)), 0) << form.what;
    EXPECT_TRUE(IsChecked(dlg.GetItem(IDC_OPT_REG_EXPLORER))) << form.what;
    EXPECT_EQ(IsChecked(dlg.GetItem(IDC_OPT_PROXY_AUTH)), number) << form.what;
    EXPECT_EQ(::IsWindowEnabled(dlg.GetItem(IDC_OPT_PROXY_USER)) != FALSE, number) << form.what;
    // The user name is shown as far as it reads; the password only when it decodes, which none does.
    EXPECT_LE(dlg.GetItemText(IDC_OPT_PROXY_USER).size(), 2 * form.data.size()) << form.what;
    EXPECT_EQ(dlg.GetItemText(IDC_OPT_PROXY_PASSWORD), "") << form.what;
    ::SendMessageA(dlg.GetItem(IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(dlg.GetHwnd(), nullptr) << form.what;

    Tree after = Snapshot();
    if (!form.stored) {
      // The scrambled read creates a missing password holding the empty text: the one write.
      EXPECT_EQ(after.erase("\\Option|ProxyPassword"), 1u);
    }
    EXPECT_TRUE(after == before) << form.what;
  }
}

TEST_F(HostileDialogs, RegistrationDialogListsSpoiledEntriesAndCancelWritesNothing) {
  const char* texts[] = {url_list::kTitleValue, url_list::kUrlValue, url_list::kReferrerValue};
  for (const Form& form : Forms()) {
    Reset();
    // Slot 0 spoiled in every value, slot 2 as the ticker writes it, TEMP_URL spoiled too.
    for (const std::string& key : {url_list::SlotKey(0), std::string(url_list::kTempKey)}) {
      for (const char* t : texts) Store(key, t, form);
      Store(key, url_list::kLevelValue, form);
    }
    ASSERT_TRUE(url_list::WriteEntry(reg_, url_list::SlotKey(2), UrlEntry{"良い頁", "http://good/", "", 30}));
    const Tree before = Snapshot();

    CUrlRegistDlg dlg(base_);
    ASSERT_TRUE(dlg.Create(nullptr)) << form.what;
    HWND list = dlg.GetItem(IDC_REG_LIST);
    ASSERT_EQ(::SendMessageA(list, LB_GETCOUNT, 0, 0), 2) << form.what;
    std::string second(static_cast<std::size_t>(::SendMessageA(list, LB_GETTEXTLEN, 1, 0)), '\0');
    ::SendMessageA(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(&second[0]));
    EXPECT_EQ(second, "良い頁") << form.what;
    EXPECT_LE(::SendMessageA(list, LB_GETTEXTLEN, 0, 0), static_cast<LRESULT>(2 * form.data.size()))
        << form.what;
    // Choosing the spoiled entry shows what reads of it: a level that does not read is 0.
    ::SendMessageA(list, LB_SETCURSEL, 0, 0);
    ::SendMessageA(dlg.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_REG_LIST, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), form.type == REG_DWORD ? "7" : "0") << form.what;
    ::SendMessageA(dlg.GetItem(IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(dlg.GetHwnd(), nullptr) << form.what;
    EXPECT_TRUE(Snapshot() == before) << form.what;
  }
}

// The largest list: 32 slots, each with a 64 KiB title and a 2 KiB URL. All are listed whole, and
// Cancel leaves them byte for byte.
TEST_F(HostileDialogs, RegistrationDialogListsThirtyTwoHugeTitles) {
  std::vector<UrlEntry> entries;
  entries.reserve(url_list::kMaxSlots);
  for (int i = 0; i < url_list::kMaxSlots; ++i) {
    entries.push_back(UrlEntry{std::string(64u << 10, static_cast<char>('A' + i % 26)),
                               "http://host/" + std::string(2048, 'u') + std::to_string(i), "", i + 1});
  }
  ASSERT_TRUE(url_list::WriteList(reg_, entries));
  const Tree before = Snapshot();
  CUrlRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  HWND list = dlg.GetItem(IDC_REG_LIST);
  ASSERT_EQ(::SendMessageA(list, LB_GETCOUNT, 0, 0), 32);
  for (int i = 0; i < 32; i += 31) {
    // Read as UTF-16: with Common Controls 6 the list box is a Unicode window, and Wine's ANSI
    // translation of LB_GETTEXT copies into a fixed stack buffer of 512 characters (a 64 KiB
    // title overruns it). The program itself never reads item texts back.
    std::wstring text(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)), L'\0');
    ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    const std::string& title = entries[static_cast<std::size_t>(i)].title;
    EXPECT_EQ(text, std::wstring(title.begin(), title.end())) << i;  // ASCII titles
  }
  ::SendMessageA(list, LB_SETCURSEL, 31, 0);
  ::SendMessageA(dlg.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_REG_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(dlg.GetItemText(IDC_REG_URL), entries[31].url);
  EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), "32");
  ::SendMessageA(dlg.GetItem(IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(Snapshot() == before);
}

}  // namespace
