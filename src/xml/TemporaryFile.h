#pragma once

#include <sys/types.h>

#include <string>

namespace Zelvo {

// Temporary files of a save are named ".<target name>.vedora-save-XXXXXX" (six random letters
// or digits) and live beside the target: hidden, and telling whoever finds one what it is.
bool IsTemporaryNameOf(const std::string& entry, const std::string& targetName);

// Creates a new, empty temporary file in the folder of target, for content that will be
// renamed over target, with the permission bits mode less the process's umask (so that its
// content is never readable by more people than the file it replaces). The file stays locked
// while the descriptor is open, which tells other saves it is in use. Returns the descriptor
// and stores the file's path in *temporary; -1 with the reason in *why.
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string* temporary, std::string* why);

// Removes the temporary files that saves of target left behind when they were killed: only
// regular files named for exactly this target, and only those no running save holds locked.
void RemoveStaleTemporaries(const std::string& target);

}  // namespace Zelvo
