#include "ticker/shell/dialog_hooks_win.h"

#include "ticker/dialogs/option_dlg_win.h"
#include "ticker/dialogs/url_regist_dlg_win.h"

bool RunUrlDialog(HWND owner) {
  CUrlRegistDlg dlg;
  return dlg.DoModal(owner) == IDOK;
}

bool RunOptionDialog(HWND owner) {
  COptionDlg dlg;
  return dlg.DoModal(owner) == IDOK;
}
