// A campaign: a folder data\campaign\<folder> whose campaign.txt names and describes it.
#pragma once

#include "catalogue/catalogue_entry.h"

#include <vector>

struct CampaignEntry : CatalogueEntry {
    // Indexes (in the script list) of the scripts that work for this campaign, ascending;
    // at most 30. Their number is the campaign's script count.
    std::vector<std::int16_t> scriptIndices;
    void* button = nullptr; // the campaign's button while the main window shows the list
};

// True when "data\campaign\<folderName>\campaign.txt" can be opened for reading.
bool campaignFileExists(std::u16string_view folderName);

// Reads the campaign's descriptor; an unreadable one gives empty name and description.
CampaignEntry loadCampaignEntry(std::u16string_view folderName);
