// Resource and control identifiers shared by tavrin.rc and the code.
#pragma once

#define IDS_DESCRIPTION 1
#define IDI_TAVRIN 100

// Data packs, resource type "DATAPACK".
#define IDR_PACK_SUN_GLOW 105
#define IDR_PACK_GLYPHS 106
#define IDR_PACK_LOW 107
#define IDR_PACK_MEDIUM 108
#define IDR_PACK_HIGH 109

// The configuration dialog and its two pages.
#define IDD_CONFIGURATOR 2003
#define IDD_SETTINGS_PAGE 9
#define IDD_ABOUT_PAGE 107
#define IDB_DIALOG_SIDE 111

// Where the about page's two links lead (strings).
#define IDS_MAIL_TARGET 200
#define IDS_WEB_TARGET 201

#define IDC_APPLY 3
#define IDC_TABS 1000
#define IDC_AMOUNT_LABEL 1001
#define IDC_WEB_LINK 1002
#define IDC_MAIL_LINK 1003
#define IDC_SHOW_EARTH 1011
#define IDC_ANIMATION_SPEED 1012
#define IDC_CAMERA_SPEED 1013
#define IDC_SHOW_STARS 1014
#define IDC_SMOOTH_STARS 1017
#define IDC_RANDOM_CAMERA 1027
#define IDC_SHOW_INFO 1028
#define IDC_STARS_AMOUNT 1030
#define IDC_FILTRATION 1031
#define IDC_QUALITY 1032
#define IDC_SHOW_FPS 1037
#define IDC_SHOW_TIME 1038
