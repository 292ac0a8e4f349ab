// The main window's way into the settings dialogs: the URL registration dialog (command 1000,
// "URL設定...") and the options dialog (command 32771, "ｵﾌﾟｼｮﾝ..."). Each runs its dialog modally
// on the calling thread, owned by owner, and returns true when the user confirmed it with OK;
// the caller then has the ticker reload its settings.
#pragma once

#include <windows.h>

bool RunUrlDialog(HWND owner);
bool RunOptionDialog(HWND owner);
