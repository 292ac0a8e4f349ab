#include "ticker/dialogs/option_dlg_win.h"

#include "support/system/paths_win.h"
#include "support/win/handles.h"
#include "ticker/common/help_dlg_win.h"
#include "ticker/dialogs/help_texts.h"
#include "ticker/dialogs/option_dlg_res.h"
#include "ticker/dialogs/option_rules.h"

namespace {

void FillList(win::CDialog& dlg, int id, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) dlg.AddListString(id, entry.c_str());
}

}  // namespace

COptionDlg::COptionDlg(std::string rootPath, std::string companion)
    : CDialog(IDD_OPTION_DIALOG), root(std::move(rootPath)), companionPath(std::move(companion)) {}

bool COptionDlg::OnInitDialog() {
  FillList(*this, IDC_OPT_AREA, option_dlg::AreaEntries());
  FillList(*this, IDC_OPT_SPEED, option_dlg::SpeedEntries());
  FillList(*this, IDC_OPT_LOOP, option_dlg::LoopEntries());
  FillList(*this, IDC_OPT_SLEEP, option_dlg::SleepEntries());

  // A stored index the controls cannot show is shown, and saved, as its default: a radio group
  // with nothing checked would otherwise be saved as -1.
  options = option_dlg::ShownOptions(settings::ReadOptionSettings(root.c_str()));
  passwordAsRead = options.proxyPassword;
  ::EnableWindow(GetItem(IDC_OPT_AREA), option_dlg::AreaListEnabled(options.howto));
  UpdateProxyEdits();
  FieldsToControls();
  return true;
}

void COptionDlg::ControlsToFields() {
  // A control showing no choice keeps the field as it was: -1 is never stored.
  auto keep = [](int& field, int index) {
    if (index >= 0) field = index;
  };
  keep(options.howto, GetRadioIndex(IDC_OPT_MODE_BAR));
  keep(options.order, GetRadioIndex(IDC_OPT_ORDER_REGIST));
  keep(options.speed, GetListIndex(IDC_OPT_SPEED));
  keep(options.loopCount, GetListIndex(IDC_OPT_LOOP));
  keep(options.sleep, GetListIndex(IDC_OPT_SLEEP));
  keep(options.deskPer, GetListIndex(IDC_OPT_AREA));
  options.regExplorer = IsChecked(IDC_OPT_REG_EXPLORER) ? 1 : 0;
  options.proxyAuth = IsChecked(IDC_OPT_PROXY_AUTH) ? 1 : 0;
  options.proxyUser = GetItemText(IDC_OPT_PROXY_USER);
  options.proxyPassword = GetItemText(IDC_OPT_PROXY_PASSWORD);
}

void COptionDlg::FieldsToControls() {
  SetRadioIndex(IDC_OPT_MODE_BAR, options.howto);
  SetRadioIndex(IDC_OPT_ORDER_REGIST, options.order);
  SetListIndex(IDC_OPT_SPEED, options.speed);
  SetListIndex(IDC_OPT_LOOP, options.loopCount);
  SetListIndex(IDC_OPT_SLEEP, options.sleep);
  SetListIndex(IDC_OPT_AREA, options.deskPer);
  SetCheck(IDC_OPT_REG_EXPLORER, options.regExplorer != 0);
  SetCheck(IDC_OPT_PROXY_AUTH, options.proxyAuth != 0);
  SetItemText(IDC_OPT_PROXY_USER, options.proxyUser);
  SetItemText(IDC_OPT_PROXY_PASSWORD, options.proxyPassword);
}

void COptionDlg::UpdateAreaList() {
  ControlsToFields();
  ::EnableWindow(GetItem(IDC_OPT_AREA), option_dlg::AreaListEnabled(options.howto));
}

void COptionDlg::UpdateProxyEdits() {
  const bool enabled = option_dlg::ProxyEditsEnabled(options.proxyAuth);
  ::EnableWindow(GetItem(IDC_OPT_PROXY_USER), enabled);
  ::EnableWindow(GetItem(IDC_OPT_PROXY_PASSWORD), enabled);
}

bool COptionDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_OPT_MODE_BAR:
    case IDC_OPT_MODE_DESKTOP:
    case IDC_OPT_MODE_TITLE:
      if (code == BN_CLICKED) UpdateAreaList();
      return true;
    case IDC_OPT_PROXY_AUTH:
      if (code == BN_CLICKED) {
        ControlsToFields();
        UpdateProxyEdits();
      }
      return true;
    case IDC_OPT_HELP:
      if (code == STN_CLICKED) {
        CHelpDlg help(help_text::kHelpTitle, option_dlg::HelpText());
        help.DoModal(GetHwnd());
      }
      return true;
    default:
      return CDialog::OnCommand(id, code, control);
  }
}

void COptionDlg::OnOK() {
  ControlsToFields();
  settings::WriteOptionSettings(options, passwordAsRead, root.c_str());
  StartCompanion();
  EndDialog(IDOK);
}

void COptionDlg::StartCompanion() const {
  std::string path = companionPath;
  if (path.empty()) path = option_dlg::CompanionPath(paths::GetModuleFolder(""));
  std::string commandLine = option_dlg::CompanionCommandLine(path, IsChecked(IDC_OPT_REG_EXPLORER));
  if (commandLine.empty()) return;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // The path goes in as the program name as well, so the system never guesses where it ends.
  if (!::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    return;
  }
  win::CHandle<win::KernelHandleTraits> process(info.hProcess);
  win::CHandle<win::KernelHandleTraits> thread(info.hThread);
  ::WaitForInputIdle(info.hProcess, INFINITE);
}
