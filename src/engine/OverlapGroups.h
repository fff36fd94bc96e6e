#pragma once

// The groups of photographs that a matched project's pairs join. A folder holding several
// panoramas is matched once, then every group is stitched as a project of its own, made from
// the pairs already fitted (PanoramaEngine::GroupProject, which lives with them).
#include <vector>

class PanoramaEngine;

// The groups of two or more photographs joined by matched pairs: image indices, ascending, the
// groups in the order of their first photograph. Empty while there is no overlap hierarchy.
std::vector<std::vector<int>> OverlapGroups(const PanoramaEngine& engine);

// The photographs of an imageCount-photograph project in none of groups, ascending.
std::vector<int> PhotographsInNoGroup(const std::vector<std::vector<int>>& groups, int imageCount);
