#pragma once

#include "platform/ui/CWinApp.h"

// The converter program: runs the converter dialog and ends when it is closed.
class ConverterApp : public CWinApp {
public:
    ConverterApp();
    ~ConverterApp() override;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
