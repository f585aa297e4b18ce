#include "app/progress_animation.h"
#include "testing/test_support.h"

namespace {

std::u16string stepText(std::size_t dots) {
    return u"working (can take long!)\n" + std::u16string(dots, u'.');
}

// The label deliberately takes no lock: the animation thread and the finishing thread must
// never write it at the same time, and ThreadSanitizer reports it if they do.
struct LabelLog {
    std::vector<std::u16string> texts;
    ProgressAnimation progress;
    LabelLog() {
        progress.label = [this](const std::u16string& text) { texts.push_back(text); };
    }
};

} // namespace

TEST(ProgressAnimation, StepsCycleThroughTheSixTextsOnlyWhileBusy) {
    LabelLog log;
    animateProgress(log.progress); // busy is clear: the run has already ended
    for (std::size_t i = 0; i < 8; ++i) {
        advanceProgress(log.progress);
        EXPECT_EQ(log.texts.at(i), stepText(i % 6 + 1));
    }
    // The final text is cut at the old buffer.
    EXPECT_EQ(stopProgress(log.progress, std::u16string(300, u'n')),
              u"Using:\n" + std::u16string(252, u'n'));
}

// Many short runs, then one of 700 ms: one step every half second, each run's steps in
// order from where the previous run stopped (the step is not reset between runs).
TEST(ProgressAnimation, StepsEveryHalfSecondFromWhereTheLastRunStopped) {
    LabelLog log;
    ProgressAnimation& progress = log.progress;
    std::size_t firstStep = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run <= 200; ++run) {
        log.texts.clear();
        progress.busy = true;
        ASSERT_TRUE(startProgressAnimation(progress));
        std::this_thread::sleep_for(
            std::chrono::microseconds(run == 200 ? 700'000 : run % 3 * 100));
        EXPECT_EQ(stopProgress(progress, u"x"), u"Using:\nx");
        EXPECT_FALSE(progress.animationThread.joinable());
        for (std::size_t i = 0; i < log.texts.size(); ++i) {
            EXPECT_EQ(log.texts[i], stepText((firstStep + i) % 6 + 1)) << run;
        }
        firstStep = (firstStep + log.texts.size()) % 6;
    }
    // At 0 and 500 ms (a loaded machine may be late by one).
    EXPECT_GE(log.texts.size(), 2u);
    EXPECT_LE(log.texts.size(), 3u);
    // The finish wakes the animation from its wait: were it to sleep out its 500 ms, the
    // short runs would take at least 100 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}
