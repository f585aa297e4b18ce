#include "catalogue/scan_catalogue.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {

using Names = std::vector<std::u16string>;
using Indices = std::vector<std::int16_t>;

void makeCampaign(std::u16string_view folder, std::string_view text = "[name]C\r\n") {
    writeFile(u"data\\campaign\\" + std::u16string(folder) + u"\\campaign.txt", text);
}
void makeScript(std::u16string_view fileName, std::string_view worksFor = "all") {
    writeFile(u"data\\campaign\\sub\\" + std::u16string(fileName),
              "[works for]\r\n" + std::string(worksFor) + "\r\n[files]\r\n");
}
std::u16string numbered(char16_t prefix, int i, std::u16string_view suffix = u"") {
    return std::u16string{prefix, char16_t(u'0' + i / 10), char16_t(u'0' + i % 10)} +
           std::u16string(suffix);
}

struct Scan {
    Catalogue catalogue{{}, std::vector<ScriptEntry>(3), {}}; // left over: the scan starts afresh
    ErrorRecorder errors;
    bool ok = scanCatalogue(catalogue, errors.sink());
    template <typename List, typename Field> Names names(const List& list, Field field) const {
        Names out;
        for (const auto& entry : list) {
            out.push_back(entry.*field);
        }
        return out;
    }
    Names campaigns() const { return names(catalogue.campaignList, &CampaignEntry::folder); }
    Names scripts() const { return names(catalogue.scriptList, &ScriptEntry::fileName); }
};

} // namespace

TEST(ScanCatalogue, NothingToChooseFromIsAnError) {
    ScratchFolder scratch;
    makeScript(u"lonely.txt"); // scripts alone do not make a catalogue
    const Scan scan;
    EXPECT_FALSE(scan.ok);
    EXPECT_EQ(scan.errors.texts, Names{u"Not enough campaigns or core files missing!"});
}

TEST(ScanCatalogue, ReservedFoldersOddEntriesAndNamesTooLongToRemember) {
    ScratchFolder scratch;
    for (const std::u16string_view folder :
         {u"backup", u"sub", u"translation", u"Backup", u"SUB"}) {
        makeCampaign(folder); // reserved names are exact and case-sensitive
    }
    makeFolders(u"data\\campaign\\nodescriptor");
    makeFolders(u"data\\campaign\\odd\\campaign.txt");
    makeFolders(u"data\\campaign\\sub\\extra.txt");
    makeFolders(u"data\\campaign\\translation\\extra.txt");
    writeFile(u"data\\campaign\\loose", "[name]Not a folder\r\n");
    makeScript(std::u16string(96, u'x') + u".txt"); // 100 characters: not listed
    makeScript(std::u16string(95, u'y') + u".txt");
    writeFile(u"data\\campaign\\translation\\" + std::u16string(96, u'x') + u".txt", "[name]P\r\n");
    const Scan scan;
#ifdef _WIN32
    // Names that differ only in case are one folder there: "Backup" is "backup" itself.
    EXPECT_EQ(scan.campaigns(), Names{});
#else
    ASSERT_EQ(scan.campaigns(), (Names{u"Backup", u"SUB"}));
    EXPECT_EQ(scan.catalogue.campaignList[1].scriptIndices, (Indices{1}));
#endif
    // sub\campaign.txt is a script descriptor there, one without [files].
    EXPECT_EQ(scan.scripts(), (Names{u"campaign.txt", std::u16string(95, u'y') + u".txt"}));
    EXPECT_EQ(scan.errors.texts, Names{u"There seems to be an error with: campaign.txt"});
    EXPECT_EQ(scan.names(scan.catalogue.translationList, &TranslationEntry::fileName),
              Names{u"campaign.txt"});
}

TEST(ScanCatalogue, LimitsKeepTheFirstEntriesAndEachCampaignListsItsScripts) {
    ScratchFolder scratch;
    for (int i = 0; i < 31; ++i) {
        // The 31st is never listed, so no campaign is offered it.
        makeScript(numbered(u's', i, u".txt"), i % 30 == 0 ? "all"
                                               : i == 1    ? "c01"
                                               : i == 2    ? "C01, c02 c03,c00"
                                                           : "");
    }
    for (int i = 0; i < 12; ++i) {
        makeCampaign(numbered(u'c', i));
        writeFile(u"data\\campaign\\translation\\" + numbered(u't', i, u".txt"), "[name]P\r\n");
    }
    makeCampaign(u"c00",
                 "[name]" + std::string(300, 'n') + "\r\n[description]" + std::string(3000, 'd'));
    const Scan scan;
    ASSERT_EQ(scan.scripts().size(), 30u);
    ASSERT_EQ(scan.campaigns().size(), 10u);
    ASSERT_EQ(scan.catalogue.translationList.size(), 10u);
    EXPECT_EQ(scan.campaigns().back(), u"c09");
    EXPECT_EQ(scan.catalogue.campaignList[0].scriptIndices, (Indices{0, 2}));
    EXPECT_EQ(scan.catalogue.campaignList[1].scriptIndices, (Indices{0, 1}));
    EXPECT_EQ(scan.catalogue.campaignList[4].scriptIndices, (Indices{0}));
    // Each text is cut to its own capacity.
    EXPECT_EQ(scan.catalogue.campaignList[0].name, std::u16string(nameCapacity - 1, u'n'));
    EXPECT_EQ(scan.catalogue.campaignList[0].description.size(), descriptionCapacity - 1);
}
