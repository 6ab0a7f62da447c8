#include "gui/KovrelModule.h"

#include "platform/ModulePath.h"

std::string KovrelPath()
{
    std::string self = GetModulePath(nullptr);
    size_t slash = self.find_last_of("\\/");
    return self.substr(0, slash + 1) + "Kovrel.exe";
}

KovrelResources::KovrelResources()
    : module(LoadLibraryExA(KovrelPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
{
}

KovrelResources::~KovrelResources()
{
    if (module)
        FreeLibrary(module);
}
