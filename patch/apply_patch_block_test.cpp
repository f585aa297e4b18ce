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
                     std::u16string source = u"extra.txt", std::u16string destination = names) {
    return {job, mode, destination, source, false, {}, condition, anchor, to};
}

// A scratch game folder with names.txt and extra.txt ("<missing>": none) and a context that
// records messages; `apply` gives names.txt afterwards. A run restores the backup tree
// first, which leaves its root in place.
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
        // An appended last line without a line break gets none (nor a second byte-order mark).
        {makeBlock(append, none), u"{A} one\n\n{X} new", u"{A} one\n", u"{X} new"},
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
        const bool found = !c.after.empty();
        EXPECT_EQ(game.apply(c.block), lines(found ? c.after : c.before)) << utf8(c.after);
        std::u16string missing = head + u"File " + names + u" does not contain:\n";
        for (const auto& line : c.block.anchorLines) {
            missing += line;
        }
        EXPECT_EQ(game.errors.texts, found ? Texts{} : Texts{missing + u"\nOperation aborted."})
            << utf8(c.before);
    }
}

INSTANTIATE_TEST_SUITE_P(BothEncodings, WorkedExample,
                         ::testing::Values(TextEncoding::Bytes8, TextEncoding::Utf16));

// Blocks that must not run, among them every destination outside the data folder (with a
// missing source: a wrongly accepted one writes nothing): one message, nothing changes.
TEST(ApplyPatchBlock, RefusedBlocksTouchNothing) {
    std::vector<PatchBlock> blocks = {makeBlock(append, none, {}, {}, u"..\\s.txt"),
                                      makeBlock(replace, none), makeBlock(append, before),
                                      makeBlock(replace, from, {u"A\n"}),
                                      makeBlock(replace, on, {u"A\n"}, {}, u"")};
    for (const std::u16string_view path :
         {u"data\\..\\evil.txt", u"\\\\server\\share\\x.txt", u"C:\\x.txt",
          u"data\\text\\x.txt:stream", u"data\\.. \\x.txt", u"data\\text/../../x.txt",
          u"text\\names.txt", u"database\\x.txt", u"data", u"data\\", u"data\\\\x.txt",
          u"data\\text\\CON", u"data\\nul.txt", u"data\\Com1.dat", u"data\\a\tb"}) {
        blocks.push_back(makeBlock(overwrite, none, {}, {}, u"x", std::u16string(path)));
    }
    for (const PatchBlock& block : blocks) {
        Game game;
        const Snapshot start = snapshot();
        game.apply(block);
        EXPECT_EQ(game.errors.texts.size(), 1u) << utf8(block.destination);
        EXPECT_EQ(describe(snapshot(), start), "") << utf8(block.destination);
    }
    for (const std::u16string_view path :
         {u"DATA\\text\\names.txt", u"Data\\x.txt", u"data\\com10.txt", u"data\\console.txt",
          u"data\\a b\\.x"}) {
        EXPECT_TRUE(isGameDataPath(path)) << utf8(path);
    }
}

// The new version cannot take the destination's place (the last operation of a clean run):
// the destination stays as it was, the very file it was (a later change in place reaches no
// kept copy), and the tree keeps no copy of a file the run left unchanged.
TEST(ApplyPatchBlock, AFailedReplaceKeepsTheDestinationAndItsOriginal) {
    const PatchBlock block = makeBlock(append, after, {u"A\n"});
    long operations = 0;
    {
        Game clean;
        platform::setFaultPlan({});
        applyPatchBlock(block, clean.context);
        operations = platform::fileOperationCount();
    }
    Game game;
    platform::setFaultPlan({.failOperation = operations});
    EXPECT_EQ(game.apply(block), "A\nB\n");
    EXPECT_EQ(game.errors.texts,
              Texts{head + u"The new version of " + names +
                    u" could not take the old one's place.\nOperation aborted."});
    ASSERT_TRUE(platform::appendToFile(names, "edited"));
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "<missing>");
}

// Overwrite makes the destination's folders (a folder is no file to read); a source that
// cannot be read changes nothing, silently. A temporary file of inline text goes, also when
// the block fails (`apply` checks).
TEST(ApplyPatchBlock, OverwriteMakesFoldersAndInlineTextFilesAreDeleted) {
    Game game("A\r\n", "<missing>");
    writeFile(u"data\\campaign\\sub\\mod\\new.bin", std::string("\0\1\2", 3));
    for (const std::u16string_view source : {u"", u"missing.bin"}) {
        game.apply(makeBlock(overwrite, none, {}, {}, std::u16string(source), u"data\\w\\new.bin"));
    }
    EXPECT_EQ(readFile(u"data\\w\\new.bin"), std::string("\0\1\2", 3));
    EXPECT_EQ(detectFileMode(u"data\\w"), FileMode::missing);
    platform::deleteFile(names);
    PatchBlock block = makeBlock(append, after, {u"A\n"});
    ASSERT_TRUE(platform::makeTemporaryFile(u".", *block.source));
    block.inlineText = true;
    game.apply(block);
    EXPECT_EQ(game.errors.texts, Texts{head + u"File does not exist: " + names});
}

} // namespace
