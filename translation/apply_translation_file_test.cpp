#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "testing/test_support.h"
#include "translation/translation_entry.h"

using namespace testing_support;

namespace {
std::string utf16File(std::u16string_view text) {
    return "\xFF\xFE" + platform::encodeText(text, platform::TextEncoding::Utf16);
}
TranslationEntry pack(std::u16string_view folder) {
    TranslationEntry entry;
    entry.name = u"Deutsch";
    entry.folder = folder;
    return entry;
}
struct TranslationRun {
    ErrorRecorder errors;
    PatchContext context{errors.sink(), nullptr};
};
} // namespace

TEST(LoadTranslationEntry, NameFromTheDescriptorAndFolderFromTheWholeFileName) {
    ScratchFolder scratch;
    writeFile(u"data\\campaign\\translation\\french.txt", "[name]\r\n Fran\xE7"
                                                          "ais\r\n[description]Ignored\r\n");
    makeFolders(u"data\\campaign\\translation\\folder.txt");
    const std::u16string longName = std::u16string(120, u'p') + u".txt";
    for (const auto& [fileName, folderAndName] :
         std::initializer_list<std::pair<std::u16string, std::u16string>>{
             {u"french.txt", u"french Fran\u00E7ais"},
             {longName, std::u16string(120, u'p') + u" "},
             {u"folder.txt", u"folder "},
             {u"pt.br.txt", u"pt "},
             {u".txt", u" "},
             {u"plain", u" "}}) {
        const TranslationEntry entry = loadTranslationEntry(fileName);
        EXPECT_EQ(entry.fileName, fileName);
        EXPECT_EQ(entry.folder + u" " + entry.name + entry.description, folderAndName);
    }
}

TEST(ApplyTranslationPack, MergesEveryTextFileOfItsFolderAndDropsTheirCaches) {
    ScratchFolder scratch;
    writeFile(u"data\\text\\names.txt",
              utf16File(u"// head\n{A}Alpha\n{B}Beta\nline two\n{C}\u0414\n"));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    writeFile(u"data\\text\\menu.txt", "{START}Start\r\n{QUIT}Quit\r\n");
    writeFile(u"data\\text\\units.txt.strings.bin", "cache of a file the pack does not have");
    writeFile(u"data\\campaign\\translation\\deutsch\\names.txt",
              utf16File(u"{B}\u00FCbersetzt\n{Z}x\n"));
    writeFile(u"data\\campaign\\translation\\deutsch\\menu.txt", "{QUIT}Schlie\xDF"
                                                                 "en");
    writeFile(u"data\\campaign\\translation\\deutsch\\readme.md", "{Q}not a translation file\r\n");
    makeFolders(u"data\\campaign\\translation\\deutsch\\folder.txt");
    TranslationRun run;
    EXPECT_TRUE(applyTranslationPack(pack(u"deutsch"), run.context));
    EXPECT_EQ(run.errors.texts, std::vector<std::u16string>{});
    const std::u16string banner(translationBanner);
    EXPECT_EQ(
        snapshot(u"data\\text"),
        (Snapshot{
            {u"names.txt", utf16File(banner + u"{A}Alpha\n{B}\u00FCbersetzt\n{C}\u0414\n")},
            {u"menu.txt", platform::encodeText(banner + u"{START}Start\n{QUIT}Schlie\u00DFen\n",
                                               platform::TextEncoding::Bytes8)},
            {u"units.txt.strings.bin", "cache of a file the pack does not have"}}));
    // The second time every text is translated already: nothing is written again (the file
    // is the same file), but the cache still goes.
    platform::FileIdentity once, twice;
    ASSERT_TRUE(platform::fileIdentity(u"data\\text\\names.txt", once));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    const Snapshot translated = snapshot(u"data\\text");
    EXPECT_TRUE(applyTranslationPack(pack(u"deutsch"), run.context));
    ASSERT_TRUE(platform::fileIdentity(u"data\\text\\names.txt", twice));
    EXPECT_EQ(twice, once);
    Snapshot withoutCache = translated;
    withoutCache.erase(u"names.txt.strings.bin");
    EXPECT_EQ(describe(snapshot(u"data\\text"), withoutCache), "");
    // Without a folder name the pack's pattern would list the descriptors themselves.
    writeFile(u"data\\campaign\\translation\\menu.txt", "[name]X\r\n{START}Wrong\r\n");
    const Snapshot before = snapshot(u"data");
    EXPECT_TRUE(applyTranslationPack(pack(u""), run.context));
    EXPECT_TRUE(applyTranslationPack(pack(u"missing"), run.context));
    EXPECT_EQ(describe(snapshot(u"data"), before), "");
}

TEST(ApplyTranslationFile, MissingFilesAndModeMismatchChangeNothing) {
    ScratchFolder scratch;
    writeFile(u"data\\text\\names.txt", utf16File(u"{A}Alpha\n"));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    writeFile(u"data\\text\\lonely.txt", "{A}y\r\n");
    writeFile(u"data\\campaign\\translation\\deutsch\\names.txt", "{A}Alpha in 8 bits\r\n");
    writeFile(u"data\\campaign\\translation\\deutsch\\extra.txt", "{A}x\r\n");
    const Snapshot before = snapshot(u"data");
    TranslationRun run;
    for (const std::u16string_view file : {u"names.txt", u"extra.txt", u"lonely.txt"}) {
        EXPECT_TRUE(applyTranslationFile(pack(u"deutsch"), file, run.context));
    }
    EXPECT_EQ(
        run.errors.texts,
        (std::vector<std::u16string>{
            u"Error while processing Deutsch translation\nMode mismatch for file: names.txt",
            u"Error while processing Deutsch translation\n\nFile does not exist: extra.txt"}));
    EXPECT_EQ(describe(snapshot(u"data"), before), "");
}
