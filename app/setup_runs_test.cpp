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
    Texts errors, handedBack;

    Program() {
        app.errors.show = [this](const std::u16string& text) { errors.push_back(text); };
        app.handBackMainWindow = [this](const std::u16string& text) {
            // The animation is over by then: no step can follow the final text.
            EXPECT_FALSE(app.progress.busy || app.progress.animationThread.joinable());
            handedBack.push_back(text);
        };
        EXPECT_TRUE(scanCatalogue(app.catalogue, app.errors));
        loadRecentSelection(app.setupState);
    }

    // Campaign button, Script Handler opening, ticks, OK, the run.
    void campaign(std::u16string_view folder, std::initializer_list<std::u16string_view> scripts) {
        const auto& list = app.catalogue.campaignList;
        const auto chosen = std::ranges::find(list, folder, &CampaignEntry::folder);
        ASSERT_NE(chosen, list.end()) << utf8(folder);
        app.chosenCampaignFolder = chosen->folder;
        app.choiceDisplayName = chosen->name;
        openScriptChoice(app.catalogue, *chosen, app.chosenCampaignFolder, app.setupState);
        std::array<bool, maxScripts> checked{};
        for (const ScriptEntry& script : app.catalogue.scriptList) {
            checked[std::size_t(script.index)] = std::ranges::count(scripts, script.fileName) > 0;
        }
        confirmCampaignChoice(app, checked);
        run(runCampaignSetup);
    }

    void translation(std::u16string_view fileName) {
        const auto& packs = app.catalogue.translationList;
        const auto pack = std::ranges::find(packs, fileName, &TranslationEntry::fileName);
        ASSERT_NE(pack, packs.end()) << utf8(fileName);
        app.selectedTranslation = pack->index;
        app.choiceDisplayName = pack->name;
        run(runTranslationSetup);
    }

    // Every run hands the main window back once, with the "Using:" text.
    void run(void (*setupRun)(AppState&)) {
        app.progress.busy = true;
        startProgressAnimation(app.progress);
        setupRun(app);
        EXPECT_EQ(handedBack, Texts{u"Using:\n" + app.choiceDisplayName});
        handedBack.clear();
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
std::string utf16(std::u16string_view text) {
    return platform::encodeText(text, platform::TextEncoding::Utf16);
}

} // namespace

// Norvale, Eastmarch and Norvale again in one process, on the sample game under a deep
// library folder as players have it (most paths of the runs are longer than 260 characters).
TEST(CampaignRuns, SwitchingThereAndBackRestoresInstallsAndRecordsExactly) {
    ScratchFolder scratch;
    std::u16string game = scratch.path();
    while (game.size() < 250) {
        game += u"\\" + std::u16string(60, u'l');
    }
    makeFolders(game.substr(scratch.path().size() + 1));
    copyTree(sourceDirectory() + u"\\sample\\game", game);
    ASSERT_TRUE(platform::setCurrentDirectory(game));
    const struct {
        const char16_t* campaign;
        std::initializer_list<std::u16string_view> scripts;
        std::string recordedScripts;
        const char16_t* saves; // where the sample's save game is afterwards
        std::vector<std::pair<const char16_t*, std::string>> parts;
    } steps[] = {
        // Every script Norvale offers, on first use: the unowned saves stay.
        {u"norvale",
         {u"royal_titles.txt", u"hd.textures.txt", u"easy.txt", u"more_names.txt", u"hard.txt"},
         "easy.txt hard.txt hd.textures.txt more_names.txt royal_titles.txt ",
         u"saves",
         {{u"data\\units\\infantry\\spearmen.cfg", "\r\nhp=14\r\n\r\nattack=4\r\n"},
          {u"data\\units\\cavalry\\knights.cfg", "-- stats --\r\nhp=28\r\n"},
          {u"data\\text\\names.txt", utf16(u"{HERO_ELA}Queen \u00C9la of the Fjords\n")},
          {u"data\\text\\names.txt", utf16(u"{UNIT_KNIGHT}Knights\n{HERO_ORIN}Orin the Grey\n")},
          {u"data\\maps\\world\\regions.txt", sample(u"data\\campaign\\sub\\hd\\regions.txt")},
          {u"data\\art\\units\\knight.pic", sample(u"data\\campaign\\sub\\hd\\knight_hd.pic")},
          {u"data\\maps\\norvale\\keep.map",
           sample(u"data\\campaign\\norvale\\maps\\norvale\\keep.map")}}},
        // Norvale's saves are parked and its changes undone.
        {u"eastmarch",
         {u"hard.txt", u"menu_fix.txt"},
         "hard.txt menu_fix.txt ",
         u"save_norvale",
         {{u"data\\units\\infantry\\spearmen.cfg", sample(u"data\\units\\infantry\\spearmen.cfg")},
          {u"data\\text\\names.txt", sample(u"data\\text\\names.txt")},
          {u"data\\units\\cavalry\\knights.cfg", "name=Knights\r\n\r\n-- stats --\r\nhp=28"},
          {u"data\\text\\menu.txt", "\xAC--- Generated by Dravik setup translator\r\n"},
          {u"data\\text\\menu.txt", "{MENU_QUIT}Quit\r\n\r\n{MENU_MODS}Mods \xA9\r\n"}}},
        // Norvale again, other scripts: its saves come back, Eastmarch's are parked.
        {u"norvale", {u"more_names.txt", u"hard.txt"}, "hard.txt more_names.txt ", u"saves", {}},
    };
    Program program;
    for (const auto& step : steps) {
        SCOPED_TRACE(utf8(step.campaign));
        program.campaign(step.campaign, step.scripts);
        EXPECT_EQ(recorded(), record(utf8(step.campaign), step.recordedScripts));
        EXPECT_EQ(readFile(step.saves + std::u16string(u"\\quicksave.sav")),
                  sample(u"saves\\quicksave.sav"));
        for (const auto& [path, part] : step.parts) {
            EXPECT_TRUE(has(path, part)) << utf8(path) << ": " << part;
        }
        EXPECT_FALSE(exists(u"data\\text\\menu.txt.strings.bin"));
        if (&step == &steps[0]) {
            // The backup tree holds exactly the originals of the files changed so far.
            Snapshot kept = snapshot(u"data\\campaign\\backup"), originals;
            std::erase_if(kept, [](const auto& file) { return file.first.ends_with(u"\\"); });
            for (const char16_t* path :
                 {u"art\\units\\knight.pic", u"art\\units\\spearmen.pic",
                  u"maps\\world\\regions.txt", u"text\\names.txt", u"units\\cavalry\\knights.cfg",
                  u"units\\infantry\\spearmen.cfg"}) {
                originals[path] = sample(u"data\\" + std::u16string(path));
            }
            EXPECT_EQ(describe(kept, originals), "");
        }
    }
    EXPECT_TRUE(platform::folderExists(u"save_eastmarch") && !exists(u"save_norvale"));
    EXPECT_EQ(program.errors, Texts{});
    // The same choice on a fresh copy gives the same files, but for what the campaigns
    // added (a restore never removes those) and the copy of keep.map the second
    // installation of Norvale keeps.
    Snapshot afterSequence = snapshot(u"data");
    for (const char16_t* added :
         {u"maps\\east\\", u"maps\\east\\border\\", u"maps\\east\\border\\river.map",
          u"campaign\\backup\\maps\\norvale\\keep.map"}) {
        afterSequence.erase(added);
    }
    ScratchFolder fresh;
    copySampleGame();
    Program once;
    once.campaign(u"norvale", {u"hard.txt", u"more_names.txt"});
    EXPECT_EQ(describe(afterSequence, snapshot(u"data")), "");
}

// The record names the translation, every script that ran (failed or not) and the campaign
// whose games are in "saves"; a new process takes them from the file alone.
TEST(SetupRuns, TheRecordNamesTranslationScriptsAndTheOwnerOfTheSaves) {
    ScratchFolder scratch;
    copySampleGame();
    // Its from-block has no to-condition, so the engine gives up on the whole script.
    const std::u16string broken = u"\u00E9\U0001F3F0.txt";
    writeFile(u"data\\campaign\\sub\\" + broken,
              "[works for]\r\nall\r\n[files]\r\nreplace data\\text\\menu.txt with x.txt from:\r\n"
              "{MENU_QUIT}Quit\r\n<end>\r\nappend data\\text\\menu.txt with:\r\n{NEVER}\r\n");
    const std::u16string longName = u"long_" + std::u16string(200, u'x'); // never cut
    writeFile(u"data\\campaign\\" + longName + u"\\campaign.txt", "[name]\r\nLong\r\n");
    const std::string francais = "Fran\xE7"
                                 "ais";
    const std::string scripts = "easy.txt menu_fix.txt \xE9\\ud83c\\udff0.txt ";
    {
        Program program;
        program.translation(u"francais.txt"); // nothing recorded yet
        EXPECT_EQ(recorded(), record("none", "none ", francais));
        EXPECT_TRUE(has(u"data\\text\\names.txt", utf16(u"{UNIT_KNIGHT}Chevaliers\n")));
        program.campaign(u"iron_coast", {u"menu_fix.txt", broken, u"easy.txt"});
        EXPECT_EQ(program.errors,
                  Texts{u"Cannot find the to-condition in file data\\campaign\\sub\\" + broken});
        EXPECT_EQ(recorded(), record("iron_coast", scripts, francais));
        EXPECT_FALSE(has(u"data\\text\\menu.txt", "{NEVER}"));
        EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_MODS}"));
        // Each translation run adds a blank to the recorded scripts.
        program.translation(u"deutsch.txt");
        program.translation(u"deutsch.txt");
        EXPECT_EQ(recorded(), record("iron_coast", scripts + "  ", "Deutsch"));
        EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_START}Spiel starten\r\n"));
    }
    writeFile(u"saves\\iron.sav", "iron");
    Program restarted;
    restarted.campaign(u"iron_coast", {u"easy.txt"});
    // Remembered state and initial box of each script, in list order: easy, hard, hd, menu,
    // more (ticked off although its descriptor says [checked]), royal, broken.
    std::u16string boxes;
    for (const auto& script : restarted.app.catalogue.scriptList) {
        boxes +=
            {char16_t(u'0' + script.rememberedState), char16_t(u'0' + initialBoxState(script))};
    }
    EXPECT_EQ(boxes, u"11000011200011");
    // A script ticked before and not now is undone.
    EXPECT_EQ(readFile(u"data\\text\\menu.txt"), sample(u"data\\text\\menu.txt"));
    restarted.campaign(longName, {});
    EXPECT_EQ(recorded(), record(utf8(longName), "", "Deutsch"));
    EXPECT_EQ(readFile(u"save_iron_coast\\quicksave.sav") + readFile(u"save_iron_coast\\iron.sav"),
              sample(u"saves\\quicksave.sav") + "iron");
    writeFile(u"saves\\long.sav", "long");
    // Saves that cannot be parked under the recorded name (a hand-edited name that would
    // lead out of the game folder) stay, and so does the name; the player is told.
    writeFile(u"data\\campaign\\recent.txt", record("..\\gone", "", "Deutsch"));
    restarted.campaign(u"eastmarch", {u"easy.txt"});
    EXPECT_EQ(restarted.errors.back(), u"The save folders could not be switched: \"saves\" still "
                                       u"holds the save games of ..\\gone.");
    EXPECT_EQ(readFile(u"saves\\long.sav"), "long");
    EXPECT_EQ(recorded(), record("..\\gone", "easy.txt ", "Deutsch"));
    EXPECT_TRUE(has(u"data\\units\\infantry\\spearmen.cfg", "hp=14")); // the run went on
}

// A run stopped as by a crash leaves our temporary files and the marker; the next start
// removes exactly our files, says so once, and a crash during that clean-up loses nothing.
TEST(StartUp, RemovesOnlyOurLeftoversOfAnUnfinishedRunAndSaysSoOnce) {
    ScratchFolder scratch;
    copySampleGame();
    {
        Program crashed;
        platform::setFaultPlan({.stopAfter = 40}); // somewhere in the middle of the switch
        crashed.campaign(u"eastmarch", {u"hard.txt", u"menu_fix.txt"});
        platform::setFaultPlan({});
    }
    const std::pair<const char16_t*, bool> names[] = {
        {u"~dravik0a1b2c.tmp", true},
        {u"data\\text\\~dravikffffff.tmp", true},
        {u"data\\campaign\\backup\\~dravik000001.tmp", true},
        {u"~dravik0a1b2.tmp", false},
        {u"data\\text\\~dravik0a1b2c.tmp.txt", false}};
    for (const auto& [name, ours] : names) {
        writeFile(name, "x");
    }
    // Everything but our temporary files and the marker stays as it is.
    const auto gameFiles = [] {
        Snapshot files = snapshot(u".");
        files.erase(std::u16string(unfinishedRunMarker));
        return files;
    };
    const Snapshot kept = gameFiles();
    // Every stop point of the clean-up, then a start without faults finishes it.
    for (long stop = 1;; ++stop) {
        ErrorRecorder errors;
        platform::setFaultPlan({.stopAfter = stop});
        recoverFromUnfinishedRun(errors.sink());
        const long operations = platform::fileOperationCount();
        platform::setFaultPlan({});
        ASSERT_TRUE(gameFiles() == kept) << "stop after " << stop;
        if (operations <= stop) {
            EXPECT_EQ(errors.texts, Texts{std::u16string(unfinishedRunMessage)});
            break;
        }
        EXPECT_EQ(errors.texts, Texts{});
    }
    for (const auto& [name, ours] : names) {
        EXPECT_EQ(exists(name), !ours) << utf8(name);
    }
    EXPECT_EQ(temporaryFilesLeft(), 0u);
    EXPECT_FALSE(recoverFromUnfinishedRun(ErrorRecorder().sink()));
}
