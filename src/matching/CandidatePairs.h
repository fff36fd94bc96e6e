#pragma once

#include <span>
#include <utility>
#include <vector>

#include "matching/Descriptor.h"

// What ranks the pairs of a large set before any pair is matched in full.
struct CandidatePairSettings {
    int descriptorsPerImage = 200;  // spread evenly over each photograph's list
    int pairsPerImage = 10;         // the best-voted partners each photograph keeps
};

// The pairs worth matching in full among many photographs: a sample of every photograph's
// descriptors is matched against all the others' in one tree, each clear nearest neighbour
// votes for its two photographs, and every photograph keeps its best-voted partners (a pair
// needs at least two votes). Pairs come as (i, j), i < j, in ascending order.
std::vector<std::pair<int, int>> RankCandidatePairs(std::span<const std::vector<Descriptor>* const> descriptors,
                                                    const CandidatePairSettings& settings = {});
