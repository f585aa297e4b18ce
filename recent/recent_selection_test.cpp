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
}

// Written in 8 bits, one line a value, in one step. Names above 255 and blanks at a name's
// ends are written as \uXXXX escapes and read back exactly, the capacities counting names,
// not escapes (the app's runs record the other names: 8-bit ones, surrogate pairs, a
// backslash); any other name is written byte for byte. The translation, no file name, is
// never escaped: a character above 255 ends it.
TEST(RecentSelection, WritesEightBitLinesAndReadsNamesBackExactly) {
    ScratchFolder game;
    makeFolders(u"data\\campaign");
    const std::u16string ya(95, u'\u044f');
    std::string yaWritten;
    for (int i = 0; i < 95; ++i) {
        yaWritten += R"(\u044f)";
    }
    const struct {
        std::u16string folder;
        std::vector<std::u16string> scripts;
        std::string written; // the campaign's and the scripts' values
    } cases[] = {
        {ya, {ya + u".txt", u"b.txt"}, yaWritten + "|" + yaWritten + ".txt b.txt "},
        {u"north", {u"a.txt", u"b.txt"}, "north|a.txt b.txt "},
        {u"\u0100 \u00ff", {u"\u00ff.txt"}, "\\u0100 \xFF|\xFF.txt "},
        {u" north",
         {u"x.txt", u" a.txt", u"  b.txt"},
         R"(\u0020north|x.txt \u0020a.txt \u0020\u0020b.txt )"},
        {u"north ", {u" a.txt", u"b.txt "}, R"(north\u0020|\u0020a.txt b.txt\u0020 )"},
        {u"  two", {}, R"(\u0020\u0020two|)"},
    };
    for (const auto& c : cases) {
        SetupState state;
        state.folder = c.folder;
        for (const auto& script : c.scripts) {
            appendRecordedScript(state, script);
        }
        state.recordedScriptList += u' '; // as a translation run adds
        state.translation = u"\\u0444 \\n\u00e7 \u0393reek";
        ASSERT_TRUE(saveRecentSelection(state));
        const std::size_t bar = c.written.find('|');
        EXPECT_EQ(readFile(recentPath), "[campaign] " + c.written.substr(0, bar) +
                                            "\r\n[scripts] " + c.written.substr(bar + 1) +
                                            " \r\n[translation] \\u0444 \\n\xE7 \r\n");
        SetupState back;
        ASSERT_TRUE(loadRecentSelection(back));
        EXPECT_EQ(back.folder, c.folder);
        EXPECT_EQ(
            std::vector(back.scriptSlots.begin(), back.scriptSlots.begin() + c.scripts.size()),
            c.scripts);
        EXPECT_EQ(back.translation, u"\\u0444 \n\u00e7 ");
    }
}
