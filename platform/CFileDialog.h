#pragma once

#include <windows.h>

#include <string>

// The system's open or save dialog for one browse: flags, filter and default extension as given,
// a 260-byte file-name buffer, the framework's own hook, explorer style from Windows 4.0.
class CFileDialog {
public:
    static constexpr DWORD fileBufferSize = 260;

    // filter: entries "text|pattern|" ending in "|"; null for none.
    CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
        const char* filter, HWND parent);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user confirmed a file, else IDCANCEL.
    INT_PTR DoModal();
    // The full path the user chose.
    std::string GetPathName() const;

    OPENFILENAMEA m_ofn {};

private:
    BOOL openFileDialog;
    std::string defaultExtension;
    std::string filterList;
    char fileBuffer[fileBufferSize] {};
};

// The filter in the form the system takes: each "|" becomes NUL, but never the second byte of a
// double-byte character of the current code page.
std::string MakeFilterList(const char* filter);
