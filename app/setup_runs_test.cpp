// The two runs from start to end on copies of the sample game folder, driven as the
// windows drive them: one process (one AppState) for a whole sequence of choices.
#include "app/setup_runs.h"
#include "catalogue/game_paths.h"
#include "platform/file_system.h"
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
                   const std::string& translation) {
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

} // namespace

// The record names the translation, every script that ran (failed or not) and the campaign
// whose games are in "saves"; a new process takes them from the file alone. On the sample
// game under a deep library folder as players have it (most paths are over 260 characters).
TEST(SetupRuns, TheRecordNamesTranslationScriptsAndTheOwnerOfTheSaves) {
    ScratchFolder scratch;
    const std::u16string deep = std::u16string(120, u'l') + u"\\" + std::u16string(120, u'l');
    makeFolders(deep);
    copyTree(sourceDirectory() + u"\\sample\\game", deep);
    ASSERT_TRUE(platform::setCurrentDirectory(scratch.path() + u"\\" + deep));
    // Its from-block has no to-condition, so the engine gives up on the whole script.
    const std::u16string broken = u"\u00E9\U0001F3F0.txt";
    writeFile(u"data\\campaign\\sub\\" + broken,
              "[works for]\r\nall\r\n[files]\r\nreplace data\\text\\menu.txt with x.txt from:\r\n"
              "{MENU_QUIT}Quit\r\n<end>\r\nappend data\\text\\menu.txt with:\r\n{NEVER}\r\n");
    const std::u16string longName = u"long_" + std::u16string(200, u'x'); // never cut
    writeFile(u"data\\campaign\\" + longName + u"\\campaign.txt", "[name]\r\nLong\r\n");
    const std::string scripts = "easy.txt menu_fix.txt \xE9\\ud83c\\udff0.txt ";
    {
        Program program;
        program.translation(u"francais.txt"); // nothing recorded yet
        EXPECT_EQ(recorded(), record("none", "none ", "Fran\347ais"));
        program.campaign(u"iron_coast", {u"menu_fix.txt", broken, u"easy.txt"});
        EXPECT_EQ(program.errors,
                  Texts{u"Cannot find the to-condition in file data\\campaign\\sub\\" + broken});
        EXPECT_EQ(recorded(), record("iron_coast", scripts, "Fran\347ais"));
        EXPECT_TRUE(has(u"data\\text\\menu.txt", "{MENU_MODS}")); // written after the failure
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
    std::string boxes;
    for (const auto& script : restarted.app.catalogue.scriptList) {
        boxes += std::to_string(script.rememberedState) + std::to_string(initialBoxState(script));
    }
    EXPECT_EQ(boxes, "11000011200011");
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
    restarted.campaign(u"norvale", {u"easy.txt"});
    EXPECT_EQ(restarted.errors.back(), u"The save folders could not be switched: \"saves\" still "
                                       u"holds the save games of ..\\gone.");
    EXPECT_EQ(readFile(u"saves\\long.sav"), "long");
    EXPECT_EQ(recorded(), record("..\\gone", "easy.txt ", "Deutsch"));
    // The run went on: the script works on the file the campaign installed.
    EXPECT_TRUE(has(u"data\\units\\infantry\\spearmen.cfg", "hp=14\r\n\r\nattack=4\r\n"));

    // Blanks at a name's ends belong to it: " north" and "north" keep their own save games,
    // and only the scripts of the last run come back ticked. A record that names no
    // translation gives "none".
    writeFile(u"data\\campaign\\ north\\campaign.txt", "[name]\r\nNorth\r\n");
    writeFile(u"data\\campaign\\north\\campaign.txt", "[name]\r\nnorth\r\n");
    writeFile(u"data\\campaign\\sub\\ a.txt", "[works for]\r\nall\r\n[files]\r\n");
    writeFile(u"data\\campaign\\recent.txt", "[campaign] norvale\r\n");
    Program blanks;
    blanks.campaign(u" north", {u" a.txt", u"easy.txt"});
    EXPECT_EQ(recorded(), record("\\u0020north", "\\u0020a.txt easy.txt ", "none"));
    writeFile(u"saves\\n.sav", " north");
    blanks.campaign(u"north", {});
    writeFile(u"saves\\n.sav", "north");
    blanks.campaign(u" north", {u" a.txt"});
    EXPECT_EQ(readFile(u"saves\\n.sav") + "|" + readFile(u"save_north\\n.sav"), " north|north");
    blanks.campaign(u" north", {});
    const auto& list = blanks.app.catalogue.scriptList; // " a.txt", then easy.txt
    EXPECT_EQ(list[0].rememberedState * 10 + list[1].rememberedState, 12);
    EXPECT_EQ(blanks.errors, Texts{});
}

// A run stopped as by a crash leaves our temporary files and the marker; the next start
// removes exactly our files, says so once, and a crash during that clean-up loses nothing.
TEST(StartUp, RemovesOnlyOurLeftoversOfAnUnfinishedRunAndSaysSoOnce) {
    ScratchFolder scratch;
    copySampleGame();
    Program crashed;
    platform::setFaultPlan({.stopAfter = 40}); // somewhere in the middle of the switch
    crashed.campaign(u"eastmarch", {u"hard.txt", u"menu_fix.txt"});
    platform::setFaultPlan({});
    const std::pair<const char16_t*, bool> names[] = {{u"~dravik0a1b2c.tmp", true},
                                                      {u"data\\text\\~dravikffffff.tmp", true},
                                                      {u"data\\text\\~dravik0a1b2.tmp", false}};
    for (const auto& [name, ours] : names) {
        writeFile(name, "x");
    }
    // Every stop point of the clean-up, then a start without faults finishes it; everything
    // but our temporary files and the marker stays as it is.
    Snapshot kept = snapshot(u".");
    kept.erase(std::u16string(unfinishedRunMarker));
    for (long stop = 1;; ++stop) {
        ErrorRecorder errors;
        platform::setFaultPlan({.stopAfter = stop});
        recoverFromUnfinishedRun(errors.sink());
        const long operations = platform::fileOperationCount();
        platform::setFaultPlan({});
        Snapshot now = snapshot(u".");
        now.erase(std::u16string(unfinishedRunMarker));
        ASSERT_EQ(describe(now, kept), "") << "stop after " << stop;
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
    // A run that ends with a temporary file of its own left (its removal failed) leaves the
    // marker, so that the next start removes the file.
    std::u16string left;
    ASSERT_TRUE(platform::makeTemporaryFile(u"data", left));
    markRunStarted();
    markRunFinished();
    EXPECT_TRUE(recoverFromUnfinishedRun(ErrorRecorder().sink()));
    EXPECT_FALSE(exists(left));
}
