#include "support/TestApp.h"

namespace {
// Made before main, as the program's own application object is: dialogs find it from the start.
TestApp testApp;
}

TestApp& GetTestApp()
{
    return testApp;
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
