// The descriptors of scripts, campaigns and packs, read as the scan reads them, for what
// hides a script or a pack, or shows something other than its author wrote: a [works for]
// that names no campaign, a [required] that changes nothing, values cut at their capacity,
// a section given twice, an empty name, a pack without its folder, descriptors the scan
// does not list. And the campaign files an installation passes over.
#include "check.h"

#include "backup/restore_backup.h"
#include "catalogue/game_paths.h"
#include "catalogue/read_section.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "platform/unicode.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace {

// A name of blanks and line breaks only shows as nothing.
bool blank(std::u16string_view name) {
    return name.find_first_not_of(u" \n") == std::u16string_view::npos;
}

void add(CheckReport& report, const std::u16string& path, long line, Severity severity,
         std::u16string text) {
    report.findings.push_back({path, line, severity, std::move(text)});
}

// A section text file as the section reader reads it: pieces of lines, each with its line.
struct Descriptor {
    struct Piece {
        std::u16string text;
        long line = 0;
    };
    std::u16string path;
    platform::TextInput file;
    std::vector<Piece> pieces;
};

bool openDescriptor(const std::u16string& path, Descriptor& descriptor) {
    descriptor.path = path;
    if (!platform::openTextInput(path, platform::TextEncoding::Bytes8, descriptor.file)) {
        return false;
    }
    std::u16string piece;
    long line = 1;
    while (platform::readLinePiece(descriptor.file, sectionPieceLength, piece)) {
        descriptor.pieces.push_back({piece, line});
        if (piece.back() == u'\n') {
            ++line;
        }
    }
    return true;
}

// Where the pieces that start with the header stand (as many as the file has).
std::vector<std::size_t> headerPieces(const Descriptor& descriptor, std::u16string_view header) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < descriptor.pieces.size(); ++i) {
        if (descriptor.pieces[i].text.starts_with(header)) {
            found.push_back(i);
        }
    }
    return found;
}

// The line of a value section's header, 0 when the file has none. Warns of the header
// given again (only the first is read) and, with a capacity, of a value the reader cuts.
long checkSection(Descriptor& descriptor, std::u16string_view header, std::size_t capacity,
                  CheckReport& report) {
    const std::vector<std::size_t> found = headerPieces(descriptor, header);
    if (found.empty()) {
        return 0;
    }
    const long first = descriptor.pieces[found.front()].line;
    for (std::size_t i = 1; i < found.size(); ++i) {
        add(report, descriptor.path, descriptor.pieces[found[i]].line, Severity::warning,
            std::u16string(header) + u" given again: only the one at line " +
                numberText(static_cast<std::size_t>(first)) + u" is read");
    }
    std::u16string cut, whole;
    readSection(descriptor.file, header, cut, capacity);
    readSection(descriptor.file, header, whole, std::numeric_limits<std::size_t>::max());
    if (cut != whole) {
        add(report, descriptor.path, first, Severity::warning,
            std::u16string(header) + u" is cut after " + numberText(capacity - 1) +
                u" characters (line breaks in the file count)");
    }
    return first;
}

// The line of the section's value (from its header line on) that holds the text, else the
// header's line: names written over several lines run together and stand on none.
long valueLine(const Descriptor& descriptor, std::u16string_view header, std::u16string_view text) {
    const std::vector<std::size_t> found = headerPieces(descriptor, header);
    const std::size_t first = found.front();
    for (std::size_t i = first; i < descriptor.pieces.size(); ++i) {
        std::u16string_view piece = descriptor.pieces[i].text;
        if (i == first) {
            piece.remove_prefix(header.size());
        } else if (std::any_of(knownSectionHeaders.begin(), knownSectionHeaders.end(),
                               [&](std::u16string_view h) { return piece.starts_with(h); })) {
            break;
        }
        if (piece.find(text) != std::u16string_view::npos) {
            return descriptor.pieces[i].line;
        }
    }
    return descriptor.pieces[first].line;
}

void checkWorksFor(const Catalogue& catalogue, const ScriptEntry& script,
                   const Descriptor& descriptor, long line, CheckReport& report) {
    const std::u16string_view noCampaign = u": the script is offered for no campaign";
    if (line == 0) {
        add(report, descriptor.path, 0, Severity::warning,
            u"no [works for]" + std::u16string(noCampaign));
        return;
    }
    const std::vector<std::u16string_view> tokens = worksForTokens(script.worksFor);
    for (const std::u16string_view token : tokens) {
        if (token == u"all" ||
            std::any_of(catalogue.campaignList.begin(), catalogue.campaignList.end(),
                        [&](const CampaignEntry& c) { return c.folder == token; })) {
            continue;
        }
        std::u16string text = u"[works for] names no campaign: \"" + std::u16string(token) + u"\"";
        for (const CampaignEntry& campaign : catalogue.campaignList) {
            if (platform::equalsIgnoringCase(campaign.folder, token)) {
                text += u" (the folder is \"" + campaign.folder + u"\")";
                break;
            }
        }
        add(report, descriptor.path, valueLine(descriptor, u"[works for]", token),
            Severity::warning, std::move(text));
    }
    if (tokens.empty()) {
        add(report, descriptor.path, line, Severity::warning,
            u"[works for] is empty" + std::u16string(noCampaign));
    }
}

void checkScript(const Catalogue& catalogue, const ScriptEntry& script, CheckReport& report) {
    Descriptor descriptor;
    if (!openDescriptor(scriptDescriptorPath(script.fileName), descriptor)) {
        add(report, descriptor.path, 0, Severity::warning,
            u"cannot be read: the script is offered for no campaign");
        return;
    }
    // What the scan shows of it, by the scan's own reading (the check's scan keeps quiet).
    loadScriptEntry(script.fileName, ErrorSink{[&](const std::u16string& text) {
                        add(report, descriptor.path, 0, Severity::error, text);
                    }});
    const long name = checkSection(descriptor, u"[name]", nameCapacity, report);
    if (blank(script.name)) {
        add(report, descriptor.path, name, Severity::warning,
            (name == 0 ? u"no [name]" : u"[name] is empty") +
                std::u16string(u": the script's box has no label"));
    }
    checkSection(descriptor, u"[description]", descriptionCapacity, report);
    const long worksFor = checkSection(descriptor, u"[works for]", scriptTextCapacity, report);
    checkWorksFor(catalogue, script, descriptor, worksFor, report);
    checkSection(descriptor, u"[grouped in]", scriptTextCapacity, report);
    if (script.required && !script.hasGroup) {
        add(report, descriptor.path,
            descriptor.pieces[headerPieces(descriptor, u"[required]").front()].line,
            Severity::warning, u"[required] changes nothing without [grouped in]");
    }
}

// An empty name is an empty button in the main window: an error.
void checkName(Descriptor& descriptor, const CatalogueEntry& entry, std::u16string_view what,
               CheckReport& report) {
    const long line = checkSection(descriptor, u"[name]", nameCapacity, report);
    if (blank(entry.name)) {
        add(report, descriptor.path, line, Severity::error,
            (line == 0 ? u"no [name]" : u"[name] is empty") + std::u16string(u": the ") +
                std::u16string(what) + u"'s button has no label");
    }
}

void checkPack(const TranslationEntry& pack, CheckReport& report) {
    Descriptor descriptor;
    if (openDescriptor(translationDescriptorPath(pack.fileName), descriptor)) {
        checkName(descriptor, pack, u"pack", report);
    }
    const std::u16string folder = translationFolderPath(pack.folder);
    std::vector<platform::FolderEntry> files;
    if (pack.folder.empty()) {
        add(report, descriptor.path, 0, Severity::error,
            u"the file name gives no pack folder: a run changes nothing");
    } else if (!platform::folderExists(folder)) {
        add(report, descriptor.path, 0, Severity::error,
            u"the pack folder " + folder + u" does not exist: a run changes nothing");
    } else if (!platform::listFolder(joinPath(folder, u"*.txt"), files) ||
               std::all_of(files.begin(), files.end(),
                           [](const platform::FolderEntry& f) { return f.isFolder; })) {
        add(report, descriptor.path, 0, Severity::warning,
            u"the pack folder " + folder + u" holds no .txt file: a run changes nothing");
    }
}

// Descriptors the scan passes over without a word: past the limits of the lists, or with a
// file name too long to be remembered.
void checkUnlisted(const Catalogue& catalogue, const CheckOptions& options, CheckReport& report) {
    std::vector<platform::FolderEntry> entries;
    const auto listed = [](const auto& list, std::u16string_view name, auto nameOf) {
        return std::any_of(list.begin(), list.end(),
                           [&](const auto& entry) { return nameOf(entry) == name; });
    };
    if (options.scripts.empty() && options.campaigns.empty() &&
        platform::listFolder(scriptsPattern, entries)) {
        for (const platform::FolderEntry& entry : entries) {
            if (!entry.isFolder && !listed(catalogue.scriptList, entry.name,
                                           [](const ScriptEntry& s) { return s.fileName; })) {
                add(report, scriptDescriptorPath(entry.name), 0, Severity::warning,
                    !fileNameFits(entry.name)
                        ? u"the file name has " + numberText(scriptTextCapacity) +
                              u" characters or more: the script is not listed"
                        : u"more than " + numberText(maxScripts) +
                              u" scripts: this one is not listed");
            }
        }
    }
    if (options.campaigns.empty() && platform::listFolder(campaignsPattern, entries)) {
        for (const platform::FolderEntry& entry : entries) {
            if (entry.isFolder && !isReservedFolder(entry.name) && campaignFileExists(entry.name) &&
                !listed(catalogue.campaignList, entry.name,
                        [](const CampaignEntry& c) { return c.folder; })) {
                add(report, campaignDescriptorPath(entry.name), 0, Severity::warning,
                    u"more than " + numberText(maxCampaigns) +
                        u" campaigns: this one is not listed");
            }
        }
    }
    if (options.packs.empty() && platform::listFolder(translationsPattern, entries)) {
        for (const platform::FolderEntry& entry : entries) {
            if (!entry.isFolder && !listed(catalogue.translationList, entry.name,
                                           [](const TranslationEntry& t) { return t.fileName; })) {
                add(report, translationDescriptorPath(entry.name), 0, Severity::warning,
                    !fileNameFits(entry.name)
                        ? u"the file name has " + numberText(scriptTextCapacity) +
                              u" characters or more: the pack is not listed"
                        : u"more than " + numberText(maxTranslations) +
                              u" packs: this one is not listed");
            }
        }
    }
}

// A script is looked at when chosen, and, with campaigns chosen, when it is offered for one
// of them or for none (a misspelt [works for] may be meant for one of them).
bool scriptChosen(const Catalogue& catalogue, const CheckOptions& options,
                  const ScriptEntry& script) {
    if (!isChosen(options.scripts, script.fileName)) {
        return false;
    }
    if (options.campaigns.empty()) {
        return true;
    }
    bool offered = false;
    for (const CampaignEntry& campaign : catalogue.campaignList) {
        if (std::find(campaign.scriptIndices.begin(), campaign.scriptIndices.end(), script.index) !=
            campaign.scriptIndices.end()) {
            offered = true;
            if (isChosen(options.campaigns, campaign.folder)) {
                return true;
            }
        }
    }
    return !offered;
}

} // namespace

void checkDescriptors(const Catalogue& catalogue, const CheckOptions& options,
                      CheckReport& report) {
    for (const ScriptEntry& script : catalogue.scriptList) {
        if (scriptChosen(catalogue, options, script)) {
            checkScript(catalogue, script, report);
        }
    }
    for (const CampaignEntry& campaign : catalogue.campaignList) {
        Descriptor descriptor;
        if (isChosen(options.campaigns, campaign.folder) &&
            openDescriptor(campaignDescriptorPath(campaign.folder), descriptor)) {
            checkName(descriptor, campaign, u"campaign", report);
            checkSection(descriptor, u"[description]", descriptionCapacity, report);
        }
    }
    for (const TranslationEntry& pack : catalogue.translationList) {
        if (isChosen(options.packs, pack.fileName)) {
            checkPack(pack, report);
        }
    }
    checkUnlisted(catalogue, options, report);
}

void checkCampaignFiles(const Catalogue& catalogue, const CheckOptions& options,
                        CheckReport& report) {
    const std::u16string backupFolder = std::u16string(backupRoot) + u'\\';
    for (const CampaignEntry& campaign : catalogue.campaignList) {
        if (!isChosen(options.campaigns, campaign.folder)) {
            continue;
        }
        const std::u16string root = campaignFolderPath(campaign.folder);
        std::vector<TreeStep> steps;
        walkTree(root, u"\\", steps);
        // By folder below data\ ("\maps\"): the names (platform's form) of the game's
        // folders in it, listed once.
        std::map<std::u16string, std::set<std::u16string>> gameFolders;
        const auto gameFolderNames = [&](const std::u16string& folder) -> const auto& {
            const auto known = gameFolders.find(folder);
            if (known != gameFolders.end()) {
                return known->second;
            }
            std::set<std::u16string>& names = gameFolders[folder];
            std::vector<platform::FolderEntry> entries;
            if (platform::listFolder(u"data" + folder + u"*", entries)) {
                for (const platform::FolderEntry& entry : entries) {
                    if (entry.isFolder) {
                        names.insert(platform::fileNameKey(entry.name));
                    }
                }
            }
            return names;
        };
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const TreeStep& step = steps[i];
            switch (step.kind) {
            case TreeStep::Kind::link:
                add(report, root + step.relative, 0, Severity::warning,
                    u"a link: the installation skips it");
                break;
            case TreeStep::Kind::folder:
                if (platform::equalsIgnoringCase(u"data" + step.relative, backupFolder)) {
                    add(report, root + step.relative.substr(0, step.relative.size() - 1), 0,
                        Severity::warning,
                        u"the installation skips this folder: the game's backup tree lies "
                        u"there");
                    while (steps[i].kind != TreeStep::Kind::folderEnd ||
                           steps[i].relative != step.relative) {
                        ++i;
                    }
                }
                break;
            case TreeStep::Kind::folderEnd:
                break;
            case TreeStep::Kind::file: {
                if (step.relative == u"\\campaign.txt") {
                    break; // the descriptor
                }
                const std::u16string folder =
                    step.relative.substr(0, step.relative.rfind(u'\\') + 1);
                if (gameFolderNames(folder).count(platform::fileNameKey(step.entry.name)) != 0) {
                    add(report, root + step.relative, 0, Severity::warning,
                        u"data" + step.relative +
                            u" is a folder in the game: the installation skips this file");
                }
                break;
            }
            }
        }
    }
}
