#include "ticker/shell/dialog_hooks_win.h"

// Until the dialogs exist there is nothing to confirm: the commands change no setting.
bool RunUrlDialog(HWND /*owner*/) {
  return false;
}

bool RunOptionDialog(HWND /*owner*/) {
  return false;
}
