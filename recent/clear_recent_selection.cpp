#include "recent/setup_state.h"

bool clearRecentSelection(SetupState& state) {
    // recent.txt stays: it still names the campaign whose save games are in "saves" until
    // saveRecentSelection replaces it in one step.
    for (auto& slot : state.scriptSlots) {
        slot.clear();
    }
    state.folder.clear();
    state.translation.clear();
    state.recordedScriptList.clear();
    return true;
}
