// Tests of the graph model, its matrices and the greedy clique search.
#include "graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "edge.h"
#include "global.h"
#include "iterators.h"
#include "vertex.h"

using namespace VXMole;

namespace {

using EdgeList = std::vector<std::pair<unsigned, unsigned>>;

// A graph of n plain vertices numbered by position, with the given edges, in order.
void build(Graph& g, unsigned n, const EdgeList& edges) {
  for (unsigned i = 0; i < n; ++i) g.addVertex(new Vertex(i, 0));
  for (const auto& [a, b] : edges) g.addEdge(new Edge(g.getVertex(a), g.getVertex(b)));
}

std::vector<std::vector<unsigned>> cliquesOf(unsigned n, const EdgeList& edges) {
  Graph g;
  build(g, n, edges);
  g.createMatrix();
  g.Run_Search_All_Max_Cliques();
  return g.getCliques();
}

// Non-owning stand-ins: edges only store and compare these pointers.
Atom* const kSomeAtom = reinterpret_cast<Atom*>(0x1000);
Bond* const kSomeBond = reinterpret_cast<Bond*>(0x2000);

// Runs `make`, expects a MoleExcept with `code` and the "same vertex" report on stderr.
void expectEdgeFailure(const std::function<void()>& make, uint32_t code,
                       const std::string& message) {
  testing::internal::CaptureStderr();
  try {
    make();
    ADD_FAILURE() << "no exception for code " << code;
  } catch (const MoleExcept& e) {
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.location, "EDGE::CONSTRUCTOR");
    EXPECT_EQ(e.message, message);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind(message + "\nVERTEX - ", 0), 0u) << err;
}

const std::string kSame = "Vertex given for the creation of the edge are the same";

}  // namespace

// ---------------------------------------------------------------- model

TEST(Graph, EdgeConstructorFailuresLeaveEdgeListsUnchanged) {
  Vertex a(1, 0), b(2, 0);
  Edge kept(&a, &b);

  expectEdgeFailure([&] { Edge e(&a, &a); }, 102031, kSame);
  expectEdgeFailure([&] { Edge e(&a, &a, kSomeBond); }, 102021, kSame);
  expectEdgeFailure([&] { Edge e(&a, &a, kSomeAtom); }, 102012, kSame);
  expectEdgeFailure([&] { Edge e(&a, &b, static_cast<Bond*>(nullptr)); }, 102022, "Bond not given");
  expectEdgeFailure([&] { Edge e(&a, &b, static_cast<Atom*>(nullptr)); }, 102011, "Atom not given");
  // Check order: a bond edge tests its ends before its bond, an atom edge its atom first.
  expectEdgeFailure([&] { Edge e(&a, &a, static_cast<Bond*>(nullptr)); }, 102021, kSame);
  expectEdgeFailure([&] { Edge e(&a, &a, static_cast<Atom*>(nullptr)); }, 102011, "Atom not given");
  // A missing end would be dereferenced when attaching.
  expectEdgeFailure([&] { Edge e(&a, nullptr); }, 102032, "Vertex not given");
  expectEdgeFailure([&] { Edge e(&a, nullptr, kSomeBond); }, 102023, "Vertex not given");
  expectEdgeFailure([&] { Edge e(&a, nullptr, kSomeAtom); }, 102013, "Vertex not given");

  EXPECT_EQ(a.edges, std::vector<Edge*>{&kept});
  EXPECT_EQ(b.edges, std::vector<Edge*>{&kept});
}

TEST(Graph, EdgesAttachInOrderAndDetachOnDestruction) {
  Vertex a(1, 0), b(2, 0), c(3, 0);
  {
    Edge ab(&a, &b, kSomeBond, 7, 8, 0.5);
    Edge bc(&b, &c, kSomeAtom);
    EXPECT_TRUE(ab.isBondEdge);
    EXPECT_FALSE(bc.isBondEdge);
    EXPECT_EQ(b.edges, (std::vector<Edge*>{&ab, &bc}));
    EXPECT_EQ(ab.shareVertex(&bc), &b);
    EXPECT_EQ(bc.shareVertex(&ab), &b);
    EXPECT_EQ(ab.shareVertex(nullptr), nullptr);
    EXPECT_EQ(a.getEdgewith(&b), &ab);
    EXPECT_EQ(a.getEdgewith(&c), nullptr);
    EXPECT_FALSE(a.hasEdgewith(nullptr));
    EXPECT_EQ(ab.getOtherVertex(&c), nullptr);
  }
  EXPECT_TRUE(a.edges.empty());
  EXPECT_TRUE(b.edges.empty());
  EXPECT_TRUE(c.edges.empty());
}

// A hub (a metal, a ring centroid's neighbours) holds more edges than fit inline: they move to
// the heap in order, and removing one from the middle keeps the order of the rest.
TEST(Graph, HubKeepsItsEdgesInOrderBeyondTheInlineRoom) {
  Vertex hub(0, 0);
  std::vector<std::unique_ptr<Vertex>> spokes;
  std::vector<std::unique_ptr<Edge>> edges;
  std::vector<Edge*> expected;
  for (unsigned i = 1; i <= 9; ++i) {
    spokes.push_back(std::make_unique<Vertex>(i, 0));
    edges.push_back(std::make_unique<Edge>(&hub, spokes.back().get()));
    expected.push_back(edges.back().get());
  }
  EXPECT_EQ(hub.edges, expected);
  const IncidentEdges copy = hub.edges;
  edges[2].reset();
  expected.erase(expected.begin() + 2);
  EXPECT_EQ(hub.edges, expected);
  EXPECT_EQ(copy.size(), 9u);
  EXPECT_EQ(hub.getEdgewith(spokes[8].get()), edges[8].get());
  while (!edges.empty()) edges.pop_back();
  EXPECT_TRUE(hub.edges.empty());
}

TEST(Graph, VertexDestroyedFirstLeavesNoDanglingEnd) {
  Vertex a(1, 0);
  auto b = std::make_unique<Vertex>(2, 0);
  Edge e(&a, b.get());
  b.reset();
  EXPECT_EQ(e.second, nullptr);
  EXPECT_EQ(e.getOtherVertex(&a), nullptr);
  EXPECT_NE(e.toString().find("none"), std::string::npos);
}  // e's destructor must not touch the dead vertex (sanitizer build)

TEST(Graph, SetWeightClampsToUnitInterval) {
  Vertex v(0, 0, kSomeAtom, 1.7);
  EXPECT_EQ(v.weight, 1.7);  // constructors store as given
  v.setWeight(1.7);
  EXPECT_EQ(v.weight, 1.0);
  v.setWeight(-0.2);
  EXPECT_EQ(v.weight, 0.0);
  v.setWeight(0.25);
  EXPECT_EQ(v.weight, 0.25);
  Vertex w(1, 0);
  Edge e(&v, &w);
  e.setWeight(3.0);
  EXPECT_EQ(e.weight, 1.0);
  e.setWeight(-1.0);
  EXPECT_EQ(e.weight, 0.0);
}

TEST(Graph, DelVertexRemovesItsEdgesFromEveryList) {
  Graph g;
  // Vertex 1 has degree 3; 0-2 and 3-4 do not touch it.
  build(g, 5, {{1, 0}, {0, 2}, {1, 2}, {3, 4}, {3, 1}});
  Vertex* v0 = g.getVertex(0);
  Vertex* v2 = g.getVertex(2);
  Vertex* v3 = g.getVertex(3);
  g.delVertex(g.getVertex(1));
  EXPECT_EQ(g.numVertices(), 4u);
  EXPECT_EQ(g.numEdges(), 2u);
  ASSERT_EQ(v0->edges.size(), 1u);
  EXPECT_EQ(v0->edges[0]->getOtherVertex(v0), v2);
  ASSERT_EQ(v2->edges.size(), 1u);
  ASSERT_EQ(v3->edges.size(), 1u);
  EXPECT_EQ(v3->edges[0]->getOtherVertex(v3)->num, 4u);
  for (ItEdge_Graph it(&g); it; ++it) {
    EXPECT_NE(it->first->num, 1u);
    EXPECT_NE(it->second->num, 1u);
  }

  Vertex stranger(9, 0);
  g.delVertex(&stranger);
  g.delVertex(nullptr);
  EXPECT_EQ(g.numVertices(), 4u);
}

TEST(Graph, DelVertexKeepsEdgesItDoesNotOwnSafe) {
  Vertex outside(9, 0);
  Graph g;
  build(g, 2, {{0, 1}});
  Edge foreign(g.getVertex(0), &outside);  // not owned by g
  g.delVertex(g.getVertex(0));             // must neither hang nor leave a dangling end
  EXPECT_EQ(g.numVertices(), 1u);
  EXPECT_EQ(g.numEdges(), 0u);
  EXPECT_EQ(foreign.first, nullptr);
  EXPECT_EQ(outside.edges, std::vector<Edge*>{&foreign});
}

TEST(Graph, DelEdgeDetachesOnlyThatEdge) {
  Graph g;
  build(g, 3, {{0, 1}, {1, 2}});
  Edge* first = g.getEdge(0);
  g.delEdge(first);
  EXPECT_EQ(g.numEdges(), 1u);
  EXPECT_TRUE(g.getVertex(0)->edges.empty());
  EXPECT_EQ(g.getVertex(1)->edges, std::vector<Edge*>{g.getEdge(0)});

  Vertex a(0, 0), b(1, 0);
  Edge notOwned(&a, &b);
  g.delEdge(&notOwned);
  g.delEdge(nullptr);
  EXPECT_EQ(g.numEdges(), 1u);
  EXPECT_EQ(a.edges.size(), 1u);
}

TEST(Graph, CloneCopiesVerticesAndEdgesOntoTheCopies) {
  Graph src;
  build(src, 3, {{0, 1}, {2, 1}});
  src.getVertex(2)->label = "C2";
  src.getVertex(2)->atom = kSomeAtom;
  src.getEdge(1)->weight = 0.5;
  src.getEdge(1)->bond = kSomeBond;
  src.getEdge(1)->isBondEdge = true;

  Graph dst;
  dst.addVertex(new Vertex(100, 0));
  dst.Clone(&src);
  ASSERT_EQ(dst.numVertices(), 4u);
  ASSERT_EQ(dst.numEdges(), 2u);
  EXPECT_EQ(dst.getVertex(3)->label, "C2");
  EXPECT_EQ(dst.getVertex(3)->atom, kSomeAtom);
  const Edge* e = dst.getEdge(1);
  EXPECT_EQ(e->first, dst.getVertex(3));
  EXPECT_EQ(e->second, dst.getVertex(2));
  EXPECT_EQ(e->weight, 0.5);
  EXPECT_EQ(e->bond, kSomeBond);
  EXPECT_TRUE(e->isBondEdge);
  EXPECT_EQ(dst.getVertex(2)->edges.size(), 2u);
  EXPECT_EQ(src.getVertex(1)->edges.size(), 2u);  // source untouched

  dst.Clone(&dst);  // cloning itself doubles it
  EXPECT_EQ(dst.numVertices(), 8u);
  EXPECT_EQ(dst.numEdges(), 4u);
}

TEST(Graph, CloneRejectsAnEdgeToAForeignVertexBeforeCopying) {
  Vertex outside(9, 0);
  Graph src;
  build(src, 2, {});
  src.addEdge(new Edge(src.getVertex(0), &outside));
  Graph dst;
  EXPECT_THROW(dst.Clone(&src), std::out_of_range);
  EXPECT_EQ(dst.numVertices(), 0u);
  EXPECT_EQ(dst.numEdges(), 0u);
}

TEST(Graph, IteratorsWalkVerticesEdgesAndNeighbours) {
  Graph g;
  build(g, 4, {{0, 1}, {2, 0}, {0, 3}});
  std::vector<unsigned> nums;
  for (ItVert_Graph it(&g); it; it++) nums.push_back((*it)->num);
  EXPECT_EQ(nums, (std::vector<unsigned>{0, 1, 2, 3}));

  std::vector<unsigned> others;
  ItEdge_Ve ve(g.getVertex(0));
  EXPECT_TRUE(ve == g.getEdge(0));
  for (; ve; ++ve) others.push_back(ve.get_Oth()->num);
  EXPECT_EQ(others, (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(*ve, nullptr);
  EXPECT_EQ(ve.get_Oth(), nullptr);
  ++ve;  // at the end already: stays there
  EXPECT_FALSE(ve);

  ItEdge_Graph ie(&g);
  ItEdge_Graph before = ie++;
  EXPECT_TRUE(before == g.getEdge(0));
  EXPECT_TRUE(ie == g.getEdge(1));

  testing::internal::CaptureStderr();
  ItVert_Graph none(nullptr);
  ItEdge_Ve noEdges(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "No vertex given for iteration\nNo vertex given for iteration\n");
  EXPECT_FALSE(none);
  EXPECT_FALSE(++noEdges);
  EXPECT_EQ(*none, nullptr);
}

TEST(Graph, DistancesCountEdgesOnShortestPaths) {
  Graph g;
  build(g, 5, {{0, 1}, {1, 2}, {2, 3}, {0, 3}});
  EXPECT_EQ(g.getDist(g.getVertex(0), g.getVertex(2)), 0u);  // not built yet
  g.createDistMatrix();
  EXPECT_EQ(g.getDist(g.getVertex(0), g.getVertex(2)), 2u);
  EXPECT_EQ(g.getDist(g.getVertex(3), g.getVertex(0)), 1u);
  EXPECT_EQ(g.getDist(g.getVertex(1), g.getVertex(1)), 0u);
  EXPECT_EQ(g.getDist(g.getVertex(4), g.getVertex(0)), 0u);  // unreachable
  EXPECT_EQ(g.getDist(g.getVertex(0), nullptr), 0u);
  g.cleanMatrixs();
  EXPECT_EQ(g.getDist(g.getVertex(0), g.getVertex(2)), 0u);
}

// ---------------------------------------------------------------- matrices

TEST(Graph, CreateMatrixNeedsTwoVerticesAndChangesNothingOtherwise) {
  Graph g;
  try {
    g.createMatrix();
    ADD_FAILURE() << "no exception";
  } catch (const MoleExcept& e) {
    EXPECT_EQ(e.code, 8001u);
    EXPECT_EQ(e.location, "ZELPAR::Create_Matrix");
    EXPECT_EQ(e.message, "Not enough pairs");
  }
  build(g, 2, {{0, 1}});
  g.createMatrix();
  g.delVertex(g.getVertex(0));
  EXPECT_THROW(g.createMatrix(), MoleExcept);
  EXPECT_TRUE(g.isMatrixBuilt());  // the earlier matrices survive the failed call
  EXPECT_EQ(g.ordered(0, 1), 1u);
}

TEST(Graph, EqualDegreesPutTheLaterVertexFirst) {
  Graph g;
  build(g, 2, {});
  g.createMatrix();
  EXPECT_EQ(g.getPositionMap(), (std::vector<unsigned>{1, 0}));
  for (unsigned i = 0; i < 2; ++i) {
    for (unsigned j = 0; j < 2; ++j) {
      EXPECT_EQ(g.adjacency(i, j), i == j ? 1u : 0u);
      EXPECT_EQ(g.ordered(i, j), i == j ? 1u : 0u);
    }
  }
}

TEST(Graph, StarCentreComesFirstWithAFullRow) {
  Graph g;
  build(g, 4, {{2, 0}, {2, 1}, {3, 2}});
  g.createMatrix();
  EXPECT_EQ(g.getPositionMap(), (std::vector<unsigned>{2, 3, 1, 0}));
  for (unsigned l = 0; l < 4; ++l) EXPECT_EQ(g.ordered(0, l), 1u) << l;
  for (unsigned k = 1; k < 4; ++k) {
    for (unsigned l = 1; l < 4; ++l) EXPECT_EQ(g.ordered(k, l), k == l ? 1u : 0u);
  }
  EXPECT_EQ(g.adjacency(2, 3), 1u);
  EXPECT_EQ(g.adjacency(0, 1), 0u);
}

TEST(Graph, OrderedMatrixIsTheAdjacencyMatrixPermuted) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    const unsigned n = 2 + rng() % 15;
    EdgeList edges;
    for (unsigned a = 0; a < n; ++a) {
      for (unsigned b = a + 1; b < n; ++b) {
        if (rng() % 3 == 0) edges.emplace_back(b, a);
      }
    }
    Graph g;
    build(g, n, edges);
    g.createMatrix();
    const auto& map = g.getPositionMap();
    ASSERT_EQ(map.size(), n);
    for (unsigned k = 0; k + 1 < n; ++k) {
      const size_t dk = g.getVertex(map[k])->edges.size();
      const size_t dn = g.getVertex(map[k + 1])->edges.size();
      EXPECT_TRUE(dk > dn || (dk == dn && map[k] > map[k + 1]));
    }
    for (unsigned i = 0; i < n; ++i) {
      EXPECT_EQ(g.adjacency(i, i), 1u);  // the diagonal
      for (unsigned j = 0; j < n; ++j) {
        EXPECT_EQ(g.adjacency(i, j), i == j || g.getVertex(i)->hasEdgewith(g.getVertex(j)));
        EXPECT_EQ(g.ordered(i, j), g.adjacency(map[i], map[j]));
      }
    }
  }
}

TEST(Graph, CreateMatrixTwiceStartsAfresh) {
  Graph g;
  build(g, 3, {{0, 1}});
  g.createMatrix();
  EXPECT_EQ(g.getPositionMap(), (std::vector<unsigned>{1, 0, 2}));
  g.addVertex(new Vertex(3, 0));
  g.addEdge(new Edge(g.getVertex(3), g.getVertex(2)));
  g.addEdge(new Edge(g.getVertex(3), g.getVertex(1)));
  g.createMatrix();
  EXPECT_EQ(g.getPositionMap(), (std::vector<unsigned>{3, 1, 2, 0}));
  EXPECT_EQ(g.adjacency(3, 2), 1u);
  EXPECT_EQ(g.ordered(0, 2), 1u);
  g.cleanMatrixs();
  EXPECT_FALSE(g.isMatrixBuilt());
  EXPECT_TRUE(g.getPositionMap().empty());
  EXPECT_EQ(g.adjacency(0, 0), 0u);
}

TEST(Graph, MatrixRowsFollowListPositionsNotVertexNumbers) {
  // Numbers far beyond the vertex count, one repeated.
  Graph g;
  g.addVertex(new Vertex(50, 0));
  g.addVertex(new Vertex(7, 0));
  g.addVertex(new Vertex(7, 0));
  g.addEdge(new Edge(g.getVertex(0), g.getVertex(2)));
  g.createMatrix();
  EXPECT_EQ(g.adjacency(0, 2), 1u);
  EXPECT_EQ(g.adjacency(0, 1), 0u);
  EXPECT_EQ(g.adjacency(1, 2), 0u);
}

// ---------------------------------------------------------------- clique search

namespace {

// Whether every recorded clique is a set of distinct, pairwise joined vertices of g.
void expectRealCliques(const Graph& g) {
  for (const auto& clique : g.getCliques()) {
    EXPECT_GE(clique.size(), 3u);
    for (size_t a = 0; a < clique.size(); ++a) {
      ASSERT_LT(clique[a], g.numVertices());
      for (size_t b = a + 1; b < clique.size(); ++b) {
        EXPECT_NE(clique[a], clique[b]);
        EXPECT_TRUE(g.getVertex(clique[a])->hasEdgewith(g.getVertex(clique[b])))
            << clique[a] << "-" << clique[b];
      }
    }
  }
}

// The search written as the plain recursion over candidate texts, on the ordered matrix.
struct ReferenceSearch {
  const Graph& g;
  unsigned n;
  std::vector<std::vector<unsigned>> cliques;

  bool step(const std::string& text, std::vector<unsigned> R) {
    std::vector<unsigned> accepted;
    for (unsigned i = 0; i < n; ++i) {
      if (text[i] == '0') continue;
      bool passOver = false;
      for (unsigned a : accepted) passOver = passOver || g.ordered(i, a) != 0;
      for (unsigned r : R) passOver = passOver || g.ordered(i, r) != 0;
      if (!accepted.empty() && passOver) continue;
      accepted.push_back(i);
      std::vector<unsigned> next = R;
      next.push_back(i);
      std::string nextText(n, '0');
      for (unsigned j = i + 1; j < n; ++j) {
        if (text[j] == '1' && g.ordered(j, i) != 0) nextText[j] = '1';
      }
      if (nextText.find('1') != std::string::npos) {
        step(nextText, next);
      } else if (next.size() >= 3) {
        std::sort(next.begin(), next.end());
        cliques.push_back(next);
        return true;
      }
    }
    return false;
  }

  void run() {
    std::vector<bool> seen(n);
    for (unsigned i = 0; i + 1 < n; ++i) {
      if (seen[i]) continue;
      seen[i] = true;
      std::string text(n, '0');
      for (unsigned p = i + 1; p < n; ++p) {
        if (g.ordered(i, p) != 0) text[p] = '1', seen[p] = true;
      }
      step(text, {i});
    }
    for (auto& c : cliques) {
      for (auto& m : c) m = g.getPositionMap()[m];
    }
  }
};

}  // namespace

TEST(Clique, HandWorkedGraphs) {
  using Cliques = std::vector<std::vector<unsigned>>;
  // Triangle: equal degrees, so the degree order is 2, 1, 0.
  EXPECT_EQ(cliquesOf(3, {{0, 1}, {1, 2}, {0, 2}}), (Cliques{{2, 1, 0}}));
  // One edge: two members are below the minimum size.
  EXPECT_EQ(cliquesOf(2, {{0, 1}}), Cliques{});
  // No edge at all.
  EXPECT_EQ(cliquesOf(4, {}), Cliques{});
  // Two disjoint triangles, one clique from each start.
  EXPECT_EQ(cliquesOf(6, {{0, 1}, {1, 2}, {0, 2}, {3, 4}, {4, 5}, {3, 5}}),
            (Cliques{{5, 4, 3}, {2, 1, 0}}));
  // K4: one clique of four.
  EXPECT_EQ(cliquesOf(4, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}),
            (Cliques{{3, 2, 1, 0}}));
  // Star: every leaf is a later neighbour of the centre.
  EXPECT_EQ(cliquesOf(5, {{0, 1}, {0, 2}, {0, 3}, {0, 4}}), Cliques{});
  // K4 with a pendant on vertex 3: vertex 3 leads, the pendant is left out.
  EXPECT_EQ(cliquesOf(5, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}, {3, 4}}),
            (Cliques{{3, 2, 1, 0}}));
}

TEST(Clique, DegreeTieRuleDecidesTheFirstClique) {
  // Bow tie: centre 0 with triangles 0-1-2 and 0-3-4. Among the equal-degree wings the later
  // vertex comes first, so the greedy descent takes 4 then 3.
  EXPECT_EQ(cliquesOf(5, {{0, 1}, {0, 2}, {1, 2}, {0, 3}, {0, 4}, {3, 4}}),
            (std::vector<std::vector<unsigned>>{{0, 4, 3}}));
}

TEST(Clique, LaterNeighbourOfAStartIsNeverAStart) {
  // Vertex 0 (degree 4) starts and reaches only 1; triangle 1-2-3 would be found from 1, but 1
  // is a later neighbour of the start 0, and 3, 2 form a pair only.
  EXPECT_EQ(cliquesOf(7, {{0, 1}, {1, 2}, {1, 3}, {2, 3}, {0, 4}, {0, 5}, {0, 6}}),
            std::vector<std::vector<unsigned>>{});
}

TEST(Clique, SearchWaitsForTheMatrices) {
  Graph g;
  build(g, 3, {{0, 1}, {1, 2}, {0, 2}});
  g.Run_Search_All_Max_Cliques();
  EXPECT_TRUE(g.getCliques().empty());
}

TEST(Clique, SecondRunAppendsWithoutRemappingEarlierCliques) {
  Graph g;
  build(g, 4, {{0, 1}, {1, 2}, {0, 2}, {2, 3}});
  g.createMatrix();
  g.Run_Search_All_Max_Cliques();
  const auto once = g.getCliques();
  ASSERT_EQ(once, (std::vector<std::vector<unsigned>>{{2, 1, 0}}));
  g.Run_Search_All_Max_Cliques();
  EXPECT_EQ(g.getCliques(), (std::vector<std::vector<unsigned>>{{2, 1, 0}, {2, 1, 0}}));
}

TEST(Clique, LargeCliqueNeedsNoDeepRecursion) {
  const unsigned n = 400;
  EdgeList edges;
  for (unsigned a = 0; a < n; ++a) {
    for (unsigned b = a + 1; b < n; ++b) edges.emplace_back(a, b);
  }
  const auto cliques = cliquesOf(n, edges);
  ASSERT_EQ(cliques.size(), 1u);
  EXPECT_EQ(cliques[0].size(), n);
}

TEST(Clique, RandomGraphsGiveRealCliquesInTheReferenceOrder) {
  std::mt19937 rng(2024);
  size_t found = 0;
  for (int round = 0; round < 60; ++round) {
    const unsigned n = 2 + rng() % 40;
    const unsigned density = 1 + rng() % 9;  // in tenths
    EdgeList edges;
    for (unsigned a = 0; a < n; ++a) {
      for (unsigned b = a + 1; b < n; ++b) {
        if (rng() % 10 < density) edges.emplace_back(a, b);
      }
    }
    Graph g;
    build(g, n, edges);
    g.createMatrix();
    g.Run_Search_All_Max_Cliques();
    expectRealCliques(g);
    ReferenceSearch reference{g, n, {}};
    reference.run();
    EXPECT_EQ(g.getCliques(), reference.cliques) << "round " << round;
    found += g.getCliques().size();
  }
  EXPECT_GT(found, 30u);  // the rounds do exercise the search
}

TEST(Clique, TraceReplaysPassedOverCandidates) {
  // Paw: triangle 0-1-2 with a pendant 3 on vertex 2; degree order 2, 1, 0, 3.
  Graph g;
  build(g, 4, {{0, 1}, {1, 2}, {0, 2}, {2, 3}});
  g.createMatrix();
  Graph::debug = true;
  testing::internal::CaptureStdout();
  g.Run_Search_All_Max_Cliques();
  const std::string trace = testing::internal::GetCapturedStdout();
  Graph::debug = false;
  EXPECT_EQ(trace,
            "#########################\n"
            "#########################\n"
            "NEW RUN : 0\n"
            "|  ->    \u2013 CANDIDATES : 0111\n"
            "|  ->    \u2013 LOOKING AT 1 1\n"
            "|  ->    \u2013 CURRENT CLIQUE : {0,1}\n"
            "|  ->    - NEW CANDIDATES : {2|}\n"
            "|  |  ->    \u2013 CANDIDATES : 0010\n"
            "|  |  ->    \u2013 LOOKING AT 2 1\n"
            "|  |  ->    \u2013 CURRENT CLIQUE : {0,1,2}\n"
            "|  |  ->    - END CLIQUE\n"
            "|  ->    \u2013 LOOKING AT 2 1\n"
            "|  ->    \u2013 LOOKING AT 3 1\n"
            "CLIQUES : 2 1 0\n"
            "      #####\n"
            "  ->      CLIQUE SIZE : \t3\n"
            "  ->         N CLIQUE : \t1\n"
            "      #####\n");
  EXPECT_EQ(g.getCliques(), (std::vector<std::vector<unsigned>>{{2, 1, 0}}));
}
