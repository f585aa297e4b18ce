#include "platform/file_system.h"
#include "platform/game_folder_claim.h"
#include "testing/test_support.h"

// Two claims in one process stand for two copies of the program: the lock and the mutex
// are per claim, not per process.
TEST(GameFolderClaim, OneClaimAFolderAtATime) {
    testing_support::ScratchFolder scratch;
    testing_support::makeFolders(u"a\\inner");
    testing_support::makeFolders(u"b");
    struct Row {
        std::u16string_view first, second;
        bool releaseFirst, secondHeld;
    };
    for (const Row& row : {
             Row{u"a", u"a", false, false}, Row{u"a", u"b", false, true},
             Row{u"a", u"a\\inner", false, true}, // a folder inside is another folder
             Row{u"a", u"a", true, true},
             Row{u"a", u"a\\inner\\..", false, false}, // the same folder spelled otherwise
         }) {
        const std::string where =
            testing_support::utf8(row.first) + " then " + testing_support::utf8(row.second);
        platform::GameFolderClaim first, second;
        ASSERT_TRUE(
            platform::setCurrentDirectory(scratch.path() + u"\\" + std::u16string(row.first)));
        // Each row claims "a" anew: the claims of the row before let it go when they ended.
        ASSERT_TRUE(platform::claimGameFolder(first) && first.held) << where;
        if (row.releaseFirst) {
            platform::releaseGameFolder(first);
        }
        ASSERT_TRUE(
            platform::setCurrentDirectory(scratch.path() + u"\\" + std::u16string(row.second)));
        EXPECT_EQ(platform::claimGameFolder(second), row.secondHeld) << where;
        EXPECT_EQ(second.held, row.secondHeld) << where;
        EXPECT_EQ(second.busy, !row.secondHeld) << where;
        // A busy copy finds the other's window by this key.
        EXPECT_EQ(first.key == second.key, row.first == row.second || !row.secondHeld) << where;
        platform::setCurrentDirectory(scratch.path());
    }
}
