#include "platform/file_system.h"
#include "recent/setup_state.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {
constexpr char16_t recentPath[] = u"data\\campaign\\recent.txt";
}

TEST(RecentSelection, ReadsEachSectionIntoARecordThatHadOtherValues) {
    ScratchFolder game;
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
        // Slots hold at most 99 characters.
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
    // Names beyond the 30th slot go nowhere.
    std::string many = "[scripts] ";
    for (int i = 0; i < 40; ++i) {
        many += "s" + std::to_string(i) + ".txt ";
    }
    writeFile(recentPath, many);
    SetupState state;
    ASSERT_TRUE(loadRecentSelection(state));
    EXPECT_EQ(state.scriptSlots[29], u"s29.txt");
    // Clearing keeps the file, the flags and the previous campaign.
    state.previousCampaign = u"norvale";
    ASSERT_TRUE(clearRecentSelection(state));
    EXPECT_EQ(state.recordedScriptList + state.scriptSlots[0] + state.scriptSlots[29], u"");
    EXPECT_TRUE(state.hasScripts && state.previousCampaign == u"norvale");
    EXPECT_EQ(readFile(recentPath), many);
    // Without a file the record stays as it was.
    platform::deleteFile(recentPath);
    state.folder = u"kept";
    EXPECT_FALSE(loadRecentSelection(state));
    EXPECT_EQ(state.folder, u"kept");
}

// Written in 8 bits, one line a value, in one step. Names above 255 are written as \uXXXX
// escapes (surrogate pairs as two) and read back exactly; names below 256 are written as
// ever, a backslash is kept, and the translation, no file name, is never escaped: a
// character above 255 ends it. The capacities count names, not escapes.
TEST(RecentSelection, WritesEightBitLinesAndReadsNamesBackExactly) {
    ScratchFolder game;
    makeFolders(u"data\\campaign");
    std::u16string longName;
    std::string longWritten;
    for (int i = 0; i < 95; ++i) {
        longName += u"\u044f";
        longWritten += R"(\u044f)";
    }
    const std::pair<std::u16string, std::string> cases[] = {
        {u"Fran\u00e7ais", "Fran\xE7"
                           "ais"},
        {u"..\\gone", "..\\gone"},
        {u"\u0412\u043e\u0441\u0442\u043e\u043a", R"(\u0412\u043e\u0441\u0442\u043e\u043a)"},
        {u"\U0001F3F0n", R"(\ud83c\udff0n)"},
        {longName, longWritten},
    };
    for (const auto& [name, written] : cases) {
        SetupState state;
        state.folder = name;
        state.recordedScriptList = name + u".txt b.txt  ";
        state.translation = u"\\u0444 \\n\u00e7 \u0393reek";
        ASSERT_TRUE(saveRecentSelection(state));
        EXPECT_EQ(readFile(recentPath), "[campaign] " + written + "\r\n[scripts] " + written +
                                            ".txt b.txt  \r\n[translation] \\u0444 \\n\xE7 \r\n");
        EXPECT_EQ(temporaryFilesLeft(), 0u);
        SetupState back;
        ASSERT_TRUE(loadRecentSelection(back));
        EXPECT_EQ(back.folder, name);
        EXPECT_EQ(back.scriptSlots[0] + u"|" + back.scriptSlots[1], name + u".txt|b.txt");
        EXPECT_EQ(back.translation, u"\\u0444 \n\u00e7 ");
    }
    // A record without escapes reads as it always did, down to where an overlong value is cut.
    writeFile(recentPath, "[campaign] " + std::string(300, 'f') + "\r\n");
    SetupState old;
    ASSERT_TRUE(loadRecentSelection(old));
    EXPECT_EQ(old.folder, std::u16string(folderCapacity - 2, u'f'));
}
