#pragma once

#include "platform/ui/DialogServices.h"

#include <deque>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

// Stands in for the file dialogs, the message box and the wait cursor: answers from a script,
// and records what the dialog asked for.
class ScriptedServices : public DialogServices {
public:
    struct FileDialogCall {
        bool open;
        std::string defaultExtension;
        std::string initialName;
        DWORD flags;
        std::string filter;
        HWND owner;
        bool operator==(const FileDialogCall&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const FileDialogCall& call)
        {
            return out << (call.open ? "open" : "save") << " " << call.defaultExtension << " \"" << call.initialName
                       << "\" flags " << std::hex << call.flags << " filter " << call.filter << " owner " << call.owner;
        }
    };
    struct MessageBoxCall {
        std::string text;
        UINT type;
        int waitCursorLevel; // the wait cursor's count while the box showed
    };

    ScriptedServices();
    ~ScriptedServices() override;

    // The next file dialog confirms this path.
    void Confirm(const std::string& path) { answers.push_back(path); }
    // The next file dialog is cancelled.
    void Cancel() { answers.push_back(std::nullopt); }
    // The next question (a box with more than OK) is answered with this button; unanswered, IDOK.
    void Answer(int button) { buttons.push_back(button); }

    INT_PTR RunFileDialog(bool open, const char* defaultExtension, const std::string& initialName, DWORD flags,
        const char* filter, HWND owner, std::string& path) override;
    int ShowMessageBox(const char* text, UINT type) override;
    void DoWaitCursor(int change) override;

    std::vector<FileDialogCall> fileDialogs;
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<int> waitCursorChanges;
    int waitCursorLevel = 0;
    // Message boxes go on to the system's own, after they are recorded.
    bool realMessageBoxes = false;

private:
    std::deque<std::optional<std::string>> answers;
    std::deque<int> buttons;
    DialogServices* previous = nullptr;
    DialogServices* system = nullptr;
};
