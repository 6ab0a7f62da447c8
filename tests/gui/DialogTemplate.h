#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A dialog template resource read back field by field, standard or extended.
struct TemplateName {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::wstring text; // empty and not an ordinal: none
};

struct TemplateItem {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    TemplateName windowClass;
    TemplateName title;
    WORD extraCount = 0;
};

struct DialogTemplate {
    bool extended = false;
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    TemplateName menu;
    TemplateName windowClass;
    std::wstring title;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring typeface;
    std::vector<TemplateItem> items;
};

// Empty when the bytes do not hold a whole template.
std::optional<DialogTemplate> ParseDialogTemplate(const std::uint8_t* data, size_t size);
// The template resource id of module, parsed.
std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, UINT id);

// "Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox" for the predefined ordinals.
std::wstring ClassNameOf(const TemplateName& name);
