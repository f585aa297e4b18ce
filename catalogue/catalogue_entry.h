// The record shape that campaigns, scripts, translation packs and the remembered selection
// have in common.
#pragma once

#include "platform/text_limits.h"

#include <cstdint>
#include <string>

struct CatalogueEntry {
    std::int16_t index = 0;
    std::u16string name;        // at most nameCapacity - 1
    std::u16string description; // at most descriptionCapacity - 1
    std::u16string folder;      // at most folderCapacity - 1
};
