#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class Console;

// "done/total" on one line of standard error, redrawn in place; shown only on a terminal,
// so that redirected error output holds nothing but messages.
class Progress {
public:
    Progress(Console& console, std::size_t total);
    ~Progress();

    // One more file is done.
    void Step();
    // Takes the line away, so that a message can be written in its place.
    void Clear();

private:
    void Draw();

    Console& console;
    std::size_t total;
    std::size_t done = 0;
    bool shown = false;
    bool enabled;
    std::size_t drawnWidth = 0;
    std::chrono::steady_clock::time_point lastDraw {};
};
