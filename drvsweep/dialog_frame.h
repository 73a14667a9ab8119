// A small application and modal-dialog layer over Win32, doing for this program
// what an application framework's application and dialog classes would.
#pragma once
#include <windows.h>

// The application: its instance and main window, and a start-up whose result
// says whether a message loop should follow (this program never needs one).
class AppFrame
{
  public:
    virtual ~AppFrame() {}
    virtual BOOL InitInstance() = 0;
    int Run(HINSTANCE instance);
    HINSTANCE instance = NULL;
    HWND mainWindow = NULL;
};

// A modal dialog built from a resource template. Handlers return true when they
// handled the message; `result` is the dialog procedure's answer.
class DialogFrame
{
  public:
    explicit DialogFrame(int templateId) : templateId_(templateId) {}
    virtual ~DialogFrame() {}
    INT_PTR DoModal(HWND parent);
    HWND hwnd() const { return hwnd_; }

  protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR *) { return false; }
    virtual void OnOK() { EndDialog(hwnd_, IDOK); }
    virtual void OnCancel() { EndDialog(hwnd_, IDCANCEL); }
    HWND hwnd_ = NULL;

  private:
    static INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    int templateId_;
};
