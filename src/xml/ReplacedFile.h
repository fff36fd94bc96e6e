#pragma once

#include <sys/stat.h>

#include <string>

namespace Zelvo {

// What a save needs to know about the file it replaces.
struct ReplacedFile {
    bool exists = false;
    struct stat info {};
};

// Only a regular file is replaced, and only one this user may write: write permission on the
// folder alone would let a save swap out a read-only file, and renaming over a device or a
// pipe would destroy it (for root, even /dev/null). Root may write any regular file. False,
// with the reason in words (without the file's name: "it is a folder", "it is a device, not a
// regular file", "the file is read-only"), when target must not be replaced; a target that
// does not exist is fine.
bool InspectReplacedFile(const std::string& target, ReplacedFile* old, std::string* reason);

// The new file at fd takes over the old one's owner, group and permission bits. Only a
// privileged process may give a file away: EPERM leaves it ours, and the group is then kept
// when we belong to it. The mode comes last because a change of owner may clear set-id bits.
// False with errno set (the SetOwnerAndMode step of the save fault hook included).
bool TakeOverOwnerAndMode(int fd, const struct stat& old);

}  // namespace Zelvo
