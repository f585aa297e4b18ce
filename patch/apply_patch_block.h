#pragma once

#include "patch/patch_records.h"

// Carries out one block on its destination: folders, first-touch backup, the mode itself
// (game files replaced in one step through a temporary file), deletion of an inline-text
// temporary file. Reports every failure through context.errors.
void applyPatchBlock(const PatchBlock& block, PatchContext& context);
