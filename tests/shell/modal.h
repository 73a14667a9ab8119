// Drives a modal dialog of the shell: the dialog runs on the test's thread, a
// second thread finds it by caption and answers it, the way a user would.
#pragma once
#include <windows.h>

#include <functional>
#include <thread>

#include "qxtest.h"

// Runs `open` (which returns when the dialog has ended) while `answer` gets the
// dialog's window, or NULL when it did not appear in time. False when the dialog
// was still open 10 s after it appeared (it is then cancelled).
inline bool runModal(const char *caption, const std::function<void()> &open,
                     const std::function<void(HWND)> &answer)
{
    bool stuck = false;
    std::thread driver([&] {
        HWND dlg = qxt::waitForDialog(caption);
        answer(dlg);
        if (dlg != NULL && !qxt::waitForGone(dlg, 10000)) {
            stuck = true;
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        }
    });
    open();
    driver.join();
    return !stuck;
}
