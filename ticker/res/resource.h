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
#include "../shell/tray_menu_res.h"

// Tray icons: the idle and stopped icons and the fifteen animation frames (129-131, 133-144).
#define IDI_TRAY_IDLE 145
#define IDI_TRAY_STOPPED 146
