// Shared by the two implementations of the file layer; not for use outside platform/.
#pragma once

#include "platform/file_system.h"

namespace platform::detail {

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
