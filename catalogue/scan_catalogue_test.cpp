#include "catalogue/scan_catalogue.h"
#include "testing/test_support.h"

#include <string>

using namespace testing_support;

namespace {

using Indices = std::vector<std::int16_t>;
using Names = std::vector<std::u16string>;

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

struct Scan {
    Catalogue catalogue;
    ErrorRecorder errors;
    bool ok;
    Scan() : ok(scanCatalogue(catalogue, errors.sink())) {}
    Names campaigns() const {
        Names result;
        for (const CampaignEntry& entry : catalogue.campaignList) {
            result.push_back(entry.folder);
        }
        return result;
    }
    Names scripts() const {
        Names result;
        for (const ScriptEntry& entry : catalogue.scriptList) {
            result.push_back(entry.fileName);
        }
        return result;
    }
};

std::u16string numbered(std::u16string_view prefix, int i, std::u16string_view suffix = u"") {
    return std::u16string(prefix) + char16_t(u'0' + i / 10) + char16_t(u'0' + i % 10) +
           std::u16string(suffix);
}

} // namespace

TEST(ScanCatalogue, ReservedFoldersAndFilesNamedLikeFoldersAreSkipped) {
    ScratchFolder scratch;
    for (const std::u16string_view folder : {u"backup", u"sub", u"translation", u"alpha"}) {
        makeCampaign(folder);
    }
    makeFolders(u"data\\campaign\\nodescriptor");
    makeFolders(u"data\\campaign\\odd\\campaign.txt"); // a folder named like the descriptor
    makeFolders(u"data\\campaign\\sub\\extra.txt");
    makeFolders(u"data\\campaign\\translation\\extra.txt");
    writeFile(u"data\\campaign\\loose", "[name]Not a folder\r\n");
    makeTranslation(u"real.txt");
    const Scan scan;
    EXPECT_TRUE(scan.ok);
    EXPECT_EQ(scan.campaigns(), Names{u"alpha"});
    // sub\campaign.txt is a script descriptor there, one without [files].
    EXPECT_EQ(scan.scripts(), Names{u"campaign.txt"});
    EXPECT_EQ(scan.errors.texts, Names{u"There seems to be an error with: campaign.txt"});
    ASSERT_EQ(scan.catalogue.translationList.size(), 2u); // translation\campaign.txt too
    EXPECT_EQ(scan.catalogue.translationList[1].folder, u"real");
}

TEST(ScanCatalogue, ReservedNamesAreCaseSensitive) {
    ScratchFolder scratch;
    makeCampaign(u"Backup", "Capital B");
    makeCampaign(u"SUB");
    const Scan scan;
    ASSERT_EQ(scan.campaigns(), (Names{u"Backup", u"SUB"}));
    EXPECT_EQ(scan.catalogue.campaignList[0].name, u"Capital B");
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
    const Scan scan;
    const Catalogue& catalogue = scan.catalogue;
    EXPECT_TRUE(scan.ok);
    ASSERT_EQ(catalogue.scriptList.size(), 30u);
    ASSERT_EQ(catalogue.campaignList.size(), 10u);
    ASSERT_EQ(catalogue.translationList.size(), 10u);
    EXPECT_EQ(catalogue.scriptList.back().fileName, u"s29.txt");
    EXPECT_EQ(catalogue.campaignList.back().folder, u"c09");
    EXPECT_EQ(catalogue.translationList.back().fileName, u"t09.txt");
    Indices all;
    for (std::int16_t i = 0; i < 30; ++i) {
        EXPECT_EQ(catalogue.scriptList[i].index, i);
        EXPECT_EQ(catalogue.campaignList[i % 10].index, i % 10);
        EXPECT_EQ(catalogue.translationList[i % 10].index, i % 10);
        all.push_back(i);
    }
    // Every campaign is offered all 30 listed scripts, never the ignored 31st.
    EXPECT_EQ(catalogue.campaignList[9].scriptIndices, all);
    EXPECT_TRUE(scan.errors.texts.empty());
}

TEST(ScanCatalogue, EachCampaignListsItsScriptsInScriptOrder) {
    ScratchFolder scratch;
    makeScript(u"a.txt", "alpha");
    makeScript(u"b.txt", "beta");
    makeScript(u"c.txt", "Alpha, beta");
    makeScript(u"d.txt", "beta,alpha");
    makeScript(u"e.txt", "all");
    makeScript(u"f.txt", "");
    for (const std::u16string_view campaign : {u"alpha", u"beta", u"gamma"}) {
        makeCampaign(campaign);
    }
    const Scan scan;
    ASSERT_EQ(scan.catalogue.campaignList.size(), 3u);
    EXPECT_EQ(scan.catalogue.campaignList[0].scriptIndices, (Indices{0, 3, 4}));
    EXPECT_EQ(scan.catalogue.campaignList[1].scriptIndices, (Indices{1, 2, 3, 4}));
    EXPECT_EQ(scan.catalogue.campaignList[2].scriptIndices, (Indices{4}));
}

TEST(ScanCatalogue, EnoughMeansACampaignOrATranslation) {
    const std::u16string notEnough = u"Not enough campaigns or core files missing!";
    {
        ScratchFolder scratch;
        makeScript(u"a.txt", "all");
        writeFile(u"data\\campaign\\sub\\nofiles.txt", "[name]No files\r\n");
        makeFolders(u"data\\campaign\\translation");
        const Scan scan;
        EXPECT_FALSE(scan.ok);
        EXPECT_EQ(scan.catalogue.scriptList.size(), 2u);
        EXPECT_EQ(scan.errors.texts,
                  (Names{u"There seems to be an error with: nofiles.txt", notEnough}));
    }
    {
        ScratchFolder scratch;
        makeTranslation(u"deutsch.txt");
        makeFolders(u"data\\campaign\\sub");
        const Scan scan;
        EXPECT_TRUE(scan.ok);
        EXPECT_TRUE(scan.catalogue.campaignList.empty());
        EXPECT_EQ(scan.catalogue.translationList.at(0).name, u"Pack");
        EXPECT_TRUE(scan.errors.texts.empty());
    }
    {
        ScratchFolder scratch;
        makeFolders(u"data\\text");
        Catalogue catalogue;
        catalogue.scriptList.resize(3); // left over from elsewhere: the scan starts afresh
        ErrorRecorder errors;
        EXPECT_FALSE(scanCatalogue(catalogue, errors.sink()));
        EXPECT_TRUE(catalogue.scriptList.empty());
        EXPECT_EQ(errors.texts, Names{notEnough});
    }
}

TEST(ScanCatalogue, DescriptorNamesTooLongToRememberAreNotListed) {
    ScratchFolder scratch;
    const std::u16string longName = std::u16string(96, u'x') + u".txt";    // 100 characters
    const std::u16string longestKept = std::u16string(95, u'y') + u".txt"; // 99 characters
    makeScript(longName, "all");
    makeScript(longestKept, "all");
    makeTranslation(longName);
    makeCampaign(u"alpha");
    const Scan scan;
    EXPECT_EQ(scan.scripts(), Names{longestKept});
    EXPECT_EQ(scan.catalogue.scriptList.at(0).index, 0);
    EXPECT_TRUE(scan.catalogue.translationList.empty());
    EXPECT_EQ(scan.catalogue.campaignList.at(0).scriptIndices, Indices{0});
}

TEST(ScanCatalogue, SampleGameFolder) {
    ScratchFolder scratch;
    copySampleGame();
    const Scan scan;
    const Catalogue& catalogue = scan.catalogue;
    ASSERT_TRUE(scan.ok);
    EXPECT_TRUE(scan.errors.texts.empty());
    EXPECT_EQ(scan.scripts(), (Names{u"easy.txt", u"hard.txt", u"hd.textures.txt", u"menu_fix.txt",
                                     u"more_names.txt", u"royal_titles.txt"}));
    const ScriptEntry& easy = catalogue.scriptList[0];
    EXPECT_TRUE(easy.hasGroup && easy.required && easy.checked);
    EXPECT_EQ(easy.groupName, u"Difficulty");
    EXPECT_EQ(catalogue.scriptList[2].folder, u"hd");
    EXPECT_EQ(catalogue.scriptList[4].groupName, u"Titles"); // written "Titles " in the file
    EXPECT_EQ(catalogue.scriptList[5].groupName, u"Titles");

    EXPECT_EQ(scan.campaigns(), (Names{u"eastmarch", u"iron_coast", u"norvale"}));
    EXPECT_EQ(catalogue.campaignList[0].name, u"Eastmarch Frontier");
    EXPECT_EQ(catalogue.campaignList[2].description,
              u"Defend the northern keep through three winters.\nStarts with Spearmen only.");
    EXPECT_EQ(catalogue.campaignList[0].scriptIndices, (Indices{0, 1, 2, 3, 4}));
    EXPECT_EQ(catalogue.campaignList[1].scriptIndices, (Indices{0, 3, 4}));
    EXPECT_EQ(catalogue.campaignList[2].scriptIndices, (Indices{0, 1, 2, 4, 5}));

    ASSERT_EQ(catalogue.translationList.size(), 2u);
    EXPECT_EQ(catalogue.translationList[0].folder, u"deutsch");
    EXPECT_EQ(catalogue.translationList[1].name, u"Fran\u00E7ais");
}
