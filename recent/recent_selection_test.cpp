#include "recent/setup_state.h"

#include "platform/file_system.h"
#include "testing/test_support.h"

#include <gtest/gtest.h>

namespace {

using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

constexpr char16_t recentPath[] = u"data\\campaign\\recent.txt";

std::string recentFile(std::string_view campaign, std::string_view scripts,
                       std::string_view translation) {
    return "[campaign] " + std::string(campaign) + "\r\n[scripts] " + std::string(scripts) +
           "\r\n[translation] " + std::string(translation) + "\r\n";
}

SetupState record(std::u16string_view folder, std::u16string_view scripts,
                  std::u16string_view translation) {
    SetupState state;
    state.folder = folder;
    state.recordedScriptList = scripts;
    state.translation = translation;
    return state;
}

// Loads `fileBytes` as recent.txt over `state`.
SetupState loaded(std::string_view fileBytes, SetupState state = {}) {
    writeFile(recentPath, fileBytes);
    EXPECT_TRUE(loadRecentSelection(state));
    return state;
}

// Files left in the game folder itself (temporary files that were not cleaned up).
std::vector<std::u16string> gameFolderFiles() {
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(u"*", entries);
    std::vector<std::u16string> files;
    for (const auto& entry : entries) {
        if (!entry.isFolder) {
            files.push_back(entry.name);
        }
    }
    return files;
}

TEST(RecentSelection, MissingFileLeavesTheRecordAsItWas) {
    ScratchFolder game;
    SetupState state = record(u"norvale", u"", u"");
    state.hasCampaign = true;
    state.scriptSlots[3] = u"x.txt";
    EXPECT_FALSE(loadRecentSelection(state));
    EXPECT_TRUE(state.hasCampaign && !state.hasScripts);
    EXPECT_EQ(state.folder, u"norvale");
    EXPECT_EQ(state.scriptSlots[3], u"x.txt");
}

TEST(RecentSelection, WritesTheExactFormatAndReadsItBack) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    ASSERT_TRUE(saveRecentSelection(record(u"norvale", u"walls.txt bigger_armies.txt ", u"none")));
    EXPECT_EQ(readFile(recentPath), recentFile("norvale", "walls.txt bigger_armies.txt ", "none"));
    EXPECT_TRUE(gameFolderFiles().empty()) << "a temporary file was left behind";
    SetupState back;
    ASSERT_TRUE(loadRecentSelection(back));
    EXPECT_TRUE(back.hasCampaign && back.hasScripts && back.hasTranslation);
    EXPECT_EQ(back.folder, u"norvale");
    EXPECT_EQ(back.recordedScriptList, u"walls.txt bigger_armies.txt ");
    EXPECT_EQ(back.translation, u"none");
    EXPECT_EQ(back.scriptSlots[1], u"bigger_armies.txt");
    EXPECT_EQ(back.scriptSlots[2], u"");

    // Empty fields keep header, blank and line break, and read back empty: the line break
    // after a lone blank is no value, and an empty list fills no slot.
    ASSERT_TRUE(saveRecentSelection(SetupState{}));
    EXPECT_EQ(readFile(recentPath), recentFile("", "", ""));
    ASSERT_TRUE(loadRecentSelection(back));
    EXPECT_TRUE(back.hasCampaign && back.hasScripts && back.hasTranslation);
    EXPECT_EQ(back.folder + back.recordedScriptList + back.translation, u"");
    EXPECT_EQ(back.scriptSlots[0], u"walls.txt");
}

TEST(RecentSelection, EightBitTextAndCharactersItCannotHold) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    // Latin-1 is one byte per character. The translation's display name is never escaped: a
    // character above 255 ends the field, the line break still follows and the next field
    // is written whole.
    SetupState state = record(u"norvale", u"a.txt ", u"Fran\u00e7ais \u0393reek tail");
    ASSERT_TRUE(saveRecentSelection(state));
    EXPECT_EQ(readFile(recentPath), recentFile("norvale", "a.txt ",
                                               "Fran\xE7"
                                               "ais "));
    SetupState back;
    ASSERT_TRUE(loadRecentSelection(back));
    EXPECT_EQ(back.translation, u"Fran\u00e7ais ");
}

TEST(RecentSelection, FileNamesAbove255ReadBackExactly) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    const auto repeat = [](auto text, int times) {
        decltype(text) out;
        for (int i = 0; i < times; ++i) {
            out += text;
        }
        return out;
    };
    // Names below 256 are written as ever; a backslash (no file name has one) is kept. The
    // translation is no file name and is never escaped. A name whose escapes pass the
    // folder capacity reads back whole: the capacities count names, not escapes.
    const struct {
        std::u16string name;
        std::string written;
    } cases[] = {
        {u"Fran\u00e7ais", "Fran\xE7"
                           "ais"},
        {u"..\\gone", "..\\gone"},
        {u"\u0412\u043e\u0441\u0442\u043e\u043a", R"(\u0412\u043e\u0441\u0442\u043e\u043a)"},
        {u"\u0395\u03bb\u03bb\u03ac\u03c2", R"(\u0395\u03bb\u03bb\u03ac\u03c2)"},
        {u"\u6771\u65b9", R"(\u6771\u65b9)"},
        {u"\U0001F3F0n", R"(\ud83c\udff0n)"},
        {repeat(std::u16string(u"\u044f"), 95), repeat(std::string(R"(\u044f)"), 95)},
    };
    for (const auto& c : cases) {
        const std::u16string script = c.name + u".txt";
        ASSERT_TRUE(saveRecentSelection(record(c.name, script + u" b.txt ", u"\\u0444 \\n")));
        EXPECT_EQ(readFile(recentPath),
                  recentFile(c.written, c.written + ".txt b.txt ", R"(\u0444 \n)"));
        SetupState back;
        ASSERT_TRUE(loadRecentSelection(back));
        EXPECT_EQ(back.folder, c.name);
        EXPECT_EQ(back.scriptSlots[0], script);
        EXPECT_EQ(back.scriptSlots[1], u"b.txt");
        EXPECT_EQ(back.translation, u"\\u0444 \n");
    }
    // A record without escapes reads as it always did, down to where an overlong value is
    // cut (the blank after the header counts against the capacity).
    EXPECT_EQ(loaded("[campaign] " + std::string(300, 'f') + "\r\n").folder,
              std::u16string(folderCapacity - 2, u'f'));
}

TEST(RecentSelection, SlotSplitAndFlags) {
    ScratchFolder game;
    // Two blanks skip a slot, which keeps what it had; a name ends where it ends.
    SetupState state;
    state.scriptSlots[0] = u"much_longer_name.txt";
    state.scriptSlots[1] = u"kept.txt";
    state = loaded(recentFile("norvale", "a.txt  b.txt", "none"), state);
    EXPECT_EQ(state.scriptSlots[0], u"a.txt");
    EXPECT_EQ(state.scriptSlots[1], u"kept.txt");
    EXPECT_EQ(state.scriptSlots[2], u"b.txt");

    // Sections in another order read the same; a missing section clears flag and value.
    state = record(u"", u"stale.txt ", u"Deutsch");
    state.hasTranslation = true;
    state.scriptSlots[0] = u"stale.txt";
    state = loaded("[translation] x\r\n[campaign] norvale\r\n", state);
    EXPECT_TRUE(state.hasCampaign && state.hasTranslation && !state.hasScripts);
    EXPECT_EQ(state.folder, u"norvale");
    EXPECT_EQ(state.translation, u"x");
    EXPECT_EQ(state.recordedScriptList + state.scriptSlots[0], u"");

    state.folder = u"stale";
    state = loaded("[scripts] a.txt \r\n", state);
    EXPECT_TRUE(!state.hasCampaign && !state.hasTranslation && state.hasScripts);
    EXPECT_EQ(state.folder + state.translation, u"");
    EXPECT_EQ(state.scriptSlots[0], u"a.txt");
}

TEST(RecentSelection, TrailingBlanksOfTranslationRunsReadBackToTheSameSlots) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    SetupState state = record(u"norvale", u"a.txt b.txt ", u"none");
    for (int run = 0; run < 2; ++run, state.recordedScriptList += u' ') {
        SetupState reread;
        ASSERT_TRUE(saveRecentSelection(state));
        ASSERT_TRUE(loadRecentSelection(reread));
        EXPECT_EQ(reread.recordedScriptList, state.recordedScriptList);
        EXPECT_EQ(reread.scriptSlots[1], u"b.txt");
        for (std::size_t i = 2; i < scriptSlotCount; ++i) {
            EXPECT_EQ(reread.scriptSlots[i], u"") << i;
        }
    }
}

TEST(RecentSelection, MoreNamesThanSlotsAndOverlongNamesStayInBounds) {
    ScratchFolder game;
    std::string list;
    for (int i = 0; i < 40; ++i) {
        list += "s" + std::to_string(i) + ".txt ";
    }
    EXPECT_EQ(loaded("[scripts] " + list + std::string(150, 'n') + "\r\n").scriptSlots[29],
              u"s29.txt");
    const SetupState longName = loaded("[scripts] " + std::string(150, 'n') + " b.txt\r\n");
    EXPECT_EQ(longName.scriptSlots[0].size(), nameCapacity - 1);
    EXPECT_EQ(longName.scriptSlots[1], u"b.txt");
}

TEST(RecentSelection, ClearKeepsTheFileFlagsAndPreviousCampaign) {
    ScratchFolder game;
    const std::string file = recentFile("norvale", "a.txt ", "Deutsch");
    SetupState state = loaded(file);
    state.previousCampaign = u"norvale";
    ASSERT_TRUE(clearRecentSelection(state));
    EXPECT_EQ(state.folder + state.translation + state.recordedScriptList + state.scriptSlots[0],
              u"");
    EXPECT_EQ(state.previousCampaign, u"norvale");
    EXPECT_TRUE(state.hasCampaign && state.hasScripts && state.hasTranslation);
    // The file still names whose games are in "saves" until it is replaced.
    EXPECT_EQ(readFile(recentPath), file);
}

TEST(RecentSelection, AFailureAnywhereLeavesTheOldRecordOrTheNewOneWhole) {
    ScratchFolder game;
    const std::string oldRecord = recentFile("norvale", "a.txt ", "none");
    const std::string newRecord = recentFile("tarsis", "", "none");
    const SetupState state = record(u"tarsis", u"", u"none");
    writeFile(recentPath, oldRecord);
    platform::setFaultPlan({});
    ASSERT_TRUE(saveRecentSelection(state));
    const long operations = platform::fileOperationCount();
    ASSERT_GE(operations, 3);
    for (long n = 1; n <= operations; ++n) {
        for (const bool crash : {false, true}) {
            writeFile(recentPath, oldRecord);
            platform::setFaultPlan(crash ? platform::FaultPlan{.stopAfter = n}
                                         : platform::FaultPlan{.failOperation = n});
            const bool saved = saveRecentSelection(state);
            platform::setFaultPlan({});
            EXPECT_EQ(readFile(recentPath), saved ? newRecord : oldRecord)
                << "operation " << n << " crash " << crash;
            EXPECT_TRUE(crash || gameFolderFiles().empty()) << "operation " << n;
            for (const auto& name : gameFolderFiles()) {
                platform::deleteFile(name); // what a crash leaves, so the next case starts clean
            }
        }
    }
}

} // namespace
