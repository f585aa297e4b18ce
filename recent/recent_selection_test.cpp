#include "platform/file_system.h"
#include "recent/setup_state.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {
constexpr char16_t recentPath[] = u"data\\campaign\\recent.txt";
}

TEST(RecentSelection, ReadsEachSectionIntoARecordThatHadOtherValues) {
    ScratchFolder game;
    const std::string many = [] {
        std::string list;
        for (int i = 0; i < 40; ++i) {
            list += "s" + std::to_string(i) + ".txt ";
        }
        return list;
    }();
    const struct {
        std::string file;
        std::u16string values; // folder|list|translation, then the flags
        std::vector<std::u16string> slots;
    } cases[] = {
        // Two blanks skip a slot, which keeps what it had; a name ends where it ends.
        {"[campaign] norvale\r\n[scripts] a.txt  b.txt\r\n[translation] none\r\n",
         u"norvale|a.txt  b.txt|none 111",
         {u"a.txt", u"old 1", u"b.txt"}},
        // Any order; a missing section clears its value and flag (and a list its slots).
        {"[translation] x\r\n[campaign] norvale\r\n", u"norvale||x 101", {u"", u"", u""}},
        {"[scripts] a.txt \r\n", u"|a.txt | 010", {u"a.txt", u"old 1", u"old 2"}},
        // Empty values read back empty; an empty list fills no slot.
        {"[campaign] \r\n[scripts] \r\n[translation] \r\n",
         u"|| 111",
         {u"old 0", u"old 1", u"old 2"}},
        // Slots hold at most 99 characters; names beyond the 30th slot go nowhere.
        {"[scripts] " + std::string(150, 'n') + " b.txt\r\n",
         u"|" + std::u16string(150, u'n') + u" b.txt| 010",
         {std::u16string(99, u'n'), u"b.txt", u"old 2"}},
    };
    for (const auto& c : cases) {
        SetupState state;
        state.folder = state.translation = u"stale";
        state.scriptSlots = {u"old 0", u"old 1", u"old 2"};
        writeFile(recentPath, c.file);
        ASSERT_TRUE(loadRecentSelection(state));
        EXPECT_EQ(state.folder + u"|" + state.recordedScriptList + u"|" + state.translation + u" " +
                      char16_t(u'0' + state.hasCampaign) + char16_t(u'0' + state.hasScripts) +
                      char16_t(u'0' + state.hasTranslation),
                  c.values);
        EXPECT_EQ(std::vector(state.scriptSlots.begin(), state.scriptSlots.begin() + 3), c.slots);
    }
    SetupState state;
    writeFile(recentPath, "[scripts] " + many + "\r\n");
    ASSERT_TRUE(loadRecentSelection(state));
    EXPECT_EQ(state.scriptSlots[29], u"s29.txt");
}

TEST(RecentSelection, WritesTheExactFormatInEightBits) {
    ScratchFolder game;
    makeFolders(u"data\\campaign");
    SetupState state;
    state.folder = u"norvale";
    state.recordedScriptList = u"walls.txt bigger_armies.txt   ";
    // A character above 255 ends its field; the line break still follows.
    state.translation = u"Fran\u00e7ais \u0393reek";
    ASSERT_TRUE(saveRecentSelection(state));
    EXPECT_EQ(readFile(recentPath), "[campaign] norvale\r\n[scripts] walls.txt bigger_armies.txt   "
                                    "\r\n[translation] Fran\xE7"
                                    "ais \r\n");
    SetupState back;
    ASSERT_TRUE(loadRecentSelection(back));
    EXPECT_EQ(back.recordedScriptList, state.recordedScriptList);
    EXPECT_EQ(back.translation, u"Fran\u00e7ais ");
    EXPECT_EQ(back.scriptSlots[1] + back.scriptSlots[2], u"bigger_armies.txt");
    EXPECT_EQ(temporaryFilesLeft(), 0u);

    // Clearing keeps the file, the flags and the previous campaign.
    back.previousCampaign = u"norvale";
    ASSERT_TRUE(clearRecentSelection(back));
    EXPECT_EQ(back.folder + back.translation + back.recordedScriptList + back.scriptSlots[0], u"");
    EXPECT_TRUE(back.hasCampaign && back.hasScripts && back.hasTranslation);
    EXPECT_EQ(back.previousCampaign, u"norvale");
    EXPECT_EQ(readFile(recentPath).substr(0, 20), "[campaign] norvale\r\n");
    // Without a file the record stays as it was.
    platform::deleteFile(recentPath);
    EXPECT_FALSE(loadRecentSelection(state));
    EXPECT_EQ(state.folder, u"norvale");
}
