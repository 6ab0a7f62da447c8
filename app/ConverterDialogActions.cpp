// What the converter dialog does when the user acts: browse, the OK rule, convert, close.
#include "app/ConverterDialog.h"

#include "app/VersionText.h"
#include "app/resource.h"
#include "engine/TabrixDocument.h"
#include "platform/DialogServices.h"

#include <cstdint>
#include <new>

namespace {
constexpr char fileFilter[] = "Tabrix File (*.tbx)|*.tbx|All Files(*.*)|*.*||";
constexpr char defaultExtension[] = "tbx";
constexpr DWORD sourceDialogFlags = 0x31004;      // hide read-only, file must exist, no test file, no network button
constexpr DWORD destinationDialogFlags = 0x30806; // overwrite prompt, hide read-only, path must exist, as above
constexpr DWORD pathBufferSize = 261;

using PathBuffer = char[pathBufferSize];

// Only A..Z fold: the bytes are not parsed as characters, so a double-byte trail byte folds too.
unsigned char FoldAsciiUpper(char c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool SameText(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char x = FoldAsciiUpper(*a);
        if (x != FoldAsciiUpper(*b))
            return false;
        if (x == 0)
            return true;
    }
}

// A full path that fits the buffer with its terminator; relative paths against the current directory.
bool ResolveFullPath(const std::string& path, PathBuffer& buffer)
{
    DWORD length = GetFullPathNameA(path.c_str(), pathBufferSize, buffer, nullptr);
    return length >= 1 && length <= pathBufferSize - 1;
}

bool SameFile(const std::string& a, const std::string& b)
{
    PathBuffer first {};
    PathBuffer second {};
    return ResolveFullPath(a, first) && ResolveFullPath(b, second) && SameText(first, second);
}

// OK may only ever convert the file the user sees: the source field must name the loaded document.
bool SourceFieldNamesLoadedDocument(const CDialog& dialog, const TabrixDocument* document)
{
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    if (!document || document->GetVersion(major, minor) != 1)
        return false;
    return SameFile(dialog.GetDlgItemText(IDC_SOURCE_PATH), document->GetSourcePath());
}

bool HasText(HWND dialog, int id, PathBuffer& buffer)
{
    return GetDlgItemTextA(dialog, id, buffer, pathBufferSize) >= 1;
}

void EnableOkButton(const CDialog& dialog, bool enable)
{
    EnableWindow(dialog.GetDlgItem(IDOK), enable ? TRUE : FALSE);
}

void ReportStatus(ConvStatus status)
{
    std::string message;
    GetStatusMessage(status, message);
    if (!message.empty())
        GetDialogServices().ShowMessageBox(message.c_str(), 0);
}

TabrixDocument* NewDocument(const std::string& path)
{
    try {
        return new (std::nothrow) TabrixDocument(path.c_str());
    } catch (const std::bad_alloc&) {
        return nullptr; // the object's memory was obtained, its copy of the path was not
    }
}
}

void ConverterDialog::OnBrowseSource()
{
    std::string path;
    if (GetDialogServices().RunFileDialog(true, defaultExtension, GetDlgItemText(IDC_SOURCE_PATH), sourceDialogFlags,
            fileFilter, m_hWnd, path)
        != IDOK)
        return;

    // Without a version shown the request cannot be valid.
    SetDlgItemText(IDC_SOURCE_VERSION, "");
    EnableOkButton(*this, false);

    ConvStatus status = LoadSource(path);
    if (IsErrorStatus(status)) {
        ReportStatus(status);
        return;
    }
    // Runs the OK rule while the label is still blank, so OK stays disabled.
    SetDlgItemText(IDC_SOURCE_PATH, path.c_str());
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    document->GetVersion(major, minor);
    SetDlgItemText(IDC_SOURCE_VERSION, FormatVersionText(versionFormat, major, minor).c_str());
}

ConvStatus ConverterDialog::LoadSource(const std::string& path)
{
    if (document) {
        // Reset first: a failed parse leaves loaded at 0 with lists partly filled.
        document->Reset();
        if (document->SetSourcePath(path.c_str()) != 1)
            return OutOfMemory;
    } else {
        document = NewDocument(path);
        if (!document)
            return OutOfMemory;
    }
    return document->Load();
}

void ConverterDialog::OnBrowseDestination()
{
    std::string path;
    if (GetDialogServices().RunFileDialog(false, defaultExtension, GetDlgItemText(IDC_DEST_PATH),
            destinationDialogFlags, fileFilter, m_hWnd, path)
        == IDOK)
        SetDlgItemText(IDC_DEST_PATH, path.c_str());
}

void ConverterDialog::OnInputChanged()
{
    bool wasEnabled = IsWindowEnabled(GetDlgItem(IDOK)) != FALSE;
    bool valid = CanConvert() != FALSE;
    if (wasEnabled != valid)
        EnableOkButton(*this, valid);
}

BOOL ConverterDialog::CanConvert()
{
    std::string source = GetDlgItemText(IDC_SOURCE_PATH);
    if (source.empty())
        return FALSE;
    std::string destination = GetDlgItemText(IDC_DEST_PATH);
    if (destination.empty())
        return FALSE;

    PathBuffer first {};
    PathBuffer second {};
    if (!ResolveFullPath(source, first) || !ResolveFullPath(destination, second))
        return FALSE;
    if (SameText(first, second))
        return FALSE;

    // The target chosen, then the source's version shown, and the two different.
    first[0] = '\0';
    second[0] = '\0';
    if (!HasText(m_hWnd, IDC_TARGET_VERSION, second) || !HasText(m_hWnd, IDC_SOURCE_VERSION, first))
        return FALSE;
    if (SameText(first, second))
        return FALSE;

    return SourceFieldNamesLoadedDocument(*this, document) ? TRUE : FALSE;
}

void ConverterDialog::OnOK()
{
    LRESULT index = CB_ERR;
    if (document && SourceFieldNamesLoadedDocument(*this, document))
        index = SendDlgItemMessage(IDC_TARGET_VERSION, CB_GETCURSEL);
    std::string destination;
    if (index != CB_ERR) {
        auto data = static_cast<std::uintptr_t>(SendDlgItemMessage(IDC_TARGET_VERSION, CB_GETITEMDATA, WPARAM(index)));
        destination = GetDlgItemText(IDC_DEST_PATH);
        if (!destination.empty()) {
            document->SetTargetVersion(static_cast<std::uint8_t>((data >> 8) & 0xFF), static_cast<std::uint8_t>(data & 0xFF));
            ConvStatus status = OutOfMemory;
            if (document->SetDestinationPath(destination.c_str()) == 1) {
                EnableOkButton(*this, false);
                WaitCursorScope wait; // off again on every way out of Save, a raised failure too
                status = document->Save();
            }
            if (!IsErrorStatus(status))
                return; // converted: no message, OK stays disabled until the next change
            ReportStatus(status);
        }
    }
    EnableOkButton(*this, false);
}

void ConverterDialog::OnCloseButton()
{
    EndDialog(IDC_CLOSE);
}
