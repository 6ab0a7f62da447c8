#include "platform/ui/CWinApp.h"

// The program's entry: the application object already exists (static initialisation) and its
// InitInstance runs the whole program; the exit code carries no meaning.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    app->InitInstance();
    return 0;
}
