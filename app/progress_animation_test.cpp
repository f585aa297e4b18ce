#include "app/progress_animation.h"
#include "testing/test_support.h"

#include <chrono>
#include <string>
#include <vector>

namespace {

std::u16string stepText(int dots) {
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
    EXPECT_TRUE(log.texts.empty());
    for (int i = 0; i < 8; ++i) {
        advanceProgress(log.progress);
    }
    ASSERT_EQ(log.texts.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(log.texts[static_cast<std::size_t>(i)], stepText(i % 6 + 1)) << i;
    }
    EXPECT_EQ(log.progress.step, 2);
}

TEST(ProgressAnimation, UsingTextIsAlwaysLastAcrossManyShortRuns) {
    LabelLog log;
    ProgressAnimation& progress = log.progress;
    const auto start = std::chrono::steady_clock::now();
    std::int16_t expectedFirstStep = 0;
    constexpr int runs = 200;
    for (int run = 0; run < runs; ++run) {
        log.texts.clear();
        progress.busy = true;
        ASSERT_TRUE(startProgressAnimation(progress));
        if (run % 3 == 1) {
            std::this_thread::yield();
        } else if (run % 3 == 2) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const std::u16string name =
            u"Campaign " + std::u16string(1, static_cast<char16_t>(u'A' + run % 26));
        log.texts.push_back(stopProgress(progress, name));
        ASSERT_FALSE(log.texts.empty());
        EXPECT_EQ(log.texts.back(), u"Using:\n" + name) << run;
        // Every text before it is an animation text, in step order, starting where the
        // previous run stopped (the step is not reset between runs).
        for (std::size_t i = 0; i + 1 < log.texts.size(); ++i) {
            EXPECT_EQ(log.texts[i], stepText((expectedFirstStep + static_cast<int>(i)) % 6 + 1))
                << run;
        }
        expectedFirstStep =
            static_cast<std::int16_t>((expectedFirstStep + log.texts.size() - 1) % 6);
        EXPECT_EQ(progress.step, expectedFirstStep);
        EXPECT_FALSE(progress.animationThread.joinable());
    }
    // The finish wakes the animation from its wait: were it to sleep out its 500 ms, these
    // runs would take at least 100 s.
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(30));
}

TEST(ProgressAnimation, FinalTextIsCutAtTheOldBufferAndShownWithoutAnimation) {
    LabelLog log;
    ProgressAnimation& progress = log.progress;
    log.texts.push_back(stopProgress(progress, std::u16string(300, u'n')));
    ASSERT_EQ(log.texts.size(), 1u);
    EXPECT_EQ(log.texts[0].size(), 259u);
    EXPECT_EQ(log.texts[0].substr(0, 7), u"Using:\n");
}

TEST(ProgressAnimation, AnimationKeepsGoingWhileTheRunLasts) {
    LabelLog log;
    ProgressAnimation& progress = log.progress;
    progress.busy = true;
    ASSERT_TRUE(startProgressAnimation(progress));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    log.texts.push_back(stopProgress(progress, u"x"));
    // 0, 500 and 1000 ms: three steps (a loaded machine may be late by one).
    ASSERT_GE(log.texts.size(), 3u);
    EXPECT_LE(log.texts.size(), 5u);
    EXPECT_EQ(log.texts[0], stepText(1));
    EXPECT_EQ(log.texts[1], stepText(2));
    EXPECT_EQ(log.texts.back(), u"Using:\nx");
}
