#pragma once

#include "platform/ui/CCmdTarget.h"

#include <string>

// A modal dialog built on a dialog template of the program's resources.
class CDialog : public CCmdTarget {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    ~CDialog() override;

    // The code the dialog was ended with, or -1 when it cannot be created (no template).
    // Without a parent, the dialog is owned by the main window (disabled while it runs).
    virtual INT_PTR DoModal();

    virtual BOOL OnInitDialog();
    virtual void OnOK();     // ends the dialog with IDOK
    virtual void OnCancel(); // ends the dialog with IDCANCEL
    virtual void DoDataExchange();

    void EndDialog(int result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const;
    // The item's text, or "" when it has none.
    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const char* text);
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL IsIconic() const;
    HMENU GetSystemMenu(BOOL revert) const;

protected:
    // Inside a handler: leaves the message to the system's default processing as well.
    void Default();

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessageUnguarded(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_HELP at a top-level dialog: the help command to the main window.
    INT_PTR OnHelpRequest();

    UINT templateId;
    HWND parent;
    bool defaultRequested = false;

    DECLARE_MESSAGE_MAP()
};
