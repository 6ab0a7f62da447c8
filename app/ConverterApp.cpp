#include "app/ConverterApp.h"

#include "app/ConverterDialog.h"
#include "platform/ui/ShellFiles.h"

BEGIN_MESSAGE_MAP(ConverterApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

ConverterApp::ConverterApp() = default;

ConverterApp::~ConverterApp() = default;

BOOL ConverterApp::InitInstance()
{
    Enable3dControlsStatic();
    ConverterDialog dialog;
    // "Open with" and a drop on the program's icon name the file on the command line.
    dialog.OpenAtStart(FirstCommandLineFile());
    m_pMainWnd = &dialog;
    dialog.DoModal();
    // The dialog object ends with this function; nothing may keep pointing at it.
    m_pMainWnd = nullptr;
    return FALSE;
}
