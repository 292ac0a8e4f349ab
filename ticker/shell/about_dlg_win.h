// The about box: the program's version and a link to the maker's home page.
#pragma once

#include <windows.h>

#include "support/win/dialog.h"
#include "support/win/link_static.h"

class CAboutDlg : public win::CDialog {
 public:
  CAboutDlg();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  CLinkStatic link;
};
