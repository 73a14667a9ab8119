// The order of the run for each platform family, over the dialog's file line and
// progress bar.
#include "drvsweep.h"

#include <commctrl.h>

static void setPosition(const ProgressView &view, int pos)
{
    if (view.bar)
        SendMessageA(view.bar, PBM_SETPOS, pos, 0);
}

// The present devices of other packages, found by the first scan of a run.
static ForeignDrivers Foreign;

bool SweepNt(UninstallConfig &cfg, const ProgressView &view, Remains *remains, int *found)
{
    NoteBroadEntries(cfg);
    if (found)
        *found = 0;
    // Without a main entry nothing shows what is the package's.
    if (cfg.deviceCount == 0)
        return false;
    // Which named services cannot go decides what they prove about a device.
    PlanServices(cfg);
    // Every main entry must be matched by a present device before anything goes;
    // an entry too broad to act on matches nothing, so it stops the run too.
    int count = CountMatchingDevices(cfg, &Foreign);
    if (found)
        *found = count;
    if (count != cfg.deviceCount)
        return false;
    InfPathList infPaths = {};
    CollectInfPaths(cfg, &infPaths, &Foreign);
    UninstallOemInfFn uninstallInf = FindUninstallOemInf();
    // The devices go before their files: one that stays keeps its service, and the
    // service its image.
    RemoveMatchingDevices(cfg, remains);
    FinishServicePlan(cfg);
    DeleteDriverFilesNt(cfg, infPaths, uninstallInf, view, remains);
    // The driver store lets a package go only once no device uses it.
    if (uninstallInf)
        UninstallOemInfs(infPaths, uninstallInf, view, remains);
    setPosition(view, 90);
    CleanRegistryNt(cfg, remains, &Foreign);
    setPosition(view, 100);
    return true;
}

bool Sweep9x(UninstallConfig &cfg, const ProgressView &view, Remains *remains)
{
    NoteBroadEntries(cfg);
    if (cfg.deviceCount == 0)
        return false;
    EnumKeyLists enumKeys = {};
    CollectEnumKeys(cfg, &enumKeys, &Foreign);
    DeleteDriverFiles9x(cfg, view, remains);
    CleanRegistry9x(cfg, enumKeys, remains, &Foreign);
    setPosition(view, 100);
    return true;
}
