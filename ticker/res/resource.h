// Resource and command ids of Zellora.exe.
#pragma once

// Icons.
#define IDR_MAINFRAME 128  // the program and window icon

// Dialogs.
#define IDD_ZELLORA_DIALOG 102  // the hidden main window (its title: ticker_link::kWindowTitle)

// Strings.
#define IDS_SOCKETS_INIT_FAILED 103

// Commands of the main window: its pop-up menu and the companion's requests. The dialog carries
// them on hidden buttons so that they are its own commands.
#define IDM_URL_SETTINGS 1000
#define IDM_OPTIONS 32771
#define IDM_ABOUT 32772
#define IDM_START_STOP 32773
#define IDM_HELP 32774
#define IDM_INTERNET 32775
#define IDM_FLASH_SAMPLE 32776
