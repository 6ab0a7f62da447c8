#include "platform/ui/DialogServices.h"

#include "platform/ui/CFileDialog.h"
#include "platform/ui/CWinApp.h"

namespace {
class SystemDialogServices final : public DialogServices {
public:
    INT_PTR RunFileDialog(bool open, const char* defaultExtension, const std::string& initialName, DWORD flags,
        const char* filter, HWND owner, std::string& path) override
    {
        CFileDialog dialog(open ? TRUE : FALSE, defaultExtension, initialName.c_str(), flags, filter, owner);
        if (dialog.DoModal() != IDOK)
            return IDCANCEL;
        path = dialog.GetPathName();
        return IDOK;
    }

    int ShowMessageBox(const char* text, UINT type) override { return AfxMessageBox(text, type); }

    void DoWaitCursor(int change) override
    {
        if (CWinApp* app = AfxGetApp())
            app->DoWaitCursor(change);
    }
};

SystemDialogServices systemServices;
DialogServices* installed = nullptr;
}

DialogServices& GetDialogServices()
{
    return installed ? *installed : systemServices;
}

DialogServices* SetDialogServices(DialogServices* services)
{
    DialogServices* previous = installed;
    installed = services;
    return previous;
}
