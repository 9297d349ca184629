// Assignment: the Hungarian method with potentials (Kuhn 1955, Munkres 1957), in O(k^3).
#include "assignment.h"

#include <algorithm>
#include <limits>

namespace VXMole {

double assignment(const std::vector<double>& cost, size_t k, std::vector<unsigned>& columnOf) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> u(k + 1, 0), v(k + 1, 0), least(k + 1);
  std::vector<size_t> rowOf(k + 1, 0), way(k + 1, 0);  // 1-based; rowOf[0] the row being added
  std::vector<bool> used(k + 1);
  for (size_t row = 1; row <= k; ++row) {
    rowOf[0] = row;
    size_t column = 0;
    std::fill(least.begin(), least.end(), inf);
    std::fill(used.begin(), used.end(), false);
    do {
      used[column] = true;
      const size_t r = rowOf[column];
      double delta = inf;
      size_t next = 0;
      for (size_t j = 1; j <= k; ++j) {
        if (used[j]) continue;
        const double reduced = cost[k * (r - 1) + (j - 1)] - u[r] - v[j];
        if (reduced < least[j]) {
          least[j] = reduced;
          way[j] = column;
        }
        if (least[j] < delta) {
          delta = least[j];
          next = j;
        }
      }
      if (next == 0) return inf;  // costs that are not finite
      for (size_t j = 0; j <= k; ++j) {
        if (used[j]) {
          u[rowOf[j]] += delta;
          v[j] -= delta;
        } else {
          least[j] -= delta;
        }
      }
      column = next;
    } while (rowOf[column] != 0);
    do {
      const size_t previous = way[column];
      rowOf[column] = rowOf[previous];
      column = previous;
    } while (column != 0);
  }
  columnOf.assign(k, 0);
  double total = 0;
  for (size_t j = 1; j <= k; ++j) {
    columnOf[rowOf[j] - 1] = static_cast<unsigned>(j - 1);
    total += cost[k * (rowOf[j] - 1) + (j - 1)];
  }
  return total;
}

}  // namespace VXMole
