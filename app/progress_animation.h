// The working animation of a run and the run's finish, on a status-text sink so that the
// same code drives the main window's label and the tests.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct ProgressAnimation {
    std::int16_t step = 0; // which of the six texts comes next; not reset between runs
    // Sets the status label's text and repaints the main window at once.
    std::function<void(const std::u16string& text)> label;
    std::atomic<bool> busy{false};

    // The animation thread of the run in progress; finishRun stops and joins it.
    std::thread animationThread;
    std::mutex wakeMutex;           // only for the wait between two steps
    std::condition_variable wakeUp; // lets finishRun end that wait at once
};

// Starts the animation thread (the caller has set busy). False, and no exception, when no
// thread could be made: the run then works without the moving dots.
bool startProgressAnimation(ProgressAnimation& progress);

// The animation thread's procedure: one step every 500 milliseconds while busy is set.
void animateProgress(ProgressAnimation& progress);

// One step: the current step's text to the label, then the next step.
void advanceProgress(ProgressAnimation& progress);

// Stops the animation (clears busy, wakes and joins the animation thread), so that no late
// step can follow, and gives the run's final status text, "Using:\n" + displayName (at
// most 259 characters).
std::u16string stopProgress(ProgressAnimation& progress, const std::u16string& displayName);
