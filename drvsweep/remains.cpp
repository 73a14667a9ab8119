// What could not be removed, what was left alone, and the final message built
// from both.
#include "drvsweep.h"

#include <stdio.h>
#include <string.h>

Remains LeftAlone;

static int changesMade = 0;

void NoteChange()
{
    changesMade++;
}

int ChangesMade()
{
    return changesMade;
}

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

void NoteLeftAlone(const char *what, const char *why)
{
    char text[REMAINS_TEXT];
    CopyText(text, sizeof text, what);
    AppendText(text, sizeof text, " (");
    AppendText(text, sizeof text, why);
    AppendText(text, sizeof text, ")");
    NoteRemaining(&LeftAlone, text);
}

static void appendList(char *text, size_t size, const Remains &list)
{
    int shown = list.count < REMAINS_SHOWN ? list.count : REMAINS_SHOWN;
    for (int i = 0; i < shown; i++) {
        AppendText(text, size, "\n");
        AppendText(text, size, list.names[i]);
    }
    if (list.count > shown) {
        char more[48];
        snprintf(more, sizeof more, "\n... and %d more.", list.count - shown);
        AppendText(text, size, more);
    }
}

static void appendAtRestart(char *text, size_t size, const Remains &atRestart)
{
    AppendText(text, size, "These files are in use and will be removed when Windows restarts:\n");
    appendList(text, size, atRestart);
}

// The restart line is for a run that changed something.
static void appendRestartLine(char *text, size_t size, const UninstallConfig &cfg, bool changed)
{
    if (!changed)
        return;
    AppendText(text, size, "\n\n");
    AppendText(text, size, cfg.passMsg2);
}

UINT ComposeFinalMessage(const UninstallConfig &cfg, const Remains &remains, const Remains &leftAlone,
                         const Remains &atRestart, bool changed, char *text, size_t size)
{
    if (remains.count == 0 && leftAlone.count == 0) {
        // Success is claimed only when nothing is left, not even for a restart.
        if (atRestart.count == 0) {
            CopyText(text, size, cfg.passMsg);
        } else {
            CopyText(text, size, "The uninstallation is complete after a restart. ");
            appendAtRestart(text, size, atRestart);
        }
        appendRestartLine(text, size, cfg, changed || atRestart.count > 0);
        return MB_ICONINFORMATION;
    }
    // Claiming success here would leave the user with a half-removed package.
    CopyText(text, size, "The uninstallation is not complete.");
    if (remains.count > 0) {
        AppendText(text, size, " These items could not be removed:\n");
        appendList(text, size, remains);
    }
    if (leftAlone.count > 0) {
        AppendText(text, size,
                   remains.count > 0 ? "\n\nThese were left alone:\n" : " These were left alone:\n");
        appendList(text, size, leftAlone);
    }
    if (atRestart.count > 0) {
        AppendText(text, size, "\n\n");
        appendAtRestart(text, size, atRestart);
    }
    appendRestartLine(text, size, cfg, changed || atRestart.count > 0);
    return MB_ICONWARNING;
}

void ComposeStopMessage(const UninstallConfig &cfg, int found, const Remains &leftAlone, char *text,
                        size_t size)
{
    char counts[200];
    if (cfg.deviceCount == 0)
        CopyText(counts, sizeof counts,
                 "Nothing was removed: TVQ7Drv.ini names no device of the package (DevIDNum is missing, 0 or "
                 "no number), so nothing shows what is the package's.");
    else
        snprintf(counts, sizeof counts,
                 "Nothing was removed: the devices present do not match those TVQ7Drv.ini names (found %d, "
                 "expected %d).",
                 found, cfg.deviceCount);
    CopyText(text, size, counts);
    if (leftAlone.count > 0) {
        AppendText(text, size, " These were left alone:\n");
        appendList(text, size, leftAlone);
    }
}
