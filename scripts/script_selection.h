// What the Script Handler decides without any window: the remembered campaign and
// remembered script states, the initial state of each box, the groups and the order of the
// boxes, and the required-group check of the confirmation. The window and the command-line
// runner both call these, so the two cannot drift apart.
#pragma once

#include "catalogue/scan_catalogue.h"
#include "recent/setup_state.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Script slots of the campaign (its scriptIndices) that exist in the list.
std::vector<std::int16_t> campaignScripts(const Catalogue& catalogue,
                                          const CampaignEntry& campaign);

// The recorded campaign (state.folder) when recent.txt had one, else "none".
std::u16string rememberedCampaign(const SetupState& state);

// The opening's record steps: previousCampaign := the remembered campaign.
void takePreviousCampaign(SetupState& state);

// rememberedState of each of the campaign's scripts: when chosenFolder is the remembered
// campaign, 1 for the scripts named in the record's slots and 2 for the others; otherwise 0.
void computeRememberedStates(Catalogue& catalogue, const CampaignEntry& campaign,
                             std::u16string_view chosenFolder, const SetupState& state);

// The Script Handler's opening: rereads recent.txt, takes the remembered campaign as the
// previously installed one and works out each script's remembered state.
void openScriptChoice(Catalogue& catalogue, const CampaignEntry& campaign,
                      std::u16string_view chosenFolder, SetupState& state);

// A box starts checked when the script was remembered as selected, or when no remembered
// selection applies and the descriptor has [checked].
bool initialBoxState(const ScriptEntry& script);

struct ScriptGroup {
    std::u16string name;
    std::vector<std::int16_t> members; // script slots, in list order
    bool required = false;
};

// One group per distinct group name (exact comparison) among the campaign's grouped
// scripts, in order of first appearance.
std::vector<ScriptGroup> buildScriptGroups(const Catalogue& catalogue,
                                           const CampaignEntry& campaign);

// The order of the boxes: the members of each group, group after group, then the scripts
// without a group in list order.
std::vector<std::int16_t> scriptBoxOrder(const Catalogue& catalogue, const CampaignEntry& campaign,
                                         const std::vector<ScriptGroup>& groups);

// The first required group (in creation order) none of whose members is checked; null when
// the choice may be confirmed.
const ScriptGroup* findUnfilledRequiredGroup(const std::vector<ScriptGroup>& groups,
                                             const std::array<bool, maxScripts>& checked);

// The message the confirmation shows for such a group.
inline constexpr std::u16string_view requiredGroupMessage =
    u"You have to select one of the %s options!";
