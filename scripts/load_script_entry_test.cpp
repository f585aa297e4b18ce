#include "scripts/script_entry.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {
void writeDescriptor(std::u16string_view fileName, std::string_view text) {
    writeFile(u"data\\campaign\\sub\\" + std::u16string(fileName), text);
}
} // namespace

TEST(LoadScriptEntry, ReadsEverySectionOfADescriptor) {
    ScratchFolder scratch;
    writeDescriptor(u"hd.textures.txt", "[name]\r\nDetailed pictures\r\n"
                                        "[description]\r\nSharper units.\\nNeeds more memory.\r\n"
                                        "[works for]\r\nnorvale, eastmarch\r\n"
                                        "[grouped in]\r\nGraphics \r\n"
                                        "[checked] no\r\n"
                                        "[required]\r\n"
                                        "[files]\r\noverwrite data\\a.pic with b.pic\r\n");
    ErrorRecorder errors;
    const ScriptEntry entry = loadScriptEntry(u"hd.textures.txt", errors.sink());
    EXPECT_TRUE(errors.texts.empty());
    EXPECT_EQ(entry.fileName, u"hd.textures.txt");
    EXPECT_EQ(entry.folder, u"hd");
    EXPECT_EQ(entry.name, u"Detailed pictures");
    EXPECT_EQ(entry.description, u"Sharper units.\nNeeds more memory.");
    EXPECT_EQ(entry.worksFor, u"norvale, eastmarch");
    EXPECT_TRUE(entry.hasGroup);
    EXPECT_EQ(entry.groupName, u"Graphics");
    EXPECT_TRUE(entry.checked); // whatever follows [checked] is ignored
    EXPECT_TRUE(entry.required);
}

TEST(LoadScriptEntry, MissingFilesSectionIsReportedOnceAndTheRecordStays) {
    ScratchFolder scratch;
    writeDescriptor(u"broken.txt", "[files \r\n[name]Broken\r\n[works for]all\r\n");
    ErrorRecorder errors;
    const ScriptEntry entry = loadScriptEntry(u"broken.txt", errors.sink());
    EXPECT_EQ(errors.texts,
              std::vector<std::u16string>{u"There seems to be an error with: broken.txt"});
    EXPECT_EQ(entry.name, u"Broken");
    EXPECT_TRUE(scriptWorksFor(entry, u"norvale"));
}

TEST(LoadScriptEntry, UnreadableDescriptorKeepsOnlyItsNames) {
    ScratchFolder scratch;
    makeFolders(u"data\\campaign\\sub\\ghost.txt"); // a folder where a file is expected
    ErrorRecorder errors;
    for (const std::u16string_view fileName : {u"ghost.txt", u"absent.txt"}) {
        const ScriptEntry entry = loadScriptEntry(fileName, errors.sink());
        EXPECT_EQ(entry.fileName, fileName);
        EXPECT_EQ(entry.folder, fileName.substr(0, fileName.find(u'.')));
        EXPECT_EQ(entry.name + entry.worksFor, u"");
        EXPECT_FALSE(entry.checked || entry.required || entry.hasGroup);
        EXPECT_FALSE(scriptWorksFor(entry, u"all"));
    }
    EXPECT_TRUE(errors.texts.empty());
}

TEST(LoadScriptEntry, PresenceTestsLookAtTheStartOfEveryLine) {
    ScratchFolder scratch;
    // [checked] at the start of a line inside the description counts; an indented
    // [required] does not; [files] on the last line without a line break still counts.
    writeDescriptor(u"a.txt", "[description]\r\nfirst line\r\n[checked]\r\n [required]\r\n[files]");
    // Present but empty [grouped in]: the group whose name is empty.
    writeDescriptor(u"b.txt", "[grouped in]\r\n[files]\r\n");
    ErrorRecorder errors;
    const ScriptEntry a = loadScriptEntry(u"a.txt", errors.sink());
    EXPECT_TRUE(a.checked && !a.required && !a.hasGroup);
    const ScriptEntry b = loadScriptEntry(u"b.txt", errors.sink());
    EXPECT_TRUE(b.hasGroup);
    EXPECT_EQ(b.groupName, u"");
    EXPECT_TRUE(errors.texts.empty());
}

TEST(LoadScriptEntry, BaseNameStopsAtTheFirstDotAndLongNamesAreKeptWhole) {
    ScratchFolder scratch;
    ErrorRecorder errors;
    EXPECT_EQ(loadScriptEntry(u"a.b.c.txt", errors.sink()).folder, u"a");
    EXPECT_EQ(loadScriptEntry(u"nodot", errors.sink()).folder, u"");
    EXPECT_EQ(loadScriptEntry(u".txt", errors.sink()).folder, u"");
    // The whole name reads its own descriptor, not one of the name cut short.
    const std::u16string longName = std::u16string(110, u'x') + u".txt";
    writeDescriptor(longName, "[name]The long one\r\n[files]\r\n");
    writeDescriptor(longName.substr(0, 99), "[name]Someone else\r\n[files]\r\n");
    const ScriptEntry entry = loadScriptEntry(longName, errors.sink());
    EXPECT_EQ(entry.fileName, longName);
    EXPECT_EQ(entry.folder, std::u16string(110, u'x'));
    EXPECT_EQ(entry.name, u"The long one");
}
