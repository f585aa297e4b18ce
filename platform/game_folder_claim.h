// One program at a time in a game folder. A copy that starts while another works in the
// same folder would take the other's temporary files and its unfinished-run marker for a
// crash's leftovers and remove them; the claim is taken before anything touches the folder
// and keeps such a copy out. Copies in two different folders never meet.
//
// Win32: a named mutex of the folder's identity (volume and file index, so that every
// spelling of the folder, short names and junctions included, names the same mutex).
// POSIX: an exclusive flock on a descriptor of the folder itself; no file is made.
// Either way the system releases the claim when the process ends, however it ends.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

struct GameFolderClaim {
    bool held = false;
    bool busy = false;     // another process holds the folder
    std::uint64_t key = 0; // names the folder alike in every process; 0 when unknown
    std::intptr_t handle = -1;

    GameFolderClaim() = default;
    GameFolderClaim(const GameFolderClaim&) = delete;
    GameFolderClaim& operator=(const GameFolderClaim&) = delete;
    ~GameFolderClaim();
};

// Claims the current directory for this process. False only when another process holds
// it (`busy`). When the claim cannot be made for another reason (no handle left) the
// result is true without `held`: the program then works as it would without claims.
bool claimGameFolder(GameFolderClaim& claim);

// Lets the folder go (also done when the record is destroyed); a second call does nothing.
void releaseGameFolder(GameFolderClaim& claim);

// What a copy says when it finds its folder busy and no window of the other to bring forward.
inline constexpr std::u16string_view gameFolderBusyMessage =
    u"Dravik Setup is already running in this game folder.";

} // namespace platform
