#include "platform/ui/CFileDialog.h"

#include "platform/ui/AnsiText.h"

#include <cstring>

namespace {
// The framework's hook: everything is left to the system's default processing.
UINT_PTR CALLBACK FileDialogHook(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}
}

std::string MakeFilterList(const char* filter)
{
    std::string list = filter ? filter : "";
    for (std::size_t i = 0; i < list.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(list[i]);
        if (IsDBCSLeadByte(c)) {
            // Skip the trail byte, unless the text ends after a lone lead byte.
            if (i + 1 < list.size())
                ++i;
            continue;
        }
        if (c == '|')
            list[i] = '\0';
    }
    return list;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
    const char* filter, HWND parent)
    : openFileDialog(openFileDialog)
    , defaultExtension(defaultExtension ? defaultExtension : "")
    , filterList(MakeFilterList(filter))
    , fileBuffer(PathBufferBytes(fileBufferUnits), '\0')
{
    if (fileName) {
        std::string initial = CutAtCharacter(fileName, fileBuffer.size() - 1);
        std::memcpy(fileBuffer.data(), initial.data(), initial.size());
    }

    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = parent;
    m_ofn.lpstrFilter = filter ? filterList.c_str() : nullptr;
    m_ofn.nFilterIndex = 0;
    m_ofn.lpstrFile = fileBuffer.data();
    m_ofn.nMaxFile = static_cast<DWORD>(fileBuffer.size());
    m_ofn.lpstrDefExt = defaultExtension ? this->defaultExtension.c_str() : nullptr;
    // Every Windows that runs the program is 4.0 or later: the explorer style always.
    m_ofn.Flags = flags | OFN_ENABLEHOOK | OFN_EXPLORER;
    m_ofn.lpfnHook = FileDialogHook;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL confirmed = openFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    return confirmed ? IDOK : IDCANCEL;
}

std::string CFileDialog::GetPathName() const
{
    return std::string(fileBuffer.data(), strnlen(fileBuffer.data(), fileBuffer.size()));
}
