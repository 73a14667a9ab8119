// The order of the run for each platform family, over the dialog's file line and
// progress bar.
#include "drvsweep.h"

#include <commctrl.h>

static void setPosition(const ProgressView &view, int pos)
{
    if (view.bar)
        SendMessageA(view.bar, PBM_SETPOS, pos, 0);
}

bool SweepNt(UninstallConfig &cfg, const ProgressView &view, Remains *remains)
{
    // Every main entry must be matched by a present device before anything goes.
    if (CountMatchingDevices(cfg) != cfg.deviceCount)
        return false;
    CollectInfPaths(cfg, &InfPaths);
    DeleteDriverFilesNt(cfg, InfPaths, view, remains);
    RemoveMatchingDevices(cfg, remains);
    setPosition(view, 90);
    CleanRegistryNt(cfg, remains);
    setPosition(view, 100);
    return true;
}

void Sweep9x(UninstallConfig &cfg, const ProgressView &view, Remains *remains)
{
    CollectEnumKeys(cfg, &EnumKeys);
    DeleteDriverFiles9x(cfg, view, remains);
    CleanRegistry9x(cfg, EnumKeys, remains);
    setPosition(view, 100);
}
