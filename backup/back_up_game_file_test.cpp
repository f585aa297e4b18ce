#include "backup/back_up_game_file.h"

#include "backup/game_folder_test_support.h"

namespace {

using testing_support::exists;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

TEST(BackUpGameFile, KeepsTheFirstCopyOnly) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "before");
    testing_support::makeFolders(u"data\\campaign\\backup");
    EXPECT_TRUE(backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt"));
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "before");

    writeFile(u"data\\text\\names.txt", "changed");
    EXPECT_TRUE(backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt"));
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "before");
    // No temporary file is left in the game folder.
    for (const auto& [path, bytes] : backup_testing::snapshot()) {
        EXPECT_FALSE(path.starts_with(u"tmp")) << testing_support::utf8(path);
    }
}

TEST(BackUpGameFile, MakesTheFolderChainEvenWithoutAGameFile) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign\\backup");
    EXPECT_TRUE(backUpGameFile(u"data\\world\\maps\\base\\x.txt", u"world\\maps\\base\\x.txt"));
    EXPECT_TRUE(platform::folderExists(u"data\\campaign\\backup\\world\\maps\\base"));
    EXPECT_FALSE(exists(u"data\\campaign\\backup\\world\\maps\\base\\x.txt"));
    EXPECT_FALSE(platform::folderExists(u"data\\campaign\\backup\\world\\maps\\base\\x.txt"));

    writeFile(u"data\\x.txt", "top");
    EXPECT_TRUE(backUpGameFile(u"data\\x.txt", u"x.txt"));
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\x.txt"), "top");
    const auto tree = backup_testing::snapshot(u"data\\campaign\\backup");
    // The three folders of the chain and the one copy; no folder for a file name.
    EXPECT_EQ(tree.size(), 4u) << backup_testing::describe(tree, {});
}

TEST(BackUpGameFile, AFailureNeverLeavesAWrongCopy) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "before");
    testing_support::makeFolders(u"data\\campaign\\backup");
    platform::setFaultPlan({});
    backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt");
    const long operations = platform::fileOperationCount();
    for (long n = 1; n <= operations; ++n) {
        for (const bool crash : {false, true}) {
            testing_support::removeTree(u"data\\campaign\\backup\\text");
            platform::setFaultPlan(crash ? platform::FaultPlan{.stopAfter = n}
                                         : platform::FaultPlan{.failOperation = n});
            backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt");
            platform::setFaultPlan({});
            const std::string copy = readFile(u"data\\campaign\\backup\\text\\names.txt");
            EXPECT_TRUE(copy == "before" || copy == "<missing>") << n;
            // A copy missing now is made by the next call.
            backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt");
            EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "before") << n;
        }
    }
}

} // namespace
