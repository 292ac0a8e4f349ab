// Resource ids of the URL selection dialog (url_select_dlg.rc); the control ids are those of
// url_select_model.h.
#pragma once

#include "ticker/dialogs/dialog_art_res.h"

#define IDD_URL_SELECT_DIALOG 131
#define IDC_SEL_URL 1000
#define IDC_SEL_REFERRER 1001
#define IDC_SEL_BROWSER 1003
#define IDC_SEL_GUIDE 1006
#define IDC_SEL_BACK 1007
#define IDC_SEL_FORWARD 1008
#define IDC_SEL_REFRESH 1009
#define IDC_SEL_STOP 1010
#define IDC_SEL_HOME 1011
#define IDC_SEL_PREVIEW 1013
#define IDC_SEL_STATUS 1014
#define IDC_SEL_LEVEL 1015
#define IDC_SEL_LEVEL_TEXT 1016
#define IDC_SEL_HELP 1034
