// Shared by the two implementations of the file layer; not for use outside platform/.
#pragma once

#include "platform/file_system.h"

#include <cstdint>

namespace platform::detail {

// Windows' attribute of an entry that is a reparse point, and the bit of its tag that makes
// it a name surrogate: an entry that stands for another name (a symbolic link, a junction
// or mount point, a WSL link).
inline constexpr std::uint32_t reparsePointAttribute = 0x400;
inline constexpr std::uint32_t nameSurrogateTagBit = 0x20000000;

// Whether an entry with these attributes and reparse tag (meaningful only with the reparse
// attribute) is a link. Only name surrogates are: every other reparse point (a file
// compressed for games, de-duplicated, or held by a cloud folder until it is read, ...) is
// the file or folder itself, stored in another way. Tag 0 is no kind at all: the system did
// not tell (Wine gives it for a linked folder), so the entry is taken for a link.
bool isLinkEntry(std::uint32_t attributes, std::uint32_t reparseTag);

// Called first by every file operation: counts it and says whether it may go ahead
// (false when fault injection makes this operation fail or the work has been stopped).
bool beginOperation();

// The account of temporary files: one made, one gone (deleted, renamed or placed; a path
// that is no temporary file of ours is ignored).
void noteTemporaryMade(const std::u16string& path);
void noteTemporaryGone(std::u16string_view path);

// Windows wildcard match of one name against the name part of a pattern.
bool wildcardMatches(std::u16string_view pattern, std::u16string_view name);

// Sorts the NTFS way: ordinal comparison of the upper-cased names.
void sortEntries(std::vector<FolderEntry>& entries);

// Splits "a\b\*.txt" into the folder "a\b" and the pattern "*.txt".
void splitPattern(std::u16string_view pattern, std::u16string& folder, std::u16string& namePattern);

} // namespace platform::detail
