// A script: an optional modification described by data\campaign\sub\<fileName>.
#pragma once

#include "catalogue/catalogue_entry.h"
#include "platform/error_sink.h"

#include <string>
#include <string_view>
#include <vector>

// Capacity of a script's fileName, [works for] and [grouped in] texts, terminator included.
inline constexpr std::size_t scriptTextCapacity = 100;

struct ScriptEntry : CatalogueEntry {
    // Base: `name`, `description`, `folder` = the base name (fileName before its first ".").
    std::u16string fileName;          // descriptor file name with extension; the script's identity
    std::u16string groupName;         // [grouped in], normalised
    std::u16string worksFor;          // [works for]
    bool checked = false;             // [checked] present
    std::int16_t rememberedState = 0; // Script Handler: 0 none, 1 remembered on, 2 off
    bool hasGroup = false;            // [grouped in] present
    bool required = false;            // [required] present
    bool hasBox = false;              // Script Handler working flag
};

// Builds the record from the descriptor; shows "There seems to be an error with: %s" when
// it has no [files] section. Always gives a record. The file name is kept whole, never cut
// (a path formed from a cut name would reach another file); the scan lists no descriptor
// whose name has scriptTextCapacity characters or more.
ScriptEntry loadScriptEntry(std::u16string_view fileName, const ErrorSink& errors);

// Whether the script is offered for the campaign folder: a token of worksFor (split at
// blanks and commas) equals the folder or "all", exactly.
bool scriptWorksFor(const ScriptEntry& script, std::u16string_view campaignFolder);

// The tokens of a [works for] list as scriptWorksFor compares them: split at blanks and
// commas, empty ones (two separators in a row, an empty list) left out.
std::vector<std::u16string_view> worksForTokens(std::u16string_view list);

// The group name normalisation: the name ends at its first line break, then one blank at
// its end is dropped. Inner blanks are kept as they are. Finishes on every input.
std::u16string normaliseGroupName(std::u16string_view raw);
