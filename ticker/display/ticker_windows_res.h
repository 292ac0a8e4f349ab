// Resource ids of the ticker thread's windows (ticker_windows.rc).
#pragma once

#define IDD_TICKER_DIALOG 137  // the hidden ticker window, titled "_ZELL_DIALOG_"
#define IDD_BAR_DIALOG 138     // the topmost bar
#define IDD_FLASH_DIALOG 142   // the flash window
