// The fault sweep over every piece of work that changes the game folder, on the sample game
// after some play: the checks are those of testing/fault_sweep.h.
#include "run_command.h"

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

const fault_sweep::Scenario scenarios[] = {
    {"campaign switch", playedSample,
     [](const platform::FaultPlan& plan) {
         SetupState state;
         loadRecentSelection(state);
         state.previousCampaign = state.folder;
         platform::setFaultPlan(plan);
         switchCampaign(u"iron_coast", state); // replaces the game file Norvale replaced
     }},
    {"campaign run with scripts", playedSample,
     [](const platform::FaultPlan& plan) { runner(campaignRun, plan); }},
    {"translation run",
     [] {
         playedSample();
         writeFile(u"data\\text\\names.txt.strings.bin", "names cache");
         writeFile(u"data\\text\\units.txt.strings.bin", "units cache");
     },
     [](const platform::FaultPlan& plan) {
         runner({u"translation", u"deutsch.txt"}, plan);
     },
     u"text\\"},
    {"recent-selection write", playedSample,
     [](const platform::FaultPlan& plan) {
         SetupState state;
         state.folder = u"norvale";
         state.recordedScriptList = u"hard.txt ";
         state.translation = u"Deutsch";
         platform::setFaultPlan(plan);
         saveRecentSelection(state);
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
    EXPECT_GE(sweep.operations(), 3);
    EXPECT_EQ(problems, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultSweep, ::testing::ValuesIn(scenarios),
                         [](const auto& info) { return std::to_string(info.index); });

} // namespace
