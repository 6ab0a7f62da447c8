#pragma once

#include "app/ConverterDialog.h"
#include "engine/TabrixDocument.h"
#include "support/ScratchFolder.h"
#include "support/TestApp.h"

#include <functional>
#include <string>
#include <vector>

// The converter dialog, run modally; the test body runs inside it once its controls exist and
// acts on it as the user would, through the controls and the messages they send.
class ActionsDialog : public ConverterDialog {
public:
    // Runs body inside the modal run, then ends the dialog; returns the run's result.
    INT_PTR Run(std::function<void(ActionsDialog&)> body);

    HWND Item(int id) const { return GetDlgItem(id); }
    std::string Text(int id) const { return GetDlgItemText(id); }
    bool OkEnabled() const { return IsWindowEnabled(Item(IDOK)) != FALSE; }
    // Typing into a path field: its text changes, and the field tells the dialog.
    void Type(int id, const std::string& text) { SetDlgItemText(id, text.c_str()); }
    // A click on an enabled button; false when the button is disabled and nothing happens.
    bool Click(int id);
    // Choosing an entry of the version list, as the list reports it; "" chooses none.
    void Choose(const std::string& version);
    // The command that OK and the Enter key send, whether or not the button is enabled.
    void SendOk();

    TabrixDocument* Document() const { return document; }
    BOOL CanConvert() { return ConverterDialog::CanConvert(); }

protected:
    BOOL OnInitDialog() override;

private:
    std::function<void(ActionsDialog&)> body;
};
