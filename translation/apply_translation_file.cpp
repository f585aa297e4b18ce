#include "translation/translation_entry.h"

#include "patch/apply_patch_block.h"
#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

namespace {

// Room for one translated entry's text, its added line break and the old terminator.
constexpr std::size_t translationTextCapacity = 4000;

} // namespace

bool applyTranslationFile(const TranslationEntry& entry, std::u16string_view fileName,
                          PatchContext& context) {
    if (context.currentDirectory.empty()) {
        context.currentDirectory = platform::currentDirectory();
    }
    const std::u16string name(fileName);
    const std::u16string translationPath =
        u"data\\campaign\\translation\\" + entry.folder + u"\\" + name;
    const std::u16string gamePath = u"data\\text\\" + name;

    const FileMode gameMode = detectFileMode(gamePath);
    const FileMode translationMode = detectFileMode(translationPath);
    if (gameMode == FileMode::missing) {
        showError(context.errors,
                  u"Error while processing %s translation\n\nFile does not exist: %s",
                  {entry.name, name});
        return true;
    }
    if (gameMode != translationMode) {
        if (translationMode != FileMode::missing) {
            showError(context.errors,
                      u"Error while processing %s translation\nMode mismatch for file: %s",
                      {entry.name, name});
        }
        return true;
    }
    const platform::TextEncoding encoding = gameMode == FileMode::utf16
                                                ? platform::TextEncoding::Utf16
                                                : platform::TextEncoding::Bytes8;

    std::u16string temporaryPath;
    if (!platform::makeTemporaryFile(context.currentDirectory, temporaryPath)) {
        showError(context.errors, temporaryFileMessage);
        return false;
    }
    platform::TextInput game;
    platform::TextInput translation;
    if (!platform::openTextInput(gamePath, encoding, game) ||
        !platform::openTextInput(translationPath, encoding, translation)) {
        platform::deleteFile(temporaryPath);
        return true;
    }
    platform::TextOutput output = platform::createTextOutput(temporaryPath, encoding);
    mergeKeyedText(game, translation, output, translationTextCapacity);
    if (!platform::closeTextOutput(output)) {
        // The translated text never reached the disk whole: the game file stays as it was.
        platform::deleteFile(temporaryPath);
        showError(context.errors, temporaryFileMessage);
        return false;
    }
    // The cache goes first: should the work stop between the two steps, the game rebuilds a
    // missing cache from the old text, while a cache left beside the new text would hide it.
    // For the same reason a cache that cannot be deleted keeps the old text in place.
    const std::u16string cachePath = gamePath + u".strings.bin";
    const bool cacheGone = platform::deleteFile(cachePath) || !platform::pathExists(cachePath);
    // One step: at every moment the game file is either the old text or the translated one.
    if (!cacheGone || !platform::replaceFile(temporaryPath, gamePath)) {
        platform::deleteFile(temporaryPath);
    }
    return true;
}
