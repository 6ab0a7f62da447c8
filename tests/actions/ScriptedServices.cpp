#include "actions/ScriptedServices.h"

#include <gtest/gtest.h>

ScriptedServices::ScriptedServices()
{
    system = &GetDialogServices();
    previous = SetDialogServices(this);
}

ScriptedServices::~ScriptedServices()
{
    SetDialogServices(previous);
    EXPECT_TRUE(answers.empty()) << answers.size() << " file dialog answers were not asked for";
    EXPECT_TRUE(buttons.empty()) << buttons.size() << " answers to questions were not asked for";
}

INT_PTR ScriptedServices::RunFileDialog(bool open, const char* defaultExtension, const std::string& initialName,
    DWORD flags, const char* filter, HWND owner, std::string& path)
{
    // The filter as the system would get it, up to its double NUL.
    std::string filterList = filter ? filter : "";
    fileDialogs.push_back({ open, defaultExtension ? defaultExtension : "", initialName, flags, filterList, owner });
    if (answers.empty()) {
        ADD_FAILURE() << "a file dialog that the script did not expect";
        return IDCANCEL;
    }
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    if (!answer)
        return IDCANCEL;
    path = *answer;
    return IDOK;
}

int ScriptedServices::ShowMessageBox(const char* text, UINT type)
{
    messageBoxes.push_back({ text, type, waitCursorLevel });
    if (realMessageBoxes)
        return system->ShowMessageBox(text, type);
    if ((type & MB_TYPEMASK) == MB_OK || buttons.empty())
        return IDOK;
    int button = buttons.front();
    buttons.pop_front();
    return button;
}

void ScriptedServices::DoWaitCursor(int change)
{
    waitCursorChanges.push_back(change);
    waitCursorLevel += change;
}
