// The translation packs, file by file: what a translation run shows, by the run's own code
// on open texts that never write; then, where the run would merge, what it would do quietly:
// keys of the pack the game file lacks (ignored), keys given twice (one of them counts),
// texts longer than a translation entry holds, and the game keys left untranslated.
#include "check.h"

#include "catalogue/game_paths.h"
#include "patch/merge_keyed_text.h"
#include "patch/open_texts.h"
#include "platform/file_system.h"
#include "platform/unicode.h"
#include "translation/translation_entry.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

namespace {

bool readDecoded(std::u16string_view path, platform::TextEncoding encoding, std::u16string& text) {
    std::string bytes;
    if (!platform::readWholeFile(path, bytes)) {
        return false;
    }
    text = platform::decodeText(bytes, encoding);
    return true;
}

// The lines of the given places, in words: "line 3", "lines 3, 7".
std::u16string linesText(const std::set<long>& lines) {
    std::u16string text = lines.size() == 1 ? u"line " : u"lines ";
    bool first = true;
    for (const long line : lines) {
        text += (first ? u"" : u", ") + numberText(static_cast<std::size_t>(line));
        first = false;
    }
    return text;
}

void checkPackFile(const TranslationEntry& pack, const std::u16string& fileName,
                   CheckReport& report) {
    const std::u16string packPath = joinPath(translationFolderPath(pack.folder), fileName);
    const std::u16string gamePath = gameTextPath(fileName);
    OpenTexts texts;
    texts.writes = false;
    std::vector<std::u16string> messages;
    PatchContext context{ErrorSink{[&](const std::u16string& text) { messages.push_back(text); }},
                         nullptr, &texts};
    applyTranslationFile(pack, fileName, context);
    for (const std::u16string& message : messages) {
        report.findings.push_back({packPath, 0, Severity::error, message});
    }
    const FileMode mode = detectFileMode(gamePath);
    if (!messages.empty() || mode == FileMode::missing || mode != detectFileMode(packPath)) {
        return; // the run does not merge this file
    }
    std::u16string game, translation;
    if (!readDecoded(gamePath, encodingOf(mode), game) ||
        !readDecoded(packPath, encodingOf(mode), translation)) {
        return;
    }
    // Which of the pack's keys the merge takes: a key given twice counts where the merge's
    // search meets it, which depends on the order of both files.
    std::vector<std::size_t> taken;
    {
        platform::TextInput destination{game, 0}, source{translation, 0};
        platform::TextOutput output = platform::createTextOutput(gamePath, encodingOf(mode));
        mergeKeyedText(destination, source, output, translationTextCapacity, &taken);
    }
    const std::set<std::size_t> takenAt(taken.begin(), taken.end());

    const std::vector<KeyedTextEntry> gameEntries = keyedTextEntries(game);
    const std::vector<KeyedTextEntry> packEntries = keyedTextEntries(translation);
    const auto keyOf = [](std::u16string_view text, const KeyedTextEntry& entry) {
        return text.substr(entry.keyStart, entry.keyEnd - entry.keyStart);
    };
    std::set<std::u16string_view> gameKeys;
    for (const KeyedTextEntry& entry : gameEntries) {
        gameKeys.insert(keyOf(game, entry));
    }
    // By key: the pack's lines of it, and those the merge takes.
    std::map<std::u16string_view, std::pair<std::vector<long>, std::set<long>>> packKeys;
    for (const KeyedTextEntry& entry : packEntries) {
        const std::u16string_view key = keyOf(translation, entry);
        const std::u16string shown(key);
        if (gameKeys.count(key) == 0) {
            report.findings.push_back({packPath, entry.line, Severity::warning,
                                       shown + u" is not in " + gamePath + u": a run ignores it"});
            packKeys[key].first.push_back(entry.line);
            continue;
        }
        auto& [lines, takenLines] = packKeys[key];
        lines.push_back(entry.line);
        if (takenAt.count(entry.keyStart) != 0) {
            takenLines.insert(entry.line);
        }
        std::u16string_view text(translation);
        text = text.substr(entry.keyEnd, entry.textEnd - entry.keyEnd);
        if (!text.empty() && text.back() == u'\n') {
            text.remove_suffix(1);
        }
        // The text, the line break the merge may add and the old terminator.
        if (text.size() + 2 > translationTextCapacity) {
            report.findings.push_back(
                {packPath, entry.line, Severity::warning,
                 u"the text of " + shown + u" has " + numberText(text.size()) +
                     u" characters, more than the " + numberText(translationTextCapacity - 2) +
                     u" a translation entry holds: a run writes it whole"});
        }
    }
    std::set<std::u16string_view> met;
    for (const KeyedTextEntry& entry : packEntries) {
        const std::u16string_view key = keyOf(translation, entry);
        const auto& [lines, takenLines] = packKeys[key];
        if (met.insert(key).second || gameKeys.count(key) == 0) {
            continue; // the first of its key, or one the run ignores anyway
        }
        report.findings.push_back({packPath, entry.line, Severity::warning,
                                   std::u16string(key) + u" given again (first at line " +
                                       numberText(static_cast<std::size_t>(lines.front())) +
                                       u"): a run uses the one at " + linesText(takenLines)});
    }

    std::vector<std::u16string> untranslated;
    std::set<std::u16string_view> listed;
    for (const KeyedTextEntry& entry : gameEntries) {
        const std::u16string_view key = keyOf(game, entry);
        if (packKeys.count(key) == 0 && listed.insert(key).second) {
            untranslated.emplace_back(key);
        }
    }
    report.untranslated.emplace_back(packPath, std::move(untranslated));
}

} // namespace

void checkTranslations(const Catalogue& catalogue, const CheckOptions& options,
                       CheckReport& report) {
    for (const TranslationEntry& pack : catalogue.translationList) {
        if (!isChosen(options.packs, pack.fileName)) {
            continue;
        }
        ++report.packs;
        // The files a run applies: those its listing of the pack folder gives (a pack without
        // a folder, or whose folder is missing, is a descriptor finding).
        std::vector<platform::FolderEntry> files;
        if (pack.folder.empty() ||
            !platform::listFolder(joinPath(translationFolderPath(pack.folder), u"*.txt"), files)) {
            continue;
        }
        for (const platform::FolderEntry& file : files) {
            if (!file.isFolder) {
                checkPackFile(pack, file.name, report);
            }
        }
    }
}
