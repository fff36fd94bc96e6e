#pragma once

#include <string>

namespace Zelvo {

// What a file system error number means, in words for the person who chose the file ("the
// disk is full"); the system's own text for the rare ones.
std::string DescribeFileError(int error);

// The path in double quotes, as file names appear in messages.
std::string Quoted(const std::string& path);

// Stores message in *why when the caller asked for a reason, and returns false, so that a
// failure reads "return Fail(why, ...)".
bool Fail(std::string* why, const std::string& message);

}  // namespace Zelvo
