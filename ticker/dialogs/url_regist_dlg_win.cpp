#include "ticker/dialogs/url_regist_dlg_win.h"

#include <atomic>

#include "support/registry/registry.h"
#include "ticker/common/help_dlg_win.h"
#include "ticker/dialogs/help_texts.h"
#include "ticker/dialogs/url_regist_dlg_res.h"
#include "ticker/dialogs/url_select_dlg_win.h"

namespace {

std::atomic<long> liveRecords{0};

UrlEntry* NewRecord(const UrlEntry& entry) {
  auto* record = new UrlEntry(entry);
  ++liveRecords;
  return record;
}

void FreeRecord(UrlEntry* record) {
  if (!record) return;
  delete record;
  --liveRecords;
}

}  // namespace

// The dialog's list box seen as the model's item list. Removing an item makes the list box send
// WM_DELETEITEM, whose handler frees the record; nothing else frees one.
class CUrlRegistDlg::ListBoxItems : public url_regist::UrlItemList {
 public:
  explicit ListBoxItems(HWND listBox) : box(listBox) {}

  int Count() const override {
    const LRESULT n = ::SendMessageA(box, LB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<int>(n);
  }
  UrlEntry Entry(int index) const override {
    const LRESULT data = ::SendMessageA(box, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    if (data == LB_ERR || data == 0) return UrlEntry{};
    return *reinterpret_cast<const UrlEntry*>(data);
  }
  int Insert(int index, const UrlEntry& entry) override {
    const WPARAM at = index >= Count() ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(index);
    const LRESULT added =
        ::SendMessageA(box, LB_INSERTSTRING, at, reinterpret_cast<LPARAM>(entry.title.c_str()));
    if (added < 0) return -1;
    UrlEntry* record = NewRecord(entry);
    if (::SendMessageA(box, LB_SETITEMDATA, static_cast<WPARAM>(added), reinterpret_cast<LPARAM>(record)) ==
        LB_ERR) {
      FreeRecord(record);
    }
    // The record belongs to the list box now; WM_DELETEITEM frees it.
    return static_cast<int>(added);  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
  }
  void Remove(int index) override { ::SendMessageA(box, LB_DELETESTRING, static_cast<WPARAM>(index), 0); }
  int Find(const std::string& title) const override {
    std::vector<std::string> titles;
    const int count = Count();
    titles.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) titles.push_back(Entry(i).title);
    return url_regist::FindTitle(titles, title);
  }
  int Selected() const override {
    const LRESULT sel = ::SendMessageA(box, LB_GETCURSEL, 0, 0);
    return sel < 0 ? -1 : static_cast<int>(sel);
  }
  void Select(int index) override { ::SendMessageA(box, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

 private:
  HWND box;
};

long CUrlRegistDlg::LiveRecords() {
  return liveRecords.load();
}

CUrlRegistDlg::CUrlRegistDlg(std::string rootPath)
    : CDialog(IDD_URL_REGIST_DIALOG), root(std::move(rootPath)) {
  selectPage = [](HWND owner, UrlEntry& chosen) { return RunUrlSelectDialog(owner, chosen); };
}

CUrlRegistDlg::~CUrlRegistDlg() {
  // While this object is whole, so that the list box's deletion notices still free the records.
  DestroyWindow();
}

bool CUrlRegistDlg::OnInitDialog() {
  FieldsToControls();
  ListBoxItems items(GetItem(IDC_REG_LIST));
  CRegistry reg(root);
  url_regist::Load(reg, items, known);
  // Typing starts with the title, the field every other action goes by.
  ::SetFocus(GetItem(IDC_REG_TITLE));
  return false;
}

void CUrlRegistDlg::ControlsToFields() {
  title = GetItemText(IDC_REG_TITLE);
  url = GetItemText(IDC_REG_URL);
  referrer = GetItemText(IDC_REG_REFERRER);
  GetItemInt(IDC_REG_LEVEL, level);
}

void CUrlRegistDlg::FieldsToControls() {
  SetItemText(IDC_REG_TITLE, title);
  SetItemText(IDC_REG_URL, url);
  SetItemText(IDC_REG_REFERRER, referrer);
  SetItemInt(IDC_REG_LEVEL, level);
}

bool CUrlRegistDlg::AskOverwrite() {
  return ::MessageBoxA(GetHwnd(), url_regist::kOverwriteQuestion, url_regist::kOverwriteCaption,
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CUrlRegistDlg::Refuse(int focusId) {
  ::MessageBeep(MB_ICONEXCLAMATION);
  if (focusId) ::SetFocus(GetItem(focusId));
}

void CUrlRegistDlg::Add() {
  ControlsToFields();
  ListBoxItems items(GetItem(IDC_REG_LIST));
  const url_regist::AddResult added = url_regist::AddEntry(
      items, UrlEntry{title, url, referrer, level}, [this] { return AskOverwrite(); }, known);
  switch (added.outcome) {
    case url_regist::AddOutcome::kAppended:
    case url_regist::AddOutcome::kReplaced:
      items.Select(added.index);
      break;
    case url_regist::AddOutcome::kNoTitle:
      Refuse(IDC_REG_TITLE);
      break;
    case url_regist::AddOutcome::kNoUrl:
      Refuse(IDC_REG_URL);
      break;
    case url_regist::AddOutcome::kListFull:
      Refuse(0);
      break;
    case url_regist::AddOutcome::kDeclined:
      break;
  }
}

void CUrlRegistDlg::Delete() {
  ControlsToFields();
  ListBoxItems items(GetItem(IDC_REG_LIST));
  if (!url_regist::DeleteByTitle(items, title)) return;
  // The fields showed the entry just deleted; left there they would look as if it still existed.
  items.Select(-1);
  title.clear();
  url.clear();
  referrer.clear();
  level = url_regist::kNewLevel;
  FieldsToControls();
  ::SetFocus(GetItem(IDC_REG_TITLE));
}

void CUrlRegistDlg::ShowSelected() {
  ListBoxItems items(GetItem(IDC_REG_LIST));
  const int selected = items.Selected();
  if (selected < 0) return;
  const UrlEntry entry = items.Entry(selected);
  title = entry.title;
  url = entry.url;
  referrer = entry.referrer;
  level = entry.level;
  FieldsToControls();
}

bool CUrlRegistDlg::OnCommand(int id, int code, HWND control) {
  ListBoxItems items(GetItem(IDC_REG_LIST));
  switch (id) {
    case IDC_REG_ADD:
      Add();
      return true;
    case IDC_REG_DELETE:
      Delete();
      return true;
    case IDC_REG_UP:
      url_regist::MoveSelected(items, -1);
      return true;
    case IDC_REG_DOWN:
      url_regist::MoveSelected(items, +1);
      return true;
    case IDC_REG_LIST:
      if (code == LBN_SELCHANGE) ShowSelected();
      return true;
    case IDC_REG_BROWSE: {
      ControlsToFields();
      UrlEntry chosen{std::string(), url, referrer, level};
      if (selectPage && selectPage(GetHwnd(), chosen)) {
        title = chosen.title;
        url = chosen.url;
        referrer = chosen.referrer;
        level = chosen.level;
        FieldsToControls();
      }
      return true;
    }
    case IDC_REG_HELP:
      if (code == STN_CLICKED) {
        CHelpDlg help(help_text::kHelpTitle, url_regist::HelpText());
        help.DoModal(GetHwnd());
      }
      return true;
    default:
      return CDialog::OnCommand(id, code, control);
  }
}

bool CUrlRegistDlg::OnMessage(UINT msg, WPARAM /*wParam*/, LPARAM lParam, LRESULT& result) {
  if (msg != WM_DELETEITEM) return false;
  const auto* item = reinterpret_cast<const DELETEITEMSTRUCT*>(lParam);
  if (!item || item->CtlID != IDC_REG_LIST) return false;
  FreeRecord(reinterpret_cast<UrlEntry*>(item->itemData));
  result = TRUE;
  return true;
}

void CUrlRegistDlg::OnOK() {
  ListBoxItems items(GetItem(IDC_REG_LIST));
  CRegistry reg(root);
  const url_regist::SaveResult saved = url_regist::SaveMerged(reg, items, known);
  if (!saved.saved) {
    // Shown after the list lock is let go: the companion must not wait for the user.
    ::MessageBoxA(GetHwnd(), url_regist::NotSavedText(saved.notSaved).c_str(), url_regist::kOverwriteCaption,
                  MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  ControlsToFields();
  EndDialog(IDOK);
}
