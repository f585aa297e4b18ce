#include "catalogue/campaign_entry.h"

#include "catalogue/game_paths.h"
#include "catalogue/read_section.h"
#include "platform/file_system.h"

bool campaignFileExists(std::u16string_view folderName) {
    std::string start;
    return platform::readFileStart(campaignDescriptorPath(folderName), 0, start);
}

CampaignEntry loadCampaignEntry(std::u16string_view folderName) {
    CampaignEntry entry;
    entry.folder = limitText(folderName, folderCapacity);
    platform::TextInput file;
    if (!platform::openTextInput(campaignDescriptorPath(entry.folder),
                                 platform::TextEncoding::Bytes8, file)) {
        return entry;
    }
    readSection(file, u"[name]", entry.name, nameCapacity);
    readSection(file, u"[description]", entry.description, descriptionCapacity);
    return entry;
}
