// The remote server's settings: its switch, port and address in the program's
// registry key, the Setting dialog's check box, and starting or stopping it.
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
bool ServerKeepsPointer = false;

bool readNumber(HKEY key, const char *name, DWORD *number)
{
    DWORD type = 0, size = sizeof *number;
    return RegQueryValueExA(key, name, NULL, &type, (BYTE *)number, &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof *number;
}

void loadServerSettings()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD number = 0;
    ServerOn = readNumber(key, "RemoteServer", &number) && number == 1;
    // A port no socket can have keeps the default.
    if (readNumber(key, "RemoteServerPort", &number) && number >= 1 && number <= 65535)
        ServerPort = (unsigned short)number;
    ServerAnyAddress = readNumber(key, "RemoteServerAnyAddress", &number) && number == 1;
    ServerKeepsPointer = readNumber(key, "RemoteServerKeepsPointer", &number) && number == 1;
    RegCloseKey(key);
}

bool saveServerSwitch(bool on)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    DWORD number = on ? 1 : 0;
    bool saved = RegSetValueExA(key, "RemoteServer", 0, REG_DWORD, (const BYTE *)&number, sizeof number) ==
                 ERROR_SUCCESS;
    RegCloseKey(key);
    return saved;
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

} // namespace

void startConfiguredServer(HWND window)
{
    loadServerSettings();
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
    bool on = IsDlgButtonChecked(dialog, IDC_SERVE_REMOTE) == BST_CHECKED;
    if (on == ServerOn)
        return;
    ServerOn = on;
    saveServerSwitch(on);
    if (on)
        startServer(mainWindow());
    else
        stopRemoteServer();
}
