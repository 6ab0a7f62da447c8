#include "app/ConverterDialog.h"

#include "app/AboutDialog.h"
#include "app/VersionText.h"
#include "app/resource.h"
#include "engine/FormatVersion.h"
#include "engine/TabrixDocument.h"
#include "platform/ui/CWinApp.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {
// The low four bits of a system command's id are the system's own.
constexpr UINT systemCommandMask = 0xFFF0;
static_assert(IDM_ABOUTBOX == 16 && (IDM_ABOUTBOX & systemCommandMask) == IDM_ABOUTBOX);
static_assert(ICON_BIG == 1 && ICON_SMALL == 0);
// Posted by OnInitDialog: the file of the command line loads once the dialog shows, so that its
// message box, if any, has the dialog to stand on.
constexpr UINT openAtStartMessage = WM_APP;
// Sent by the source field for an Enter that it takes, so that the load runs as a handler of the
// dialog, where a failure that escapes is reported.
constexpr UINT sourceEnterMessage = WM_APP + 1;
constexpr UINT_PTR sourceFieldSubclass = 1;

bool IsEnterKeyDown(LPARAM lParam)
{
    const MSG* key = reinterpret_cast<const MSG*>(lParam);
    return key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN;
}
}

BEGIN_MESSAGE_MAP(ConverterDialog, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_DROPFILES()
ON_MESSAGE(openAtStartMessage, OnOpenAtStart)
ON_MESSAGE(sourceEnterMessage, OnSourceFieldEnter)
ON_BN_CLICKED(IDC_DEST_BROWSE, OnBrowseDestination)
ON_BN_CLICKED(IDC_SOURCE_BROWSE, OnBrowseSource)
ON_BN_CLICKED(IDC_CLOSE, OnCloseButton)
ON_EN_CHANGE(IDC_DEST_PATH, OnInputChanged)
ON_EN_CHANGE(IDC_SOURCE_PATH, OnSourcePathChanged)
ON_CBN_SELCHANGE(IDC_TARGET_VERSION, OnInputChanged)
END_MESSAGE_MAP()

ConverterDialog::ConverterDialog(HWND parent)
    : CDialog(IDD_CONVERTER, parent)
    , icon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

ConverterDialog::~ConverterDialog()
{
    delete document;
}

void ConverterDialog::DoDataExchange()
{
}

BOOL ConverterDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    AppendAboutItem();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    // The label's initial text is the template of every version text, not something to show.
    versionFormat = GetDlgItemText(IDC_SOURCE_VERSION);
    SetDlgItemText(IDC_SOURCE_VERSION, "");
    FillVersionList();

    EnableWindow(GetDlgItem(IDOK), FALSE);
    SetWindowSubclass(GetDlgItem(IDC_SOURCE_PATH), SourceFieldProcedure, sourceFieldSubclass,
        reinterpret_cast<DWORD_PTR>(this));
    DragAcceptFiles(m_hWnd, TRUE);
    if (!fileToOpen.empty())
        PostMessageA(m_hWnd, openAtStartMessage, 0, 0);
    return TRUE;
}

LRESULT ConverterDialog::OnOpenAtStart(WPARAM, LPARAM)
{
    std::string path = std::move(fileToOpen);
    fileToOpen.clear();
    if (!path.empty())
        OpenSource(path);
    return 0;
}

LRESULT CALLBACK ConverterDialog::SourceFieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
    DWORD_PTR data)
{
    const auto* dialog = reinterpret_cast<const ConverterDialog*>(data);
    switch (message) {
    case WM_GETDLGCODE:
        if (IsEnterKeyDown(lParam) && dialog->SourceFieldTakesEnter())
            return DefSubclassProc(field, message, wParam, lParam) | DLGC_WANTMESSAGE;
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            ::SendMessageA(GetParent(field), sourceEnterMessage, 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r')
            return 0; // the Enter just taken: a single-line field has no line to break
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(field, SourceFieldProcedure, sourceFieldSubclass);
        break;
    }
    return DefSubclassProc(field, message, wParam, lParam);
}

void ConverterDialog::AppendAboutItem()
{
    HMENU menu = GetSystemMenu(FALSE);
    if (!menu)
        return;
    std::string text = LoadResourceString(IDS_ABOUTBOX);
    if (text.empty())
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());
}

void ConverterDialog::FillVersionList()
{
    for (FormatVersion version : knownVersions) {
        std::string text = FormatVersionText(versionFormat, VersionMajor(version), VersionMinor(version));
        LRESULT index = SendDlgItemMessage(IDC_TARGET_VERSION, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        // CB_ERR or CB_ERRSPACE: no entry to give data to (index -1 would mean every entry).
        if (index < 0)
            continue;
        SendDlgItemMessage(IDC_TARGET_VERSION, CB_SETITEMDATA, WPARAM(index), LPARAM(version));
    }
}

void ConverterDialog::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & systemCommandMask) == IDM_ABOUTBOX) {
        AboutDialog about;
        about.DoModal();
        return;
    }
    Default();
}

void ConverterDialog::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cx = GetSystemMetrics(SM_CXICON);
    int cy = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(m_hWnd, &client);
    int x = (client.right - client.left - cx + 1) / 2;
    int y = (client.bottom - client.top - cy + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(m_hWnd, &paint);
}

HCURSOR ConverterDialog::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(icon);
}
