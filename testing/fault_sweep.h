// The one fault sweep of the project: a piece of work on a game folder, run once for every
// file operation failing and once for the work stopping after every operation (as a crash
// would), each time on a fresh copy of the same starting folder, with one set of checks:
//  - no original game file is lost: each is in data\ or kept in data\campaign\backup (files
//    the work rewrites in place by design may also be as the work leaves them);
//  - every save game is found once, unchanged, among the games of its own campaign ("saves"
//    holds those of the campaign recent.txt names);
//  - a text cache left in data\text sits beside its text file as it was at the start;
//  - no kept copy in data\campaign\backup is a second name (hard link) of a file elsewhere
//    in data\ or beside the game folder, after the work and after the rerun;
//  - a temporary file of ours left by the work is left with the unfinished-run marker, so
//    that the next start removes it; none is left after the rerun;
//  - the next run without faults gives the same game folder as a run without faults.
// The work of every scenario is a whole run as the program makes it: its start-up removes
// what an unfinished run left.
#pragma once

#include "platform/file_system.h"
#include "testing/test_support.h"

#include <functional>
#include <string>
#include <vector>

namespace fault_sweep {

struct Scenario {
    const char* name;
    // Makes the starting game folder in the current directory, without faults.
    std::function<void()> prepare;
    // The work under test, in the game folder, under the fault plan (one without faults for
    // the reference run and for the rerun after each fault). True when it completed.
    std::function<bool(const platform::FaultPlan& plan)> work;
    // Below data\: where the work rewrites game files in place by design ("text\"), or empty.
    std::u16string changedInPlace = {};
    // What a copy of the starting folder cannot carry, made in each fresh copy (second names
    // of files); files beside the game folder ("..\x") count as outside it.
    std::function<void()> fresh = {};
};

class Sweep {
  public:
    // Prepares the starting folder beside the current directory's "work" folder and runs
    // the work once without faults on a copy of it.
    explicit Sweep(Scenario scenario);
    long operations() const { return operations_; }
    // The run without faults completed and changed the game folder: the sweep has something
    // to break.
    bool referenceCompleted() const { return referenceCompleted_; }
    bool referenceChanged() const { return referenceChanged_; }

    // One fault point on a fresh copy: the work under `plan` (or `faulted` instead, run in
    // the game folder), the checks, the rerun. What is wrong, one line a finding.
    std::vector<std::string> point(const platform::FaultPlan& plan,
                                   const std::function<void()>& faulted = {});

    // Every fault point of both kinds (under Wine a sample, from an offset that changes from
    // run to run and is printed; DRAVIK_SWEEP_OFFSET replays one); stops at the first point
    // that breaks something and returns its findings. `covered` counts the points run.
    std::vector<std::string> run(long& covered);

  private:
    std::vector<std::string> check() const;
    std::string secondNames() const;
    void enterFreshCopy() const;

    Scenario scenario_;
    std::u16string home_, base_, work_;
    testing_support::Snapshot start_, originals_, reference_, saves_;
    long operations_ = 0;
    bool referenceCompleted_ = false;
    bool referenceChanged_ = false;
};

} // namespace fault_sweep
