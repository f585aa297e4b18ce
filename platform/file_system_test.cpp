#include "platform/file_operation.h"
#include "platform/file_system.h"
#include "platform/long_path.h"
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
    // Setting a time is a change: the change time tells it, not the time given.
    const std::int64_t start = platform::currentFileTime() - platform::fileTimeSecond;
    const std::int64_t longAgo = start - 3600 * platform::fileTimeSecond;
    ASSERT_TRUE(platform::setLastWriteTime(u"d\\beta.txt", longAgo));
    writeFile(u"d\\folder.txt\\inner.txt", "x");
    // "_" sorts after the letters: upper-cased ordinal order, whatever the drive does.
    EXPECT_EQ(names(u"d\\*.TXT"), (Names{u"a b.txt", u"Alpha.txt", u"beta.txt", u"folder.txt/",
                                         u"Gamma.TXT", u"zeta.txt", u"_x.txt"}));
    EXPECT_EQ(names(u"d\\*.*").size(), 9u); // "*.*" also matches names without a dot
    EXPECT_EQ(names(u"d\\*.bak"), Names{u"notes.txt.bak"});
    EXPECT_EQ(names(u"d\\folder.txt\\*"), Names{u"inner.txt"});
    std::vector<platform::FolderEntry> entries;
    EXPECT_FALSE(platform::listFolder(u"missing\\*", entries));
    // Names looked up in one folder: what the listing tells, matched as the system matches.
    std::vector<std::optional<platform::FolderEntry>> found;
    // Many names missing first: on Windows the rest are then found through one listing.
    for (const std::size_t missing : {std::size_t{0}, std::size_t{9}}) {
        std::vector<std::u16string_view> asked(missing, u"no");
        asked.insert(asked.end(), {u"beta.txt", u"GAMMA.txt", u"folder.txt", u"no"});
        ASSERT_TRUE(platform::findInFolder(u"d", asked, found));
        const auto* at = found.data() + missing;
        ASSERT_TRUE(at[0] && at[2]) << missing;
        EXPECT_TRUE(at[0]->size == 1 && !at[0]->isFolder && at[2]->isFolder) << missing;
        EXPECT_TRUE(at[0]->lastWrite == longAgo && at[0]->changeTime > start) << missing;
#ifdef _WIN32
        EXPECT_TRUE(at[1] && at[1]->name == u"GAMMA.txt" && at[1]->size == at[0]->size);
#else
        EXPECT_FALSE(at[1]);
#endif
        EXPECT_FALSE(found[0] && missing > 0);
        EXPECT_FALSE(at[3]);
    }
    EXPECT_FALSE(platform::findInFolder(u"missing", {u"x"}, found));
}

TEST(FolderListing, OnlyNameSurrogateReparsePointsAreLinks) {
    // Attributes and reparse tags as Windows lists them (Wine makes no such files).
    constexpr std::uint32_t file = 0x20, folder = 0x10, reparse = 0x400;
    const struct {
        const char* kind;
        std::uint32_t attributes, tag;
        bool link;
    } cases[] = {
        {"symbolic link", reparse | file, 0xA000000C, true},
        {"folder symbolic link", reparse | folder, 0xA000000C, true},
        {"junction or mount point", reparse | folder, 0xA0000003, true},
        {"WSL link", reparse | file, 0xA000001D, true},
        {"no tag told (Wine's linked folder)", reparse | folder, 0, true},
        {"compressed for games (compact /exe)", reparse | file, 0x80000017, false},
        {"de-duplicated", reparse | file, 0x80000013, false},
        {"cloud file on demand", reparse | file, 0x9000001A, false},
        {"cloud folder on demand", reparse | folder, 0x9000701A, false},
        {"app execution alias", reparse | file, 0x8000001B, false},
        {"AF_UNIX socket", reparse | file, 0x80000023, false},
        {"storage manager (HSM)", reparse | file, 0xC0000004, false},
        {"no reparse point", file, 0xA000000C, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::detail::isLinkEntry(c.attributes, c.tag), c.link) << c.kind;
    }
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
    makeFolders(u"saves");
    makeFolders(u"save_x");
    EXPECT_FALSE(platform::renameFile(u"saves", u"save_x")); // folders too
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
        {ofLength(247), games, ofLength(247)},
        {ofLength(248), games, u"\\\\?\\C:\\games\\dravik\\" + ofLength(248)},
        {deep, u"\\\\server\\share\\games", u"\\\\?\\UNC\\server\\share\\games\\" + deep},
        {deep + u"\\*.*", u"\\\\?\\C:\\long", u"\\\\?\\C:\\long\\" + deep + u"\\*.*"},
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
         {u"data\\..\\", u"data/", u"data\\\\", u"data \\", u"\\", u"C:", u"\\\\?\\C:\\"}) {
        const std::u16string path = std::u16string(notPlain) + deep;
        EXPECT_EQ(platform::longPathForm(path, games), path) << utf8(notPlain);
    }
}
