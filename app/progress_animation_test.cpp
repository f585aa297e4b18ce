#include "app/progress_animation.h"
#include "testing/test_support.h"

// Many short runs, then one of 700 ms, on a label whose writer takes no lock (ThreadSanitizer
// reports two threads writing it at once): one step every half second, the six texts in turn
// from where the previous run stopped, none after the finish.
TEST(ProgressAnimation, StepsEveryHalfSecondFromWhereTheLastRunStopped) {
    std::vector<std::u16string> texts;
    ProgressAnimation progress;
    progress.label = [&texts](const std::u16string& text) { texts.push_back(text); };
    animateProgress(progress); // busy is clear: the run has already ended
    EXPECT_TRUE(texts.empty());
    std::size_t firstStep = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run <= 200; ++run) {
        texts.clear();
        progress.busy = true;
        ASSERT_TRUE(startProgressAnimation(progress));
        std::this_thread::sleep_for(
            std::chrono::microseconds(run == 200 ? 700'000 : run % 3 * 100));
        EXPECT_EQ(stopProgress(progress, u"x"), u"Using:\nx");
        EXPECT_FALSE(progress.animationThread.joinable());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::size_t dots = (firstStep + i) % 6 + 1;
            EXPECT_EQ(texts[i], u"working (can take long!)\n" + std::u16string(dots, u'.')) << run;
        }
        firstStep = (firstStep + texts.size()) % 6;
    }
    // At 0 and 500 ms (a loaded machine may be late by one).
    EXPECT_GE(texts.size(), 2u);
    EXPECT_LE(texts.size(), 3u);
    // The finish wakes the animation from its wait: were it to sleep out its 500 ms, the
    // short runs would take at least 100 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    // The final text is cut at the old buffer.
    EXPECT_EQ(stopProgress(progress, std::u16string(300, u'n')),
              u"Using:\n" + std::u16string(252, u'n'));
}
