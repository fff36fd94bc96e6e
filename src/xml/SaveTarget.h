#pragma once

#include <string>

namespace Zelvo {

// The file that saving to path replaces: path itself, or, when path is a symbolic link, the
// file at the end of its chain of links. That file need not exist: a dangling link names the
// file a save creates. False, with the reason in *why, for a chain that loops or cannot be
// read.
bool ResolveSaveTarget(const std::string& path, std::string* target, std::string* why);

}  // namespace Zelvo
