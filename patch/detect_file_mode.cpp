#include "patch/patch_records.h"

#include "platform/file_system.h"

#include <string>

FileMode detectFileMode(std::u16string_view path) {
    std::string start;
    if (!platform::readFileStart(path, 2, start)) {
        return FileMode::missing;
    }
    return fileModeOf(start);
}

FileMode fileModeOf(std::string_view start) {
    if (start.size() >= 2 && static_cast<unsigned char>(start[0]) == 0xFF &&
        static_cast<unsigned char>(start[1]) == 0xFE) {
        return FileMode::utf16;
    }
    return FileMode::bytes8;
}
