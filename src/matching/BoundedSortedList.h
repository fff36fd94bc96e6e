#pragma once

#include <vector>

// Keeps the N largest values offered, in descending order. A value that is not strictly
// greater than the smallest kept one is dropped when the list is full.
class BoundedSortedList {
public:
    explicit BoundedSortedList(int capacity) : capacity(capacity > 0 ? capacity : 0) {
        values.reserve(static_cast<size_t>(this->capacity) + 1);
    }

    void Insert(float v) {
        if (capacity == 0)
            return;
        if (static_cast<int>(values.size()) == capacity && !(v > values.back()))
            return;
        // Binary search for the first element smaller than v (descending order).
        size_t lo = 0, hi = values.size();
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (values[mid] >= v)
                lo = mid + 1;
            else
                hi = mid;
        }
        values.insert(values.begin() + static_cast<std::ptrdiff_t>(lo), v);
        if (static_cast<int>(values.size()) > capacity)
            values.pop_back();
    }

    int Count() const { return static_cast<int>(values.size()); }
    bool Empty() const { return values.empty(); }
    float Last() const { return values.back(); }
    float At(int i) const { return values[static_cast<size_t>(i)]; }

private:
    int capacity;
    std::vector<float> values;
};
