// The TivraTVR recorder's driver: remote codes as command messages to its window.
#include "apps/apps.h"

// Command number for each remote code; 0 sends nothing. Digits are 10000 + n,
// with code 0 standing for n = 100.
static const DWORD tivraCommands[32] = {
    10100, 10001, 10002, 10003, 10004, 10005, 10006, 10007, // 0 to 7
    10008, 10009, 10000, 206,   4004,  1001,  1002,  0,     // 8 to 15 (15: the dispatcher sends 5001)
    403,   3,     0,     300,   0,     0,     3001,  4003,  // 16 to 23 (18: power, see togglePower)
    5,     8,     4001,  401,   1003,  1000,  4002,  402,   // 24 to 31
};

static const DWORD CLOSE_COMMAND = 1;
static const DWORD KEY15_COMMAND = 5001;

static HWND findRecorder()
{
    return findRunningApp(WATCH_TIVRA);
}

void TivraDriver::sendCommand(DWORD command)
{
    HWND w = findRecorder();
    if (w != NULL)
        PostMessageA(w, COMMAND_MESSAGE, command, 0);
}

void TivraDriver::key15()
{
    sendCommand(KEY15_COMMAND);
}

void TivraDriver::handleKey(int code)
{
    if (code < 0 || code >= 32 || tivraCommands[code] == 0)
        return;
    sendCommand(tivraCommands[code]);
}

void TivraDriver::close()
{
    HWND w = findRecorder();
    if (w == NULL)
        return;
    PostMessageA(w, COMMAND_MESSAGE, CLOSE_COMMAND, 0);
    noteClosingWindow(w);
    setTargetActive(tivraTarget, false);
}

// The close looks the recorder up once more just before posting.
bool TivraDriver::togglePower()
{
    return togglePowerWith(findRecorder(), close, tivraTarget);
}
