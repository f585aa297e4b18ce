#include "patch/apply_patch_block.h"

#include "catalogue/game_paths.h"
#include "patch/merge_keyed_text.h"
#include "patch/open_texts.h"
#include "platform/file_system.h"
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

bool isTouched(const PatchBlock& block, const PatchContext& context) {
    return context.touchedFiles != nullptr &&
           isFileTouched(*context.touchedFiles, block.destination);
}

// False when the destination exists and its original can be kept neither now nor when the
// file is written (it cannot be read): a change then would lose the original, so the block
// leaves the file alone and a later block offers it again.
bool backUpOnFirstTouch(const PatchBlock& block, PatchContext& context) {
    if (isTouched(block, context)) {
        return true;
    }
    // Without a run's list every block offers its file; the first copy still wins. The
    // original is kept when the file is written: a file that ends up unchanged keeps none.
    OpenTexts& texts = *context.texts;
    const std::u16string_view destination = block.destination;
    const std::u16string_view relative = destination.substr(destination.find(u'\\') + 1);
    const bool isKept = openTextExists(texts, keptCopyPath(relative)) ||
                        keepOriginalOnWrite(texts, destination, relative);
    if (isKept && context.touchedFiles != nullptr) {
        addTouchedFile(*context.touchedFiles, destination);
    }
    return isKept;
}

// The source's file mode; inline text has the mode of the file it would be.
FileMode modeOfSource(const PatchBlock& block, const std::u16string& source, OpenTexts& texts) {
    return block.inlineBytes ? fileModeOf(*block.inlineBytes) : openTextMode(texts, source);
}

// The existence and mode check: the block's encoding, or none after a message.
std::optional<TextEncoding> commonEncoding(const PatchBlock& block, const std::u16string& source,
                                           const PatchContext& context) {
    const FileMode destinationMode = openTextMode(*context.texts, block.destination);
    const FileMode sourceMode = modeOfSource(block, source, *context.texts);
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

// The source as read in the block's encoding; false when it cannot be read.
bool readSource(const PatchBlock& block, const std::u16string& path, TextEncoding encoding,
                std::u16string& text, OpenTexts& texts) {
    if (block.inlineBytes) {
        text = platform::decodeText(*block.inlineBytes, encoding);
        return true;
    }
    return readText(texts, path, encoding, text);
}

// The text a mode inserts: the source as read, with a line break after a last line that
// lacks one.
bool readInsertText(const std::u16string& path, TextEncoding encoding, std::u16string& text,
                    const PatchBlock& block, const PatchContext& context) {
    if (!readSource(block, path, encoding, text, *context.texts)) {
        showError(context.errors, notExistMessage, {block.job.fileName, path});
        return false;
    }
    if (!text.empty() && text.back() != u'\n') {
        text += u'\n';
    }
    return true;
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

TextChange changeBy(const PatchBlock& block, ChangeKind kind) {
    return {block.job.fileName, block.destination, kind};
}

// The destination's text as the run has it; null after the message when it cannot be read.
PieceText* destinationText(const PatchBlock& block, const PatchContext& context,
                           TextEncoding encoding) {
    PieceText* text = openText(*context.texts, block.destination, encoding);
    if (text == nullptr) {
        showError(context.errors, notExistMessage, {block.job.fileName, block.destination});
    }
    return text;
}

// From now on the destination holds its text as changed by the block (a rewrite that finds
// no anchor writes the same lines anew).
PieceText& rewrite(const PatchBlock& block, const PatchContext& context, TextEncoding encoding) {
    return *changeText(*context.texts, block.destination, encoding,
                       changeBy(block, ChangeKind::rewrite));
}

void appendAtEnd(const PatchBlock& block, PatchContext& context, TextEncoding encoding,
                 const std::u16string& source) {
    std::u16string appended = u"\n";
    std::u16string text;
    if (!readSource(block, source, encoding, text, *context.texts)) {
        return;
    }
    appended += text;
    appendText(*context.texts, block.destination, encoding, appended,
               changeBy(block, ChangeKind::appendAtEnd));
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
    PieceText* text = destinationText(block, context, *encoding);
    if (text == nullptr) {
        return;
    }
    const LinesFound anchor = findLines(*text, 0, block.anchorLines);
    PieceText& changed = rewrite(block, context, *encoding);
    if (!anchor.found) {
        showComposedError(context.errors,
                          notContainedMessage(block, block.anchorLines, u"\nOperation aborted."));
        return;
    }
    const std::size_t at = block.condition == WhenCondition::after ? anchor.last : anchor.first;
    replacePieces(changed, at, at, {insert});
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
    PieceText* text = destinationText(block, context, *encoding);
    if (text == nullptr) {
        return;
    }
    const LinesFound anchor = findLines(*text, 0, block.anchorLines);
    if (!anchor.found) {
        rewrite(block, context, *encoding); // the same lines, rewritten
        showComposedError(context.errors,
                          notContainedMessage(block, block.anchorLines, u"Operation aborted."));
        return;
    }
    std::size_t last = anchor.last;
    if (block.condition == WhenCondition::from) {
        const LinesFound to = findLines(*text, anchor.last, block.toLines);
        if (!to.found) {
            // The destination keeps its content.
            showComposedError(context.errors,
                              notContainedMessage(block, block.toLines, u"\nOperation aborted."));
            return;
        }
        last = to.last;
    }
    PieceText& changed = rewrite(block, context, *encoding);
    if (block.condition == WhenCondition::on || block.condition == WhenCondition::from) {
        replacePieces(changed, anchor.first, last, {u"\n", insert, u"\n"});
    } else {
        replacePieces(changed, anchor.first, last, {});
    }
}

void applyTranslate(const PatchBlock& block, PatchContext& context) {
    const std::u16string sourcePath = sourcePathOf(block);
    const auto encoding = commonEncoding(block, sourcePath, context);
    if (!encoding) {
        return;
    }
    TextInput source;
    if (!readSource(block, sourcePath, *encoding, source.text, *context.texts)) {
        showError(context.errors, notExistMessage, {block.job.fileName, sourcePath});
        return;
    }
    TextInput destination;
    if (!readText(*context.texts, block.destination, *encoding, destination.text)) {
        showError(context.errors, notExistMessage, {block.job.fileName, block.destination});
        return;
    }
    TextOutput output = platform::createTextOutput(block.destination, *encoding);
    mergeKeyedText(destination, source, output, mergeTextCapacity);
    replaceBytes(*context.texts, block.destination, std::move(output.bytes),
                 changeBy(block, ChangeKind::rewrite));
}

void applyOverwrite(const PatchBlock& block, PatchContext& context) {
    // A source that cannot be read changes nothing, silently.
    std::string bytes;
    if (block.inlineBytes) {
        bytes = *block.inlineBytes;
    } else if (!openBytes(*context.texts, sourcePathOf(block), bytes)) {
        return;
    }
    replaceBytes(*context.texts, block.destination, std::move(bytes),
                 changeBy(block, ChangeKind::overwrite));
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
    if (context.texts == nullptr) {
        // A block on its own holds its files for itself and writes them when it is done.
        OpenTexts texts;
        PatchContext own = context;
        own.texts = &texts;
        applyPatchBlock(block, own);
        writeOpenTexts(texts, context.errors);
        return;
    }
    if (blockIsAcceptable(block, context)) {
        // The folders were made at the file's first block of the run (a check makes none).
        if (!isTouched(block, context) && context.texts->writes) {
            makeFoldersOnTheWay(block.destination);
        }
        // No change without a kept original: the file is left as it was.
        if (backUpOnFirstTouch(block, context)) {
            switch (block.mode) {
            case PatchMode::overwrite:
                applyOverwrite(block, context);
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
    if (block.inlineText && block.source && !block.inlineBytes) {
        platform::deleteFile(*block.source);
    }
}
