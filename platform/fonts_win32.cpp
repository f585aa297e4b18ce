#include "platform/fonts.h"

namespace {

struct FontKind {
    const wchar_t* face;
    int height;
};

// Kinds 1 and 4 are used by no control; 4 stays a font of its own beside kind 0.
constexpr std::array<FontKind, fontKindCount> fontKinds{{
    {L"Verdana", 13},
    {L"Arial", 25},
    {L"Verdana", 12},
    {L"Tahoma", 12},
    {L"Verdana", 13},
    {L"Tahoma", 13},
    {L"Calibri", 13},
    {L"Verdana", 15},
}};

void createFonts(FontTable& table) {
    for (int kind = 0; kind < fontKindCount; ++kind) {
        const FontKind& font = fontKinds[kind];
        table.fonts[kind] = CreateFontW(font.height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                                        DEFAULT_CHARSET, OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS,
                                        CLEARTYPE_QUALITY, VARIABLE_PITCH, font.face);
    }
    table.created = true;
}

} // namespace

bool applyFont(FontTable& table, HWND control, int kind) {
    if (!table.created) {
        createFonts(table);
    }
    if (kind >= 0 && kind < fontKindCount) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(table.fonts[kind]), FALSE);
    }
    return true;
}
