#include "scripts/script_selection.h"
#include "testing/test_support.h"

namespace {

ScriptEntry script(std::int16_t index, std::u16string fileName, std::u16string group = {},
                   bool required = false, bool checked = false) {
    ScriptEntry entry;
    entry.index = index;
    entry.fileName = std::move(fileName);
    entry.hasGroup = !group.empty();
    entry.groupName = std::move(group);
    entry.required = required;
    entry.checked = checked;
    return entry;
}

// Slots 0-5; the campaign offers 0, 1, 2, 4, 5 (slot 3 belongs to another campaign).
Catalogue sampleCatalogue() {
    Catalogue catalogue;
    catalogue.scriptList = {
        script(0, u"plain.txt", {}, false, true),
        script(1, u"small_army.txt", u"Army", false, true),
        script(2, u"big_army.txt", u"Army", true, true),
        script(3, u"other.txt", u"Army", true),
        script(4, u"winter.txt", u"Season", true),
        script(5, u"summer.txt", u"season"),
    };
    CampaignEntry campaign;
    campaign.folder = u"norvale";
    campaign.scriptIndices = {0, 1, 2, 4, 5};
    catalogue.campaignList.push_back(campaign);
    return catalogue;
}

} // namespace

TEST(ScriptSelection, GroupsAreExactNamesInOrderOfAppearanceAndBoxesFollowThem) {
    Catalogue catalogue = sampleCatalogue();
    const CampaignEntry& campaign = catalogue.campaignList[0];
    const auto groups = buildScriptGroups(catalogue, campaign);
    ASSERT_EQ(groups.size(), 3u); // "season" and "Season" differ
    EXPECT_EQ(groups[0].name, u"Army");
    EXPECT_EQ(groups[0].members, (std::vector<std::int16_t>{1, 2})); // slot 3 is not offered
    EXPECT_TRUE(groups[0].required);                                 // one required member suffices
    EXPECT_EQ(groups[1].name, u"Season");
    EXPECT_TRUE(groups[1].required);
    EXPECT_EQ(groups[2].name, u"season");
    EXPECT_FALSE(groups[2].required);
    EXPECT_EQ(scriptBoxOrder(catalogue, campaign, groups),
              (std::vector<std::int16_t>{1, 2, 4, 5, 0}));
}

TEST(ScriptSelection, RequiredGroupCheckNamesTheFirstEmptyRequiredGroup) {
    Catalogue catalogue = sampleCatalogue();
    const auto groups = buildScriptGroups(catalogue, catalogue.campaignList[0]);
    std::array<bool, maxScripts> checked{};
    const ScriptGroup* missing = findUnfilledRequiredGroup(groups, checked);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->name, u"Army");
    checked[3] = true; // a member of the same group name, but not offered here
    ASSERT_NE(findUnfilledRequiredGroup(groups, checked), nullptr);
    EXPECT_EQ(findUnfilledRequiredGroup(groups, checked)->name, u"Army");
    checked[1] = true;
    ASSERT_NE(findUnfilledRequiredGroup(groups, checked), nullptr);
    EXPECT_EQ(findUnfilledRequiredGroup(groups, checked)->name, u"Season");
    checked[4] = true; // the optional "season" group may stay empty
    EXPECT_EQ(findUnfilledRequiredGroup(groups, checked), nullptr);
    EXPECT_EQ(formatMessage(requiredGroupMessage, {missing->name}),
              u"You have to select one of the Army options!");
}

TEST(ScriptSelection, RememberedSelectionAppliesOnlyToTheRememberedCampaign) {
    Catalogue catalogue = sampleCatalogue();
    const CampaignEntry& campaign = catalogue.campaignList[0];
    SetupState state;
    state.hasCampaign = true;
    state.folder = u"norvale";
    state.hasScripts = true;
    state.scriptSlots[0] = u"winter.txt";
    state.scriptSlots[2] = u"other.txt";

    takePreviousCampaign(state);
    EXPECT_EQ(state.previousCampaign, u"norvale");
    computeRememberedStates(catalogue, campaign, u"norvale", state);
    const auto initial = [&] {
        std::vector<bool> states;
        for (const auto& entry : catalogue.scriptList) {
            states.push_back(initialBoxState(entry));
        }
        return states;
    };
    // Remembered wins over [checked]; slot 3 is not the campaign's and keeps state 0.
    EXPECT_EQ(initial(), (std::vector<bool>{false, false, false, false, true, false}));
    EXPECT_EQ(catalogue.scriptList[3].rememberedState, 0);

    computeRememberedStates(catalogue, campaign, u"Norvale", state); // exact comparison
    EXPECT_EQ(initial(), (std::vector<bool>{true, true, true, false, false, false}));
}

TEST(ScriptSelection, WithoutARecordedCampaignTheWordNoneIsCompared) {
    Catalogue catalogue = sampleCatalogue();
    catalogue.campaignList[0].folder = u"none";
    SetupState state; // nothing loaded: all flags clear
    state.folder = u"stale";
    takePreviousCampaign(state);
    EXPECT_EQ(state.previousCampaign, u"none");
    computeRememberedStates(catalogue, catalogue.campaignList[0], u"none", state);
    // "none" counts as the remembered campaign, and no script is remembered by name.
    for (std::int16_t slot : catalogue.campaignList[0].scriptIndices) {
        EXPECT_EQ(catalogue.scriptList[static_cast<std::size_t>(slot)].rememberedState, 2);
        EXPECT_FALSE(initialBoxState(catalogue.scriptList[static_cast<std::size_t>(slot)]));
    }
}
