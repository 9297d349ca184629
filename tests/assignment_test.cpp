// Tests of the least-cost assignment against every permutation tried by hand.
#include "assignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

using namespace VXMole;

namespace {

TEST(Assignment, CostIsTheLeastOfEveryPermutation) {
  std::mt19937 random(4);
  std::uniform_real_distribution<double> uniform(0.0, 10.0);
  for (size_t k : {1, 2, 3, 6}) {
    std::vector<double> cost(k * k);
    for (double& value : cost) value = std::round(uniform(random));  // ties are common
    std::vector<unsigned> columnOf;
    const double total = assignment(cost, k, columnOf);
    std::vector<unsigned> permutation(k);
    std::iota(permutation.begin(), permutation.end(), 0u);
    double least = std::numeric_limits<double>::infinity();
    do {
      double sum = 0;
      for (size_t row = 0; row < k; ++row) sum += cost[k * row + permutation[row]];
      least = std::min(least, sum);
    } while (std::next_permutation(permutation.begin(), permutation.end()));
    EXPECT_DOUBLE_EQ(total, least) << k << " rows";
    // The columns chosen are a permutation, and cost what is returned.
    std::vector<unsigned> sorted = columnOf;
    std::sort(sorted.begin(), sorted.end());
    std::iota(permutation.begin(), permutation.end(), 0u);
    EXPECT_EQ(sorted, permutation);
    double sum = 0;
    for (size_t row = 0; row < k; ++row) sum += cost[k * row + columnOf[row]];
    EXPECT_DOUBLE_EQ(sum, total);
  }
}

TEST(Assignment, CostsThatAreNotFiniteGiveInfinity) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<unsigned> columnOf;
  EXPECT_EQ(assignment({inf, inf, inf, inf}, 2, columnOf), inf);
}

}  // namespace
