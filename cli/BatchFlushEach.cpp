// Where a volume cannot be flushed at once (Windows does so only for an administrator), every
// save of a batch waits for its own file, as a single conversion does, and the batch has nothing
// left to wait for.
#include "cli/BatchFlush.h"

#include "engine/TabrixDocument.h"

#include <memory>

std::unique_ptr<TabrixDocument> MakeBatchDocument()
{
    return std::make_unique<TabrixDocument>("");
}

long FlushVolumesOf(const std::vector<std::string>&)
{
    return 0;
}
