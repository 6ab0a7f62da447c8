#pragma once

#include <windows.h>

#include <string>

// Kovrel.exe, built next to the test executables.
std::string KovrelPath();

// Kovrel.exe loaded as data, for reading its resources; freed with the object.
class KovrelResources {
public:
    KovrelResources();
    ~KovrelResources();
    KovrelResources(const KovrelResources&) = delete;
    KovrelResources& operator=(const KovrelResources&) = delete;

    HMODULE module = nullptr;
};
