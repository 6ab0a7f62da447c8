#include "cli/UserLanguage.h"

#include <cstring>

Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang)
{
    for (const char* locale : { lcAll, lcMessages, lang }) {
        if (locale != nullptr && locale[0] != '\0')
            return std::strncmp(locale, "ja", 2) == 0 ? Language::Japanese : Language::English;
    }
    return Language::English;
}
