#pragma once

#include "engine/Messages.h"

// The language of a POSIX locale: the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty names it, Japanese when it begins with "ja"; any other locale, and none, reads English.
Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);
