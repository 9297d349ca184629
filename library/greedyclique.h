// GreedyClique: the first clique of the greedy descent over the correspondence graph of atom
// pairs, found from the pairs' coordinates without building the graph.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "paircoords.h"

namespace VXMole {

// The clique Graph::createMatrix and Graph::Run_Search_All_Max_Cliques put first in their list
// for the graph whose vertices are the pairs, in order, joined where two pairs agree
// (PairCoords). Pairs are ranked by decreasing degree, the later pair first among equal
// degrees. From each start in that rank that is not a later neighbour of an earlier start, the
// descent takes the first remaining common neighbour until none is left; the first descent
// that ends with at least kMinSize pairs gives the clique.
//
// The graph is never stored: degrees are counted in one pass over all couples of pairs, and a
// descent tests each pair it takes against the candidates left, which it keeps as a bit set.
// Memory grows with the number of pairs, time with its square.
class GreedyClique {
 public:
  static constexpr size_t kMinSize = 3;

  explicit GreedyClique(const PairCoords& pairs) : pairs_(pairs) {}

  // The clique as pair positions, in the rank order (the order of the graph's first clique);
  // empty when no descent reaches kMinSize. Progress runs over the degree count, then the
  // descents.
  std::vector<unsigned> run(const ProgressFn& progress = nullptr);

  // Filled by run: each pair's degree, and the pairs by rank (entry k: position of the k-th).
  const std::vector<uint32_t>& degrees() const { return degrees_; }
  const std::vector<unsigned>& order() const { return order_; }

  // Memory run needs for n pairs, in bytes, besides the pairs it is given.
  static double bytesNeeded(size_t n);

 private:
  const PairCoords& pairs_;
  std::vector<uint32_t> degrees_;  // by pair position
  std::vector<unsigned> order_;    // rank -> pair position
};

}  // namespace VXMole
