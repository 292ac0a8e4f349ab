// The URL registration dialog: the URL list in a list box, edited in place and written back as a
// whole on "設定". Each list item owns a heap copy of its entry, freed when the item goes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "support/ticker_link/ticker_link.h"
#include "support/ticker_link/url_list.h"
#include "support/win/dialog.h"
#include "ticker/dialogs/url_regist_model.h"

class CUrlRegistDlg : public win::CDialog {
 public:
  // root: the ticker's key (tests give one of their own).
  explicit CUrlRegistDlg(std::string root = ticker_link::kRootPath);
  ~CUrlRegistDlg() override;

  // The fields bound to the edits.
  std::string title;
  std::string url;
  std::string referrer;
  int level = url_regist::kNewLevel;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnOK() override;

  // Seams for the tests (reached through a subclass).
  // The "..." button's selection dialog: gets the fields' URL, referrer and level and returns
  // true with the chosen entry (title, URL, referrer, level) when the user chose one.
  std::function<bool(HWND owner, UrlEntry& chosen)> selectPage;
  // Records owned by list items, over every dialog (a leak shows as a count left over).
  static long LiveRecords();

 private:
  class ListBoxItems;
  void ControlsToFields();
  void FieldsToControls();
  void ShowSelected();
  void Add();
  void Delete();
  bool AskOverwrite();
  void Refuse(int focusId);

  std::string root;
  url_regist::KnownUrls known;
};
