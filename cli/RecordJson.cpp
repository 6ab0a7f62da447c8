#include "cli/RecordJson.h"

#include "cli/TextCodec.h"

#include <cstdio>

namespace {

void AppendHex(std::string& out, const std::uint8_t* bytes, std::size_t size)
{
    static constexpr char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0x0F];
    }
}

// A JSON string literal of UTF-8 text.
void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendString(std::string& out, std::string_view bytes)
{
    if (auto text = DecodeCp932(bytes)) {
        out += "{\"text\": ";
        AppendQuoted(out, *text);
    } else {
        out += "{\"hex\": \"";
        AppendHex(out, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        out += '"';
    }
    out += '}';
}

template<std::size_t N>
void AppendWords(std::string& out, const std::array<std::uint32_t, N>& words)
{
    out += '[';
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0)
            out += ", ";
        out += std::to_string(words[i]);
    }
    out += ']';
}

void AppendList(std::string& out, const StringList& list)
{
    if (list.empty()) {
        out += "[]";
        return;
    }
    out += "[\n";
    std::size_t left = list.size();
    for (std::string_view text : list) {
        out += "    ";
        AppendString(out, text);
        out += --left > 0 ? ",\n" : "\n";
    }
    out += "  ]";
}

}

std::string RecordToJson(const TabrixRecord& record)
{
    std::string out = "{\n  \"version\": \"";
    out += VersionText(record.version);
    out += "\",\n  \"head\": " + std::to_string(record.head);
    out += ",\n  \"words\": ";
    AppendWords(out, record.words);
    out += ",\n  \"blocks\": [\n";
    for (std::size_t i = 0; i < record.blocks.size(); ++i) {
        out += "    \"";
        AppendHex(out, record.blocks[i].data(), record.blocks[i].size());
        out += i + 1 < record.blocks.size() ? "\",\n" : "\"\n";
    }
    out += "  ],\n  \"extWords\": ";
    AppendWords(out, record.extWords);
    out += ",\n  \"tailWords\": ";
    AppendWords(out, record.tailWords);
    out += ",\n  \"leadString\": ";
    AppendString(out, record.leadString);
    out += ",\n  \"listA\": ";
    AppendList(out, record.listA);
    out += ",\n  \"listB\": ";
    AppendList(out, record.listB);
    out += "\n}\n";
    return out;
}
