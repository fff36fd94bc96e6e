#pragma once

#include <functional>
#include <string>

// Replacing a file whole: the new content is written beside the file under a temporary name
// and renamed over it only when complete, so a failed or interrupted write never leaves a
// half-written file where an old one was.

class ImgRGB;

// Writes an image in the format its suffix names beside path under a temporary name, then
// renames it into place: an interrupted or failed write never leaves a half-written image
// where an old one was. keep(): checked just before the rename; false leaves the old file and
// removes the new one (an interrupt that arrived while writing).
bool SaveImageWhole(const ImgRGB& image, const std::string& path, int quality, const std::function<bool()>& keep,
                    std::string* why);
// Writes text the same way.
bool SaveTextWhole(const std::string& text, const std::string& path, std::string* why);
// A suffix that names an image format this program can read but not write (".gif").
bool UnwritableImageSuffix(const std::string& path);
