#pragma once

// The 64-value signature of a feature point, each value in [0, 1].
struct Descriptor {
    static constexpr int kLength = 64;
    int count = kLength;
    alignas(16) float values[kLength] = {};
};
