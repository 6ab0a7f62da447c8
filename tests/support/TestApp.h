#pragma once

#include "app/ConverterApp.h"

#include <windows.h>

#include <string>
#include <vector>

// The tests' application object: the converter's own (message map included), with the system's
// message box and help call recorded instead of shown unless a test asks for the real ones.
class TestApp : public ConverterApp {
public:
    struct MessageBoxCall {
        HWND owner;
        std::string text;
        std::string caption;
        UINT type;
    };
    struct HelpCall {
        HWND owner;
        std::string helpFile;
        UINT command;
    };

    std::vector<MessageBoxCall> messageBoxes;
    std::vector<HelpCall> helpCalls;
    bool showRealMessageBoxes = false;
    BOOL helpResult = FALSE;

    void Forget()
    {
        messageBoxes.clear();
        helpCalls.clear();
    }

protected:
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    BOOL CallWinHelp(HWND owner, const char* helpFile, UINT command, ULONG_PTR data) override;
};

TestApp& GetTestApp();
