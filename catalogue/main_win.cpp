// Catalogue.exe: the catalogue window, shown modally; when it ends, the program ends.
#include <windows.h>
// The common controls and OLE need windows.h first.
#include <commctrl.h>
#include <ole2.h>

#include "catalogue/catalogue_dlg_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  const bool ole = SUCCEEDED(::OleInitialize(nullptr));  // the picture loader and the save dialog
  {
    CCatalogueDlg dlg;
    dlg.DoModal(nullptr);
  }
  if (ole) ::OleUninitialize();
  return 0;
}
