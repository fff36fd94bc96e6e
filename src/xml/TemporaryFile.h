#pragma once

#include <sys/types.h>

#include <string>

namespace Zelvo {

// Creates a new, empty temporary file in the folder of target, for content that will be
// renamed over target, with the permission bits mode less the process's umask (so that its
// content is never readable by more people than the file it replaces). Returns the open
// descriptor and stores the file's path in *temporary; -1 with the reason in *why.
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string* temporary, std::string* why);

}  // namespace Zelvo
