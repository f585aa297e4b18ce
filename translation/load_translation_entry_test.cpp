#include "testing/test_support.h"
#include "translation/translation_entry.h"

using namespace testing_support;

TEST(LoadTranslationEntry, NameFromTheDescriptorAndFolderFromTheWholeFileName) {
    ScratchFolder scratch;
    writeFile(u"data\\campaign\\translation\\french.txt", "[name]\r\n Fran\xE7"
                                                          "ais\r\n[description]Ignored\r\n");
    const TranslationEntry entry = loadTranslationEntry(u"french.txt");
    EXPECT_EQ(entry.fileName, u"french.txt");
    EXPECT_EQ(entry.folder, u"french");
    EXPECT_EQ(entry.name, u"Fran\u00E7ais");
    EXPECT_EQ(entry.description, u"");
    EXPECT_EQ(entry.button, nullptr);
    // A long name is kept whole, so the pack folder is named from all of it.
    const std::u16string longName = std::u16string(120, u'p') + u".txt";
    writeFile(u"data\\campaign\\translation\\" + longName, "[name]Long\r\n");
    const TranslationEntry longEntry = loadTranslationEntry(longName);
    EXPECT_EQ(longEntry.fileName, longName);
    EXPECT_EQ(longEntry.folder, std::u16string(120, u'p'));
    EXPECT_EQ(longEntry.name, u"Long");
}

TEST(LoadTranslationEntry, OddFileNamesAndUnreadableDescriptors) {
    ScratchFolder scratch;
    makeFolders(u"data\\campaign\\translation\\folder.txt");
    EXPECT_EQ(loadTranslationEntry(u"folder.txt").name, u"");
    EXPECT_EQ(loadTranslationEntry(u"absent.txt").folder, u"absent");
    EXPECT_EQ(loadTranslationEntry(u"pt.br.txt").folder, u"pt");
    EXPECT_EQ(loadTranslationEntry(u".txt").folder, u"");
    EXPECT_EQ(loadTranslationEntry(u"plain").folder, u"");
}
