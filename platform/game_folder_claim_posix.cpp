#include "platform/game_folder_claim.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

GameFolderClaim::~GameFolderClaim() {
    releaseGameFolder(*this);
}

bool claimGameFolder(GameFolderClaim& claim) {
    releaseGameFolder(claim);
    claim.busy = false;
    claim.key = 0;
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return true;
    }
    struct stat folder {};
    if (::fstat(fd, &folder) == 0) {
        claim.key = (static_cast<std::uint64_t>(folder.st_dev) << 40) ^ folder.st_ino;
    }
    // The lock belongs to this open descriptor: a second open of the folder, in this
    // process or another, cannot take it while the first lives.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        claim.busy = errno == EWOULDBLOCK;
        ::close(fd);
        return !claim.busy;
    }
    claim.handle = fd;
    claim.held = true;
    return true;
}

void releaseGameFolder(GameFolderClaim& claim) {
    if (claim.held) {
        ::close(static_cast<int>(claim.handle));
    }
    claim.held = false;
    claim.handle = -1;
}

} // namespace platform
