#include "actions/ActionsHarness.h"

#include "app/resource.h"

INT_PTR ActionsDialog::Run(std::function<void(ActionsDialog&)> testBody)
{
    body = std::move(testBody);
    TestApp& app = GetTestApp();
    app.m_pMainWnd = this;
    app.Forget();
    INT_PTR result = DoModal();
    app.m_pMainWnd = nullptr;
    return result;
}

BOOL ActionsDialog::OnInitDialog()
{
    BOOL result = ConverterDialog::OnInitDialog();
    if (body)
        body(*this);
    // Ends the run unless the body ended it already: a dialog that was ended never sees this.
    PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return result;
}

bool ActionsDialog::Click(int id)
{
    HWND button = Item(id);
    if (!button || !IsWindowEnabled(button))
        return false;
    SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

void ActionsDialog::Choose(const std::string& version)
{
    HWND list = Item(IDC_TARGET_VERSION);
    if (version.empty())
        ::SendMessageA(list, CB_SETCURSEL, WPARAM(-1), 0);
    else
        ::SendMessageA(list, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(version.c_str()));
    SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TARGET_VERSION, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void ActionsDialog::SendOk()
{
    SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDOK)));
}

void ActionsDialog::PressEnter(int id)
{
    ::SetFocus(Item(id));
    MSG key { Item(id), WM_KEYDOWN, VK_RETURN, 0x001C0001, 0, {} };
    IsDialogMessageA(m_hWnd, &key);
}
