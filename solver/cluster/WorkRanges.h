#pragma once

#include <vector>

// Fixed shares of n items for the processes of a cluster. The items are cut
// into contiguous blocks of about equal estimated cost, several for each
// process, and block b belongs to process b mod the process count: work that
// costs more in one part of a scene (one wall, one room) is then spread
// over every process rather than landing on one. Every process computes the
// same shares from the same costs.
struct WorkShares {
    std::vector<int> bounds;  // block b holds items [bounds[b], bounds[b + 1])
    int processes = 1;

    // Process r's items, in ascending order.
    std::vector<int> itemsOf(int r) const;
};

// Blocks of about equal cost: up to `blocksPerProcess` for each process,
// but none of fewer than `smallestBlock` items (unless there are fewer
// items than processes). Costs must be finite and not negative; with no
// cost at all the items are shared by count. One process: one block.
WorkShares shareByCost(const std::vector<double>& cost, int processes, int blocksPerProcess = 16,
                       int smallestBlock = 32);
