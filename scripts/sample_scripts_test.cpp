// The sample game's scripts, applied for real: every script a campaign offers runs without
// a single message and changes what it was written to change.
#include "backup/restore_backup.h"
#include "backup/switch_campaign.h"
#include "catalogue/scan_catalogue.h"
#include "patch/run_patch_script.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "testing/test_support.h"

#include <algorithm>

using namespace testing_support;

namespace {

bool contains(const std::string& bytes, std::string_view part) {
    return bytes.find(part) != std::string::npos;
}

std::string utf16Bytes(std::u16string_view text) {
    return platform::encodeText(text, platform::TextEncoding::Utf16);
}

// Installs the campaign as a campaign run does (restore first, which makes the backup
// tree) and applies every script it offers, in script order.
void applyEveryOfferedScript(std::u16string_view campaign) {
    Catalogue catalogue;
    ErrorRecorder errors;
    ASSERT_TRUE(scanCatalogue(catalogue, errors.sink()));
    ASSERT_TRUE(restoreBackup());
    ASSERT_TRUE(installCampaignFiles(campaign));
    TouchedFileList touched = createTouchedFileList();
    PatchContext context{errors.sink(), &touched};
    const auto entry = std::ranges::find(catalogue.campaignList, campaign, &CampaignEntry::folder);
    ASSERT_NE(entry, catalogue.campaignList.end());
    for (const std::int16_t index : entry->scriptIndices) {
        const ScriptEntry& script = catalogue.scriptList[static_cast<std::size_t>(index)];
        const ScriptJob job{script.folder, u"data\\campaign\\sub\\" + script.fileName,
                            script.fileName};
        EXPECT_TRUE(runPatchScript(job, context)) << utf8(script.fileName);
    }
    for (const std::u16string& text : errors.texts) {
        ADD_FAILURE() << utf8(campaign) << ": " << utf8(text);
    }
}

} // namespace

TEST(SampleScripts, Norvale) {
    ScratchFolder scratch;
    copySampleGame();
    applyEveryOfferedScript(u"norvale");
    const std::string spearmen = readFile(u"data\\units\\infantry\\spearmen.cfg");
    EXPECT_TRUE(contains(spearmen, "\r\nhp=14\r\n") && contains(spearmen, "attack=4\r\n"))
        << spearmen;
    EXPECT_TRUE(
        contains(readFile(u"data\\units\\cavalry\\knights.cfg"), "-- stats --\r\nhp=28\r\n"));
    EXPECT_EQ(readFile(u"data\\art\\units\\knight.pic"),
              readFile(u"data\\campaign\\sub\\hd\\knight_hd.pic"));
    EXPECT_EQ(readFile(u"data\\maps\\world\\regions.txt"),
              readFile(u"data\\campaign\\sub\\hd\\regions.txt"));
    EXPECT_TRUE(exists(u"data\\maps\\norvale\\keep.map"));
    const std::string names = readFile(u"data\\text\\names.txt");
    EXPECT_TRUE(contains(names, utf16Bytes(u"{HERO_ELA}Queen \u00C9la of the Fjords\n")));
    EXPECT_TRUE(contains(names, utf16Bytes(u"{UNIT_KNIGHT}Knights\n{HERO_ORIN}Orin the Grey\n")));
    EXPECT_TRUE(contains(names, utf16Bytes(u"{HERO_MAREK}Marek D\u00FBn\n")));
}

TEST(SampleScripts, EastmarchAndIronCoast) {
    for (const std::u16string_view campaign : {u"eastmarch", u"iron_coast"}) {
        ScratchFolder scratch;
        copySampleGame();
        const std::string knightsBefore = readFile(u"data\\units\\cavalry\\knights.cfg");
        applyEveryOfferedScript(campaign);
        const std::string menu = readFile(u"data\\text\\menu.txt");
        EXPECT_EQ(menu.substr(0, 1), "\xAC");
        EXPECT_TRUE(contains(menu, "{MENU_OPTIONS}Settings\r\n{MENU_CREDITS}")) << menu;
        EXPECT_TRUE(contains(
            menu, "{MENU_ACHIEVE}Achievements\r\n{MENU_QUIT}Quit\r\n\r\n{MENU_MODS}Mods \xA9\r\n"));
        EXPECT_FALSE(contains(menu, "unused entry"));
        const std::string knights = readFile(u"data\\units\\cavalry\\knights.cfg");
        if (campaign == u"eastmarch") {
            EXPECT_TRUE(contains(knights, "hp=28")); // hard.txt works for eastmarch
        } else {
            EXPECT_EQ(knights, knightsBefore);
            EXPECT_TRUE(contains(readFile(u"data\\maps\\world\\regions.txt"), "owner=ironcoast"));
        }
    }
}
