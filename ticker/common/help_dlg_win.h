// The help box: a caption and a text, shown on a pale yellow background in "ＭＳ ゴシック".
// The main window's "ﾍﾙﾌﾟ..." command and the options dialog both use it with their own texts.
#pragma once

#include <windows.h>

#include <string>

#include "support/win/dialog.h"
#include "support/win/handles.h"

class CHelpDlg : public win::CDialog {
 public:
  static constexpr COLORREF kBackground = RGB(255, 255, 224);

  CHelpDlg(std::string caption, std::string text);

  // In: shown at initialisation. Out: read back from the box by OK.
  std::string caption;
  std::string text;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  win::CFontHandle font;
  win::CBrushHandle background;
};
