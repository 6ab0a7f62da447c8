#include "app/ConverterApp.h"

#include "app/ConverterDialog.h"

BEGIN_MESSAGE_MAP(ConverterApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

ConverterApp::ConverterApp() = default;

ConverterApp::~ConverterApp() = default;

BOOL ConverterApp::InitInstance()
{
    Enable3dControlsStatic();
    ConverterDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    // The dialog object ends with this function; nothing may keep pointing at it.
    m_pMainWnd = nullptr;
    return FALSE;
}
