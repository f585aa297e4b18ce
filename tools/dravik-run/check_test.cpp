// The check on generated game folders: its runs against the campaign runs themselves, and
// table rows that each edit a copy of the sample game and name, exactly, the finding lines
// the edit brings (what the sample gives alone is left out); the check leaves the folder as
// it found it.
#include "check.h"

#include "platform/file_system.h"
#include "testing/test_support.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

namespace {

using Lines = std::vector<std::string>;
using namespace testing_support;

// The finding lines (and the untranslated keys) of a check here; the summary lines are left
// out (they hold the time).
Lines checkLines(CheckOptions options) {
    options.untranslated = true;
    Lines lines;
    checkCommand(options, {[&](const std::string& line) {
                               if (line.rfind("check: ", 0) != 0) {
                                   lines.push_back(line);
                               }
                           },
                           [](const std::string&) {}});
    return lines;
}

void replaceIn(std::u16string_view path, std::string_view from, std::string_view to) {
    std::string bytes = readFile(path);
    const std::size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << utf8(path) << ": " << from;
    bytes.replace(at, from.size(), to);
    writeFile(path, bytes);
}

// The runner's lines (errors and status) for a command, in-process.
Lines runner(const std::vector<std::u16string>& words) {
    Lines out;
    const auto keep = [&](const std::string& line) { out.push_back(line); };
    runDravikCommand(words, {keep, keep}, false);
    return out;
}

struct Row {
    const char* what;
    std::function<void()> edit;
    Lines expected;
    CheckOptions options = {};
};

TEST(DravikCheck, FindingsOfEditedGames) {
    std::set<std::string> sample;
    {
        ScratchFolder scratch;
        copySampleGame();
        const Lines lines = checkLines({});
        sample.insert(lines.begin(), lines.end());
    }
    const std::string x3999(3999, 'x');
    const std::string n96(96, 'n');
    const std::vector<Row> rows = {
        {"descriptors of scripts",
         [] {
             replaceIn(u"data\\campaign\\sub\\hard.txt", "norvale eastmarch", "norvale eastmrch");
             // Names on two lines run together; one a line break away from its folder.
             replaceIn(u"data\\campaign\\sub\\hd.textures.txt", "norvale, eastmarch",
                       "norvale,\r\nEastmarch");
             replaceIn(u"data\\campaign\\sub\\menu_fix.txt", "[checked]",
                       "[required]\r\n[name]\r\nAgain\r\n[checked]");
             writeFile(u"data\\campaign\\sub\\nofiles.txt",
                       "[name]\r\nN\r\n[works for]\r\nnone\r\n");
         },
         {R"(data\campaign\sub\hard.txt:6: warning: [works for] names no campaign: "eastmrch")",
          R"(data\campaign\sub\hd.textures.txt:7: warning: [works for] names no campaign: )"
          R"("Eastmarch" (the folder is "eastmarch"))",
          R"(data\campaign\sub\menu_fix.txt:7: warning: [required] changes nothing without )"
          R"([grouped in])",
          R"(data\campaign\sub\menu_fix.txt:8: warning: [name] given again: only the one at )"
          R"(line 1 is read)",
          R"(data\campaign\sub\nofiles.txt:0: error: There seems to be an error with: nofiles.txt)",
          R"(data\campaign\sub\nofiles.txt:4: warning: [works for] names no campaign: "none")"}},
        {"names empty or cut",
         [] {
             replaceIn(u"data\\campaign\\eastmarch\\campaign.txt", "Eastmarch Frontier", "");
             replaceIn(u"data\\campaign\\translation\\deutsch.txt", "Deutsch", " ");
             replaceIn(u"data\\campaign\\sub\\easy.txt", "Spearmen get", std::string(2000, 'd'));
             writeFile(u"data\\campaign\\sub\\" + std::u16string(96, u'n') + u".txt",
                       "[works for]\r\nall\r\n[files]\r\n");
         },
         {R"(data\campaign\eastmarch\campaign.txt:1: error: [name] is empty: the campaign's )"
          R"(button has no label)",
          R"(data\campaign\sub\easy.txt:3: warning: [description] is cut after 1999 characters )"
          R"((line breaks in the file count))",
          R"(data\campaign\sub\)" + n96 +
              R"(.txt:0: warning: the file name has 100 characters or more: the script is not )"
              R"(listed)",
          R"(data\campaign\translation\deutsch.txt:1: error: [name] is empty: the pack's button )"
          R"(has no label)"}},
        {"keys of a pack",
         [&] {
             writeFile(
                 u"data\\campaign\\translation\\deutsch\\menu.txt",
                 "{MENU_OPTIONS}Einstellungen\r\n{MENU_LOAD}Laden\r\n{MENU_OPTIONS}Optionen\r\n"
                 "{MENU_GONE}Weg\r\n{MENU_QUIT}" +
                     x3999 + "\r\n");
         },
         {R"(data\campaign\translation\deutsch\menu.txt:3: warning: {MENU_OPTIONS} given again )"
          R"((first at line 1): a run uses the one at line 3)",
          R"(data\campaign\translation\deutsch\menu.txt:4: warning: {MENU_GONE} is not in )"
          R"(data\text\menu.txt: a run ignores it)",
          R"(data\campaign\translation\deutsch\menu.txt:5: warning: the text of {MENU_QUIT} has )"
          R"(3999 characters, more than the 3998 a translation entry holds: a run writes it whole)",
          R"(data\campaign\translation\deutsch\menu.txt: untranslated: {MENU_START})"}},
        {"what a translation run shows",
         [] {
             removeTree(u"data\\campaign\\translation\\francais");
             writeFile(u"data\\campaign\\translation\\deutsch\\nogame.txt", "{A}a\r\n");
             writeFile(u"data\\campaign\\translation\\deutsch\\units.txt", "{DESC_SPEAR}8-bit\r\n");
         },
         {R"(data\campaign\translation\deutsch\nogame.txt:0: error: Error while processing )"
          R"(Deutsch translation | File does not exist: nogame.txt)",
          R"(data\campaign\translation\deutsch\units.txt:0: error: Error while processing )"
          R"(Deutsch translation | Mode mismatch for file: units.txt)",
          R"(data\campaign\translation\francais.txt:0: error: the pack folder )"
          R"(data\campaign\translation\francais does not exist: a run changes nothing)"}},
        {"narrowed to one pack",
         [] {
             writeFile(u"data\\campaign\\translation\\deutsch\\menu.txt", "{MENU_GONE}Weg\r\n");
             writeFile(u"data\\campaign\\translation\\francais\\menu.txt",
                       "{MENU_START}Jouer\r\n{MENU_START}Jouer\r\n");
         },
         {R"(data\campaign\translation\francais\menu.txt:2: warning: {MENU_START} given again )"
          R"((first at line 1): a run uses the one at line 1)",
          R"(data\campaign\translation\francais\menu.txt: untranslated: {MENU_LOAD})",
          R"(data\campaign\translation\francais\menu.txt: untranslated: {MENU_OPTIONS})",
          R"(data\campaign\translation\francais\menu.txt: untranslated: {MENU_CREDITS})",
          R"(data\campaign\translation\francais\menu.txt: untranslated: {MENU_QUIT})"},
         CheckOptions{{}, {}, {u"francais.txt"}}},
        {"campaign files an installation skips",
         [] {
             writeFile(u"data\\campaign\\norvale\\campaign\\backup\\text\\names.txt", "kept?");
             writeFile(u"data\\maps\\norvale\\keep.map\\inside.txt", "a game folder");
#ifndef _WIN32 // the Windows build cannot make links without special rights
             std::filesystem::create_directory_symlink("../../../maps",
                                                       "data/campaign/norvale/maps/away");
#endif
         },
         {
             R"(data\campaign\norvale\campaign\backup:0: warning: the installation skips this )"
             R"(folder: the game's backup tree lies there)",
#ifndef _WIN32
             R"(data\campaign\norvale\maps\away:0: warning: a link: the installation skips it)",
#endif
             R"(data\campaign\norvale\maps\norvale\keep.map:0: warning: )"
             R"(data\maps\norvale\keep.map is a folder in the game: the installation skips this )"
             R"(file)",
         }},
    };
    for (const Row& row : rows) {
        ScratchFolder scratch;
        copySampleGame();
        row.edit();
        const Snapshot before = snapshot();
        Lines found = checkLines(row.options);
        EXPECT_EQ(describe(snapshot(), before), "") << row.what;
        EXPECT_EQ(temporaryFilesLeft(), 0u) << row.what;
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [&](const std::string& line) { return sample.count(line); }),
                    found.end());
        EXPECT_EQ(found, row.expected) << row.what;
    }
}

// What a campaign run shows with each campaign's [checked] scripts is what the check's run
// of them shows, on games an author or a player may have: as played (another campaign
// installed, its changes kept in the backup tree), with an anchor gone, a source gone, a
// game file gone, a descriptor changed by an earlier script.
TEST(Check, ItsRunsShowWhatTheCampaignRunsShow) {
    const std::pair<const char*, std::function<void()>> games[] = {
        {"as played", [] {}},
        {"an anchor gone", [] { replaceIn(u"data\\campaign\\backup\\units\\infantry\\spearmen.cfg", "hp=10", "hp=9"); }},
        {"a source gone",
         [] { platform::deleteFile(u"data\\campaign\\sub\\menu_fix\\extra_menu.txt"); }},
        {"a game file gone", [] { platform::deleteFile(u"data\\text\\menu.txt"); }},
        {"a campaign's file without the anchor",
         [] { writeFile(u"data\\campaign\\eastmarch\\text\\names.txt", "{UNIT_X}X\r\n"); }},
    };
    std::size_t messages = 0;
    for (const auto& [name, change] : games) {
        for (const char16_t* folder : {u"norvale", u"eastmarch", u"iron_coast"}) {
            SCOPED_TRACE(std::string(name) + ", " + utf8(folder));
            ScratchFolder scratch;
            copySampleGame();
            runner({u"campaign", u"norvale", u"easy.txt", u"hd.textures.txt"});
            change();
            Catalogue catalogue;
            ASSERT_TRUE(scanCatalogue(catalogue, {[](const std::u16string&) {}}));
            const CampaignEntry& campaign = *std::find_if(
                catalogue.campaignList.begin(), catalogue.campaignList.end(),
                [&](const CampaignEntry& c) { return c.folder == folder; });
            std::vector<std::int16_t> slots;
            std::vector<std::u16string> words = {u"campaign", folder};
            for (const std::int16_t slot : campaign.scriptIndices) {
                const ScriptEntry& script = catalogue.scriptList[static_cast<std::size_t>(slot)];
                if (script.checked) {
                    slots.push_back(slot);
                    words.push_back(script.fileName);
                }
            }
            Lines expected;
            for (const std::u16string& text : selectionMessages(catalogue, campaign, slots)) {
                expected.push_back("error: " + jsonString(text));
            }
            Lines shown = runner(words);
            shown.pop_back(); // the status
            EXPECT_EQ(shown, expected);
            messages += shown.size();
        }
    }
    EXPECT_GE(messages, 6u);
}

} // namespace
