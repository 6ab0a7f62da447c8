#include "support/TestApp.h"

TestApp& GetTestApp()
{
    static TestApp app;
    return app;
}

int TestApp::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    messageBoxes.push_back({ owner, text, caption, type });
    if (showRealMessageBoxes)
        return ConverterApp::ShowMessageBox(owner, text, caption, type);
    return IDOK;
}

BOOL TestApp::CallWinHelp(HWND owner, const char* helpFile, UINT command, ULONG_PTR)
{
    helpCalls.push_back({ owner, helpFile, command });
    return helpResult;
}
