// The runner as a developer drives it: its output, exit codes and refusals. Runs in-process.
#include "run_command.h"

#include "platform/game_folder_claim.h"
#include "testing/test_support.h"

namespace {

using Lines = std::vector<std::string>;
using namespace testing_support;

struct Captured {
    Lines out, err;
    int code = 0;
    Captured(const std::vector<std::u16string>& arguments) {
        code = runDravikCommand(arguments,
                                {[this](const std::string& line) { out.push_back(line); },
                                 [this](const std::string& line) { err.push_back(line); }},
                                false);
    }
};

TEST(DravikRun, OutputExitCodesAndRefusals) {
    EXPECT_EQ(jsonString(u"a\"b\\c\nd\u00E7\u4E2D\u007F"), R"("a\"b\\c\u000ad\u00e7\u4e2d\u007f")");
    ScratchFolder scratch;
    copyTree(sourceDirectory() + u"\\sample\\game", u"game");
    writeFile(u"game\\data\\campaign\\sub\\zz_missing.txt",
              "[works for]\r\nall\r\n[files]\r\nappend data\\text\\nothing.txt with extra.txt\r\n");
    const Captured list({u"--game", scratch.path() + u"\\game", u"list"}); // enters the game
    EXPECT_EQ(list.code, runnerCompleted);
    ASSERT_EQ(list.out.size(), 12u); // 3 campaigns, 7 scripts, 2 translations
    EXPECT_EQ(list.out[7], R"({"kind":"script","index":4,"fileName":"more_names.txt",)"
                           R"("name":"More heroes","groupName":"Titles","hasGroup":true,)"
                           R"("checked":true,"required":false,"worksFor":"all"})");
    const Snapshot before = snapshot();
    for (const std::vector<std::u16string>& arguments : std::vector<std::vector<std::u16string>>{
             {},
             {u"campaign", u"eastmarch", u"easy.txt", u"royal_titles.txt"}, // norvale's only
             {u"--fail-op", u"3", u"--stop-after-op", u"4", u"list"},
         }) {
        const Captured usage(arguments);
        EXPECT_EQ(usage.code, runnerUsageError) << arguments.size();
        EXPECT_TRUE(usage.out.empty() && !usage.err.empty());
    }
    platform::GameFolderClaim other; // another copy works here (the list's claim is gone)
    ASSERT_TRUE(platform::claimGameFolder(other) && other.held);
    const Captured busy({u"campaign", u"iron_coast", u"easy.txt"});
    EXPECT_EQ(busy.code, runnerRefused);
    EXPECT_EQ(busy.err, Lines{R"(error: "Dravik Setup is already running in this game folder.")"});
    platform::releaseGameFolder(other);
    const Captured refused({u"campaign", u"norvale", u"hd.textures.txt"});
    EXPECT_EQ(refused.code, runnerRefused);
    EXPECT_EQ(refused.err, Lines{R"(error: "You have to select one of the Difficulty options!")"});
    EXPECT_EQ(describe(snapshot(), before), "");
    // Errors along the way, then the final status.
    const Captured campaign({u"campaign", u"iron_coast", u"easy.txt", u"zz_missing.txt"});
    EXPECT_EQ(campaign.code, runnerCompleted);
    EXPECT_EQ(campaign.out, Lines{R"(status: "Using:\u000aThe Iron Coast")"});
    EXPECT_EQ(campaign.err,
              Lines{R"(error: "Error while processing zz_missing.txt\u000a\u000aThese two files )"
                    R"(do not exist: data\\text\\nothing.txt and )"
                    R"(data\\campaign\\sub\\zz_missing\\extra.txt")"});
    const Captured translation({u"translation", u"francais.txt"});
    EXPECT_EQ(translation.out, Lines{R"(status: "Using:\u000aFran\u00e7ais")"});
    EXPECT_TRUE(translation.err.empty());
}

} // namespace
