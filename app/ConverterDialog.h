#pragma once

#include "engine/ConvStatus.h"
#include "platform/ui/CDialog.h"

#include <string>

class TabrixDocument;

// The converter: source, destination and target version, and OK to convert.
class ConverterDialog : public CDialog {
public:
    explicit ConverterDialog(HWND parent = nullptr);
    ~ConverterDialog() override;

    // A file to load as the source once the dialog shows, as a confirmed browse would: the one
    // the command line names. "" starts with nothing loaded.
    void OpenAtStart(const std::string& path) { fileToOpen = path; }

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDropFiles(HDROP drop);
    LRESULT OnOpenAtStart(WPARAM, LPARAM);

    void OnBrowseSource();
    // What a confirmed source browse does with its path; a drop and the command line do the same.
    void OpenSource(const std::string& path);
    ConvStatus LoadSource(const std::string& path);
    void OnBrowseDestination();
    void OnSourcePathChanged();
    // Enter in the source field: loads what it names as a confirmed browse does, unless that is
    // the loaded file, where Enter is the dialog's as before.
    bool SourceFieldTakesEnter() const;
    LRESULT OnSourceFieldEnter(WPARAM, LPARAM);
    void OnInputChanged();
    BOOL CanConvert();
    void OnCloseButton();

    // The system menu's separator and about item (string 101), when both exist.
    void AppendAboutItem();
    // The three target versions 1.0, 1.1 and 1.2 with their FormatVersion as item data.
    void FillVersionList();
    // The loaded file's version while the source field names it, else blank.
    void ShowSourceVersion();
    // A path the program puts in a field, scrolled so that its file name shows.
    void FillPathField(int id, const std::string& path);
    // The source field's own handling of Enter; the dialog manager gives it the key only when
    // the field asks for it.
    static LRESULT CALLBACK SourceFieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
        DWORD_PTR dialog);

    std::string versionFormat;
    TabrixDocument* document = nullptr;
    HICON icon = nullptr;
    std::string fileToOpen;
    // While a load fills the source field, the label stays blank until the load is shown.
    bool fillingSource = false;

    DECLARE_MESSAGE_MAP()
};
