#include "patch/open_texts.h"

#include "backup/back_up_game_file.h"
#include "catalogue/game_paths.h"
#include "patch/patch_records.h"
#include "platform/safe_write.h"

#include <algorithm>
#include <vector>

namespace {

using platform::TextEncoding;

OpenText& created(OpenTexts& texts, std::u16string_view path, const std::u16string& key) {
    const std::size_t number = texts.files.size();
    texts.files.emplace_back();
    texts.files.back().readPath = std::u16string(path);
    texts.bySpelling[std::u16string(path)] = number;
    texts.byNameKey[key] = number;
    return texts.files.back();
}

// The entry of the file a path names, or null when the run knows no such file. An existing
// file gets its entry here (not yet read); its name key joins every spelling of it.
OpenText* findEntry(OpenTexts& texts, std::u16string_view path) {
    const std::u16string spelling(path);
    if (const auto known = texts.bySpelling.find(spelling); known != texts.bySpelling.end()) {
        return &texts.files[known->second];
    }
    const std::u16string key = platform::fileNameKey(path);
    if (const auto named = texts.byNameKey.find(key); named != texts.byNameKey.end()) {
        texts.bySpelling[spelling] = named->second;
        return &texts.files[named->second];
    }
    const auto instead = texts.readInstead.find(key);
    const std::u16string_view source =
        instead != texts.readInstead.end() ? std::u16string_view(instead->second) : path;
    platform::FileInfo info;
    if (!platform::fileInfo(source, info) || info.isFolder) {
        return nullptr;
    }
    OpenText& file = created(texts, path, key);
    file.readPath = source;
    return &file;
}

OpenText* find(OpenTexts& texts, std::u16string_view path) {
    OpenText* file = findEntry(texts, path);
    if (file != nullptr) {
        file->usedBy |= texts.user;
    }
    return file;
}

std::size_t heldBytesOf(const OpenText& file) {
    if (!file.loaded) {
        return 0;
    }
    return (file.bytes ? file.bytes->size() : 0) + (file.text ? heldBytes(*file.text) : 0);
}

// The file's content: its bytes, or the text's untouched first buffer, or the text written
// out into `scratch`.
std::string_view contentOf(const OpenText& file, std::string& scratch) {
    if (file.bytes) {
        return *file.bytes;
    }
    if (file.pristine) {
        return file.text->bytes.front();
    }
    scratch.clear();
    if (file.text->encoding == TextEncoding::Utf16) {
        scratch = "\xFF\xFE";
    }
    writePieceText(scratch, *file.text);
    return scratch;
}

std::string contentBytes(const OpenText& file) {
    std::string scratch;
    return std::string(contentOf(file, scratch));
}

void unload(OpenText& file) {
    file.bytes.reset();
    file.text.reset();
    file.pristine = false;
    file.loaded = false;
}

// Makes room down to the memory bound, oldest use first, never taking `keep`'s content.
void keepWithinBound(OpenTexts& texts, const OpenText* keep) {
    if (!texts.writes) {
        return; // a check holds everything: it may not write a temporary file
    }
    std::size_t held = 0;
    std::vector<OpenText*> loaded;
    for (OpenText& file : texts.files) {
        held += heldBytesOf(file);
        if (file.loaded && &file != keep) {
            loaded.push_back(&file);
        }
    }
    if (held <= texts.memoryBound) {
        return;
    }
    std::sort(loaded.begin(), loaded.end(),
              [](const OpenText* a, const OpenText* b) { return a->lastUse < b->lastUse; });
    for (OpenText* file : loaded) {
        if (held <= texts.memoryBound) {
            break;
        }
        const std::size_t freed = heldBytesOf(*file);
        if (file->changed && !file->spillCurrent) {
            std::u16string temporary;
            if (platform::prepareSafeWrite(file->writePath, contentOf(*file, texts.scratch),
                                           temporary) != platform::SafeWriteResult::written) {
                continue; // kept in memory; the end writes it
            }
            file->spill = temporary;
            file->spillCurrent = true;
        }
        unload(*file);
        held -= freed;
    }
}

bool load(OpenTexts& texts, OpenText& file) {
    file.lastUse = ++texts.uses;
    if (file.loaded) {
        return true;
    }
    std::string bytes;
    if (!platform::readWholeFile(file.spillCurrent ? file.spill : file.readPath, bytes)) {
        return false;
    }
    file.bytes = std::move(bytes);
    file.loaded = true;
    keepWithinBound(texts, &file);
    return true;
}

PieceText& textIn(OpenTexts& texts, OpenText& file, TextEncoding encoding) {
    if (file.text && file.text->encoding == encoding) {
        return *file.text;
    }
    std::string content = file.bytes ? std::move(*file.bytes) : contentBytes(file);
    if (encoding == TextEncoding::Bytes8) {
        // The bytes themselves become the text's first buffer.
        file.text = pieceTextOf(std::move(content), encoding);
        file.bytes.reset();
        file.pristine = true;
    } else {
        file.text = pieceTextOf(content, encoding);
        file.bytes = std::move(content);
        file.pristine = false;
    }
    keepWithinBound(texts, &file);
    return *file.text;
}

void noteChange(OpenTexts& texts, OpenText& file, const TextChange& change) {
    file.usedBy |= texts.user;
    file.changedBy |= texts.user;
    if (!file.changed) {
        file.changed = true;
        file.changeOrder = ++texts.changes;
        // Written under the spelling of the first change, as when each block writes in
        // turn: the first write names the file, later ones replace it under its name.
        file.writePath = change.destination;
    }
    file.change = change;
    if (!file.spill.empty()) {
        platform::deleteFile(file.spill); // it holds an earlier content now
        file.spill.clear();
        file.spillCurrent = false;
    }
}

void reportWrite(platform::SafeWriteResult result, const TextChange& change,
                 const ErrorSink& errors) {
    if (result == platform::SafeWriteResult::written || change.kind == ChangeKind::overwrite) {
        return; // a failed copy over a file says nothing
    }
    if (result == platform::SafeWriteResult::placeFailed && change.kind == ChangeKind::rewrite) {
        showError(errors,
                  u"Error while processing %s\n\nThe new version of %s could not take the "
                  u"old one's place.\nOperation aborted.",
                  {change.script, change.destination});
        return;
    }
    showError(errors, temporaryFileMessage);
}

// The new version, whole in a temporary file beside the game file, takes its place; the
// original, when it is to be kept, moves into the backup tree right before (a failed place
// moves it back). A file whose original cannot be kept stays as it was.
platform::SafeWriteResult writeChanged(OpenText& file, std::string& scratch) {
    using platform::SafeWriteResult;
    if (file.keepAs.empty()) {
        return file.spillCurrent ? platform::placeSafeWrite(file.spill, file.writePath)
                                 : platform::writeFileSafely(file.writePath, contentOf(file, scratch));
    }
    std::u16string temporary = file.spill;
    if (!file.spillCurrent) {
        const SafeWriteResult prepared =
            platform::prepareSafeWrite(file.writePath, contentOf(file, scratch), temporary);
        if (prepared != SafeWriteResult::written) {
            return prepared;
        }
    }
    const KeptAs kept = backUpGameFile(file.readPath, file.keepAs);
    if (kept == KeptAs::nothing) {
        platform::deleteFile(temporary);
        return SafeWriteResult::placeFailed;
    }
    if (platform::placeSafeWrite(temporary, file.writePath) == SafeWriteResult::written) {
        return SafeWriteResult::written;
    }
    if (kept == KeptAs::moved) {
        platform::renameFile(keptCopyPath(file.keepAs), file.readPath);
    }
    return SafeWriteResult::placeFailed;
}

void forget(OpenTexts& texts) {
    texts.files.clear();
    texts.bySpelling.clear();
    texts.byNameKey.clear();
}

std::vector<OpenText*> changedInOrder(OpenTexts& texts) {
    std::vector<OpenText*> changed;
    for (OpenText& file : texts.files) {
        if (file.changed) {
            changed.push_back(&file);
        }
    }
    std::sort(changed.begin(), changed.end(), [](const OpenText* a, const OpenText* b) {
        return a->changeOrder < b->changeOrder;
    });
    return changed;
}

} // namespace

FileMode openTextMode(OpenTexts& texts, std::u16string_view path) {
    OpenText* file = find(texts, path);
    if (file == nullptr || !load(texts, *file)) {
        return FileMode::missing;
    }
    if (file->bytes || file->pristine) {
        return fileModeOf(contentOf(*file, texts.scratch).substr(0, 2));
    }
    if (file->text->encoding == TextEncoding::Utf16) {
        return FileMode::utf16; // written with its byte-order mark
    }
    return fileModeOf(writtenStart(*file->text, 2)); // what the text is written as
}

PieceText* openText(OpenTexts& texts, std::u16string_view path, TextEncoding encoding) {
    OpenText* file = find(texts, path);
    if (file == nullptr || !load(texts, *file)) {
        return nullptr;
    }
    return &textIn(texts, *file, encoding);
}

bool readText(OpenTexts& texts, std::u16string_view path, TextEncoding encoding,
              std::u16string& text) {
    OpenText* file = find(texts, path);
    if (file == nullptr || !load(texts, *file)) {
        return false;
    }
    text = platform::decodeText(contentOf(*file, texts.scratch), encoding);
    return true;
}

bool openBytes(OpenTexts& texts, std::u16string_view path, std::string& bytes) {
    OpenText* file = find(texts, path);
    if (file == nullptr || !load(texts, *file)) {
        return false;
    }
    bytes = contentOf(*file, texts.scratch);
    return true;
}

bool openTextExists(OpenTexts& texts, std::u16string_view path) {
    const std::u16string key = platform::fileNameKey(path);
    if (texts.bySpelling.count(std::u16string(path)) != 0 || texts.byNameKey.count(key) != 0) {
        return true;
    }
    const auto instead = texts.readInstead.find(key);
    return platform::pathExists(instead != texts.readInstead.end() ? instead->second : path);
}

bool keepOriginalOnWrite(OpenTexts& texts, std::u16string_view path, std::u16string_view relative) {
    OpenText* file = find(texts, path);
    if (file == nullptr) {
        return platform::pathMissing(path); // surely nothing there to keep
    }
    if (file->changed || !file->keepAs.empty()) {
        return true; // dealt with at the first change
    }
    if (!load(texts, *file)) {
        return false;
    }
    file->keepAs = relative;
    return true;
}

PieceText* changeText(OpenTexts& texts, std::u16string_view path, TextEncoding encoding,
                      const TextChange& change) {
    OpenText* file = find(texts, path);
    if (file == nullptr || !load(texts, *file)) {
        return nullptr;
    }
    PieceText& text = textIn(texts, *file, encoding);
    // The text, as a rewrite writes it, is the content from now on.
    file->bytes.reset();
    file->pristine = false;
    noteChange(texts, *file, change);
    return &text;
}

void replaceBytes(OpenTexts& texts, std::u16string_view path, std::string bytes,
                  const TextChange& change) {
    OpenText* file = find(texts, path);
    if (file == nullptr) {
        file = &created(texts, path, platform::fileNameKey(path));
    }
    noteChange(texts, *file, change);
    file->bytes = std::move(bytes);
    file->text.reset();
    file->pristine = false;
    file->loaded = true;
    file->lastUse = ++texts.uses;
    keepWithinBound(texts, file);
}

bool appendText(OpenTexts& texts, std::u16string_view path, TextEncoding encoding,
                std::u16string_view appended, const TextChange& change) {
    OpenText* file = find(texts, path);
    if (file == nullptr || !load(texts, *file)) {
        return false;
    }
    if (file->text && !file->bytes && !file->pristine && file->text->encoding == encoding) {
        // The text is the content: the appended text goes on at its end.
        const std::size_t end = file->text->pieces.size();
        replacePieces(*file->text, end, end, {appended});
    } else {
        // The bytes as they are, the appended text encoded after them.
        std::string bytes = file->bytes     ? std::move(*file->bytes)
                            : file->pristine ? std::move(file->text->bytes.front())
                                             : contentBytes(*file);
        bytes += platform::encodeText(appended, encoding);
        file->bytes = std::move(bytes);
        file->text.reset();
        file->pristine = false;
    }
    noteChange(texts, *file, change);
    keepWithinBound(texts, file);
    return true;
}

std::vector<std::pair<std::u16string, std::string>> takeChangedTexts(OpenTexts& texts) {
    std::vector<std::pair<std::u16string, std::string>> contents;
    for (OpenText* file : changedInOrder(texts)) {
        std::string content;
        if (file->bytes) {
            content = std::move(*file->bytes);
        } else if (file->pristine) {
            content = std::move(file->text->bytes.front());
        } else {
            contentOf(*file, content); // written out into `content` itself
        }
        contents.emplace_back(file->writePath, std::move(content));
    }
    forget(texts);
    return contents;
}

void writeOpenTexts(OpenTexts& texts, const ErrorSink& errors) {
    for (OpenText* file : texts.writes ? changedInOrder(texts) : std::vector<OpenText*>{}) {
        reportWrite(writeChanged(*file, texts.scratch), file->change, errors);
        unload(*file);
    }
    forget(texts);
}
