// The command-line runner's logic, apart from main() so that tests can drive it in-process
// (under Wine as well) exactly as the program's windows drive the runs.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Where the runner's lines go; each line comes without its line break.
struct RunnerOutput {
    std::function<void(const std::string& line)> out;
    std::function<void(const std::string& line)> err;
};

// Exit codes.
inline constexpr int runnerCompleted = 0; // a run completed (error texts along the way included)
// A required group without a ticked script, the start-up error, or a game folder in which
// another copy (of the runner or the program) works.
inline constexpr int runnerRefused = 1;
inline constexpr int runnerUsageError = 2;

// arguments: everything after the program name. Works in the current directory unless
// --game names another; leaves the current directory changed. File operations are counted
// for --fail-op and --stop-after-op from the start of the run (after the scan and the
// choice). With exitOnStop false, --stop-after-op makes the later operations fail instead
// of ending the process, so that tests can look at the result in-process.
int runDravikCommand(const std::vector<std::u16string>& arguments, const RunnerOutput& output,
                     bool exitOnStop = true);

// A JSON string literal: quotes, backslashes and every character outside printable ASCII
// escaped (\uXXXX, UTF-16 code units), so the line is plain ASCII on every console.
std::string jsonString(std::u16string_view text);
