#include "recent/setup_state.h"

#include "platform/file_system.h"
#include "testing/test_support.h"

#include <gtest/gtest.h>

namespace {

using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

constexpr char16_t recentPath[] = u"data\\campaign\\recent.txt";

SetupState loaded(std::string_view fileBytes) {
    writeFile(recentPath, fileBytes);
    SetupState state;
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
    testing_support::makeFolders(u"data\\campaign");
    SetupState state;
    state.folder = u"norvale";
    state.hasCampaign = true;
    state.scriptSlots[3] = u"x.txt";
    EXPECT_FALSE(loadRecentSelection(state));
    EXPECT_EQ(state.folder, u"norvale");
    EXPECT_TRUE(state.hasCampaign);
    EXPECT_FALSE(state.hasScripts);
    EXPECT_EQ(state.scriptSlots[3], u"x.txt");
}

TEST(RecentSelection, WritesTheExactFormatAndReadsItBack) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    SetupState state;
    state.folder = u"norvale";
    state.recordedScriptList = u"walls.txt bigger_armies.txt ";
    state.translation = u"none";
    ASSERT_TRUE(saveRecentSelection(state));
    EXPECT_EQ(
        readFile(recentPath),
        "[campaign] norvale\r\n[scripts] walls.txt bigger_armies.txt \r\n[translation] none\r\n");
    EXPECT_TRUE(gameFolderFiles().empty()) << "a temporary file was left behind";

    SetupState back;
    ASSERT_TRUE(loadRecentSelection(back));
    EXPECT_TRUE(back.hasCampaign && back.hasScripts && back.hasTranslation);
    EXPECT_EQ(back.folder, u"norvale");
    EXPECT_EQ(back.recordedScriptList, u"walls.txt bigger_armies.txt ");
    EXPECT_EQ(back.translation, u"none");
    EXPECT_EQ(back.scriptSlots[0], u"walls.txt");
    EXPECT_EQ(back.scriptSlots[1], u"bigger_armies.txt");
    EXPECT_EQ(back.scriptSlots[2], u"");

    // Empty fields still give their header, its blank and the line break; the flags are
    // not consulted.
    ASSERT_TRUE(saveRecentSelection(SetupState{}));
    EXPECT_EQ(readFile(recentPath), "[campaign] \r\n[scripts] \r\n[translation] \r\n");
    // ... and reads back as empty values: the line break after a lone blank is no value.
    ASSERT_TRUE(loadRecentSelection(back));
    EXPECT_TRUE(back.hasCampaign && back.hasScripts && back.hasTranslation);
    EXPECT_EQ(back.folder, u"");
    EXPECT_EQ(back.recordedScriptList, u"");
    EXPECT_EQ(back.translation, u"");
    EXPECT_EQ(back.scriptSlots[0], u"walls.txt"); // an empty list fills no slot
}

TEST(RecentSelection, EightBitTextAndCharactersItCannotHold) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    SetupState state;
    state.folder = u"norvale";
    state.recordedScriptList = u"a.txt ";
    state.translation = u"Fran\u00e7ais \u0393reek tail";
    ASSERT_TRUE(saveRecentSelection(state));
    // Latin-1 is one byte per character; a character above 255 ends the field, the line
    // break still follows and the next field is written whole.
    EXPECT_EQ(readFile(recentPath),
              "[campaign] norvale\r\n[scripts] a.txt \r\n[translation] Fran\xE7"
              "ais \r\n");
    state.folder = u"\u4e2d\u6587";
    ASSERT_TRUE(saveRecentSelection(state));
    EXPECT_EQ(readFile(recentPath), "[campaign] \r\n[scripts] a.txt \r\n[translation] Fran\xE7"
                                    "ais \r\n");
    SetupState back;
    ASSERT_TRUE(loadRecentSelection(back));
    EXPECT_EQ(back.translation, u"Fran\u00e7ais ");
}

TEST(RecentSelection, SlotSplitAndFlags) {
    ScratchFolder game;
    {
        // Two blanks skip a slot, which keeps what it had; a name written into a slot ends
        // where it ends, whatever the slot held before.
        writeFile(recentPath,
                  "[campaign] norvale\r\n[scripts] a.txt  b.txt\r\n[translation] none\r\n");
        SetupState state;
        state.scriptSlots[0] = u"much_longer_name.txt";
        state.scriptSlots[1] = u"kept.txt";
        ASSERT_TRUE(loadRecentSelection(state));
        EXPECT_EQ(state.scriptSlots[0], u"a.txt");
        EXPECT_EQ(state.scriptSlots[1], u"kept.txt");
        EXPECT_EQ(state.scriptSlots[2], u"b.txt");
    }
    {
        // A scripts line with nothing after its blank: found, empty, no slot filled.
        SetupState state;
        state.scriptSlots[0] = u"old.txt";
        writeFile(recentPath, "[campaign] norvale\r\n[scripts] \r\n[translation] none\r\n");
        ASSERT_TRUE(loadRecentSelection(state));
        EXPECT_TRUE(state.hasScripts);
        EXPECT_EQ(state.recordedScriptList, u"");
        EXPECT_EQ(state.scriptSlots[0], u"old.txt");
    }
    {
        // Sections in another order read the same; a missing section clears its flag and
        // its value, whatever the record held before.
        SetupState state;
        state.translation = u"Deutsch";
        state.hasTranslation = true;
        state.recordedScriptList = u"stale.txt ";
        state.scriptSlots[0] = u"stale.txt";
        writeFile(recentPath, "[translation] x\r\n[campaign] norvale\r\n");
        ASSERT_TRUE(loadRecentSelection(state));
        EXPECT_TRUE(state.hasCampaign);
        EXPECT_TRUE(state.hasTranslation);
        EXPECT_FALSE(state.hasScripts);
        EXPECT_EQ(state.folder, u"norvale");
        EXPECT_EQ(state.translation, u"x");
        EXPECT_EQ(state.recordedScriptList, u"");
        EXPECT_EQ(state.scriptSlots[0], u"");

        writeFile(recentPath, "[scripts] a.txt \r\n");
        state.folder = u"stale";
        ASSERT_TRUE(loadRecentSelection(state));
        EXPECT_FALSE(state.hasCampaign);
        EXPECT_FALSE(state.hasTranslation);
        EXPECT_EQ(state.folder, u"");
        EXPECT_EQ(state.translation, u"");
        EXPECT_EQ(state.scriptSlots[0], u"a.txt");
    }
}

TEST(RecentSelection, TrailingBlanksOfTranslationRunsReadBackToTheSameSlots) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    SetupState state;
    state.folder = u"norvale";
    state.recordedScriptList = u"a.txt b.txt ";
    state.translation = u"none";
    for (int run = 0; run < 2; ++run) {
        SetupState reread;
        ASSERT_TRUE(saveRecentSelection(state));
        ASSERT_TRUE(loadRecentSelection(reread));
        EXPECT_EQ(reread.recordedScriptList, state.recordedScriptList);
        EXPECT_EQ(reread.scriptSlots[0], u"a.txt");
        EXPECT_EQ(reread.scriptSlots[1], u"b.txt");
        for (std::size_t i = 2; i < scriptSlotCount; ++i) {
            EXPECT_EQ(reread.scriptSlots[i], u"") << i;
        }
        state.recordedScriptList += u' ';
    }
}

TEST(RecentSelection, MoreNamesThanSlotsAndOverlongNamesStayInBounds) {
    ScratchFolder game;
    std::string list;
    for (int i = 0; i < 40; ++i) {
        list.append("s").append(std::to_string(i)).append(".txt ");
    }
    list += std::string(150, 'n');
    SetupState state = loaded("[scripts] " + list + "\r\n");
    EXPECT_EQ(state.scriptSlots[29], u"s29.txt");
    SetupState longName = loaded("[scripts] " + std::string(150, 'n') + " b.txt\r\n");
    EXPECT_EQ(longName.scriptSlots[0].size(), nameCapacity - 1);
    EXPECT_EQ(longName.scriptSlots[1], u"b.txt");
}

TEST(RecentSelection, ClearKeepsTheFileFlagsAndPreviousCampaign) {
    ScratchFolder game;
    SetupState state =
        loaded("[campaign] norvale\r\n[scripts] a.txt \r\n[translation] Deutsch\r\n");
    state.previousCampaign = u"norvale";
    ASSERT_TRUE(clearRecentSelection(state));
    EXPECT_EQ(state.folder, u"");
    EXPECT_EQ(state.translation, u"");
    EXPECT_EQ(state.recordedScriptList, u"");
    EXPECT_EQ(state.scriptSlots[0], u"");
    EXPECT_EQ(state.previousCampaign, u"norvale");
    EXPECT_TRUE(state.hasCampaign && state.hasScripts && state.hasTranslation);
    // The file still names whose games are in "saves" until it is replaced.
    EXPECT_EQ(readFile(recentPath),
              "[campaign] norvale\r\n[scripts] a.txt \r\n[translation] Deutsch\r\n");
}

TEST(RecentSelection, AFailureAnywhereLeavesTheOldRecordOrTheNewOneWhole) {
    ScratchFolder game;
    const std::string oldRecord =
        "[campaign] norvale\r\n[scripts] a.txt \r\n[translation] none\r\n";
    const std::string newRecord = "[campaign] tarsis\r\n[scripts] \r\n[translation] none\r\n";
    SetupState state;
    state.folder = u"tarsis";
    state.translation = u"none";

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
            const std::string now = readFile(recentPath);
            EXPECT_EQ(now, saved ? newRecord : oldRecord)
                << "operation " << n << " crash " << crash;
            if (!crash) {
                EXPECT_TRUE(gameFolderFiles().empty()) << "operation " << n;
            }
            for (const auto& name : gameFolderFiles()) {
                platform::deleteFile(name); // what a crash leaves, so the next case starts clean
            }
        }
    }
}

} // namespace
