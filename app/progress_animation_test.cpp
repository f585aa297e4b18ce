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
    EXPECT_EQ(log.progress.step, 2);
    // The final text is cut at the old buffer.
    EXPECT_EQ(stopProgress(log.progress, std::u16string(300, u'n')),
              u"Using:\n" + std::u16string(252, u'n'));
}

TEST(ProgressAnimation, UsingTextIsAlwaysLastAcrossManyShortRuns) {
    LabelLog log;
    ProgressAnimation& progress = log.progress;
    std::size_t firstStep = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < 200; ++run) {
        log.texts.clear();
        progress.busy = true;
        ASSERT_TRUE(startProgressAnimation(progress));
        if (run % 3 == 1) {
            std::this_thread::yield();
        } else if (run % 3 == 2) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        log.texts.push_back(stopProgress(progress, u"Campaign"));
        EXPECT_FALSE(progress.animationThread.joinable());
        // Every text before it is an animation text, in step order, starting where the
        // previous run stopped (the step is not reset between runs).
        for (std::size_t i = 0; i + 1 < log.texts.size(); ++i) {
            EXPECT_EQ(log.texts[i], stepText((firstStep + i) % 6 + 1)) << run;
        }
        EXPECT_EQ(log.texts.back(), u"Using:\nCampaign") << run;
        firstStep = (firstStep + log.texts.size() - 1) % 6;
    }
    // The finish wakes the animation from its wait: were it to sleep out its 500 ms, these
    // runs would take at least 100 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(ProgressAnimation, OneStepEveryHalfSecondWhileTheRunLasts) {
    LabelLog log;
    log.progress.busy = true;
    ASSERT_TRUE(startProgressAnimation(log.progress));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    log.texts.push_back(stopProgress(log.progress, u"x"));
    // At 0 and 500 ms (a loaded machine may be late by one).
    ASSERT_GE(log.texts.size(), 3u);
    EXPECT_LE(log.texts.size(), 4u);
    EXPECT_EQ(log.texts[1], stepText(2));
}
