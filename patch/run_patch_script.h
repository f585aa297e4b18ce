#pragma once

#include "patch/patch_records.h"

// Reads the [files] section of job.descriptorPath block by block and applies each block.
// False when reading stopped early (no [files] section, a `from` block without its
// to-condition); true otherwise, also when the descriptor cannot be opened.
bool runPatchScript(const ScriptJob& job, PatchContext& context);
