#include "patch/patch_records.h"

#include <algorithm>

TouchedFileList createTouchedFileList() {
    return TouchedFileList{};
}

bool isFileTouched(const TouchedFileList& list, std::u16string_view path) {
    return std::find(list.names.begin(), list.names.end(), path) != list.names.end();
}

void addTouchedFile(TouchedFileList& list, std::u16string_view path) {
    list.names.emplace_back(path);
}
