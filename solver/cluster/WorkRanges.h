#pragma once

#include <vector>

// Fixed, contiguous shares of n items for `parts` processes, chosen so that
// each share's estimated cost is as near as can be to the total / parts:
// share r is items [bounds[r], bounds[r + 1]). Every process computes the
// same bounds from the same costs. Costs must be finite and not negative;
// with no cost at all the items are shared by count.
std::vector<int> costRanges(const std::vector<double>& cost, int parts);
