// The remote server's settings: its switch, port and address among the program's
// settings, the Setting dialog's check box, and starting or stopping it; and the
// media keys' switch beside them.
#include "shell/shell.h"

#include "apps/apps.h"
#include "resources/resource.h"
#include "server/remote_server.h"

#include <stdio.h>

namespace
{

// As read at start; the Setting dialog changes the switch.
bool ServerOn = false;
unsigned short ServerPort = DEFAULT_SERVER_PORT;
bool ServerAnyAddress = false;
// The on-screen display's switch, read with them.
bool ShowKeys = false;
bool ServerKeepsPointer = false;

void loadServerSettings()
{
    DWORD number = 0;
    ServerOn = readSetting("RemoteServer", &number) && number == 1;
    // A port no socket can have keeps the default.
    if (readSetting("RemoteServerPort", &number) && number >= 1 && number <= 65535)
        ServerPort = (unsigned short)number;
    // Opening the remote to the network is an administrator's decision.
    ServerAnyAddress = readSetting("RemoteServerAnyAddress", &number, SETTING_MACHINE_ONLY) && number == 1;
    ShowKeys = readSetting("ShowKeys", &number) && number == 1;
    ServerKeepsPointer = readSetting("RemoteServerKeepsPointer", &number) && number == 1;
    // The media keys are on unless the value says 0.
    DWORD media = 1;
    readSetting("MediaKeys", &media);
    setMediaKeysOn(media != 0);
}

// Starts the server; a failure is told once, in a box, and the program runs on
// without it.
void startServer(HWND window)
{
    int error = 0;
    ServerOptions options = {ServerPort, ServerAnyAddress, ServerKeepsPointer};
    ServerStart result = startRemoteServer(window, options, &error);
    if (result == SERVER_LISTENING)
        return;
    char text[200];
    if (result == SERVER_PORT_IN_USE)
        snprintf(text, sizeof text,
                 "Port %u is in use by another program. The remote is not served to other programs.",
                 (unsigned)ServerPort);
    else if (result == SERVER_NO_WINSOCK)
        snprintf(text, sizeof text,
                 "Windows Sockets is not available. The remote is not served to other programs.");
    else
        snprintf(text, sizeof text,
                 "The remote cannot be served to other programs (Windows Sockets error %d).", error);
    MessageBoxA(NULL, text, TK_CAPTION, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

// A check box's state on OK: true when it changed, and then it is saved for the user.
bool acceptCheckBox(HWND dialog, int id, bool current, const char *value, bool *on)
{
    *on = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
    if (*on == current)
        return false;
    writeSetting(value, *on ? 1 : 0);
    return true;
}

} // namespace

void startConfiguredServer(HWND window)
{
    loadServerSettings();
    if (ShowKeys)
        startOnScreenDisplay();
    if (ServerOn)
        startServer(window);
}

void initServerCheckBox(HWND dialog)
{
    char text[100];
    snprintf(text, sizeof text, "Serve the remote to other programs (WinLIRC, port %u)",
             (unsigned)ServerPort);
    SetDlgItemTextA(dialog, IDC_SERVE_REMOTE, text);
    CheckDlgButton(dialog, IDC_SERVE_REMOTE, ServerOn ? BST_CHECKED : BST_UNCHECKED);
}

void acceptServerCheckBox(HWND dialog)
{
    bool on;
    if (!acceptCheckBox(dialog, IDC_SERVE_REMOTE, ServerOn, "RemoteServer", &on))
        return;
    ServerOn = on;
    if (on)
        startServer(mainWindow());
    else
        stopRemoteServer();
}

void initMediaKeysCheckBox(HWND dialog)
{
    CheckDlgButton(dialog, IDC_MEDIA_KEYS, mediaKeysOn() ? BST_CHECKED : BST_UNCHECKED);
}

void acceptMediaKeysCheckBox(HWND dialog)
{
    bool on;
    if (acceptCheckBox(dialog, IDC_MEDIA_KEYS, mediaKeysOn(), "MediaKeys", &on))
        setMediaKeysOn(on);
}

void initShowKeysCheckBox(HWND dialog)
{
    CheckDlgButton(dialog, IDC_SHOW_KEYS, ShowKeys ? BST_CHECKED : BST_UNCHECKED);
}

void acceptShowKeysCheckBox(HWND dialog)
{
    bool on;
    if (!acceptCheckBox(dialog, IDC_SHOW_KEYS, ShowKeys, "ShowKeys", &on))
        return;
    ShowKeys = on;
    if (on)
        startOnScreenDisplay();
    else
        stopOnScreenDisplay();
}
