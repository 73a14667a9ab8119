// The key maps in the shell: read at start-up, watched while the program runs,
// their problems told in one box per change, and "Edit key maps..." in the tray menu.
#include "shell/shell.h"

#include "apps/apps.h"
#include "common/copy_text.h"

#include <stdio.h>

namespace
{

void CALLBACK keymapWatchTimerProc(HWND, UINT, UINT_PTR, DWORD);

// The watch's tick: one second, so that a save is read within three (a change is
// seen on a two-second check and confirmed on the next tick).
TimerSlot KeymapWatchTimer = {false, 6, NULL, 1000, keymapWatchTimerProc};
// While the problems box is up the files are not checked: a further change is
// read, and told, once it is closed.
bool ProblemBoxShowing = false;

void showProblems()
{
    char text[KEYMAP_PROBLEM_LIMIT * 220 + 200];
    keymapProblemsText(text, sizeof text);
    AppendText(text, sizeof text, "\nThese lines are skipped; the rest of the key map applies.");
    ProblemBoxShowing = true;
    MessageBoxA(NULL, text, TK_CAPTION, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    ProblemBoxShowing = false;
}

void CALLBACK keymapWatchTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (ProblemBoxShowing)
        return;
    if (checkKeymaps().problems)
        showProblems();
}

} // namespace

void startKeymaps(HWND window)
{
    loadKeymaps();
    KeymapWatchTimer.configure(window, 1000);
    KeymapWatchTimer.start();
}

void stopKeymapWatch()
{
    KeymapWatchTimer.stop();
}

// The user's file, made with a header and commented examples when missing, in Notepad.
void editKeymaps(HWND)
{
    char path[MAX_PATH] = "";
    char text[MAX_PATH + 100];
    if (!userKeymapPath(path, sizeof path) || !createUserKeymap(path)) {
        snprintf(text, sizeof text, "The key map file could not be created:\n%s", path);
        MessageBoxA(NULL, text, TK_CAPTION, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
        return;
    }
    snprintf(text, sizeof text, "notepad.exe \"%s\"", path);
    if (!launchSucceeded(WinExec(text, SW_SHOWNORMAL)))
        MessageBoxA(NULL, "Notepad could not be started.", TK_CAPTION,
                    MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}
