#include "matching/DescriptorTree.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Squared distance, four dimensions at a time in single precision.
float SquaredDistance(const Descriptor& a, const Descriptor& b, int n) {
    float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        float d0 = a.values[i] - b.values[i], d1 = a.values[i + 1] - b.values[i + 1];
        float d2 = a.values[i + 2] - b.values[i + 2], d3 = a.values[i + 3] - b.values[i + 3];
        s0 += d0 * d0;
        s1 += d1 * d1;
        s2 += d2 * d2;
        s3 += d3 * d3;
    }
    for (; i < n; ++i) {
        float d = a.values[i] - b.values[i];
        s0 += d * d;
    }
    return (s0 + s1) + (s2 + s3);
}

// A small list sorted by ascending key that keeps its capacity's closest entries.
template <class T>
void OfferSorted(std::vector<std::pair<float, T>>& list, size_t capacity, float key, T value) {
    if (capacity == 0)
        return;
    if (list.size() == capacity && !(key < list.back().first))
        return;
    auto at = std::upper_bound(list.begin(), list.end(), key,
                               [](float k, const std::pair<float, T>& e) { return k < e.first; });
    list.insert(at, {key, value});
    if (list.size() > capacity)
        list.pop_back();
}

}  // namespace

void DescriptorTree::Build(const std::vector<Descriptor>& list) {
    nodes.clear();
    boxLow.clear();
    boxHigh.clear();
    root = -1;
    entries = list;
    if (list.empty())
        return;
    dimensions = list[0].count;
    nodes.reserve(list.size());
    boxLow.reserve(list.size() * static_cast<size_t>(dimensions));
    boxHigh.reserve(list.size() * static_cast<size_t>(dimensions));
    std::vector<int> members(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        members[i] = static_cast<int>(i);
    std::vector<float> low(static_cast<size_t>(dimensions), -kInfinity),
        high(static_cast<size_t>(dimensions), kInfinity);
    root = BuildNode(members, low, high);
}

int DescriptorTree::BuildNode(std::vector<int>& members, const std::vector<float>& low,
                              const std::vector<float>& high) {
    const std::vector<Descriptor>& list = entries;
    int split = 0;
    float bestRange = -1, splitMin = 0;
    for (int d = 0; d < dimensions; ++d) {
        float lo = list[members[0]].values[d], hi = lo;
        for (int m : members) {
            lo = std::min(lo, list[m].values[d]);
            hi = std::max(hi, list[m].values[d]);
        }
        if (hi - lo > bestRange) {
            bestRange = hi - lo;
            split = d;
            splitMin = lo;
        }
    }
    float target = splitMin + bestRange / 2;
    size_t chosen = 0;
    for (size_t k = 1; k < members.size(); ++k)
        if (std::fabs(list[members[k]].values[split] - target) <
            std::fabs(list[members[chosen]].values[split] - target))
            chosen = k;
    int entry = members[chosen];
    float value = list[entry].values[split];
    std::vector<int> lowerSet, upperSet;
    for (size_t k = 0; k < members.size(); ++k) {
        if (k == chosen)
            continue;
        (list[members[k]].values[split] <= value ? lowerSet : upperSet).push_back(members[k]);
    }
    int self = static_cast<int>(nodes.size());
    nodes.push_back(Node{entry, split, -1, -1});
    boxLow.insert(boxLow.end(), low.begin(), low.end());
    boxHigh.insert(boxHigh.end(), high.begin(), high.end());
    std::vector<int>().swap(members);
    if (!lowerSet.empty()) {
        std::vector<float> childHigh = high;
        childHigh[split] = value;
        int child = BuildNode(lowerSet, low, childHigh);
        nodes[self].lower = child;
    }
    if (!upperSet.empty()) {
        std::vector<float> childLow = low;
        childLow[split] = value;
        int child = BuildNode(upperSet, childLow, high);
        nodes[self].upper = child;
    }
    return self;
}

float DescriptorTree::BoxDistance(int node, const Descriptor& q, float bound) const {
    const size_t offset = static_cast<size_t>(node) * static_cast<size_t>(dimensions);
    const float* low = boxLow.data() + offset;
    const float* high = boxHigh.data() + offset;
    const float* v = q.values;
    // Per dimension the distance beyond the box's nearer side, max(low - v, v - high, 0), four
    // at a time; the squares are added in dimension order, as the distance has always been
    // added up. The terms are never negative, so a partial sum above the bound stays above it.
    float s = 0;
    int d = 0;
#if defined(__SSE__)
    const __m128 zero = _mm_setzero_ps();
    for (; d + 8 <= dimensions; d += 8) {
        alignas(16) float terms[8];
        for (int h = 0; h < 8; h += 4) {
            const __m128 value = _mm_loadu_ps(v + d + h);
            const __m128 below = _mm_sub_ps(_mm_loadu_ps(low + d + h), value);
            const __m128 above = _mm_sub_ps(value, _mm_loadu_ps(high + d + h));
            const __m128 e = _mm_max_ps(_mm_max_ps(below, above), zero);
            _mm_store_ps(terms + h, _mm_mul_ps(e, e));
        }
        for (float t : terms)
            s += t;
        if (s > bound)
            return s;
    }
#endif
    for (; d < dimensions; ++d) {
        const float e = std::max(std::max(low[d] - v[d], v[d] - high[d]), 0.0f);
        s += e * e;
    }
    return s;
}

std::vector<DescriptorTree::Result> DescriptorTree::FindNearest(const Descriptor& query, int k, int maxDescents) const {
    std::vector<Result> out;
    if (root < 0 || k <= 0)
        return out;
    std::vector<std::pair<float, int>> results;  // (distance, node)
    std::vector<std::pair<float, int>> queue;    // (box distance, node)
    const size_t capacity = static_cast<size_t>(k);
    auto worst = [&]() { return results.size() < capacity ? kInfinity : results.back().first; };
    int descents = maxDescents;
    int node = root;
    for (;;) {
        while (node >= 0) {
            const Node& n = nodes[node];
            const Descriptor& here = entries[static_cast<size_t>(n.index)];
            OfferSorted(results, capacity, SquaredDistance(query, here, dimensions), node);
            bool goLower = here.values[n.splitDimension] >= query.values[n.splitDimension];
            int next = goLower ? n.lower : n.upper;
            int other = goLower ? n.upper : n.lower;
            if (other >= 0) {
                const float bound = worst();
                float box = BoxDistance(other, query, bound);
                if (box <= bound)
                    OfferSorted(queue, static_cast<size_t>(std::max(maxDescents, 1)), box, other);
            }
            node = next;
        }
        --descents;
        if (descents <= 0 || queue.empty())
            break;
        auto [box, next] = queue.front();
        queue.erase(queue.begin());
        if (std::isfinite(worst()) && worst() < box)
            break;
        node = next;
    }
    for (const auto& [distance, n] : results)
        out.push_back({nodes[n].index, distance});
    return out;
}
