// Resource ids of tunerkey, shared by the resource script and the shell's code.
#pragma once

#define IDD_SETTING 20
#define IDD_ABOUT 21
#define IDD_SHUTDOWN 107

#define IDI_PROGRAM 50
#define IDI_SHUTDOWN 110

#define IDS_WINDOW_TITLE 22
#define IDS_CLASS_NAME 23
#define IDR_ACCELERATORS 23

// Control of the Setting dialog: the list of applications.
#define IDC_APP_LIST 11
// Control of the Setting dialog: the remote server's switch.
#define IDC_SERVE_REMOTE 12
// Control of the Setting dialog: the media keys for other players.
#define IDC_MEDIA_KEYS 13

// Commands of the main window.
#define IDM_ABOUT 30
#define IDM_QUIT 31
#define IDM_SETTING 32
#define IDM_EDIT_KEYMAPS 33
#define IDM_HOME_THEATER 1102
#define IDM_EXIT 1201
