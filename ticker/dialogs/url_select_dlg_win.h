// The URL selection dialog: a page is chosen in an embedded browser while a list shows what the
// ticker would extract from it at the slider's level. Resizable; the layout follows the client
// size.
//
// Without an HTML engine the control requests the page but never delivers a document; the dialog
// then downloads the page itself exactly as the ticker does (referrer and proxy credentials
// included) and previews that, saying so in the status line.
#pragma once

#include <windows.h>

#include <string>

#include "support/draw/dib_surface_win.h"
#include "support/ticker_link/url_list.h"
#include "support/win/browser_host.h"
#include "support/win/dialog.h"
#include "ticker/dialogs/url_select_model.h"

class CUrlSelectDlg : public win::CDialog, private win::BrowserEvents {
 public:
  CUrlSelectDlg();
  ~CUrlSelectDlg() override;

  // In: set before opening. Out: meaningful after IDOK.
  std::string url;
  std::string referrer;
  int level = 0;
  std::string pageTitle;

  // What the dialog holds, for its tests.
  std::string pageMarkup;
  std::string statusText;
  std::string levelText;
  bool busy = false;
  bool BrowserCreated() const { return browser.IsCreated(); }
  // True when the last preview came from the dialog's own download.
  bool previewFromOwnDownload = false;

  // Runs the preview again for the slider's level (as releasing the thumb does).
  void RefreshPreview();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnOK() override;
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // Browser events.
  void OnBeforeNavigate(const std::string& navigated) override;
  void OnNavigateComplete(const std::string& navigated) override;
  void OnDocumentComplete(const std::string& navigated) override;
  void OnTitleChange(const std::string& title) override;
  void OnStatusTextChange(const std::string& text) override;
  void OnNavigateError(const std::string& navigated, long status) override;

  void ControlsToFields();
  void FieldsToControls();
  void LayOut();
  void NavigateTyped();
  void PreviewOwnDownload(const std::string& pageUrl);
  void BeginWait();
  void EndWait();
  void PaintGrip(HDC dc);

  static LRESULT CALLBACK EditProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data);

  win::COleInit ole;
  win::CBrowserHost browser;
  url_select::NavigationTrail trail;
  url_select::Box grip;
  CDibSurface gripPicture;
  int waiting = 0;
};

// Runs the dialog modally for the registration dialog: in, chosen's URL, referrer and level; out,
// on "選択", the page title, URL, referrer and level. True on "選択".
bool RunUrlSelectDialog(HWND owner, UrlEntry& chosen);
