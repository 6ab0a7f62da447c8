#pragma once

#include <windows.h>

// Where the framework puts a dialog whose template leaves the place to it: centred over its owner,
// or, without a visible owner, on the work area of its monitor; kept inside that work area.
void CenterWindow(HWND window);

// The work area (the screen less the taskbar) of the monitor that holds most of the window.
RECT WorkAreaOf(HWND window);
