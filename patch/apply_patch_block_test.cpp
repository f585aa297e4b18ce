#include "patch/apply_patch_block.h"

#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

namespace {

using platform::TextEncoding;
using namespace testing_support;
using Texts = std::vector<std::u16string>;
using enum PatchMode;
using enum WhenCondition;

const ScriptJob job = {u"mod", u"data\\campaign\\sub\\mod.txt", u"mod.txt"};
const std::u16string names = u"data\\text\\names.txt";
const std::u16string extra = u"data\\campaign\\sub\\mod\\extra.txt";
const std::u16string head = u"Error while processing mod.txt\n\n";

PatchBlock makeBlock(PatchMode mode, WhenCondition condition, Texts anchor = {}, Texts to = {},
                     std::u16string source = u"extra.txt") {
    return {job, mode, names, source, false, {}, condition, std::move(anchor), std::move(to)};
}

PatchBlock writing(std::u16string destination, PatchBlock block) {
    block.destination = std::move(destination);
    return block;
}

std::u16string notContained(const Texts& lines, std::u16string_view end) {
    std::u16string message = head + u"File " + names + u" does not contain:\n";
    for (const auto& line : lines) {
        message += line;
    }
    return message + std::u16string(end) + u"Operation aborted.";
}

// A scratch game folder with names.txt and extra.txt ("<missing>": none) and a context that
// records messages. A run restores the backup tree first, which leaves its root in place.
struct Game {
    ScratchFolder scratch;
    ErrorRecorder errors;
    TouchedFileList touched;
    PatchContext context{errors.sink(), &touched};

    explicit Game(std::string_view text = "A\nB\n", std::string_view source = "N\r\n") {
        makeFolders(u"data\\campaign\\backup");
        if (text != "<missing>") {
            writeFile(names, text);
        }
        if (source != "<missing>") {
            writeFile(extra, source);
        }
    }
    // names.txt afterwards.
    std::string apply(const PatchBlock& block) {
        applyPatchBlock(block, context);
        EXPECT_EQ(temporaryFilesLeft(), 0u);
        return readFile(names);
    }
};

class WorkedExample : public ::testing::TestWithParam<TextEncoding> {};

// Every mode and condition on one small file, then the anchor rules. An empty `after`: the
// anchor is not found, the block says so and rewrites the lines as they were.
TEST_P(WorkedExample, EveryModeAndConditionAndTheAnchorRules) {
    const auto lines = [this](std::u16string_view text) {
        const std::string bom = GetParam() == TextEncoding::Utf16 ? "\xFF\xFE" : "";
        return bom + platform::encodeText(text, GetParam());
    };
    const Texts a = {u"{A} one\n"}, b = {u"{B} two\n"}, ab = {u"A\n", u"B\n"};
    const std::u16string abc = u"{A} one\n{B} two\n{C} three\n", banner(translationBanner);
    const struct {
        PatchBlock block;
        std::u16string after, before = u"{A} one\n{B} two\n{C} three\n", source = u"{X} new\n";
    } cases[] = {
        {makeBlock(append, after, b), u"{A} one\n{B} two\n{X} new\n{C} three\n"},
        {makeBlock(append, before, b), u"{A} one\n{X} new\n{B} two\n{C} three\n"},
        {makeBlock(append, none), abc + u"\n{X} new\n"},
        {makeBlock(replace, on, b), u"{A} one\n\n{X} new\n\n{C} three\n"},
        {makeBlock(replace, from, a, b), u"\n{X} new\n\n{C} three\n"},
        {makeBlock(replace, after, b), u"{A} one\n{C} three\n"},
        {makeBlock(replace, before, b), u"{A} one\n{C} three\n"},
        // append with from or on does nothing (after the existence and mode check).
        {makeBlock(append, on, b), abc},
        {makeBlock(append, from, a, b), abc},
        {makeBlock(translate, none), banner + abc},
        {makeBlock(overwrite, none), u"{X} new\n"},
        // An appended last line without a line break gets none (nor a second byte-order
        // mark); without a source the script's file of the destination's name is read.
        {makeBlock(append, none), u"{A} one\n\n{X} new", u"{A} one\n", u"{X} new"},
        {makeBlock(translate, none, {}, {}, u""), banner + u"{A} un\n{B} two\n{C} three\n"},
        // The first whole match counts; a match that breaks off goes on after the line that
        // broke it; the end of the file ends a match; case counts; a blank line is a line.
        {makeBlock(append, after, ab), u"A\nx\nA\nB\n{X} new\nC\n", u"A\nx\nA\nB\nC\n"},
        {makeBlock(append, after, ab), u"A\nB\n{X} new\nA\nB\n", u"A\nB\nA\nB\n"},
        {makeBlock(append, after, ab), u"", u"A\nA\nB\n"},
        {makeBlock(append, after, ab), u"", u"x\nA\n"},
        {makeBlock(append, after, {u"A\n"}), u"", u"x\nA"},
        {makeBlock(append, after, {u"A\n"}), u"", u"a\n"},
        {makeBlock(append, after, {u"\n"}), u"x\n\n{X} new\ny\n", u"x\n\ny\n"},
    };
    for (const auto& c : cases) {
        Game game(lines(c.before), lines(c.source));
        writeFile(u"data\\campaign\\sub\\mod\\names.txt", lines(u"{A} un"));
        const bool found = !c.after.empty();
        EXPECT_EQ(game.apply(c.block), lines(found ? c.after : c.before)) << utf8(c.after);
        EXPECT_EQ(game.errors.texts,
                  found ? Texts{} : Texts{notContained(c.block.anchorLines, u"\n")})
            << utf8(c.before);
    }
}

INSTANTIATE_TEST_SUITE_P(BothEncodings, WorkedExample,
                         ::testing::Values(TextEncoding::Bytes8, TextEncoding::Utf16));

TEST(ApplyPatchBlock, MessagesAndWhatTheBlockLeaves) {
    const std::u16string incompatible = head + u"These two files are incompatible: " + names +
                                        u" and " + extra +
                                        u".\nUnicode files will accept only unicode input.";
    const auto aborted = [](std::u16string_view text) {
        return head + std::u16string(text) + u".\nOperation aborted.";
    };
    const std::string wide = "\xFF\xFE" + std::string("A\0", 2);
    const struct {
        PatchBlock block;
        std::u16string message;
        std::string text = "A", source = "N"; // "<missing>": none
        std::string after = "";               // names.txt when changed
        bool refused = true;                  // nothing in the game folder changes
    } cases[] = {
        // The existence and mode check, for every mode and condition that runs it.
        {makeBlock(append, after, {u"A\n"}),
         head + u"These two files do not exist: " + names + u" and " + extra, "<missing>",
         "<missing>", "", false},
        {makeBlock(append, on, {u"A\n"}), head + u"File does not exist: " + names, "<missing>", "N",
         "", false},
        {makeBlock(append, from, {u"A\n"}), head + u"File does not exist: " + extra, "A",
         "<missing>", "", false},
        {makeBlock(replace, on, {u"A\n"}), incompatible, wide, "N", "", false},
        {makeBlock(translate, none), incompatible, "A", wide, "", false},
        // A from block without its to-text keeps the file; a missing anchor rewrites it.
        {makeBlock(replace, from, {u"B\n"}, {u"Z 100%d\n"}), notContained({u"Z 100%d\n"}, u"\n"),
         "A\nB\nC\n", "N", "", false},
        {makeBlock(replace, on, {u"Q\n"}), notContained({u"Q\n"}, u""), "A\nB\n", "N", "A\r\nB\r\n",
         false},
        // Blocks that must not run at all touch nothing.
        {writing(u"data\\..\\e", makeBlock(overwrite, none)),
         aborted(u"The destination data\\..\\e lies outside the game folder")},
        {writing(u"readme.txt", makeBlock(overwrite, none)),
         aborted(u"The destination readme.txt is not a file in the data folder")},
        {makeBlock(append, none, {}, {}, u"..\\s.txt"),
         aborted(u"The source ..\\s.txt lies outside the script's folder")},
        {makeBlock(replace, none), aborted(u"The replace block for " + names +
                                           u" has no condition (on, from, before or after)")},
        {makeBlock(append, before),
         aborted(u"The block for " + names + u" has an empty anchor text")},
        {makeBlock(replace, from, {u"A\n"}),
         aborted(u"The from block for " + names + u" has an empty to-text")},
        {makeBlock(replace, on, {u"A\n"}, {}, u""),
         aborted(u"No source file is given for " + names)},
    };
    for (const auto& c : cases) {
        Game game(c.text, c.source);
        const Snapshot start = snapshot();
        EXPECT_EQ(game.apply(c.block), c.after.empty() ? c.text : c.after) << utf8(c.message);
        EXPECT_EQ(game.errors.texts, Texts{c.message});
        if (c.refused) {
            EXPECT_EQ(describe(snapshot(), start), "") << utf8(c.message);
        }
    }
}

// The replace, the write of the temporary file and its making fail in turn (counted from
// the end of a clean run): the message names the step and the destination stays as it was;
// its kept copy stays the original when the game file is later changed in place.
TEST(ApplyPatchBlock, AFailedWriteSaysWhichStepFailedAndKeepsTheDestination) {
    const PatchBlock block = makeBlock(append, after, {u"A\n"});
    long operations = 0;
    {
        Game game;
        platform::setFaultPlan({});
        applyPatchBlock(block, game.context);
        operations = platform::fileOperationCount();
    }
    const std::u16string place = head + u"The new version of " + names +
                                 u" could not take the old one's place.\nOperation aborted.";
    const std::u16string_view messages[] = {place, temporaryFileMessage, temporaryFileMessage};
    for (long fromEnd = 0; fromEnd < 3; ++fromEnd) {
        Game game;
        platform::setFaultPlan({.failOperation = operations - fromEnd});
        EXPECT_EQ(game.apply(block), "A\nB\n");
        EXPECT_EQ(game.errors.texts, Texts{std::u16string(messages[fromEnd])});
        ASSERT_TRUE(platform::appendToFile(names, "edited"));
        EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "A\nB\n");
    }
}

TEST(ApplyPatchBlock, KeepsTheOriginalAtTheFirstTouchOfEachPathAsWritten) {
    Game game("A\r\n");
    for (const auto& path : {names, names, std::u16string(u"data\\text\\Names.txt")}) {
        game.apply(writing(path, makeBlock(append, none)));
    }
    EXPECT_EQ(game.touched.names, (Texts{names, u"data\\text\\Names.txt"}));
    ASSERT_TRUE(platform::appendToFile(names, "edited"));
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "A\r\n");
    // Without a kept original the game file is not changed.
    Game blocked("A\r\n");
    removeTree(u"data\\campaign\\backup");
    writeFile(u"data\\campaign\\backup", "a file where the backup tree belongs");
    EXPECT_EQ(blocked.apply(makeBlock(append, none)), "A\r\n");
    EXPECT_EQ(blocked.errors.texts,
              Texts{head + u"No copy of " + names +
                    u" could be kept before its change.\nOperation aborted."});
    EXPECT_TRUE(blocked.touched.names.empty());
}

TEST(ApplyPatchBlock, OverwriteMakesFoldersAndInlineTextFilesAreDeleted) {
    Game game("A\r\n", "<missing>");
    writeFile(u"data\\campaign\\sub\\mod\\new.bin", std::string("\0\1\2", 3));
    PatchBlock block = writing(u"data\\world\\new.bin", makeBlock(overwrite, none, {}, {}, u""));
    game.apply(block);
    block.source = u"missing.bin";
    game.apply(block); // a failed copy is silent and keeps the file
    EXPECT_EQ(readFile(u"data\\world\\new.bin"), std::string("\0\1\2", 3));
    // A temporary file of inline text goes, also when the block fails (`apply` checks).
    for (const bool namesExists : {true, false}) {
        if (!namesExists) {
            platform::deleteFile(names);
        }
        block = makeBlock(append, after, {u"A\n"});
        ASSERT_TRUE(platform::makeTemporaryFile(u".", *block.source));
        block.inlineText = true;
        game.apply(block);
    }
    EXPECT_EQ(game.errors.texts, Texts{head + u"File does not exist: " + names});
}

TEST(ApplyPatchBlock, PathsAScriptMayWrite) {
    for (const std::u16string_view path :
         {u"data\\..\\evil.txt", u"..\\evil.txt", u"\\\\server\\share\\x.txt", u"C:\\x.txt",
          u"\\data\\x.txt", u"data\\text\\x.txt:stream", u"data\\...\\x.txt", u"data\\.. \\x.txt",
          u"data\\text/../../x.txt", u"text\\names.txt", u"database\\x.txt", u"data", u"data\\",
          u"data\\\\x.txt", u"data\\text\\CON", u"data\\nul.txt", u"data\\Com1.dat",
          u"data\\a\tb"}) {
        EXPECT_FALSE(isGameDataPath(path)) << utf8(path);
    }
    for (const std::u16string_view path :
         {u"DATA\\text\\names.txt", u"Data\\x.txt", u"data\\com10.txt", u"data\\console.txt",
          u"data\\a b\\.x"}) {
        EXPECT_TRUE(isGameDataPath(path)) << utf8(path);
    }
    EXPECT_TRUE(staysInGameFolder(u"extra.txt"));
    EXPECT_FALSE(staysInGameFolder(u"x.txt::$DATA"));
}

// Only FF FE opens a UTF-16 file; a folder is no file.
TEST(DetectFileMode, TellsTheThreeModesApart) {
    for (const std::string start : {"", "\xFF", "\xFF\xFD", "\xFE\xFF", "{A}x\r\n"}) {
        EXPECT_EQ(fileModeOf(start), FileMode::bytes8) << start;
    }
    Game game(std::string("\xFF\xFE{\0", 4));
    EXPECT_EQ(detectFileMode(names), FileMode::utf16);
    EXPECT_EQ(detectFileMode(u"data\\text"), FileMode::missing);
}

} // namespace
