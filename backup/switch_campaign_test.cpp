#include "backup/back_up_game_file.h"
#include "backup/switch_campaign.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

#include <filesystem>

using namespace testing_support;

namespace {

// A game with text caches (named in any case, as the game's names ignore case) and nested
// folders, and two campaigns: Alpha replaces two game files, adds one and brings a file named
// like its descriptor, an empty folder, a script and a forged backup tree; Beta replaces a
// file Alpha replaces too.
void writeSmallGame() {
    for (const auto& [path, bytes] : std::initializer_list<std::pair<const char16_t*, const char*>>{
             {u"data\\text\\names.txt", "game names"},
             {u"data\\text\\names.txt.strings.bin", "cache"},
             {u"data\\text\\UNITS.TXT.STRINGS.BIN", "cache"},
             {u"data\\text\\other.strings.bin", "not a text cache"},
             {u"data\\maps\\deep\\map.txt", "game map"},
             {u"data\\maps\\other.txt", "game other"},
             {u"data\\campaign\\alpha\\campaign.txt", "[name]Alpha\r\n"},
             {u"data\\campaign\\alpha\\text\\names.txt", "alpha names"},
             {u"data\\campaign\\alpha\\text\\campaign.txt", "alpha's own text file"},
             {u"data\\campaign\\alpha\\maps\\deep\\map.txt", "alpha map"},
             {u"data\\campaign\\alpha\\maps\\new\\zone.txt", "alpha zone"},
             {u"data\\campaign\\alpha\\campaign\\sub\\extra.txt", "a script it brings"},
             {u"data\\campaign\\alpha\\campaign\\backup\\maps\\other.txt", "forged original"},
             {u"data\\campaign\\beta\\campaign.txt", "[name]Beta\r\n"},
             {u"data\\campaign\\beta\\maps\\deep\\map.txt", "beta map"}}) {
        writeFile(path, bytes);
    }
    makeFolders(u"data\\campaign\\alpha\\empty");
}

// The files of the game folder, without the campaigns' own folders.
Snapshot gameFiles() {
    Snapshot files = snapshot(u"data");
    std::erase_if(files, [](const auto& file) {
        const std::u16string_view path = file.first;
        return path.ends_with(u"\\") ||
               (path.starts_with(u"campaign\\") && !path.starts_with(u"campaign\\backup\\") &&
                !path.starts_with(u"campaign\\sub\\"));
    });
    return files;
}

// A campaign run without scripts in a freshly started program.
void runCampaign(std::u16string_view chosen) {
    SetupState state;
    loadRecentSelection(state);
    state.previousCampaign = state.hasCampaign ? state.folder : u"none";
    switchCampaign(chosen, state);
}

} // namespace

TEST(InstallCampaignFiles, InstallsTheTreeKeepsWhatItReplacesAndNothingElse) {
    ScratchFolder game;
    writeSmallGame();
    makeFolders(u"data\\campaign\\backup");
    EXPECT_TRUE(installCampaignFiles(u"alpha"));
    const Snapshot installed = {{u"campaign\\sub\\extra.txt", "a script it brings"},
                                {u"campaign\\backup\\text\\names.txt", "game names"},
                                {u"campaign\\backup\\maps\\deep\\map.txt", "game map"},
                                {u"text\\names.txt", "alpha names"},
                                {u"text\\names.txt.strings.bin", "cache"},
                                {u"text\\UNITS.TXT.STRINGS.BIN", "cache"},
                                {u"text\\other.strings.bin", "not a text cache"},
                                {u"text\\campaign.txt", "alpha's own text file"},
                                {u"maps\\other.txt", "game other"},
                                {u"maps\\deep\\map.txt", "alpha map"},
                                {u"maps\\new\\zone.txt", "alpha zone"}};
    EXPECT_EQ(describe(gameFiles(), installed), "");
    EXPECT_TRUE(platform::folderExists(u"data\\empty"));
    // Installed again, it changes nothing but what changed since; a kept copy is never
    // replaced, as it may be the only original left.
    writeFile(u"data\\text\\names.txt", "names changed by a script");
    EXPECT_TRUE(installCampaignFiles(u"alpha"));
    EXPECT_EQ(describe(gameFiles(), installed), "");
    // Names that would reach outside data\campaign\<name>, and a game folder where the
    // campaign has a file, install nothing.
    writeFile(u"data\\campaign\\odd\\maps", "a file where the game has a folder");
    for (const char16_t* name : {u"", u".", u"..", u"alpha\\..", u"..\\campaign", u"odd"}) {
        EXPECT_TRUE(installCampaignFiles(name));
        EXPECT_EQ(describe(gameFiles(), installed), "") << utf8(name);
    }
}

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

TEST(SwitchSaveFolders, ParkAndBringBackEachCampaignsGames) {
    ScratchFolder game;
    makeFolders(u"data\\campaign");
    writeFile(u"saves\\first.sav", "first");
    writeFile(u"save_alpha\\old.sav", "a stale parked game of alpha");
    writeFile(u"save_alpha.old\\older.sav", "older");
    writeFile(u"save_beta\\beta.sav", "beta");
    const auto switchSaves = [](std::u16string_view previous, std::u16string_view chosen) {
        SetupState state;
        state.previousCampaign = previous;
        state.translation = u"Deutsch";
        state.recordedScriptList = u"left over ";
        EXPECT_TRUE(switchSaveFolders(chosen, state));
        EXPECT_EQ(state.folder, chosen);
        return readFile(u"data\\campaign\\recent.txt");
    };
    // First use: "saves" belongs to no campaign yet, the chosen one takes it as it is.
    EXPECT_EQ(switchSaves(u"none", u"alpha"),
              "[campaign] alpha\r\n[scripts] \r\n[translation] Deutsch\r\n");
    switchSaves(u"", u"alpha");
    EXPECT_EQ(readFile(u"saves\\first.sav"), "first");
    // A stale parked folder moves aside to a free name; the chosen campaign's come in, and
    // go straight back when it is chosen again.
    switchSaves(u"alpha", u"beta");
    switchSaves(u"beta", u"beta");
    EXPECT_EQ(readFile(u"save_alpha\\first.sav") + readFile(u"save_alpha.old2\\old.sav") +
                  readFile(u"saves\\beta.sav"),
              "firsta stale parked game of alphabeta");
    // A campaign without parked games gets an empty "saves"; long names are never cut.
    const std::u16string longName(150, u'l');
    switchSaves(u"beta", longName);
    EXPECT_EQ(snapshot(u"saves"), Snapshot{});
    writeFile(u"saves\\long.sav", "long");
    switchSaves(longName, u"alpha");
    EXPECT_EQ(readFile(u"save_" + longName + u"\\long.sav"), "long");
    // Without "saves" the parked folder is no stale one and stays.
    platform::renameFile(u"saves", u"save_alpha");
    switchSaves(u"alpha", u"beta");
    EXPECT_EQ(readFile(u"saves\\beta.sav") + readFile(u"save_alpha\\first.sav"), "betafirst");
}

// Each switch in a freshly started program, a folder name above 255 among them (recorded
// whole in recent.txt).
TEST(SwitchCampaign, AFullSwitchAndBackEachCampaignWithItsGames) {
    ScratchFolder game;
    writeSmallGame();
    const Snapshot pristine = gameFiles();
    runCampaign(u"alpha");
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "alpha names");
    writeFile(u"saves\\a.sav", "alpha's");
    runCampaign(u"beta");
    EXPECT_EQ(readFile(u"data\\text\\names.txt") + readFile(u"data\\maps\\deep\\map.txt") +
                  readFile(u"data\\maps\\new\\zone.txt"),
              "game namesbeta mapalpha zone"); // added files stay
    EXPECT_EQ(readFile(u"data\\campaign\\recent.txt"),
              "[campaign] beta\r\n[scripts] \r\n[translation] \r\n");
    // A campaign of nothing but its descriptor puts every game file back; the game remakes
    // the text caches.
    const std::u16string bare = u"\u0412\u043e\u0441\u0442\u043e\u043a";
    writeFile(u"data\\campaign\\" + bare + u"\\campaign.txt", "[name] Bare\r\n");
    runCampaign(bare);
    for (const auto& [path, bytes] : pristine) {
        EXPECT_EQ(readFile(u"data\\" + path), bytes == "cache" ? "<missing>" : bytes) << utf8(path);
    }
    EXPECT_EQ(snapshot(u"data\\campaign\\backup"), Snapshot{});
    writeFile(u"saves\\v.sav", "vostok's");
    runCampaign(u"alpha");
    runCampaign(bare);
    EXPECT_EQ(readFile(u"saves\\v.sav") + readFile(u"save_alpha\\a.sav"), "vostok'salpha's");
}

// Names that differ only in case are one file on Windows, two elsewhere.
TEST(SwitchCampaign, NamesThatDifferOnlyInCase) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "changed names");
    writeFile(u"data\\campaign\\backup\\Text\\Names.txt", "kept names");
    writeFile(u"data\\text\\units.txt", "game units");
    writeFile(u"data\\campaign\\beta\\Text\\Units.txt", "beta units");
    runCampaign(u"beta");
    const std::string kept = readFile(u"data\\campaign\\backup\\text\\units.txt");
#ifdef _WIN32
    EXPECT_EQ(readFile(u"data\\text\\names.txt") + readFile(u"data\\text\\units.txt") + kept,
              "kept namesbeta unitsgame units");
#else
    EXPECT_EQ(readFile(u"data\\text\\names.txt") + readFile(u"data\\text\\units.txt") + kept,
              "changed namesgame units<missing>");
    EXPECT_EQ(readFile(u"data\\Text\\Names.txt") + readFile(u"data\\Text\\Units.txt"),
              "kept namesbeta units");
#endif
}

#ifndef _WIN32
// Links in the campaign or in the backup tree are neither followed nor moved (the Windows
// build cannot make links without special rights). They lead out of the game folder, so
// that following one shows at once; a link round a circle would only show as a hang.
TEST(SwitchCampaign, NeverFollowsALink) {
    ScratchFolder game;
    writeSmallGame();
    writeFile(u"outside\\precious.txt", "not the game's");
    writeFile(u"data\\campaign\\backup\\text\\names.txt", "kept");
    namespace fs = std::filesystem;
    fs::create_directory_symlink("../../../../outside", "data/campaign/alpha/text/away");
    fs::create_directory_symlink("../../../../outside", "data/campaign/backup/text/link");
    fs::create_symlink("../../../outside/precious.txt", "data/campaign/alpha/file_link.txt");
    runCampaign(u"alpha");
    EXPECT_EQ(readFile(u"data\\text\\names.txt") +
                  readFile(u"data\\campaign\\backup\\text\\names.txt"),
              "alpha nameskept");
    EXPECT_EQ(snapshot(u"outside"), (Snapshot{{u"precious.txt", "not the game's"}}));
    for (const char16_t* path :
         {u"data\\text\\away", u"data\\text\\link", u"data\\file_link.txt"}) {
        EXPECT_FALSE(exists(path)) << utf8(path);
    }
}
#endif
