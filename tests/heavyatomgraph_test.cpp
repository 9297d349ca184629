// Tests of HeavyAtomGraph and SymmetryClasses: which atoms and bonds the graph holds, which
// atoms share a class, and refinement cut at its work bound on a long chain.
#include "heavyatomgraph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graph_builder.h"
#include "graphmatch.h"

using namespace VXMole;

namespace {

TEST(HeavyAtomGraph, LeavesOutHydrogensAndRingDummiesWhateverTheBondOrders) {
  std::vector<AtomEntry> atoms = kBenzoate;
  atoms.push_back({"C", {0, 0, 0}, true});  // the ring centroid
  std::vector<BondEntry> bonds = kBenzoateBonds;
  bonds.push_back({14, 0});
  const auto molecule = build(atoms, bonds);
  const HeavyAtomGraph graph(*molecule);
  ASSERT_EQ(graph.size(), 9u);
  EXPECT_EQ(graph.numBonds(), 9u);  // six ring bonds, C1-C7, C7=O8, C7-O9
  EXPECT_EQ(graph.degree(0), 3u);
  EXPECT_EQ(std::vector<unsigned>(graph.neighbours(6), graph.neighbours(6) + 3),
            (std::vector<unsigned>{0, 7, 8}));
  EXPECT_TRUE(graph.bonded(7, 6));
  EXPECT_FALSE(graph.bonded(7, 8));
  EXPECT_EQ(graph.element(8), 8u);
}

TEST(HeavyAtomGraph, SelectionKeepsTheBondsBetweenSelectedAtoms) {
  const auto molecule = build(kBenzoate, kBenzoateBonds);
  std::vector<bool> ring(kBenzoate.size(), false);
  for (unsigned k : {0, 1, 2, 3, 4, 5, 9, 10}) ring[k] = true;  // two hydrogens selected
  const HeavyAtomGraph graph(*molecule, ring);
  EXPECT_EQ(graph.size(), 6u);
  EXPECT_EQ(graph.numBonds(), 6u);  // C1-C7 goes with C7
  EXPECT_EQ(graph.degree(0), 2u);
}

TEST(SymmetryClasses, AtomsAlikeByTheirBondsShareAClass) {
  const auto reference = build(kBenzoate, kBenzoateBonds);
  const HeavyAtomGraph graph(*reference);
  SymmetryClasses classes(graph, graph);
  uint64_t work = 0;
  std::string difference;
  ASSERT_EQ(classes.refine(~0ull, work, difference), SymmetryClasses::Outcome::kSettled);
  const std::vector<unsigned>& colour = classes.referenceColours();
  // The oxygens (bond orders do not count), the ortho and the meta carbons: 6 classes.
  EXPECT_EQ(colour[7], colour[8]);
  EXPECT_EQ(colour[1], colour[5]);
  EXPECT_EQ(colour[2], colour[4]);
  EXPECT_NE(colour[1], colour[2]);
  EXPECT_NE(colour[0], colour[3]);
  EXPECT_EQ(classes.colours(), 6u);
  EXPECT_EQ(classes.comparisonColours(), colour);
}

// A zigzag chain of carbons, listed from one end or from the other.
std::unique_ptr<Molecule> chain(unsigned count, bool reversed) {
  std::vector<AtomEntry> atoms;
  std::vector<BondEntry> bonds;
  for (unsigned k = 0; k < count; ++k) {
    const unsigned at = reversed ? count - 1 - k : k;
    atoms.push_back({"C", {1.25 * at, 0.8 * (at % 2), 0}});
    if (k > 0) bonds.push_back({k - 1, k});
  }
  return build(atoms, bonds);
}

// Refinement needs half as many rounds as a chain has atoms: cut at its bound, its coarser
// classes still let the search map the chain exactly.
TEST(SymmetryClasses, LongChainIsCutAtTheBoundAndStillMapped) {
  const auto reference = chain(1000, false);
  const auto comparison = chain(1000, true);
  const HeavyAtomGraph a(*reference), b(*comparison);
  SymmetryClasses classes(a, b);
  uint64_t work = 0;
  std::string difference;
  ASSERT_EQ(classes.refine(1'000'000, work, difference), SymmetryClasses::Outcome::kCut);
  EXPECT_LT(classes.colours(), 500u);
  EXPECT_LT(work, 1'000'000u + 2 * SymmetryClasses::kWorkPerEntry * 3 * 1000);

  GraphMatchOptions options;
  options.workLimit = 2'000'000;
  for (GraphRmsd choose : {GraphRmsd::kInPlace, GraphRmsd::kFitted}) {
    options.choose = choose;
    const GraphMatchResult result = matchGraphs(*reference, *comparison, options);
    ASSERT_EQ(result.outcome, GraphMatchResult::Outcome::kMapped);
    EXPECT_FALSE(result.classesSettled);
    EXPECT_TRUE(result.proved);
    // The chain turned end for end by 180 degrees about z is the same zigzag: both mappings
    // fit at 0, and in place only the one that keeps every atom.
    EXPECT_NEAR(result.fittedRmsd, 0.0, 1e-6);
    if (choose == GraphRmsd::kInPlace) {
      EXPECT_NEAR(result.inPlaceRmsd, 0.0, 1e-9);
      EXPECT_EQ(result.comparison[0]->getName(), "C1000");  // the far end of the reversed list
    }
  }
}

}  // namespace
