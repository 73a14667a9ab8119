// A window that records every message it receives, standing in for an application
// whose window receives commands.
#include "qxtest.h"

#include <string.h>

namespace qxt
{

MessageRecorder::MessageRecorder(const char *cls, const char *title, bool visible) : cls_(cls)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = cls;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    RegisterClassA(&wc); // may exist already from an earlier recorder
    hwnd_ = CreateWindowExA(0, cls, title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 10, 10, 320, 240,
                            NULL, NULL, wc.hInstance, this);
}

MessageRecorder::~MessageRecorder()
{
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    UnregisterClassA(cls_.c_str(), GetModuleHandleA(NULL));
}

LRESULT CALLBACK MessageRecorder::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        CREATESTRUCTA *cs = (CREATESTRUCTA *)lp;
        SetWindowLongPtrA(w, GWLP_USERDATA, (LONG_PTR)cs->lpCreateParams);
    }
    MessageRecorder *self = (MessageRecorder *)GetWindowLongPtrA(w, GWLP_USERDATA);
    if (self) {
        Received r = {msg, wp, lp};
        self->log_.push_back(r);
    }
    // Recorded, not acted on: a WM_CLOSE must not destroy the window under test.
    if (msg == WM_CLOSE || msg == WM_DESTROY)
        return 0;
    return DefWindowProcA(w, msg, wp, lp);
}

std::vector<Received> MessageRecorder::received(UINT msg) const
{
    std::vector<Received> out;
    for (const Received &r : log_)
        if (msg == 0 || r.msg == msg)
            out.push_back(r);
    return out;
}

bool MessageRecorder::waitFor(UINT msg, DWORD ms)
{
    return waitUntil([&] { return !received(msg).empty(); }, ms);
}

} // namespace qxt
