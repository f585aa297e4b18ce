// A translation pack: data\campaign\translation\<fileName> (its [name]) and the folder
// data\campaign\translation\<folder> of keyed text files, one per game text file.
#pragma once

#include "catalogue/catalogue_entry.h"
#include "patch/patch_records.h"

#include <string>
#include <string_view>

// Room for one translated entry's text, its added line break and the old terminator.
inline constexpr std::size_t translationTextCapacity = 4000;

struct TranslationEntry : CatalogueEntry {
    // Base: `name` from [name], `folder` = fileName before its first ".".
    void* button = nullptr; // the pack's button while the main window shows the list
    std::u16string fileName;
};

TranslationEntry loadTranslationEntry(std::u16string_view fileName);

// Applies every *.txt file of the pack's folder. Always true.
bool applyTranslationPack(const TranslationEntry& entry, PatchContext& context);

// Merges one translation file into data\text\<fileName> (replaced in one step) and deletes
// its data\text\<fileName>.strings.bin. False only when no temporary file could be made.
bool applyTranslationFile(const TranslationEntry& entry, std::u16string_view fileName,
                          PatchContext& context);
