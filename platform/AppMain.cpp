#include "platform/CWinApp.h"

// The program's entry: the application object already exists (static initialisation); its
// InitInstance runs the program, and only a TRUE result enters a message loop.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    if (!app->InitInstance())
        return 0;
    return app->Run();
}
