#include "backup/back_up_game_file.h"
#include "backup/restore_backup.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

#include <filesystem>

using namespace testing_support;

TEST(BackUpGameFile, KeepsTheFirstCopyOnlyAndMakesTheFolderChain) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "before");
    writeFile(u"data\\x.txt", "top");
    makeFolders(u"data\\campaign\\backup");
    EXPECT_TRUE(backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt"));
    writeFile(u"data\\text\\names.txt", "changed");
    EXPECT_TRUE(backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt"));
    // Without a game file only the folder chain is made, no folder for the file name.
    EXPECT_TRUE(backUpGameFile(u"data\\maps\\base\\x.txt", u"maps\\base\\x.txt"));
    EXPECT_TRUE(backUpGameFile(u"data\\x.txt", u"x.txt"));
    EXPECT_EQ(snapshot(u"data\\campaign\\backup"), (Snapshot{{u"text\\", ""},
                                                             {u"text\\names.txt", "before"},
                                                             {u"maps\\", ""},
                                                             {u"maps\\base\\", ""},
                                                             {u"x.txt", "top"}}));
}

TEST(RestoreBackup, PutsEveryKeptFileBackDeletesTheCachesAndEmptiesTheTree) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    writeFile(u"data\\text\\UNITS.TXT.STRINGS.BIN", "cache"); // the game's names ignore case
    writeFile(u"data\\text\\other.strings.bin", "not a text cache");
    writeFile(u"data\\menu\\names.txt.strings.bin", "not in data\\text");
    makeFolders(u"data\\campaign"); // no backup tree at all: it is made
    EXPECT_TRUE(restoreBackup());
    const Snapshot untouched = {
        {u"campaign\\", ""}, {u"campaign\\backup\\", ""},
        {u"menu\\", ""},     {u"menu\\names.txt.strings.bin", "not in data\\text"},
        {u"text\\", ""},     {u"text\\other.strings.bin", "not a text cache"}};
    EXPECT_EQ(snapshot(u"data"), untouched);

    writeFile(u"data\\text\\names.txt", "changed names");
    writeFile(u"data\\campaign\\backup\\text\\names.txt", "kept names");
    writeFile(u"data\\campaign\\backup\\top.txt", "kept top");
    writeFile(u"data\\campaign\\backup\\fresh\\deep\\y.txt", "kept y");
    makeFolders(u"data\\campaign\\backup\\empty\\inner");
    EXPECT_TRUE(restoreBackup());
    Snapshot restored = untouched;
    restored.insert({{u"text\\names.txt", "kept names"},
                     {u"top.txt", "kept top"},
                     {u"fresh\\", ""},
                     {u"fresh\\deep\\", ""},
                     {u"fresh\\deep\\y.txt", "kept y"},
                     {u"empty\\", ""},
                     {u"empty\\inner\\", ""}});
    EXPECT_EQ(describe(snapshot(u"data"), restored), "");
}

TEST(RestoreBackup, NamesThatDifferOnlyInCase) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "changed");
    writeFile(u"data\\campaign\\backup\\Text\\Names.txt", "kept");
    EXPECT_TRUE(restoreBackup());
    EXPECT_EQ(snapshot(u"data\\campaign\\backup"), Snapshot{});
#ifdef _WIN32
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "kept"); // one file on Windows
#else
    EXPECT_EQ(readFile(u"data\\text\\names.txt") + readFile(u"data\\Text\\Names.txt"),
              "changedkept");
#endif
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
    EXPECT_FALSE(exists(u"data\\text\\link") || exists(u"data\\loop"));
}
#endif
