// CZellmateDlg: Zellmate's main window, made from dialog 102 and never shown. The automation
// object's method calls arrive through its message loop; a method ends the loop when it is done.
#pragma once

#include <windows.h>

#include "support/win/dialog.h"

namespace zellmate {

class CZellmateDlgAutoProxy;

class CZellmateDlg : public win::CDialog {
 public:
  CZellmateDlg();
  ~CZellmateDlg() override;

  // The automation object acting on this window; null when there is none.
  CZellmateDlgAutoProxy* m_pAutoProxy = nullptr;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnClose() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // While an object is attached, closing only hides the window: the object's client still
  // needs the loop.
  bool CanExit();

  HICON icon;
};

}  // namespace zellmate
