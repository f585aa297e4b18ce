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
} // namespace

// Every text file of the pack's folder is merged into the game text of its name, in the
// game text's encoding, and that text's cache goes; a pack file without a game text, or in
// the other encoding, changes nothing and is reported.
TEST(ApplyTranslationPack, MergesEveryTextFileOfItsFolderAndDropsTheirCaches) {
    ScratchFolder scratch;
    writeFile(u"data\\text\\names.txt",
              utf16File(u"// head\n{A}Alpha\n{B}Beta\nline two\n{C}\u0414\n"));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    writeFile(u"data\\text\\menu.txt", "{START}Start\r\n{QUIT}Quit\r\n");
    writeFile(u"data\\text\\units.txt", utf16File(u"{A}Alpha\n"));
    writeFile(u"data\\text\\units.txt.strings.bin", "cache of a text left as it was");
    const std::u16string folder = u"data\\campaign\\translation\\deutsch\\";
    writeFile(folder + u"names.txt", utf16File(u"{B}\u00FCbersetzt\n{Z}x\n"));
    writeFile(folder + u"menu.txt", "{QUIT}Schlie\xDF"
                                    "en");
    writeFile(folder + u"units.txt", "{A}Alpha in 8 bits\r\n");
    writeFile(folder + u"extra.txt", "{A}x\r\n");
    makeFolders(folder + u"folder.txt");
    ErrorRecorder errors;
    PatchContext context{errors.sink(), nullptr};
    EXPECT_TRUE(applyTranslationPack(pack(u"deutsch"), context));
    EXPECT_EQ(
        errors.texts,
        (std::vector<std::u16string>{
            u"Error while processing Deutsch translation\n\nFile does not exist: extra.txt",
            u"Error while processing Deutsch translation\nMode mismatch for file: units.txt"}));
    // The second time the text is translated already: it is not written again (the file
    // stays the same file), but its cache still goes.
    platform::FileIdentity once, twice;
    ASSERT_TRUE(platform::fileIdentity(u"data\\text\\names.txt", once));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    EXPECT_TRUE(applyTranslationPack(pack(u"deutsch"), context));
    ASSERT_TRUE(platform::fileIdentity(u"data\\text\\names.txt", twice));
    EXPECT_EQ(twice, once);
    const std::u16string banner(translationBanner);
    const Snapshot translated = {
        {u"names.txt", utf16File(banner + u"{A}Alpha\n{B}\u00FCbersetzt\n{C}\u0414\n")},
        {u"menu.txt", platform::encodeText(banner + u"{START}Start\n{QUIT}Schlie\u00DFen\n",
                                           platform::TextEncoding::Bytes8)},
        {u"units.txt", utf16File(u"{A}Alpha\n")},
        {u"units.txt.strings.bin", "cache of a text left as it was"}};
    EXPECT_EQ(describe(snapshot(u"data\\text"), translated), "");
    // Without a folder name the pack's pattern would list the descriptors themselves.
    writeFile(u"data\\campaign\\translation\\menu.txt", "[name]X\r\n{START}Wrong\r\n");
    const Snapshot before = snapshot(u"data");
    EXPECT_TRUE(applyTranslationPack(pack(u""), context));
    EXPECT_TRUE(applyTranslationPack(pack(u"missing"), context));
    EXPECT_EQ(describe(snapshot(u"data"), before), "");
}
