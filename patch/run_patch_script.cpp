#include "patch/run_patch_script.h"

#include "patch/apply_patch_block.h"
#include "patch/open_texts.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using platform::TextInput;

// One read takes at most 1999 characters of a descriptor line; the rest of a longer line
// is read as the next line.
constexpr std::size_t linePiece = 1999;
constexpr std::size_t keywordLength = 9;
constexpr std::size_t withWordLength = 5;
constexpr std::size_t conditionLength = 9;
constexpr std::size_t pathLength = 259;
constexpr std::size_t textLineLimit = 30;

constexpr std::array<std::u16string_view, 9> inlineTextEnders = {
    u"overwrite", u"replace", u"append",  u"to:", u"translate",
    u"from:",     u"after:",  u"before:", u"on:"};
constexpr std::array<std::u16string_view, 6> textEnders = {u"overwrite", u"replace",   u"append",
                                                           u"to:",       u"translate", u"<end>"};

template <std::size_t N>
bool beginsWithAny(std::u16string_view line, const std::array<std::u16string_view, N>& starts) {
    for (const auto start : starts) {
        if (line.starts_with(start)) {
            return true;
        }
    }
    return false;
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The words of a line: runs of characters without blanks, tabs or line breaks (a stray
// carriage return counts as a blank, so that it never ends up in a path).
std::vector<std::u16string_view> wordsOf(std::u16string_view line) {
    std::vector<std::u16string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

// Word number `n` (from 1) cut to `length` characters; none when the line has fewer words.
std::optional<std::u16string> word(const std::vector<std::u16string_view>& words, std::size_t n,
                                   std::size_t length) {
    if (words.size() < n) {
        return std::nullopt;
    }
    return std::u16string(words[n - 1].substr(0, length));
}

struct Reader {
    const ScriptJob& job;
    PatchContext& context;
    TextInput input;

    bool readLine(std::u16string& line) { return platform::readLinePiece(input, linePiece, line); }

    // The line number (from 1) of a position; positions asked for only grow.
    std::size_t countedTo = 0;
    long countedLines = 1;
    long lineAt(std::size_t position) {
        for (; countedTo < position && countedTo < input.text.size(); ++countedTo) {
            countedLines += input.text[countedTo] == u'\n';
        }
        return countedLines;
    }

    void show(std::u16string_view pattern) {
        showError(context.errors, pattern, {job.descriptorPath});
    }

    // Anchor text and to-text: up to 30 lines, each with a line break, ending before a
    // line that starts a new block, a "to:" or an "<end>" (which is then read again);
    // blank lines at its end are dropped.
    std::vector<std::u16string> readText() {
        std::vector<std::u16string> lines;
        std::u16string line;
        while (lines.size() < textLineLimit) {
            const std::size_t lineStart = input.position;
            if (!readLine(line)) {
                break;
            }
            if (beginsWithAny(line, textEnders)) {
                input.position = lineStart;
                break;
            }
            if (line.back() != u'\n') {
                line += u'\n';
            }
            lines.push_back(line);
        }
        while (!lines.empty() && lines.back() == u"\n") {
            lines.pop_back();
        }
        return lines;
    }
};

bool findFilesSection(Reader& reader) {
    std::u16string line;
    while (true) {
        const std::size_t lineStart = reader.input.position;
        if (!reader.readLine(line)) {
            return false;
        }
        if (line.starts_with(u"[files]")) {
            reader.input.position = lineStart;
            return true;
        }
    }
}

enum class InlineOutcome { ready, abandoned };

// Collects the inline text after a "with:" head, as a file in the destination's encoding
// would hold it, and finds the condition word. The line that ends the text is used up.
InlineOutcome readInlineText(Reader& reader, const std::u16string& head, PatchBlock& block,
                             std::optional<std::u16string>& conditionWord) {
    const FileMode mode = openTextMode(*reader.context.texts, block.destination);
    if (mode == FileMode::missing) {
        showError(reader.context.errors, temporaryFileMessage);
        return InlineOutcome::abandoned;
    }
    platform::TextOutput output = platform::createTextOutput(u"", encodingOf(mode));
    std::optional<std::u16string> conditionLine;
    std::u16string line;
    while (reader.readLine(line)) {
        if (beginsWithAny(line, inlineTextEnders)) {
            conditionLine = line;
            break;
        }
        platform::writeText(output, line);
    }
    // Named in messages as the temporary file it stands for.
    static unsigned inlineTexts = 0;
    block.source = u".\\" + platform::temporaryFileName(++inlineTexts & 0xFFFFFF);
    block.inlineText = true;
    block.inlineBytes = std::move(output.bytes);

    // The condition word is the fifth word of the head line followed by "nothing " and the
    // condition line: for the usual three-word head, the condition line's first word.
    std::u16string formed = head;
    if (conditionLine) {
        if (!formed.empty() && formed.back() == u'\n') {
            formed.back() = u' ';
        } else {
            formed += u' ';
        }
        formed += u"nothing ";
        formed += *conditionLine;
        formed = formed.substr(0, linePiece);
    }
    conditionWord = word(wordsOf(formed), 5, conditionLength);
    return InlineOutcome::ready;
}

enum class BlockOutcome { goOn, stop };

BlockOutcome readBlock(Reader& reader, const std::u16string& line) {
    const auto words = wordsOf(line);
    if (words.empty()) {
        return BlockOutcome::goOn;
    }
    PatchBlock block;
    block.job = reader.job;
    const std::u16string keyword = *word(words, 1, keywordLength);
    if (keyword == u"append") {
        block.mode = PatchMode::append;
    } else if (keyword == u"overwrite") {
        block.mode = PatchMode::overwrite;
    } else if (keyword == u"replace") {
        block.mode = PatchMode::replace;
    } else if (keyword == u"translate") {
        block.mode = PatchMode::translate;
    } else {
        if (keyword != u"<end>") {
            reader.show(u"Cannot read the start-keyword in file %s\nValid keywords are: append, "
                        u"translate, overwrite, replace");
        }
        return BlockOutcome::goOn;
    }
    const auto destination = word(words, 2, pathLength);
    if (!destination) {
        reader.show(u"Cannot read the destination file in %s");
        return BlockOutcome::goOn;
    }
    block.destination = *destination;
    const auto withWord = word(words, 3, withWordLength);
    if (!withWord) {
        applyPatchBlock(block, reader.context);
        return BlockOutcome::goOn;
    }
    std::optional<std::u16string> conditionWord;
    if (*withWord == u"with:") {
        if (readInlineText(reader, line, block, conditionWord) == InlineOutcome::abandoned) {
            return BlockOutcome::goOn;
        }
    } else if (*withWord == u"with") {
        block.source = word(words, 4, pathLength).value_or(u"");
        conditionWord = word(words, 5, conditionLength);
    } else {
        reader.show(u"Cannot read the with-keyword in file %s");
        return BlockOutcome::goOn;
    }

    if (!conditionWord) {
        block.condition = WhenCondition::none;
        applyPatchBlock(block, reader.context);
        return BlockOutcome::goOn;
    }
    if (*conditionWord == u"after:") {
        block.condition = WhenCondition::after;
    } else if (*conditionWord == u"before:") {
        block.condition = WhenCondition::before;
    } else if (*conditionWord == u"from:") {
        block.condition = WhenCondition::from;
    } else if (*conditionWord == u"on:") {
        block.condition = WhenCondition::on;
    } else {
        reader.show(u"Cannot read the when-condition in file %s\nValid conditions are: from, on, "
                    u"before, after");
        return BlockOutcome::goOn;
    }
    block.anchorLines = reader.readText();
    if (block.condition == WhenCondition::from) {
        std::u16string toLine;
        if (!reader.readLine(toLine) || !toLine.starts_with(u"to:")) {
                reader.show(u"Cannot find the to-condition in file %s");
            return BlockOutcome::stop;
        }
        block.toLines = reader.readText();
    }
    applyPatchBlock(block, reader.context);
    return BlockOutcome::goOn;
}

} // namespace

bool runPatchScript(const ScriptJob& job, PatchContext& context) {
    if (context.texts == nullptr) {
        // A script on its own holds its files for itself and writes them when it is done.
        OpenTexts texts;
        PatchContext own = context;
        own.texts = &texts;
        const bool read = runPatchScript(job, own);
        writeOpenTexts(texts, context.errors);
        return read;
    }
    Reader reader{job, context, {}};
    // Read as the run has it: an earlier script may have changed this descriptor.
    if (!readText(*context.texts, job.descriptorPath, platform::TextEncoding::Bytes8,
                  reader.input.text)) {
        return true;
    }
    if (!findFilesSection(reader)) {
        reader.show(u"There seems to be no [files] section inside the file %s");
        return false;
    }
    std::u16string line;
    for (std::size_t lineStart = reader.input.position; reader.readLine(line);
         lineStart = reader.input.position) {
        // Section headers, "[files]" itself included, are passed over: the section runs to
        // the end of the file.
        if (line.front() == u'[') {
            continue;
        }
        if (context.atBlock) {
            context.atBlock(reader.lineAt(lineStart));
        }
        if (readBlock(reader, line) == BlockOutcome::stop) {
            return false;
        }
    }
    return true;
}
