#include "WorkRanges.h"

#include <algorithm>

namespace {

// Contiguous ranges of about equal cost: range r is items
// [bounds[r], bounds[r + 1]).
std::vector<int> costRanges(const std::vector<double>& cost, int parts) {
    const int n = static_cast<int>(cost.size());
    std::vector<int> bounds(static_cast<std::size_t>(parts) + 1, n);
    bounds[0] = 0;
    double total = 0.0;
    for (double c : cost) total += c;
    if (!(total > 0.0)) {
        for (int r = 1; r < parts; ++r) bounds[r] = static_cast<int>(static_cast<long long>(n) * r / parts);
        return bounds;
    }
    // Share r ends at the first item whose running cost reaches r / parts of
    // the total, or just before it when that is nearer.
    double before = 0.0;
    int i = 0;
    for (int r = 1; r < parts; ++r) {
        const double goal = total * r / parts;
        while (i < n && before + cost[i] < goal) before += cost[i++];
        int end = i;
        if (i < n && (before + cost[i]) - goal < goal - before) {
            before += cost[i++];
            end = i;
        }
        bounds[r] = std::max(end, bounds[r - 1]);
    }
    return bounds;
}

}  // namespace

WorkShares shareByCost(const std::vector<double>& cost, int processes, int blocksPerProcess, int smallestBlock) {
    const long long n = static_cast<long long>(cost.size());
    long long perProcess = n / (static_cast<long long>(processes) * std::max(1, smallestBlock));
    perProcess = std::max(1LL, std::min(perProcess, static_cast<long long>(blocksPerProcess)));
    WorkShares shares;
    shares.processes = processes;
    shares.bounds = costRanges(cost, static_cast<int>(perProcess * processes));
    return shares;
}

std::vector<int> WorkShares::itemsOf(int r) const {
    std::vector<int> items;
    for (size_t b = static_cast<size_t>(r); b + 1 < bounds.size(); b += static_cast<size_t>(processes))
        for (int i = bounds[b]; i < bounds[b + 1]; ++i) items.push_back(i);
    return items;
}
