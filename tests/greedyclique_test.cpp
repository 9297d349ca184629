// Tests of the greedy first clique computed from pair coordinates: the same clique, in the same
// order, as building the Graph and running its search.
#include "greedyclique.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "edge.h"
#include "graph.h"
#include "vertex.h"

using namespace VXMole;

namespace {

struct Atom3 {
  std::string name;
  Coords xyz;
};

// Pairs as pairing by name forms them: each reference atom in order with each comparison atom
// of its name, in order.
PairCoords pairByName(const std::vector<Atom3>& reference, const std::vector<Atom3>& comparison) {
  PairCoords pairs;
  for (const Atom3& r : reference) {
    for (const Atom3& c : comparison) {
      if (r.name == c.name) pairs.add(r.xyz, c.xyz);
    }
  }
  return pairs;
}

// The first clique of the correspondence Graph, built edge by edge from the agreement rule:
// the reference implementation of the greedy search.
std::vector<unsigned> graphClique(const PairCoords& pairs, Graph& graph) {
  for (unsigned k = 0; k < pairs.size(); ++k) graph.addVertex(new Vertex(k, k));
  for (unsigned i = 0; i < pairs.size(); ++i) {
    for (unsigned j = i + 1; j < pairs.size(); ++j) {
      const double dR = pairs.reference(i).calcDist(pairs.reference(j));
      const double dC = pairs.comparison(i).calcDist(pairs.comparison(j));
      if (std::fabs(dR - dC) < 1.0) graph.addEdge(new Edge(graph.getVertex(i), graph.getVertex(j)));
    }
  }
  graph.createMatrix();
  graph.Run_Search_All_Max_Cliques();
  return graph.getCliques().empty() ? std::vector<unsigned>() : graph.getCliques().front();
}

// A molecule of `n` atoms named from an alphabet of `names` letters, a copy turned, shifted and
// shaken by `noise`, with every `displacedEvery`-th atom moved 2.5 Å further; a noise above
// the box makes an unrelated molecule.
void makePair(unsigned seed, size_t n, int names, double box, double noise, size_t displacedEvery,
              std::vector<Atom3>& reference, std::vector<Atom3>& comparison) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> in(-box, box), shake(-noise, noise);
  const double c = std::cos(0.7), s = std::sin(0.7);
  for (size_t k = 0; k < n; ++k) {
    const Coords p(in(rng), in(rng), in(rng));
    const std::string name(1, static_cast<char>('A' + rng() % names));
    Coords q(c * p.x - s * p.y + 5 + shake(rng), s * p.x + c * p.y - 2 + shake(rng),
             p.z + 9 + shake(rng));
    if (displacedEvery != 0 && k % displacedEvery == 1) q.z += 2.5;
    reference.push_back({name, p});
    comparison.push_back({name, q});
  }
}

}  // namespace

TEST(GreedyClique, SameCliqueDegreesAndOrderAsTheGraph) {
  struct Case {
    size_t atoms;
    int names;
    double box, noise;
    size_t displacedEvery;
  };
  // Names shared by many atoms (several partners per atom), crowded boxes full of ties,
  // unrelated molecules whose graphs are sparse, sizes up to a few thousand pairs.
  const Case cases[] = {{40, 4, 6, 0.2, 7},       {60, 12, 10, 0.3, 0}, {90, 30, 8, 0.1, 5},
                        {600, 600, 30, 0.05, 50}, {25, 1, 3, 0.4, 0},   {70, 3, 15, 0.3, 4},
                        {30, 2, 6, 20, 0},        {12, 3, 20, 40, 0},   {50, 5, 12, 30, 0}};
  size_t laterStarts = 0, empty = 0;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(seed) + " " + std::to_string(c.atoms));
      std::vector<Atom3> reference, comparison;
      makePair(seed, c.atoms, c.names, c.box, c.noise, c.displacedEvery, reference, comparison);
      const PairCoords pairs = pairByName(reference, comparison);
      Graph graph;
      const std::vector<unsigned> expected = graphClique(pairs, graph);
      GreedyClique greedy(pairs);
      EXPECT_EQ(greedy.run(), expected);
      EXPECT_EQ(greedy.order(), graph.getPositionMap());
      for (unsigned k = 0; k < pairs.size(); ++k)
        ASSERT_EQ(greedy.degrees()[k], graph.getVertex(k)->edges.size());
      // The first start leads every clique it records.
      if (!expected.empty() && expected.front() != graph.getPositionMap().front()) ++laterStarts;
      empty += expected.empty();
    }
  }
  // The cases do reach later starts and graphs without a clique.
  EXPECT_GT(laterStarts, 0u);
  EXPECT_GT(empty, 0u);
}

TEST(GreedyClique, FewPairsGiveNoClique) {
  PairCoords pairs;
  EXPECT_TRUE(GreedyClique(pairs).run().empty());
  pairs.add(Coords(0, 0, 0), Coords(0, 0, 0));
  pairs.add(Coords(1, 0, 0), Coords(1, 0, 0));
  EXPECT_TRUE(GreedyClique(pairs).run().empty());  // two pairs are below the minimum
  pairs.add(Coords(0, 1, 0), Coords(0, 1, 0));
  EXPECT_EQ(GreedyClique(pairs).run(), (std::vector<unsigned>{2, 1, 0}));
}
