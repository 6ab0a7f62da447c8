#pragma once

#include "platform/file/CFileException.h"

#include <string>

// The framework's text for a file failure: string 61856 + cause with %1 the file's path
// (string 61446 when the path is empty).
std::string FileFailureText(const CFileException& failure);

// Inside a catch block: shows the exception being handled in the framework's message box.
// Out of memory: string 61475, exclamation, system-modal. A file failure: its text, stop icon.
// Anything else: string 61704, stop icon. Never raises.
void ReportCurrentException();
