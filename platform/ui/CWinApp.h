#pragma once

#include "platform/ui/CCmdTarget.h"

#include <string>

class CDialog;

// The one application object. Its constructor registers it; WinMain runs InitInstance.
class CWinApp : public CCmdTarget {
public:
    // Without a name, string 57344, else the executable's file name without folder and extension.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    // Runs the whole program; the framework never enters a message loop of its own after it.
    virtual BOOL InitInstance();
    // Every message box of the program: caption the application name, owner the main window,
    // the exclamation icon when the type names none.
    virtual int DoMessageBox(const char* text, UINT type, UINT helpId);
    // Counted: +1 shows the wait cursor, -1 back to 0 restores the cursor from before.
    virtual void DoWaitCursor(int change);
    int GetWaitCursorCount() const { return waitCursorCount; }

    // The help command 0xE146: WinHelpA on the executable's name with ".HLP".
    void OnHelp();
    // Opens the help file; string 61703 in a message box when the help cannot be started.
    virtual void WinHelp(ULONG_PTR data, UINT command);

    HINSTANCE m_hInstance = nullptr;
    CDialog* m_pMainWnd = nullptr;
    std::string m_strAppName;
    std::string m_strHelpFilePath;

protected:
    // The framework's 3-D controls; nothing to do on Windows 4.0 and later.
    BOOL Enable3dControlsStatic();

    // The system calls behind DoMessageBox and WinHelp, apart so that tests can watch them.
    virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
    virtual BOOL CallWinHelp(HWND owner, const char* helpFile, UINT command, ULONG_PTR data);

private:
    int waitCursorCount = 0;
    HCURSOR cursorBeforeWait = nullptr;

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
int AfxMessageBox(const char* text, UINT type = 0, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = 0, UINT helpId = UINT(-1));
// A string of the program's string table, or "" when there is none.
std::string LoadResourceString(UINT id);

#define ID_HELP 0xE146
#define AFX_IDS_APP_TITLE 0xE000
#define AFX_IDS_UNTITLED 0xF006
#define AFX_IDP_FAILED_MEMORY_ALLOC 0xF023
#define AFX_IDP_FAILED_TO_LAUNCH_HELP 0xF107
#define AFX_IDP_INTERNAL_FAILURE 0xF108
#define AFX_IDP_FILE_NONE 0xF1A0
static_assert(ID_HELP == 57670 && AFX_IDS_APP_TITLE == 57344 && AFX_IDS_UNTITLED == 61446);
static_assert(AFX_IDP_FAILED_MEMORY_ALLOC == 61475 && AFX_IDP_FAILED_TO_LAUNCH_HELP == 61703);
static_assert(AFX_IDP_INTERNAL_FAILURE == 61704 && AFX_IDP_FILE_NONE == 61856);
