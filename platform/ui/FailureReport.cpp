#include "platform/ui/FailureReport.h"

#include "platform/ui/CWinApp.h"

#include <new>

namespace {

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value)
{
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

} // namespace

std::string FileFailureText(const CFileException& failure)
{
    int cause = static_cast<int>(failure.cause);
    // A cause from outside the table still gets a text: the one for an unexpected error.
    if (cause < static_cast<int>(FileErrorCause::None) || cause > static_cast<int>(FileErrorCause::EndOfFile))
        cause = static_cast<int>(FileErrorCause::Generic);
    std::string text = LoadResourceString(AFX_IDP_FILE_NONE + UINT(cause));
    std::string path = failure.fileName.empty() ? LoadResourceString(AFX_IDS_UNTITLED) : failure.fileName;
    ReplaceAll(text, "%1", path);
    return text;
}

void ReportCurrentException()
{
    try {
        try {
            throw;
        } catch (const CMemoryException&) {
            AfxMessageBox(AFX_IDP_FAILED_MEMORY_ALLOC, MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        } catch (const std::bad_alloc&) {
            AfxMessageBox(AFX_IDP_FAILED_MEMORY_ALLOC, MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        } catch (const CFileException& failure) {
            AfxMessageBox(FileFailureText(failure).c_str(), MB_ICONSTOP);
        } catch (...) {
            AfxMessageBox(AFX_IDP_INTERNAL_FAILURE, MB_ICONSTOP);
        }
    } catch (...) {
        // Reporting ran out of memory itself; nothing may leave a window procedure.
    }
}
