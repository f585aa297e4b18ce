#include "patch/patch_records.h"

#include "testing/test_support.h"

#include <gtest/gtest.h>

namespace {

using testing_support::ScratchFolder;
using testing_support::writeFile;

TEST(DetectFileMode, TellsTheThreeModesApart) {
    ScratchFolder scratch;
    writeFile(u"data\\text\\wide.txt", std::string("\xFF\xFE{\0A\0", 6));
    writeFile(u"data\\text\\narrow.txt", "{A}x\r\n");
    writeFile(u"data\\text\\empty.txt", "");
    writeFile(u"data\\text\\ff_only.txt", "\xFF");
    writeFile(u"data\\text\\ff_fd.txt", "\xFF\xFD");
    writeFile(u"data\\text\\be.txt", "\xFE\xFF");
    EXPECT_EQ(detectFileMode(u"data\\text\\wide.txt"), FileMode::utf16);
    EXPECT_EQ(detectFileMode(u"data\\text\\narrow.txt"), FileMode::bytes8);
    EXPECT_EQ(detectFileMode(u"data\\text\\empty.txt"), FileMode::bytes8);
    EXPECT_EQ(detectFileMode(u"data\\text\\ff_only.txt"), FileMode::bytes8);
    EXPECT_EQ(detectFileMode(u"data\\text\\ff_fd.txt"), FileMode::bytes8);
    EXPECT_EQ(detectFileMode(u"data\\text\\be.txt"), FileMode::bytes8);
    EXPECT_EQ(detectFileMode(u"data\\text\\missing.txt"), FileMode::missing);
    EXPECT_EQ(detectFileMode(u"data\\text"), FileMode::missing);
}

TEST(TouchedFileList, ComparesPathsExactlyAndHasNoLimit) {
    TouchedFileList list = createTouchedFileList();
    EXPECT_FALSE(isFileTouched(list, u"data\\text\\names.txt"));
    addTouchedFile(list, u"data\\text\\names.txt");
    EXPECT_TRUE(isFileTouched(list, u"data\\text\\names.txt"));
    EXPECT_FALSE(isFileTouched(list, u"data\\Text\\names.txt"));
    EXPECT_FALSE(isFileTouched(list, u"data\\text\\names.tx"));
    for (std::size_t i = 1; i <= 250; ++i) {
        addTouchedFile(list, u"data\\f" + std::u16string(i, u'x'));
    }
    EXPECT_TRUE(isFileTouched(list, u"data\\f" + std::u16string(250, u'x')));
    EXPECT_EQ(list.names.size(), 251u);
}

} // namespace
