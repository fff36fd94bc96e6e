#pragma once

#include <vector>

#include "linalg/PointD.h"
#include "matching/Descriptor.h"

// For every descriptor of B, its nearest descriptor of A is accepted when it is clearly
// nearer than the second nearest and strongly correlated. P receives the points of A, Q those
// of B, pair by pair.
void MatchDescriptors(const std::vector<Descriptor>& A, const std::vector<Descriptor>& B,
                      const std::vector<PointD>& pointsA, const std::vector<PointD>& pointsB, std::vector<PointD>& P,
                      std::vector<PointD>& Q, double minCorrelation);
