// Opens one of the ticker's dialogs on its own, for looking at it: dialog_preview option |
// regist | select [URL [REFERRER]]. The options and registration dialogs work on the key given
// by ZELLORA_PREVIEW_ROOT (default: a key of their own under Software\ZelloraTest), never on the
// ticker's settings.
#include <windows.h>

#include <string>

#include "support/registry/registry.h"
#include "support/ticker_link/url_list.h"
#include "ticker/dialogs/option_dlg_win.h"
#include "ticker/dialogs/url_regist_dlg_win.h"
#include "ticker/dialogs/url_select_dlg_win.h"

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "option";
  char rootText[512] = "HKEY_CURRENT_USER\\Software\\ZelloraTest\\DialogPreview";
  ::GetEnvironmentVariableA("ZELLORA_PREVIEW_ROOT", rootText, sizeof rootText);
  const std::string root = rootText;
  if (which == "option") {
    COptionDlg dlg(root, "-");  // nothing is started from here
    return static_cast<int>(dlg.DoModal(nullptr));
  }
  if (which == "regist") {
    CRegistry reg(root);
    if (url_list::ReadList(reg).empty()) {
      url_list::WriteList(
          reg, {UrlEntry{"Yahoo!トピック", "http://dailynews.yahoo.co.jp/fc/", "", 20},
                UrlEntry{"社会ニュース", "http://news.example.jp/social/", "http://news.example.jp/", 30},
                UrlEntry{"技術ニュース", "http://tech.example.jp/", "", 40}});
    }
    CUrlRegistDlg dlg(root);
    return static_cast<int>(dlg.DoModal(nullptr));
  }
  UrlEntry entry{"", argc > 2 ? argv[2] : "", argc > 3 ? argv[3] : "", 0};
  return RunUrlSelectDialog(nullptr, entry) ? 1 : 2;
}
