#include "platform/ui/CenterWindow.h"

namespace {

int Width(const RECT& r)
{
    return r.right - r.left;
}

int Height(const RECT& r)
{
    return r.bottom - r.top;
}

// The start of a span of size length centred on [low, high), moved inside [areaLow, areaHigh)
// as far as it fits, its start shown first when it does not.
int CentredStart(int low, int high, int length, int areaLow, int areaHigh)
{
    int start = low + (high - low - length) / 2;
    if (start + length > areaHigh)
        start = areaHigh - length;
    return start < areaLow ? areaLow : start;
}

// An owner to centre over: one that shows, not minimised.
HWND VisibleOwner(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    return owner && IsWindowVisible(owner) && !IsIconic(owner) ? owner : nullptr;
}

} // namespace

RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return monitor.rcWork;
    RECT area {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

void CenterWindow(HWND window)
{
    RECT own {};
    if (!GetWindowRect(window, &own))
        return;
    HWND owner = VisibleOwner(window);
    // The owner's monitor when there is one: the dialog opens where the user looks.
    RECT area = WorkAreaOf(owner ? owner : window);
    RECT over = area;
    if (owner)
        GetWindowRect(owner, &over);
    int x = CentredStart(over.left, over.right, Width(own), area.left, area.right);
    int y = CentredStart(over.top, over.bottom, Height(own), area.top, area.bottom);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
