#include "testing/fault_sweep.h"

#include <cstdio>
#include <cstdlib>
#include <random>

namespace fault_sweep {
namespace {

using testing_support::readFile;
using testing_support::Snapshot;
using testing_support::utf8;

constexpr std::u16string_view recordPath = u"data\\campaign\\recent.txt";
constexpr std::u16string_view runMarker = u"data\\campaign\\~dravik-unfinished";
constexpr std::u16string_view cacheSuffix = u".strings.bin";

// Each save game as "campaign: bytes", the campaign being the one whose games it lies with:
// "saves" holds those of the campaign recent.txt names ("none" without one), save_<campaign>
// (and its ".old" siblings) that campaign's. A game found twice is marked so.
Snapshot saveGames() {
    const std::string record = readFile(recordPath), header = "[campaign] ";
    const std::string recorded =
        record.starts_with(header)
            ? record.substr(header.size(), record.find("\r\n") - header.size())
            : "none";
    std::vector<platform::FolderEntry> top;
    platform::listFolder(u"save*", top);
    Snapshot games;
    for (const auto& folder : top) {
        const std::string name = utf8(folder.name);
        const std::string owner =
            name == "saves" ? recorded : name.substr(5, name.find(".old") - 5);
        for (const auto& [file, bytes] : testing_support::snapshot(folder.name)) {
            const auto [at, first] = games.emplace(file, owner + ": " + bytes);
            if (!first) {
                at->second = "<found twice>";
            }
        }
    }
    return games;
}

// The game folder as compared with the run without faults. A translation run adds a blank
// to the recorded script list each time, so the record is compared without blanks at the
// line ends.
Snapshot comparable() {
    Snapshot files = testing_support::snapshot();
    const auto record = files.find(std::u16string(recordPath));
    if (record != files.end()) {
        std::string& bytes = record->second;
        for (std::size_t at; (at = bytes.find(" \r\n")) != std::string::npos;) {
            bytes.erase(at, 1);
        }
    }
    return files;
}

} // namespace

Sweep::Sweep(Scenario scenario)
    : scenario_(std::move(scenario)), home_(platform::currentDirectory()), base_(home_ + u"\\base"),
      work_(home_ + u"\\work") {
    testing_support::removeTree(base_);
    platform::createFolder(base_);
    platform::setCurrentDirectory(base_);
    scenario_.prepare();
    start_ = testing_support::snapshot();
    // The game's own files: data\ outside data\campaign (the caches aside), each as kept in
    // the backup tree when a copy is kept there.
    constexpr std::u16string_view data = u"data\\", kept = u"data\\campaign\\backup\\";
    for (const auto& [path, bytes] : start_) {
        if (path.ends_with(u"\\") || path.ends_with(cacheSuffix)) {
            continue;
        }
        if (path.starts_with(kept)) {
            originals_[path.substr(kept.size())] = bytes;
        } else if (path.starts_with(data) && !path.starts_with(u"data\\campaign\\")) {
            originals_.emplace(path.substr(data.size()), bytes);
        }
    }
    saves_ = saveGames();
    enterFreshCopy();
    const Snapshot before = comparable();
    platform::setFaultPlan({}); // counts the work's operations only
    referenceCompleted_ = scenario_.work({});
    operations_ = platform::fileOperationCount();
    reference_ = comparable();
    referenceChanged_ = reference_ != before;
    platform::setCurrentDirectory(home_);
}

void Sweep::enterFreshCopy() const {
    platform::setFaultPlan({});
    platform::setCurrentDirectory(home_);
    testing_support::removeTree(work_);
    testing_support::copyTree(base_, work_);
    platform::setCurrentDirectory(work_);
    if (scenario_.fresh) {
        scenario_.fresh();
    }
}

std::string Sweep::secondNames() const {
    std::vector<platform::FolderEntry> beside;
    platform::listFolder(home_ + u"\\*", beside);
    std::vector<std::u16string> outside;
    for (const platform::FolderEntry& entry : beside) {
        if (!entry.isFolder) {
            outside.push_back(home_ + u"\\" + entry.name);
        }
    }
    return testing_support::keptSecondNames(outside);
}

std::vector<std::string> Sweep::check() const {
    std::vector<std::string> problems;
    for (const auto& [path, bytes] : originals_) {
        const std::string now = readFile(u"data\\" + path);
        const auto done = reference_.find(u"data\\" + path);
        const bool inPlace = !scenario_.changedInPlace.empty() &&
                             path.starts_with(scenario_.changedInPlace) &&
                             done != reference_.end() && now == done->second;
        if (now != bytes && readFile(u"data\\campaign\\backup\\" + path) != bytes && !inPlace) {
            problems.push_back("the original of " + utf8(path) + " is lost");
        }
    }
    for (const auto& [path, bytes] : testing_support::snapshot(u"data\\text")) {
        if (path.ends_with(cacheSuffix)) {
            const std::u16string text =
                u"data\\text\\" + path.substr(0, path.size() - cacheSuffix.size());
            const auto before = start_.find(text);
            if (readFile(text) != (before == start_.end() ? "<missing>" : before->second)) {
                problems.push_back("a cache is left beside the changed " + utf8(text));
            }
        }
    }
    if (const std::string games = testing_support::describe(saveGames(), saves_); !games.empty()) {
        problems.push_back("save games lost, changed or with another campaign's:\n" + games);
    }
    if (testing_support::temporaryFilesLeft() > 0 && !testing_support::exists(runMarker)) {
        problems.push_back("a temporary file is left without the unfinished-run marker");
    }
    if (const std::string links = secondNames(); !links.empty()) {
        problems.push_back("kept copies are second names of live files:\n" + links);
    }
    return problems;
}

std::vector<std::string> Sweep::point(const platform::FaultPlan& plan,
                                      const std::function<void()>& faulted) {
    const bool failing = plan.failOperation > 0;
    enterFreshCopy();
    if (faulted) {
        faulted();
    } else {
        scenario_.work(plan);
    }
    platform::setFaultPlan({});
    std::vector<std::string> problems = check();
    scenario_.work({}); // the next start, without faults
    platform::setFaultPlan({});
    for (const auto& [what, differences] :
         {std::pair{"save games", testing_support::describe(saveGames(), saves_)},
          {"game files", testing_support::describe(comparable(), reference_)},
          {"kept copies that are second names of live files", secondNames()}}) {
        if (!differences.empty()) {
            problems.push_back(std::string("the rerun gives other ") + what + ":\n" + differences);
        }
    }
    if (testing_support::temporaryFilesLeft() > 0) {
        problems.push_back("the rerun leaves temporary files");
    }
    platform::setCurrentDirectory(home_);
    const std::string when = std::string(scenario_.name) +
                             (failing ? ", operation " : ", stop after operation ") +
                             std::to_string(failing ? plan.failOperation : plan.stopAfter) +
                             " of " + std::to_string(operations_) + (failing ? " fails: " : ": ");
    for (std::string& problem : problems) {
        problem.insert(0, when);
    }
    return problems;
}

std::vector<std::string> Sweep::run(long& covered) {
#ifdef _WIN32
    // File operations are slow under Wine: every 8th point of each kind, from an offset that
    // changes from run to run, and the first and last three, which hold the opening and
    // closing steps of every work.
    constexpr long every = 8;
    const char* const given = std::getenv("DRAVIK_SWEEP_OFFSET");
    const long offset = given != nullptr ? std::atol(given) % every
                                         : static_cast<long>(std::random_device{}() % every);
    std::printf("%s: sampled every %ld points from offset %ld (DRAVIK_SWEEP_OFFSET=%ld "
                "replays it)\n",
                scenario_.name, every, offset, offset);
    const auto sampled = [&](long n) {
        return n <= 3 || n > operations_ - 3 || n % every == offset;
    };
#else
    const auto sampled = [](long) { return true; };
#endif
    for (const bool stopping : {false, true}) {
        // Stopping after the last operation stops nothing.
        for (long n = 1; n <= operations_ - (stopping ? 1 : 0); ++n) {
            if (!sampled(n)) {
                continue;
            }
            ++covered;
            const auto problems = point(stopping ? platform::FaultPlan{.stopAfter = n}
                                                 : platform::FaultPlan{.failOperation = n});
            if (!problems.empty()) {
                return problems; // one point's findings are enough to work from
            }
        }
    }
    return {};
}

} // namespace fault_sweep
