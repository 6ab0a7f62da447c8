#pragma once

#include "engine/ConvStatus.h"
#include "platform/CDialog.h"

#include <string>

class TabrixDocument;

// The converter: source, destination and target version, and OK to convert.
class ConverterDialog : public CDialog {
public:
    explicit ConverterDialog(HWND parent = nullptr);
    ~ConverterDialog() override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    void OnBrowseSource();
    ConvStatus LoadSource(const std::string& path);
    void OnBrowseDestination();
    void OnInputChanged();
    BOOL CanConvert();
    void OnCloseButton();

    std::string versionFormat;
    TabrixDocument* document = nullptr;
    HICON icon = nullptr;

    DECLARE_MESSAGE_MAP()
};
