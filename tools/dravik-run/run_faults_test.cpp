// Fault injection over whole runs: for every file operation N of a campaign run with
// scripts and of a translation run, (a) operation N fails, (b) the work stops after
// operation N as after a crash. After each: no original game file and no save file is
// lost, the record names the owner of "saves", and the next fault-free run gives game files
// byte-identical to those of a fault-free run.
#include "run_command.h"

#include "platform/file_system.h"
#include "platform/unicode.h"
#include "testing/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

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
        return runDravikCommand(full, quiet, false);
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
        return "<no campaign line>";
    }
    return record.substr(header.size(), record.find("\r\n") - header.size());
}

// What is wrong with a game folder, one line per finding.
using Problems = std::vector<std::string>;

// Every save file exactly once in the save folders; "saves", when present, holds only the
// saves of the campaign the record names.
void checkSaves(std::u16string_view game, const std::string& when, Problems& problems) {
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
            if (entry.name == u"saves" && saveOwners.count(utf8(path)) &&
                saveOwners.at(utf8(path)) != owner) {
                problems.push_back(when + ": " + utf8(path) + " in saves, but the record names " +
                                   owner);
            }
        }
    }
    for (const auto& [save, campaign] : saveOwners) {
        if (seen[save] != 1) {
            problems.push_back(when + ": " + save + " found " + std::to_string(seen[save]) +
                               " times");
        }
    }
}

// Every game file of the sample, outside data\campaign, with its original bytes somewhere:
// in data\ or as its kept copy.
void checkOriginals(std::u16string_view game, const Snapshot& originals, const std::string& when,
                    Problems& problems) {
    for (const auto& [path, bytes] : originals) {
        const std::u16string inData = std::u16string(game) + u"\\data\\" + path;
        const std::u16string kept = std::u16string(game) + u"\\data\\campaign\\backup\\" + path;
        if (readFile(inData) != bytes && readFile(kept) != bytes) {
            problems.push_back(when + ": original of " + utf8(path) + " lost");
        }
    }
}

Snapshot sampleOriginals() {
    Snapshot files;
    for (auto& entry : testing_support::snapshotTree(testing_support::sourceDirectory() +
                                                     u"\\sample\\game\\data")) {
        // The game's compiled caches are deleted on purpose; the game rebuilds them.
        const bool cache = entry.first.size() > 12 &&
                           entry.first.substr(entry.first.size() - 12) == u".strings.bin";
        if (entry.first.rfind(u"campaign\\", 0) != 0 && !cache) {
            files.push_back(std::move(entry));
        }
    }
    return files;
}

// The paths whose bytes differ between two snapshots (or that only one has): short failure
// messages instead of whole folders.
std::vector<std::string> differences(const Snapshot& actual, const Snapshot& expected) {
    std::map<std::u16string, std::string> left(actual.begin(), actual.end());
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : expected) {
        auto match = left.find(path);
        if (match == left.end()) {
            paths.push_back("missing " + utf8(path));
        } else {
            if (match->second != bytes) {
                paths.push_back("differs " + utf8(path));
            }
            left.erase(match);
        }
    }
    for (const auto& [path, bytes] : left) {
        paths.push_back("extra " + utf8(path));
    }
    return paths;
}

struct FaultCounts {
    long failing = 0;
    long stopping = 0;
    Problems problems;
    std::set<std::string> brokenPoints;
};

using Check = std::function<void(const std::string& when, Problems&)>;
// Runs the work with fault point n; false once n lies past the run's last operation.
using FaultedRun = std::function<bool(long n, bool stopping)>;

// Runs `arguments` on a fresh copy of the base once per fault point, both kinds in process
// (or only stopping ones through `faulted`), with the checks above; extraCheck looks at the
// faulted game folder before the rerun. Campaign runs keep a copy of every original; a
// translation changes text files in place by design.
FaultCounts sweep(const Game& game, const std::vector<std::u16string>& arguments, bool campaign,
                  const Check& extraCheck, FaultedRun faulted = {}) {
    const bool inProcess = !faulted;
    if (inProcess) {
        faulted = [&](long n, bool stopping) {
            game.run(u"work", arguments, stopping ? 0 : n, stopping ? n : 0);
            const long operations = platform::fileOperationCount();
            game.back();
            return stopping ? operations > n : operations >= n;
        };
    }
    freshWork();
    EXPECT_EQ(game.run(u"work", arguments), runnerCompleted);
    game.back();
    const Snapshot reference = dataOf(u"work", campaign);
    const Snapshot originals = sampleOriginals();
    FaultCounts counts;
    for (int stopping = inProcess ? 0 : 1; stopping < 2; ++stopping) {
        for (long n = 1;; ++n) {
            freshWork();
            if (!faulted(n, stopping)) {
                break;
            }
            (stopping ? counts.stopping : counts.failing) = n;
            const std::string when = (stopping ? "stop after " : "fail ") + std::to_string(n);
            const std::size_t before = counts.problems.size();
            if (campaign) {
                checkOriginals(u"work", originals, when, counts.problems);
            }
            checkSaves(u"work", when, counts.problems);
            extraCheck(when, counts.problems);
            // The next start, without faults.
            if (game.run(u"work", arguments) != runnerCompleted) {
                counts.problems.push_back(when + ": the rerun did not complete");
            }
            game.back();
            for (const auto& difference : differences(dataOf(u"work", campaign), reference)) {
                counts.problems.push_back(when + ", rerun: " + difference);
            }
            checkSaves(u"work", when + ", rerun", counts.problems);
            if (counts.problems.size() != before) {
                counts.brokenPoints.insert(when);
            }
        }
    }
    return counts;
}

void recordNamesAnOwner(const std::string& when, Problems& problems) {
    const std::string owner = recordedCampaign(u"work");
    if (owner != "norvale" && owner != "eastmarch") {
        problems.push_back(when + ": the record names " + owner);
    }
}

void report(const char* what, const FaultCounts& counts) {
    std::printf("%s: %ld failing and %ld stopping fault points covered, %zu broken\n", what,
                counts.failing, counts.stopping, counts.brokenPoints.size());
    Problems first(counts.problems.begin(),
                   counts.problems.begin() +
                       static_cast<long>(std::min<std::size_t>(counts.problems.size(), 30)));
    EXPECT_EQ(first, Problems{});
}

} // namespace

TEST(RunFaults, CampaignRunWithScriptsLosesNothingAtAnyFaultPoint) {
    testing_support::ScratchFolder scratch;
    const Game game{scratch};
    makeBase(game);
    ASSERT_FALSE(HasFailure());
    const FaultCounts counts = sweep(game, campaignRun, true, recordNamesAnOwner);
    report("campaign run", counts);
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
    const FaultCounts counts =
        sweep(game, translationRun, false, [&](const std::string& when, Problems& problems) {
            // Each text file is whole: as it was, or translated; never missing or cut.
            for (const auto& [path, bytes] : oldText) {
                if (path.size() > 4 && path.substr(path.size() - 4) == u".bin") {
                    continue;
                }
                const std::string now = readFile(u"work\\data\\text\\" + path);
                if (now != bytes && now != newText.at(path)) {
                    problems.push_back(when + ": " + utf8(path) +
                                       " is neither the old nor the translated file");
                }
            }
            if (recordedCampaign(u"work") != "norvale") {
                problems.push_back(when + ": the record names " + recordedCampaign(u"work"));
            }
        });
    report("translation run", counts);
    EXPECT_GT(counts.failing, 10);
}

#ifndef _WIN32
// The runner's process-exit path: --stop-after-op ends the real process at once.
TEST(RunFaults, RunnerProcessStoppedAfterEveryOperationLosesNothing) {
    testing_support::ScratchFolder scratch;
    const Game game{scratch};
    makeBase(game);
    ASSERT_FALSE(HasFailure());
    std::string arguments;
    for (const auto& word : campaignRun) {
        arguments += " " + utf8(word);
    }
    const FaultCounts counts =
        sweep(game, campaignRun, true, recordNamesAnOwner, [&](long n, bool) {
            const std::string command = std::string("'") + DRAVIK_RUN_EXE + "' --game '" +
                                        utf8(game.folder(u"work")) + "' --stop-after-op " +
                                        std::to_string(n) + arguments + " >/dev/null 2>&1";
            const int status = std::system(command.c_str());
            EXPECT_TRUE(WIFEXITED(status));
            if (!WIFEXITED(status) || WEXITSTATUS(status) == runnerCompleted) {
                return false; // the run ended before operation n + 1
            }
            EXPECT_EQ(WEXITSTATUS(status), 3) << "stop after " << n; // the file layer's crash exit
            return true;
        });
    report("runner process", counts);
    EXPECT_GT(counts.stopping, 50);
}
#endif
