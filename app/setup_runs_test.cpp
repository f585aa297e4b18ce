// The two runs from start to end on copies of the sample game folder, driven as the
// windows drive them: one process (one AppState) for a whole sequence of choices.
#include "app/setup_runs.h"
#include "catalogue/game_paths.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "scripts/script_selection.h"
#include "testing/test_support.h"

#include <algorithm>
#include <map>

using testing_support::exists;
using testing_support::readFile;
using testing_support::utf8;

namespace {

using Snapshot = std::vector<std::pair<std::u16string, std::string>>;

std::map<std::u16string, std::string> asMap(const Snapshot& snapshot) {
    return {snapshot.begin(), snapshot.end()};
}

// The program: the start-up scan and record, then campaign and translation choices.
struct Program {
    AppState app;
    testing_support::ErrorRecorder errors;
    std::vector<std::u16string> statusTexts;
    int handBacks = 0; // the main window is handed back once per run
    // Called for each error text, during the run.
    std::function<void(const std::u16string&)> onError;

    Program() {
        app.errors = ErrorSink{[this](const std::u16string& text) {
            errors.texts.push_back(text);
            if (onError) {
                onError(text);
            }
        }};
        app.progress.label = [this](const std::u16string& text) { statusTexts.push_back(text); };
        app.handBackMainWindow = [this](const std::u16string& text) {
            statusTexts.push_back(text);
            ++handBacks;
        };
        EXPECT_TRUE(scanCatalogue(app.catalogue, app.errors));
        loadRecentSelection(app.setupState);
    }

    std::int16_t scriptSlot(std::u16string_view fileName) const {
        for (const auto& script : app.catalogue.scriptList) {
            if (script.fileName == fileName) {
                return script.index;
            }
        }
        ADD_FAILURE() << "no script " << utf8(fileName);
        return 0;
    }

    // Campaign button, Script Handler opening, ticks, OK (the check must pass), the run.
    void campaign(std::u16string_view folder, std::initializer_list<std::u16string_view> scripts,
                  bool checkGroups = true) {
        const auto& campaigns = app.catalogue.campaignList;
        const auto chosen =
            std::find_if(campaigns.begin(), campaigns.end(),
                         [&](const CampaignEntry& c) { return c.folder == folder; });
        ASSERT_NE(chosen, campaigns.end()) << utf8(folder);
        app.chosenCampaignFolder = chosen->folder;
        app.choiceDisplayName = chosen->name;
        app.progress.busy = false;
        openScriptChoice(app.catalogue, *chosen, app.chosenCampaignFolder, app.setupState);
        std::array<bool, maxScripts> checked{};
        for (const auto script : scripts) {
            checked[static_cast<std::size_t>(scriptSlot(script))] = true;
        }
        if (checkGroups) {
            ASSERT_EQ(findUnfilledRequiredGroup(buildScriptGroups(app.catalogue, *chosen), checked),
                      nullptr);
        }
        confirmCampaignChoice(app, checked);
        app.progress.busy = true;
        startProgressAnimation(app.progress);
        runCampaignSetup(app);
        finished();
    }

    // Every run ends idle, its animation joined, with the "Using:" text last, and hands the
    // main window back exactly once.
    void finished() {
        EXPECT_FALSE(app.progress.busy);
        EXPECT_FALSE(app.progress.animationThread.joinable());
        ASSERT_FALSE(statusTexts.empty());
        EXPECT_EQ(statusTexts.back(), u"Using:\n" + app.choiceDisplayName);
        EXPECT_EQ(handBacks, 1);
        handBacks = 0;
    }

    void translation(std::u16string_view fileName) {
        loadRecentSelection(app.setupState);
        const auto& packs = app.catalogue.translationList;
        const auto pack = std::find_if(packs.begin(), packs.end(), [&](const TranslationEntry& t) {
            return t.fileName == fileName;
        });
        ASSERT_NE(pack, packs.end()) << utf8(fileName);
        app.selectedTranslation = pack->index;
        app.choiceDisplayName = pack->name;
        app.progress.busy = true;
        startProgressAnimation(app.progress);
        runTranslationSetup(app);
        finished();
    }
};

std::vector<std::string> recentLines() {
    std::string bytes = readFile(u"data\\campaign\\recent.txt");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    if (start != bytes.size()) {
        lines.push_back("<unterminated>" + bytes.substr(start));
    }
    return lines;
}

std::vector<std::string> record(const std::string& campaign, const std::string& scripts,
                                const std::string& translation = "none") {
    return {"[campaign] " + campaign, "[scripts] " + scripts, "[translation] " + translation};
}

// The paths in the backup tree, each checked to hold its original's bytes.
std::vector<std::u16string>
backedUpOriginals(const std::map<std::u16string, std::string>& originals) {
    std::vector<std::u16string> paths;
    for (const auto& [path, bytes] : testing_support::snapshotTree(u"data\\campaign\\backup")) {
        paths.push_back(path);
        EXPECT_EQ(bytes, originals.at(path)) << utf8(path);
    }
    return paths;
}

std::string sample(std::u16string_view path) {
    return readFile(testing_support::sourceDirectory() + u"\\sample\\game\\" +
                    std::u16string(path));
}

// Every file of the sample's data folder outside data\campaign: the game's own files.
Snapshot originalGameFiles() {
    Snapshot files;
    for (auto& [path, bytes] : testing_support::snapshotTree(testing_support::sourceDirectory() +
                                                             u"\\sample\\game\\data")) {
        if (path.rfind(u"campaign\\", 0) != 0) {
            files.emplace_back(path, bytes);
        }
    }
    return files;
}

const std::string spearmenEasyNorvale =
    "[unit]\r\nname=Spearmen\r\n\r\nhp=14\r\n\r\nattack=4\r\narmour=2\r\n[end unit]\r\n";
const std::string knightsHard =
    "[unit]\r\nname=Knights\r\n\r\n-- stats --\r\nhp=28\r\nattack=8\r\nspeed=4\r\n"
    "-- end stats --\r\n\r\n[end unit]\r\n";

} // namespace

TEST(CampaignRuns, SwitchingThereAndBackRestoresInstallsAndRecordsExactly) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    Program program;
    const auto originals = asMap(originalGameFiles());

    // Norvale with two scripts, on first use.
    program.campaign(u"norvale", {u"hd.textures.txt", u"easy.txt"});
    EXPECT_TRUE(program.errors.texts.empty()) << utf8(program.errors.texts.front());
    EXPECT_EQ(program.statusTexts.back(), u"Using:\nThe Norvale Chronicles");
    EXPECT_EQ(recentLines(), record("norvale", "easy.txt hd.textures.txt "));
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"),
              sample(u"saves\\quicksave.sav")); // unowned saves stay
    EXPECT_EQ(readFile(u"data\\units\\infantry\\spearmen.cfg"), spearmenEasyNorvale);
    EXPECT_EQ(readFile(u"data\\maps\\world\\regions.txt"),
              sample(u"data\\campaign\\sub\\hd\\regions.txt"));
    EXPECT_EQ(readFile(u"data\\art\\units\\knight.pic"),
              sample(u"data\\campaign\\sub\\hd\\knight_hd.pic"));
    EXPECT_EQ(readFile(u"data\\maps\\norvale\\keep.map"),
              sample(u"data\\campaign\\norvale\\maps\\norvale\\keep.map"));
    // The backup tree holds exactly the originals of the files changed so far.
    EXPECT_EQ(backedUpOriginals(originals),
              (std::vector<std::u16string>{u"art\\units\\knight.pic", u"art\\units\\spearmen.pic",
                                           u"maps\\world\\regions.txt",
                                           u"units\\infantry\\spearmen.cfg"}));

    // Eastmarch: Norvale's saves are parked, its changes undone.
    program.campaign(u"eastmarch", {u"hard.txt", u"menu_fix.txt"});
    EXPECT_TRUE(program.errors.texts.empty()) << utf8(program.errors.texts.front());
    EXPECT_EQ(recentLines(), record("eastmarch", "hard.txt menu_fix.txt "));
    EXPECT_EQ(readFile(u"save_norvale\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_TRUE(platform::folderExists(u"saves"));
    EXPECT_TRUE(testing_support::snapshotTree(u"saves").empty());
    EXPECT_EQ(readFile(u"data\\units\\infantry\\spearmen.cfg"),
              originals.at(u"units\\infantry\\spearmen.cfg"));
    EXPECT_EQ(readFile(u"data\\art\\units\\knight.pic"), originals.at(u"art\\units\\knight.pic"));
    EXPECT_EQ(readFile(u"data\\maps\\world\\regions.txt"),
              originals.at(u"maps\\world\\regions.txt"));
    EXPECT_EQ(readFile(u"data\\units\\cavalry\\knights.cfg"), knightsHard);
    const std::string menu = readFile(u"data\\text\\menu.txt");
    EXPECT_NE(menu.find("{MENU_ACHIEVE}Achievements\r\n{MENU_QUIT}"), std::string::npos) << menu;
    EXPECT_NE(menu.find("{MENU_OPTIONS}Settings"), std::string::npos) << menu;
    EXPECT_NE(menu.find("{MENU_MODS}"), std::string::npos) << menu;
    EXPECT_FALSE(exists(u"data\\text\\menu.txt.strings.bin")); // the restore drops the caches
    EXPECT_EQ(backedUpOriginals(originals),
              (std::vector<std::u16string>{u"text\\menu.txt", u"units\\cavalry\\knights.cfg"}));

    // Norvale again, other scripts: its saves come back, Eastmarch's are parked.
    program.campaign(u"norvale", {u"more_names.txt", u"hard.txt"});
    EXPECT_TRUE(program.errors.texts.empty()) << utf8(program.errors.texts.front());
    EXPECT_EQ(recentLines(), record("norvale", "hard.txt more_names.txt "));
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_FALSE(exists(u"save_norvale"));
    EXPECT_TRUE(platform::folderExists(u"save_eastmarch"));
    EXPECT_EQ(readFile(u"data\\units\\infantry\\spearmen.cfg"),
              sample(u"data\\campaign\\norvale\\units\\infantry\\spearmen.cfg")); // easy is no
                                                                                  // longer applied
    EXPECT_EQ(readFile(u"data\\art\\units\\knight.pic"), originals.at(u"art\\units\\knight.pic"));
    EXPECT_EQ(readFile(u"data\\text\\menu.txt"), originals.at(u"text\\menu.txt"));
    EXPECT_EQ(readFile(u"data\\units\\cavalry\\knights.cfg"), knightsHard);
    EXPECT_NE(readFile(u"data\\text\\names.txt"), originals.at(u"text\\names.txt"));
    auto afterSequence = asMap(testing_support::snapshotTree(u"data"));
    // Files a campaign added stay after a restore; the second installation of Norvale then
    // finds its own keep.map in place and keeps a copy of it.
    afterSequence.erase(u"maps\\east\\border\\river.map");
    afterSequence.erase(u"campaign\\backup\\maps\\norvale\\keep.map");

    // The same choice on a fresh copy gives the same files: nothing of the earlier runs
    // shows through, except the files the campaigns added (a restore never removes those).
    testing_support::ScratchFolder fresh;
    testing_support::copySampleGame();
    Program once;
    once.campaign(u"norvale", {u"hard.txt", u"more_names.txt"});
    const auto freshFiles = asMap(testing_support::snapshotTree(u"data"));
    for (const auto& [path, bytes] : afterSequence) {
        EXPECT_EQ(bytes, freshFiles.count(path) ? freshFiles.at(path) : "<missing>") << utf8(path);
    }
    EXPECT_EQ(freshFiles.size(), afterSequence.size());
}

TEST(CampaignRuns, ScriptThatFailsIsRecordedAndLaterScriptsStillRun) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    // Sorted before every sample script: its from-block has no to-condition, so the engine
    // gives up on the whole script.
    testing_support::writeFile(
        u"data\\campaign\\sub\\aaa_broken.txt",
        "[name]\r\nBroken\r\n[works for]\r\nall\r\n[files]\r\n"
        "replace data\\text\\menu.txt with x.txt from:\r\n{MENU_QUIT}Quit\r\n<end>\r\n"
        "append data\\text\\menu.txt with:\r\n{NEVER}applied\r\n");
    Program program;
    ASSERT_EQ(program.app.catalogue.scriptList[0].fileName, u"aaa_broken.txt");
    std::vector<std::string> recordDuringRun;
    program.onError = [&](const std::u16string&) { recordDuringRun = recentLines(); };

    program.campaign(u"iron_coast", {u"menu_fix.txt", u"aaa_broken.txt", u"easy.txt"});
    ASSERT_EQ(program.errors.texts.size(), 1u);
    EXPECT_EQ(program.errors.texts[0],
              u"Cannot find the to-condition in file data\\campaign\\sub\\aaa_broken.txt");
    // While the scripts work, the record already names the campaign whose saves are in
    // "saves", with no script recorded yet.
    EXPECT_EQ(recordDuringRun, record("iron_coast", ""));
    EXPECT_EQ(recentLines(), record("iron_coast", "aaa_broken.txt easy.txt menu_fix.txt "));
    EXPECT_EQ(readFile(u"data\\text\\menu.txt").find("{NEVER}"), std::string::npos);
    EXPECT_NE(readFile(u"data\\text\\menu.txt").find("{MENU_MODS}"), std::string::npos);
    EXPECT_NE(readFile(u"data\\units\\infantry\\spearmen.cfg").find("hp=14"), std::string::npos);

    // A script ticked before and not now is not applied; the remembered selection of the
    // same campaign is what the Script Handler would show next.
    Program next;
    next.campaign(u"iron_coast", {u"easy.txt"});
    EXPECT_EQ(readFile(u"data\\text\\menu.txt"), sample(u"data\\text\\menu.txt"));
    for (const auto& script : next.app.catalogue.scriptList) {
        const bool remembered = script.fileName == u"aaa_broken.txt" ||
                                script.fileName == u"easy.txt" ||
                                script.fileName == u"menu_fix.txt";
        if (script.fileName != u"hard.txt" && script.fileName != u"hd.textures.txt" &&
            script.fileName != u"royal_titles.txt") {
            EXPECT_EQ(script.rememberedState, remembered ? 1 : 2) << utf8(script.fileName);
        }
    }
}

TEST(CampaignRuns, EmptySelectionAndARestartKeepTheRecordAndTheSaves) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    {
        Program program;
        program.campaign(u"norvale", {}, false); // the run itself does not check groups
        EXPECT_EQ(recentLines(), record("norvale", ""));
        EXPECT_EQ(readFile(u"data\\units\\infantry\\spearmen.cfg"),
                  sample(u"data\\campaign\\norvale\\units\\infantry\\spearmen.cfg"));
        EXPECT_EQ(program.app.setupState.folder, u"norvale");
        EXPECT_EQ(program.app.setupState.previousCampaign, u"norvale");
        program.campaign(u"eastmarch", {u"easy.txt"});
    }
    // A new process knows from the record alone whose saves are in "saves".
    testing_support::writeFile(u"saves\\eastmarch.sav", "east");
    Program restarted;
    restarted.campaign(u"norvale", {u"easy.txt"});
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(readFile(u"save_eastmarch\\eastmarch.sav"), "east");
    EXPECT_EQ(readFile(u"saves\\eastmarch.sav"), "<missing>");
    EXPECT_EQ(readFile(u"data\\units\\cavalry\\knights.cfg"),
              sample(u"data\\units\\cavalry\\knights.cfg"));
}

// A recorded campaign whose saves cannot be parked (a hand-edited name that is no folder
// name, which would lead out of the game folder) keeps "saves" and stays the recorded owner; the
// player is told.
TEST(CampaignRuns, SavesThatCannotBeParkedStayWithTheirCampaign) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    testing_support::writeFile(u"data\\campaign\\recent.txt",
                               "[campaign] ..\\gone\r\n[scripts] \r\n[translation] none\r\n");
    Program program;
    program.campaign(u"norvale", {u"easy.txt"});
    ASSERT_EQ(program.errors.texts.size(), 1u);
    EXPECT_EQ(program.errors.texts[0], u"The save folders could not be switched: \"saves\" still "
                                       u"holds the save games of ..\\gone.");
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(recentLines(), record("..\\gone", "easy.txt "));
    EXPECT_EQ(readFile(u"data\\units\\infantry\\spearmen.cfg"), spearmenEasyNorvale);
}

namespace {

std::string banner(platform::TextEncoding encoding) {
    return (encoding == platform::TextEncoding::Utf16 ? std::string("\xFF\xFE") : std::string()) +
           platform::encodeText(u"\u00AC--- Generated by Dravik setup translator\n", encoding);
}

// Everything but the game text files and the record: what a translation run must not touch.
Snapshot outsideTextFiles() {
    Snapshot kept;
    for (auto& entry : testing_support::snapshotTree(u".")) {
        if (entry.first.rfind(u"data\\text\\", 0) != 0 &&
            entry.first != u"data\\campaign\\recent.txt") {
            kept.push_back(std::move(entry));
        }
    }
    return kept;
}

} // namespace

TEST(TranslationRuns, EachRunTranslatesRecordsAndLeavesEverythingElseAlone) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    Program program;

    // First use: nothing recorded yet.
    program.translation(u"francais.txt");
    EXPECT_TRUE(program.errors.texts.empty());
    EXPECT_EQ(recentLines(), record("none", "none ",
                                    "Fran\xE7"
                                    "ais"));
    EXPECT_EQ(program.statusTexts.back(), u"Using:\nFran\u00E7ais");
    EXPECT_EQ(readFile(u"data\\text\\names.txt").rfind(banner(platform::TextEncoding::Utf16), 0),
              0u);
    EXPECT_FALSE(exists(u"data\\text\\names.txt.strings.bin"));
    EXPECT_TRUE(exists(u"data\\text\\menu.txt.strings.bin")); // not in this pack

    program.campaign(u"norvale", {u"easy.txt", u"hd.textures.txt"});
    EXPECT_EQ(recentLines()[2], "[translation] Fran\xE7"
                                "ais"); // kept through the campaign run
    testing_support::writeFile(u"data\\text\\menu.txt.strings.bin", "cache");
    const Snapshot before = outsideTextFiles();
    program.translation(u"deutsch.txt");
    EXPECT_TRUE(program.errors.texts.empty()) << utf8(program.errors.texts.front());
    EXPECT_EQ(recentLines(), record("norvale", "easy.txt hd.textures.txt  ", "Deutsch"));
    EXPECT_EQ(outsideTextFiles(), before);
    const std::string menu = readFile(u"data\\text\\menu.txt");
    EXPECT_EQ(menu.rfind(banner(platform::TextEncoding::Bytes8), 0), 0u);
    EXPECT_NE(menu.find("{MENU_START}Spiel starten\r\n"), std::string::npos);
    EXPECT_NE(menu.find("{MENU_LOAD}Load game\r\n"), std::string::npos); // not in the pack: kept
    EXPECT_FALSE(exists(u"data\\text\\menu.txt.strings.bin"));
    EXPECT_EQ(readFile(u"data\\text\\units.txt").rfind(banner(platform::TextEncoding::Utf16), 0),
              0u);

    // The same pack again gives the same files; only the record's trailing blanks grow.
    const Snapshot once = testing_support::snapshotTree(u"data\\text");
    program.translation(u"deutsch.txt");
    EXPECT_EQ(testing_support::snapshotTree(u"data\\text"), once);
    EXPECT_EQ(recentLines()[1], "[scripts] easy.txt hd.textures.txt   ");

    // Eastmarch, then the other pack: the campaign run keeps the translation recorded.
    program.campaign(u"eastmarch", {u"hard.txt"});
    EXPECT_EQ(recentLines(), record("eastmarch", "hard.txt ", "Deutsch"));
    program.translation(u"francais.txt");
    EXPECT_EQ(recentLines(), record("eastmarch", "hard.txt  ",
                                    "Fran\xE7"
                                    "ais"));
    EXPECT_EQ(readFile(u"save_norvale\\quicksave.sav"), sample(u"saves\\quicksave.sav"));

    // Norvale again, then a translation: the campaign and its saves stay where they are.
    program.campaign(u"norvale", {u"hard.txt"});
    program.translation(u"deutsch.txt");
    EXPECT_EQ(recentLines(), record("norvale", "hard.txt  ", "Deutsch"));
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_EQ(readFile(u"data\\units\\cavalry\\knights.cfg"), knightsHard);
    EXPECT_TRUE(program.errors.texts.empty()) << utf8(program.errors.texts.front());
}

TEST(CampaignRuns, LongCampaignFolderNameIsKeptWhole) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    // Longer than the 200 characters the old copy kept; short enough for any file system.
    const std::u16string folder = u"long_" + std::u16string(200, u'x');
    testing_support::writeFile(u"data\\campaign\\" + folder + u"\\campaign.txt",
                               "[name]\r\nLong\r\n");
    testing_support::writeFile(u"data\\campaign\\" + folder + u"\\units\\infantry\\spearmen.cfg",
                               "long\r\n");
    Program program;
    program.campaign(folder, {u"easy.txt"});
    EXPECT_EQ(program.app.chosenCampaignFolder, folder);
    EXPECT_NE(readFile(u"data\\units\\infantry\\spearmen.cfg").find("long\r\n"), std::string::npos);
    EXPECT_EQ(recentLines()[0], "[campaign] " + utf8(folder));
    program.campaign(u"norvale", {u"easy.txt"});
    EXPECT_TRUE(platform::folderExists(u"save_" + folder));
}

TEST(CampaignRuns, ConfirmationEmptiesTheRecordInMemoryOnly) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    {
        Program program;
        program.campaign(u"norvale", {u"easy.txt"});
        program.translation(u"deutsch.txt");
    }
    const std::string record = readFile(u"data\\campaign\\recent.txt");
    Program program;
    loadRecentSelection(program.app.setupState);
    takePreviousCampaign(program.app.setupState);
    std::array<bool, maxScripts> checked{};
    checked[static_cast<std::size_t>(program.scriptSlot(u"hard.txt"))] = true;
    program.app.scriptSelected[0] = true; // an earlier confirmation's flag
    confirmCampaignChoice(program.app, checked);
    // Until the run switches the save folders, the file still names their owner.
    EXPECT_EQ(readFile(u"data\\campaign\\recent.txt"), record);
    const SetupState& state = program.app.setupState;
    EXPECT_EQ(state.previousCampaign, u"norvale");
    EXPECT_EQ(state.translation, u"Deutsch");
    EXPECT_TRUE(state.folder.empty());
    EXPECT_TRUE(state.recordedScriptList.empty());
    EXPECT_TRUE(std::all_of(state.scriptSlots.begin(), state.scriptSlots.end(),
                            [](const auto& s) { return s.empty(); }));
    EXPECT_EQ(program.app.scriptSelected, checked);
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
        Snapshot files = testing_support::snapshotTree(u".");
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
    EXPECT_TRUE(next.errors.texts.empty());
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
        EXPECT_TRUE(program.errors.texts.empty()) << utf8(program.errors.texts.front());
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
    EXPECT_EQ(scripts[restarted.scriptSlot(script + u".txt")].rememberedState, 1);
    EXPECT_EQ(scripts[restarted.scriptSlot(u"easy.txt")].rememberedState, 2);
    EXPECT_EQ(readFile(u"saves\\vostok.sav"), "v");
    restarted.campaign(u"norvale", {u"easy.txt"});
    EXPECT_EQ(readFile(u"save_" + vostok + u"\\vostok.sav"), "v");
    EXPECT_EQ(readFile(u"data\\" + deep), "game");
    restarted.campaign(vostok, {script + u".txt"});
    EXPECT_EQ(readFile(u"saves\\vostok.sav"), "v");
    EXPECT_EQ(readFile(u"saves\\quicksave.sav"), sample(u"saves\\quicksave.sav"));
    EXPECT_TRUE(platform::folderExists(u"save_norvale"));
    EXPECT_TRUE(restarted.errors.texts.empty()) << utf8(restarted.errors.texts.front());
    platform::setCurrentDirectory(scratch.path());
}
