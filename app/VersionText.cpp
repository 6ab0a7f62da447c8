#include "app/VersionText.h"

std::string FormatVersionText(const std::string& format, unsigned major, unsigned minor)
{
    const unsigned numbers[] = { major, minor };
    size_t used = 0;
    std::string text;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            text += c;
            continue;
        }
        char conversion = format[i + 1];
        if (conversion == '%') {
            text += '%';
            ++i;
        } else if (conversion == 'd' || conversion == 'i' || conversion == 'u') {
            if (used < 2)
                text += std::to_string(numbers[used]);
            ++used;
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}
