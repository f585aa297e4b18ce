// The fault sweep over every piece of work that changes the game folder, on the sample game
// after some play: the checks are those of testing/fault_sweep.h.
#include "run_command.h"

#include "app/setup_runs.h"
#include "backup/switch_campaign.h"
#include "platform/unicode.h"
#include "testing/fault_sweep.h"

#include <cstdio>

namespace {

using testing_support::writeFile;

const std::vector<std::u16string> campaignRun = {
    u"campaign", u"eastmarch", u"easy.txt", u"hd.textures.txt", u"menu_fix.txt", u"more_names.txt"};

// The runner in-process, as the windows drive the runs; the fault plan goes through its
// options, since it counts the operations from the start of the run.
int runner(std::vector<std::u16string> words, const platform::FaultPlan& plan = {}) {
    const auto number = [](long n) { return platform::utf8ToUtf16(std::to_string(n)); };
    if (plan.failOperation > 0) {
        words.insert(words.begin(), {u"--fail-op", number(plan.failOperation)});
    } else if (plan.stopAfter > 0) {
        words.insert(words.begin(), {u"--stop-after-op", number(plan.stopAfter)});
    }
    return runDravikCommand(words, {[](const std::string&) {}, [](const std::string&) {}}, false);
}

// Norvale installed with two scripts, its games in "saves" (the sample's own game) and a
// stale parked folder of its own; Eastmarch's game parked.
void playedSample() {
    testing_support::copySampleGame();
    EXPECT_EQ(runner({u"campaign", u"norvale", u"easy.txt"}), runnerCompleted);
    EXPECT_EQ(runner({u"campaign", u"eastmarch", u"easy.txt"}), runnerCompleted);
    writeFile(u"saves\\east.sav", "eastmarch's game");
    EXPECT_EQ(runner({u"campaign", u"norvale", u"easy.txt", u"hd.textures.txt"}), runnerCompleted);
    writeFile(u"save_norvale\\stale.sav", "norvale's game left parked");
}

// A piece of the core as a run of the program does it: the start-up's clean-up, then the
// work between the run's markers, under the fault plan.
bool asARun(const platform::FaultPlan& plan, const std::function<void()>& work) {
    recoverFromUnfinishedRun({[](const std::u16string&) {}});
    platform::setFaultPlan(plan);
    markRunStarted();
    work();
    markRunFinished();
    return true;
}

// The sample on the file systems players have: two names of one game file, each changed by
// its own script; a game file that is also a name of a file outside the game folder; a
// script that keeps a file and then changes nothing (its anchor is not there); a campaign
// and a file whose names begin with a blank.
void secondNamesSample() {
    testing_support::copySampleGame();
    EXPECT_EQ(runner({u"campaign", u"iron_coast", u"easy.txt"}), runnerCompleted);
    writeFile(u"data\\campaign\\ north\\campaign.txt", "[name]\r\nNorth\r\n");
    writeFile(u"data\\campaign\\ north\\text\\menu.txt", "{MENU_START}North\r\n");
    writeFile(u"data\\campaign\\ north\\text\\ lead.txt", "a name with a blank\r\n");
    for (const char16_t* name : {u"a", u"b", u"c"}) {
        writeFile(u"data\\text\\" + std::u16string(name) + u".txt", "line one\r\n");
    }
    writeFile(u"data\\text\\shared.txt", "shared line\r\n");
    const auto script = [](const std::u16string& name, const std::string& files) {
        const std::u16string sub = u"data\\campaign\\sub\\";
        writeFile(sub + name + u".txt",
                  "[name]\r\nScript\r\n[works for]\r\nall\r\n[files]\r\n" + files);
        writeFile(sub + name + u"\\x.txt", "by " + testing_support::utf8(name) + "\r\n");
    };
    script(u"adda", "append data\\text\\a.txt with x.txt\r\nappend data\\text\\shared.txt with x.txt\r\n");
    script(u"addb", "append data\\text\\b.txt with x.txt\r\n");
    script(u"nochange", "replace data\\text\\c.txt with x.txt from:\r\nline one\r\nto:\r\nno such "
                        "line\r\n<end>\r\n");
}

// Second names are made in each copy of the folder: a copy makes files of its own.
void secondNames() {
    writeFile(u"..\\outside.txt", "shared line\r\n");
    for (const auto& [file, name] : {std::pair{u"..\\outside.txt", u"data\\text\\shared.txt"},
                                     {u"data\\text\\a.txt", u"data\\text\\b.txt"}}) {
        ASSERT_TRUE(platform::deleteFile(name));
        ASSERT_TRUE(platform::linkFile(file, name));
    }
}

const fault_sweep::Scenario scenarios[] = {
    {"campaign switch", playedSample,
     [](const platform::FaultPlan& plan) {
         SetupState state;
         loadRecentSelection(state);
         state.previousCampaign = state.folder;
         // replaces the game file Norvale replaced
         return asARun(plan, [&] { switchCampaign(u"iron_coast", state); });
     }},
    {"campaign run with scripts", playedSample,
     [](const platform::FaultPlan& plan) { return runner(campaignRun, plan) == runnerCompleted; }},
    {"second names, blanks and a script that changes nothing", secondNamesSample,
     [](const platform::FaultPlan& plan) {
         return runner({u"campaign", u" north", u"easy.txt", u"adda.txt", u"addb.txt",
                        u"nochange.txt"},
                       plan) == runnerCompleted;
     },
     {}, secondNames},
    {"translation run",
     [] {
         playedSample();
         writeFile(u"data\\text\\names.txt.strings.bin", "names cache");
         writeFile(u"data\\text\\units.txt.strings.bin", "units cache");
     },
     [](const platform::FaultPlan& plan) {
         return runner({u"translation", u"deutsch.txt"}, plan) == runnerCompleted;
     },
     u"text\\"},
    {"recent-selection write", playedSample,
     [](const platform::FaultPlan& plan) {
         SetupState state;
         state.folder = u"norvale";
         state.recordedScriptList = u"hard.txt ";
         state.translation = u"Deutsch";
         return asARun(plan, [&] { saveRecentSelection(state); });
     }},
};

class FaultSweep : public ::testing::TestWithParam<fault_sweep::Scenario> {};

TEST_P(FaultSweep, NothingIsLostAtAnyFaultPoint) {
    testing_support::ScratchFolder scratch;
    fault_sweep::Sweep sweep(GetParam());
    long covered = 0;
    const std::vector<std::string> problems = sweep.run(covered);
    std::printf("%s: %ld operations, %ld fault points covered\n", GetParam().name,
                sweep.operations(), covered);
    EXPECT_TRUE(sweep.referenceCompleted());
    EXPECT_TRUE(sweep.referenceChanged());
    EXPECT_GE(sweep.operations(), 3);
    EXPECT_EQ(problems, std::vector<std::string>{});
#ifndef _WIN32
    if (problems.empty()) {
        EXPECT_EQ(covered, 2 * sweep.operations() - 1); // every point of both kinds
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultSweep, ::testing::ValuesIn(scenarios),
                         [](const auto& info) { return std::to_string(info.index); });

} // namespace
