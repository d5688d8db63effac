#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// One element's form factors to every element of the group array, stored
// sparsely: most entries are exactly 0 (elements hidden, behind the
// receiver, or of the same patch), and a gathering sum that skips an exact 0
// term is bit for bit the sum that adds it. Entries are in ascending index
// order, so sums run in the same order as over the dense row.
struct FormFactorEntry {
    int index;
    float value;
};

struct FormFactorRow {
    int length = 0;  // 4 x the group count when the row was computed
    std::vector<FormFactorEntry> entries;

    // The form factor at a dense index (0 where nothing is stored).
    float operator[](int index) const {
        auto it = std::lower_bound(entries.begin(), entries.end(), index,
                                   [](const FormFactorEntry& e, int i) { return e.index < i; });
        return it != entries.end() && it->index == index ? it->value : 0.0f;
    }
    std::size_t size() const { return static_cast<std::size_t>(length); }
    bool empty() const { return length == 0; }

    // Keeps the non-zero entries of a dense row.
    void assignDense(const float* dense, int count) {
        length = count;
        entries.clear();
        for (int i = 0; i < count; ++i)
            if (dense[i] != 0.0f) entries.push_back({i, dense[i]});
        entries.shrink_to_fit();
    }
    void release() {
        length = 0;
        std::vector<FormFactorEntry>().swap(entries);
    }
    std::size_t bytes() const { return entries.capacity() * sizeof(FormFactorEntry); }
};
