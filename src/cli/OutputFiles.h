#pragma once

#include <functional>
#include <string>
#include <vector>

// Checks made on output paths before any work starts, so that a run never ends in an
// unwritable file after minutes of matching, and never writes over one of its inputs.

// Why path cannot be written (created, or replaced when it exists): the folder is missing or
// not writable, the path is a folder or a read-only file. Empty when it can be written.
std::string WriteProblem(const std::string& path);

// Whether two paths name one existing file (through another spelling or a link).
bool SameFile(const std::string& a, const std::string& b);

// The input among inputs that path would overwrite; empty when none.
std::string InputAt(const std::string& path, const std::vector<std::string>& inputs);

// path with ".vdp" appended unless it already ends so.
std::string WithProjectSuffix(const std::string& path);

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
