#pragma once

#include <string>
#include <vector>

// The writers that replace a file whole (PartialFile under the row writers, SaveTextWhole)
// live with the image files; the command line uses them for all its outputs.
#include "image/SaveTextWhole.h"

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
