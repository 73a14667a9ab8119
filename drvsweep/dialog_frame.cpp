// The application and dialog layer: the application's run and the modal dialog's
// procedure, which hands OK, Cancel and every other message to the dialog's handlers.
#include "dialog_frame.h"

int AppFrame::Run(HINSTANCE inst)
{
    instance = inst;
    InitInstance();
    return 0;
}

INT_PTR DialogFrame::DoModal(HWND parent)
{
    return DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId_), parent, Proc, (LPARAM)this);
}

INT_PTR CALLBACK DialogFrame::Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    DialogFrame *self;
    if (msg == WM_INITDIALOG) {
        self = (DialogFrame *)lp;
        self->hwnd_ = w;
        SetWindowLongPtrA(w, DWLP_USER, (LONG_PTR)self);
        return self->OnInitDialog();
    }
    self = (DialogFrame *)GetWindowLongPtrA(w, DWLP_USER);
    if (!self)
        return FALSE;
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        if (LOWORD(wp) == IDOK) {
            self->OnOK();
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            self->OnCancel();
            return TRUE;
        }
    }
    INT_PTR result = 0;
    if (self->OnMessage(msg, wp, lp, &result))
        return result;
    return FALSE;
}
