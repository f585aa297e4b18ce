// The check's runs against the campaign runs themselves, and its findings on a game with
// the faults authors make.
#include "check.h"

#include "platform/file_system.h"
#include "platform/unicode.h"
#include "testing/test_support.h"

#include <functional>

namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;

Lines runner(const std::vector<std::u16string>& words, int* code = nullptr) {
    Lines out;
    const int result = runDravikCommand(
        words, {[&](const std::string& line) { out.push_back(line); },
                [&](const std::string& line) { out.push_back(line); }},
        false);
    if (code != nullptr) {
        *code = result;
    }
    return out;
}

void edit(std::u16string_view path, const std::string& from, const std::string& to) {
    std::string bytes = readFile(path);
    const std::size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << utf8(path);
    writeFile(path, bytes.replace(at, from.size(), to));
}

// What a campaign run shows with each campaign's [checked] scripts is what the check's run
// of them shows, on games an author or a player may have: as played (another campaign
// installed, its changes kept in the backup tree), with an anchor gone, a source gone, a
// game file gone, a descriptor changed by an earlier script.
TEST(Check, ItsRunsShowWhatTheCampaignRunsShow) {
    const std::pair<const char*, std::function<void()>> games[] = {
        {"as played", [] {}},
        {"an anchor gone", [] { edit(u"data\\campaign\\backup\\units\\infantry\\spearmen.cfg", "hp=10", "hp=9"); }},
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
