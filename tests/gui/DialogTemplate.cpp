#include "gui/DialogTemplate.h"

#include <cstring>
#include <iterator>

namespace {

// Reads the template's fields in order; any read past the end leaves good false.
struct Reader {
    const std::uint8_t* data;
    size_t size;
    size_t at = 0;
    bool good = true;

    template<typename T>
    T read()
    {
        T value {};
        if (!good || size - at < sizeof(T)) {
            good = false;
            return value;
        }
        std::memcpy(&value, data + at, sizeof(T));
        at += sizeof(T);
        return value;
    }

    std::wstring readString()
    {
        std::wstring text;
        for (auto unit = read<std::uint16_t>(); good && unit != 0; unit = read<std::uint16_t>())
            text += wchar_t(unit);
        return text;
    }

    // None, an ordinal after 0xFFFF, or a string.
    TemplateName readName()
    {
        TemplateName name;
        auto first = read<std::uint16_t>();
        if (!good || first == 0)
            return name;
        name.isOrdinal = first == 0xFFFF;
        if (name.isOrdinal)
            name.ordinal = read<std::uint16_t>();
        else
            name.text = wchar_t(first) + readString();
        return name;
    }

    void skip(size_t count)
    {
        good = good && size - at >= count;
        at += good ? count : 0;
    }
    void alignToDword() { skip(((at + 3) & ~size_t(3)) - at); }
};

void ReadPlacement(Reader& in, short& x, short& y, short& cx, short& cy)
{
    x = in.read<short>();
    y = in.read<short>();
    cx = in.read<short>();
    cy = in.read<short>();
}

TemplateItem ReadItem(Reader& in, bool extended)
{
    TemplateItem item;
    in.alignToDword();
    if (extended) {
        item.helpId = in.read<DWORD>();
        item.exStyle = in.read<DWORD>();
        item.style = in.read<DWORD>();
    } else {
        item.style = in.read<DWORD>();
        item.exStyle = in.read<DWORD>();
    }
    ReadPlacement(in, item.x, item.y, item.cx, item.cy);
    item.id = extended ? in.read<DWORD>() : in.read<WORD>();
    item.windowClass = in.readName();
    item.title = in.readName();
    item.extraCount = in.read<WORD>();
    in.skip(item.extraCount);
    return item;
}

} // namespace

std::optional<DialogTemplate> ParseDialogTemplate(const std::uint8_t* data, size_t size)
{
    Reader in { data, size };
    DialogTemplate dialog;
    auto first = in.read<std::uint32_t>();
    dialog.extended = (first & 0xFFFF) == 1 && (first >> 16) == 0xFFFF;
    if (dialog.extended) {
        dialog.helpId = in.read<DWORD>();
        dialog.exStyle = in.read<DWORD>();
        dialog.style = in.read<DWORD>();
    } else {
        dialog.style = first;
        dialog.exStyle = in.read<DWORD>();
    }
    WORD count = in.read<WORD>();
    ReadPlacement(in, dialog.x, dialog.y, dialog.cx, dialog.cy);
    dialog.menu = in.readName();
    dialog.windowClass = in.readName();
    dialog.title = in.readString();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.read<WORD>();
        if (dialog.extended) {
            dialog.weight = in.read<WORD>();
            dialog.italic = in.read<BYTE>();
            dialog.charset = in.read<BYTE>();
        }
        dialog.typeface = in.readString();
    }
    for (WORD i = 0; i < count && in.good; ++i)
        dialog.items.push_back(ReadItem(in, dialog.extended));
    if (!in.good)
        return std::nullopt;
    return dialog;
}

std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, UINT id)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    if (!resource)
        return std::nullopt;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return std::nullopt;
    return ParseDialogTemplate(static_cast<const std::uint8_t*>(bytes), SizeofResource(module, resource));
}

std::wstring ClassNameOf(const TemplateName& name)
{
    const wchar_t* const predefined[] = { L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox" };
    if (!name.isOrdinal)
        return name.text;
    if (name.ordinal >= 0x80 && name.ordinal < 0x80 + std::size(predefined))
        return predefined[name.ordinal - 0x80];
    return L"#" + std::to_wstring(name.ordinal);
}
