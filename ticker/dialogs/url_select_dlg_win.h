// The URL selection dialog: a page is chosen in an embedded browser while a list shows what the
// ticker would extract from it at the slider's level. Resizable; the layout follows the client
// size.
//
// Without an HTML engine the control requests the page but never delivers a document; the dialog
// then downloads the page itself exactly as the ticker does (referrer and proxy credentials
// included) and previews that, saying so in the status line. That download runs on a thread of
// its own, so the dialog answers while a slow server keeps it waiting; its result is posted back,
// and dropped when the user has navigated on or closed the dialog meanwhile.
#pragma once

#include <windows.h>

#include <memory>
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

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnOK() override;
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // Browser events.
  void OnBeforeNavigate(const std::string& navigated) override;
  void OnNavigateComplete(const std::string& navigated) override;
  void OnDocumentComplete(const std::string& navigated) override;
  void OnTitleChange(const std::string& title) override;
  void OnStatusTextChange(const std::string& text) override;
  void OnNavigateError(const std::string& navigated, long status) override;

  // What the dialog holds and does, reached by the tests through a subclass.
  std::string pageMarkup;
  std::string statusText;
  std::string levelText;
  bool busy = false;
  // True when the last preview came from the dialog's own download.
  bool previewFromOwnDownload = false;
  bool BrowserCreated() const { return browser.IsCreated(); }
  // Runs the preview again for the slider's level (as releasing the thumb does).
  void RefreshPreview();
  // Starts the dialog's own download of pageUrl; its preview follows when it is done.
  void PreviewOwnDownload(const std::string& pageUrl);
  // Own downloads still running, over every dialog.
  static int DownloadsRunning();

 private:
  class DownloadMailbox;
  class LineCollector;

  void ControlsToFields();
  void FieldsToControls();
  void ShowText(int id, const std::string& text);
  bool AddressTyped() const;
  void LayOut();
  int Scaled(int size96) const;
  int GuideLineWidth() const;
  void NavigateTyped();
  void TakeDownloads();
  void BeginWait();
  void EndWait();
  void PaintGrip(HDC dc);

  static LRESULT CALLBACK EditProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data);

  win::COleInit ole;
  win::CBrowserHost browser;
  url_select::NavigationTrail trail;
  // The address the dialog itself last put into the address edit (or navigated to from it).
  std::string addressShown;
  url_select::Box grip;
  // The DPI of the monitor the dialog is on: the layout's pixel sizes are sizes at 96 DPI.
  UINT dpi = 96;
  CDibSurface gripPicture;
  int waiting = 0;
  // Where the own downloads deliver; shared with their threads, which may outlive the dialog.
  std::shared_ptr<DownloadMailbox> mailbox;
  // Counts the navigations: a download started for an earlier one is not shown.
  unsigned navigation = 0;
  int downloadsPending = 0;
};

// Runs the dialog modally for the registration dialog: in, chosen's URL, referrer and level; out,
// on "選択", the page title, URL, referrer and level. True on "選択".
bool RunUrlSelectDialog(HWND owner, UrlEntry& chosen);
