// tbxconv: the Tabrix conversion engine on the command line.
#include "cli/Console.h"
#include "cli/Heap.h"
#include "cli/Tbxconv.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    PrepareHeap();
    // Arguments are passed on as the system gives them, like the paths of the dialog.
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    StandardConsole console;
    return RunTbxconv(args, console);
}
