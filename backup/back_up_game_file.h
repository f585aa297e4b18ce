// The backup tree data\campaign\backup mirrors data\: the kept copy of "data\" + R is
// "data\campaign\backup\" + R, the game file as it was before its first change.
#pragma once

#include <string>
#include <string_view>

// Keeps a first copy of a game file before it is changed. gamePath starts with "data\"
// (data\text\names.txt); relativePath is the same without that first component
// (text\names.txt). Creates the folders of the copy on the way; an existing copy is never
// replaced (the first copy wins). Silent; always true.
bool backUpGameFile(std::u16string_view gamePath, std::u16string_view relativePath);

// The same with the content the game file has for the run that changes it (a file a script
// already changed under another spelling, not yet written).
bool backUpGameFileContent(std::u16string_view gamePath, std::u16string_view relativePath,
                           std::string_view bytes);
