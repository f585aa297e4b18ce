#include "catalogue/campaign_entry.h"
#include "testing/test_support.h"

using namespace testing_support;

TEST(CampaignEntry, LoadsNameAndDescriptionWithinTheirCapacities) {
    ScratchFolder scratch;
    writeFile(u"data\\campaign\\norvale\\campaign.txt",
              "[name] Norvale\r\n[description]The north\r\nruns cold.\\nBeware.\r\n");
    writeFile(u"data\\campaign\\big\\campaign.txt", "[name]" + std::string(300, 'n') +
                                                        "\r\n[description]" +
                                                        std::string(3000, 'd') + "\r\n");
    EXPECT_TRUE(campaignFileExists(u"norvale"));
    const CampaignEntry entry = loadCampaignEntry(u"norvale");
    EXPECT_EQ(entry.folder, u"norvale");
    EXPECT_EQ(entry.name, u"Norvale");
    EXPECT_EQ(entry.description, u"The northruns cold.\nBeware.");
    EXPECT_TRUE(entry.scriptIndices.empty());
    const CampaignEntry big = loadCampaignEntry(u"big");
    EXPECT_EQ(big.name.size(), 99u);
    EXPECT_EQ(big.description.size(), 1999u);
}

TEST(CampaignEntry, MissingSectionsAndMissingDescriptor) {
    ScratchFolder scratch;
    writeFile(u"data\\campaign\\bare\\campaign.txt", "nothing here\r\n");
    makeFolders(u"data\\campaign\\empty");
    makeFolders(u"data\\campaign\\odd\\campaign.txt"); // a folder, not a descriptor
    const CampaignEntry bare = loadCampaignEntry(u"bare");
    EXPECT_EQ(bare.name + bare.description, u"");
    EXPECT_FALSE(campaignFileExists(u"empty"));
    EXPECT_FALSE(campaignFileExists(u"odd"));
    EXPECT_EQ(loadCampaignEntry(u"empty").folder, u"empty");
}
