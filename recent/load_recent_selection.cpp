#include "catalogue/game_paths.h"
#include "catalogue/read_section.h"
#include "recent/recorded_names.h"
#include "recent/setup_state.h"

#include "platform/text_file.h"

namespace {

// Walks the list: a blank moves on to the next slot, any other character goes to the end of
// the current slot. A slot that receives no character keeps what it had, so a run of two
// blanks leaves one slot as it was.
void splitIntoSlots(const std::u16string& list, SetupState& state) {
    std::size_t slot = 0;
    std::size_t position = 0;
    for (const char16_t c : list) {
        if (c == u' ') {
            ++slot;
            position = 0;
            continue;
        }
        if (slot >= scriptSlotCount) {
            break; // more names than slots: the rest has nowhere to go
        }
        std::u16string& name = state.scriptSlots[slot];
        if (position >= nameCapacity - 1) {
            continue; // a slot holds a name of at most 99 characters
        }
        // Writing at a position terminates the name there, as a fixed buffer would.
        name.resize(position);
        name += c;
        ++position;
    }
}

// A field of file names (recorded_names.h). Without an escape it is read exactly as a
// record without escapes always was; with escapes the capacity counts the names'
// characters, not the characters that stand for them in the file.
bool readNames(platform::TextInput& file, std::u16string_view key, std::u16string& destination,
               std::size_t capacity) {
    std::u16string escaped;
    if (!readSection(file, key, escaped, capacity * recorded_names::longestEscape)) {
        return false;
    }
    if (!recorded_names::hasEscape(escaped)) {
        return readSection(file, key, destination, capacity);
    }
    destination = limitText(recorded_names::unescape(escaped), capacity);
    return true;
}

} // namespace

bool loadRecentSelection(SetupState& state) {
    platform::TextInput file;
    if (!platform::openTextInput(recentSelectionPath, platform::TextEncoding::Bytes8, file)) {
        return false;
    }
    state.hasCampaign = readNames(file, u"[campaign]", state.folder, folderCapacity);
    state.hasScripts =
        readNames(file, u"[scripts]", state.recordedScriptList, recordedScriptListCapacity);
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
