#include "app/progress_animation.h"
#include "testing/test_support.h"

// Many short runs, stopped at once or after their first text, then one stopped while its
// second text is shown: the six texts in turn from where the previous run stopped, none
// after the finish. The label's texts are written without a lock (ThreadSanitizer reports
// two threads writing them at once) and read after stopProgress has joined the thread; the
// test waits for texts through `count`, never for the clock, so a slow machine changes nothing.
TEST(ProgressAnimation, StepsFromWhereTheLastRunStoppedAndNoneAfterTheFinish) {
    using namespace std::chrono_literals;
    std::vector<std::u16string> texts;
    std::chrono::steady_clock::time_point moments[2]; // of the last even and odd text
    std::atomic<std::size_t> count{0};
    std::size_t holdAt = 0; // the step of this text lasts until the run is stopped
    ProgressAnimation progress;
    progress.label = [&](const std::u16string& text) {
        texts.push_back(text);
        moments[texts.size() % 2] = std::chrono::steady_clock::now();
        count.store(texts.size());
        while (texts.size() == holdAt && progress.busy.load()) {
            std::this_thread::sleep_for(1ms);
        }
    };
    animateProgress(progress); // busy is clear: the run has already ended
    EXPECT_TRUE(texts.empty());
    std::size_t firstStep = 0;
    for (int run = 0; run < 100; ++run) {
        texts.clear();
        count.store(0);
        holdAt = run == 99 ? 2 : 0;
        progress.busy = true;
        ASSERT_TRUE(startProgressAnimation(progress));
        while (count.load() < static_cast<std::size_t>(run % 2 + (run == 99))) {
            std::this_thread::sleep_for(1ms);
        }
        EXPECT_EQ(stopProgress(progress, u"x"), u"Using:\nx");
        EXPECT_FALSE(progress.animationThread.joinable());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::size_t dots = (firstStep + i) % 6 + 1;
            EXPECT_EQ(texts[i], u"working (can take long!)\n" + std::u16string(dots, u'.')) << run;
        }
        firstStep = (firstStep + texts.size()) % 6;
    }
    // The step under way at the stop was the last; the wait between two steps lasted at
    // least half a second (checked from below only: a loaded machine makes it longer).
    EXPECT_EQ(texts.size(), 2u);
    EXPECT_GE(moments[0] - moments[1], 500ms);
    // The final text is cut at the old buffer.
    EXPECT_EQ(stopProgress(progress, std::u16string(300, u'n')),
              u"Using:\n" + std::u16string(252, u'n'));
}
