#include "recent/recorded_names.h"
#include "recent/setup_state.h"

#include "catalogue/game_paths.h"
#include "platform/text_file.h"

namespace {

// One line: the header with its blank, the value, a line break. A character above 255
// that reaches the 8-bit file ends the value (names are escaped before they get here), and
// the line break still follows.
void writeLine(platform::TextOutput& output, std::u16string_view header,
               std::u16string_view value) {
    platform::writeText(output, header);
    platform::writeText(output, value);
    platform::writeText(output, u"\n");
}

} // namespace

bool saveRecentSelection(const SetupState& state) {
    // A crash leaves either the old record or the new one, never a cut-off file.
    platform::TextOutput output =
        platform::createTextOutput(recentSelectionPath, platform::TextEncoding::Bytes8);
    writeLine(output, u"[campaign] ",
              recorded_names::escape(recorded_names::escapeEndBlanks(state.folder)));
    writeLine(output, u"[scripts] ", recorded_names::escape(state.recordedScriptList));
    writeLine(output, u"[translation] ", state.translation);
    return platform::writeTextOutputSafely(output) == platform::SafeWriteResult::written;
}

void appendRecordedScript(SetupState& state, std::u16string_view fileName) {
    const std::u16string name = recorded_names::escapeEndBlanks(fileName);
    if (state.recordedScriptList.size() + name.size() + 1 < recordedScriptListCapacity) {
        state.recordedScriptList += name;
        state.recordedScriptList += u' ';
    }
}
