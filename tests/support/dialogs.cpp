// Dialogs and message boxes found by caption and driven the way a user would: text,
// buttons and combo boxes.
#include "qxtest.h"

namespace qxt
{

HWND waitForWindow(const char *cls, const char *caption, DWORD ms)
{
    HWND found = NULL;
    waitUntil(
        [&] {
            HWND w = FindWindowA(cls, caption);
            if (w && IsWindowVisible(w))
                found = w;
            return found != NULL;
        },
        ms);
    return found;
}

HWND waitForDialog(const char *caption, DWORD ms)
{
    return waitForWindow("#32770", caption, ms);
}

bool waitForGone(HWND w, DWORD ms)
{
    return waitUntil([&] { return !IsWindow(w); }, ms);
}

std::string windowText(HWND w)
{
    char buf[1024];
    buf[0] = '\0';
    // WM_GETTEXT rather than GetWindowText: it reads controls of other processes too.
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, NULL);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

std::string controlText(HWND dlg, int id)
{
    return windowText(GetDlgItem(dlg, id));
}

std::string className(HWND w)
{
    char buf[256];
    int n = GetClassNameA(w, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

std::string messageBoxText(HWND box)
{
    return controlText(box, 0xFFFF);
}

bool pressButton(HWND dlg, int id)
{
    HWND b = GetDlgItem(dlg, id);
    if (!b)
        return false;
    return PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)b) != 0;
}

std::vector<std::string> comboEntries(HWND dlg, int id)
{
    std::vector<std::string> out;
    HWND c = GetDlgItem(dlg, id);
    LRESULT n = SendMessageA(c, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; i++) {
        char buf[512];
        LRESULT len = SendMessageA(c, CB_GETLBTEXTLEN, i, 0);
        if (len < 0 || len >= (LRESULT)sizeof buf)
            continue;
        SendMessageA(c, CB_GETLBTEXT, i, (LPARAM)buf);
        out.push_back(buf);
    }
    return out;
}

int comboSelection(HWND dlg, int id)
{
    return (int)SendMessageA(GetDlgItem(dlg, id), CB_GETCURSEL, 0, 0);
}

bool pickComboEntry(HWND dlg, int id, int index)
{
    HWND c = GetDlgItem(dlg, id);
    if (!c || SendMessageA(c, CB_SETCURSEL, index, 0) != index)
        return false;
    return PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)c) != 0;
}

} // namespace qxt
