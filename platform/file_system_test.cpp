#include "platform/file_system.h"
#include "platform/long_path.h"
#include "platform/safe_write.h"
#include "testing/test_support.h"

using namespace testing_support;
using Names = std::vector<std::u16string>;

namespace {
Names names(std::u16string_view pattern) {
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(pattern, entries);
    Names out;
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
    writeFile(u"d\\folder.txt\\inner.txt", "x");
    // "_" sorts after the letters: upper-cased ordinal order, whatever the drive does.
    EXPECT_EQ(names(u"d\\*.TXT"), (Names{u"a b.txt", u"Alpha.txt", u"beta.txt", u"folder.txt/",
                                         u"Gamma.TXT", u"zeta.txt", u"_x.txt"}));
    EXPECT_EQ(names(u"d\\*.*").size(), 9u); // "*.*" also matches names without a dot
    EXPECT_EQ(names(u"d\\*.bak"), Names{u"notes.txt.bak"});
    EXPECT_EQ(names(u"d\\folder.txt\\*"), Names{u"inner.txt"});
    std::vector<platform::FolderEntry> entries;
    EXPECT_FALSE(platform::listFolder(u"missing\\*", entries));
}

TEST(FileOperations, RenameAndCopyNeverReplaceButReplaceDoes) {
    ScratchFolder scratch;
    writeFile(u"a.txt", "A");
    writeFile(u"b.txt", "B");
    EXPECT_FALSE(platform::renameFile(u"a.txt", u"b.txt"));
    EXPECT_TRUE(platform::replaceFile(u"a.txt", u"b.txt"));
    EXPECT_TRUE(platform::replaceFile(u"b.txt", u"new.txt")); // a missing target is fine
    EXPECT_EQ(readFile(u"a.txt") + readFile(u"b.txt") + readFile(u"new.txt"),
              "<missing><missing>A");
    writeFile(u"saves\\slot1.sav", "S");
    makeFolders(u"save_x");
    EXPECT_FALSE(platform::renameFile(u"saves", u"save_x")); // folders too
    EXPECT_TRUE(platform::renameFile(u"saves", u"save_y"));
    EXPECT_EQ(readFile(u"save_y\\slot1.sav"), "S");
    writeFile(u"b.txt", "old");
    EXPECT_FALSE(platform::copyFile(u"new.txt", u"b.txt", true));
    EXPECT_EQ(readFile(u"b.txt"), "old");
    EXPECT_TRUE(platform::copyFile(u"new.txt", u"b.txt", false));
    EXPECT_FALSE(platform::copyFile(u"missing.txt", u"c.txt", false));
    EXPECT_TRUE(platform::pathMissing(u"c.txt") && !platform::pathMissing(u"b.txt"));
    // A second name never replaces, and replacing a file by another name of itself leaves one.
    EXPECT_FALSE(platform::linkFile(u"new.txt", u"b.txt"));
    ASSERT_TRUE(platform::linkFile(u"new.txt", u"kept.txt"));
    EXPECT_TRUE(platform::replaceFile(u"kept.txt", u"new.txt"));
    EXPECT_EQ(readFile(u"kept.txt") + readFile(u"new.txt"), "<missing>A");
    // Names compare without regard to case on Windows only.
#ifdef _WIN32
    EXPECT_EQ(readFile(u"B.TXT"), "A");
#else
    EXPECT_EQ(readFile(u"B.TXT") + readFile(u"b.txt"), "<missing>A");
#endif
}

TEST(FileOperations, TemporaryFilesAreUniqueAndKnownByName) {
    ScratchFolder scratch;
    makeFolders(u"d");
    std::u16string first, second;
    ASSERT_TRUE(platform::makeTemporaryFile(u"d", first));
    ASSERT_TRUE(platform::makeTemporaryFile(u"d", second));
    EXPECT_NE(first, second);
    EXPECT_EQ(names(u"d\\*").size(), 2u);
    EXPECT_TRUE(platform::isTemporaryFileName(first.substr(2)));
    for (const std::u16string_view name :
         {u"~dravik12ab3.tmp", u"dravik12ab3f.tmp", u"~dravik12AB3F.tmp", u"~dravik12ab3f.txt"}) {
        EXPECT_FALSE(platform::isTemporaryFileName(name)) << utf8(name);
    }
}

// A failing operation is the safe write test's; a stop fails every later operation.
TEST(FaultInjection, EveryOperationAfterAStopFails) {
    ScratchFolder scratch;
    platform::setFaultPlan({.stopAfter = 1});
    EXPECT_TRUE(platform::writeWholeFile(u"first.txt", "1"));
    EXPECT_FALSE(platform::writeWholeFile(u"second.txt", "2"));
    EXPECT_FALSE(platform::createFolder(u"later"));
    EXPECT_EQ(platform::fileOperationCount(), 3);
    platform::setFaultPlan({});
    EXPECT_EQ(names(u"*"), Names{u"first.txt"});
}

TEST(LongPaths, LongPlainPathsTakeTheLongFormAllOthersStayAsTheyAre) {
    const std::u16string games = u"C:\\games\\dravik";
    // A path below data\ whose full path in `games` has `length` characters.
    const auto ofLength = [&](std::size_t length) {
        return u"data\\" + std::u16string(length - games.size() - 6, u'n');
    };
    const std::u16string deep = ofLength(300);
    const struct {
        std::u16string path, currentDirectory, expected;
    } cases[] = {
        {u"data\\text\\names.txt", games, u"data\\text\\names.txt"},
        {ofLength(247), games, ofLength(247)},
        {ofLength(248), games, u"\\\\?\\C:\\games\\dravik\\" + ofLength(248)},
        {deep, u"\\\\server\\share\\games", u"\\\\?\\UNC\\server\\share\\games\\" + deep},
        {deep, u"C:\\", u"\\\\?\\C:\\" + deep},
        {deep + u"\\*.*", u"\\\\?\\C:\\long", u"\\\\?\\C:\\long\\" + deep + u"\\*.*"},
        {u"D:\\" + deep, games, u"\\\\?\\D:\\" + deep},
        {u"\\\\nas\\games\\" + deep, games, u"\\\\?\\UNC\\nas\\games\\" + deep},
        // Not plain: Win32 would normalise these, the long form would not.
        {deep + u".", games, deep + u"."},
        {deep, u"C:\\games\\.\\x", deep},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::longPathForm(c.path, c.currentDirectory), c.expected)
            << utf8(c.path).substr(0, 40) << " in " << utf8(c.currentDirectory);
    }
    for (const std::u16string_view notPlain :
         {u".\\", u"data\\..\\", u"data/", u"data\\\\", u"data \\", u"\\", u"C:", u"\\\\?\\C:\\",
          u"C:\\x\\..\\"}) {
        const std::u16string path = std::u16string(notPlain) + deep;
        EXPECT_EQ(platform::longPathForm(path, games), path) << utf8(notPlain);
    }
}

// Each of the safe write's operations failing in turn (the temporary file, its write, the
// replace, nothing): the old file stays unless the new one is whole, and no temporary file
// is left.
TEST(SafeWrite, EveryFailureLeavesTheOldFileAndNoTemporaryFile) {
    using platform::SafeWriteResult;
    const SafeWriteResult results[] = {SafeWriteResult::noTemporaryFile,
                                       SafeWriteResult::writeFailed, SafeWriteResult::placeFailed,
                                       SafeWriteResult::written};
    for (const auto placing : {platform::Placing::replace, platform::Placing::onlyIfMissing}) {
        for (const bool old : {true, false}) {
            for (long n = 1; n <= 4; ++n) {
                ScratchFolder scratch;
                writeFile(old ? u"d\\f.txt" : u"d\\other.txt", "old");
                writeFile(u"source.txt", "new");
                // A first copy that is already there makes the replace fail; then the fourth
                // operation is the deletion of the temporary file, which must not fail.
                const bool kept = placing == platform::Placing::onlyIfMissing && old;
                platform::setFaultPlan({.failOperation = kept && n == 4 ? 5 : n});
                const auto result =
                    n % 2 ? platform::writeFileSafely(u"d\\f.txt", "new", placing)
                          : platform::copyFileSafely(u"source.txt", u"d\\f.txt", placing);
                platform::setFaultPlan({});
                EXPECT_EQ(result, kept && n == 4 ? SafeWriteResult::placeFailed : results[n - 1]);
                EXPECT_EQ(readFile(u"d\\f.txt"), result == SafeWriteResult::written ? "new"
                                                 : old                              ? "old"
                                                                                    : "<missing>");
                EXPECT_EQ(temporaryFilesLeft(), 0u) << n;
            }
        }
    }
    EXPECT_EQ(platform::folderOf(u"data\\text\\a.txt"), u"data\\text");
    EXPECT_EQ(platform::folderOf(u"a.txt"), u".");
}
