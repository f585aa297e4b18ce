#include "platform/file_system.h"
#include "platform/long_path.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {
std::vector<std::u16string> names(std::u16string_view pattern) {
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(pattern, entries);
    std::vector<std::u16string> out;
    for (const auto& entry : entries) {
        out.push_back(entry.name + (entry.isFolder ? u"/" : u""));
    }
    return out;
}
} // namespace

TEST(FolderListing, SortsTheNtfsWayAndMatchesWindowsPatterns) {
    ScratchFolder scratch;
    for (const char16_t* name : {u"zeta.txt", u"_x.txt", u"Alpha.txt", u"beta.txt", u"a b.txt",
                                 u"Gamma.TXT", u"readme", u"notes.txt.bak"}) {
        writeFile(std::u16string(u"d\\") + name, "x");
    }
    makeFolders(u"d\\folder.txt");
    // "_" sorts after the letters: upper-cased ordinal order.
    EXPECT_EQ(names(u"d\\*.txt"),
              (std::vector<std::u16string>{u"a b.txt", u"Alpha.txt", u"beta.txt", u"folder.txt/",
                                           u"Gamma.TXT", u"zeta.txt", u"_x.txt"}));
    EXPECT_EQ(names(u"d\\*").size(), 9u);
    EXPECT_EQ(names(u"d\\*.*").size(), 9u); // "*.*" also matches names without a dot
    EXPECT_EQ(names(u"d\\*.bak"), (std::vector<std::u16string>{u"notes.txt.bak"}));
    EXPECT_TRUE(names(u"d\\*.none").empty());
    std::vector<platform::FolderEntry> entries;
    EXPECT_FALSE(platform::listFolder(u"missing\\*", entries));
}

TEST(FileOperations, RenameAndCopyNeverReplaceButReplaceDoes) {
    ScratchFolder scratch;
    writeFile(u"a.txt", "A");
    writeFile(u"b.txt", "B");
    EXPECT_FALSE(platform::renameFile(u"a.txt", u"b.txt"));
    EXPECT_EQ(readFile(u"b.txt"), "B");
    EXPECT_TRUE(platform::replaceFile(u"a.txt", u"b.txt"));
    EXPECT_EQ(readFile(u"b.txt"), "A");
    EXPECT_FALSE(exists(u"a.txt"));
    EXPECT_TRUE(platform::replaceFile(u"b.txt", u"new.txt")); // a missing target is fine
    EXPECT_EQ(readFile(u"new.txt"), "A");

    makeFolders(u"saves");
    writeFile(u"saves\\slot1.sav", "S");
    EXPECT_TRUE(platform::renameFile(u"saves", u"save_norvale"));
    EXPECT_EQ(readFile(u"save_norvale\\slot1.sav"), "S");
    makeFolders(u"saves");
    EXPECT_FALSE(platform::renameFile(u"save_norvale", u"saves")); // folders too

    writeFile(u"b.txt", "old");
    EXPECT_FALSE(platform::copyFile(u"new.txt", u"b.txt", true));
    EXPECT_EQ(readFile(u"b.txt"), "old");
    EXPECT_TRUE(platform::copyFile(u"new.txt", u"b.txt", false));
    EXPECT_EQ(readFile(u"b.txt"), "A");
    EXPECT_FALSE(platform::copyFile(u"missing.txt", u"c.txt", false));
    EXPECT_FALSE(exists(u"c.txt"));
}

TEST(FileOperations, TemporaryFilesAreUniqueAndInTheFolder) {
    ScratchFolder scratch;
    std::u16string first, second;
    ASSERT_TRUE(platform::makeTemporaryFile(platform::currentDirectory(), first));
    ASSERT_TRUE(platform::makeTemporaryFile(platform::currentDirectory(), second));
    EXPECT_NE(first, second);
    EXPECT_TRUE(exists(first));
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(u"*.tmp", entries);
    EXPECT_EQ(entries.size(), 2u);
}

TEST(FaultInjection, FailsTheChosenOperationOrEveryOneAfterAStop) {
    ScratchFolder scratch;
    platform::setFaultPlan({.failOperation = 2});
    EXPECT_TRUE(platform::writeWholeFile(u"one.txt", "1"));
    EXPECT_FALSE(platform::writeWholeFile(u"two.txt", "2"));
    EXPECT_TRUE(platform::writeWholeFile(u"three.txt", "3"));
    EXPECT_EQ(platform::fileOperationCount(), 3);
    platform::setFaultPlan({.stopAfter = 1});
    EXPECT_TRUE(platform::writeWholeFile(u"first.txt", "1"));
    EXPECT_FALSE(platform::deleteFile(u"one.txt"));
    EXPECT_FALSE(platform::createFolder(u"later"));
    platform::setFaultPlan({});
    EXPECT_EQ(names(u"*"), (std::vector<std::u16string>{u"first.txt", u"one.txt", u"three.txt"}));
}

TEST(LongPaths, LongPlainPathsTakeTheLongFormAllOthersStayAsTheyAre) {
    const std::u16string games = u"C:\\games\\dravik";
    // A path below data\ whose full path in `games` has `length` characters.
    const auto ofLength = [&](std::size_t length) {
        return u"data\\" + std::u16string(length - games.size() - 6, u'n');
    };
    const std::u16string deep = ofLength(300);
    const struct {
        std::u16string path, currentDirectory, expected; // expected empty: unchanged
    } cases[] = {
        {u"data\\text\\names.txt", games, u""},
        {ofLength(247), games, u""},
        {ofLength(248), games, u"\\\\?\\C:\\games\\dravik\\" + ofLength(248)},
        {ofLength(260), games, u"\\\\?\\C:\\games\\dravik\\" + ofLength(260)},
        {deep, u"\\\\server\\share\\games", u"\\\\?\\UNC\\server\\share\\games\\" + deep},
        {deep, u"C:\\", u"\\\\?\\C:\\" + deep},
        {deep + u"\\*.*", u"\\\\?\\C:\\long", u"\\\\?\\C:\\long\\" + deep + u"\\*.*"},
        {u"D:\\" + deep, games, u"\\\\?\\D:\\" + deep},
        {u"\\\\nas\\games\\" + deep, games, u"\\\\?\\UNC\\nas\\games\\" + deep},
        // Not plain: Win32 would normalise these, the long form would not.
        {u".\\" + deep, games, u""},
        {u"data\\..\\" + deep, games, u""},
        {u"data/" + deep, games, u""},
        {u"data\\\\" + deep, games, u""},
        {deep + u".", games, u""},
        {u"data \\" + deep, games, u""},
        {u"\\" + deep, games, u""},
        {u"C:" + deep, games, u""},
        {u"\\\\?\\C:\\" + deep, games, u""},
        {u"C:\\x\\..\\" + deep, games, u""},
        {deep, u"C:\\games\\.\\x", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::longPathForm(c.path, c.currentDirectory),
                  c.expected.empty() ? c.path : c.expected)
            << utf8(c.path).substr(0, 40) << " in " << utf8(c.currentDirectory);
    }
}
