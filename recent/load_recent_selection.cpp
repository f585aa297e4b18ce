#include "catalogue/game_paths.h"
#include "catalogue/read_section.h"
#include "recent/recorded_names.h"
#include "recent/setup_state.h"

#include "platform/text_file.h"

#include <algorithm>

namespace {

// Walks the list: a blank moves on to the next slot, the characters up to the next blank
// are the current slot's name (its escapes read, at most 99 characters: a slot holds no
// more). A slot that receives no character keeps what it had, so a run of two blanks
// leaves one slot as it was.
void splitIntoSlots(const std::u16string& list, SetupState& state) {
    std::size_t slot = 0;
    for (std::size_t start = 0; start <= list.size() && slot < scriptSlotCount; ++slot) {
        const std::size_t end = std::min(list.find(u' ', start), list.size());
        if (end > start) {
            const std::u16string_view piece(list.data() + start, end - start);
            state.scriptSlots[slot] = limitText(recorded_names::unescape(piece), nameCapacity);
        }
        start = end + 1;
    }
}

// A field of file names (recorded_names.h). Without an escape it is read exactly as a
// record without escapes always was; with escapes the capacity counts the names'
// characters, not the characters that stand for them in the file. `keepBlanks`: the
// escaped blanks stay escaped (the script list).
bool readNames(platform::TextInput& file, std::u16string_view key, std::u16string& destination,
               std::size_t capacity, bool keepBlanks) {
    std::u16string escaped;
    if (!readSection(file, key, escaped, capacity * recorded_names::longestEscape)) {
        return false;
    }
    if (!recorded_names::hasEscape(escaped)) {
        return readSection(file, key, destination, capacity);
    }
    destination = limitText(recorded_names::unescape(escaped, keepBlanks), capacity);
    return true;
}

} // namespace

bool loadRecentSelection(SetupState& state) {
    platform::TextInput file;
    if (!platform::openTextInput(recentSelectionPath, platform::TextEncoding::Bytes8, file)) {
        return false;
    }
    state.hasCampaign = readNames(file, u"[campaign]", state.folder, folderCapacity, false);
    state.hasScripts =
        readNames(file, u"[scripts]", state.recordedScriptList, recordedScriptListCapacity, true);
    state.hasTranslation = readSection(file, u"[translation]", state.translation, folderCapacity);

    if (!state.hasCampaign) {
        state.folder.clear();
    }
    if (state.hasScripts && !state.recordedScriptList.empty()) {
        splitIntoSlots(state.recordedScriptList, state);
    }
    if (!state.hasScripts) {
        for (auto& slot : state.scriptSlots) {
            slot.clear();
        }
        state.recordedScriptList.clear();
    }
    if (!state.hasTranslation) {
        state.translation.clear();
    }
    return true;
}
