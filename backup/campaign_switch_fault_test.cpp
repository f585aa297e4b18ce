// A whole campaign switch under fault injection: every file operation in turn fails, and
// the work stops after every operation in turn as a crash would. After each, nothing is
// lost or mixed, and a following switch gives the game folder a switch without faults gives.
#include "testing/game_folder_test_support.h"

#include <cstdio>

namespace {

using namespace backup_testing;
using testing_support::ScratchFolder;

struct Scenario {
    std::u16string first;  // installed before the switch, its games in "saves"
    std::u16string second; // the campaign switched to, its games parked
    bool staleParkedFolder = false;
};

bool enterFolder(const std::u16string& scratch, std::u16string_view name) {
    return platform::setCurrentDirectory(scratch + u"\\" + std::u16string(name));
}

void resetGame(const std::u16string& scratch) {
    platform::setFaultPlan({});
    platform::setCurrentDirectory(scratch);
    testing_support::removeTree(u"game");
    testing_support::copyTree(u"template", u"game");
    enterFolder(scratch, u"game");
}

// Turns the game folder in "template" into the starting point: the first campaign
// installed, its games in "saves", the second campaign's parked. Returns the save files.
std::vector<std::string> prepareTemplate(const std::u16string& scratch, const Scenario& scenario) {
    enterFolder(scratch, u"template");
    runCampaignAfterStart(scenario.first);
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(u"save*", entries);
    for (const auto& entry : entries) {
        testing_support::removeTree(entry.name); // start from our own save games only
    }
    writeSaves(u"saves", scenario.first, 2);
    writeSaves(u"save_" + scenario.second, scenario.second, 2);
    const std::string first = testing_support::utf8(scenario.first);
    const std::string second = testing_support::utf8(scenario.second);
    std::vector<std::string> saves = {first + "-1.sav", first + "-2.sav", second + "-1.sav",
                                      second + "-2.sav"};
    if (scenario.staleParkedFolder) {
        writeSaves(u"save_" + scenario.first, scenario.first + u"-stale", 1);
        saves.push_back(first + "-stale-1.sav");
    }
    return saves;
}

// Runs every fault case; returns the number of fault points covered.
long coverFaultPoints(const std::u16string& scratch, const Scenario& scenario) {
    const std::vector<std::string> saves = prepareTemplate(scratch, scenario);
    const Snapshot originals = originalGameFiles();
    EXPECT_FALSE(originals.empty());

    // The switch in a fresh copy of the template, recent.txt read at start-up before faults.
    const auto switchUnder = [&](platform::FaultPlan plan) {
        resetGame(scratch);
        SetupState state;
        loadRecentSelection(state);
        platform::setFaultPlan(plan);
        runCampaign(state, scenario.second);
        const long operations = platform::fileOperationCount();
        platform::setFaultPlan({});
        return operations;
    };
    const long operations = switchUnder({});
    const Snapshot expected = snapshot();
    EXPECT_EQ(saveProblems(saves), "");
    EXPECT_EQ(lostOriginals(originals), "");
    EXPECT_NE(expected.find(u"save_" + scenario.first + u"\\"), expected.end());

    long covered = 0;
    for (long n = 1; n <= operations + 1; ++n) {
        for (const bool crash : {false, true}) {
            const std::string where = (crash ? "stop after operation " : "operation fails: ") +
                                      std::to_string(n) + " of " + std::to_string(operations);
            switchUnder(crash ? platform::FaultPlan{.stopAfter = n}
                              : platform::FaultPlan{.failOperation = n});
            EXPECT_EQ(lostOriginals(originals), "") << where;
            EXPECT_EQ(saveProblems(saves), "") << where;
            runCampaignAfterStart(scenario.second);
            const Snapshot after = snapshot();
            EXPECT_TRUE(after == expected) << where << "\n" << describe(after, expected);
            ++covered;
            if (::testing::Test::HasFailure()) {
                return covered; // one case's report is enough to work from
            }
        }
    }
    return covered;
}

// A fresh "template" game folder written by `write`, then every fault case over it.
long coverFreshTemplate(const std::u16string& scratch, void (*write)(), const Scenario& scenario) {
    platform::setCurrentDirectory(scratch);
    testing_support::removeTree(u"template");
    testing_support::makeFolders(u"template");
    enterFolder(scratch, u"template");
    write();
    const long covered = coverFaultPoints(scratch, scenario);
    platform::setCurrentDirectory(scratch);
    return covered;
}

TEST(CampaignSwitchFaults, SmallGameFolder) {
    ScratchFolder scratch;
    std::printf("fault points covered, small game folder: %ld\n",
                coverFreshTemplate(scratch.path(), writeSmallGame, {u"alpha", u"beta"}));
    std::printf("fault points covered, small game folder with a stale parked folder: %ld\n",
                coverFreshTemplate(scratch.path(), writeSmallGame, {u"alpha", u"beta", true}));
}

TEST(CampaignSwitchFaults, SampleGameFolder) {
    const std::u16string sample = testing_support::sourceDirectory() + u"\\sample\\game";
    if (!platform::folderExists(sample)) {
        GTEST_SKIP() << "no sample game folder in this checkout";
    }
    ScratchFolder scratch;
    std::vector<std::u16string> campaigns;
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(sample + u"\\data\\campaign\\*", entries);
    for (const auto& entry : entries) {
        if (entry.isFolder && entry.name != u"sub" && entry.name != u"translation" &&
            entry.name != u"backup" &&
            platform::pathExists(sample + u"\\data\\campaign\\" + entry.name + u"\\campaign.txt")) {
            campaigns.push_back(entry.name);
        }
    }
    ASSERT_GE(campaigns.size(), 2u) << "the sample game folder needs two campaigns";
    // The first two campaigns, then the last two the other way round (campaigns that
    // replace the same game file, in the sample).
    for (const Scenario& scenario : {Scenario{campaigns[0], campaigns[1]},
                                     Scenario{campaigns.back(), campaigns[campaigns.size() - 2]}}) {
        const long covered =
            coverFreshTemplate(scratch.path(), testing_support::copySampleGame, scenario);
        std::printf("fault points covered, sample game folder, %s to %s: %ld\n",
                    testing_support::utf8(scenario.first).c_str(),
                    testing_support::utf8(scenario.second).c_str(), covered);
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
}

} // namespace
