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

    // The system menu's separator and about item (string 101), when both exist.
    void AppendAboutItem();
    // The three target versions 1.0, 1.1 and 1.2 with their FormatVersion as item data.
    void FillVersionList();

    std::string versionFormat;
    TabrixDocument* document = nullptr;
    HICON icon = nullptr;

    DECLARE_MESSAGE_MAP()
};
