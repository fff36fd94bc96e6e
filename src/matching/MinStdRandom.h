#pragma once

#include <cstdint>

// The Park-Miller minimal standard generator, multiplier 48271, modulus 2^31 - 1, computed
// with Schrage's decomposition so that nothing overflows 32 bits.
class MinStdRandom {
public:
    static constexpr int32_t kModulus = 2147483647;

    explicit MinStdRandom(int32_t seed = 123456789) { Seed(seed); }
    void Seed(int32_t seed) { state = seed == 0 ? 123456789 : seed; }
    int32_t Next() {
        const int32_t q = 44488, r = 3399;
        int32_t hi = state / q, lo = state % q;
        int32_t t = 48271 * lo - r * hi;
        if (t <= 0)
            t += kModulus;
        state = t;
        return state;
    }

private:
    int32_t state;
};
