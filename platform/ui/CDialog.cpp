#include "platform/ui/CDialog.h"

#include "platform/ui/CWinApp.h"
#include "platform/ui/CenterWindow.h"
#include "platform/ui/FailureReport.h"

#include <vector>

namespace {

bool AnyModifierDown()
{
    return GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
}

bool IsTopLevel(HWND window)
{
    return (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) == 0;
}

// The window that owns a dialog created without a parent: the main window, as long as it is
// open and is not the dialog itself.
HWND DefaultOwner(const CDialog* dialog)
{
    CWinApp* app = AfxGetApp();
    if (!app || !app->m_pMainWnd || app->m_pMainWnd == dialog)
        return nullptr;
    HWND main = app->m_pMainWnd->GetSafeHwnd();
    return IsWindow(main) ? main : nullptr;
}

RECT WindowRect(HWND window)
{
    RECT rect {};
    GetWindowRect(window, &rect);
    return rect;
}

// The framework centres a dialog that its template leaves at (0, 0): one that the
// initialisation neither showed nor moved, unowned or with its owner held (modal).
void CenterUnplacedDialog(HWND window, const RECT& before)
{
    if (IsWindowVisible(window) || !IsTopLevel(window))
        return;
    RECT now = WindowRect(window);
    if (now.left != before.left || now.top != before.top)
        return;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && IsWindowEnabled(owner))
        return;
    CenterWindow(window);
}

} // namespace

BEGIN_MESSAGE_MAP(CDialog, CCmdTarget)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, HWND parent)
    : templateId(templateId)
    , parent(parent)
{
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    HINSTANCE instance = AfxGetResourceHandle();
    if (!FindResourceA(instance, MAKEINTRESOURCEA(templateId), RT_DIALOG))
        return -1;
    HWND owner = parent ? parent : DefaultOwner(this);
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, DialogProcedure,
        reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange()
{
}

void CDialog::EndDialog(int result)
{
    ::EndDialog(m_hWnd, result);
}

HWND CDialog::GetDlgItem(int id) const
{
    return ::GetDlgItem(m_hWnd, id);
}

std::string CDialog::GetDlgItemText(int id) const
{
    HWND item = GetDlgItem(id);
    if (!item)
        return {};
    int length = GetWindowTextLengthA(item);
    if (length <= 0)
        return {};
    std::vector<char> buffer(size_t(length) + 1);
    int copied = GetWindowTextA(item, buffer.data(), int(buffer.size()));
    return std::string(buffer.data(), size_t(copied > 0 ? copied : 0));
}

void CDialog::SetDlgItemText(int id, const char* text)
{
    ::SetDlgItemTextA(m_hWnd, id, text);
}

LRESULT CDialog::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
}

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CDialog::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

HMENU CDialog::GetSystemMenu(BOOL revert) const
{
    return ::GetSystemMenu(m_hWnd, revert);
}

void CDialog::Default()
{
    defaultRequested = true;
}

INT_PTR CALLBACK CDialog::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
    } else {
        dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!dialog)
        return FALSE;
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A handler may run a nested modal loop that handles other messages of this dialog.
    bool outerDefaultRequested = defaultRequested;
    defaultRequested = false;
    INT_PTR handled = FALSE;
    // What a handler lets out ends its action, not the dialog: reported, and the dialog stays.
    try {
        handled = HandleMessageUnguarded(message, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
        handled = TRUE;
    }
    if (defaultRequested)
        handled = FALSE;
    defaultRequested = outerDefaultRequested;
    return handled;
}

INT_PTR CDialog::HandleMessageUnguarded(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        RECT before = WindowRect(m_hWnd);
        BOOL result = OnInitDialog();
        CenterUnplacedDialog(m_hWnd, before);
        return result;
    }
    if (message == WM_HELP)
        return OnHelpRequest();

    LRESULT result = 0;
    if (DispatchMessageEntry(message, wParam, lParam, result))
        return message == WM_QUERYDRAGICON ? INT_PTR(result) : TRUE;

    // A command from a menu or an accelerator that the dialog does not handle goes on to the
    // application, which holds the help command.
    if (message == WM_COMMAND && lParam == 0) {
        if (CWinApp* app = AfxGetApp())
            return app->DispatchMessageEntry(message, wParam, lParam, result);
    }
    return FALSE;
}

INT_PTR CDialog::OnHelpRequest()
{
    // F1 alone asks for help; with Shift, Ctrl or Alt it means something else, or nothing.
    if (!IsTopLevel(m_hWnd) || AnyModifierDown())
        return TRUE;
    CWinApp* app = AfxGetApp();
    HWND target
        = app && app->m_pMainWnd && IsWindow(app->m_pMainWnd->GetSafeHwnd()) ? app->m_pMainWnd->GetSafeHwnd() : m_hWnd;
    ::SendMessageA(target, WM_COMMAND, ID_HELP, 0);
    return TRUE;
}
