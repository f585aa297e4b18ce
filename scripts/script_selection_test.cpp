#include "scripts/script_selection.h"
#include "testing/test_support.h"

namespace {

using Slots = std::vector<std::int16_t>;

// Slots 0-5; the campaign offers 0, 1, 2, 4, 5 and a slot that does not exist (slot 3
// belongs to another campaign).
Catalogue sampleCatalogue() {
    Catalogue catalogue;
    for (const auto& [fileName, group, required, checked] :
         {std::tuple<const char16_t*, const char16_t*, bool, bool>{u"plain.txt", nullptr, 0, 1},
          {u"small_army.txt", u"Army", 1, 1},
          {u"big_army.txt", u"Army", 0, 1},
          {u"other.txt", u"Other", 1, 0},
          {u"winter.txt", u"Season", 1, 0},
          {u"summer.txt", u"season", 0, 0}}) {
        ScriptEntry& entry = catalogue.scriptList.emplace_back();
        entry.index = static_cast<std::int16_t>(catalogue.scriptList.size() - 1);
        entry.fileName = fileName;
        entry.hasGroup = group != nullptr;
        entry.groupName = group ? group : u"";
        entry.required = required;
        entry.checked = checked;
    }
    catalogue.campaignList.resize(1);
    catalogue.campaignList[0].folder = u"norvale";
    catalogue.campaignList[0].scriptIndices = {0, 1, 2, 4, 5, 40};
    return catalogue;
}

} // namespace

TEST(ScriptSelection, GroupsBoxOrderRequiredGroupsAndRememberedBoxes) {
    Catalogue catalogue = sampleCatalogue();
    const CampaignEntry campaign = catalogue.campaignList[0];
    const auto groups = buildScriptGroups(catalogue, campaign);
    ASSERT_EQ(groups.size(), 3u); // "season" and "Season" differ; "Other" is not offered
    EXPECT_EQ(groups[0].name + groups[1].name + groups[2].name, u"ArmySeasonseason");
    EXPECT_EQ(groups[0].members, (Slots{1, 2}));
    EXPECT_EQ(scriptBoxOrder(catalogue, campaign, groups), (Slots{1, 2, 4, 5, 0}));
    // One required member makes the group required; any member fills it; the first
    // required group without a ticked member is named, before each of these ticks.
    std::array<bool, maxScripts> checked{};
    std::u16string named;
    for (const std::size_t tick : {3u, 2u, 5u, 4u}) {
        const ScriptGroup* missing = findUnfilledRequiredGroup(groups, checked);
        named += (missing ? missing->name : u"-") + u" ";
        checked[tick] = true;
    }
    EXPECT_EQ(named, u"Army Army Season Season ");
    EXPECT_EQ(findUnfilledRequiredGroup(groups, checked), nullptr);
    // The remembered selection applies only to the remembered campaign.
    SetupState state;
    state.hasCampaign = state.hasScripts = true;
    state.folder = u"norvale";
    state.scriptSlots[0] = u"winter.txt";
    state.scriptSlots[2] = u"other.txt";
    const auto boxes = [&](std::u16string_view chosen) {
        computeRememberedStates(catalogue, campaign, chosen, state);
        std::vector<int> states;
        for (const auto& entry : catalogue.scriptList) {
            states.push_back(entry.rememberedState * 10 + initialBoxState(entry));
        }
        return states;
    };
    // Remembered wins over [checked]; slot 3 is not the campaign's and keeps state 0.
    EXPECT_EQ(boxes(u"norvale"), (std::vector<int>{20, 20, 20, 0, 11, 20}));
    EXPECT_EQ(boxes(u"Norvale"), (std::vector<int>{1, 1, 1, 0, 0, 0})); // exact comparison
    // Without a recorded campaign the word "none" is compared, and no script is remembered.
    state.hasCampaign = state.hasScripts = false;
    takePreviousCampaign(state);
    EXPECT_EQ(state.previousCampaign, u"none");
    EXPECT_EQ(boxes(u"none"), (std::vector<int>{20, 20, 20, 0, 20, 20}));
}
