#include "translation/translation_entry.h"

#include "catalogue/game_paths.h"
#include "patch/apply_patch_block.h"
#include "patch/merge_keyed_text.h"
#include "patch/open_texts.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

bool applyTranslationFile(const TranslationEntry& entry, std::u16string_view fileName,
                          PatchContext& context) {
    const std::u16string name(fileName);
    const std::u16string translationPath = joinPath(translationFolderPath(entry.folder), name);
    const std::u16string gamePath = gameTextPath(name);

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
    const platform::TextEncoding encoding = encodingOf(gameMode);
    std::string gameBytes;
    platform::TextInput translation;
    if (!platform::readWholeFile(gamePath, gameBytes) ||
        !platform::openTextInput(translationPath, encoding, translation)) {
        return true;
    }
    platform::TextInput game{platform::decodeText(gameBytes, encoding), 0};
    platform::TextOutput output = platform::createTextOutput(gamePath, encoding);
    mergeKeyedText(game, translation, output, translationTextCapacity);
    if (context.texts != nullptr && !context.texts->writes) {
        return true; // a check: everything a run would show is shown, nothing is written
    }
    // The cache goes first: should the work stop before the new text is in place, the game
    // rebuilds a missing cache from the old text, while a cache left beside the new text
    // would hide it. For the same reason a cache that cannot be deleted keeps the old text.
    const std::u16string cachePath = textCachePath(gamePath);
    if (!platform::deleteFile(cachePath) && !platform::pathMissing(cachePath)) {
        return true;
    }
    if (output.bytes == gameBytes) {
        return true; // translated already: the same text again is not written
    }
    // One step: at every moment the game file is either the old text or the translated one.
    switch (platform::writeTextOutputSafely(output)) {
    case platform::SafeWriteResult::noTemporaryFile:
    case platform::SafeWriteResult::writeFailed:
        showError(context.errors, temporaryFileMessage);
        return false;
    case platform::SafeWriteResult::placeFailed:
    case platform::SafeWriteResult::written:
        break;
    }
    return true;
}
