// The start-up scan of data\campaign: scripts, campaigns (with the scripts that work for
// each), translation packs.
#pragma once

#include "catalogue/campaign_entry.h"
#include "platform/error_sink.h"
#include "scripts/script_entry.h"
#include "translation/translation_entry.h"

#include <vector>

inline constexpr std::size_t maxCampaigns = 10;
inline constexpr std::size_t maxScripts = 30;
inline constexpr std::size_t maxTranslations = 10;

struct Catalogue {
    std::vector<CampaignEntry> campaignList;       // at most 10; index = position
    std::vector<ScriptEntry> scriptList;           // at most 30; index = position
    std::vector<TranslationEntry> translationList; // at most 10; index = position
};

// True when a descriptor's file name can be listed: shorter than the script text capacity.
bool fileNameFits(std::u16string_view name);

// The folders of data\campaign that are no campaign: "sub", "translation", "backup" (exact
// and case-sensitive: a folder "Backup" is a campaign), "." and "..".
bool isReservedFolder(std::u16string_view name);

// Runs the three passes, then the final check: false (after showing "Not enough
// campaigns or core files missing!") when neither a campaign nor a translation was found.
bool scanCatalogue(Catalogue& catalogue, const ErrorSink& errors);
