#pragma once

// What the back ends of FileSystem share: the test's fault hook and the temporary names of new
// files where the system makes none without a name.

#include "platform/file/FileSystem.h"

#include <string>

namespace FileSystem::Backend {

// Names tried before giving up: a clash means another program is saving beside us.
inline constexpr int nameAttempts = 64;

// The system error that the test's hook gives for this step, or 0.
long Injected(Step step);
// A fresh temporary name, "~kvXXXXX.tmp": short, so that it fits wherever a name fits.
std::string TemporaryName();

}
