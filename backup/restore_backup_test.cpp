#include "backup/restore_backup.h"

#include "testing/game_folder_test_support.h"

#include <filesystem>

namespace {

using testing_support::exists;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

TEST(RestoreBackup, PutsEveryKeptFileBackAndEmptiesTheTree) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "changed names");
    writeFile(u"data\\text\\other.txt", "untouched");
    writeFile(u"data\\campaign\\backup\\text\\names.txt", "kept names");
    writeFile(u"data\\campaign\\backup\\top.txt", "kept top");
    writeFile(u"data\\campaign\\backup\\world\\maps\\base\\x.txt", "kept x");
    writeFile(u"data\\campaign\\backup\\fresh\\deep\\y.txt", "kept y");
    testing_support::makeFolders(u"data\\campaign\\backup\\empty\\inner");

    EXPECT_TRUE(restoreBackup());

    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "kept names"); // replaced
    EXPECT_EQ(readFile(u"data\\text\\other.txt"), "untouched");  // folders merge
    EXPECT_EQ(readFile(u"data\\top.txt"), "kept top");
    EXPECT_EQ(readFile(u"data\\world\\maps\\base\\x.txt"), "kept x"); // folders made again
    EXPECT_EQ(readFile(u"data\\fresh\\deep\\y.txt"), "kept y");
    EXPECT_TRUE(platform::folderExists(u"data\\campaign\\backup"));
    EXPECT_TRUE(backup_testing::snapshot(u"data\\campaign\\backup").empty())
        << backup_testing::describe(backup_testing::snapshot(u"data\\campaign\\backup"), {});
}

TEST(RestoreBackup, DeletesEveryTextCacheEvenWithNothingToRestore) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    writeFile(u"data\\text\\UNITS.TXT.STRINGS.BIN", "cache"); // the game's names ignore case
    writeFile(u"data\\text\\other.strings.bin", "not a text cache");
    writeFile(u"data\\menu\\names.txt.strings.bin", "not in data\\text");
    testing_support::makeFolders(u"data\\campaign"); // no backup tree at all: it is made
    EXPECT_TRUE(restoreBackup());
    const backup_testing::Snapshot expected = {
        {u"campaign\\", ""}, {u"campaign\\backup\\", ""},
        {u"menu\\", ""},     {u"menu\\names.txt.strings.bin", "not in data\\text"},
        {u"text\\", ""},     {u"text\\other.strings.bin", "not a text cache"}};
    EXPECT_EQ(backup_testing::snapshot(u"data"), expected);
}

TEST(RestoreBackup, NamesThatDifferOnlyInCase) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "changed");
    writeFile(u"data\\campaign\\backup\\Text\\Names.txt", "kept");
    EXPECT_TRUE(restoreBackup());
    EXPECT_TRUE(backup_testing::snapshot(u"data\\campaign\\backup").empty());
#ifdef _WIN32
    // One file on Windows: the kept copy replaces it.
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "kept");
    EXPECT_FALSE(platform::folderExists(u"data\\campaign\\backup\\Text"));
#else
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "changed");
    EXPECT_EQ(readFile(u"data\\Text\\Names.txt"), "kept");
#endif
}

TEST(RestoreBackup, AFileThatCannotMoveStaysKeptForTheNextRestore) {
    ScratchFolder game;
    const auto prepare = [] {
        testing_support::removeTree(u"data\\campaign\\backup");
        for (const std::string name : {"a", "b"}) {
            const std::u16string file = u"text\\" + std::u16string(1, name[0]) + u".txt";
            writeFile(u"data\\" + file, "changed " + name);
            writeFile(u"data\\campaign\\backup\\" + file, "kept " + name);
        }
    };
    prepare();
    platform::setFaultPlan({});
    restoreBackup();
    const long operations = platform::fileOperationCount();
    for (long n = 1; n <= operations; ++n) {
        for (const bool crash : {false, true}) {
            prepare();
            platform::setFaultPlan(crash ? platform::FaultPlan{.stopAfter = n}
                                         : platform::FaultPlan{.failOperation = n});
            restoreBackup();
            platform::setFaultPlan({});
            for (const std::string name : {"a", "b"}) {
                const std::u16string file = u"text\\" + std::u16string(1, name[0]) + u".txt";
                EXPECT_TRUE(readFile(u"data\\" + file) == "kept " + name ||
                            readFile(u"data\\campaign\\backup\\" + file) == "kept " + name)
                    << "original lost at operation " << n;
            }
            restoreBackup();
            EXPECT_EQ(readFile(u"data\\text\\a.txt") + readFile(u"data\\text\\b.txt"),
                      "kept akept b")
                << n;
            EXPECT_TRUE(backup_testing::snapshot(u"data\\campaign\\backup").empty()) << n;
        }
    }
}

#ifndef _WIN32
// The Windows build cannot make links without special rights.
TEST(RestoreBackup, NeverFollowsALink) {
    ScratchFolder game;
    writeFile(u"outside\\precious.txt", "not the game's");
    writeFile(u"data\\campaign\\backup\\text\\names.txt", "kept");
    std::filesystem::create_directory_symlink("../../../outside", "data/campaign/backup/text/link");
    std::filesystem::create_directory_symlink("../..", "data/campaign/backup/loop");
    EXPECT_TRUE(restoreBackup());
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "kept");
    EXPECT_EQ(readFile(u"outside\\precious.txt"), "not the game's");
    EXPECT_FALSE(exists(u"data\\text\\link"));
    EXPECT_FALSE(exists(u"data\\loop"));
    EXPECT_FALSE(exists(u"data\\text\\precious.txt"));
}
#endif

} // namespace
