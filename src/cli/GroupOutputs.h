#pragma once

// Where --groups writes: the folder, checked before any work, and the names of every group's
// files, checked before any stitching, so that a run never ends in an unwritable folder after
// the matching and never writes over a file it was not told it may replace.
#include <string>
#include <vector>

// Why folder cannot take the groups' files; empty when it can, or when it is missing but its
// parent can hold it (MakeGroupFolder makes it then).
std::string GroupFolderProblem(const std::string& folder);

// Makes folder unless it exists; false with the reason. made says whether it was made.
bool MakeGroupFolder(const std::string& folder, bool* made, std::string* why);

// The names of the groups' files, without suffix: each group's first photograph's file name
// without its suffix; a name an earlier group took (in any letter case, for folders that do not
// tell cases apart) gets -2, -3, ... so that no group's files replace another's.
std::vector<std::string> GroupFileNames(const std::vector<std::string>& firstPhotographs);

// path inside folder, whether folder ends in a slash or not.
std::string InFolder(const std::string& folder, const std::string& name);

// Why the run must not write path: it is one of the inputs, it exists and may not be replaced,
// or it cannot be written. Empty when it may be written.
std::string GroupFileProblem(const std::string& path, const std::vector<std::string>& inputs, bool overwrite);
