#pragma once

#include <windows.h>

#include <string>

// Files that the shell hands the program: dropped on a window, or named on its command line
// (what "Open with" and a drop on the program's icon run). Paths come as UTF-16 and are given in
// the process's ANSI code page; a name that code page cannot hold is given by its short name.

struct DroppedFile {
    std::string path; // "" when the drop held no file the program can name
    POINT point;      // where it was dropped, in the client area of the window it was dropped on
};

// The first file of a drop (the others are ignored); the drop's memory is given back.
DroppedFile TakeFirstDroppedFile(HDROP drop);

// The first argument after the program's name as a full path, or "" when there is none.
std::string FirstCommandLineFile();

// A path of the shell in the ANSI code page, unchanged in meaning: the long name when the code
// page holds every character of it, else the short name; "" when neither can be given.
std::string AnsiPathOf(const std::wstring& path);
