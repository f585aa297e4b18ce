#include "backup/back_up_game_file.h"
#include "backup/switch_campaign.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

#include <filesystem>

using namespace testing_support;

namespace {

// A game with nested folders and a campaign that replaces two game files, adds one and
// brings a file named like its descriptor, a script and a forged backup.
void writeSmallGame() {
    for (const auto& [path, bytes] : std::initializer_list<std::pair<const char16_t*, const char*>>{
             {u"data\\text\\names.txt", "game names"},
             {u"data\\maps\\deep\\map.txt", "game map"},
             {u"data\\maps\\other.txt", "game other"},
             {u"data\\campaign\\alpha\\campaign.txt", "[name]Alpha\r\n"},
             {u"data\\campaign\\alpha\\text\\names.txt", "alpha names"},
             {u"data\\campaign\\alpha\\text\\campaign.txt", "alpha's own text file"},
             {u"data\\campaign\\alpha\\maps\\deep\\map.txt", "alpha map"},
             {u"data\\campaign\\alpha\\maps\\new\\zone.txt", "alpha zone"},
             {u"data\\campaign\\alpha\\campaign\\sub\\extra.txt", "a script it brings"},
             {u"data\\campaign\\alpha\\campaign\\backup\\maps\\other.txt", "forged original"}}) {
        writeFile(path, bytes);
    }
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
                                {u"text\\campaign.txt", "alpha's own text file"},
                                {u"maps\\other.txt", "game other"},
                                {u"maps\\deep\\map.txt", "alpha map"},
                                {u"maps\\new\\zone.txt", "alpha zone"}};
    EXPECT_EQ(describe(gameFiles(), installed), "");
    // Installed again, it changes nothing but what changed since; a kept copy is never
    // replaced (by a script's backup nor by the installation), as it may be the only
    // original left.
    writeFile(u"data\\text\\names.txt", "names changed by a script");
    EXPECT_EQ(backUpGameFile(u"data\\text\\names.txt", u"text\\names.txt"), KeptAs::nothing);
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

// Beside what the fault sweep and the app's runs check: the record of a first use, a stale
// parked folder moved aside to a free name, long names never cut, a new campaign's "saves".
TEST(SwitchSaveFolders, FirstUseStaleFoldersAndWholeNames) {
    ScratchFolder game;
    makeFolders(u"data\\campaign");
    writeFile(u"saves\\first.sav", "first");
    writeFile(u"save_alpha\\old.sav", "stale");
    writeFile(u"save_alpha.old\\older.sav", "older");
    const auto switchSaves = [](std::u16string_view previous, std::u16string_view chosen) {
        SetupState state;
        state.previousCampaign = previous;
        state.translation = u"Deutsch";
        state.recordedScriptList = u"left over ";
        EXPECT_TRUE(switchSaveFolders(chosen, state));
        return readFile(u"data\\campaign\\recent.txt");
    };
    EXPECT_EQ(switchSaves(u"none", u"alpha"),
              "[campaign] alpha\r\n[scripts] \r\n[translation] Deutsch\r\n");
    const std::u16string longName(150, u'l');
    switchSaves(u"alpha", longName);
    EXPECT_EQ(readFile(u"save_alpha\\first.sav") + readFile(u"save_alpha.old2\\old.sav"),
              "firststale");
    EXPECT_EQ(snapshot(u"saves"), Snapshot{});
    writeFile(u"saves\\long.sav", "long");
    switchSaves(longName, u"alpha");
    EXPECT_EQ(snapshot(u"save_" + longName), (Snapshot{{u"long.sav", "long"}}));
}

// Names that differ only in case are one file on Windows, two elsewhere; the text caches
// go in any case, as the game remakes them.
TEST(SwitchCampaign, NamesThatDifferOnlyInCase) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "changed names");
    writeFile(u"data\\campaign\\backup\\Text\\Names.txt", "kept names");
    writeFile(u"data\\text\\units.txt", "game units");
    writeFile(u"data\\campaign\\beta\\Text\\Units.txt", "beta units");
    writeFile(u"data\\text\\UNITS.TXT.STRINGS.BIN", "cache");
    runCampaign(u"beta");
    const std::string kept = readFile(u"data\\campaign\\backup\\text\\units.txt") +
                             readFile(u"data\\text\\UNITS.TXT.STRINGS.BIN");
#ifdef _WIN32
    EXPECT_EQ(readFile(u"data\\text\\names.txt") + readFile(u"data\\text\\units.txt") + kept,
              "kept namesbeta unitsgame units<missing>");
#else
    EXPECT_EQ(readFile(u"data\\text\\names.txt") + readFile(u"data\\text\\units.txt") + kept,
              "changed namesgame units<missing><missing>");
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
