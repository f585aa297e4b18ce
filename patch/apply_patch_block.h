#pragma once

#include "patch/patch_records.h"

#include <string_view>

// Carries out one block on its destination: folders, first-touch backup, the mode itself
// (game files replaced in one step through a temporary file), deletion of an inline-text
// temporary file. Reports every failure through context.errors.
void applyPatchBlock(const PatchBlock& block, PatchContext& context);

// True when a path from a script names something inside the game folder: relative, no
// drive letter, no ":" stream, no UNC prefix, no "." or ".." element (nor one Windows would
// trim to those), no "/", no empty element and no device name such as NUL or COM1.
bool staysInGameFolder(std::u16string_view path);

// A destination a block may write: inside the game folder and below "data\" (any case),
// so that its backup copy returns to the same place.
bool isGameDataPath(std::u16string_view path);
