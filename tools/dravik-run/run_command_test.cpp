// The runner as a developer drives it: its output, exit codes and refusals. Runs in-process.
#include "run_command.h"

#include "platform/file_system.h"
#include "testing/test_support.h"

namespace {

struct Captured {
    std::vector<std::string> out, err;
    RunnerOutput sink() {
        return RunnerOutput{[this](const std::string& line) { out.push_back(line); },
                            [this](const std::string& line) { err.push_back(line); }};
    }
};

int run(const testing_support::ScratchFolder& scratch, std::vector<std::u16string> arguments,
        Captured& captured) {
    const int code = runDravikCommand(arguments, captured.sink(), false);
    platform::setCurrentDirectory(scratch.path());
    platform::setFaultPlan({});
    return code;
}

} // namespace

TEST(DravikRun, JsonStringsArePlainAscii) {
    EXPECT_EQ(jsonString(u"a\"b\\c\nd\u00E7\u4E2D\u007F"), R"("a\"b\\c\u000ad\u00e7\u4e2d\u007f")");
    EXPECT_EQ(jsonString(u""), "\"\"");
}

TEST(DravikRun, ListPrintsTheCatalogueOneJsonObjectALine) {
    testing_support::ScratchFolder scratch;
    testing_support::makeFolders(u"game");
    platform::setCurrentDirectory(scratch.path() + u"\\game");
    testing_support::copySampleGame();
    platform::setCurrentDirectory(scratch.path());
    Captured captured;
    ASSERT_EQ(run(scratch, {u"--game", scratch.path() + u"\\game", u"list"}, captured),
              runnerCompleted);
    EXPECT_TRUE(captured.err.empty());
    ASSERT_EQ(captured.out.size(), 11u);
    EXPECT_EQ(
        captured.out[0],
        R"({"kind":"campaign","index":0,"folder":"eastmarch","name":"Eastmarch Frontier","scripts":[0,1,2,3,4]})");
    EXPECT_EQ(
        captured.out[7],
        R"({"kind":"script","index":4,"fileName":"more_names.txt","name":"More heroes","groupName":"Titles","hasGroup":true,"checked":true,"required":false,"worksFor":"all"})");
    EXPECT_EQ(
        captured.out[10],
        R"({"kind":"translation","index":1,"fileName":"francais.txt","folder":"francais","name":"Fran\u00e7ais"})");
}

TEST(DravikRun, RefusalsAndUsageErrorsChangeNothing) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    const auto before = testing_support::snapshotTree(u".");
    const std::vector<std::vector<std::u16string>> usage = {
        {},
        {u"install"},
        {u"campaign"},
        {u"campaign", u"westmarch", u"easy.txt"},
        {u"campaign", u"eastmarch", u"easy.txt", u"missing.txt"},
        {u"campaign", u"eastmarch", u"easy.txt", u"royal_titles.txt"}, // offered for norvale only
        {u"translation", u"klingon.txt"},
        {u"translation"},
        {u"list", u"extra"},
        {u"--fail-op", u"x", u"list"},
        {u"--stop-after-op"},
        {u"--verbose", u"list"},
        {u"--fail-op", u"3", u"--stop-after-op", u"4", u"list"},
    };
    for (const auto& arguments : usage) {
        Captured captured;
        EXPECT_EQ(run(scratch, arguments, captured), runnerUsageError) << arguments.size();
        EXPECT_FALSE(captured.err.empty());
        EXPECT_TRUE(captured.out.empty());
    }
    Captured refused;
    EXPECT_EQ(run(scratch, {u"campaign", u"norvale", u"hd.textures.txt"}, refused), runnerRefused);
    EXPECT_EQ(refused.err, (std::vector<std::string>{
                               R"(error: "You have to select one of the Difficulty options!")"}));
    EXPECT_TRUE(refused.out.empty());
    EXPECT_EQ(testing_support::snapshotTree(u"."), before);
}

TEST(DravikRun, StartUpErrorRefuses) {
    testing_support::ScratchFolder scratch;
    testing_support::writeFile(u"data\\campaign\\sub\\lonely.txt",
                               "[works for]\r\nall\r\n[files]\r\n");
    Captured captured;
    EXPECT_EQ(run(scratch, {u"list"}, captured), runnerRefused);
    EXPECT_EQ(captured.err, (std::vector<std::string>{
                                R"(error: "Not enough campaigns or core files missing!")"}));
    EXPECT_TRUE(captured.out.empty());
}

TEST(DravikRun, RunsReportErrorsAlongTheWayAndTheFinalStatus) {
    testing_support::ScratchFolder scratch;
    testing_support::copySampleGame();
    testing_support::writeFile(
        u"data\\campaign\\sub\\zz_missing.txt",
        "[works for]\r\nall\r\n[files]\r\nappend data\\text\\nothing.txt with extra.txt\r\n");
    Captured campaign;
    EXPECT_EQ(run(scratch, {u"campaign", u"iron_coast", u"easy.txt", u"zz_missing.txt"}, campaign),
              runnerCompleted);
    EXPECT_EQ(campaign.out, (std::vector<std::string>{R"(status: "Using:\u000aThe Iron Coast")"}));
    ASSERT_EQ(campaign.err.size(), 1u);
    EXPECT_EQ(
        campaign.err[0],
        R"(error: "Error while processing zz_missing.txt\u000a\u000aThese two files do not exist: )"
        R"(data\\text\\nothing.txt and data\\campaign\\sub\\zz_missing\\extra.txt")");
    EXPECT_EQ(
        testing_support::readFile(u"data\\campaign\\recent.txt"),
        "[campaign] iron_coast\r\n[scripts] easy.txt zz_missing.txt \r\n[translation] none\r\n");

    Captured translation;
    EXPECT_EQ(run(scratch, {u"translation", u"francais.txt"}, translation), runnerCompleted);
    EXPECT_EQ(translation.out,
              (std::vector<std::string>{R"(status: "Using:\u000aFran\u00e7ais")"}));
    EXPECT_TRUE(translation.err.empty());
    EXPECT_EQ(
        testing_support::readFile(u"data\\campaign\\recent.txt"),
        "[campaign] iron_coast\r\n[scripts] easy.txt zz_missing.txt  \r\n[translation] Fran\xE7"
        "ais\r\n");
}
