// The options dialog: how news is shown, the browser menu entries and the proxy credentials.
// Reads every "Option" value at opening, writes them all on "設定", then starts the browser
// companion to install or remove its menu entries.
#pragma once

#include <windows.h>

#include <string>

#include "support/win/dialog.h"
#include "ticker/common/settings.h"

class COptionDlg : public win::CDialog {
 public:
  // root: the ticker's key (tests give one of their own).
  explicit COptionDlg(std::string root = ticker_link::kRootPath);

  // The fields bound to the controls.
  settings::OptionSettings options;
  // The password as read at opening: the new one is stored only while the stored one still is this.
  std::string passwordAsRead;

  // The companion started on saving; tests point it at a stand-in. Empty: "Zellmate.exe" beside
  // the program file.
  std::string companionPath;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnOK() override;

 private:
  void ControlsToFields();
  void FieldsToControls();
  void UpdateAreaList();
  void UpdateProxyEdits();
  void StartCompanion() const;

  std::string root;
};
