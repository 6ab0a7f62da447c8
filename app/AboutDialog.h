#pragma once

#include "platform/ui/CDialog.h"

// The version information box, opened from the system menu.
class AboutDialog : public CDialog {
public:
    AboutDialog();
    ~AboutDialog() override;

protected:
    void DoDataExchange() override;

    DECLARE_MESSAGE_MAP()
};
