// drvsweep: removes the capture card's driver package as TVQ7Drv.ini names it.
#include <windows.h>

#include "uninstaller.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return theApp.Run(instance);
}
