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
  // root: the ticker's key; companion: the program started on saving, empty for "Zellmate.exe"
  // beside the program file (tests give a key and a stand-in of their own).
  explicit COptionDlg(std::string root = ticker_link::kRootPath, std::string companion = std::string());

  // The fields bound to the controls.
  settings::OptionSettings options;
  // The password as read at opening: the new one is stored only while the stored one still is this.
  std::string passwordAsRead;

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
  std::string companionPath;
};
