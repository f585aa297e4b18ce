#include "patch/apply_patch_block.h"

#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

namespace {

using platform::TextEncoding;
using namespace testing_support;
using Texts = std::vector<std::u16string>;

const std::u16string destination = u"data\\text\\names.txt";
const std::u16string sourceFile = u"data\\campaign\\sub\\mod\\extra.txt";
const std::u16string head = u"Error while processing mod.txt\n\n";

std::string encoded(std::u16string_view text, TextEncoding encoding) {
    return (encoding == TextEncoding::Utf16 ? "\xFF\xFE" : "") +
           platform::encodeText(text, encoding);
}

PatchBlock makeBlock(PatchMode mode, WhenCondition condition, Texts anchor = {}, Texts to = {}) {
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

// A scratch game folder, its destination and source, and a context that records messages.
struct Game {
    ScratchFolder scratch;
    ErrorRecorder errors;
    TouchedFileList touched = createTouchedFileList();
    PatchContext context{errors.sink(), &touched};

    // A run restores the backup tree first, which leaves its root folder in place.
    Game(std::string_view names = "A\nB\n", std::string_view source = "N\r\n") {
        makeFolders(u"data\\campaign\\backup");
        if (names != "<missing>") {
            writeFile(destination, names);
        }
        if (source != "<missing>") {
            writeFile(sourceFile, source);
        }
    }
    // The destination afterwards.
    std::string apply(const PatchBlock& block) {
        applyPatchBlock(block, context);
        EXPECT_EQ(temporaryFilesLeft(), 0u);
        return readFile(destination);
    }
};

class WorkedExample : public ::testing::TestWithParam<TextEncoding> {
  protected:
    std::string lines(std::u16string_view text) { return encoded(text, GetParam()); }
};

TEST_P(WorkedExample, EveryModeAndCondition) {
    const Texts b = {u"{B} two\n"};
    const struct {
        PatchBlock block;
        std::u16string after;
    } cases[] = {
        {makeBlock(PatchMode::append, WhenCondition::after, b),
         u"{A} one\n{B} two\n{X} new\n{C} three\n"},
        {makeBlock(PatchMode::append, WhenCondition::before, b),
         u"{A} one\n{X} new\n{B} two\n{C} three\n"},
        {makeBlock(PatchMode::append, WhenCondition::none),
         u"{A} one\n{B} two\n{C} three\n\n{X} new\n"},
        {makeBlock(PatchMode::replace, WhenCondition::on, b), u"{A} one\n\n{X} new\n\n{C} three\n"},
        {makeBlock(PatchMode::replace, WhenCondition::from, {u"{A} one\n"}, b),
         u"\n{X} new\n\n{C} three\n"},
        {makeBlock(PatchMode::replace, WhenCondition::after, b), u"{A} one\n{C} three\n"},
        {makeBlock(PatchMode::replace, WhenCondition::before, b), u"{A} one\n{C} three\n"},
        // append with from or on does nothing (after the existence and mode check).
        {makeBlock(PatchMode::append, WhenCondition::on, b), u"{A} one\n{B} two\n{C} three\n"},
        {makeBlock(PatchMode::append, WhenCondition::from, {u"{A} one\n"}, b),
         u"{A} one\n{B} two\n{C} three\n"},
        {makeBlock(PatchMode::translate, WhenCondition::none),
         std::u16string(translationBanner) + u"{A} one\n{B} two\n{C} three\n"},
        {makeBlock(PatchMode::overwrite, WhenCondition::none), u"{X} new\n"},
    };
    for (const auto& c : cases) {
        Game game(lines(u"{A} one\n{B} two\n{C} three\n"), lines(u"{X} new\n"));
        EXPECT_EQ(game.apply(c.block), lines(c.after)) << utf8(c.after);
        EXPECT_EQ(game.errors.texts, Texts{});
    }
    // An appended last line without a line break gets none, and no second byte-order mark.
    Game game(lines(u"{A} one\n"), lines(u"{X} new"));
    EXPECT_EQ(game.apply(makeBlock(PatchMode::append, WhenCondition::none)),
              lines(u"{A} one\n\n{X} new"));
    // Translating without a source takes the script's file of the destination's own name.
    writeFile(u"data\\campaign\\sub\\mod\\names.txt", lines(u"{A} un"));
    PatchBlock translate = makeBlock(PatchMode::translate, WhenCondition::none);
    translate.source.reset();
    EXPECT_EQ(game.apply(translate), lines(std::u16string(translationBanner) + u"{A} un\n{X} new"));
    EXPECT_EQ(game.errors.texts, Texts{});
}

INSTANTIATE_TEST_SUITE_P(BothEncodings, WorkedExample,
                         ::testing::Values(TextEncoding::Bytes8, TextEncoding::Utf16));

TEST(ApplyPatchBlock, AnchorMatching) {
    const struct {
        const char* rule;
        std::u16string before;
        Texts anchor;
        std::u16string after; // empty: not found, the destination keeps its lines
    } cases[] = {
        {"second occurrence completes a two-line anchor",
         u"A\nx\nA\nB\nC\n",
         {u"A\n", u"B\n"},
         u"A\nx\nA\nB\nN\nC\n"},
        {"only the first occurrence counts", u"A\nB\nA\nB\n", {u"A\n", u"B\n"}, u"A\nB\nN\nA\nB\n"},
        {"a broken match does not retry the breaking line", u"A\nA\nB\n", {u"A\n", u"B\n"}, u""},
        {"the end of the file during a match", u"x\nA\n", {u"A\n", u"B\n"}, u""},
        {"last line without a line break", u"x\nA", {u"A\n"}, u""},
        {"case-sensitive", u"a\n", {u"A\n"}, u""},
        {"a blank line as anchor", u"x\n\ny\n", {u"\n"}, u"x\n\nN\ny\n"},
    };
    for (const auto& c : cases) {
        Game game(platform::encodeText(c.before, TextEncoding::Bytes8));
        const std::string now =
            game.apply(makeBlock(PatchMode::append, WhenCondition::after, c.anchor));
        EXPECT_EQ(now,
                  platform::encodeText(c.after.empty() ? c.before : c.after, TextEncoding::Bytes8))
            << c.rule;
        std::u16string message = head + u"File data\\text\\names.txt does not contain:\n";
        for (const auto& line : c.anchor) {
            message += line;
        }
        EXPECT_EQ(game.errors.texts,
                  c.after.empty() ? Texts{message + u"\nOperation aborted."} : Texts{})
            << c.rule;
    }
}

TEST(ApplyPatchBlock, MessagesAndWhatTheBlockLeaves) {
    const std::string bom = "\xFF\xFE";
    const std::u16string names = destination, extra = sourceFile;
    const std::u16string incompatible = head + u"These two files are incompatible: " + names +
                                        u" and " + extra +
                                        u".\nUnicode files will accept only unicode input.";
    PatchBlock inside = makeBlock(PatchMode::overwrite, WhenCondition::none);
    inside.destination = u"data\\..\\evil.txt";
    PatchBlock outside = inside;
    outside.destination = u"readme.txt";
    PatchBlock source = makeBlock(PatchMode::append, WhenCondition::none);
    source.source = u"..\\..\\secret.txt";
    PatchBlock noSource = makeBlock(PatchMode::replace, WhenCondition::on, {u"A\n"});
    noSource.source.reset();
    const auto aborted = [](std::u16string_view text) {
        return head + std::u16string(text) + u".\nOperation aborted.";
    };
    const struct {
        PatchBlock block;
        std::string names, source; // "<missing>" for none; names are kept unless `after` says
        std::u16string message;
        std::string after = "";
        bool refused = true; // nothing in the game folder changes
    } cases[] = {
        // The existence and mode check, for every mode and condition that runs it.
        {makeBlock(PatchMode::append, WhenCondition::after, {u"A\n"}), "<missing>", "<missing>",
         head + u"These two files do not exist: " + names + u" and " + extra, "", false},
        {makeBlock(PatchMode::append, WhenCondition::on, {u"A\n"}), "<missing>", "N",
         head + u"File does not exist: " + names, "", false},
        {makeBlock(PatchMode::append, WhenCondition::from, {u"A\n"}), "A", "<missing>",
         head + u"File does not exist: " + extra, "", false},
        {makeBlock(PatchMode::replace, WhenCondition::on, {u"A\n"}), bom + std::string("A\0", 2),
         "N", incompatible, "", false},
        {makeBlock(PatchMode::translate, WhenCondition::none), "A", bom + std::string("N\0", 2),
         incompatible, "", false},
        // Texts that are not there: the rest of a from block keeps the file, a missing
        // anchor rewrites the same lines.
        {makeBlock(PatchMode::replace, WhenCondition::from, {u"B\n"}, {u"Z 100%d\n"}), "A\nB\nC\n",
         "N", head + u"File " + names + u" does not contain:\nZ 100%d\n\nOperation aborted.", "",
         false},
        {makeBlock(PatchMode::replace, WhenCondition::on, {u"Q\n"}), "A\nB\n", "N",
         head + u"File " + names + u" does not contain:\nQ\nOperation aborted.", "A\r\nB\r\n",
         false},
        // Blocks that must not run at all touch nothing.
        {inside, "A", "N",
         aborted(u"The destination data\\..\\evil.txt lies outside the game folder")},
        {outside, "A", "N",
         aborted(u"The destination readme.txt is not a file in the data folder")},
        {source, "A", "N",
         aborted(u"The source ..\\..\\secret.txt lies outside the script's folder")},
        {makeBlock(PatchMode::replace, WhenCondition::none), "A", "N",
         aborted(u"The replace block for " + names +
                 u" has no condition (on, from, before or after)")},
        {makeBlock(PatchMode::append, WhenCondition::before), "A", "N",
         aborted(u"The block for " + names + u" has an empty anchor text")},
        {makeBlock(PatchMode::replace, WhenCondition::from, {u"A\n"}), "A", "N",
         aborted(u"The from block for " + names + u" has an empty to-text")},
        {noSource, "A", "N", aborted(u"No source file is given for " + names)},
    };
    for (const auto& c : cases) {
        Game game(c.names, c.source);
        const Snapshot before = snapshot();
        EXPECT_EQ(game.apply(c.block), c.after.empty() ? c.names : c.after) << utf8(c.message);
        EXPECT_EQ(game.errors.texts, Texts{c.message});
        if (c.refused) {
            EXPECT_EQ(describe(snapshot(), before), "") << utf8(c.message);
        }
    }
    // Long messages are cut.
    Game game("x\r\n");
    game.apply(makeBlock(PatchMode::append, WhenCondition::after,
                         Texts(5, std::u16string(1999, u'%') + u"\n")));
    ASSERT_EQ(game.errors.texts.size(), 1u);
    EXPECT_EQ(game.errors.texts[0].size(), errorMessageCapacity - 1);
}

TEST(ApplyPatchBlock, AFailedWriteSaysWhichStepFailedAndKeepsTheDestination) {
    const PatchBlock block = makeBlock(PatchMode::append, WhenCondition::after, {u"A\n"});
    long operations = 0;
    {
        Game game;
        platform::setFaultPlan({});
        applyPatchBlock(block, game.context);
        operations = platform::fileOperationCount();
    }
    // The replace, the write of the temporary file and its making, from the end.
    const std::u16string place = head + u"The new version of " + destination +
                                 u" could not take the old one's place.\nOperation aborted.";
    for (const auto& [fromEnd, message] : {std::pair<long, std::u16string_view>{0, place},
                                           {1, temporaryFileMessage},
                                           {2, temporaryFileMessage}}) {
        Game game;
        platform::setFaultPlan({.failOperation = operations - fromEnd});
        EXPECT_EQ(game.apply(block), "A\nB\n");
        EXPECT_EQ(game.errors.texts, Texts{std::u16string(message)});
    }
}

TEST(ApplyPatchBlock, KeepsTheOriginalAtTheFirstTouchOfEachPathAsWritten) {
    Game game("A\r\n");
    game.apply(makeBlock(PatchMode::append, WhenCondition::none));
    EXPECT_EQ(game.apply(makeBlock(PatchMode::append, WhenCondition::none)),
              "A\r\n\r\nN\r\n\r\nN\r\n");
    PatchBlock other = makeBlock(PatchMode::append, WhenCondition::none);
    other.destination = u"data\\text\\Names.txt";
    game.apply(other);
    EXPECT_EQ(game.touched.names, (Texts{destination, u"data\\text\\Names.txt"}));
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "A\r\n");
    // Without a kept original the game file is not changed.
    Game blocked("A\r\n");
    removeTree(u"data\\campaign\\backup");
    writeFile(u"data\\campaign\\backup", "a file where the backup tree belongs");
    EXPECT_EQ(blocked.apply(makeBlock(PatchMode::append, WhenCondition::none)), "A\r\n");
    EXPECT_EQ(blocked.errors.texts,
              Texts{head + u"No copy of " + destination +
                    u" could be kept before its change.\nOperation aborted."});
    EXPECT_TRUE(blocked.touched.names.empty());
}

TEST(ApplyPatchBlock, OverwriteMakesFoldersAndInlineTextFilesAreDeleted) {
    Game game("A\r\n", "<missing>");
    writeFile(u"data\\campaign\\sub\\mod\\new.bin", std::string("\0\1\2", 3));
    PatchBlock block = makeBlock(PatchMode::overwrite, WhenCondition::none);
    block.destination = u"data\\world\\maps\\new.bin";
    block.source.reset();
    game.apply(block);
    block.source = u"missing.bin";
    game.apply(block); // a failed copy is silent and keeps the file
    EXPECT_EQ(readFile(u"data\\world\\maps\\new.bin"), std::string("\0\1\2", 3));
    for (const bool destinationExists : {true, false}) {
        if (!destinationExists) {
            platform::deleteFile(destination);
        }
        std::u16string temporary;
        ASSERT_TRUE(platform::makeTemporaryFile(u".", temporary));
        block = makeBlock(PatchMode::append, WhenCondition::after, {u"A\n"});
        block.source = temporary;
        block.inlineText = true;
        game.apply(block); // checks that no temporary file is left
    }
    EXPECT_EQ(game.errors.texts, Texts{head + u"File does not exist: " + destination});
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

TEST(DetectFileMode, TellsTheThreeModesApart) {
    ScratchFolder scratch;
    const std::pair<std::string, FileMode> cases[] = {
        {std::string("\xFF\xFE{\0", 4), FileMode::utf16},
        {"{A}x\r\n", FileMode::bytes8},
        {"", FileMode::bytes8},
        {"\xFF", FileMode::bytes8},
        {"\xFF\xFD", FileMode::bytes8},
        {"\xFE\xFF", FileMode::bytes8}};
    for (const auto& [bytes, mode] : cases) {
        writeFile(u"f.txt", bytes);
        EXPECT_EQ(detectFileMode(u"f.txt"), mode) << bytes;
    }
    makeFolders(u"folder");
    EXPECT_EQ(detectFileMode(u"folder"), FileMode::missing);
    EXPECT_EQ(detectFileMode(u"missing.txt"), FileMode::missing);
}

} // namespace
