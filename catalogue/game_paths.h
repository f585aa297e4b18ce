// Every path form of the game folder the system uses, in one place. Paths are relative to
// the game folder (the current directory) and use "\" as the separator.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::u16string_view campaignsFolder = u"data\\campaign";
inline constexpr std::u16string_view campaignsPattern = u"data\\campaign\\*";
inline constexpr std::u16string_view recentSelectionPath = u"data\\campaign\\recent.txt";
// Present while a run works: found at start-up, it tells of a run that did not finish.
inline constexpr std::u16string_view unfinishedRunMarker = u"data\\campaign\\~dravik-unfinished";
inline constexpr std::u16string_view backupRoot = u"data\\campaign\\backup";
inline constexpr std::u16string_view scriptsPattern = u"data\\campaign\\sub\\*.txt";
inline constexpr std::u16string_view translationsPattern = u"data\\campaign\\translation\\*.txt";
inline constexpr std::u16string_view textCachePattern = u"data\\text\\*.txt.strings.bin";
inline constexpr std::u16string_view savesFolder = u"saves";
inline constexpr std::u16string_view backgroundPicturePath = u"data\\menu\\setup_bg.bmp";
inline constexpr std::u16string_view launcherPath = u"Dravik_Launcher.exe";

// "a\b" from "a" and "b".
inline std::u16string joinPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    path += u'\\';
    path += name;
    return path;
}

// data\campaign\<campaign>: a campaign's own folder, laid out like data\.
inline std::u16string campaignFolderPath(std::u16string_view campaign) {
    return joinPath(campaignsFolder, campaign);
}
inline std::u16string campaignDescriptorPath(std::u16string_view campaign) {
    return joinPath(campaignFolderPath(campaign), u"campaign.txt");
}

// data\campaign\sub\<fileName> and the script's own folder data\campaign\sub\<baseName>.
inline std::u16string scriptDescriptorPath(std::u16string_view fileName) {
    return joinPath(u"data\\campaign\\sub", fileName);
}
inline std::u16string scriptFolderPath(std::u16string_view baseName) {
    return joinPath(u"data\\campaign\\sub", baseName);
}

// data\campaign\translation\<fileName> and the pack's folder of keyed text files.
inline std::u16string translationDescriptorPath(std::u16string_view fileName) {
    return joinPath(u"data\\campaign\\translation", fileName);
}
inline std::u16string translationFolderPath(std::u16string_view folder) {
    return joinPath(u"data\\campaign\\translation", folder);
}

// data\text\<name> and the game's compiled cache of it.
inline std::u16string gameTextPath(std::u16string_view name) {
    return joinPath(u"data\\text", name);
}
inline std::u16string textCachePath(std::u16string_view textPath) {
    return std::u16string(textPath) + u".strings.bin";
}

// The kept copy of data\<relative>: data\campaign\backup\<relative>.
inline std::u16string keptCopyPath(std::u16string_view relative) {
    return joinPath(backupRoot, relative);
}

// Where a campaign's save games wait while another campaign is installed.
inline std::u16string parkedSavesFolder(std::u16string_view campaign) {
    return u"save_" + std::u16string(campaign);
}
