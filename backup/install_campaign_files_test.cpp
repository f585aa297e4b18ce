#include "backup/restore_backup.h"
#include "backup/switch_campaign.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {

// Only a game file with the campaign file's size and time is read to tell whether it is a
// copy already; the bytes decide then.
TEST(InstallCampaignFiles, TellsACopyByItsStampAndBytes) {
    const struct {
        const char* game;
        bool sameTime;
        const char* kept; // "<missing>": the game file was taken for a copy and left alone
    } cases[] = {{"game!", true, "game!"},     // one tick, other bytes: an original
                 {"alpha", true, "<missing>"}, // a copy
                 {"alpha", false, "alpha"},    // the same bytes, written at another time
                 {"game", true, "game"}};      // another size
    for (const auto& c : cases) {
        ScratchFolder scratch;
        writeFile(u"data\\campaign\\alpha\\names.txt", "alpha");
        writeFile(u"data\\names.txt", c.game);
        const std::int64_t old = platform::currentFileTime() - 3600 * platform::fileTimeSecond;
        ASSERT_TRUE(platform::setLastWriteTime(u"data\\campaign\\alpha\\names.txt", old));
        ASSERT_TRUE(platform::setLastWriteTime(u"data\\names.txt",
                                               c.sameTime ? old : old - platform::fileTimeSecond));
        makeFolders(u"data\\campaign\\backup");
        EXPECT_TRUE(installCampaignFiles(u"alpha"));
        EXPECT_EQ(readFile(u"data\\names.txt"), "alpha") << c.game << c.sameTime;
        EXPECT_EQ(readFile(u"data\\campaign\\backup\\names.txt"), c.kept) << c.game << c.sameTime;
    }
}

// A kept copy left as a second name of its game file (a run cut off before its scripts
// wrote their files) leaves the tree at a restore and keeps the original at an installation.
TEST(InstallCampaignFiles, NeverWritesIntoAGameFileThatIsItsKeptCopy) {
    ScratchFolder scratch;
    writeFile(u"data\\campaign\\alpha\\campaign.txt", "[name]Alpha\r\n");
    writeFile(u"data\\campaign\\alpha\\names.txt", "alpha");
    writeFile(u"data\\names.txt", "game");
    const std::u16string kept = u"data\\campaign\\backup\\names.txt";
    makeFolders(u"data\\campaign\\backup");
    ASSERT_TRUE(platform::linkFile(u"data\\names.txt", kept));
    EXPECT_TRUE(restoreBackup());
    EXPECT_EQ(readFile(u"data\\names.txt") + readFile(kept), "game<missing>");
    ASSERT_TRUE(platform::linkFile(u"data\\names.txt", kept));
    EXPECT_TRUE(installCampaignFiles(u"alpha"));
    EXPECT_EQ(readFile(u"data\\names.txt") + readFile(kept), "alphagame");
}

} // namespace
