// What could not be removed, and the final message built from it.
#include "drvsweep.h"

#include <stdio.h>
#include <string.h>

void NoteRemaining(Remains *remains, const char *what)
{
    if (!remains)
        return;
    // The second class-key pass of Windows 9x may meet the same key again.
    for (int i = 0; i < remains->count && i < REMAINS_SHOWN; i++)
        if (strcmp(remains->names[i], what) == 0)
            return;
    if (remains->count < REMAINS_SHOWN)
        CopyText(remains->names[remains->count], REMAINS_TEXT, what);
    remains->count++;
}

UINT ComposeFinalMessage(const UninstallConfig &cfg, const Remains &remains, char *text, size_t size)
{
    if (remains.count == 0) {
        CopyText(text, size, cfg.passMsg);
        AppendText(text, size, "\n\n");
        AppendText(text, size, cfg.passMsg2);
        return MB_ICONINFORMATION;
    }
    // Claiming success here would leave the user with a half-removed package.
    CopyText(text, size, "The uninstallation is not complete. These items could not be removed:\n");
    int shown = remains.count < REMAINS_SHOWN ? remains.count : REMAINS_SHOWN;
    for (int i = 0; i < shown; i++) {
        AppendText(text, size, "\n");
        AppendText(text, size, remains.names[i]);
    }
    if (remains.count > shown) {
        char more[48];
        snprintf(more, sizeof more, "\n... and %d more.", remains.count - shown);
        AppendText(text, size, more);
    }
    AppendText(text, size, "\n\n");
    AppendText(text, size, cfg.passMsg2);
    return MB_ICONWARNING;
}
