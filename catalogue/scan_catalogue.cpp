#include "catalogue/scan_catalogue.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"

namespace {

std::vector<platform::FolderEntry> listing(std::u16string_view pattern) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(pattern, entries)) {
        entries.clear();
    }
    return entries;
}

void scanScripts(Catalogue& catalogue, const ErrorSink& errors) {
    for (const platform::FolderEntry& match : listing(scriptsPattern)) {
        if (catalogue.scriptList.size() >= maxScripts) {
            break;
        }
        if (match.isFolder || !fileNameFits(match.name)) {
            continue;
        }
        ScriptEntry script = loadScriptEntry(match.name, errors);
        script.index = static_cast<std::int16_t>(catalogue.scriptList.size());
        catalogue.scriptList.push_back(std::move(script));
    }
}

void scanCampaigns(Catalogue& catalogue) {
    for (const platform::FolderEntry& match : listing(campaignsPattern)) {
        if (catalogue.campaignList.size() >= maxCampaigns) {
            break;
        }
        if (!match.isFolder || !campaignFileExists(match.name) || isReservedFolder(match.name)) {
            continue;
        }
        CampaignEntry campaign = loadCampaignEntry(match.name);
        campaign.index = static_cast<std::int16_t>(catalogue.campaignList.size());
        for (const ScriptEntry& script : catalogue.scriptList) {
            if (scriptWorksFor(script, match.name)) {
                campaign.scriptIndices.push_back(script.index);
            }
        }
        catalogue.campaignList.push_back(std::move(campaign));
    }
}

void scanTranslations(Catalogue& catalogue) {
    for (const platform::FolderEntry& match : listing(translationsPattern)) {
        if (catalogue.translationList.size() >= maxTranslations) {
            break;
        }
        if (match.isFolder || !fileNameFits(match.name)) {
            continue;
        }
        TranslationEntry pack = loadTranslationEntry(match.name);
        pack.index = static_cast<std::int16_t>(catalogue.translationList.size());
        catalogue.translationList.push_back(std::move(pack));
    }
}

} // namespace

// A descriptor name the recent-selection file and the script list cannot hold whole is
// not listed: a shortened name would name another file.
bool fileNameFits(std::u16string_view name) {
    return name.size() < scriptTextCapacity;
}

bool isReservedFolder(std::u16string_view name) {
    // Exact and case-sensitive: a folder "Backup" is a campaign.
    return name == u"sub" || name == u"translation" || name == u"backup" || name == u"." ||
           name == u"..";
}

bool scanCatalogue(Catalogue& catalogue, const ErrorSink& errors) {
    catalogue = Catalogue{};
    scanScripts(catalogue, errors);
    scanCampaigns(catalogue);
    scanTranslations(catalogue);
    if (catalogue.campaignList.empty() && catalogue.translationList.empty()) {
        showError(errors, u"Not enough campaigns or core files missing!");
        return false;
    }
    return true;
}
