#include "testing/game_folder_test_support.h"

namespace {

using namespace backup_testing;
using testing_support::exists;
using testing_support::readFile;
using testing_support::ScratchFolder;

constexpr char16_t recentPath[] = u"data\\campaign\\recent.txt";

// Switches the save folders from `previous` to `chosen`; returns the record it leaves.
SetupState switchSaves(std::u16string_view previous, std::u16string_view chosen,
                       std::u16string_view translation = u"none") {
    SetupState state;
    state.previousCampaign = previous;
    state.translation = translation;
    state.recordedScriptList = u"left over ";
    EXPECT_TRUE(switchSaveFolders(chosen, state));
    return state;
}

TEST(SwitchSaveFolders, FirstUseTakesSavesAsTheyAre) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    writeSaves(u"save_alpha", u"alpha", 1);
    switchSaves(u"none", u"alpha");
    EXPECT_TRUE(platform::folderExists(u"saves"));
    EXPECT_EQ(readFile(u"save_alpha\\alpha-1.sav"), "alpha-1.sav"); // no folder renamed
    EXPECT_EQ(readFile(recentPath), "[campaign] alpha\r\n[scripts] \r\n[translation] none\r\n");
    // An empty previous campaign counts as none, and existing games stay where they are.
    writeSaves(u"saves", u"game", 1);
    switchSaves(u"", u"beta");
    EXPECT_EQ(readFile(u"saves\\game-1.sav"), "game-1.sav");
}

TEST(SwitchSaveFolders, ParksAndBringsBackEachCampaignsGames) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    writeSaves(u"saves", u"alpha", 2);
    // Recorded before beta's games come in: the chosen campaign, no scripts yet, the
    // translation kept.
    EXPECT_EQ(switchSaves(u"alpha", u"beta", u"Deutsch").folder, u"beta"); // beta is new
    EXPECT_TRUE(snapshot(u"saves").empty());
    EXPECT_EQ(readFile(recentPath), "[campaign] beta\r\n[scripts] \r\n[translation] Deutsch\r\n");
    writeSaves(u"saves", u"beta", 1);
    switchSaves(u"beta", u"alpha");
    EXPECT_EQ(readFile(u"saves\\alpha-1.sav"), "alpha-1.sav");
    EXPECT_FALSE(exists(u"save_alpha"));
    switchSaves(u"alpha", u"alpha"); // parked and brought straight back
    EXPECT_FALSE(exists(u"save_alpha"));
    EXPECT_EQ(saveProblems({"alpha-1.sav", "alpha-2.sav", "beta-1.sav"}), "");
    // Long names are never cut, or the games would not be found again.
    const std::u16string longName(150, u'l');
    switchSaves(u"alpha", longName);
    writeSaves(u"saves", u"long", 1);
    switchSaves(longName, u"beta");
    switchSaves(u"beta", longName);
    EXPECT_EQ(readFile(u"saves\\long-1.sav"), "long-1.sav");
}

TEST(SwitchSaveFolders, AStaleParkedFolderIsMovedAsideNotHandedOn) {
    ScratchFolder game;
    testing_support::makeFolders(u"data\\campaign");
    writeSaves(u"saves", u"alpha", 2);
    writeSaves(u"save_alpha", u"alpha-stale", 1);
    writeSaves(u"save_alpha.old", u"alpha-older", 1);
    writeSaves(u"save_beta", u"beta", 1);
    switchSaves(u"alpha", u"beta");
    EXPECT_EQ(snapshot(u"saves").size(), 1u); // none of alpha's games
    EXPECT_EQ(readFile(u"save_alpha.old2\\alpha-stale-1.sav"), "alpha-stale-1.sav");
    EXPECT_EQ(saveProblems({"alpha-1.sav", "alpha-2.sav", "alpha-stale-1.sav", "alpha-older-1.sav",
                            "beta-1.sav"}),
              "");
    // Without "saves" there is nothing to park: the parked folder is no stale one.
    testing_support::removeTree(u"saves");
    switchSaves(u"beta", u"alpha");
    EXPECT_EQ(readFile(u"saves\\alpha-1.sav"), "alpha-1.sav");
    EXPECT_FALSE(exists(u"save_beta.old"));
}

TEST(SwitchCampaign, AFullSwitchAndBack) {
    ScratchFolder game;
    writeSmallGame();
    const Snapshot pristine = snapshot(u"data");
    runCampaignAfterStart(u"alpha");
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "alpha names");
    EXPECT_FALSE(exists(u"data\\text\\names.txt.strings.bin"));
    runCampaignAfterStart(u"beta");
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "game names"); // alpha's change undone
    EXPECT_EQ(readFile(u"data\\world\\maps\\base\\map1.txt"), "beta map1");
    EXPECT_EQ(readFile(u"data\\world\\maps\\base\\deep\\map3.txt"), "game map3");
    EXPECT_EQ(readFile(u"data\\world\\newzone\\zone.txt"), "alpha zone"); // added files stay
    EXPECT_EQ(readFile(recentPath), "[campaign] beta\r\n[scripts] \r\n[translation] none\r\n");
    EXPECT_TRUE(platform::folderExists(u"save_alpha"));
    // A campaign of nothing but its descriptor still puts every game file back.
    testing_support::writeFile(u"data\\campaign\\bare\\campaign.txt", "[name] Bare\r\n");
    runCampaignAfterStart(u"bare");
    EXPECT_TRUE(snapshot(u"data\\campaign\\backup").empty());
    for (const auto& [path, bytes] : pristine) {
        if (!path.ends_with(u"\\") && !path.ends_with(u".strings.bin")) {
            EXPECT_EQ(readFile(u"data\\" + path), bytes) << testing_support::utf8(path);
        }
    }
}

// Folder names above 255 are recorded whole: each campaign's games stay its own through
// every switch, each in a freshly started program.
TEST(SwitchCampaign, FolderNamesAbove255KeepEachCampaignsSaves) {
    ScratchFolder game;
    writeSmallGame();
    std::map<std::u16string_view, int> visits;
    std::vector<std::string> saves;
    for (const std::u16string_view name :
         {u"alpha", u"\u0412\u043e\u0441\u0442\u043e\u043a", u"\u0395\u03bb\u03bb\u03ac\u03c2",
          u"\u6771\u65b9", u"\U0001F3F0", u"alpha", u"\u6771\u65b9", u"\U0001F3F0"}) {
        runCampaignAfterStart(name);
        const int count = ++visits[name];
        writeSaves(u"saves", name, count);
        saves.push_back(testing_support::utf8(name) + "-" + std::to_string(count) + ".sav");
        EXPECT_EQ(saveProblems(saves), "") << testing_support::utf8(name);
    }
}

} // namespace
