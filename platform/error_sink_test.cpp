#include "platform/error_sink.h"
#include "testing/test_support.h"

TEST(ErrorBox, FormatsPlaceholdersInOrderAndCutsEveryText) {
    // Arguments are no patterns; "%%" is one "%", any other "%" stays.
    EXPECT_EQ(formatMessage(u"Error with %s\n\nin %s: 100%% and %d%", {u"walls.txt", u"50%s"}),
              u"Error with walls.txt\n\nin 50%s: 100% and %d%");
    testing_support::ErrorRecorder recorder;
    showComposedError(recorder.sink(), u"anchor %s %d");
    showError(recorder.sink(), u"x%s", {std::u16string(6000, u'a')});
    showComposedError(recorder.sink(), std::u16string(7000, u'b'));
    EXPECT_EQ(recorder.texts,
              (std::vector<std::u16string>{u"anchor %s %d",
                                           u"x" + std::u16string(errorMessageCapacity - 2, u'a'),
                                           std::u16string(errorMessageCapacity - 1, u'b')}));
}
