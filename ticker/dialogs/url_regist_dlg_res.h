// Resource ids of the URL registration dialog (url_regist_dlg.rc).
#pragma once

#include "ticker/dialogs/dialog_art_res.h"

#define IDD_URL_REGIST_DIALOG 129
#define IDC_REG_TITLE 1024
#define IDC_REG_URL 1000
#define IDC_REG_BROWSE 1020
#define IDC_REG_REFERRER 1001
#define IDC_REG_LEVEL 1015
#define IDC_REG_ADD 1021
#define IDC_REG_DELETE 1022
#define IDC_REG_UP 1023
#define IDC_REG_DOWN 1025
#define IDC_REG_HELP 1034
#define IDC_REG_LIST 1019
