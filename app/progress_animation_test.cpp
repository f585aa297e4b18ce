#include "app/progress_animation.h"
#include "testing/test_support.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// The status label as the animation thread feeds it. Texts and moments are written by that
// thread alone and without a lock (ThreadSanitizer reports two threads writing them at
// once); the test reads them after stopProgress has joined the thread. It waits for texts
// through `count`, never for the clock, so a slow machine changes nothing.
struct Label {
    std::vector<std::u16string> texts;
    std::vector<Clock::time_point> moments;
    std::atomic<std::size_t> count{0};
    std::size_t holdAt = 0; // the step of this text lasts until the run is stopped (0: none)
};

void waitForTexts(const Label& label, std::size_t count) {
    while (label.count.load() < count) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Many short runs, stopped at once or after their first text, then one stopped while its
// second text is being shown: the six texts in turn from where the previous run stopped,
// and none after the finish.
TEST(ProgressAnimation, StepsFromWhereTheLastRunStoppedAndNoneAfterTheFinish) {
    ProgressAnimation progress;
    Label label;
    progress.label = [&](const std::u16string& text) {
        label.texts.push_back(text);
        label.moments.push_back(Clock::now());
        label.count.store(label.texts.size());
        while (label.texts.size() == label.holdAt && progress.busy.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    animateProgress(progress); // busy is clear: the run has already ended
    EXPECT_TRUE(label.texts.empty());
    constexpr int last = 99;
    std::size_t firstStep = 0;
    for (int run = 0; run <= last; ++run) {
        label.texts.clear();
        label.moments.clear();
        label.count.store(0);
        label.holdAt = run == last ? 2 : 0;
        progress.busy = true;
        ASSERT_TRUE(startProgressAnimation(progress));
        if (run % 2 == 1) {
            waitForTexts(label, run == last ? 2 : 1);
        }
        EXPECT_EQ(stopProgress(progress, u"x"), u"Using:\nx");
        EXPECT_FALSE(progress.animationThread.joinable());
        for (std::size_t i = 0; i < label.texts.size(); ++i) {
            const std::size_t dots = (firstStep + i) % 6 + 1;
            EXPECT_EQ(label.texts[i], u"working (can take long!)\n" + std::u16string(dots, u'.'))
                << run;
        }
        firstStep = (firstStep + label.texts.size()) % 6;
    }
    // The step under way when the run stopped was its last; the wait between two steps
    // lasted at least half a second (a lower bound only: a loaded machine makes it longer).
    ASSERT_EQ(label.texts.size(), 2u);
    EXPECT_GE(label.moments[1] - label.moments[0], std::chrono::milliseconds(500));
    // The final text is cut at the old buffer.
    EXPECT_EQ(stopProgress(progress, std::u16string(300, u'n')),
              u"Using:\n" + std::u16string(252, u'n'));
}

} // namespace
