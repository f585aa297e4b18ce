#include "platform/game_folder_claim.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

// FNV-1a over the bytes: the folder's 64-bit name.
std::uint64_t hashBytes(const void* data, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

// The folder's identity. Where the file system gives none (some network shares report
// index 0 for everything), its full path with the letters folded as names compare.
std::uint64_t currentFolderKey() {
    HANDLE folder = CreateFileW(L".", FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    bool known = false;
    if (folder != INVALID_HANDLE_VALUE) {
        known = GetFileInformationByHandle(folder, &info) &&
                (info.nFileIndexHigh | info.nFileIndexLow) != 0;
        CloseHandle(folder);
    }
    if (known) {
        const DWORD identity[3] = {info.dwVolumeSerialNumber, info.nFileIndexHigh,
                                   info.nFileIndexLow};
        return hashBytes(identity, sizeof identity);
    }
    std::wstring path(GetCurrentDirectoryW(0, nullptr) + 1, L'\0');
    path.resize(GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data()));
    CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return hashBytes(path.data(), path.size() * sizeof(wchar_t));
}

} // namespace

GameFolderClaim::~GameFolderClaim() {
    releaseGameFolder(*this);
}

bool claimGameFolder(GameFolderClaim& claim) {
    releaseGameFolder(claim);
    claim.key = currentFolderKey();
    wchar_t name[40];
    wsprintfW(name, L"Local\\DravikSetup.%08lx%08lx", static_cast<unsigned long>(claim.key >> 32),
              static_cast<unsigned long>(claim.key & 0xFFFFFFFFu));
    // Only the mutex's existence counts; nobody waits for it. Its handle is not inherited,
    // so a program the copy starts (the launcher) does not keep the folder claimed.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    const DWORD error = GetLastError();
    claim.busy =
        error == ERROR_ALREADY_EXISTS || (mutex == nullptr && error == ERROR_ACCESS_DENIED);
    if (mutex != nullptr && claim.busy) {
        CloseHandle(mutex);
    } else if (mutex != nullptr) {
        claim.handle = reinterpret_cast<std::intptr_t>(mutex);
        claim.held = true;
    }
    return !claim.busy;
}

void releaseGameFolder(GameFolderClaim& claim) {
    if (claim.held) {
        CloseHandle(reinterpret_cast<HANDLE>(claim.handle));
    }
    claim.held = false;
    claim.handle = -1;
}

} // namespace platform
