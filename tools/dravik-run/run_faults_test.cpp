// Fault injection over whole runs: for every file operation N of a campaign run with
// scripts and of a translation run, (a) operation N fails, (b) the work stops after
// operation N as after a crash. After each: no original game file and no save file is
// lost, the record names the owner of "saves", and the next fault-free run gives game files
// byte-identical to those of a fault-free run.
#include "run_command.h"

#include "platform/file_system.h"
#include "platform/unicode.h"
#include "testing/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#ifndef _WIN32
#include <sys/wait.h>
#endif

using testing_support::readFile;
using testing_support::utf8;

namespace {

using Snapshot = std::vector<std::pair<std::u16string, std::string>>;

const std::vector<std::u16string> campaignRun = {
    u"campaign", u"eastmarch", u"easy.txt", u"hd.textures.txt", u"menu_fix.txt", u"more_names.txt"};
const std::vector<std::u16string> translationRun = {u"translation", u"deutsch.txt"};

// Each save file and the campaign that owns it.
const std::map<std::string, std::string> saveOwners = {{"quicksave.sav", "norvale"},
                                                       {"east.sav", "eastmarch"}};

struct Game {
    const testing_support::ScratchFolder& scratch;
    std::u16string folder(std::u16string_view name) const {
        return scratch.path() + u"\\" + std::u16string(name);
    }

    int run(std::u16string_view game, std::vector<std::u16string> arguments, long fail = 0,
            long stop = 0) const {
        std::vector<std::u16string> full = {u"--game", folder(game)};
        if (fail) {
            full.insert(full.end(), {u"--fail-op", platform::utf8ToUtf16(std::to_string(fail))});
        }
        if (stop) {
            full.insert(full.end(),
                        {u"--stop-after-op", platform::utf8ToUtf16(std::to_string(stop))});
        }
        full.insert(full.end(), arguments.begin(), arguments.end());
        const RunnerOutput quiet{[](const std::string&) {}, [](const std::string&) {}};
        const int code = runDravikCommand(full, quiet, false);
        return code;
    }
    void back() const {
        platform::setFaultPlan({});
        platform::setCurrentDirectory(scratch.path());
    }
};

// The base: Eastmarch was played (east.sav), then Norvale installed with two scripts over
// the sample's unowned saves, which Norvale now owns.
void makeBase(const Game& game) {
    testing_support::makeFolders(u"base");
    platform::setCurrentDirectory(game.folder(u"base"));
    testing_support::copySampleGame();
    game.back();
    ASSERT_EQ(game.run(u"base", {u"campaign", u"norvale", u"easy.txt"}), runnerCompleted);
    game.back();
    ASSERT_EQ(game.run(u"base", {u"campaign", u"eastmarch", u"easy.txt"}), runnerCompleted);
    game.back();
    testing_support::writeFile(u"base\\saves\\east.sav", "eastmarch's save");
    ASSERT_EQ(game.run(u"base", {u"campaign", u"norvale", u"easy.txt", u"hd.textures.txt"}),
              runnerCompleted);
    game.back();
}

void freshWork() {
    testing_support::removeTree(u"work");
    testing_support::copyTree(u"base", u"work");
}

// The data folder; without the record when `withRecord` is false (each translation run adds
// one blank to its script list, so only its campaign is compared then).
Snapshot dataOf(std::u16string_view game, bool withRecord = true) {
    Snapshot files = testing_support::snapshotTree(std::u16string(game) + u"\\data");
    if (!withRecord) {
        std::erase_if(files,
                      [](const auto& entry) { return entry.first == u"campaign\\recent.txt"; });
    }
    return files;
}

std::string recordedCampaign(std::u16string_view game) {
    const std::string record = readFile(std::u16string(game) + u"\\data\\campaign\\recent.txt");
    const std::string header = "[campaign] ";
    if (record.rfind(header, 0) != 0) {
        return "<" + record.substr(0, 40) + ">";
    }
    return record.substr(header.size(), record.find("\r\n") - header.size());
}

// Every save file exactly once in the save folders; "saves", when present, holds only the
// saves of the campaign the record names.
void checkSaves(std::u16string_view game, const std::string& when) {
    std::vector<platform::FolderEntry> top;
    platform::listFolder(std::u16string(game) + u"\\save*", top);
    std::map<std::string, int> seen;
    const std::string owner = recordedCampaign(game);
    for (const auto& entry : top) {
        if (!entry.isFolder) {
            continue;
        }
        for (const auto& [path, bytes] :
             testing_support::snapshotTree(std::u16string(game) + u"\\" + entry.name)) {
            ++seen[utf8(path)];
            if (entry.name == u"saves" && saveOwners.count(utf8(path))) {
                EXPECT_EQ(saveOwners.at(utf8(path)), owner)
                    << when << ": " << utf8(path) << " in saves";
            }
        }
    }
    for (const auto& [save, campaign] : saveOwners) {
        EXPECT_EQ(seen[save], 1) << when << ": " << save;
    }
}

// Every game file of the sample, outside data\campaign, with its original bytes somewhere:
// in data\ or as its kept copy.
void checkOriginals(std::u16string_view game, const Snapshot& originals, const std::string& when) {
    for (const auto& [path, bytes] : originals) {
        const std::u16string inData = std::u16string(game) + u"\\data\\" + path;
        const std::u16string kept = std::u16string(game) + u"\\data\\campaign\\backup\\" + path;
        EXPECT_TRUE(readFile(inData) == bytes || readFile(kept) == bytes)
            << when << ": original of " << utf8(path);
    }
}

Snapshot sampleOriginals() {
    Snapshot files;
    for (auto& entry : testing_support::snapshotTree(testing_support::sourceDirectory() +
                                                     u"\\sample\\game\\data")) {
        if (entry.first.rfind(u"campaign\\", 0) != 0) {
            files.push_back(std::move(entry));
        }
    }
    return files;
}

struct FaultCounts {
    long failing = 0;
    long stopping = 0;
};

// Runs `arguments` on a fresh copy of the base once per fault point, both kinds, with the
// checks above; extraCheck looks at the faulted game folder before the rerun.
FaultCounts sweep(const Game& game, const std::vector<std::u16string>& arguments, bool withRecord,
                  const std::function<void(const std::string& when)>& extraCheck) {
    freshWork();
    EXPECT_EQ(game.run(u"work", arguments), runnerCompleted);
    game.back();
    const Snapshot reference = dataOf(u"work", withRecord);
    const Snapshot originals = sampleOriginals();
    FaultCounts counts;
    for (int stopping = 0; stopping < 2; ++stopping) {
        for (long n = 1;; ++n) {
            freshWork();
            game.run(u"work", arguments, stopping ? 0 : n, stopping ? n : 0);
            const long operations = platform::fileOperationCount();
            game.back();
            const bool reached = stopping ? operations > n : operations >= n;
            if (!reached) {
                break;
            }
            (stopping ? counts.stopping : counts.failing) = n;
            const std::string when = (stopping ? "stop after " : "fail ") + std::to_string(n);
            checkOriginals(u"work", originals, when);
            checkSaves(u"work", when);
            extraCheck(when);
            // The next start, without faults.
            EXPECT_EQ(game.run(u"work", arguments), runnerCompleted) << when;
            game.back();
            EXPECT_EQ(dataOf(u"work", withRecord), reference) << when;
            checkSaves(u"work", when + ", rerun");
            if (::testing::Test::HasFailure()) {
                return counts; // one broken fault point says enough
            }
        }
    }
    return counts;
}

} // namespace

TEST(RunFaults, CampaignRunWithScriptsLosesNothingAtAnyFaultPoint) {
    testing_support::ScratchFolder scratch;
    const Game game{scratch};
    makeBase(game);
    ASSERT_FALSE(HasFailure());
    const FaultCounts counts = sweep(game, campaignRun, true, [](const std::string& when) {
        const std::string owner = recordedCampaign(u"work");
        EXPECT_TRUE(owner == "norvale" || owner == "eastmarch")
            << when << ": record names " << owner;
    });
    std::printf("campaign run: %ld failing and %ld stopping fault points covered\n", counts.failing,
                counts.stopping);
    EXPECT_GT(counts.failing, 50);
    EXPECT_EQ(counts.stopping + 1,
              counts.failing); // the last operation cannot stop anything after it
}

TEST(RunFaults, TranslationRunLosesNothingAtAnyFaultPoint) {
    testing_support::ScratchFolder scratch;
    const Game game{scratch};
    makeBase(game);
    ASSERT_FALSE(HasFailure());
    freshWork();
    const Snapshot before = testing_support::snapshotTree(u"work\\data\\text");
    ASSERT_EQ(game.run(u"work", translationRun), runnerCompleted);
    game.back();
    const auto after = testing_support::snapshotTree(u"work\\data\\text");
    const std::map<std::u16string, std::string> oldText(before.begin(), before.end()),
        newText(after.begin(), after.end());
    const FaultCounts counts = sweep(game, translationRun, false, [&](const std::string& when) {
        // Each text file is whole: as it was, or translated; never missing or cut.
        for (const auto& [path, bytes] : oldText) {
            if (path.size() > 4 && path.substr(path.size() - 4) == u".bin") {
                continue;
            }
            const std::string now = readFile(u"work\\data\\text\\" + path);
            EXPECT_TRUE(now == bytes || now == newText.at(path)) << when << ": " << utf8(path);
        }
        EXPECT_EQ(recordedCampaign(u"work"), "norvale") << when;
    });
    std::printf("translation run: %ld failing and %ld stopping fault points covered\n",
                counts.failing, counts.stopping);
    EXPECT_GT(counts.failing, 10);
}

#ifndef _WIN32
// The runner's process-exit path: --stop-after-op ends the real process at once.
TEST(RunFaults, RunnerProcessStoppedAfterEveryOperationLosesNothing) {
    testing_support::ScratchFolder scratch;
    const Game game{scratch};
    makeBase(game);
    ASSERT_FALSE(HasFailure());
    freshWork();
    ASSERT_EQ(game.run(u"work", campaignRun), runnerCompleted);
    game.back();
    const Snapshot reference = dataOf(u"work");
    const Snapshot originals = sampleOriginals();
    std::string arguments;
    for (const auto& word : campaignRun) {
        arguments += " " + utf8(word);
    }
    long covered = 0;
    for (long n = 1;; ++n) {
        freshWork();
        const std::string command = std::string("'") + DRAVIK_RUN_EXE + "' --game '" +
                                    utf8(game.folder(u"work")) + "' --stop-after-op " +
                                    std::to_string(n) + arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == runnerCompleted) {
            break; // the run ended before operation n + 1
        }
        ASSERT_EQ(WEXITSTATUS(status), 3) << "stop after " << n; // the file layer's crash exit
        covered = n;
        const std::string when = "process stopped after " + std::to_string(n);
        checkOriginals(u"work", originals, when);
        checkSaves(u"work", when);
        EXPECT_EQ(game.run(u"work", campaignRun), runnerCompleted) << when;
        game.back();
        EXPECT_EQ(dataOf(u"work"), reference) << when;
        if (HasFailure()) {
            break;
        }
    }
    std::printf("runner process: %ld stopping fault points covered\n", covered);
    EXPECT_GT(covered, 50);
}
#endif
