#pragma once

#include <string>

// Replaces the file at path with text whole (see PartialFile: a link is written through, only
// a regular file this user may write is replaced, its owner, group and mode are kept, and a
// failure at any step leaves the old file as it was). False with the reason.
bool SaveTextWhole(const std::string& text, const std::string& path, std::string* why);
