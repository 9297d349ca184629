// Tests of the exact maximum clique search: graphs whose answer is known by hand, random graphs
// against an exhaustive search, the tie score and the work limit.
#include "maxclique.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

using namespace VXMole;

namespace {

BitMatrix graphOf(size_t n, const std::vector<std::pair<unsigned, unsigned>>& edges) {
  BitMatrix g(n);
  for (const auto& [a, b] : edges) g.join(a, b);
  return g;
}

bool isClique(const BitMatrix& g, const std::vector<unsigned>& set) {
  for (size_t a = 0; a < set.size(); ++a) {
    if (set[a] >= g.size() || (a > 0 && set[a] <= set[a - 1])) return false;
    for (size_t b = a + 1; b < set.size(); ++b) {
      if (!g.test(set[a], set[b])) return false;
    }
  }
  return true;
}

// Every maximal clique (Bron-Kerbosch with Tomita's pivot): each is a leaf of the search.
void allCliques(const BitMatrix& g, std::vector<unsigned>& r, std::vector<unsigned> p,
                std::vector<unsigned> x, std::vector<std::vector<unsigned>>& maximal) {
  if (p.empty() && x.empty()) maximal.push_back(r);
  if (p.empty()) return;
  // The pivot: the vertex of P or X with most neighbours in P; only its non-neighbours branch.
  unsigned pivot = p.front();
  size_t most = 0;
  for (const auto* set : {&p, &x}) {
    for (unsigned u : *set) {
      size_t k = 0;
      for (unsigned v : p) k += g.test(u, v);
      if (k >= most) most = k, pivot = u;
    }
  }
  const std::vector<unsigned> branches = p;
  for (unsigned v : branches) {
    if (g.test(pivot, v)) continue;
    std::vector<unsigned> np, nx;
    for (unsigned u : p)
      if (g.test(u, v)) np.push_back(u);
    for (unsigned u : x)
      if (g.test(u, v)) nx.push_back(u);
    r.push_back(v);
    allCliques(g, r, np, nx, maximal);
    r.pop_back();
    p.erase(std::find(p.begin(), p.end(), v));
    x.push_back(v);
  }
}

std::vector<std::vector<unsigned>> maximumCliques(const BitMatrix& g) {
  std::vector<unsigned> r, p;
  for (unsigned v = 0; v < g.size(); ++v) p.push_back(v);
  std::vector<std::vector<unsigned>> maximal, maximum;
  allCliques(g, r, p, {}, maximal);
  size_t largest = 0;
  for (auto& c : maximal) largest = std::max(largest, c.size());
  for (auto& c : maximal) {
    std::sort(c.begin(), c.end());
    if (c.size() == largest) maximum.push_back(c);
  }
  return maximum;
}

}  // namespace

TEST(MaxClique, HandWorkedGraphs) {
  using Set = std::vector<unsigned>;
  EXPECT_EQ(MaxClique(graphOf(0, {})).run(), Set{});
  EXPECT_EQ(MaxClique(graphOf(3, {})).run().size(), 1u);
  EXPECT_EQ(MaxClique(graphOf(3, {{0, 1}, {1, 2}, {0, 2}})).run(), (Set{0, 1, 2}));
  // K4 with a pendant on 3; the pendant's edge is no part of the answer.
  EXPECT_EQ(MaxClique(graphOf(5, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}, {3, 4}})).run(),
            (Set{0, 1, 2, 3}));
  // A 5-cycle holds no triangle; a triangle next to a K4 loses to it, wherever it lies.
  EXPECT_EQ(MaxClique(graphOf(5, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 0}})).run().size(), 2u);
  EXPECT_EQ(
      MaxClique(
          graphOf(7,
                  {{0, 1}, {1, 2}, {0, 2}, {3, 4}, {3, 5}, {3, 6}, {4, 5}, {4, 6}, {5, 6}, {2, 3}}))
          .run(),
      (Set{3, 4, 5, 6}));
  // The greedy descent from the best-connected vertex would take the hub 0 and stop at three.
  EXPECT_EQ(MaxClique(graphOf(8, {{0, 1},
                                  {0, 2},
                                  {0, 3},
                                  {0, 4},
                                  {1, 2},
                                  {4, 5},
                                  {4, 6},
                                  {4, 7},
                                  {5, 6},
                                  {5, 7},
                                  {6, 7}}))
                .run(),
            (Set{4, 5, 6, 7}));
}

TEST(MaxClique, RandomGraphsMatchAnExhaustiveSearch) {
  std::mt19937 rng(11);
  for (int round = 0; round < 150; ++round) {
    const size_t n = 1 + rng() % 45;
    const unsigned density = 1 + rng() % 9;  // tenths
    BitMatrix g(n);
    for (unsigned a = 0; a < n; ++a) {
      for (unsigned b = a + 1; b < n; ++b) {
        if (rng() % 10 < density) g.join(a, b);
      }
    }
    const auto maximum = maximumCliques(g);
    MaxClique search(g);
    const std::vector<unsigned> found = search.run();
    EXPECT_TRUE(search.proved());
    EXPECT_TRUE(isClique(g, found));
    ASSERT_EQ(found.size(), maximum.front().size()) << "round " << round;
    EXPECT_EQ(MaxClique(g).run(), found);  // the same graph, the same clique

    // Scored ties: the lowest score among every maximum clique.
    auto score = [&](const std::vector<unsigned>& set) {
      double s = 0;
      for (unsigned v : set) s += (v * 7919u) % 101;
      return s;
    };
    double lowest = 1e300;
    for (const auto& c : maximum) lowest = std::min(lowest, score(c));
    MaxClique scored(g);
    scored.breakTiesBy(score);
    const std::vector<unsigned> best = scored.run();
    EXPECT_TRUE(isClique(g, best));
    EXPECT_EQ(best.size(), found.size());
    EXPECT_EQ(score(best), lowest) << "round " << round;
  }
}

TEST(MaxClique, WorkLimitKeepsTheBestCliqueFoundAndSaysSo) {
  std::mt19937 rng(5);
  BitMatrix g(300);
  for (unsigned a = 0; a < 300; ++a) {
    for (unsigned b = a + 1; b < 300; ++b) {
      if (rng() % 10 < 8) g.join(a, b);
    }
  }
  MaxClique limited(g, 20000);
  const std::vector<unsigned> early = limited.run();
  EXPECT_FALSE(limited.proved());
  EXPECT_TRUE(isClique(g, early));
  EXPECT_GE(early.size(), 2u);
}
