// tbxconv: the Tabrix conversion engine on the command line.
#include "cli/Console.h"
#include "cli/Tbxconv.h"
#include "engine/TabrixDocument.h"

#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
// cmd hands wildcards to the program: the runtime expands them into the matching file names
// before main, as for other Windows tools, and keeps a pattern that matches nothing as it is.
extern "C" int _dowildcard = -1;
#endif

int main(int argc, char** argv)
{
    // The document outlives the work and goes with the process, its file's image with it.
    auto* document = new TabrixDocument("");
    int status = 0;
    {
        // Arguments are passed on as the system gives them, like the paths of the dialog.
        std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        StandardConsole console;
        status = RunTbxconv(args, console, *document);
    }
    // Everything was written with unbuffered writes, and every file is closed.
    std::_Exit(status);
}
