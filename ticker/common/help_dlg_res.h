// Resource ids of the help box (help_dlg.rc).
#pragma once

#define IDD_HELP_DIALOG 139
#define IDC_HELP_TEXT 1033
