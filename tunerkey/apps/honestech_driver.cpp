// honestechTV's driver: its key map over the keystroke drivers' shared part.
#include "apps/keystroke_driver.h"

// PowerVCR II's layout, with a plain R for 13 and the arrow keys for 27 and 31.
static const KeyAction honestechKeys[KEY_MAP_SIZE] = {
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
    {KA_KEYDOWN, 'R'},         // 13
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
    {KA_KEYDOWN, VK_RIGHT},    // 27
    {KA_KEYDOWN, VK_SPACE},    // 28
    {KA_KEYDOWN, 'C'},         // 29
    {KA_KEYDOWN, 'P'},         // 30
    {KA_KEYDOWN, VK_LEFT},     // 31
};

static const KeystrokeApp honestech = {WATCH_HONESTECH, honestechKeys};

void HonestechDriver::handleKey(int code)
{
    keystrokeHandleKey(honestech, code);
}

void HonestechDriver::close()
{
    keystrokeClose(honestech);
}

bool HonestechDriver::togglePower()
{
    return keystrokeTogglePower(honestech, close);
}
