#include "cli/RecordJson.h"

#include "cli/TextCodec.h"

#include <cstdio>

namespace {

// Big enough that a write costs little beside the making of what it writes.
constexpr std::size_t pieceSize = 64 * 1024;

// The JSON being made, handed on whenever a piece of it is full.
class JsonPieces {
public:
    explicit JsonPieces(const JsonSink& sink)
        : sink(sink)
    {
        text.reserve(pieceSize + 2 * 1024);
    }
    // Hands the text on once a piece is full, or all of it at the end; false once the sink
    // takes no more, so that nothing more is made.
    bool Spill(bool end = false)
    {
        if (going && (end || text.size() >= pieceSize)) {
            going = sink(text);
            text.clear();
        }
        return going;
    }

    std::string text;

private:
    const JsonSink& sink;
    bool going = true;
};

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

// false when the sink took no more.
bool AppendList(JsonPieces& json, const StringList& list)
{
    std::string& out = json.text;
    if (list.empty()) {
        out += "[]";
        return true;
    }
    out += "[\n";
    std::size_t left = list.size();
    for (std::string_view text : list) {
        out += "    ";
        AppendString(out, text);
        out += --left > 0 ? ",\n" : "\n";
        if (!json.Spill())
            return false;
    }
    out += "  ]";
    return true;
}

}

void WriteRecordJson(const TabrixRecord& record, const JsonSink& sink)
{
    JsonPieces json(sink);
    std::string& out = json.text;
    out += "{\n  \"version\": \"";
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
    if (!AppendList(json, record.listA))
        return;
    out += ",\n  \"listB\": ";
    if (!AppendList(json, record.listB))
        return;
    out += "\n}\n";
    json.Spill(true);
}
