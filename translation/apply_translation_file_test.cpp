#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "testing/test_support.h"
#include "translation/translation_entry.h"

#include <cstdio>
#include <string>

using namespace testing_support;

namespace {

std::string utf16File(std::u16string_view text) {
    return "\xFF\xFE" + platform::encodeText(text, platform::TextEncoding::Utf16);
}

TranslationEntry pack(std::u16string_view name = u"Deutsch",
                      std::u16string_view folder = u"deutsch") {
    TranslationEntry entry;
    entry.name = std::u16string(name);
    entry.folder = std::u16string(folder);
    entry.fileName = entry.folder + u".txt";
    return entry;
}

struct TranslationRun {
    ErrorRecorder errors;
    PatchContext context;
    TranslationRun() { context.errors = errors.sink(); }
};

const std::u16string gameNames =
    u"// comment at the head\n"
    u"{A}Alpha\n{B}Beta, line one\nline two\n// a comment inside B\n{C}\u00C7eta \u0414\n";
const std::u16string packNames = u"{B}Beta \u00FCbersetzt\n{ZZ}not in the game\n";
const std::u16string translatedNames =
    std::u16string(translationBanner) + u"{A}Alpha\n{B}Beta \u00FCbersetzt\n{C}\u00C7eta \u0414\n";

void writeNamesPack() {
    writeFile(u"data\\text\\names.txt", utf16File(gameNames));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    writeFile(u"data\\campaign\\translation\\deutsch\\names.txt", utf16File(packNames));
}

using testing_support::temporaryFilesLeft;

} // namespace

TEST(ApplyTranslationFile, MissingFilesAndModeMismatch) {
    ScratchFolder scratch;
    writeFile(u"data\\text\\names.txt", utf16File(u"{A}Alpha\n"));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    writeFile(u"data\\campaign\\translation\\deutsch\\names.txt", "{A}Alpha in 8 bits\r\n");
    writeFile(u"data\\campaign\\translation\\deutsch\\extra.txt", "{A}x\r\n");
    writeFile(u"data\\text\\lonely.txt", "{A}y\r\n");
    const auto before = snapshotTree(u"data");
    TranslationRun run;
    EXPECT_TRUE(applyTranslationFile(pack(), u"names.txt", run.context));
    EXPECT_TRUE(applyTranslationFile(pack(), u"extra.txt", run.context));
    EXPECT_TRUE(
        applyTranslationFile(pack(), u"lonely.txt", run.context)); // no translation file: silent
    EXPECT_EQ(
        run.errors.texts,
        (std::vector<std::u16string>{
            u"Error while processing Deutsch translation\nMode mismatch for file: names.txt",
            u"Error while processing Deutsch translation\n\nFile does not exist: extra.txt"}));
    EXPECT_EQ(snapshotTree(u"data"), before);
    EXPECT_TRUE(temporaryFilesLeft() == 0);
}

// Whatever single file operation fails, or wherever the work stops as in a crash, the game
// file is either as it was or fully translated; a translated file never keeps its old
// cache; a failure (not a crash) leaves no temporary file behind.
TEST(ApplyTranslationFile, EveryFaultLeavesTheOldFileOrTheTranslatedOne) {
    const std::string oldBytes = utf16File(gameNames);
    const std::string newBytes = utf16File(translatedNames);
    const auto translate = [](platform::FaultPlan plan) {
        writeNamesPack();
        TranslationRun run;
        platform::setFaultPlan(plan);
        applyTranslationFile(pack(), u"names.txt", run.context);
        const long operations = platform::fileOperationCount();
        platform::setFaultPlan({});
        return operations;
    };
    long operations = 0;
    {
        ScratchFolder scratch;
        operations = translate({});
        ASSERT_EQ(readFile(u"data\\text\\names.txt"), newBytes);
    }
    ASSERT_GT(operations, 4);
    int translated = 0;
    for (long n = 1; n <= operations + 1; ++n) {
        for (const bool crash : {false, true}) {
            SCOPED_TRACE(testing::Message() << "operation " << n << (crash ? " stops" : " fails"));
            ScratchFolder scratch;
            translate(crash ? platform::FaultPlan{.stopAfter = n}
                            : platform::FaultPlan{.failOperation = n});
            const std::string now = readFile(u"data\\text\\names.txt");
            EXPECT_TRUE(now == oldBytes || now == newBytes);
            if (now == newBytes) {
                ++translated;
                EXPECT_FALSE(exists(u"data\\text\\names.txt.strings.bin"));
            }
            EXPECT_TRUE(crash || temporaryFilesLeft() == 0);
        }
    }
    EXPECT_GT(translated, 0);
    std::printf(
        "fault points covered: %ld operations, each failing and stopping (%d ended translated)\n",
        operations + 1, translated);
}

TEST(ApplyTranslationPack, TranslatesOnlyTheKeysThePackHasInEveryFileOfItsFolder) {
    ScratchFolder scratch;
    writeNamesPack();
    writeFile(u"data\\text\\menu.txt", "{START}Start\r\n{QUIT}Quit\r\n");
    writeFile(u"data\\campaign\\translation\\deutsch\\menu.txt", "{QUIT}Schlie\xDF"
                                                                 "en");
    makeFolders(u"data\\campaign\\translation\\deutsch\\folder.txt");
    writeFile(u"data\\campaign\\translation\\deutsch\\readme.md", "{Q}not a translation file\r\n");
    TranslationRun run;
    EXPECT_TRUE(applyTranslationPack(pack(), run.context));
    EXPECT_TRUE(run.errors.texts.empty());
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), utf16File(translatedNames));
    EXPECT_FALSE(exists(u"data\\text\\names.txt.strings.bin"));
    EXPECT_EQ(readFile(u"data\\campaign\\translation\\deutsch\\names.txt"), utf16File(packNames));
    // 8-bit files stay 8-bit.
    EXPECT_EQ(readFile(u"data\\text\\menu.txt"),
              "\xAC--- Generated by Dravik setup translator\r\n{START}Start\r\n{QUIT}Schlie\xDF"
              "en\r\n");
    EXPECT_FALSE(exists(u"data\\text\\folder.txt"));
    EXPECT_TRUE(temporaryFilesLeft() == 0);
}

TEST(ApplyTranslationPack, PacksWithoutAFolderChangeNothing) {
    ScratchFolder scratch;
    writeFile(u"data\\text\\names.txt", utf16File(gameNames));
    // Descriptors beside the pack folders: an entry without a folder name must not take
    // them for translation files.
    writeFile(u"data\\campaign\\translation\\names.txt", utf16File(u"[name]X\n{A}Wrong\n"));
    writeFile(u"data\\campaign\\translation\\.txt", "[name]Nameless\r\n");
    const auto before = snapshotTree(u"data");
    TranslationRun run;
    EXPECT_TRUE(applyTranslationPack(pack(u"Nameless", u""), run.context));
    EXPECT_TRUE(applyTranslationPack(pack(u"Missing", u"missing"), run.context));
    EXPECT_EQ(snapshotTree(u"data"), before);
    EXPECT_TRUE(run.errors.texts.empty());
}

TEST(ApplyTranslationPack, SamplePackTwiceGivesTheSameFilesAsOnce) {
    ScratchFolder scratch;
    copySampleGame();
    TranslationRun run;
    const TranslationEntry deutsch = loadTranslationEntry(u"deutsch.txt");
    EXPECT_TRUE(applyTranslationPack(deutsch, run.context));
    const auto once = snapshotTree(u"data\\text");
    // The second time each text is translated already: not written again (the file is the
    // same file), but its cache still goes.
    platform::FileIdentity namesOnce, namesTwice;
    ASSERT_TRUE(platform::fileIdentity(u"data\\text\\names.txt", namesOnce));
    writeFile(u"data\\text\\names.txt.strings.bin", "cache");
    EXPECT_TRUE(applyTranslationPack(deutsch, run.context));
    EXPECT_EQ(snapshotTree(u"data\\text"), once);
    EXPECT_TRUE(run.errors.texts.empty());
    ASSERT_TRUE(platform::fileIdentity(u"data\\text\\names.txt", namesTwice));
    EXPECT_EQ(namesTwice, namesOnce);

    EXPECT_EQ(
        readFile(u"data\\text\\names.txt"),
        utf16File(std::u16string(translationBanner) +
                  u"{TOWN_NORVALE}Norvale\n{TOWN_EASTMARCH}Ostmark\n{TOWN_IRONCOAST}Port Kessa\n"
                  u"{HERO_ELA}\u00C9la of the Fjords\n"
                  u"{HERO_BIO}Geboren in \u00C6r\u00F8sk\u00F8bing,\n\u00FCberquerte sie den "
                  u"\u0414\u0440\u0430\u0432\u0438\u043A-Pass\nim Winter 1203.\n"
                  u"{UNIT_SPEAR}Speertr\u00E4ger\n{UNIT_KNIGHT}Ritter\n"));
    EXPECT_FALSE(exists(u"data\\text\\names.txt.strings.bin"));
    EXPECT_FALSE(exists(u"data\\text\\menu.txt.strings.bin"));
    const std::string menu = readFile(u"data\\text\\menu.txt");
    EXPECT_EQ(menu.substr(0, 1), "\xAC");
    EXPECT_NE(menu.find("{MENU_OPTIONS}Einstellungen\r\n{MENU_CREDITS}Credits:\r\n\xDClrike"),
              std::string::npos)
        << menu;
}
