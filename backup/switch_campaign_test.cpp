#include "backup/restore_backup.h"
#include "backup/switch_campaign.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

#include <filesystem>

using namespace testing_support;

namespace {

// A game with a text cache and nested folders, and two campaigns: Alpha replaces two game
// files, adds some and brings a file named like its descriptor, an empty folder, a script
// and a forged backup tree; Beta replaces a file Alpha replaces too.
void writeSmallGame() {
    for (const auto& [path, bytes] : std::initializer_list<std::pair<const char16_t*, const char*>>{
             {u"data\\text\\names.txt", "game names"},
             {u"data\\text\\names.txt.strings.bin", "cache"},
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

// The game folder without the campaigns' own folders.
Snapshot gameFiles() {
    Snapshot files = snapshot(u"data");
    std::erase_if(files, [](const auto& file) {
        const std::u16string_view path = file.first;
        return path.starts_with(u"campaign\\") && path != u"campaign\\" &&
               !path.starts_with(u"campaign\\backup\\") && !path.starts_with(u"campaign\\sub\\");
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
    const Snapshot installed = {{u"campaign\\", ""},
                                {u"campaign\\sub\\", ""},
                                {u"campaign\\sub\\extra.txt", "a script it brings"},
                                {u"campaign\\backup\\", ""},
                                {u"campaign\\backup\\text\\", ""},
                                {u"campaign\\backup\\text\\names.txt", "game names"},
                                {u"campaign\\backup\\maps\\", ""},
                                {u"campaign\\backup\\maps\\deep\\", ""},
                                {u"campaign\\backup\\maps\\deep\\map.txt", "game map"},
                                {u"campaign\\backup\\maps\\new\\", ""},
                                {u"campaign\\backup\\empty\\", ""},
                                {u"campaign\\backup\\campaign\\", ""},
                                {u"campaign\\backup\\campaign\\sub\\", ""},
                                {u"text\\", ""},
                                {u"text\\names.txt", "alpha names"},
                                {u"text\\names.txt.strings.bin", "cache"},
                                {u"text\\campaign.txt", "alpha's own text file"},
                                {u"maps\\", ""},
                                {u"maps\\other.txt", "game other"},
                                {u"maps\\deep\\", ""},
                                {u"maps\\deep\\map.txt", "alpha map"},
                                {u"maps\\new\\", ""},
                                {u"maps\\new\\zone.txt", "alpha zone"},
                                {u"empty\\", ""}};
    EXPECT_EQ(describe(gameFiles(), installed), "");
    EXPECT_TRUE(installCampaignFiles(u"alpha")); // once installed, again changes nothing
    EXPECT_EQ(describe(gameFiles(), installed), "");

    // A kept copy is never replaced: it may be the only original left.
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

TEST(InstallCampaignFiles, NamesThatDifferOnlyInCase) {
    ScratchFolder game;
    writeFile(u"data\\text\\units.txt", "game units");
    writeFile(u"data\\campaign\\beta\\Text\\Units.txt", "beta units");
    makeFolders(u"data\\campaign\\backup");
    installCampaignFiles(u"beta");
#ifdef _WIN32
    EXPECT_EQ(readFile(u"data\\text\\units.txt"), "beta units"); // one file on Windows
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\units.txt"), "game units");
#else
    EXPECT_EQ(readFile(u"data\\text\\units.txt") + readFile(u"data\\Text\\Units.txt"),
              "game unitsbeta units");
    EXPECT_FALSE(exists(u"data\\campaign\\backup\\Text\\Units.txt"));
#endif
}

#ifndef _WIN32
TEST(InstallCampaignFiles, NeverFollowsALink) {
    ScratchFolder game;
    writeSmallGame();
    writeFile(u"outside\\precious.txt", "from another drive");
    makeFolders(u"data\\campaign\\backup");
    std::filesystem::create_directory_symlink("../..", "data/campaign/alpha/loop"); // a circle
    std::filesystem::create_directory_symlink("../../../outside", "data/campaign/alpha/text/away");
    std::filesystem::create_symlink("../../../outside/precious.txt",
                                    "data/campaign/alpha/file_link.txt");
    EXPECT_TRUE(installCampaignFiles(u"alpha"));
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "alpha names");
    EXPECT_FALSE(exists(u"data\\loop") || exists(u"data\\text\\away") ||
                 exists(u"data\\file_link.txt"));
}
#endif

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
    // A stale parked folder moves aside to a free name; the chosen campaign's come in.
    switchSaves(u"alpha", u"beta");
    EXPECT_EQ(readFile(u"save_alpha\\first.sav") + readFile(u"save_alpha.old2\\old.sav") +
                  readFile(u"saves\\beta.sav"),
              "firsta stale parked game of alphabeta");
    switchSaves(u"beta", u"beta"); // parked and brought straight back
    EXPECT_EQ(readFile(u"saves\\beta.sav"), "beta");
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

TEST(SwitchCampaign, AFullSwitchAndBack) {
    ScratchFolder game;
    writeSmallGame();
    const Snapshot pristine = gameFiles();
    runCampaign(u"alpha");
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "alpha names");
    runCampaign(u"beta");
    EXPECT_EQ(readFile(u"data\\text\\names.txt") + readFile(u"data\\maps\\deep\\map.txt") +
                  readFile(u"data\\maps\\new\\zone.txt"),
              "game namesbeta mapalpha zone"); // added files stay
    EXPECT_EQ(readFile(u"data\\campaign\\recent.txt"),
              "[campaign] beta\r\n[scripts] \r\n[translation] \r\n");
    EXPECT_TRUE(platform::folderExists(u"save_alpha"));
    // A campaign of nothing but its descriptor puts every game file back.
    writeFile(u"data\\campaign\\bare\\campaign.txt", "[name] Bare\r\n");
    runCampaign(u"bare");
    for (const auto& [path, bytes] : pristine) {
        if (!path.ends_with(u"\\") && !path.ends_with(u".strings.bin")) {
            EXPECT_EQ(readFile(u"data\\" + path), bytes) << utf8(path);
        }
    }
    EXPECT_EQ(snapshot(u"data\\campaign\\backup"), Snapshot{});
}

// Folder names above 255 are recorded whole: each campaign's games stay its own through
// every switch, each switch in a freshly started program.
TEST(SwitchCampaign, FolderNamesAbove255KeepEachCampaignsSaves) {
    ScratchFolder game;
    writeSmallGame();
    const std::vector<std::u16string> names = {u"alpha", u"\u0412\u043e\u0441\u0442\u043e\u043a",
                                               u"\u0395\u03bb\u03bb\u03ac\u03c2", u"\u6771\u65b9",
                                               u"\U0001F3F0"};
    for (const char16_t round : {u'1', u'2'}) {
        for (const std::u16string& name : names) {
            runCampaign(name);
            writeFile(u"saves\\" + name + u"-" + round + u".sav", utf8(name));
        }
    }
    for (const std::u16string& name : names) {
        const std::u16string folder = name == names.back() ? u"saves" : u"save_" + name;
        for (const char16_t round : {u'1', u'2'}) {
            EXPECT_EQ(readFile(folder + u"\\" + name + u"-" + round + u".sav"), utf8(name));
        }
    }
}
