// Resource ids of the about box (about_dlg.rc).
#pragma once

#define IDD_ABOUTBOX 100
#define IDC_ABOUT_VERSION 1045
#define IDC_ABOUT_LINK 1035
