#include "translation/translation_entry.h"

#include "catalogue/game_paths.h"
#include "catalogue/read_section.h"
#include "platform/text_file.h"

TranslationEntry loadTranslationEntry(std::u16string_view fileName) {
    TranslationEntry entry;
    // Kept whole, as a script's name is: the pack folder is named from it.
    entry.fileName = std::u16string(fileName);
    const std::size_t dot = entry.fileName.find(u'.');
    if (dot != std::u16string::npos) {
        entry.folder = entry.fileName.substr(0, dot);
    }
    platform::TextInput file;
    if (platform::openTextInput(translationDescriptorPath(entry.fileName),
                                platform::TextEncoding::Bytes8, file)) {
        readSection(file, u"[name]", entry.name, nameCapacity);
    }
    return entry;
}
