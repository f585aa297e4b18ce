// The backup tree data\campaign\backup mirrors data\: the kept copy of "data\" + R is
// "data\campaign\backup\" + R, the game file as it was before its first change.
#pragma once

#include <string>
#include <string_view>

// How a game file's original went into the backup tree.
enum class KeptAs {
    nothing, // not kept: a copy is there already (the first copy wins), or the keeping failed
    moved,   // the game file itself moved into the tree: its name in data\ is free now
    copied,  // a copy: the game file has other names (hard links), which must not become
             // names of the kept original
};

// Keeps the game file `gamePath` as its original at `keptPath`, right before a new version
// takes its place: the file itself moves there in one step, so the kept original is the
// very file the game had, its times included, and no byte is written. A file with other
// names is copied instead (in one step, through the safe write): moved, the kept copy would
// stay a second name of a live file, and whoever wrote into that file in place would change
// the original too. An existing kept copy is never replaced. Makes no folder.
KeptAs keepGameFile(std::u16string_view gamePath, std::u16string_view keptPath);

// keepGameFile with the kept copy's folders made on the way, one per folder level after
// "data\": gamePath starts with "data\" (data\text\names.txt), relativePath is the same
// without that first component (text\names.txt).
KeptAs backUpGameFile(std::u16string_view gamePath, std::u16string_view relativePath);
