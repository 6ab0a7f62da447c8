#pragma once

#include "actions/ScriptedServices.h"
#include "app/ConverterDialog.h"
#include "app/resource.h"
#include "engine/ConvStatus.h"
#include "support/SampleFile.h"
#include "engine/TabrixDocument.h"
#include "support/ScratchFolder.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// The engine's message for status, as the dialog shows it.
inline std::string StatusText(int status)
{
    std::string text;
    GetStatusMessage(status, text);
    return text;
}

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
    // Enter on a control with the focus, handed to the dialog manager as the modal loop does.
    void PressEnter(int id);

    TabrixDocument* Document() const { return document; }
    BOOL CanConvert() { return ConverterDialog::CanConvert(); }

protected:
    BOOL OnInitDialog() override;

private:
    std::function<void(ActionsDialog&)> body;
};

// Owns the dialog, its scripted services and a folder of sample files: v12 (1.2, W4 4: nothing is
// lost to 1.1), v10 (the old layout, W4 5) and broken (v12 cut short); destination does not
// exist yet.
class Actions : public ::testing::Test {
protected:
    // Browses for path and confirms it in the (scripted) open dialog.
    void Browse(ActionsDialog& d, const std::string& path)
    {
        services.Confirm(path);
        ASSERT_TRUE(d.Click(IDC_SOURCE_BROWSE));
    }
    // v12 loaded, a new destination typed, 1.1 chosen: a valid request.
    void MakeValid(ActionsDialog& d)
    {
        Browse(d, v12);
        d.Type(IDC_DEST_PATH, destination);
        d.Choose("1.1");
        ASSERT_TRUE(d.OkEnabled());
    }

    ScratchFolder folder;
    ScriptedServices services;
    const Bytes file12 = NewLayout(Sample(4), version12);
    // What converting v12 to 1.1 writes: the same fields under the target version.
    const Bytes converted11 = NewLayout(Sample(4), version11);
    const std::string v12 = folder.Write("v12.tbx", file12);
    const std::string v10 = folder.Write("v10.tbx", OldLayout(Sample(5, 0x00051234)));
    const std::string broken = folder.Write("broken.tbx", Bytes(file12.begin(), file12.begin() + 200));
    const std::string destination = folder.File("out.tbx");
    ActionsDialog dialog;
};
