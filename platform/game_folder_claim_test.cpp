#include "platform/file_system.h"
#include "platform/game_folder_claim.h"
#include "testing/test_support.h"

// Two claims in one process stand for two copies of the program: the lock and the mutex
// belong to the claim, not to the process. Each row claims "a" anew: the claims of the row
// before let it go when they ended.
TEST(GameFolderClaim, OneClaimAFolderAtATime) {
    testing_support::ScratchFolder scratch;
    testing_support::makeFolders(u"a\\inner");
    testing_support::makeFolders(u"b");
    const auto enter = [&](std::u16string_view folder) {
        return platform::setCurrentDirectory(scratch.path() + u"\\" + std::u16string(folder));
    };
    struct Row {
        std::u16string_view second;
        bool releaseFirst, secondHeld;
    };
    for (const Row& row :
         {Row{u"a", false, false}, Row{u"b", false, true}, Row{u"a\\inner", false, true},
          Row{u"a", true, true}, Row{u"a\\inner\\..", false, false}}) { // "a" spelled otherwise
        platform::GameFolderClaim first, second;
        ASSERT_TRUE(enter(u"a") && platform::claimGameFolder(first) && first.held);
        if (row.releaseFirst) {
            platform::releaseGameFolder(first);
        }
        ASSERT_TRUE(enter(row.second));
        EXPECT_EQ(platform::claimGameFolder(second), row.secondHeld)
            << testing_support::utf8(row.second);
        EXPECT_EQ(second.held, row.secondHeld);
        EXPECT_EQ(second.busy, !row.secondHeld);
        // A busy copy finds the other's window by the key.
        EXPECT_EQ(first.key == second.key, row.second == u"a" || !row.secondHeld);
        enter(u"");
    }
}
