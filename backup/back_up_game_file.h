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
// When the content is the file as on disk (`lastWrite` not 0), the kept copy is first tried
// as a second name of the game file itself, which writes nothing; true then. Such a kept
// copy stays the original only while the game file is replaced, never written in place:
// whoever keeps the game file unchanged must give the copy a content of its own
// (`separateKeptCopy`).
bool backUpGameFileContent(std::u16string_view gamePath, std::u16string_view relativePath,
                           std::string_view bytes, std::int64_t lastWrite);

// Gives a kept copy that is still a second name of its game file a content of its own, in
// one step (the game file was not replaced after all). Silent.
void separateKeptCopy(std::u16string_view gamePath, std::u16string_view keptPath);
