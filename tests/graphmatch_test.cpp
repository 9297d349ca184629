// Tests of GraphMatch: the heavy-atom graph, what is said of graphs that cannot be mapped, and
// the mapping of lowest RMSD against every isomorphism tried by hand and against RDKit.
#include "graphmatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "atome.h"
#include "complex.h"
#include "graph_builder.h"
#include "molecule.h"
#include "rigidbody.h"
#include "structurefile.h"

using namespace VXMole;

namespace {

GraphMatchResult match(const Molecule& reference, const Molecule& comparison, GraphRmsd choose,
                       uint64_t workLimit = 0) {
  GraphMatchOptions options;
  options.choose = choose;
  options.workLimit = workLimit;
  return matchGraphs(reference, comparison, options);
}

TEST(GraphMatch, SwappedCarboxylateOxygensGiveZero) {
  const auto reference = build(kBenzoate, kBenzoateBonds);
  // The comparison lists O9 before O8, each at the other's place, and makes the other one the
  // double bond: by name the pairs would be 2.25 Å apart.
  std::vector<Coords> place = coordsOf(kBenzoate);
  std::swap(place[7], place[8]);
  std::vector<BondEntry> bonds = kBenzoateBonds;
  bonds[7].type = kBondSingle;
  bonds[8].type = kBondDouble;
  const auto comparison =
      reordered(kBenzoate, bonds, {0, 1, 2, 3, 4, 5, 6, 8, 7, 9, 10, 11, 12, 13}, place);
  for (GraphRmsd choose : {GraphRmsd::kFitted, GraphRmsd::kInPlace}) {
    const GraphMatchResult result = match(*reference, *comparison, choose);
    ASSERT_EQ(result.outcome, GraphMatchResult::Outcome::kMapped);
    EXPECT_TRUE(result.proved);
    ASSERT_EQ(result.reference.size(), 9u);  // no hydrogen is paired
    EXPECT_NEAR(result.fittedRmsd, 0.0, 1e-6);
    EXPECT_NEAR(result.inPlaceRmsd, 0.0, 1e-12);
    EXPECT_EQ(result.reference[7]->getName(), "O8");
    EXPECT_EQ(result.comparison[7]->getName(), "O8");  // O9's place in the comparison
  }
}

TEST(GraphMatch, BenzeneTurnedByOnePositionGivesZero) {
  // Kekulé bonds in the reference, aromatic ones in the comparison; its atom k stands where
  // reference atom k + 1 stands.
  std::vector<AtomEntry> ring;
  std::vector<BondEntry> kekule, aromatic;
  for (unsigned k = 0; k < 6; ++k) {
    const double angle = k * M_PI / 3;
    ring.push_back({"C", {1.39 * std::cos(angle), 1.39 * std::sin(angle), 0}});
    kekule.push_back({k, (k + 1) % 6, k % 2 == 0 ? kBondDouble : kBondSingle});
    aromatic.push_back({k, (k + 1) % 6, kBondAromatic});
  }
  for (unsigned k = 0; k < 6; ++k) {
    ring.push_back({"H", {2.47 * std::cos(k * M_PI / 3), 2.47 * std::sin(k * M_PI / 3), 0}});
    kekule.push_back({k, k + 6});
    aromatic.push_back({k, k + 6});
  }
  const auto reference = build(ring, kekule);
  std::vector<Coords> turned = coordsOf(ring);
  std::rotate(turned.begin(), turned.begin() + 1, turned.begin() + 6);
  std::rotate(turned.begin() + 6, turned.begin() + 7, turned.end());
  std::vector<unsigned> order(12);
  for (unsigned k = 0; k < 12; ++k) order[k] = k;
  const auto comparison = reordered(ring, aromatic, order, turned);
  // Every turn of the ring fits exactly; in place only the one that undoes the shift does.
  const GraphMatchResult fitted = match(*reference, *comparison, GraphRmsd::kFitted);
  ASSERT_EQ(fitted.outcome, GraphMatchResult::Outcome::kMapped);
  EXPECT_NEAR(fitted.fittedRmsd, 0.0, 1e-6);
  const GraphMatchResult inPlace = match(*reference, *comparison, GraphRmsd::kInPlace);
  ASSERT_EQ(inPlace.outcome, GraphMatchResult::Outcome::kMapped);
  EXPECT_NEAR(inPlace.inPlaceRmsd, 0.0, 1e-12);
  EXPECT_NEAR(inPlace.fittedRmsd, 0.0, 1e-6);
  for (unsigned k = 0; k < 6; ++k)  // reference atom k+1 is the comparison atom before it
    EXPECT_EQ(inPlace.comparison[(k + 1) % 6]->getName(), "C" + std::to_string(k + 1));
}

// Chains of carbons by their bonds, at made-up places.
std::unique_ptr<Molecule> carbons(unsigned count, const std::vector<BondEntry>& bonds) {
  std::vector<AtomEntry> atoms;
  for (unsigned k = 0; k < count; ++k) atoms.push_back({"C", {1.5 * k, 0.3 * (k % 2), 0}});
  return build(atoms, bonds);
}

TEST(GraphMatch, GraphsThatDifferSayWhereFirst) {
  using Outcome = GraphMatchResult::Outcome;
  const auto butane = carbons(4, {{0, 1}, {1, 2}, {2, 3}});
  const auto isobutane = carbons(4, {{0, 1}, {1, 2}, {1, 3}});
  const auto pentane = carbons(5, {{0, 1}, {1, 2}, {2, 3}, {3, 4}});
  const auto cyclobutane = carbons(4, {{0, 1}, {1, 2}, {2, 3}, {3, 0}});
  // 2- and 3-methylpentane: the same degrees, told apart by the neighbours of the branch.
  const auto methyl2 = carbons(6, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {1, 5}});
  const auto methyl3 = carbons(6, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {2, 5}});
  // Two triangles and a hexagon: every atom alike to colour refinement; only the search tells.
  const auto triangles = carbons(6, {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5}, {5, 3}});
  const auto hexagon = carbons(6, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 0}});

  struct Case {
    const Molecule* reference;
    const Molecule* comparison;
    const char* text;
  };
  const Case cases[] = {
      {butane.get(), pentane.get(),
       "the heavy-atom bond graphs are not isomorphic (reference: 4 heavy atoms, 3 bonds; "
       "comparison: 5 heavy atoms, 4 bonds): C atoms: 4 in the reference, 5 in the comparison"},
      {butane.get(), cyclobutane.get(),
       "the heavy-atom bond graphs are not isomorphic (reference: 4 heavy atoms, 3 bonds; "
       "comparison: 4 heavy atoms, 4 bonds): bonds between heavy atoms: 3 in the reference, 4 in "
       "the comparison"},
      {butane.get(), isobutane.get(),
       "the heavy-atom bond graphs are not isomorphic (reference: 4 heavy atoms, 3 bonds; "
       "comparison: 4 heavy atoms, 3 bonds): C atoms with 2 bonded heavy atoms: 2 in the "
       "reference, 0 in the comparison"},
      {methyl2.get(), methyl3.get(),
       "the heavy-atom bond graphs are not isomorphic (reference: 6 heavy atoms, 5 bonds; "
       "comparison: 6 heavy atoms, 5 bonds): atoms with the bonded surroundings of reference atom "
       "C1 (1), up to 1 bond away: 2 in the reference, 1 in the comparison"},
      {triangles.get(), hexagon.get(),
       "the heavy-atom bond graphs are not isomorphic (reference: 6 heavy atoms, 6 bonds; "
       "comparison: 6 heavy atoms, 6 bonds): no one-to-one mapping of the heavy atoms keeps every "
       "bond"},
  };
  for (const Case& c : cases) {
    const GraphMatchResult result = match(*c.reference, *c.comparison, GraphRmsd::kFitted);
    EXPECT_EQ(result.outcome, Outcome::kNotIsomorphic);
    EXPECT_TRUE(result.reference.empty());
    EXPECT_EQ(result.describe(), c.text);
  }
}

TEST(GraphMatch, NothingToMapIsSaid) {
  using Outcome = GraphMatchResult::Outcome;
  const auto hydrogen = build({{"H", {0, 0, 0}}, {"H", {0.74, 0, 0}}}, {{0, 1}});
  const auto unbonded = build({{"C", {0, 0, 0}}, {"O", {1.2, 0, 0}}}, {});
  const auto carbonMonoxide = build({{"C", {0, 0, 0}}, {"O", {1.13, 0, 0}}}, {{0, 1}});
  GraphMatchResult result = match(*hydrogen, *carbonMonoxide, GraphRmsd::kFitted);
  EXPECT_EQ(result.outcome, Outcome::kNoHeavyAtoms);
  EXPECT_EQ(result.describe(),
            "there is no heavy atom to pair (reference: 0 heavy atoms, 0 bonds; comparison: 2 "
            "heavy atoms, 1 bond): the reference has none");
  result = match(*carbonMonoxide, *unbonded, GraphRmsd::kInPlace);
  EXPECT_EQ(result.outcome, Outcome::kNoBonds);
  EXPECT_EQ(result.describe(),
            "the heavy-atom bond graph cannot pair the atoms (reference: 2 heavy atoms, 1 bond; "
            "comparison: 2 heavy atoms, 0 bonds): no bond joins two heavy atoms of the comparison");
  // A lone heavy atom is paired whatever its bonds; one point has nothing to fit.
  const auto sodium = build({{"Na", {1, 2, 3}}}, {});
  const auto moved = build({{"Na", {1, 2, 5}}}, {});
  result = match(*sodium, *moved, GraphRmsd::kInPlace);
  ASSERT_EQ(result.outcome, Outcome::kMapped);
  EXPECT_DOUBLE_EQ(result.inPlaceRmsd, 2.0);
  EXPECT_EQ(result.fittedRmsd, RigidBody::kNothingToFit);
}

// A salt in two fragments: acetate and two sodium ions, the ions listed the other way round
// in the comparison and the acetate's oxygens swapped.
TEST(GraphMatch, FragmentsAndLoneIonsAreMappedTogether) {
  const std::vector<AtomEntry> salt = {{"C", {0, 0, 0}},        {"C", {1.5, 0, 0}},
                                       {"O", {2.2, 1.1, 0}},    {"O", {2.2, -1.1, 0}},
                                       {"Na", {4.0, 2.5, 0.5}}, {"Na", {4.2, -2.6, -0.4}}};
  const std::vector<BondEntry> bonds = {{0, 1}, {1, 2}, {1, 3, kBondDouble}};
  const auto reference = build(salt, bonds);
  std::vector<Coords> place = coordsOf(salt);
  const auto comparison = reordered(salt, bonds, {5, 3, 2, 1, 0, 4}, place);
  for (GraphRmsd choose : {GraphRmsd::kFitted, GraphRmsd::kInPlace}) {
    const GraphMatchResult result = match(*reference, *comparison, choose);
    ASSERT_EQ(result.outcome, GraphMatchResult::Outcome::kMapped);
    EXPECT_NEAR(result.inPlaceRmsd, 0.0, 1e-12);
    EXPECT_NEAR(result.fittedRmsd, 0.0, 1e-6);
  }
}

// Every isomorphism of the heavy-atom graphs, by plain backtracking in atom order, each scored
// by RigidBody and in place: the search's answer must be the least of them.
void everyIsomorphism(const HeavyAtomGraph& a, const HeavyAtomGraph& b,
                      std::vector<unsigned>& image, std::vector<bool>& taken, double& bestFitted,
                      double& bestInPlace) {
  const auto v = static_cast<unsigned>(
      std::count_if(image.begin(), image.end(), [](unsigned w) { return w != ~0u; }));
  if (v == a.size()) {
    std::vector<Coords> rigid, mobile;
    double sum = 0;
    for (unsigned k = 0; k < a.size(); ++k) {
      rigid.push_back(a.position(k));
      mobile.push_back(b.position(image[k]));
      sum += a.position(k).calcDist(b.position(image[k])) *
             a.position(k).calcDist(b.position(image[k]));
    }
    RigidBody fit;
    fit.Load_Coords_To_Rigid(rigid);
    fit.Load_Coords_To_Mobile(mobile);
    bestFitted = std::min(bestFitted, fit.Calc_Rotation(-1.0));
    bestInPlace = std::min(bestInPlace, std::sqrt(sum / a.size()));
    return;
  }
  for (unsigned w = 0; w < b.size(); ++w) {
    if (taken[w] || a.element(v) != b.element(w) || a.degree(v) != b.degree(w)) continue;
    bool keeps = true;
    for (unsigned u = 0; u < v && keeps; ++u) keeps = a.bonded(u, v) == b.bonded(image[u], w);
    if (!keeps) continue;
    image[v] = w;
    taken[w] = true;
    everyIsomorphism(a, b, image, taken, bestFitted, bestInPlace);
    image[v] = ~0u;
    taken[w] = false;
  }
}

TEST(GraphMatch, BestMappingIsTheLeastOfEveryIsomorphism) {
  // 1-tert-butyl-4-(trifluoromethyl)benzene with a carboxylate on the butyl: 72 automorphisms
  // less the ring flip, at random places, against random moves of it with 1 Å of noise.
  const std::vector<BondEntry> bonds = {{0, 1},   {1, 2},   {2, 3},  {3, 4},   {4, 5},  {5, 0},
                                        {0, 6},   {6, 7},   {6, 8},  {6, 9},   {3, 10}, {10, 11},
                                        {10, 12}, {10, 13}, {7, 14}, {14, 15}, {14, 16}};
  const char* symbols = "CCCCCCCCCCCFFFCOO";
  std::mt19937 random(25);
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (int trial = 0; trial < 6; ++trial) {
    std::vector<AtomEntry> atoms;
    for (unsigned k = 0; k < 17; ++k)
      atoms.push_back({std::string(1, symbols[k]),
                       {2.5 * gauss(random), 2.5 * gauss(random), 2.5 * gauss(random)}});
    std::vector<Coords> moved;
    const double c = std::cos(0.7 * trial), s = std::sin(0.7 * trial);
    for (const AtomEntry& a : atoms)
      moved.push_back(Coords(c * a.xyz.x - s * a.xyz.y + gauss(random) + 3,
                             s * a.xyz.x + c * a.xyz.y + gauss(random), a.xyz.z + gauss(random)));
    std::vector<unsigned> order(17);
    for (unsigned k = 0; k < 17; ++k) order[k] = k;
    std::shuffle(order.begin(), order.end(), random);
    const auto reference = build(atoms, bonds);
    const auto comparison = reordered(atoms, bonds, order, moved);

    const HeavyAtomGraph a(*reference), b(*comparison);
    std::vector<unsigned> image(17, ~0u);
    std::vector<bool> taken(17, false);
    double bestFitted = HUGE_VAL, bestInPlace = HUGE_VAL;
    everyIsomorphism(a, b, image, taken, bestFitted, bestInPlace);
    const GraphMatchResult fitted = match(*reference, *comparison, GraphRmsd::kFitted);
    const GraphMatchResult inPlace = match(*reference, *comparison, GraphRmsd::kInPlace);
    ASSERT_EQ(fitted.outcome, GraphMatchResult::Outcome::kMapped);
    EXPECT_TRUE(fitted.proved && inPlace.proved);
    EXPECT_NEAR(fitted.fittedRmsd, bestFitted, 1e-9) << "trial " << trial;
    EXPECT_NEAR(inPlace.inPlaceRmsd, bestInPlace, 1e-9) << "trial " << trial;
    // Every pair joins atoms of one element, and bonded atoms to bonded atoms.
    for (size_t i = 0; i < fitted.reference.size(); ++i) {
      EXPECT_EQ(fitted.reference[i]->getAtomicNum(), fitted.comparison[i]->getAtomicNum());
      for (size_t j = 0; j < i; ++j)
        EXPECT_EQ(fitted.reference[i]->hasLink(fitted.reference[j]),
                  fitted.comparison[i]->hasLink(fitted.comparison[j]));
    }
  }
}

// The truncated icosahedron of edge 1.4 Å: 60 atoms, 120 automorphisms; turned about y, its
// atoms listed from the shift-th on and moved by up to `noise` Å.
std::unique_ptr<Molecule> buckminsterfullerene(double turn, unsigned shift, double noise = 0) {
  const double phi = (1 + std::sqrt(5.0)) / 2;
  const double base[3][3] = {{0, 1, 3 * phi}, {1, 2 + phi, 2 * phi}, {phi, 2, phi * phi * phi}};
  std::vector<Coords> points;
  for (const auto& b : base)
    for (int signs = 0; signs < 8; ++signs)
      for (int cycle = 0; cycle < 3; ++cycle) {
        double v[3];
        for (int i = 0; i < 3; ++i) v[i] = b[i] * ((signs >> i) & 1 ? -1 : 1);
        const Coords p(0.7 * v[cycle], 0.7 * v[(cycle + 1) % 3], 0.7 * v[(cycle + 2) % 3]);
        if (std::none_of(points.begin(), points.end(),
                         [&p](const Coords& q) { return p.calcDist(q) < 1e-6; }))
          points.push_back(p);
      }
  std::vector<AtomEntry> atoms;
  const double c = std::cos(turn), s = std::sin(turn);
  for (size_t k = 0; k < points.size(); ++k) {
    const Coords& p = points[(k + shift) % points.size()];
    atoms.push_back({"C", {c * p.x - s * p.z, p.y, s * p.x + c * p.z}});
  }
  std::vector<BondEntry> bonds;
  for (unsigned i = 0; i < atoms.size(); ++i)
    for (unsigned j = i + 1; j < atoms.size(); ++j)
      if (std::fabs(atoms[i].xyz.calcDist(atoms[j].xyz) - 1.4) < 1e-6) bonds.push_back({i, j});
  for (size_t k = 0; k < atoms.size(); ++k)
    atoms[k].xyz +=
        Coords(noise * std::sin(1.3 * k), noise * std::cos(2.1 * k), noise * std::sin(0.7 * k));
  return build(atoms, bonds);
}

TEST(GraphMatch, SymmetricFullereneIsMappedWithinItsBound) {
  const auto reference = buckminsterfullerene(0, 0);
  const auto comparison = buckminsterfullerene(1.1, 17);
  ASSERT_EQ(HeavyAtomGraph(*reference).size(), 60u);
  ASSERT_EQ(HeavyAtomGraph(*reference).numBonds(), 90u);
  const GraphMatchResult fitted = match(*reference, *comparison, GraphRmsd::kFitted);
  ASSERT_EQ(fitted.outcome, GraphMatchResult::Outcome::kMapped);
  EXPECT_TRUE(fitted.proved);
  EXPECT_NEAR(fitted.fittedRmsd, 0.0, 1e-6);
  const GraphMatchResult inPlace = match(*reference, *comparison, GraphRmsd::kInPlace);
  EXPECT_TRUE(inPlace.proved);
  EXPECT_LT(inPlace.inPlaceRmsd, fitted.inPlaceRmsd + 1e-12);

  // A search stopped before its first mapping says so; one stopped later keeps its best.
  const GraphMatchResult stopped = match(*reference, *comparison, GraphRmsd::kFitted, 1);
  EXPECT_EQ(stopped.outcome, GraphMatchResult::Outcome::kStopped);
  EXPECT_FALSE(stopped.proved);
  EXPECT_EQ(stopped.describe(),
            "the graph search stopped at its bound before any mapping (reference: 60 heavy atoms, "
            "90 bonds; comparison: 60 heavy atoms, 90 bonds): no mapping found within the bound "
            "of the search");
  // With noise every turn of the 60 must be followed to its end.
  const auto noisy = buckminsterfullerene(1.1, 17, 0.1);
  const GraphMatchResult full = match(*reference, *noisy, GraphRmsd::kFitted);
  EXPECT_TRUE(full.proved);
  double noiseSquares = 0;  // the moves: the right mapping fits at least this well
  for (int k = 0; k < 60; ++k)
    noiseSquares += 0.01 * (std::pow(std::sin(1.3 * k), 2) + std::pow(std::cos(2.1 * k), 2) +
                            std::pow(std::sin(0.7 * k), 2));
  EXPECT_LE(full.fittedRmsd, std::sqrt(noiseSquares / 60));
  const GraphMatchResult cut = match(*reference, *noisy, GraphRmsd::kFitted, full.work / 10);
  ASSERT_EQ(cut.outcome, GraphMatchResult::Outcome::kMapped);
  EXPECT_FALSE(cut.proved);
  EXPECT_EQ(cut.reference.size(), 60u);
  EXPECT_GE(cut.fittedRmsd, full.fittedRmsd - 1e-9);
}

std::string dataPath(const std::string& name) {
  return std::string(KESTRUM_TEST_DATA) + "/" + name;
}

// The molecules of a file, as the driver reads them.
void load(const std::string& name, Complex& complex) {
  StructureFile::load(dataPath(name), complex, kMoleCalcs);
}

// RDKit 2022.09's GetBestRMS and CalcRMS on the same heavy atoms, every bond made single (bond
// orders do not count here): tests/interop/graphmatch.py computes them.
struct RDKitValues {
  double fitted;
  double inPlace;
};

void expectRDKit(const Molecule& reference, const Molecule& comparison, RDKitValues rdkit,
                 const std::string& what) {
  const GraphMatchResult fitted = match(reference, comparison, GraphRmsd::kFitted);
  const GraphMatchResult inPlace = match(reference, comparison, GraphRmsd::kInPlace);
  ASSERT_EQ(fitted.outcome, GraphMatchResult::Outcome::kMapped) << what << fitted.describe();
  EXPECT_TRUE(fitted.proved && inPlace.proved) << what;
  EXPECT_NEAR(fitted.fittedRmsd, rdkit.fitted, 1e-4) << what;
  EXPECT_NEAR(inPlace.inPlaceRmsd, rdkit.inPlace, 1e-4) << what;
}

TEST(GraphMatch, ThreePosesAgreeWithRDKit) {
  // Two RDKit conformers and the crystal pose with its nitro and sulfonyl oxygens swapped,
  // each with its atoms shuffled.
  Complex reference, poses;
  load("graph_cdk2_reference.mol2", reference);
  load("graph_cdk2_three_poses.mol2", poses);
  ASSERT_EQ(poses.others.size(), 3u);
  const RDKitValues rdkit[] = {{0.310513, 1.433184}, {0.809509, 10.526051}, {0.0, 0.0}};
  for (size_t k = 0; k < 3; ++k)
    expectRDKit(reference.others[0], poses.others[k], rdkit[k], "pose " + std::to_string(k + 1));
}

TEST(GraphMatch, RealLigandsAgreeWithRDKit) {
  Complex chainA, chainB;
  load("e2e_acp_chain_a.pdb", chainA);
  load("e2e_acp_chain_b.pdb", chainB);
  expectRDKit(chainA.others[0], chainB.others[0], {1.335218, 1.772133}, "ACP");

  // Each ligand against its shuffled, moved and noisy copy.
  Complex ligands, moved;
  load("element_ligands.mol2", ligands);
  load("element_ligands_moved.mol2", moved);
  ASSERT_EQ(ligands.others.size(), 6u);
  const RDKitValues rdkit[] = {{0.033052, 9.516024},  {0.028710, 26.527304}, {0.028254, 18.088224},
                               {0.027118, 15.561645}, {0.030696, 11.937808}, {0.028684, 24.215668}};
  for (size_t k = 0; k < 6; ++k)
    expectRDKit(ligands.others[k], moved.others[k], rdkit[k], "ligand " + std::to_string(k + 1));

  // 1C9 as two entries hold it: six atoms more in one.
  Complex small, large;
  load("e2e_1c9_4i23.pdb", small);
  load("e2e_1c9_4i24.pdb", large);
  const GraphMatchResult result = match(small.others[0], large.others[0], GraphRmsd::kFitted);
  EXPECT_EQ(result.outcome, GraphMatchResult::Outcome::kNotIsomorphic);
  EXPECT_EQ(result.describe(),
            "the heavy-atom bond graphs are not isomorphic (reference: 22 heavy atoms, 24 bonds; "
            "comparison: 28 heavy atoms, 30 bonds): C atoms: 15 in the reference, 19 in the "
            "comparison");
}

}  // namespace
