#include "scripts/script_entry.h"

#include "catalogue/game_paths.h"
#include "catalogue/read_section.h"
#include "platform/text_file.h"

ScriptEntry loadScriptEntry(std::u16string_view fileName, const ErrorSink& errors) {
    ScriptEntry entry;
    // The file name is kept whole: it names the descriptor and the script's own folder, and
    // a path built from a shortened name would reach some other file. The scan never lists
    // a descriptor whose name is too long to be remembered (see scan_catalogue.cpp).
    entry.fileName = std::u16string(fileName);
    const std::size_t dot = entry.fileName.find(u'.');
    if (dot != std::u16string::npos) {
        entry.folder = entry.fileName.substr(0, dot);
    }

    platform::TextInput file;
    if (!platform::openTextInput(scriptDescriptorPath(entry.fileName),
                                 platform::TextEncoding::Bytes8, file)) {
        return entry;
    }
    std::u16string unused;
    readSection(file, u"[name]", entry.name, nameCapacity);
    readSection(file, u"[description]", entry.description, descriptionCapacity);
    if (!readSection(file, u"[files]", unused, 0)) {
        showError(errors, u"There seems to be an error with: %s", {entry.fileName});
    }
    readSection(file, u"[works for]", entry.worksFor, scriptTextCapacity);
    std::u16string group;
    entry.hasGroup = readSection(file, u"[grouped in]", group, scriptTextCapacity);
    entry.groupName = normaliseGroupName(group);
    entry.checked = readSection(file, u"[checked]", unused, 0);
    entry.required = readSection(file, u"[required]", unused, 0);
    return entry;
}
