// Resource ids of the options dialog (option_dlg.rc).
#pragma once

#include "ticker/dialogs/dialog_art_res.h"

#define IDD_OPTION_DIALOG 135
#define IDC_OPT_MODE_BAR 1025
#define IDC_OPT_MODE_DESKTOP 1026
#define IDC_OPT_MODE_TITLE 1027
#define IDC_OPT_AREA 1044
#define IDC_OPT_AREA_LABEL 1043
#define IDC_OPT_ORDER_REGIST 1030
#define IDC_OPT_ORDER_RANDOM 1031
#define IDC_OPT_SPEED 1032
#define IDC_OPT_LOOP 1029
#define IDC_OPT_SLEEP 1028
#define IDC_OPT_REG_EXPLORER 1003
#define IDC_OPT_PROXY_AUTH 1046
#define IDC_OPT_PROXY_USER 1047
#define IDC_OPT_PROXY_PASSWORD 1023
#define IDC_OPT_HELP 1034
