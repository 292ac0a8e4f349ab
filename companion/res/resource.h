// Resource ids of Zellmate.exe.
#pragma once

#define IDR_MAINFRAME 128        // the program and window icon
#define IDD_ZELLMATE_DIALOG 102  // the main window, never shown
#define IDP_OLE_INIT_FAILED 100  // shown when OLE cannot be initialised
