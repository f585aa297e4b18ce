// The two runs from start to end on copies of the sample game folder, driven as the
// windows drive them: one process (one AppState) for a whole sequence of choices.
#include "app/setup_runs.h"
#include "catalogue/game_paths.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "scripts/script_selection.h"
#include "testing/test_support.h"

#include <algorithm>

using namespace testing_support;

namespace {

using Texts = std::vector<std::u16string>;

// The program: the start-up scan and record, then campaign and translation choices.
struct Program {
    AppState app;
    Texts errors, statusTexts;
    int handBacks = 0;
    std::function<void()> onError; // called during the run, for each error text

    Program() {
        app.errors.show = [this](const std::u16string& text) {
            errors.push_back(text);
            if (onError) {
                onError();
            }
        };
        app.progress.label = [this](const std::u16string& text) { statusTexts.push_back(text); };
        app.handBackMainWindow = [this](const std::u16string& text) {
            statusTexts.push_back(text);
            ++handBacks;
        };
        EXPECT_TRUE(scanCatalogue(app.catalogue, app.errors));
        loadRecentSelection(app.setupState);
    }

    // Campaign button, Script Handler opening, ticks, OK, the run.
    void campaign(std::u16string_view folder, std::initializer_list<std::u16string_view> scripts) {
        const auto& campaigns = app.catalogue.campaignList;
        const auto chosen = std::ranges::find(campaigns, folder, &CampaignEntry::folder);
        ASSERT_NE(chosen, campaigns.end()) << utf8(folder);
        app.chosenCampaignFolder = chosen->folder;
        app.choiceDisplayName = chosen->name;
        openScriptChoice(app.catalogue, *chosen, app.chosenCampaignFolder, app.setupState);
        std::array<bool, maxScripts> checked{};
        for (const auto script : scripts) {
            const auto entry =
                std::ranges::find(app.catalogue.scriptList, script, &ScriptEntry::fileName);
            ASSERT_NE(entry, app.catalogue.scriptList.end()) << utf8(script);
            checked[static_cast<std::size_t>(entry->index)] = true;
        }
        confirmCampaignChoice(app, checked);
        EXPECT_EQ(app.scriptSelected, checked);
        startAndFinish(runCampaignSetup);
    }

    void translation(std::u16string_view fileName) {
        loadRecentSelection(app.setupState);
        const auto& packs = app.catalogue.translationList;
        const auto pack = std::ranges::find(packs, fileName, &TranslationEntry::fileName);
        ASSERT_NE(pack, packs.end()) << utf8(fileName);
        app.selectedTranslation = pack->index;
        app.choiceDisplayName = pack->name;
        startAndFinish(runTranslationSetup);
    }

    // Every run ends idle, its animation joined, with the "Using:" text last, and hands the
    // main window back exactly once.
    void startAndFinish(void (*run)(AppState&)) {
        app.progress.busy = true;
        startProgressAnimation(app.progress);
        run(app);
        EXPECT_FALSE(app.progress.busy);
        EXPECT_FALSE(app.progress.animationThread.joinable());
        EXPECT_EQ(statusTexts.back(), u"Using:\n" + app.choiceDisplayName);
        EXPECT_EQ(handBacks, 1);
        handBacks = 0;
    }
};

std::string record(const std::string& campaign, const std::string& scripts,
                   const std::string& translation = "none") {
    return "[campaign] " + campaign + "\r\n[scripts] " + scripts + "\r\n[translation] " +
           translation + "\r\n";
}
std::string recorded() {
    return readFile(u"data\\campaign\\recent.txt");
}
std::string sample(std::u16string_view path) {
    return readFile(sourceDirectory() + u"\\sample\\game\\" + std::u16string(path));
}
bool has(std::u16string_view path, std::string_view part) {
    return readFile(path).find(part) != std::string::npos;
}

const std::string knightsHard = "[unit]\r\nname=Knights\r\n\r\n-- stats --\r\nhp=28\r\nattack=8"
                                "\r\nspeed=4\r\n-- end stats --\r\n\r\n[end unit]\r\n";

} // namespace

TEST(CampaignRuns, SwitchingThereAndBackRestoresInstallsAndRecordsExactly) {
    ScratchFolder scratch;
    copySampleGame();
    Program program;
    // Norvale with two scripts, on first use: the unowned saves stay.
    program.campaign(u"norvale", {u"hd.textures.txt", u"easy.txt"});
    EXPECT_EQ(recorded(), record("norvale", "easy.txt hd.textures.txt "));
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(readFile(u"data\\units\\infantry\\spearmen.cfg"),
              "[unit]\r\nname=Spearmen\r\n\r\nhp=14\r\n\r\nattack=4\r\narmour=2\r\n[end unit]\r\n");
    EXPECT_EQ(readFile(u"data\\maps\\world\\regions.txt"),
              sample(u"data\\campaign\\sub\\hd\\regions.txt"));
    EXPECT_EQ(readFile(u"data\\art\\units\\knight.pic"),
              sample(u"data\\campaign\\sub\\hd\\knight_hd.pic"));
    EXPECT_EQ(readFile(u"data\\maps\\norvale\\keep.map"),
              sample(u"data\\campaign\\norvale\\maps\\norvale\\keep.map"));
    // The backup tree holds exactly the originals of the files changed so far.
    Snapshot kept = snapshot(u"data\\campaign\\backup"), originals;
    std::erase_if(kept, [](const auto& file) { return file.first.ends_with(u"\\"); });
    for (const char16_t* path : {u"art\\units\\knight.pic", u"art\\units\\spearmen.pic",
                                 u"maps\\world\\regions.txt", u"units\\infantry\\spearmen.cfg"}) {
        originals[path] = sample(u"data\\" + std::u16string(path));
    }
    EXPECT_EQ(kept, originals);

    // Eastmarch: Norvale's saves are parked, its changes undone, the caches dropped.
    program.campaign(u"eastmarch", {u"hard.txt", u"menu_fix.txt"});
    EXPECT_EQ(recorded(), record("eastmarch", "hard.txt menu_fix.txt "));
    EXPECT_EQ(readFile(u"save_norvale\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(snapshot(u"saves"), Snapshot{});
    for (const char16_t* path :
         {u"data\\units\\infantry\\spearmen.cfg", u"data\\art\\units\\knight.pic",
          u"data\\maps\\world\\regions.txt"}) {
        EXPECT_EQ(readFile(path), sample(path)) << utf8(path);
    }
    EXPECT_EQ(readFile(u"data\\units\\cavalry\\knights.cfg"), knightsHard);
    EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_ACHIEVE}Achievements\r\n{MENU_QUIT}"));
    EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_OPTIONS}Settings"));
    EXPECT_FALSE(exists(u"data\\text\\menu.txt.strings.bin"));

    // Norvale again, other scripts: its saves come back, Eastmarch's are parked.
    program.campaign(u"norvale", {u"more_names.txt", u"hard.txt"});
    EXPECT_EQ(recorded(), record("norvale", "hard.txt more_names.txt "));
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_TRUE(platform::folderExists(u"save_eastmarch") && !exists(u"save_norvale"));
    EXPECT_EQ(program.errors, Texts{});
    // The same choice on a fresh copy gives the same files, but for what the campaigns
    // added (a restore never removes those) and the copy of keep.map the second
    // installation of Norvale keeps.
    Snapshot afterSequence = snapshot(u"data");
    afterSequence.erase(u"maps\\east\\");
    afterSequence.erase(u"maps\\east\\border\\");
    afterSequence.erase(u"maps\\east\\border\\river.map");
    afterSequence.erase(u"campaign\\backup\\maps\\norvale\\keep.map");
    ScratchFolder fresh;
    copySampleGame();
    Program once;
    once.campaign(u"norvale", {u"hard.txt", u"more_names.txt"});
    EXPECT_EQ(describe(afterSequence, snapshot(u"data")), "");
}

TEST(CampaignRuns, EveryScriptACampaignOffersRunsWithoutAMessage) {
    const auto utf16 = [](std::u16string_view text) {
        return platform::encodeText(text, platform::TextEncoding::Utf16);
    };
    const struct {
        const char16_t* campaign;
        std::initializer_list<std::u16string_view> scripts;
        std::vector<std::pair<const char16_t*, std::string>> parts;
    } cases[] = {
        {u"norvale",
         {u"easy.txt", u"hard.txt", u"hd.textures.txt", u"more_names.txt", u"royal_titles.txt"},
         {{u"data\\units\\infantry\\spearmen.cfg", "\r\nhp=14\r\n\r\nattack=4\r\n"},
          {u"data\\units\\cavalry\\knights.cfg", "-- stats --\r\nhp=28\r\n"},
          {u"data\\text\\names.txt", utf16(u"{HERO_ELA}Queen \u00C9la of the Fjords\n")},
          {u"data\\text\\names.txt", utf16(u"{UNIT_KNIGHT}Knights\n{HERO_ORIN}Orin the Grey\n")},
          {u"data\\text\\names.txt", utf16(u"{HERO_MAREK}Marek D\u00FBn\n")}}},
        {u"iron_coast",
         {u"easy.txt", u"menu_fix.txt", u"more_names.txt"},
         {{u"data\\text\\menu.txt", "\xAC--- Generated by Dravik setup translator\r\n"},
          {u"data\\text\\menu.txt", "{MENU_OPTIONS}Settings\r\n{MENU_CREDITS}"},
          {u"data\\text\\menu.txt",
           "{MENU_ACHIEVE}Achievements\r\n{MENU_QUIT}Quit\r\n\r\n{MENU_MODS}Mods \xA9\r\n"},
          {u"data\\maps\\world\\regions.txt", "owner=ironcoast"}}},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        copySampleGame();
        Program program;
        program.campaign(c.campaign, c.scripts);
        EXPECT_EQ(program.errors, Texts{}) << utf8(c.campaign);
        for (const auto& [path, part] : c.parts) {
            EXPECT_TRUE(has(path, part)) << utf8(path) << ": " << part;
        }
        EXPECT_EQ(has(u"data\\text\\menu.txt", "unused entry"),
                  c.campaign == std::u16string_view(u"norvale"));
    }
}

TEST(CampaignRuns, AFailingScriptIsRecordedAndLaterScriptsStillRun) {
    ScratchFolder scratch;
    copySampleGame();
    // Sorted before every sample script: its from-block has no to-condition, so the engine
    // gives up on the whole script.
    writeFile(
        u"data\\campaign\\sub\\aaa_broken.txt",
        "[works for]\r\nall\r\n[files]\r\nreplace data\\text\\menu.txt with x.txt from:\r\n"
        "{MENU_QUIT}Quit\r\n<end>\r\nappend data\\text\\menu.txt with:\r\n{NEVER}applied\r\n");
    Program program;
    std::string duringRun;
    program.onError = [&] { duringRun = recorded(); };
    program.campaign(u"iron_coast", {u"menu_fix.txt", u"aaa_broken.txt", u"easy.txt"});
    EXPECT_EQ(program.errors,
              Texts{u"Cannot find the to-condition in file data\\campaign\\sub\\aaa_broken.txt"});
    // While the scripts work, the record already names the campaign whose saves are in
    // "saves", with no script recorded yet.
    EXPECT_EQ(duringRun, record("iron_coast", ""));
    EXPECT_EQ(recorded(), record("iron_coast", "aaa_broken.txt easy.txt menu_fix.txt "));
    EXPECT_FALSE(has(u"data\\text\\menu.txt", "{NEVER}"));
    EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_MODS}"));
    EXPECT_TRUE(has(u"data\\units\\infantry\\spearmen.cfg", "hp=14"));
    // A script ticked before and not now is not applied; a new process remembers the ticks.
    Program next;
    next.campaign(u"iron_coast", {u"easy.txt"});
    EXPECT_EQ(readFile(u"data\\text\\menu.txt"), sample(u"data\\text\\menu.txt"));
    std::u16string remembered;
    for (const auto& script : next.app.catalogue.scriptList) {
        remembered += std::u16string(1, u'0' + script.rememberedState);
    }
    EXPECT_EQ(remembered, u"1100120"); // broken, easy, hard, hd, menu, more, royal
}

TEST(CampaignRuns, RecordSavesAndNamesAcrossRestartsAndOddRecords) {
    ScratchFolder scratch;
    copySampleGame();
    const std::u16string longName = u"long_" + std::u16string(200, u'x'); // never cut
    writeFile(u"data\\campaign\\" + longName + u"\\campaign.txt", "[name]\r\nLong\r\n");
    {
        Program program;
        program.campaign(u"norvale", {}); // the run itself does not check the groups
        EXPECT_EQ(recorded(), record("norvale", ""));
        EXPECT_EQ(program.app.setupState.folder + program.app.setupState.previousCampaign,
                  u"norvalenorvale");
        program.campaign(longName, {u"easy.txt"});
        EXPECT_EQ(recorded(), record(utf8(longName), "easy.txt "));
    }
    // A new process knows from the record alone whose saves are in "saves".
    writeFile(u"saves\\long.sav", "long");
    Program restarted;
    restarted.campaign(u"norvale", {u"easy.txt"});
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(readFile(u"save_" + longName + u"\\long.sav"), "long");
    // Saves that cannot be parked under the recorded name (a hand-edited name that would
    // lead out of the game folder) stay, and so does the name; the player is told.
    writeFile(u"data\\campaign\\recent.txt", record("..\\gone", "", "Deutsch"));
    restarted.campaign(u"eastmarch", {u"easy.txt"});
    EXPECT_EQ(restarted.errors, Texts{u"The save folders could not be switched: \"saves\" still "
                                      u"holds the save games of ..\\gone."});
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(recorded(), record("..\\gone", "easy.txt ", "Deutsch"));
    EXPECT_EQ(readFile(u"data\\units\\cavalry\\knights.cfg"),
              sample(u"data\\campaign\\eastmarch\\units\\cavalry\\knights.cfg"));
    EXPECT_TRUE(has(u"data\\units\\infantry\\spearmen.cfg", "hp=14"));
}

TEST(CampaignRuns, ConfirmationEmptiesTheRecordInMemoryOnly) {
    ScratchFolder scratch;
    copySampleGame();
    writeFile(u"data\\campaign\\recent.txt", record("norvale", "easy.txt ", "Deutsch"));
    Program program;
    takePreviousCampaign(program.app.setupState);
    program.app.scriptSelected[0] = true; // an earlier confirmation's flag
    confirmCampaignChoice(program.app, {});
    const SetupState& state = program.app.setupState;
    EXPECT_EQ(state.previousCampaign + u"|" + state.translation + u"|" + state.folder +
                  state.recordedScriptList + state.scriptSlots[0],
              u"norvale|Deutsch|");
    EXPECT_EQ(program.app.scriptSelected, (std::array<bool, maxScripts>{}));
    // Until the run switches the save folders, the file still names their owner.
    EXPECT_EQ(recorded(), record("norvale", "easy.txt ", "Deutsch"));
}

TEST(TranslationRuns, EachRunTranslatesRecordsAndLeavesEverythingElseAlone) {
    ScratchFolder scratch;
    copySampleGame();
    Program program;
    const auto banner = [](platform::TextEncoding encoding) {
        return (encoding == platform::TextEncoding::Utf16 ? "\xFF\xFE" : "") +
               platform::encodeText(u"\u00AC--- Generated by Dravik setup translator\n", encoding);
    };
    program.translation(u"francais.txt"); // nothing recorded yet
    EXPECT_EQ(recorded(), record("none", "none ",
                                 "Fran\xE7"
                                 "ais"));
    EXPECT_TRUE(
        readFile(u"data\\text\\names.txt").starts_with(banner(platform::TextEncoding::Utf16)));
    EXPECT_FALSE(exists(u"data\\text\\names.txt.strings.bin"));
    EXPECT_TRUE(exists(u"data\\text\\menu.txt.strings.bin")); // not in this pack

    program.campaign(u"norvale", {u"easy.txt", u"hd.textures.txt"});
    EXPECT_EQ(recorded(), record("norvale", "easy.txt hd.textures.txt ",
                                 "Fran\xE7"
                                 "ais"));
    writeFile(u"data\\text\\menu.txt.strings.bin", "cache");
    Snapshot outside = snapshot();
    program.translation(u"deutsch.txt");
    EXPECT_EQ(recorded(), record("norvale", "easy.txt hd.textures.txt  ", "Deutsch"));
    const std::string menu = readFile(u"data\\text\\menu.txt");
    EXPECT_TRUE(menu.starts_with(banner(platform::TextEncoding::Bytes8)));
    EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_START}Spiel starten\r\n"));
    EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_LOAD}Load game\r\n")); // not in the pack
    EXPECT_TRUE(has(u"data\\text\\menu.txt",
                    "{MENU_OPTIONS}Einstellungen\r\n{MENU_CREDITS}Credits:\r\n\xDClrike"));
    EXPECT_EQ(
        readFile(u"data\\text\\names.txt"),
        banner(platform::TextEncoding::Utf16) +
            platform::encodeText(
                u"{TOWN_NORVALE}Norvale\n{TOWN_EASTMARCH}Ostmark\n{TOWN_IRONCOAST}Port Kessa\n"
                u"{HERO_ELA}\u00C9la of the Fjords\n{HERO_BIO}Geboren in "
                u"\u00C6r\u00F8sk\u00F8bing,\n"
                u"\u00FCberquerte sie den \u0414\u0440\u0430\u0432\u0438\u043A-Pass\nim Winter "
                u"1203.\n"
                u"{UNIT_SPEAR}Speertr\u00E4ger\n{UNIT_KNIGHT}Ritter\n",
                platform::TextEncoding::Utf16));
    // Only the game text files (and their caches) and the record changed.
    Snapshot now = snapshot();
    for (Snapshot* files : {&outside, &now}) {
        std::erase_if(*files, [](const auto& f) {
            return f.first.starts_with(u"data\\text\\") || f.first == u"data\\campaign\\recent.txt";
        });
    }
    EXPECT_EQ(describe(now, outside), "");
    EXPECT_FALSE(exists(u"data\\text\\menu.txt.strings.bin"));
    // The same pack again gives the same files; only the record's trailing blanks grow.
    const Snapshot once = snapshot(u"data\\text");
    program.translation(u"deutsch.txt");
    EXPECT_EQ(snapshot(u"data\\text"), once);
    EXPECT_EQ(recorded(), record("norvale", "easy.txt hd.textures.txt   ", "Deutsch"));
    // A campaign run keeps the translation recorded, and a translation the campaign.
    program.campaign(u"eastmarch", {u"hard.txt"});
    program.translation(u"francais.txt");
    EXPECT_EQ(recorded(), record("eastmarch", "hard.txt  ",
                                 "Fran\xE7"
                                 "ais"));
    EXPECT_EQ(readFile(u"save_norvale\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(readFile(u"data\\units\\cavalry\\knights.cfg"), knightsHard);
    EXPECT_EQ(program.errors, Texts{});
}

// A run stopped as by a crash leaves our temporary files and the marker; the next start
// removes exactly our files, says so once, and a crash during that clean-up loses nothing.
TEST(StartUp, RemovesOnlyOurLeftoversOfAnUnfinishedRunAndSaysSoOnce) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    {
        Program crashed;
        platform::setFaultPlan({.stopAfter = 40}); // somewhere in the middle of the switch
        crashed.campaign(u"eastmarch", {u"hard.txt", u"menu_fix.txt"});
        platform::setFaultPlan({});
    }
    const std::vector<std::pair<std::u16string, bool>> names = {
        {u"~dravik0a1b2c.tmp", true},
        {u"data\\text\\~dravikffffff.tmp", true},
        {u"data\\campaign\\backup\\~dravik000001.tmp", true},
        {u"~dravik0a1b2.tmp", false},
        {u"data\\~dravik0A1B2C.tmp", false},
        {u"data\\text\\tmp1234.tmp", false},
        {u"data\\text\\~dravik0a1b2c.tmp.txt", false}};
    for (const auto& [name, ours] : names) {
        testing_support::writeFile(name, "x");
    }
    // Everything but our temporary files and the marker stays as it is.
    const auto gameFiles = [] {
        Snapshot files = testing_support::snapshot(u".");
        std::erase_if(files, [](const auto& file) { return file.first == unfinishedRunMarker; });
        return files;
    };
    const Snapshot kept = gameFiles();
    // Every stop point of the clean-up, then a start without faults finishes it.
    for (long stop = 1;; ++stop) {
        testing_support::ErrorRecorder errors;
        platform::setFaultPlan({.stopAfter = stop});
        recoverFromUnfinishedRun(errors.sink());
        const long operations = platform::fileOperationCount();
        platform::setFaultPlan({});
        ASSERT_TRUE(gameFiles() == kept) << "stop after " << stop;
        if (operations <= stop) {
            EXPECT_EQ(errors.texts,
                      std::vector<std::u16string>{std::u16string(unfinishedRunMessage)});
            break;
        }
        EXPECT_TRUE(errors.texts.empty());
    }
    for (const auto& [name, ours] : names) {
        EXPECT_EQ(exists(name), !ours) << utf8(name);
    }
    EXPECT_EQ(testing_support::temporaryFilesLeft(), 0u);
    testing_support::ErrorRecorder again;
    EXPECT_FALSE(recoverFromUnfinishedRun(again.sink()));
    EXPECT_TRUE(again.texts.empty());
    // The next campaign run repairs the game folder as any run does.
    Program next;
    next.campaign(u"eastmarch", {u"hard.txt", u"menu_fix.txt"});
    EXPECT_TRUE(next.errors.empty());
}

// A game under a deep library folder, a campaign that nests its files deeply and folder and
// script names above 255, as players have them on real machines.
TEST(CampaignRuns, DeepGameFolderAndNamesAbove255) {
    testing_support::ScratchFolder scratch;
    std::u16string game = scratch.path();
    while (game.size() < 250) {
        game += u"\\" + std::u16string(60, u'l');
    }
    testing_support::makeFolders(game.substr(scratch.path().size() + 1));
    testing_support::copyTree(testing_support::sourceDirectory() + u"\\sample\\game", game);
    ASSERT_TRUE(platform::setCurrentDirectory(game));
    const std::u16string vostok = u"\u0412\u043e\u0441\u0442\u043e\u043a";
    const std::u16string script = u"\u043b\u0451\u0433\u043a\u0438\u0439_\U0001F3F0";
    const std::u16string deep =
        u"maps\\" + std::u16string(50, u'm') + u"\\" + std::u16string(50, u'n') + u"\\river.map";
    ASSERT_GT(game.size() + std::u16string(u"\\data\\campaign\\backup\\").size() + deep.size(),
              300u);
    testing_support::copyTree(u"data\\campaign\\eastmarch", u"data\\campaign\\" + vostok);
    testing_support::writeFile(u"data\\campaign\\" + vostok + u"\\" + deep, "vostok");
    testing_support::writeFile(u"data\\" + deep, "game");
    testing_support::copyTree(u"data\\campaign\\sub\\easy", u"data\\campaign\\sub\\" + script);
    platform::copyFile(u"data\\campaign\\sub\\easy.txt",
                       u"data\\campaign\\sub\\" + script + u".txt", false);
    {
        Program program;
        program.campaign(vostok, {script + u".txt"});
        EXPECT_TRUE(program.errors.empty()) << utf8(program.errors.front());
        EXPECT_EQ(readFile(u"data\\" + deep), "vostok");
        EXPECT_EQ(readFile(u"data\\campaign\\backup\\" + deep), "game");
        EXPECT_NE(readFile(u"data\\units\\infantry\\spearmen.cfg").find("hp=14"),
                  std::string::npos);
    }
    testing_support::writeFile(u"saves\\vostok.sav", "v");
    // A new start remembers the campaign and the script's tick; the saves stay with Vostok
    // through every switch.
    Program restarted;
    restarted.campaign(vostok, {script + u".txt"});
    const auto& scripts = restarted.app.catalogue.scriptList;
    const auto remembered = [&](std::u16string_view fileName) {
        return std::ranges::find(scripts, fileName, &ScriptEntry::fileName)->rememberedState;
    };
    EXPECT_EQ(remembered(script + u".txt"), 1);
    EXPECT_EQ(remembered(u"easy.txt"), 2);
    EXPECT_EQ(readFile(u"saves\\vostok.sav"), "v");
    restarted.campaign(u"norvale", {u"easy.txt"});
    EXPECT_EQ(readFile(u"save_" + vostok + u"\\vostok.sav"), "v");
    EXPECT_EQ(readFile(u"data\\" + deep), "game");
    restarted.campaign(vostok, {script + u".txt"});
    EXPECT_EQ(readFile(u"saves\\vostok.sav"), "v");
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_TRUE(platform::folderExists(u"save_norvale"));
    EXPECT_TRUE(restarted.errors.empty()) << utf8(restarted.errors.front());
    platform::setCurrentDirectory(scratch.path());
}
