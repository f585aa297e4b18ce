#include "scripts/script_selection.h"

#include <algorithm>

std::vector<std::int16_t> campaignScripts(const Catalogue& catalogue,
                                          const CampaignEntry& campaign) {
    std::vector<std::int16_t> slots;
    for (const std::int16_t slot : campaign.scriptIndices) {
        if (slot >= 0 && static_cast<std::size_t>(slot) < catalogue.scriptList.size()) {
            slots.push_back(slot);
        }
    }
    return slots;
}

std::u16string rememberedCampaign(const SetupState& state) {
    return state.hasCampaign ? state.folder : std::u16string(u"none");
}

void takePreviousCampaign(SetupState& state) {
    state.previousCampaign = limitText(rememberedCampaign(state), folderCapacity);
}

void computeRememberedStates(Catalogue& catalogue, const CampaignEntry& campaign,
                             std::u16string_view chosenFolder, const SetupState& state) {
    const bool sameCampaign = chosenFolder == rememberedCampaign(state);
    for (const std::int16_t slot : campaignScripts(catalogue, campaign)) {
        ScriptEntry& script = catalogue.scriptList[static_cast<std::size_t>(slot)];
        if (!sameCampaign) {
            script.rememberedState = 0;
            continue;
        }
        const bool remembered =
            state.hasScripts && std::find(state.scriptSlots.begin(), state.scriptSlots.end(),
                                          script.fileName) != state.scriptSlots.end();
        script.rememberedState = remembered ? 1 : 2;
    }
}

bool initialBoxState(const ScriptEntry& script) {
    return script.rememberedState == 1 || (script.rememberedState == 0 && script.checked);
}

std::vector<ScriptGroup> buildScriptGroups(const Catalogue& catalogue,
                                           const CampaignEntry& campaign) {
    std::vector<ScriptGroup> groups;
    for (const std::int16_t slot : campaignScripts(catalogue, campaign)) {
        const ScriptEntry& script = catalogue.scriptList[static_cast<std::size_t>(slot)];
        if (!script.hasGroup) {
            continue;
        }
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const ScriptGroup& g) { return g.name == script.groupName; });
        if (group == groups.end()) {
            groups.push_back(ScriptGroup{script.groupName, {slot}, script.required});
        } else {
            group->members.push_back(slot);
            group->required = group->required || script.required;
        }
    }
    return groups;
}

std::vector<std::int16_t> scriptBoxOrder(const Catalogue& catalogue, const CampaignEntry& campaign,
                                         const std::vector<ScriptGroup>& groups) {
    std::vector<std::int16_t> order;
    for (const ScriptGroup& group : groups) {
        order.insert(order.end(), group.members.begin(), group.members.end());
    }
    for (const std::int16_t slot : campaignScripts(catalogue, campaign)) {
        if (std::find(order.begin(), order.end(), slot) == order.end()) {
            order.push_back(slot);
        }
    }
    return order;
}

const ScriptGroup* findUnfilledRequiredGroup(const std::vector<ScriptGroup>& groups,
                                             const std::array<bool, maxScripts>& checked) {
    for (const ScriptGroup& group : groups) {
        if (!group.required) {
            continue;
        }
        const bool any =
            std::any_of(group.members.begin(), group.members.end(), [&](std::int16_t slot) {
                return static_cast<std::size_t>(slot) < checked.size() &&
                       checked[static_cast<std::size_t>(slot)];
            });
        if (!any) {
            return &group;
        }
    }
    return nullptr;
}

void openScriptChoice(Catalogue& catalogue, const CampaignEntry& campaign,
                      std::u16string_view chosenFolder, SetupState& state) {
    loadRecentSelection(state);
    takePreviousCampaign(state);
    computeRememberedStates(catalogue, campaign, chosenFolder, state);
}
