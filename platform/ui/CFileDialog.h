#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The system's open or save dialog for one browse: flags, filter and default extension as given,
// a file-name buffer for every path of up to 260 UTF-16 units (260 bytes on code page 932),
// the framework's own hook, explorer style.
class CFileDialog {
public:
    // The file-name buffer in bytes of a code page of single and double bytes.
    static constexpr DWORD fileBufferUnits = MAX_PATH;

    // filter: entries "text|pattern|" ending in "|"; null for none. fileName is cut at a
    // character boundary to what the buffer holds with its terminator.
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
    std::vector<char> fileBuffer;
};

// The filter in the form the system takes: each "|" becomes NUL, but never the second byte of a
// double-byte character of the current code page.
std::string MakeFilterList(const char* filter);
