#include "platform/ui/CWinApp.h"

#include "platform/ui/CDialog.h"
#include "platform/ui/ModulePath.h"

namespace {

CWinApp* currentApp = nullptr;

HWND MainWindowHandle(const CWinApp* app)
{
    if (!app || !app->m_pMainWnd)
        return nullptr;
    HWND window = app->m_pMainWnd->GetSafeHwnd();
    return IsWindow(window) ? window : nullptr;
}

} // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(const char* appName)
{
    currentApp = this;
    m_hInstance = GetModuleHandleA(nullptr);
    if (appName)
        m_strAppName = appName;
    else
        m_strAppName = LoadResourceString(AFX_IDS_APP_TITLE);
    std::string modulePath = GetModulePath(m_hInstance);
    if (m_strAppName.empty())
        m_strAppName = FileTitleOf(modulePath);
    m_strHelpFilePath = WithExtension(modulePath, ".HLP");
}

CWinApp::~CWinApp()
{
    if (currentApp == this)
        currentApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::DoMessageBox(const char* text, UINT type, UINT helpId)
{
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    return ShowMessageBox(MainWindowHandle(this), text, m_strAppName.c_str(), type);
}

int CWinApp::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    return MessageBoxA(owner, text, caption, type);
}

void CWinApp::DoWaitCursor(int change)
{
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    if (change > 0) {
        HCURSOR previous = SetCursor(wait);
        if (++waitCursorCount == 1)
            cursorBeforeWait = previous;
        return;
    }
    if (change < 0) {
        // An unmatched "off" must not push the count below zero and swallow the next "on".
        if (waitCursorCount == 0)
            return;
        if (--waitCursorCount == 0)
            SetCursor(cursorBeforeWait);
        return;
    }
    if (waitCursorCount > 0)
        SetCursor(wait);
}

void CWinApp::OnHelp()
{
    WinHelp(0, HELP_FINDER);
}

void CWinApp::WinHelp(ULONG_PTR data, UINT command)
{
    if (!CallWinHelp(MainWindowHandle(this), m_strHelpFilePath.c_str(), command, data))
        AfxMessageBox(AFX_IDP_FAILED_TO_LAUNCH_HELP);
}

BOOL CWinApp::CallWinHelp(HWND owner, const char* helpFile, UINT command, ULONG_PTR data)
{
    return ::WinHelpA(owner, helpFile, command, data);
}

BOOL CWinApp::Enable3dControlsStatic()
{
    return TRUE;
}

CWinApp* AfxGetApp()
{
    return currentApp;
}

HINSTANCE AfxGetResourceHandle()
{
    if (currentApp && currentApp->m_hInstance)
        return currentApp->m_hInstance;
    return GetModuleHandleA(nullptr);
}

int AfxMessageBox(const char* text, UINT type, UINT helpId)
{
    if (CWinApp* app = AfxGetApp())
        return app->DoMessageBox(text, type, helpId);
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    std::string caption = FileTitleOf(GetModulePath(nullptr));
    return MessageBoxA(nullptr, text, caption.c_str(), type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId)
{
    if (helpId == UINT(-1))
        helpId = stringId;
    std::string text = LoadResourceString(stringId);
    return AfxMessageBox(text.c_str(), type, helpId);
}

std::string LoadResourceString(UINT id)
{
    // With a zero size the system hands out the resource's own text: no buffer to outgrow, and
    // nothing to allocate when this is the out-of-memory message.
    const wchar_t* wide = nullptr;
    int length = LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&wide), 0);
    if (length <= 0 || !wide)
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string text(size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), size, nullptr, nullptr);
    return text;
}
