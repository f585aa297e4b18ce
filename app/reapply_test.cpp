// Choosing the installed campaign again moves back and copies only what the scripts
// changed and what differs from the campaign, and ends in the very game folder the full
// way ends in (restore everything, install everything, scripts), on generated folders.
#include "app/setup_runs.h"
#include "backup/restore_backup.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

// A game with a campaign "c" (a file over a game text, a map of the game map's size, files
// it adds) and three scripts: s1 changes a campaign file, s2 a game file, s3 keeps a file
// the campaign added and then cannot change it (its source is UTF-16).
void writeGame() {
    const std::vector<std::pair<std::u16string, std::string>> files = {
        {u"text\\names.txt", "{A} game\r\n"},
        {u"text\\units.txt", "{U} one\r\n{V} two\r\n"},
        {u"maps\\a\\m1.map", std::string("GAME\0MAP", 8)},
        {u"campaign\\c\\campaign.txt", "[name]\r\nC\r\n"},
        {u"campaign\\c\\text\\names.txt", "{A} campaign\r\n"},
        {u"campaign\\c\\text\\added.txt", "{N} added\r\n"},
        {u"campaign\\c\\maps\\a\\m1.map", std::string("CAMP\0MAP", 8)},
        {u"campaign\\c\\maps\\a\\new.map", "new map"},
        {u"campaign\\sub\\s1.txt", "[name]\r\nS1\r\n[files]\r\n"
                                   "append data\\text\\names.txt with x.txt\r\n"},
        {u"campaign\\sub\\s1\\x.txt", "{X} s1\r\n"},
        {u"campaign\\sub\\s2.txt", "[name]\r\nS2\r\n[files]\r\n"
                                   "replace data\\text\\units.txt with y.txt on:\r\n{U} one\r\n"},
        {u"campaign\\sub\\s2\\y.txt", "{Y} s2\r\n"},
        {u"campaign\\sub\\s3.txt", "[name]\r\nS3\r\n[files]\r\n"
                                   "append data\\text\\added.txt with u.txt\r\n"},
        {u"campaign\\sub\\s3\\u.txt", std::string("\xFF\xFEu\0", 4)},
    };
    for (const auto& [path, bytes] : files) {
        writeFile(u"data\\" + path, bytes);
    }
    makeFolders(u"data\\campaign\\backup");
}

// Gives the campaign's files a time long past, as files unpacked from a download have.
void ageCampaign() {
    for (const auto& [path, bytes] : snapshot(u"data\\campaign\\c")) {
        platform::setLastWriteTime(u"data\\campaign\\c\\" + path,
                                   platform::currentFileTime() - 3600 * platform::fileTimeSecond);
    }
}

// A campaign run of "c" with the named scripts, as the windows start it.
void run(const std::vector<std::u16string>& scripts) {
    AppState app;
    ErrorRecorder errors;
    app.errors = errors.sink();
    ASSERT_TRUE(scanCatalogue(app.catalogue, app.errors));
    loadRecentSelection(app.setupState);
    app.setupState.previousCampaign = app.setupState.hasCampaign ? app.setupState.folder : u"none";
    std::array<bool, maxScripts> checked{};
    for (const ScriptEntry& script : app.catalogue.scriptList) {
        checked[static_cast<std::size_t>(script.index)] =
            std::find(scripts.begin(), scripts.end(), script.fileName) != scripts.end();
    }
    app.chosenCampaignFolder = u"c";
    confirmCampaignChoice(app, checked);
    runCampaignSetup(app);
}

struct Case {
    const char* name;
    bool aged;                          // campaign files from long ago (else just written)
    std::u16string unchanged;           // a campaign copy that stays where it is, or none
    std::vector<std::u16string> before; // the scripts of the installation
    std::function<void()> meanwhile;    // what changes before the campaign is chosen again
    std::vector<std::u16string> again;  // the scripts chosen then
};

const std::vector<Case> cases = {
    {"one script changed", true, u"data\\maps\\a\\m1.map", {u"s1.txt", u"s3.txt"}, [] {},
     {u"s1.txt", u"s2.txt"}},
    {"the same scripts", true, u"data\\maps\\a\\m1.map", {u"s1.txt", u"s2.txt", u"s3.txt"},
     [] {}, {u"s1.txt", u"s2.txt", u"s3.txt"}},
    {"a campaign file updated, a game copy edited",
     true,
     u"data\\text\\names.txt",
     {u"s2.txt"},
     [] {
         writeFile(u"data\\campaign\\c\\maps\\a\\m1.map", std::string("CAMP\0NEW", 8));
         writeFile(u"data\\maps\\a\\new.map", "new MAP");
     },
     {u"s2.txt"}},
    {"campaign files written moments before", false, {}, {u"s1.txt"}, [] {}, {u"s1.txt"}},
};

} // namespace

TEST(ReappliedCampaign, EndsAsTheFullWayAndLeavesUnchangedCopiesInPlace) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        makeFolders(u"base");
        platform::setCurrentDirectory(scratch.path() + u"\\base");
        writeGame();
        if (c.aged) {
            ageCampaign();
        }
        run(c.before);
        // A copy keeps the campaign file's time, unless that file was written moments before:
        // a change of the copy within the same tick would then pass for no change.
        platform::FileInfo copy, original;
        ASSERT_TRUE(platform::fileInfo(u"data\\maps\\a\\m1.map", copy));
        ASSERT_TRUE(platform::fileInfo(u"data\\campaign\\c\\maps\\a\\m1.map", original));
        EXPECT_EQ(copy.lastWrite == original.lastWrite, c.aged);
        c.meanwhile();
        platform::setCurrentDirectory(scratch.path());
        copyTree(u"base", u"fast");
        copyTree(u"base", u"full");

        // True when the case's unchanged copy is the same file afterwards (not copied again).
        const auto chooseAgain = [&](std::u16string_view folder, bool restoreFirst) {
            platform::setCurrentDirectory(scratch.path() + u"\\" + std::u16string(folder));
            if (restoreFirst) {
                restoreBackup(); // everything back: nothing is left to keep where it is
            }
            platform::FileIdentity before, after;
            const bool known = platform::fileIdentity(c.unchanged, before);
            run(c.again);
            const bool stayed =
                known && platform::fileIdentity(c.unchanged, after) && before == after;
            platform::setCurrentDirectory(scratch.path());
            return stayed;
        };
        EXPECT_EQ(chooseAgain(u"fast", false), !c.unchanged.empty());
        EXPECT_FALSE(chooseAgain(u"full", true));
        EXPECT_EQ(snapshot(u"fast\\data"), snapshot(u"full\\data"));
    }
}
