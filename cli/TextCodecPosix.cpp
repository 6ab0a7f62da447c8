// Text conversions through iconv. Arguments and paths are already in the terminal's encoding.
#include "cli/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace {

const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);

// Opened once: a dump converts every string of a file, and opening costs more than converting.
iconv_t Converter(const char* to, const char* from, iconv_t& kept)
{
    if (kept == noConverter)
        kept = ::iconv_open(to, from);
    else
        ::iconv(kept, nullptr, nullptr, nullptr, nullptr);
    return kept;
}

// Converts all of input, or gives nothing on the first byte that does not convert.
std::optional<std::string> Convert(iconv_t converter, std::string_view input)
{
    if (converter == noConverter)
        return std::nullopt;
    std::string output;
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char chunk[1024];
    bool failed = false;
    while (inLeft > 0) {
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        std::size_t done = ::iconv(converter, &in, &inLeft, &out, &outLeft);
        output.append(chunk, sizeof chunk - outLeft);
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            failed = true;
            break;
        }
    }
    if (failed)
        return std::nullopt;
    return output;
}

}

std::optional<std::string> DecodeCp932(std::string_view bytes)
{
    static iconv_t fromCp932 = noConverter;
    static iconv_t toCp932 = noConverter;
    // Both encodings agree on ASCII.
    bool ascii = true;
    for (unsigned char byte : bytes)
        ascii = ascii && byte < 0x80;
    if (ascii)
        return std::string(bytes);
    auto text = Convert(Converter("UTF-8", "CP932", fromCp932), bytes);
    if (!text)
        return std::nullopt;
    auto back = Convert(Converter("CP932", "UTF-8", toCp932), *text);
    if (!back || *back != bytes)
        return std::nullopt;
    return text;
}

std::string ArgumentToUtf8(std::string_view argument)
{
    return std::string(argument);
}
