#include "patch/apply_patch_block.h"

#include "backup/back_up_game_file.h"
#include "catalogue/game_paths.h"
#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "platform/safe_write.h"
#include "platform/text_file.h"
#include "platform/text_limits.h"
#include "platform/unicode.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using platform::TextEncoding;
using platform::TextInput;
using platform::TextOutput;

// Game file lines are moved in pieces of 1999 characters plus their line break, so that
// they compare with anchor lines read the same way.
constexpr std::size_t gameLinePiece = 2000;
constexpr std::size_t mergeTextCapacity = 3000;
constexpr std::size_t ownNameCapacity = 100;

const char16_t* const notExistMessage = u"Error while processing %s\n\nFile does not exist: %s";

std::u16string_view afterLastSeparator(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

bool hasSource(const PatchBlock& block) {
    return block.source && !block.source->empty();
}

std::u16string scriptFilePath(const PatchBlock& block, std::u16string_view name) {
    return joinPath(scriptFolderPath(block.job.baseName), name);
}

std::u16string sourcePathOf(const PatchBlock& block) {
    if (block.inlineText) {
        return block.source.value_or(u"");
    }
    if (hasSource(block)) {
        return scriptFilePath(block, *block.source);
    }
    // overwrite and translate blocks without a source take the file of the destination's
    // own name from the script's folder.
    return scriptFilePath(block, limitText(afterLastSeparator(block.destination), ownNameCapacity));
}

// Refuses what the block must not do at all; nothing is touched for a refused block.
bool blockIsAcceptable(const PatchBlock& block, const PatchContext& context) {
    const std::u16string_view script = block.job.fileName;
    if (!staysInGameFolder(block.destination)) {
        showError(context.errors,
                  u"Error while processing %s\n\nThe destination %s lies outside the game "
                  u"folder.\nOperation aborted.",
                  {script, block.destination});
        return false;
    }
    if (!isGameDataPath(block.destination)) {
        showError(context.errors,
                  u"Error while processing %s\n\nThe destination %s is not a file in the data "
                  u"folder.\nOperation aborted.",
                  {script, block.destination});
        return false;
    }
    if (!block.inlineText && hasSource(block) && !staysInGameFolder(*block.source)) {
        showError(context.errors,
                  u"Error while processing %s\n\nThe source %s lies outside the script's "
                  u"folder.\nOperation aborted.",
                  {script, *block.source});
        return false;
    }
    const bool anchored = block.condition != WhenCondition::none;
    if (block.mode == PatchMode::replace && !anchored) {
        showError(context.errors,
                  u"Error while processing %s\n\nThe replace block for %s has no condition "
                  u"(on, from, before or after).\nOperation aborted.",
                  {script, block.destination});
        return false;
    }
    const bool usesAnchor =
        (block.mode == PatchMode::replace && anchored) ||
        (block.mode == PatchMode::append &&
         (block.condition == WhenCondition::after || block.condition == WhenCondition::before));
    if (usesAnchor && block.anchorLines.empty()) {
        showError(context.errors,
                  u"Error while processing %s\n\nThe block for %s has an empty anchor "
                  u"text.\nOperation aborted.",
                  {script, block.destination});
        return false;
    }
    if (block.mode == PatchMode::replace && block.condition == WhenCondition::from &&
        block.toLines.empty()) {
        showError(context.errors,
                  u"Error while processing %s\n\nThe from block for %s has an empty "
                  u"to-text.\nOperation aborted.",
                  {script, block.destination});
        return false;
    }
    if ((block.mode == PatchMode::append || block.mode == PatchMode::replace) &&
        !hasSource(block)) {
        showError(context.errors,
                  u"Error while processing %s\n\nNo source file is given for "
                  u"%s.\nOperation aborted.",
                  {script, block.destination});
        return false;
    }
    return true;
}

void makeFoldersOnTheWay(std::u16string_view destination) {
    for (std::size_t slash = destination.find(u'\\'); slash != std::u16string_view::npos;
         slash = destination.find(u'\\', slash + 1)) {
        platform::createFolder(destination.substr(0, slash));
    }
}

// False when the destination exists and has no kept copy (the copy could not be made): a
// change then would lose the original, so the block leaves the file alone and a later block
// offers it again.
bool backUpOnFirstTouch(const PatchBlock& block, PatchContext& context) {
    const std::u16string_view destination = block.destination;
    if (context.touchedFiles != nullptr && isFileTouched(*context.touchedFiles, destination)) {
        return true;
    }
    // Without a run's list every block offers its file; the first copy still wins.
    const std::u16string_view relative = destination.substr(destination.find(u'\\') + 1);
    backUpGameFile(destination, relative);
    const bool kept =
        platform::pathExists(keptCopyPath(relative)) || !platform::pathExists(destination);
    if (kept && context.touchedFiles != nullptr) {
        addTouchedFile(*context.touchedFiles, destination);
    }
    return kept;
}

// The existence and mode check: the block's encoding, or none after a message.
std::optional<TextEncoding> commonEncoding(const PatchBlock& block, const std::u16string& source,
                                           const PatchContext& context) {
    const FileMode destinationMode = detectFileMode(block.destination);
    const FileMode sourceMode = detectFileMode(source);
    const std::u16string_view script = block.job.fileName;
    if (destinationMode == FileMode::missing && sourceMode == FileMode::missing) {
        showError(context.errors,
                  u"Error while processing %s\n\nThese two files do not exist: %s and %s",
                  {script, block.destination, source});
        return std::nullopt;
    }
    if (destinationMode == FileMode::missing) {
        showError(context.errors, notExistMessage, {script, block.destination});
        return std::nullopt;
    }
    if (sourceMode == FileMode::missing) {
        showError(context.errors, notExistMessage, {script, source});
        return std::nullopt;
    }
    if (destinationMode != sourceMode) {
        showError(context.errors,
                  u"Error while processing %s\n\nThese two files are incompatible: %s and "
                  u"%s.\nUnicode files will accept only unicode input.",
                  {script, block.destination, source});
        return std::nullopt;
    }
    return encodingOf(destinationMode);
}

// The text a mode inserts: the source as read, with a line break after a last line that
// lacks one.
bool readInsertText(const std::u16string& path, TextEncoding encoding, std::u16string& text,
                    const PatchBlock& block, const PatchContext& context) {
    TextInput input;
    if (!platform::openTextInput(path, encoding, input)) {
        showError(context.errors, notExistMessage, {block.job.fileName, path});
        return false;
    }
    text = std::move(input.text);
    if (!text.empty() && text.back() != u'\n') {
        text += u'\n';
    }
    return true;
}

void writeLines(TextOutput& out, const std::vector<std::u16string>& lines, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        platform::writeText(out, lines[i]);
    }
}

// Reads destination lines until the whole of `lines` has been met in a row. Lines that are
// not part of the match go to `out` (or are dropped when out is null); a match that breaks
// off is given back the same way together with the line that broke it, and that line is
// not tried as a new start. True when found: the matched lines are used up, not written.
bool seekLines(TextInput& in, const std::vector<std::u16string>& lines, TextOutput* out) {
    std::u16string line;
    while (platform::readLinePiece(in, gameLinePiece, line)) {
        if (line != lines.front()) {
            if (out != nullptr) {
                platform::writeText(*out, line);
            }
            continue;
        }
        std::size_t matched = 1;
        while (matched < lines.size()) {
            if (!platform::readLinePiece(in, gameLinePiece, line)) {
                if (out != nullptr) {
                    writeLines(*out, lines, matched);
                }
                return false;
            }
            if (line != lines[matched]) {
                break;
            }
            ++matched;
        }
        if (matched == lines.size()) {
            return true;
        }
        if (out != nullptr) {
            writeLines(*out, lines, matched);
            platform::writeText(*out, line);
        }
    }
    return false;
}

void copyRest(TextInput& in, TextOutput& out) {
    platform::writeText(out, std::u16string_view(in.text).substr(in.position));
    in.position = in.text.size();
}

std::u16string notContainedMessage(const PatchBlock& block,
                                   const std::vector<std::u16string>& lines,
                                   std::u16string_view ending) {
    std::u16string text = formatMessage(u"Error while processing %s\n\nFile %s does not contain:\n",
                                        {block.job.fileName, block.destination});
    for (const auto& line : lines) {
        text += line;
    }
    text += ending;
    return text; // cut to the message capacity when shown
}

enum class RewriteOutcome { replace, keep };

// Reports a failed safe write of the destination; true when it was written.
bool reportWrite(platform::SafeWriteResult result, const PatchBlock& block,
                 const PatchContext& context) {
    switch (result) {
    case platform::SafeWriteResult::written:
        return true;
    case platform::SafeWriteResult::noTemporaryFile:
    case platform::SafeWriteResult::writeFailed:
        showError(context.errors, temporaryFileMessage);
        return false;
    case platform::SafeWriteResult::placeFailed:
        showError(context.errors,
                  u"Error while processing %s\n\nThe new version of %s could not take the "
                  u"old one's place.\nOperation aborted.",
                  {block.job.fileName, block.destination});
        return false;
    }
    return false;
}

// Builds the new version of the destination and puts it in the destination's place
// through the safe write. On any failure the destination stays as it was.
template <typename Body>
bool rewriteDestination(const PatchBlock& block, PatchContext& context, TextEncoding encoding,
                        Body body) {
    TextInput destination;
    if (!platform::openTextInput(block.destination, encoding, destination)) {
        showError(context.errors, notExistMessage, {block.job.fileName, block.destination});
        return false;
    }
    TextOutput output = platform::createTextOutput(block.destination, encoding);
    if (body(destination, output) == RewriteOutcome::keep) {
        return true;
    }
    return reportWrite(platform::writeTextOutputSafely(output), block, context);
}

void appendAtEnd(const PatchBlock& block, PatchContext& context, TextEncoding encoding,
                 const std::u16string& source) {
    // Appending in place could leave a cut-off file after a failed write; the file is
    // rewritten whole instead, its old bytes untouched.
    std::string bytes;
    if (!platform::readWholeFile(block.destination, bytes)) {
        return;
    }
    TextInput input;
    if (!platform::openTextInput(source, encoding, input)) {
        return;
    }
    bytes += platform::encodeText(u"\n" + input.text, encoding);
    if (platform::writeFileSafely(block.destination, bytes) != platform::SafeWriteResult::written) {
        showError(context.errors, temporaryFileMessage);
    }
}

void applyAppend(const PatchBlock& block, PatchContext& context) {
    const std::u16string source = sourcePathOf(block);
    const auto encoding = commonEncoding(block, source, context);
    // `from` and `on` mean nothing to append: after the check and its messages, nothing.
    if (!encoding || block.condition == WhenCondition::from ||
        block.condition == WhenCondition::on) {
        return;
    }
    if (block.condition == WhenCondition::none) {
        appendAtEnd(block, context, *encoding, source);
        return;
    }
    std::u16string insert;
    if (!readInsertText(source, *encoding, insert, block, context)) {
        return;
    }
    bool found = false;
    const bool written =
        rewriteDestination(block, context, *encoding, [&](TextInput& in, TextOutput& out) {
            found = seekLines(in, block.anchorLines, &out);
            if (found) {
                if (block.condition == WhenCondition::after) {
                    writeLines(out, block.anchorLines, block.anchorLines.size());
                    platform::writeText(out, insert);
                } else {
                    platform::writeText(out, insert);
                    writeLines(out, block.anchorLines, block.anchorLines.size());
                }
                copyRest(in, out);
            }
            return RewriteOutcome::replace;
        });
    if (written && !found) {
        showComposedError(context.errors,
                          notContainedMessage(block, block.anchorLines, u"\nOperation aborted."));
    }
}

void applyReplace(const PatchBlock& block, PatchContext& context) {
    const std::u16string source = sourcePathOf(block);
    const auto encoding = commonEncoding(block, source, context);
    if (!encoding) {
        return;
    }
    std::u16string insert;
    if (!readInsertText(source, *encoding, insert, block, context)) {
        return;
    }
    bool anchorFound = false;
    bool toFound = false;
    const bool written =
        rewriteDestination(block, context, *encoding, [&](TextInput& in, TextOutput& out) {
            anchorFound = seekLines(in, block.anchorLines, &out);
            if (!anchorFound) {
                return RewriteOutcome::replace; // the same lines, rewritten
            }
            if (block.condition == WhenCondition::from) {
                toFound = seekLines(in, block.toLines, nullptr);
                if (!toFound) {
                    return RewriteOutcome::keep;
                }
            }
            if (block.condition == WhenCondition::on || block.condition == WhenCondition::from) {
                platform::writeChar(out, u'\n');
                platform::writeText(out, insert);
                platform::writeChar(out, u'\n');
            }
            copyRest(in, out);
            return RewriteOutcome::replace;
        });
    if (!written) {
        return;
    }
    if (!anchorFound) {
        showComposedError(context.errors,
                          notContainedMessage(block, block.anchorLines, u"Operation aborted."));
    } else if (block.condition == WhenCondition::from && !toFound) {
        showComposedError(context.errors,
                          notContainedMessage(block, block.toLines, u"\nOperation aborted."));
    }
}

void applyTranslate(const PatchBlock& block, PatchContext& context) {
    const std::u16string sourcePath = sourcePathOf(block);
    const auto encoding = commonEncoding(block, sourcePath, context);
    if (!encoding) {
        return;
    }
    TextInput source;
    if (!platform::openTextInput(sourcePath, *encoding, source)) {
        showError(context.errors, notExistMessage, {block.job.fileName, sourcePath});
        return;
    }
    rewriteDestination(block, context, *encoding, [&](TextInput& in, TextOutput& out) {
        mergeKeyedText(in, source, out, mergeTextCapacity);
        return RewriteOutcome::replace;
    });
}

void applyOverwrite(const PatchBlock& block) {
    // A failed copy is silent; the safe write never leaves the destination cut off.
    platform::copyFileSafely(sourcePathOf(block), block.destination);
}

// Windows opens a device, not a file, for these names, with any extension.
bool isDeviceName(std::u16string_view element) {
    std::u16string base(element.substr(0, element.find(u'.')));
    while (!base.empty() && base.back() == u' ') {
        base.pop_back();
    }
    for (char16_t& c : base) {
        c = platform::upperCase(c);
    }
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" ||
        base == u"CONOUT$") {
        return true;
    }
    return base.size() == 4 && (base.starts_with(u"COM") || base.starts_with(u"LPT")) &&
           base[3] >= u'1' && base[3] <= u'9';
}

} // namespace

bool staysInGameFolder(std::u16string_view path) {
    if (path.empty() || path.front() == u'\\') {
        return false; // rooted or UNC
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find(u'\\', start);
        const std::u16string_view element = path.substr(
            start, slash == std::u16string_view::npos ? std::u16string_view::npos : slash - start);
        // Windows drops trailing dots and blanks: "..." and ". ." name the same as "..".
        const std::size_t kept = element.find_last_not_of(u". ");
        if (kept == std::u16string_view::npos) {
            return false;
        }
        for (const char16_t c : element) {
            if (c == u':' || c == u'/' || c < 0x20) {
                return false;
            }
        }
        if (isDeviceName(element)) {
            return false;
        }
        if (slash == std::u16string_view::npos) {
            return true;
        }
        start = slash + 1;
    }
}

bool isGameDataPath(std::u16string_view path) {
    return staysInGameFolder(path) && path.size() > 5 && path[4] == u'\\' &&
           platform::equalsIgnoringCase(path.substr(0, 4), u"data");
}

void applyPatchBlock(const PatchBlock& block, PatchContext& context) {
    if (blockIsAcceptable(block, context)) {
        makeFoldersOnTheWay(block.destination);
        // No change without a kept original: the file is left as it was.
        if (backUpOnFirstTouch(block, context)) {
            switch (block.mode) {
            case PatchMode::overwrite:
                applyOverwrite(block);
                break;
            case PatchMode::append:
                applyAppend(block, context);
                break;
            case PatchMode::replace:
                applyReplace(block, context);
                break;
            case PatchMode::translate:
                applyTranslate(block, context);
                break;
            }
        } else {
            showError(context.errors,
                      u"Error while processing %s\n\nNo copy of %s could be kept before its "
                      u"change.\nOperation aborted.",
                      {block.job.fileName, block.destination});
        }
    }
    if (block.inlineText && block.source) {
        platform::deleteFile(*block.source);
    }
}
