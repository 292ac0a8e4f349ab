// Resource ids of the tray icon's pop-up menu (tray_menu.rc) and its commands.
#pragma once

#define IDR_TRAY_MENU 134

#define IDM_URL_SETTINGS 1000
#define IDM_OPTIONS 32771
#define IDM_ABOUT 32772
#define IDM_START_STOP 32773
#define IDM_HELP 32774
#define IDM_INTERNET 32775
#define IDM_FLASH_SAMPLE 32776
// The main window rebuilds the favourites submenu on this command.
#define IDM_REBUILD_FAVOURITES 134
