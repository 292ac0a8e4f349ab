// The catalogue window: the page pictures with the header, the offer and navigation buttons, the
// two link strips, the about box, and the download of an offer with the progress dialog.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue/catalogue_content.h"
#include "catalogue/catalogue_layout.h"
#include "catalogue/color_button_win.h"
#include "support/win/dialog.h"
#include "support/win/handles.h"
#include "support/win/link_static.h"

class CDownloadDlg;

// A bitmap made from a GIF resource, with its size.
struct CGifPicture {
  win::CBitmapHandle bitmap;
  int width = 0;
  int height = 0;
  void Free() {
    bitmap.Close();
    width = height = 0;
  }
};

// Decodes the GIF resource id of the program into picture (through the temporary file
// "~Catalogue-PID.gif", which is deleted again). False, with picture empty, on any failure.
bool LoadGifPicture(int resourceId, CGifPicture& picture);

class CCatalogueDlg : public win::CDialog {
 public:
  static constexpr int kButtonCount = 2 + catalogue::kOfferCount;
  static constexpr COLORREF kButtonBackground = RGB(0xFF, 0xFF, 0xFF);
  static constexpr COLORREF kButtonText = 0xFF2400;

  CCatalogueDlg();

  void ShowPage(int index);
  int CurrentPage() const { return currentPage; }
  const CGifPicture& PagePicture() const { return pagePicture; }

  // The handler of the offer buttons.
  void DownloadOffer(const std::string& address);
  // Waits ms milliseconds, keeping the windows alive. 0 when cancelled, the window's modal loop
  // has ended, or a quit or application message came; 1 when the time has passed.
  int PumpMessages(int ms);

  int cancelFlag = 0;

  // The web server of the download shop.
  virtual std::string ShopHost() { return catalogue::kShopHost; }
  // The save dialog, owned by owner; path in: the proposed path, out: the chosen one.
  virtual bool ChooseSavePath(HWND owner, std::string& path);
  // The install question (true: Yes), the failure message and the message for an installer
  // that could not be started.
  virtual bool AskInstall();
  virtual void ShowFailure();
  virtual void ShowStartFailure();
  // Has the shell open the saved installer (the consent prompt for one that asks for elevation,
  // the handler of a package that is no program) and waits, up to kInstallerIdleMs, until it is
  // ready for input. False when it could not be started; also when the user declined the consent
  // prompt, which is then no failure to report (declined is set).
  virtual bool StartInstaller(const std::string& path, bool& declined);
  static constexpr DWORD kInstallerIdleMs = 3000;
  virtual void OpenWebPage(const char* url);

  // Draws the page picture and the header over it into dc (painting and WM_PRINTCLIENT).
  void PaintTo(HDC dc);
  // Whether the pointer is over link strip A / B, and how often a strip was redrawn.
  bool StripAHighlighted() const { return stripATracker.Inside(); }
  bool StripBHighlighted() const { return stripBTracker.Inside(); }
  int StripRedraws() const { return stripRedraws; }

  // The progress dialog while a download runs, else null.
  CDownloadDlg* ActiveDownload() const { return download; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  // Enter and Esc do nothing: only closing the window ends the catalogue.
  void OnOK() override {}
  void OnCancel() override {}
  void OnClose() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Paint();
  void OnMouseMove(int x, int y);
  void OnLButtonUp(int x, int y);
  void DrawPicture(const CGifPicture& picture, int x, int y);
  void ShowAbout();
  CColorButton* ButtonFor(HWND control);

  CGifPicture pagePicture;
  CGifPicture headerPicture;
  CGifPicture stripA, stripAHot, stripB, stripBHot;
  catalogue::HotTracker stripATracker{catalogue::kStripAHot};
  catalogue::HotTracker stripBTracker{catalogue::kStripBHot};
  win::CBrushHandle whiteBrush;
  HICON icon = nullptr;
  int currentPage = 0;
  std::string addresses[catalogue::kOfferCount];
  CColorButton buttons[kButtonCount];  // "<<前へ", "次へ>>", then the offers
  bool ended = false;
  int stripRedraws = 0;
  CDownloadDlg* download = nullptr;
};

// The about box with the link to the maker's page.
class CAboutDlg : public win::CDialog {
 public:
  explicit CAboutDlg(CCatalogueDlg& owner);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  CCatalogueDlg& catalogueDlg;
  CLinkStatic link;
};
