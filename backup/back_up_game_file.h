// The backup tree data\campaign\backup mirrors data\: the kept copy of "data\" + R is
// "data\campaign\backup\" + R, the game file as it was before its first change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Keeps a first copy of a game file before it is changed. gamePath starts with "data\"
// (data\text\names.txt); relativePath is the same without that first component
// (text\names.txt). Creates the folders of the copy on the way; an existing copy is never
// replaced (the first copy wins). Silent; always true.
bool backUpGameFile(std::u16string_view gamePath, std::u16string_view relativePath);

// The same with the game file's content as the run has it (read already, or changed under
// another spelling and not yet written). Like a copy, the kept copy keeps the game file's
// last-write time `lastWrite` (0: none to keep); when that cannot be set, no copy is kept.
bool backUpGameFileContent(std::u16string_view gamePath, std::u16string_view relativePath,
                           std::string_view bytes, std::int64_t lastWrite);
