// PowerVCR II's driver: its key map over the keystroke drivers' shared part, and
// its own setting that keeps the capture dialog away.
#include "apps/keystroke_driver.h"

static const KeyAction powerVcrKeys[KEY_MAP_SIZE] = {
    {KA_KEYDOWN, VK_MULTIPLY}, // 0
    {KA_DIGIT, 1},             // 1
    {KA_DIGIT, 2},             // 2
    {KA_DIGIT, 3},             // 3
    {KA_DIGIT, 4},             // 4
    {KA_DIGIT, 5},             // 5
    {KA_DIGIT, 6},             // 6
    {KA_DIGIT, 7},             // 7
    {KA_DIGIT, 8},             // 8
    {KA_DIGIT, 9},             // 9
    {KA_DIGIT, 0},             // 10
    {KA_NONE, 0},              // 11
    {KA_CHORD, 'U'},           // 12
    {KA_DISABLE_CAP_DLG, 'R'}, // 13
    {KA_KEYDOWN, 'S'},         // 14
    {KA_NONE, 0},              // 15: the dispatcher's own key
    {KA_KEYDOWN, 'Q'},         // 16
    {KA_KEYDOWN, 'Z'},         // 17
    {KA_NONE, 0},              // 18: power, see togglePower
    {KA_CHORD, 'M'},           // 19
    {KA_NONE, 0},              // 20
    {KA_NONE, 0},              // 21
    {KA_ENTER_CHAR, 0},        // 22
    {KA_CHORD, 'R'},           // 23
    {KA_MINIMIZE, 0},          // 24
    {KA_CHORD, 'S'},           // 25
    {KA_KEYDOWN, 'N'},         // 26
    {KA_KEYDOWN, VK_ADD},      // 27
    {KA_KEYDOWN, VK_SPACE},    // 28
    {KA_KEYDOWN, 'C'},         // 29
    {KA_KEYDOWN, 'P'},         // 30
    {KA_KEYDOWN, VK_SUBTRACT}, // 31
};

static const KeystrokeApp powerVcr = {WATCH_POWERVCR, powerVcrKeys};

void disableCaptureDialog()
{
    HKEY h;
    if (openApplicationKey("SOFTWARE\\CyberLink", KEY_SET_VALUE, &h) != ERROR_SUCCESS)
        return;
    DWORD one = 1;
    RegSetValueExA(h, "DisableCapDlg", 0, REG_DWORD, (const BYTE *)&one, sizeof one);
    RegCloseKey(h);
}

void PowerVcrDriver::handleKey(int code)
{
    keystrokeHandleKey(powerVcr, code);
}

void PowerVcrDriver::close()
{
    keystrokeClose(powerVcr);
}

bool PowerVcrDriver::togglePower()
{
    return keystrokeTogglePower(powerVcr, close);
}
