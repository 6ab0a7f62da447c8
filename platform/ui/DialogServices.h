#pragma once

#include <windows.h>

#include <string>

// What the converter dialog asks of the system beyond its own controls: the file dialogs, the
// message box and the wait cursor. Tests install a scripted stand-in in place of the real ones.
class DialogServices {
public:
    virtual ~DialogServices() = default;

    // Runs an open (or save) CFileDialog; on IDOK, path gets the chosen full path. IDOK or IDCANCEL.
    virtual INT_PTR RunFileDialog(bool open, const char* defaultExtension, const std::string& initialName, DWORD flags,
        const char* filter, HWND owner, std::string& path)
        = 0;
    // AfxMessageBox with this text and type; the button that closed the box.
    virtual int ShowMessageBox(const char* text, UINT type) = 0;
    // The application's counted wait cursor: +1 on, -1 off.
    virtual void DoWaitCursor(int change) = 0;
};

// The installed services: the system's own unless a stand-in was set.
DialogServices& GetDialogServices();
// Installs services (null: back to the system's own); returns the ones installed before.
DialogServices* SetDialogServices(DialogServices* services);

// Shows the wait cursor for its lifetime, so that every way out of a block turns it off.
class WaitCursorScope {
public:
    WaitCursorScope() { GetDialogServices().DoWaitCursor(1); }
    ~WaitCursorScope() { GetDialogServices().DoWaitCursor(-1); }
    WaitCursorScope(const WaitCursorScope&) = delete;
    WaitCursorScope& operator=(const WaitCursorScope&) = delete;
};
