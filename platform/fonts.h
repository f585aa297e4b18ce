// The eight fonts every control of the program draws with, made once and kept while the
// process lives.
#pragma once

#include <windows.h>

#include <array>

inline constexpr int fontKindCount = 8;

struct FontTable {
    std::array<HFONT, fontKindCount> fonts{};
    bool created = false;
};

// Gives the control the font of that kind (0 to 7) without redrawing it; any other kind
// sets no font. Makes all eight fonts on its first call. Always true.
bool applyFont(FontTable& table, HWND control, int kind);
