// Assignment: the least-cost assignment of k rows to k columns (the Hungarian method).
#pragma once

#include <cstddef>
#include <vector>

namespace VXMole {

// The least-cost assignment of k rows to k columns (cost[k * row + column]) by the Hungarian
// method with potentials, in O(k^3); sets columnOf[row] and returns the total cost, infinity
// when the costs are not finite.
double assignment(const std::vector<double>& cost, size_t k, std::vector<unsigned>& columnOf);

}  // namespace VXMole
