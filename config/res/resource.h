// Resource ids of the configuration program, shared by its resource script
// and its code.
#ifndef TESSARIL_CONFIG_RESOURCE_H
#define TESSARIL_CONFIG_RESOURCE_H

// String table.
#define IDS_APP_TITLE 1         // "Tessaril": the sheet's caption, every message box's
#define IDS_SEC_FORMAT 2        // "%d sec": the generated list items
#define IDS_STATE_ITEMS 3       // the State box
#define IDS_SAVED 4             // after Apply
#define IDS_DONE 5              // the About page's soft key
#define IDS_START_FAILED 6      // the lock program is not running after a start
#define IDS_SAVE_FAILED 7       // a setting could not be written on Apply
#define IDS_ACTIONS 13          // the sheet's right soft key
#define IDS_APPLY 14            // the sheet's left soft key
#define IDS_SCREEN_OFF_ITEMS 15 // Turn off screen
#define IDS_SIGNAL_ITEMS 16     // Lock Signal, Unlock Signal, Type
#define IDS_INTERVAL_ITEMS 17   // Interval
#define IDS_DROP_ITEMS 18       // both drop lists

// Icon group.
#define IDI_TESSARILCFG 101

// Dialog templates: the About page and the sheet's three pages.
#define IDD_ABOUT 105
#define IDD_MAIN 134
#define IDD_OPTIONS 135
#define IDD_CALL_DROP 138

// Main page.
#define IDC_STATE 1003
#define IDC_TEMP_UNLOCK 1004
#define IDC_START_DELAY 1005
#define IDC_AUTOSTART 1006

// Options page.
#define IDC_LOCK_SIGNAL_LABEL 201
#define IDC_UNLOCK_SIGNAL_LABEL 202
#define IDC_ELAPSED_LABEL 203
#define IDC_SCREEN_OFF_LABEL 204
#define IDC_LOCK_SIGNAL 205
#define IDC_UNLOCK_SIGNAL 206
#define IDC_ELAPSED_TYPE 207
#define IDC_INTERVAL 208
#define IDC_SCREEN_OFF 209
#define IDC_SIGNAL_BEFORE 210
#define IDC_SIGNAL_BEFORE_LABEL 1026

// Call Drop page.
#define IDC_DROP_INCOMING 1027
#define IDC_DROP_OUTGOING 1028

// About page.
#define IDC_ABOUT_ICON 201
#define IDC_ABOUT_VERSION 202
#define IDC_ABOUT_LINE2 203
#define IDC_ABOUT_LINE3 204

// Menus and the menu bars of the same ids, with their commands.
#define IDR_ABOUT_MENU 1017
#define IDM_DONE 1018
#define IDR_SHEET_MENU 1019
#define IDM_APPLY 1020
#define IDM_ABOUT 1021

#define IDC_STATIC (-1)

#endif
