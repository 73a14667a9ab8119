// The uninstaller's application object and its one dialog.
#pragma once
#include "dialog_frame.h"
#include "drvsweep.h"

class UninstallApp : public AppFrame
{
  public:
    BOOL InitInstance() override;
    UninstallConfig config;
};
extern UninstallApp theApp;

// True when an Uninstall entry carries the configured display name.
bool IsPackageInstalled(const UninstallConfig &cfg);

class UninstallDialog : public DialogFrame
{
  public:
    explicit UninstallDialog(UninstallConfig &cfg);
    int RunUninstallNt();
    int RunUninstall9x();

  protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR *result) override;
    void OnOK() override;

  private:
    ProgressView Prepare();
    void Finish();
    void Stopped(int found);
    void CloseRemoteWindow();
    void PaintMinimized();
    UninstallConfig &cfg_;
    HICON icon_;
    bool ran_ = false;
    Remains remains_ = {};
};
