// The last applied configuration, in memory (SetupState) and on disk in
// data\campaign\recent.txt: three 8-bit lines "[campaign] ", "[scripts] ", "[translation] ",
// each followed by its value and CR LF. Names with characters above 255 or a blank at either
// end are escaped (recorded_names.h).
#pragma once

#include "catalogue/catalogue_entry.h"

#include <array>
#include <string>

inline constexpr std::size_t scriptSlotCount = 30;
inline constexpr std::size_t recordedScriptListCapacity = 5000;

struct SetupState : CatalogueEntry {
    // Of the base only `folder` is used: the recorded campaign's folder name, or "none".
    std::array<std::u16string, scriptSlotCount> scriptSlots; // split from recordedScriptList
    // Descriptor file names, each followed by one blank; the blanks at a name's ends escaped.
    std::u16string recordedScriptList;
    std::u16string previousCampaign; // the campaign whose files are installed now
    bool hasCampaign = false;
    bool hasScripts = false;
    bool hasTranslation = false;
    std::u16string translation; // display name of the recorded translation pack, or "none"
};

// Reads recent.txt into the record; false (record unchanged) when it cannot be opened.
bool loadRecentSelection(SetupState& state);

// Empties the slots, folder, translation and recordedScriptList (flags and
// previousCampaign stay). recent.txt stays on disk until saveRecentSelection replaces it
// in one step, so a crash never leaves the game folder without a record. Always true.
bool clearRecentSelection(SetupState& state);

// Appends a script's file name and its blank to recordedScriptList, only when both fit, so
// that the list never ends in a cut name that would be read back as a script that does not
// exist.
void appendRecordedScript(SetupState& state, std::u16string_view fileName);

// Writes the record to a temporary file and replaces recent.txt with it in one step.
// False when it could not be written; the old file then stays as it was.
bool saveRecentSelection(const SetupState& state);
