#include "platform/error_sink.h"
#include "testing/test_support.h"

TEST(ErrorBox, FormatsPlaceholdersInOrderAndCutsEveryText) {
    EXPECT_EQ(formatMessage(u"Error while processing %s\n\nFile does not exist: %s",
                            {u"walls.txt", u"data\\text\\x.txt"}),
              u"Error while processing walls.txt\n\nFile does not exist: data\\text\\x.txt");
    EXPECT_EQ(formatMessage(u"%s", {u"50%d done"}), u"50%d done"); // arguments are no patterns
    EXPECT_EQ(formatMessage(u"100%% and %d%", {}), u"100% and %d%");
    testing_support::ErrorRecorder recorder;
    showComposedError(recorder.sink(), u"anchor %s %d");
    showError(recorder.sink(), u"x%s", {std::u16string(6000, u'a')});
    showComposedError(recorder.sink(), std::u16string(7000, u'b'));
    ASSERT_EQ(recorder.texts.size(), 3u);
    EXPECT_EQ(recorder.texts[0], u"anchor %s %d");
    EXPECT_EQ(recorder.texts[1].size(), errorMessageCapacity - 1);
    EXPECT_EQ(recorder.texts[2].size(), errorMessageCapacity - 1);
}
