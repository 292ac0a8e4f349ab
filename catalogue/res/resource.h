// Resource ids of Catalogue.exe.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CATALOGUE_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_DOWNLOAD 135
#define IDR_DOWNLOAD_AVI 136

// Page pictures, header and link strips (resource type "GIF").
#define IDR_GIF_PAGE_ZELLORA 137
#define IDR_GIF_PAGE_CLOCK 138
#define IDR_GIF_PAGE_SELECTION 139
#define IDR_GIF_PAGE_ZELLMATE 140
#define IDR_GIF_PAGE_WALLPAPER 141
#define IDR_GIF_PAGE_PUZZLE 142
#define IDR_GIF_PAGE_SUPPORT 143
#define IDR_GIF_LINK_A_HOT 144
#define IDR_GIF_LINK_A 145
#define IDR_GIF_HEADER 146
#define IDR_GIF_LINK_B_HOT 147
#define IDR_GIF_LINK_B 148
#define IDR_GIF_PAGE_MAIL 149
#define IDR_GIF_UNUSED 150

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Catalogue window.
#define IDC_NEXT 1000
#define IDC_PREVIOUS 1001
#define IDC_OFFER_FIRST 1002  // 1002 to 1008
#define IDC_OFFER_LAST 1008

// Progress dialog.
#define IDC_ANIMATION 1003
#define IDC_STATUS 1004
#define IDC_PROGRESS 1005
#define IDC_REMAINING 1006
#define IDC_RATE 1007

// About box.
#define IDC_HOMEPAGE_LINK 1007

// System menu item of the about box.
#define IDM_ABOUTBOX 0x0010
