// What the converter dialog does when the user acts: browse, the OK rule, convert, close.
#include "app/ConverterDialog.h"

#include "app/VersionText.h"
#include "app/resource.h"
#include "engine/ConversionNotes.h"
#include "engine/FormatVersion.h"
#include "engine/Messages.h"
#include "engine/TabrixDocument.h"
#include "platform/ui/AnsiText.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/DialogServices.h"
#include "platform/ui/ShellFiles.h"

#include <cstdint>
#include <new>
#include <vector>

namespace {
constexpr char fileFilter[] = "Tabrix File (*.tbx)|*.tbx|All Files(*.*)|*.*||";
constexpr char defaultExtension[] = "tbx";
constexpr DWORD sourceDialogFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_NOTESTFILECREATE | OFN_NONETWORKBUTTON;
constexpr DWORD destinationDialogFlags
    = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOTESTFILECREATE | OFN_NONETWORKBUTTON;
static_assert(sourceDialogFlags == 0x31004 && destinationDialogFlags == 0x30806);
static_assert(CB_ERR == -1);

// The longest full path a request may name, in UTF-16 units: the system's limit, which the
// 261-byte buffers (260 bytes and the terminator) meant on code page 932.
constexpr DWORD maxPathUnits = MAX_PATH;
static_assert(maxPathUnits == 260);
// The version texts are a few bytes; the buffer is the one the rule has always used.
constexpr DWORD versionTextBytes = 261;

// A byte buffer for one text of the OK rule.
class TextBuffer {
public:
    explicit TextBuffer(DWORD bytes)
        : bytes(bytes, '\0')
    {
    }
    char* Data() { return bytes.data(); }
    const char* Text() const { return bytes.data(); }
    DWORD Size() const { return static_cast<DWORD>(bytes.size()); }

private:
    std::vector<char> bytes;
};

// Only A..Z fold to a..z: the bytes are not parsed as characters, so a double-byte trail byte
// folds too. UTF-8 continuation bytes are never in A..Z.
unsigned char FoldAsciiLetterToLower(char c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool SameText(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char x = FoldAsciiLetterToLower(*a);
        if (x != FoldAsciiLetterToLower(*b))
            return false;
        if (x == 0)
            return true;
    }
}

// A full path of at most 260 UTF-16 units that fits the buffer with its terminator; relative
// paths against the current directory.
bool ResolveFullPath(const std::string& path, TextBuffer& buffer)
{
    DWORD length = GetFullPathNameA(path.c_str(), buffer.Size(), buffer.Data(), nullptr);
    if (length < 1 || length > buffer.Size() - 1)
        return false;
    return Utf16Length(std::string_view(buffer.Text(), length)) <= maxPathUnits;
}

TextBuffer NewPathBuffer()
{
    return TextBuffer(PathBufferBytes(maxPathUnits + 1));
}

bool SameFile(const std::string& a, const std::string& b)
{
    TextBuffer first = NewPathBuffer();
    TextBuffer second = NewPathBuffer();
    return ResolveFullPath(a, first) && ResolveFullPath(b, second) && SameText(first.Text(), second.Text());
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

bool HasText(HWND dialog, int id, TextBuffer& buffer)
{
    return GetDlgItemTextA(dialog, id, buffer.Data(), static_cast<int>(buffer.Size())) >= 1;
}

// The control's own state: the dialog itself may not show yet.
bool CanTakeFocus(HWND control)
{
    return control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) && IsWindowEnabled(control);
}

// A disabled window cannot keep the keyboard focus. It goes to the version list, which a user
// needs next (the same file to another version), else on as Tab would take it; never to a push
// button, which would become the default and end the dialog at the next Enter. OK stays the
// default button, so Enter does nothing while it is disabled.
void MoveFocusFromOk(const CDialog& dialog, HWND ok)
{
    HWND window = dialog.GetSafeHwnd();
    HWND next = dialog.GetDlgItem(IDC_TARGET_VERSION);
    if (!CanTakeFocus(next))
        next = GetNextDlgTabItem(window, ok, FALSE);
    SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    SendMessageA(window, DM_SETDEFID, IDOK, 0);
}

void EnableOkButton(const CDialog& dialog, bool enable)
{
    HWND ok = dialog.GetDlgItem(IDOK);
    if (!enable && ok && GetFocus() == ok)
        MoveFocusFromOk(dialog, ok);
    EnableWindow(ok, enable ? TRUE : FALSE);
}

// The engine's messages are Shift-JIS; the message box shows the process's code page.
void ReportStatus(ConvStatus status)
{
    std::string message;
    GetStatusMessage(status, message);
    if (!message.empty())
        GetDialogServices().ShowMessageBox(AnsiFromShiftJis(message).c_str(), 0);
}

// Every value of the record that the target cannot keep, in the engine's own Japanese words as
// tbxconv names them, one line each, then the question; "" when the conversion keeps everything.
std::string LossQuestion(const TabrixRecord& record, FormatVersion target)
{
    unsigned notes = ConversionNotesOf(record, target);
    if (notes == 0)
        return {};
    std::string text;
    for (ConversionNote note : conversionNotes)
        if (notes & note)
            text += AnsiFromShiftJis(NoteMessage(note, Language::Japanese)) + "\n";
    return text + LoadResourceString(IDS_CONVERT_ANYWAY);
}

// No is the default: a hasty Enter on the box writes nothing.
bool UserConfirms(const std::string& question)
{
    constexpr UINT questionType = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
    return question.empty() || GetDialogServices().ShowMessageBox(question.c_str(), questionType) == IDYES;
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
    OpenSource(path);
}

void ConverterDialog::OpenSource(const std::string& path)
{
    // Without a version shown the request cannot be valid.
    SetDlgItemText(IDC_SOURCE_VERSION, "");
    EnableOkButton(*this, false);

    ConvStatus status = LoadSource(path);
    if (IsErrorStatus(status)) {
        ReportStatus(status);
        return;
    }
    // Runs the OK rule while the label is still blank, so OK stays disabled.
    fillingSource = true;
    FillPathField(IDC_SOURCE_PATH, path);
    fillingSource = false;
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

bool ConverterDialog::SourceFieldTakesEnter() const
{
    // An empty field names nothing to load. Asked from inside the dialog manager, where nothing
    // may escape: Enter then stays the dialog's.
    try {
        return GetWindowTextLengthA(GetDlgItem(IDC_SOURCE_PATH)) > 0
            && !SourceFieldNamesLoadedDocument(*this, document);
    } catch (...) {
        return false;
    }
}

LRESULT ConverterDialog::OnSourceFieldEnter(WPARAM, LPARAM)
{
    if (!SourceFieldTakesEnter())
        return 0;
    // The full path, as a browse gives it; a text that does not resolve is loaded as typed, and
    // the load says what is wrong with it.
    std::string typed = GetDlgItemText(IDC_SOURCE_PATH);
    TextBuffer fullPath = NewPathBuffer();
    OpenSource(ResolveFullPath(typed, fullPath) ? std::string(fullPath.Text()) : typed);
    return 0;
}

void ConverterDialog::OnBrowseDestination()
{
    std::string path;
    if (GetDialogServices().RunFileDialog(false, defaultExtension, GetDlgItemText(IDC_DEST_PATH),
            destinationDialogFlags, fileFilter, m_hWnd, path)
        == IDOK)
        FillPathField(IDC_DEST_PATH, path);
}

void ConverterDialog::OnDropFiles(HDROP drop)
{
    DroppedFile file = TakeFirstDroppedFile(drop);
    // A modal dialog or message box of ours holds the converter: nothing may change under it.
    if (file.path.empty() || !IsWindowEnabled(m_hWnd))
        return;
    HWND target = ChildWindowFromPointEx(m_hWnd, file.point, CWP_SKIPINVISIBLE);
    if (target && (target == GetDlgItem(IDC_DEST_PATH) || target == GetDlgItem(IDC_DEST_BROWSE))) {
        FillPathField(IDC_DEST_PATH, file.path);
        return;
    }
    OpenSource(file.path);
}

void ConverterDialog::FillPathField(int id, const std::string& path)
{
    SetDlgItemText(id, path.c_str());
    LRESULT end = SendDlgItemMessage(id, WM_GETTEXTLENGTH);
    SendDlgItemMessage(id, EM_SETSEL, WPARAM(end), LPARAM(end));
    SendDlgItemMessage(id, EM_SCROLLCARET);
}

void ConverterDialog::OnSourcePathChanged()
{
    if (!fillingSource)
        ShowSourceVersion();
    OnInputChanged();
}

void ConverterDialog::ShowSourceVersion()
{
    std::string shown;
    if (SourceFieldNamesLoadedDocument(*this, document)) {
        std::uint8_t major = 0;
        std::uint8_t minor = 0;
        document->GetVersion(major, minor);
        shown = FormatVersionText(versionFormat, major, minor);
    }
    if (GetDlgItemText(IDC_SOURCE_VERSION) != shown)
        SetDlgItemText(IDC_SOURCE_VERSION, shown.c_str());
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

    TextBuffer sourceFullPath = NewPathBuffer();
    if (!ResolveFullPath(source, sourceFullPath))
        return FALSE;
    TextBuffer destinationFullPath = NewPathBuffer();
    if (!ResolveFullPath(destination, destinationFullPath))
        return FALSE;
    if (SameText(sourceFullPath.Text(), destinationFullPath.Text()))
        return FALSE;

    // The target chosen, then the source's version shown, and the two different.
    TextBuffer targetVersionText(versionTextBytes);
    if (!HasText(m_hWnd, IDC_TARGET_VERSION, targetVersionText))
        return FALSE;
    TextBuffer sourceVersionText(versionTextBytes);
    if (!HasText(m_hWnd, IDC_SOURCE_VERSION, sourceVersionText))
        return FALSE;
    if (SameText(sourceVersionText.Text(), targetVersionText.Text()))
        return FALSE;

    return SourceFieldNamesLoadedDocument(*this, document) ? TRUE : FALSE;
}

void ConverterDialog::OnOK()
{
    if (!document || !SourceFieldNamesLoadedDocument(*this, document)) {
        EnableOkButton(*this, false);
        return;
    }
    LRESULT index = SendDlgItemMessage(IDC_TARGET_VERSION, CB_GETCURSEL);
    if (index == CB_ERR) {
        EnableOkButton(*this, false);
        return;
    }
    auto target = static_cast<FormatVersion>(SendDlgItemMessage(IDC_TARGET_VERSION, CB_GETITEMDATA, WPARAM(index)));
    std::string destination = GetDlgItemText(IDC_DEST_PATH);
    if (destination.empty()) {
        EnableOkButton(*this, false);
        return;
    }
    if (!UserConfirms(LossQuestion(document->GetRecord(), target))) {
        // Nothing written and nothing changed: OK again is the way to a second thought.
        if (HWND ok = GetDlgItem(IDOK); IsWindowEnabled(ok))
            SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
        return;
    }
    document->SetTargetVersion(VersionMajor(target), VersionMinor(target));
    if (document->SetDestinationPath(destination.c_str()) != 1) {
        ReportStatus(OutOfMemory); // nothing is written
        EnableOkButton(*this, false);
        return;
    }

    EnableOkButton(*this, false);
    ConvStatus status = OutOfMemory;
    {
        WaitCursorScope wait; // off again on every way out of Save, a raised failure too
        status = document->Save();
    }
    // Converted: no message, OK stays disabled until the next change; but a folder of journals
    // that the save could not read, and went on without, is told by its status.
    if (!IsErrorStatus(status)) {
        if (IsErrorStatus(document->GetRecoveryFailure()))
            ReportStatus(document->GetRecoveryFailure());
        return;
    }
    ReportStatus(status);
    EnableOkButton(*this, false);
}

void ConverterDialog::OnCloseButton()
{
    EndDialog(IDC_CLOSE);
}
