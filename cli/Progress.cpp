#include "cli/Progress.h"

#include "cli/Console.h"

namespace {
// Often enough to look alive, seldom enough to cost nothing on a thousand small files.
constexpr std::chrono::milliseconds redrawInterval(100);
}

Progress::Progress(Console& console, std::size_t total)
    : console(console)
    , total(total)
    , enabled(total > 1 && console.ErrIsTerminal())
{
}

Progress::~Progress()
{
    Clear();
}

void Progress::Step()
{
    ++done;
    if (!enabled)
        return;
    auto now = std::chrono::steady_clock::now();
    if (shown && done < total && now - lastDraw < redrawInterval)
        return;
    lastDraw = now;
    Draw();
}

void Progress::Draw()
{
    std::string line = std::to_string(done) + "/" + std::to_string(total);
    drawnWidth = line.size();
    console.Err("\r" + line);
    shown = true;
}

void Progress::Clear()
{
    if (!shown)
        return;
    console.Err("\r" + std::string(drawnWidth, ' ') + "\r");
    shown = false;
}
