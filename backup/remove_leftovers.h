// What a crash or power cut in a run leaves of ours in the game folder: the safe writes'
// temporary files (whole new texts and partial kept copies alike), recognised by their
// name alone.
#pragma once

#include <cstddef>

// Deletes every file named as our temporary files are (platform::isTemporaryFileName) in
// the game folder itself and anywhere below data\; nothing else is touched and links are
// not followed. Gives the number of files deleted.
std::size_t removeLeftovers();
