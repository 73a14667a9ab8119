#include "keys/keys.h"

#include "apps/apps.h"

namespace
{

// Window commands 1101 to 1106: close these applications in order (the list ends
// at the first NULL), raise or start one, and possibly make it the power key's
// default for the rest of the run (not saved).
struct WindowCommand {
    int command;
    void (*closeFirst[5])();
    TvAppTarget *raise;
    int newDefault; // DefaultTVAPP afterwards, 0 = unchanged
};
const WindowCommand kWindowCommands[] = {
    {1101, {HomeTheaterDriver::close, WinRipDriver::close}, &winDvdTarget, 0},
    {1102,
     {WinDvdDriver::close, WinRipDriver::close, TivraDriver::close, PowerVcrDriver::close,
      HonestechDriver::close},
     &homeTheaterTarget,
     1},
    {1103, {WinDvdDriver::close, HomeTheaterDriver::close}, &winRipTarget, 0},
    {1104, {HomeTheaterDriver::close, TivraDriver::close, HonestechDriver::close}, &powerVcrTarget, 2},
    {1105, {HomeTheaterDriver::close, PowerVcrDriver::close, TivraDriver::close}, &honestechTarget, 4},
    {1106, {HomeTheaterDriver::close, PowerVcrDriver::close, HonestechDriver::close}, &tivraTarget, 3},
};

} // namespace

void switchApplication(int command)
{
    for (const WindowCommand &c : kWindowCommands) {
        if (c.command != command)
            continue;
        for (void (*close)() : c.closeFirst)
            if (close)
                close();
        c.raise->bringToFront();
        if (c.newDefault != 0)
            setDefaultTvApp(c.newDefault);
        return;
    }
}
