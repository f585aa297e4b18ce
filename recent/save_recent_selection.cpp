#include "recent/recorded_names.h"
#include "recent/setup_state.h"

#include "platform/file_system.h"
#include "platform/text_file.h"

namespace {

constexpr char16_t recentSelectionPath[] = u"data\\campaign\\recent.txt";

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
    // Written beside the game folder's other temporary files and put in place in one step,
    // so that a crash leaves either the old record or the new one, never a cut-off file.
    std::u16string temporary;
    if (!platform::makeTemporaryFile(u".", temporary)) {
        return false;
    }
    platform::TextOutput output =
        platform::createTextOutput(temporary, platform::TextEncoding::Bytes8);
    writeLine(output, u"[campaign] ", recorded_names::escape(state.folder));
    writeLine(output, u"[scripts] ", recorded_names::escape(state.recordedScriptList));
    writeLine(output, u"[translation] ", state.translation);
    if (!platform::closeTextOutput(output) ||
        !platform::replaceFile(temporary, recentSelectionPath)) {
        platform::deleteFile(temporary);
        return false;
    }
    return true;
}
