#include "app/progress_animation.h"

#include "platform/text_limits.h"

#include <array>
#include <chrono>
#include <system_error>

namespace {

constexpr std::array<std::u16string_view, 6> stepTexts = {
    u"working (can take long!)\n.",     u"working (can take long!)\n..",
    u"working (can take long!)\n...",   u"working (can take long!)\n....",
    u"working (can take long!)\n.....", u"working (can take long!)\n......",
};

constexpr auto stepInterval = std::chrono::milliseconds(500);

} // namespace

bool startProgressAnimation(ProgressAnimation& progress) {
    // A thread left from an earlier run (one that ended without finishRun) must not be
    // dropped while joinable.
    if (progress.animationThread.joinable()) {
        progress.animationThread.join();
    }
    try {
        progress.animationThread = std::thread(animateProgress, std::ref(progress));
    } catch (const std::system_error&) {
        return false; // the library's only way to say that no thread could be made
    }
    return true;
}

void animateProgress(ProgressAnimation& progress) {
    if (!progress.busy.load()) {
        return;
    }
    do {
        advanceProgress(progress);
        std::unique_lock<std::mutex> lock(progress.wakeMutex);
        progress.wakeUp.wait_for(lock, stepInterval, [&] { return !progress.busy.load(); });
    } while (progress.busy.load());
}

void advanceProgress(ProgressAnimation& progress) {
    const int step = (progress.step >= 0 && progress.step < 6) ? progress.step : 0;
    if (progress.label) {
        progress.label(std::u16string(stepTexts[static_cast<std::size_t>(step)]));
    }
    progress.step = static_cast<std::int16_t>(step == 5 ? 0 : step + 1);
}

std::u16string stopProgress(ProgressAnimation& progress, const std::u16string& displayName) {
    {
        // Cleared under the mutex so that the animation thread cannot miss the wake-up
        // between its check of the flag and its wait.
        std::lock_guard<std::mutex> lock(progress.wakeMutex);
        progress.busy.store(false);
    }
    progress.wakeUp.notify_all();
    if (progress.animationThread.joinable() &&
        progress.animationThread.get_id() != std::this_thread::get_id()) {
        progress.animationThread.join();
    }
    return limitText(u"Using:\n" + displayName, statusCapacity);
}
