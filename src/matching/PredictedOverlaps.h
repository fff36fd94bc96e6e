#pragma once

#include <span>
#include <utility>
#include <vector>

#include "matching/ImageCombination.h"

// The pairs that the matched pairs' rotations say must overlap but that were not matched in
// full: within each group of connected photographs the rotations are chained from one
// photograph, and two photographs overlap where a grid of either's pixels, turned into the
// other, lands inside it (tried only where their optical axes lie closer than the sum of their
// half diagonals' angles). tried[k] marks the pairs already matched; pair k of the
// result order is (i, j), i < j, ascending.
std::vector<std::pair<int, int>> PredictOverlappingPairs(std::span<const ImageCombination> pairs,
                                                         const std::vector<char>& tried,
                                                         const std::vector<double>& widths,
                                                         const std::vector<double>& heights);

// Every untried pair that joins a photograph outside the largest group of connected photographs
// to one of another group: what is left to try for the photographs the vote and the prediction
// could not reach. Ascending (i, j), i < j.
std::vector<std::pair<int, int>> PairsOfStrayPhotographs(std::span<const ImageCombination> pairs,
                                                         const std::vector<char>& tried, int imageCount);
