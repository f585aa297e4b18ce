#include "patch/apply_patch_block.h"

#include "platform/file_system.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {

// The kept copy of a file a block touches may start as a second name of the game file
// (nothing written). Whatever the end of the run does to the game file, the copy must stay
// the original when the game file is later changed in place (by the game or an editor).
TEST(KeptCopy, StaysTheOriginalWhenTheGameFileIsChangedInPlaceLater) {
    const std::u16string destination = u"data\\text\\names.txt";
    const std::u16string kept = u"data\\campaign\\backup\\text\\names.txt";
    const struct {
        const char* what;
        long failFromEnd; // fail the n-th last operation of the run (-1: none)
        const char* after;
    } cases[] = {{"changed", -1, "A\r\nN\r\nB\r\n"}, {"final replace failed", 0, "A\r\nB\r\n"}};
    for (const auto& c : cases) {
        PatchBlock block;
        block.job = {u"mod", u"data\\campaign\\sub\\mod.txt", u"mod.txt"};
        block.source = u"extra.txt";
        block.mode = PatchMode::append;
        block.destination = destination;
        block.condition = WhenCondition::after;
        block.anchorLines = {u"A\n"};
        long operations = 0;
        for (const bool measure : {true, false}) {
            ScratchFolder scratch;
            makeFolders(u"data\\campaign\\backup");
            writeFile(destination, "A\r\nB\r\n");
            writeFile(u"data\\campaign\\sub\\mod\\extra.txt", "N\n");
            ErrorRecorder errors;
            TouchedFileList touched = createTouchedFileList();
            PatchContext context{errors.sink(), &touched};
            platform::setFaultPlan(
                {.failOperation = measure || c.failFromEnd < 0 ? 0 : operations - c.failFromEnd});
            applyPatchBlock(block, context);
            operations = platform::fileOperationCount();
            platform::setFaultPlan({});
            if (measure) {
                continue;
            }
            EXPECT_EQ(readFile(destination), c.after) << c.what;
            ASSERT_TRUE(platform::appendToFile(destination, "edited")) << c.what;
            EXPECT_EQ(readFile(kept), "A\r\nB\r\n") << c.what;
        }
    }
}

} // namespace
