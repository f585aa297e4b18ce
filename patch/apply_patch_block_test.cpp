#include "patch/apply_patch_block.h"

#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "testing/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::TextEncoding;
using testing_support::ErrorRecorder;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::utf8;
using testing_support::writeFile;

const std::u16string destination = u"data\\text\\names.txt";
const std::u16string sourceFile = u"data\\campaign\\sub\\mod\\extra.txt";

std::string encoded(std::u16string_view text, TextEncoding encoding) {
    return (encoding == TextEncoding::Utf16 ? std::string("\xFF\xFE", 2) : std::string()) +
           platform::encodeText(text, encoding);
}

PatchBlock makeBlock(PatchMode mode, WhenCondition condition,
                     std::vector<std::u16string> anchor = {}, std::vector<std::u16string> to = {}) {
    PatchBlock block;
    block.job = {u"mod", u"data\\campaign\\sub\\mod.txt", u"mod.txt"};
    block.mode = mode;
    block.destination = destination;
    block.source = u"extra.txt";
    block.condition = condition;
    block.anchorLines = std::move(anchor);
    block.toLines = std::move(to);
    return block;
}

// One scratch game folder with a context that records what is shown.
struct Game {
    ScratchFolder scratch;
    ErrorRecorder errors;
    TouchedFileList touched = createTouchedFileList();
    PatchContext context{errors.sink(), &touched};

    // A run restores the backup tree first, which leaves its root folder in place.
    Game() { testing_support::makeFolders(u"data\\campaign\\backup"); }

    void apply(const PatchBlock& block) { applyPatchBlock(block, context); }
};

using testing_support::temporaryFilesLeft;

class WorkedExample : public ::testing::TestWithParam<TextEncoding> {
  protected:
    // {A} one, {B} two, {C} three; the source {X} new; the anchor {B} two.
    std::string run(PatchMode mode, WhenCondition condition,
                    std::vector<std::u16string> anchor = {u"{B} two\n"},
                    std::vector<std::u16string> to = {}) {
        writeFile(destination, encoded(u"{A} one\n{B} two\n{C} three\n", GetParam()));
        writeFile(sourceFile, encoded(u"{X} new\n", GetParam()));
        game.apply(makeBlock(mode, condition, std::move(anchor), std::move(to)));
        return readFile(destination);
    }
    std::string lines(std::u16string_view text) { return encoded(text, GetParam()); }
    Game game;
};

TEST_P(WorkedExample, EveryModeAndCondition) {
    EXPECT_EQ(run(PatchMode::append, WhenCondition::after),
              lines(u"{A} one\n{B} two\n{X} new\n{C} three\n"));
    EXPECT_EQ(run(PatchMode::append, WhenCondition::before),
              lines(u"{A} one\n{X} new\n{B} two\n{C} three\n"));
    EXPECT_EQ(run(PatchMode::append, WhenCondition::none, {}),
              lines(u"{A} one\n{B} two\n{C} three\n\n{X} new\n"));
    EXPECT_EQ(run(PatchMode::replace, WhenCondition::on),
              lines(u"{A} one\n\n{X} new\n\n{C} three\n"));
    EXPECT_EQ(run(PatchMode::replace, WhenCondition::from, {u"{A} one\n"}, {u"{B} two\n"}),
              lines(u"\n{X} new\n\n{C} three\n"));
    EXPECT_EQ(run(PatchMode::replace, WhenCondition::after), lines(u"{A} one\n{C} three\n"));
    EXPECT_EQ(run(PatchMode::replace, WhenCondition::before), lines(u"{A} one\n{C} three\n"));
    // append with from or on does nothing and says nothing.
    EXPECT_EQ(run(PatchMode::append, WhenCondition::on), lines(u"{A} one\n{B} two\n{C} three\n"));
    EXPECT_EQ(run(PatchMode::append, WhenCondition::from, {u"{A} one\n"}, {u"{B} two\n"}),
              lines(u"{A} one\n{B} two\n{C} three\n"));
    EXPECT_TRUE(game.errors.texts.empty());
    EXPECT_EQ(temporaryFilesLeft(), 0u);
}

TEST_P(WorkedExample, TranslateMergesTheSourceIntoTheDestination) {
    writeFile(destination, lines(u"{A} one\n{B} two\n"));
    writeFile(u"data\\campaign\\sub\\mod\\tr.txt", lines(u"{B} deux"));
    PatchBlock block = makeBlock(PatchMode::translate, WhenCondition::none);
    block.source = u"tr.txt";
    game.apply(block);
    EXPECT_EQ(readFile(destination),
              lines(std::u16string(translationBanner) + u"{A} one\n{B} deux\n"));
    // Without a source the script's file of the destination's own name is used.
    writeFile(u"data\\campaign\\sub\\mod\\names.txt", lines(u"{A} un\n"));
    block.source.reset();
    game.apply(block);
    EXPECT_EQ(readFile(destination),
              lines(std::u16string(translationBanner) + u"{A} un\n{B} deux\n"));
    EXPECT_TRUE(game.errors.texts.empty());
}

TEST_P(WorkedExample, AppendAtTheEndAddsNoSecondByteOrderMark) {
    writeFile(destination, lines(u"{A} one\n"));
    writeFile(sourceFile, lines(u"{X} new"));
    game.apply(makeBlock(PatchMode::append, WhenCondition::none));
    EXPECT_EQ(readFile(destination), lines(u"{A} one\n\n{X} new"));
}

INSTANTIATE_TEST_SUITE_P(BothEncodings, WorkedExample,
                         ::testing::Values(TextEncoding::Bytes8, TextEncoding::Utf16));

// ---- Anchor matching ---------------------------------------------------------------

struct MatchCase {
    const char16_t* name;
    std::u16string before;
    std::vector<std::u16string> anchor;
    std::u16string after; // empty: not found, destination keeps its lines
};

TEST(ApplyPatchBlock, AnchorMatching) {
    const std::vector<MatchCase> cases = {
        {u"second occurrence completes a two-line anchor",
         u"A\nx\nA\nB\nC\n",
         {u"A\n", u"B\n"},
         u"A\nx\nA\nB\nN\nC\n"},
        {u"only the first occurrence counts",
         u"A\nB\nA\nB\n",
         {u"A\n", u"B\n"},
         u"A\nB\nN\nA\nB\n"},
        {u"a broken match does not retry the breaking line", u"A\nA\nB\n", {u"A\n", u"B\n"}, u""},
        {u"the end of the file during a match", u"x\nA\n", {u"A\n", u"B\n"}, u""},
        {u"last line without a line break", u"x\nA", {u"A\n"}, u""},
        {u"case-sensitive", u"a\n", {u"A\n"}, u""},
        {u"a blank line as anchor", u"x\n\ny\n", {u"\n"}, u"x\n\nN\ny\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.name));
        Game game;
        writeFile(destination, platform::encodeText(c.before, TextEncoding::Bytes8));
        writeFile(sourceFile, "N\r\n");
        game.apply(makeBlock(PatchMode::append, WhenCondition::after, c.anchor));
        const std::u16string expected = c.after.empty() ? c.before : c.after;
        EXPECT_EQ(readFile(destination), platform::encodeText(expected, TextEncoding::Bytes8));
        if (c.after.empty()) {
            std::u16string message = u"Error while processing mod.txt\n\nFile "
                                     u"data\\text\\names.txt does not contain:\n";
            for (const auto& line : c.anchor) {
                message += line;
            }
            ASSERT_EQ(game.errors.texts.size(), 1u);
            EXPECT_EQ(game.errors.texts[0], message + u"\nOperation aborted.");
        } else {
            EXPECT_TRUE(game.errors.texts.empty());
        }
    }
}

TEST(ApplyPatchBlock, ReplaceMessagesWhenTextsAreMissing) {
    Game game;
    // Bare line feeds: a rewrite would turn them into CR LF, so equal bytes prove the file
    // was kept, not rewritten.
    const std::string original = "A\nB\nC\n";
    writeFile(destination, original);
    writeFile(sourceFile, "N\r\n");
    game.apply(makeBlock(PatchMode::replace, WhenCondition::from, {u"B\n"}, {u"Z 100%d\n"}));
    EXPECT_EQ(readFile(destination), original);
    game.apply(makeBlock(PatchMode::replace, WhenCondition::on, {u"Q\n"}));
    // A missing anchor rewrites the same lines.
    EXPECT_EQ(readFile(destination), "A\r\nB\r\nC\r\n");
    ASSERT_EQ(game.errors.texts.size(), 2u);
    EXPECT_EQ(game.errors.texts[0], u"Error while processing mod.txt\n\nFile data\\text\\names.txt "
                                    u"does not contain:\nZ 100%d\n\nOperation aborted.");
    EXPECT_EQ(game.errors.texts[1], u"Error while processing mod.txt\n\nFile data\\text\\names.txt "
                                    u"does not contain:\nQ\nOperation aborted.");
    EXPECT_EQ(temporaryFilesLeft(), 0u);
}

TEST(ApplyPatchBlock, ReplaceFromDropsABrokenToMatchWithTheRange) {
    Game game;
    writeFile(destination, "a\r\nF\r\nx\r\nT1\r\ny\r\nT1\r\nT2\r\nb\r\nF\r\nT1\r\nT2\r\n");
    writeFile(sourceFile, "N");
    game.apply(makeBlock(PatchMode::replace, WhenCondition::from, {u"F\n"}, {u"T1\n", u"T2\n"}));
    EXPECT_EQ(readFile(destination), "a\r\n\r\nN\r\n\r\nb\r\nF\r\nT1\r\nT2\r\n");
    EXPECT_TRUE(game.errors.texts.empty());
}

TEST(ApplyPatchBlock, LongDoesNotContainMessagesAreCut) {
    Game game;
    writeFile(destination, "x\r\n");
    writeFile(sourceFile, "N\r\n");
    const std::vector<std::u16string> anchor(5, std::u16string(1999, u'%') + u"\n");
    game.apply(makeBlock(PatchMode::append, WhenCondition::after, anchor));
    ASSERT_EQ(game.errors.texts.size(), 1u);
    EXPECT_EQ(game.errors.texts[0].size(), errorMessageCapacity - 1);
    EXPECT_EQ(game.errors.texts[0].back(), u'%');
}

TEST(ApplyPatchBlock, ExistenceAndModeMessages) {
    const std::u16string head = u"Error while processing mod.txt\n\n";
    const std::u16string source = u"data\\campaign\\sub\\mod\\extra.txt";
    const std::string bom = "\xFF\xFE";
    const std::u16string incompatible = head + u"These two files are incompatible: " + destination +
                                        u" and " + source +
                                        u".\nUnicode files will accept only unicode input.";
    struct Case {
        std::string destination; // "" = missing
        std::string source;
        std::u16string message;
    };
    const std::vector<Case> cases = {
        {"", "", head + u"These two files do not exist: " + destination + u" and " + source},
        {"", "N\r\n", head + u"File does not exist: " + destination},
        {"A\r\n", "", head + u"File does not exist: " + source},
        {bom + std::string("A\0", 2), "N\r\n", incompatible},
        {"A\r\n", bom + std::string("N\0", 2), incompatible},
    };
    // `append` with `on` or `from` does nothing, but only after the same check.
    const std::vector<std::pair<PatchMode, WhenCondition>> blocks = {
        {PatchMode::append, WhenCondition::after},
        {PatchMode::append, WhenCondition::on},
        {PatchMode::append, WhenCondition::from},
        {PatchMode::replace, WhenCondition::on},
        {PatchMode::translate, WhenCondition::none}};
    for (const auto& [mode, condition] : blocks) {
        for (const auto& c : cases) {
            SCOPED_TRACE(utf8(c.message) + " mode " + std::to_string(static_cast<int>(mode)) +
                         " condition " + std::to_string(static_cast<int>(condition)));
            Game game;
            testing_support::makeFolders(u"data\\campaign\\sub\\mod");
            if (!c.destination.empty()) {
                writeFile(destination, c.destination);
            }
            if (!c.source.empty()) {
                writeFile(sourceFile, c.source);
            }
            game.apply(makeBlock(mode, condition, {u"A\n"}));
            ASSERT_EQ(game.errors.texts.size(), 1u);
            EXPECT_EQ(game.errors.texts[0], c.message);
            EXPECT_EQ(readFile(destination), c.destination.empty() ? "<missing>" : c.destination);
        }
    }
}

TEST(ApplyPatchBlock, BacksUpAtTheFirstTouchOfEachPathAsWritten) {
    Game game;
    writeFile(destination, "A\r\n");
    writeFile(sourceFile, "N\r\n");
    game.apply(makeBlock(PatchMode::append, WhenCondition::none));
    game.apply(makeBlock(PatchMode::append, WhenCondition::none));
    EXPECT_EQ(readFile(destination), "A\r\n\r\nN\r\n\r\nN\r\n");
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "A\r\n");
    PatchBlock other = makeBlock(PatchMode::append, WhenCondition::none);
    other.destination = u"data\\text\\Names.txt";
    game.apply(other);
    ASSERT_EQ(game.touched.names.size(), 2u);
    EXPECT_EQ(game.touched.names[1], u"data\\text\\Names.txt");
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "A\r\n");
}

TEST(ApplyPatchBlock, OverwriteMakesFoldersAndUsesTheOwnNameSource) {
    Game game;
    writeFile(u"data\\campaign\\sub\\mod\\new.bin", std::string("\0\1\2", 3));
    PatchBlock block = makeBlock(PatchMode::overwrite, WhenCondition::none);
    block.destination = u"data\\world\\maps\\new.bin";
    block.source.reset();
    game.apply(block);
    EXPECT_EQ(readFile(u"data\\world\\maps\\new.bin"), std::string("\0\1\2", 3));
    block.source = u"missing.bin";
    game.apply(block); // a failed copy is silent and keeps the file
    EXPECT_EQ(readFile(u"data\\world\\maps\\new.bin"), std::string("\0\1\2", 3));
    EXPECT_TRUE(game.errors.texts.empty());
    EXPECT_EQ(temporaryFilesLeft(), 0u);
}

TEST(ApplyPatchBlock, InlineTextFileIsDeletedAfterEveryBlock) {
    Game game;
    writeFile(destination, "A\r\n");
    for (const bool destinationExists : {true, false}) {
        if (!destinationExists) {
            platform::deleteFile(destination);
        }
        std::u16string temporary;
        ASSERT_TRUE(platform::makeTemporaryFile(u".", temporary));
        platform::writeWholeFile(temporary, "N\r\n");
        PatchBlock block = makeBlock(PatchMode::append, WhenCondition::after, {u"A\n"});
        block.source = temporary;
        block.inlineText = true;
        game.apply(block);
        EXPECT_FALSE(testing_support::exists(temporary));
    }
    EXPECT_EQ(temporaryFilesLeft(), 0u);
    ASSERT_EQ(game.errors.texts.size(), 1u); // the second block's destination is missing
}

// ---- Refused blocks ------------------------------------------------------------------

TEST(ApplyPatchBlock, RefusesPathsOutsideTheGameData) {
    const std::vector<std::u16string> destinations = {
        u"data\\..\\evil.txt",
        u"..\\evil.txt",
        u"\\\\server\\share\\x.txt",
        u"C:\\x.txt",
        u"\\data\\x.txt",
        u"data\\text\\x.txt:stream",
        u"data\\...\\x.txt",
        u"data\\.. \\x.txt",
        u"data\\text/../../x.txt",
        u"text\\names.txt",
        u"database\\x.txt",
        u"data",
        u"data\\",
        u"data\\\\x.txt",
        u"readme.txt",
        u"data\\text\\CON",
        u"data\\nul.txt",
        u"data\\Com1.dat",
    };
    for (const auto& path : destinations) {
        SCOPED_TRACE(utf8(path));
        Game game;
        writeFile(sourceFile, "N\r\n");
        const auto before = testing_support::snapshotTree(u".");
        PatchBlock block = makeBlock(PatchMode::overwrite, WhenCondition::none);
        block.destination = path;
        game.apply(block);
        EXPECT_EQ(testing_support::snapshotTree(u"."), before);
        EXPECT_TRUE(game.touched.names.empty());
        ASSERT_EQ(game.errors.texts.size(), 1u);
        EXPECT_NE(game.errors.texts[0].find(u"mod.txt"), std::u16string::npos);
        EXPECT_NE(game.errors.texts[0].find(path), std::u16string::npos);
    }
    // Any letter case of "data" is a game path.
    EXPECT_TRUE(isGameDataPath(u"DATA\\text\\names.txt"));
    EXPECT_TRUE(isGameDataPath(u"Data\\x.txt"));
    for (const std::u16string source :
         {u"..\\..\\secret.txt", u"D:\\secret.txt", u"x.txt::$DATA"}) {
        SCOPED_TRACE(utf8(source));
        Game game;
        writeFile(destination, "A\r\n");
        PatchBlock block = makeBlock(PatchMode::append, WhenCondition::none);
        block.source = source;
        game.apply(block);
        EXPECT_EQ(readFile(destination), "A\r\n");
        EXPECT_FALSE(testing_support::exists(u"data\\campaign\\backup\\text"));
        ASSERT_EQ(game.errors.texts.size(), 1u);
        EXPECT_NE(game.errors.texts[0].find(source), std::u16string::npos);
    }
}

TEST(ApplyPatchBlock, UndefinedBlocksChangeNothingAndSaySo) {
    struct Case {
        const char* name;
        PatchBlock block;
    };
    PatchBlock noCondition = makeBlock(PatchMode::replace, WhenCondition::none);
    PatchBlock noAnchor = makeBlock(PatchMode::append, WhenCondition::after);
    PatchBlock noTo = makeBlock(PatchMode::replace, WhenCondition::from, {u"A\n"});
    PatchBlock noSource = makeBlock(PatchMode::replace, WhenCondition::on, {u"A\n"});
    noSource.source.reset();
    for (const auto& c : std::vector<Case>{{"replace without condition", noCondition},
                                           {"empty anchor", noAnchor},
                                           {"empty to-text", noTo},
                                           {"no source", noSource}}) {
        SCOPED_TRACE(c.name);
        Game game;
        writeFile(destination, "A\nB\n");
        writeFile(sourceFile, "N\r\n");
        game.apply(c.block);
        EXPECT_EQ(readFile(destination), "A\nB\n");
        ASSERT_EQ(game.errors.texts.size(), 1u);
        EXPECT_NE(game.errors.texts[0].find(u"Operation aborted."), std::u16string::npos);
    }
}

// ---- Faults --------------------------------------------------------------------------

struct FaultCase {
    const char* name;
    PatchBlock block;
    std::string after; // what the block leaves when nothing fails
};

TEST(ApplyPatchBlock, AFailingFileOperationNeverCutsOrLosesTheDestination) {
    const std::string before = "{A} one\r\n{B} two\r\n{C} three\r\n";
    PatchBlock translate = makeBlock(PatchMode::translate, WhenCondition::none);
    const std::vector<FaultCase> cases = {
        {"append after", makeBlock(PatchMode::append, WhenCondition::after, {u"{B} two\n"}),
         "{A} one\r\n{B} two\r\n{B} new\r\n{C} three\r\n"},
        {"append at the end", makeBlock(PatchMode::append, WhenCondition::none),
         before + "\r\n{B} new\r\n"},
        {"replace from",
         makeBlock(PatchMode::replace, WhenCondition::from, {u"{A} one\n"}, {u"{B} two\n"}),
         "\r\n{B} new\r\n\r\n{C} three\r\n"},
        {"translate", translate,
         "\xAC--- Generated by Dravik setup translator\r\n{A} one\r\n{B} new\r\n{C} three\r\n"},
        {"overwrite", makeBlock(PatchMode::overwrite, WhenCondition::none), "{B} new\r\n"},
    };
    for (const auto& c : cases) {
        for (const bool crash : {false, true}) {
            long operations = 0;
            for (long n = 1;; ++n) {
                SCOPED_TRACE(std::string(c.name) + (crash ? " stop after " : " fail ") +
                             std::to_string(n));
                Game game;
                writeFile(destination, before);
                writeFile(sourceFile, "{B} new\r\n");
                platform::setFaultPlan(crash ? platform::FaultPlan{.stopAfter = n}
                                             : platform::FaultPlan{.failOperation = n});
                game.apply(c.block);
                operations = platform::fileOperationCount();
                platform::setFaultPlan({});
                const std::string now = readFile(destination);
                EXPECT_TRUE(now == before || now == c.after) << now;
                const bool writeFailed =
                    !game.errors.texts.empty() && game.errors.texts[0] == temporaryFileMessage;
                if (!crash && writeFailed) {
                    EXPECT_EQ(now, before);
                    EXPECT_EQ(temporaryFilesLeft(), 0u);
                }
                if (n > operations) {
                    EXPECT_EQ(now, c.after); // the plan no longer reached any operation
                    break;
                }
            }
            EXPECT_GT(operations, 3);
        }
    }
}

} // namespace

// Without a kept original the game file is not changed: the block says so and leaves it.
TEST(ApplyPatchBlockBackup, NoChangeWhenNoCopyCanBeKept) {
    Game game;
    testing_support::removeTree(u"data\\campaign\\backup");
    writeFile(u"data\\campaign\\backup", "a file where the backup tree belongs");
    writeFile(destination, "{A} one\r\n");
    writeFile(sourceFile, "{X} new\r\n");
    game.apply(makeBlock(PatchMode::append, WhenCondition::none));
    EXPECT_EQ(readFile(destination), "{A} one\r\n");
    ASSERT_EQ(game.errors.texts.size(), 1u);
    EXPECT_EQ(game.errors.texts[0], u"Error while processing mod.txt\n\nNo copy of "
                                    u"data\\text\\names.txt could be kept before its "
                                    u"change.\nOperation aborted.");
    EXPECT_FALSE(isFileTouched(game.touched, destination));
}
