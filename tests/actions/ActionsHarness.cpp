#include "actions/ActionsHarness.h"

#include "app/resource.h"

#include <fstream>
#include <iterator>

int TestApp::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    shown.push_back({ owner, text, caption, type });
    return showReal ? CWinApp::ShowMessageBox(owner, text, caption, type) : IDOK;
}

TestApp& TheTestApp()
{
    static TestApp app;
    return app;
}

INT_PTR ActionsDialog::Run(std::function<void(ActionsDialog&)> testBody)
{
    body = std::move(testBody);
    TestApp& app = TheTestApp();
    app.m_pMainWnd = this;
    app.shown.clear();
    INT_PTR result = DoModal();
    app.m_pMainWnd = nullptr;
    return result;
}

BOOL ActionsDialog::OnInitDialog()
{
    BOOL result = ConverterDialog::OnInitDialog();
    if (body)
        body(*this);
    // Ends the run unless the body ended it already: a dialog that was ended never sees this.
    PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return result;
}

bool ActionsDialog::Click(int id)
{
    HWND button = Item(id);
    if (!button || !IsWindowEnabled(button))
        return false;
    SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

void ActionsDialog::Choose(const std::string& version)
{
    HWND list = Item(IDC_TARGET_VERSION);
    if (version.empty())
        ::SendMessageA(list, CB_SETCURSEL, WPARAM(-1), 0);
    else
        ::SendMessageA(list, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(version.c_str()));
    SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TARGET_VERSION, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void ActionsDialog::SendOk()
{
    SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDOK)));
}

namespace {
void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}
}

TestFolder::TestFolder()
{
    // Wine hands out the same process ids run after run: only a folder made here is fresh.
    static unsigned count = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    do {
        path = std::string(temp) + "kovrel-actions-" + std::to_string(GetCurrentProcessId()) + "-"
            + std::to_string(GetTickCount()) + "-" + std::to_string(++count);
    } while (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

TestFolder::~TestFolder()
{
    RemoveTree(path);
}

std::string TestFolder::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
{
    std::string file = File(name);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file;
}

std::string TestFolder::MakeFolder(const std::string& name) const
{
    std::string folder = File(name);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
