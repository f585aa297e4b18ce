#include "catalogue/scan_catalogue.h"
#include "testing/test_support.h"

#include <string>

using namespace testing_support;

namespace {

void makeCampaign(std::u16string_view folder, std::string_view name = "A campaign") {
    writeFile(u"data\\campaign\\" + std::u16string(folder) + u"\\campaign.txt",
              "[name]\r\n" + std::string(name) + "\r\n");
}

void makeScript(std::u16string_view fileName, std::string_view worksFor) {
    writeFile(u"data\\campaign\\sub\\" + std::u16string(fileName),
              "[name]Script\r\n[works for]\r\n" + std::string(worksFor) + "\r\n[files]\r\n");
}

void makeTranslation(std::u16string_view fileName) {
    writeFile(u"data\\campaign\\translation\\" + std::u16string(fileName), "[name]Pack\r\n");
}

std::vector<std::u16string> folders(const std::vector<CampaignEntry>& list) {
    std::vector<std::u16string> result;
    for (const CampaignEntry& entry : list) {
        result.push_back(entry.folder);
    }
    return result;
}

template <typename Entry> void expectIndexesArePositions(const std::vector<Entry>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].index, static_cast<std::int16_t>(i));
    }
}

std::u16string numbered(std::u16string_view prefix, int i, std::u16string_view suffix = u"") {
    std::u16string text(prefix);
    text += static_cast<char16_t>(u'0' + i / 10);
    text += static_cast<char16_t>(u'0' + i % 10);
    return text + std::u16string(suffix);
}

} // namespace

TEST(ScanCatalogue, ReservedFoldersAreNeverCampaigns) {
    ScratchFolder scratch;
    for (const std::u16string_view folder : {u"backup", u"sub", u"translation", u"alpha"}) {
        makeCampaign(folder);
    }
    makeFolders(u"data\\campaign\\nodescriptor");
    makeFolders(u"data\\campaign\\odd\\campaign.txt"); // a folder named like the descriptor
    writeFile(u"data\\campaign\\loose", "[name]Not a folder\r\n");
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_TRUE(scanCatalogue(catalogue, errors.sink()));
    EXPECT_EQ(folders(catalogue.campaignList), std::vector<std::u16string>{u"alpha"});
    // sub\campaign.txt is a script descriptor there, one without [files].
    EXPECT_EQ(errors.texts,
              std::vector<std::u16string>{u"There seems to be an error with: campaign.txt"});
}

TEST(ScanCatalogue, ReservedNamesAreCaseSensitive) {
    ScratchFolder scratch;
    makeCampaign(u"Backup", "Capital B");
    makeCampaign(u"SUB");
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_TRUE(scanCatalogue(catalogue, errors.sink()));
    EXPECT_EQ(folders(catalogue.campaignList), (std::vector<std::u16string>{u"Backup", u"SUB"}));
    EXPECT_EQ(catalogue.campaignList[0].name, u"Capital B");
}

TEST(ScanCatalogue, FoldersNamedLikeDescriptorsAreSkipped) {
    ScratchFolder scratch;
    makeCampaign(u"alpha");
    makeFolders(u"data\\campaign\\sub\\extra.txt");
    makeFolders(u"data\\campaign\\translation\\extra.txt");
    makeScript(u"real.txt", "all");
    makeTranslation(u"real.txt");
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_TRUE(scanCatalogue(catalogue, errors.sink()));
    ASSERT_EQ(catalogue.scriptList.size(), 1u);
    EXPECT_EQ(catalogue.scriptList[0].fileName, u"real.txt");
    ASSERT_EQ(catalogue.translationList.size(), 1u);
    EXPECT_EQ(catalogue.translationList[0].fileName, u"real.txt");
    EXPECT_EQ(catalogue.translationList[0].folder, u"real");
    EXPECT_EQ(catalogue.campaignList[0].scriptIndices, std::vector<std::int16_t>{0});
}

TEST(ScanCatalogue, LimitsKeepTheFirstEntriesInListingOrder) {
    ScratchFolder scratch;
    for (int i = 0; i < 31; ++i) {
        makeScript(numbered(u"s", i, u".txt"), "all");
    }
    for (int i = 0; i < 12; ++i) {
        makeCampaign(numbered(u"c", i));
    }
    for (int i = 0; i < 11; ++i) {
        makeTranslation(numbered(u"t", i, u".txt"));
    }
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_TRUE(scanCatalogue(catalogue, errors.sink()));
    ASSERT_EQ(catalogue.scriptList.size(), 30u);
    ASSERT_EQ(catalogue.campaignList.size(), 10u);
    ASSERT_EQ(catalogue.translationList.size(), 10u);
    EXPECT_EQ(catalogue.scriptList.back().fileName, u"s29.txt");
    EXPECT_EQ(catalogue.campaignList.back().folder, u"c09");
    EXPECT_EQ(catalogue.translationList.back().fileName, u"t09.txt");
    expectIndexesArePositions(catalogue.scriptList);
    expectIndexesArePositions(catalogue.campaignList);
    expectIndexesArePositions(catalogue.translationList);
    // Every campaign is offered all 30 listed scripts, never the ignored 31st.
    std::vector<std::int16_t> all;
    for (std::int16_t i = 0; i < 30; ++i) {
        all.push_back(i);
    }
    EXPECT_EQ(catalogue.campaignList[9].scriptIndices, all);
    EXPECT_TRUE(errors.texts.empty());
}

TEST(ScanCatalogue, EachCampaignListsItsScriptsInScriptOrder) {
    ScratchFolder scratch;
    makeScript(u"a.txt", "alpha");
    makeScript(u"b.txt", "beta");
    makeScript(u"c.txt", "Alpha, beta");
    makeScript(u"d.txt", "beta,alpha");
    makeScript(u"e.txt", "all");
    makeScript(u"f.txt", "");
    makeCampaign(u"alpha");
    makeCampaign(u"beta");
    makeCampaign(u"gamma");
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_TRUE(scanCatalogue(catalogue, errors.sink()));
    ASSERT_EQ(catalogue.campaignList.size(), 3u);
    EXPECT_EQ(catalogue.campaignList[0].scriptIndices, (std::vector<std::int16_t>{0, 3, 4}));
    EXPECT_EQ(catalogue.campaignList[1].scriptIndices, (std::vector<std::int16_t>{1, 2, 3, 4}));
    EXPECT_EQ(catalogue.campaignList[2].scriptIndices, (std::vector<std::int16_t>{4}));
}

TEST(ScanCatalogue, ScriptsAloneAreNotEnough) {
    ScratchFolder scratch;
    makeScript(u"a.txt", "all");
    writeFile(u"data\\campaign\\sub\\nofiles.txt", "[name]No files\r\n");
    makeFolders(u"data\\campaign\\translation");
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_FALSE(scanCatalogue(catalogue, errors.sink()));
    EXPECT_EQ(catalogue.scriptList.size(), 2u);
    EXPECT_EQ(errors.texts,
              (std::vector<std::u16string>{u"There seems to be an error with: nofiles.txt",
                                           u"Not enough campaigns or core files missing!"}));
}

TEST(ScanCatalogue, TranslationsWithoutCampaignsAreEnough) {
    ScratchFolder scratch;
    makeTranslation(u"deutsch.txt");
    makeFolders(u"data\\campaign\\sub");
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_TRUE(scanCatalogue(catalogue, errors.sink()));
    EXPECT_TRUE(catalogue.campaignList.empty());
    EXPECT_TRUE(catalogue.scriptList.empty());
    ASSERT_EQ(catalogue.translationList.size(), 1u);
    EXPECT_EQ(catalogue.translationList[0].name, u"Pack");
    EXPECT_TRUE(errors.texts.empty());
}

TEST(ScanCatalogue, NoCampaignFolderAtAll) {
    ScratchFolder scratch;
    makeFolders(u"data\\text");
    Catalogue catalogue;
    catalogue.scriptList.resize(3); // left over from elsewhere: the scan starts afresh
    ErrorRecorder errors;
    EXPECT_FALSE(scanCatalogue(catalogue, errors.sink()));
    EXPECT_TRUE(catalogue.scriptList.empty());
    EXPECT_EQ(errors.texts,
              std::vector<std::u16string>{u"Not enough campaigns or core files missing!"});
}

TEST(ScanCatalogue, DescriptorNamesTooLongToRememberAreNotListed) {
    ScratchFolder scratch;
    const std::u16string longName = std::u16string(96, u'x') + u".txt";    // 100 characters
    const std::u16string longestKept = std::u16string(95, u'y') + u".txt"; // 99 characters
    makeScript(longName, "all");
    makeScript(longestKept, "all");
    makeTranslation(longName);
    makeCampaign(u"alpha");
    Catalogue catalogue;
    ErrorRecorder errors;
    EXPECT_TRUE(scanCatalogue(catalogue, errors.sink()));
    ASSERT_EQ(catalogue.scriptList.size(), 1u);
    EXPECT_EQ(catalogue.scriptList[0].fileName, longestKept);
    EXPECT_EQ(catalogue.scriptList[0].index, 0);
    EXPECT_TRUE(catalogue.translationList.empty());
    EXPECT_EQ(catalogue.campaignList[0].scriptIndices, std::vector<std::int16_t>{0});
}

TEST(ScanCatalogue, SampleGameFolder) {
    ScratchFolder scratch;
    copySampleGame();
    Catalogue catalogue;
    ErrorRecorder errors;
    ASSERT_TRUE(scanCatalogue(catalogue, errors.sink()));
    EXPECT_TRUE(errors.texts.empty());

    std::vector<std::u16string> scripts;
    for (const ScriptEntry& script : catalogue.scriptList) {
        scripts.push_back(script.fileName);
    }
    EXPECT_EQ(scripts, (std::vector<std::u16string>{u"easy.txt", u"hard.txt", u"hd.textures.txt",
                                                    u"menu_fix.txt", u"more_names.txt",
                                                    u"royal_titles.txt"}));
    const ScriptEntry& easy = catalogue.scriptList[0];
    EXPECT_TRUE(easy.hasGroup && easy.required && easy.checked);
    EXPECT_EQ(easy.groupName, u"Difficulty");
    EXPECT_EQ(catalogue.scriptList[2].folder, u"hd");
    EXPECT_EQ(catalogue.scriptList[4].groupName, u"Titles"); // written "Titles " in the file
    EXPECT_EQ(catalogue.scriptList[5].groupName, u"Titles");

    EXPECT_EQ(folders(catalogue.campaignList),
              (std::vector<std::u16string>{u"eastmarch", u"iron_coast", u"norvale"}));
    EXPECT_EQ(catalogue.campaignList[0].name, u"Eastmarch Frontier");
    EXPECT_EQ(catalogue.campaignList[0].description,
              u"Hold the river border with a handful of knights.");
    EXPECT_EQ(catalogue.campaignList[2].description,
              u"Defend the northern keep through three winters.\nStarts with Spearmen only.");
    EXPECT_EQ(catalogue.campaignList[0].scriptIndices, (std::vector<std::int16_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(catalogue.campaignList[1].scriptIndices, (std::vector<std::int16_t>{0, 3, 4}));
    EXPECT_EQ(catalogue.campaignList[2].scriptIndices, (std::vector<std::int16_t>{0, 1, 2, 4, 5}));

    ASSERT_EQ(catalogue.translationList.size(), 2u);
    EXPECT_EQ(catalogue.translationList[0].name, u"Deutsch");
    EXPECT_EQ(catalogue.translationList[0].folder, u"deutsch");
    EXPECT_EQ(catalogue.translationList[1].name, u"Fran\u00E7ais");
}
