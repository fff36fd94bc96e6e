#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace Zelvo {

// Replaces the file at path with the pieces, one after the other, so that whatever happens
// the path holds either the complete old file or the complete new one:
// - a symbolic link at path is followed to the file it names (a dangling link creates it);
// - an existing file keeps its permission bits, and its owner and group where the process
//   may set them; a file this user may not write is refused, not replaced;
// - the bytes go to a temporary file beside the target, which is flushed to disk and then
//   renamed over the target; temporary files that killed saves of the same target left
//   behind are removed first (see TemporaryFile.h).
// False, with the reason in *why, when anything fails; the old file is then untouched.
bool WriteFileAtomically(const std::string& path, std::initializer_list<std::string_view> pieces,
                         std::string* why = nullptr);

}  // namespace Zelvo
