#include "testing/game_folder_test_support.h"

#include <filesystem>

namespace {

using testing_support::exists;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

TEST(InstallCampaignFiles, InstallsTheTreeAndKeepsWhatItReplaces) {
    ScratchFolder game;
    backup_testing::writeSmallGame();
    testing_support::makeFolders(u"data\\campaign\\backup");
    EXPECT_TRUE(installCampaignFiles(u"alpha"));

    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "alpha names");
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "game names");
    EXPECT_EQ(readFile(u"data\\world\\maps\\base\\deep\\map3.txt"), "alpha map3");
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\world\\maps\\base\\deep\\map3.txt"), "game map3");
    EXPECT_EQ(readFile(u"data\\world\\maps\\base\\map2.txt"), "game map2"); // not the campaign's
    // The descriptor stays home; a file of that name deeper down is installed.
    EXPECT_FALSE(exists(u"data\\campaign.txt"));
    EXPECT_EQ(readFile(u"data\\text\\campaign.txt"), "alpha's own text file");
    // Files new to the game get no copy; empty folders are made in both places.
    EXPECT_EQ(readFile(u"data\\world\\newzone\\zone.txt"), "alpha zone");
    EXPECT_FALSE(exists(u"data\\campaign\\backup\\world\\newzone\\zone.txt"));
    EXPECT_FALSE(exists(u"data\\campaign\\backup\\text\\campaign.txt"));
    EXPECT_TRUE(platform::folderExists(u"data\\empty"));
    EXPECT_TRUE(platform::folderExists(u"data\\campaign\\backup\\empty"));
    // The campaign's own files are untouched, and installing again changes nothing.
    EXPECT_EQ(readFile(u"data\\campaign\\alpha\\text\\names.txt"), "alpha names");
    const auto once = backup_testing::snapshot();
    EXPECT_TRUE(installCampaignFiles(u"alpha"));
    EXPECT_EQ(backup_testing::snapshot(), once)
        << backup_testing::describe(backup_testing::snapshot(), once);
}

TEST(InstallCampaignFiles, NeverReplacesAKeptCopy) {
    ScratchFolder game;
    backup_testing::writeSmallGame();
    // A restore could not move this original back: the changed file is still in data\.
    writeFile(u"data\\campaign\\backup\\text\\names.txt", "game names");
    writeFile(u"data\\text\\names.txt", "names changed by a script");
    EXPECT_TRUE(installCampaignFiles(u"alpha"));
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\names.txt"), "game names");
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "alpha names");
}

TEST(InstallCampaignFiles, OnlyTheDescriptorAndNothingOutsideTheCampaign) {
    ScratchFolder game;
    writeFile(u"data\\text\\names.txt", "game names");
    writeFile(u"data\\campaign\\bare\\campaign.txt", "[name] Bare\r\n");
    testing_support::makeFolders(u"data\\campaign\\backup");
    const auto before = backup_testing::snapshot();
    EXPECT_TRUE(installCampaignFiles(u"bare"));
    EXPECT_TRUE(backup_testing::snapshot() == before);
    // Names that would reach outside data\campaign\<name> install nothing.
    for (const char16_t* name : {u"", u".", u"..", u"bare\\..", u"..\\campaign"}) {
        EXPECT_TRUE(installCampaignFiles(name));
        EXPECT_TRUE(backup_testing::snapshot() == before) << testing_support::utf8(name);
    }
    // A campaign never writes into the backup tree.
    writeFile(u"data\\campaign\\sly\\campaign\\backup\\text\\names.txt", "forged original");
    writeFile(u"data\\campaign\\sly\\campaign\\sub\\extra.txt", "a script it brings");
    EXPECT_TRUE(installCampaignFiles(u"sly"));
    EXPECT_FALSE(exists(u"data\\campaign\\backup\\text\\names.txt"));
    EXPECT_EQ(readFile(u"data\\campaign\\sub\\extra.txt"), "a script it brings");
    // A game folder where the campaign has a file is left alone.
    writeFile(u"data\\campaign\\odd\\text", "a file where the game has a folder");
    EXPECT_TRUE(installCampaignFiles(u"odd"));
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "game names");
    EXPECT_FALSE(exists(u"data\\campaign\\backup\\text"));
}

TEST(InstallCampaignFiles, NamesThatDifferOnlyInCase) {
    ScratchFolder game;
    backup_testing::writeSmallGame();
    testing_support::makeFolders(u"data\\campaign\\backup");
    installCampaignFiles(u"beta"); // ships Text\Units.txt; the game has text\units.txt
    EXPECT_EQ(readFile(u"data\\Text\\Units.txt"), "beta units");
#ifdef _WIN32
    EXPECT_EQ(readFile(u"data\\text\\units.txt"), "beta units");
    EXPECT_EQ(readFile(u"data\\campaign\\backup\\text\\units.txt"), "game units");
#else
    EXPECT_EQ(readFile(u"data\\text\\units.txt"), "game units");
    EXPECT_FALSE(exists(u"data\\campaign\\backup\\Text\\Units.txt"));
#endif
}

#ifndef _WIN32
TEST(InstallCampaignFiles, NeverFollowsALink) {
    ScratchFolder game;
    backup_testing::writeSmallGame();
    writeFile(u"outside\\precious.txt", "from another drive");
    testing_support::makeFolders(u"data\\campaign\\backup");
    std::filesystem::create_directory_symlink("../..", "data/campaign/alpha/loop"); // a circle
    std::filesystem::create_directory_symlink("../../../outside", "data/campaign/alpha/text/away");
    std::filesystem::create_symlink("../../../outside/precious.txt",
                                    "data/campaign/alpha/file_link.txt");
    EXPECT_TRUE(installCampaignFiles(u"alpha"));
    EXPECT_EQ(readFile(u"data\\text\\names.txt"), "alpha names");
    EXPECT_FALSE(exists(u"data\\loop"));
    EXPECT_FALSE(exists(u"data\\text\\away"));
    EXPECT_FALSE(exists(u"data\\file_link.txt"));
}
#endif

} // namespace
