#include "catalogue/campaign_entry.h"

#include "catalogue/read_section.h"
#include "platform/file_system.h"

namespace {
std::u16string descriptorPath(std::u16string_view folderName) {
    return u"data\\campaign\\" + std::u16string(folderName) + u"\\campaign.txt";
}
} // namespace

bool campaignFileExists(std::u16string_view folderName) {
    std::string start;
    return platform::readFileStart(descriptorPath(folderName), 0, start);
}

CampaignEntry loadCampaignEntry(std::u16string_view folderName) {
    CampaignEntry entry;
    entry.folder = limitText(folderName, folderCapacity);
    platform::TextInput file;
    if (!platform::openTextInput(descriptorPath(entry.folder), platform::TextEncoding::Bytes8,
                                 file)) {
        return entry;
    }
    readSection(file, u"[name]", entry.name, nameCapacity);
    readSection(file, u"[description]", entry.description, descriptionCapacity);
    return entry;
}
