#include "backup/back_up_game_file.h"

#include "testing/game_folder_test_support.h"

namespace {

using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

constexpr char16_t keptNames[] = u"data\\campaign\\backup\\text\\names.txt";

void backUpNames() {
    backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt");
}

TEST(BackUpGameFile, KeepsTheFirstCopyOnlyAndMakesTheFolderChain) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "before");
    testing_support::makeFolders(u"data\\campaign\\backup");
    EXPECT_TRUE(backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt"));
    writeFile(u"data\\text\\names.txt", "changed");
    EXPECT_TRUE(backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt"));
    EXPECT_EQ(readFile(keptNames), "before");

    // Without a game file only the folder chain is made, no folder for the file name.
    EXPECT_TRUE(backUpGameFile(u"data\\world\\maps\\base\\x.txt", u"world\\maps\\base\\x.txt"));
    writeFile(u"data\\x.txt", "top");
    EXPECT_TRUE(backUpGameFile(u"data\\x.txt", u"x.txt"));
    const backup_testing::Snapshot expected = {
        {u"text\\", ""},        {u"text\\names.txt", "before"}, {u"world\\", ""},
        {u"world\\maps\\", ""}, {u"world\\maps\\base\\", ""},   {u"x.txt", "top"}};
    const auto tree = backup_testing::snapshot(u"data\\campaign\\backup");
    EXPECT_EQ(tree, expected) << backup_testing::describe(tree, expected);
    EXPECT_EQ(testing_support::temporaryFilesLeft(), 0u);
}

TEST(BackUpGameFile, AFailureNeverLeavesAWrongCopy) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "before");
    testing_support::makeFolders(u"data\\campaign\\backup");
    platform::setFaultPlan({});
    backUpNames();
    const long operations = platform::fileOperationCount();
    for (long n = 1; n <= operations; ++n) {
        for (const bool crash : {false, true}) {
            testing_support::removeTree(u"data\\campaign\\backup\\text");
            platform::setFaultPlan(crash ? platform::FaultPlan{.stopAfter = n}
                                         : platform::FaultPlan{.failOperation = n});
            backUpNames();
            platform::setFaultPlan({});
            const std::string copy = readFile(keptNames);
            EXPECT_TRUE(copy == "before" || copy == "<missing>") << n;
            backUpNames(); // a copy missing now is made by the next call
            EXPECT_EQ(readFile(keptNames), "before") << n;
        }
    }
}

} // namespace
