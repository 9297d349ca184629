// Tests of atom pairing: the pairs each mode forms, the memory and time checks, the kept set and
// the rules of its warnings, on molecules built in code and on real ligands.
#include "pairing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "atome.h"
#include "complex.h"
#include "global.h"
#include "graph_builder.h"
#include "lsq_reference.h"
#include "molecule.h"
#include "residu.h"
#include "rigidbody.h"
#include "selection.h"
#include "structurefile.h"

using namespace VXMole;

namespace {

// One atom of a molecule built in a test: element, name, map number and position.
struct AtomRow {
  std::string symbol;
  std::string name;
  unsigned mapNum;
  Coords xyz;
  bool excluded = false;  // a ring centroid dummy
  char altLoc = '\0';
};

void fill(Molecule& molecule, const std::vector<AtomRow>& atoms) {
  for (const AtomRow& s : atoms) {
    auto* atom =
        new Atom(static_cast<unsigned>(molecule.numAtoms()), s.mapNum, s.symbol, s.xyz, s.name, "");
    atom->excluded = s.excluded;
    atom->setAltLoc(s.altLoc);
    molecule.addAtom(atom);
  }
}

// The atom rows turned by `angle` radians about z and shifted, in the order given by `order`.
std::vector<AtomRow> moved(const std::vector<AtomRow>& rows, double angle,
                           const std::vector<size_t>& order) {
  std::vector<AtomRow> out;
  for (size_t k : order) {
    AtomRow s = rows[k];
    const Coords p = s.xyz;
    s.xyz = Coords(std::cos(angle) * p.x - std::sin(angle) * p.y + 3,
                   std::sin(angle) * p.x + std::cos(angle) * p.y - 2, p.z + 1);
    out.push_back(s);
  }
  return out;
}

// The pairs as (reference name, comparison map number), to compare with a list by hand.
std::vector<std::pair<std::string, unsigned>> named(const PairingResult& result) {
  std::vector<std::pair<std::string, unsigned>> pairs;
  for (const AtomPair& pair : result.pairs)
    pairs.emplace_back(pair.reference->getName(), pair.comparison->getMapNum());
  return pairs;
}

PairingOptions withMode(PairingMode mode) {
  PairingOptions options;
  options.mode = mode;
  options.memoryAvailable = std::numeric_limits<double>::infinity();
  // The time bound is tested on its own; elsewhere a slow build (sanitizers, a loaded machine)
  // must not turn a result into a timeout.
  options.searchTimeLimit = 3600;
  return options;
}

// Every two kept pairs agree, and the flags say which are kept.
void expectConsistentKeptSet(const PairingResult& result) {
  ASSERT_EQ(result.isKept.size(), result.pairs.size());
  size_t flagged = 0;
  for (bool kept : result.isKept) flagged += kept;
  EXPECT_EQ(flagged, result.kept.size());
  for (unsigned a : result.kept) {
    EXPECT_TRUE(result.isKept[a]);
    for (unsigned b : result.kept) {
      const AtomPair& p = result.pairs[a];
      const AtomPair& q = result.pairs[b];
      EXPECT_TRUE(PairCoords::agree(p.reference->getFixedCoords(), p.comparison->getFixedCoords(),
                                    q.reference->getFixedCoords(), q.comparison->getFixedCoords()))
          << a << "-" << b;
    }
  }
}

// A reference with a hydrogen and a ring centroid dummy among its heavy atoms, and a comparison
// that repeats the name C2 and shuffles the rest.
class PairingModes : public ::testing::Test {
 protected:
  void SetUp() override {
    fill(reference, {{"C", "C1", 1, Coords(0, 0, 0)},
                     {"H", "H1", 2, Coords(1, 0, 0)},
                     {"C", "C2", 3, Coords(1.5, 0, 0)},
                     {"C", "DuCy", 4, Coords(0, 1, 0), true},
                     {"N", "N1", 5, Coords(3, 0, 0)}});
    fill(comparison, {{"N", "N1", 1, Coords(3, 0, 0)},
                      {"C", "C2", 3, Coords(1.5, 0, 0)},
                      {"H", "H1", 2, Coords(1, 0, 0)},
                      {"C", "C1", 4, Coords(0, 0, 0)},
                      {"C", "C2", 5, Coords(1.5, 0.2, 0)},
                      {"C", "DuCy", 6, Coords(0, 1, 0), true}});
  }
  Molecule reference;
  Molecule comparison;
};

TEST_F(PairingModes, EachModeFormsEveryMatchInReferenceOrderLeavingOutHydrogensAndDummies) {
  using Pairs = std::vector<std::pair<std::string, unsigned>>;
  // By name C2 finds both its partners, in comparison order; hydrogens and dummies stay out.
  PairingResult byName = pairAtoms(reference, comparison, withMode(PairingMode::kByName));
  EXPECT_EQ(named(byName), (Pairs{{"C1", 4}, {"C2", 3}, {"C2", 5}, {"N1", 1}}));
  EXPECT_EQ(byName.pairCount, 4u);
  EXPECT_EQ(byName.referenceAtomsPaired, 3u);
  EXPECT_EQ(byName.repeatedKeys, 1u);  // C2, twice in the comparison
  EXPECT_EQ(byName.pairsFromRepeats, 2u);

  // By map number, whatever the names: 1 with 1 (C1 with N1), 3 with 3, 5 with 5; the
  // reference hydrogen's 2 and dummy's 4 pair with nothing.
  PairingResult byNumber = pairAtoms(reference, comparison, withMode(PairingMode::kByMapNumber));
  EXPECT_EQ(named(byNumber), (Pairs{{"C1", 1}, {"C2", 3}, {"N1", 5}}));
  EXPECT_EQ(byNumber.repeatedKeys, 0u);

  // By element every carbon with every carbon.
  PairingResult byElement = pairAtoms(reference, comparison, withMode(PairingMode::kByElement));
  EXPECT_EQ(named(byElement),
            (Pairs{{"C1", 3}, {"C1", 4}, {"C1", 5}, {"C2", 3}, {"C2", 4}, {"C2", 5}, {"N1", 1}}));
}

TEST_F(PairingModes, MemoryIsCheckedBeforeAnyPairIsFormed) {
  PairingOptions options = withMode(PairingMode::kByElement);
  const double need = pairingBytesNeeded(7, PairingMode::kByElement);
  options.memoryAvailable = need - 1;
  const PairingResult refused = pairAtoms(reference, comparison, options);
  EXPECT_EQ(refused.outcome, PairingResult::Outcome::kRefused);
  EXPECT_EQ(refused.pairCount, 7u);
  EXPECT_EQ(refused.bytesNeeded, need);
  EXPECT_EQ(refused.bytesAvailable, need - 1);
  EXPECT_TRUE(refused.pairs.empty());
  EXPECT_FALSE(refused.doubtful());

  options.memoryAvailable = need;
  EXPECT_EQ(pairAtoms(reference, comparison, options).outcome, PairingResult::Outcome::kKept);
}

TEST(PairingOutcome, FewerThanTwoPairsRaiseNotEnoughPairs) {
  Molecule reference, comparison;
  fill(reference, {{"C", "C1", 1, Coords(0, 0, 0)}, {"O", "O1", 2, Coords(1.2, 0, 0)}});
  fill(comparison, {{"C", "C1", 1, Coords(0, 0, 0)}, {"N", "N1", 2, Coords(1.2, 0, 0)}});
  for (PairingMode mode : {PairingMode::kByName, PairingMode::kByElement}) {
    try {
      pairAtoms(reference, comparison, withMode(mode));
      ADD_FAILURE() << "no exception";
    } catch (const MoleExcept& error) {
      EXPECT_EQ(error.code, kErrNotEnoughPairs.code);
    }
  }
}

// Three pairs whose distances disagree two by two: no consistent set of three.
TEST(PairingOutcome, PairsThatAllDisagreeKeepNoSet) {
  Molecule reference, comparison;
  fill(reference, {{"C", "A", 1, Coords(0, 0, 0)},
                   {"C", "B", 2, Coords(2, 0, 0)},
                   {"C", "C", 3, Coords(0, 5, 0)}});
  fill(comparison, {{"C", "A", 1, Coords(0, 0, 0)},
                    {"C", "B", 2, Coords(4, 0, 0)},
                    {"C", "C", 3, Coords(0, 9, 0)}});
  const PairingResult result = pairAtoms(reference, comparison, withMode(PairingMode::kByName));
  EXPECT_EQ(result.outcome, PairingResult::Outcome::kNoConsistentSet);
  EXPECT_EQ(result.pairs.size(), 3u);
  EXPECT_TRUE(result.kept.empty());
  EXPECT_FALSE(result.doubtful());
}

// Real ligands whose atoms Open Babel names by element alone, against copies of themselves
// moved, shuffled and shaken by 0.03 Å (tests/data/SOURCES.md).
class PairingLigands : public ::testing::Test {
 protected:
  void SetUp() override {
    StructureFile::load(std::string(KESTRUM_TEST_DATA) + "/element_ligands.mol2", references,
                        kMoleCalcs);
    StructureFile::load(std::string(KESTRUM_TEST_DATA) + "/element_ligands_moved.mol2", copies,
                        kMoleCalcs);
    ASSERT_EQ(references.others.size(), 6u);
    ASSERT_EQ(copies.others.size(), 6u);
  }

  static size_t heavyAtoms(const Molecule& molecule) {
    size_t heavy = 0;
    for (size_t i = 0; i < molecule.numAtoms(); ++i)
      heavy += !molecule.atom(i).isHydrogen() && !molecule.atom(i).excluded;
    return heavy;
  }

  // The fit of the kept pairs, checked against an independent fit of the same points.
  static double fittedRmsd(const PairingResult& result) {
    RigidBody fit;
    loadKeptPairs(result, fit);
    std::vector<Coords> rigid, mobile;
    for (unsigned k : result.kept) {
      rigid.push_back(result.pairs[k].reference->getFixedCoords());
      mobile.push_back(result.pairs[k].comparison->getFixedCoords());
    }
    const double rmsd = fit.Calc_Rotation(-1.0);
    EXPECT_NEAR(rmsd, kabschRmsd(rigid, mobile), 1e-9);
    return rmsd;
  }

  Complex references;
  Complex copies;
};

// By element the exact search keeps at least 90% of the heavy atoms and fits to the noise. By
// name every carbon pairs with every carbon: the greedy clique goes wrong for some ligands,
// and the result says it cannot be trusted for all of them.
TEST_F(PairingLigands, ByElementFitsToTheNoiseAndByNameSaysWhenItMayHaveMissed) {
  size_t wrongByName = 0;
  for (size_t k = 0; k < references.others.size(); ++k) {
    SCOPED_TRACE(k);
    const Molecule& reference = references.others[k];
    const Molecule& copy = copies.others[k];
    const PairingResult byElement = pairAtoms(reference, copy, withMode(PairingMode::kByElement));
    ASSERT_EQ(byElement.outcome, PairingResult::Outcome::kKept);
    expectConsistentKeptSet(byElement);
    EXPECT_TRUE(byElement.proved);
    EXPECT_FALSE(byElement.doubtful());
    EXPECT_GE(byElement.kept.size() * 10, heavyAtoms(reference) * 9);
    EXPECT_LT(fittedRmsd(byElement), 0.1);

    const PairingResult byName = pairAtoms(reference, copy, withMode(PairingMode::kByName));
    ASSERT_EQ(byName.outcome, PairingResult::Outcome::kKept);
    expectConsistentKeptSet(byName);
    // Every name is an element: nearly every pair comes from a repeated name, and the pairing
    // says it cannot be trusted whether or not the greedy set went wrong.
    EXPECT_GT(byName.pairsFromRepeats * 10, byName.pairs.size() * 9);
    EXPECT_TRUE(byName.doubtful());
    EXPECT_FALSE(byName.polymer);
    if (fittedRmsd(byName) > 0.1) ++wrongByName;
  }
  EXPECT_GE(wrongByName, 2u);
}

// A search stopped by its work limit keeps a consistent set all the same, and says it did not
// prove it the largest.
TEST_F(PairingLigands, SearchStoppedAtItsLimitKeepsAConsistentSetUnproved) {
  PairingOptions options = withMode(PairingMode::kByElement);
  options.searchWorkLimit = 1;
  const PairingResult result = pairAtoms(references.others[0], copies.others[0], options);
  ASSERT_EQ(result.outcome, PairingResult::Outcome::kKept);
  EXPECT_FALSE(result.proved);
  EXPECT_GE(result.kept.size(), 3u);
  expectConsistentKeptSet(result);
}

// Cubane as Open Babel names it, every atom by its element: by name every carbon pairs with
// every carbon, and the greedy set may keep all eight in a wrong order, so the pairing says it
// cannot be trusted however many it keeps; by element the fit is exact.
TEST(PairingDoubt, CubaneNamedByElementIsDoubtedByName) {
  std::vector<AtomRow> cubane;
  const double a = 1.57;
  for (int k = 0; k < 8; ++k)
    cubane.push_back({"C", "C", static_cast<unsigned>(k + 1),
                      Coords(a * (k & 1), a * ((k >> 1) & 1), a * ((k >> 2) & 1))});
  Molecule reference, comparison;
  fill(reference, cubane);
  fill(comparison, moved(cubane, 0.6, {5, 2, 7, 0, 3, 6, 1, 4}));
  const PairingResult byName = pairAtoms(reference, comparison, withMode(PairingMode::kByName));
  ASSERT_EQ(byName.outcome, PairingResult::Outcome::kKept);
  EXPECT_EQ(byName.repeatedKeys, 1u);
  EXPECT_EQ(byName.pairsFromRepeats, 64u);
  EXPECT_TRUE(byName.doubtful());
  EXPECT_FALSE(byName.polymer);
  const PairingResult byElement =
      pairAtoms(reference, comparison, withMode(PairingMode::kByElement));
  EXPECT_EQ(byElement.kept.size(), 8u);
  EXPECT_FALSE(byElement.doubtful());  // the doubt is about names and numbers only
}

// The SKE ligand of 5DPV and the same atoms renamed by a docking program: every name is
// unique, but most mean other atoms, so few pairs agree.
TEST(PairingDoubt, RenamedLigandKeepsFewerThanHalfItsPairs) {
  Complex crystal, renamed;
  StructureFile::load(std::string(KESTRUM_TEST_DATA) + "/pdb_ske_crystal.pdb", crystal, kMoleCalcs);
  StructureFile::load(std::string(KESTRUM_TEST_DATA) + "/pdb_ske_renamed.pdb", renamed, kMoleCalcs);
  const PairingResult byName =
      pairAtoms(crystal.others[0], renamed.others[0], withMode(PairingMode::kByName));
  ASSERT_EQ(byName.outcome, PairingResult::Outcome::kKept);
  EXPECT_EQ(byName.repeatedKeys, 0u);
  EXPECT_EQ(byName.referenceAtomsPaired, 23u);
  EXPECT_LT(byName.kept.size() * 2, 23u);
  EXPECT_TRUE(byName.fewKept());
  EXPECT_TRUE(byName.doubtful());
  const PairingResult byElement =
      pairAtoms(crystal.others[0], renamed.others[0], withMode(PairingMode::kByElement));
  EXPECT_EQ(byElement.kept.size(), 27u);  // the same coordinates: every heavy atom
}

// Pairings that fit well do not doubt: the ligand SKE selected in two entries, four of its 27
// atoms placed apart; and a ligand with two alternate sites of two atoms against one
// conformation of it, whose names repeat only across sites (atoms in several pairs and fewer
// pairs kept than reference atoms paired, yet a right fit).
TEST(PairingDoubt, GoodPartialOverlapsAreNotDoubted) {
  Complex first, second;
  StructureFile::load(std::string(KESTRUM_TEST_DATA) + "/cif_5dpv_gemmi.cif.gz", first, kMoleCalcs);
  StructureFile::load(std::string(KESTRUM_TEST_DATA) + "/pdb_5dt0.pdb.gz", second, kMoleCalcs);
  PairingOptions options = withMode(PairingMode::kByName);
  const Selection ske("resn SKE");
  options.referenceAtoms = ske.atoms(first.others[0]);
  options.comparisonAtoms = ske.atoms(second.others[0]);
  const PairingResult selected = pairAtoms(first.others[0], second.others[0], options);
  ASSERT_EQ(selected.outcome, PairingResult::Outcome::kKept);
  EXPECT_EQ(selected.pairs.size(), 27u);
  EXPECT_GE(selected.kept.size(), 20u);
  EXPECT_FALSE(selected.doubtful());

  std::vector<AtomRow> ligand = {{"C", "C1", 1, Coords(0, 0, 0)},
                                 {"C", "C2", 2, Coords(1.5, 0, 0)},
                                 {"C", "C3", 3, Coords(2.2, 1.3, 0), false, 'A'},
                                 {"C", "C3", 4, Coords(2.2, -1.3, 0), false, 'B'},
                                 {"O", "O4", 5, Coords(3.6, 1.4, 0.3), false, 'A'},
                                 {"O", "O4", 6, Coords(3.6, -1.4, -0.3), false, 'B'},
                                 {"N", "N5", 7, Coords(-1.2, 0.8, 0)},
                                 {"C", "C6", 8, Coords(-1.2, 2.2, 0.4)}};
  std::vector<AtomRow> conformationA = moved(ligand, 1.1, {0, 1, 2, 4, 6, 7});
  for (AtomRow& row : conformationA) row.altLoc = '\0';
  Molecule reference, comparison;
  fill(reference, ligand);
  fill(comparison, conformationA);
  const PairingResult sites = pairAtoms(reference, comparison, withMode(PairingMode::kByName));
  ASSERT_EQ(sites.outcome, PairingResult::Outcome::kKept);
  EXPECT_EQ(sites.pairs.size(), 8u);
  EXPECT_EQ(sites.repeatedKeys, 0u);
  EXPECT_EQ(sites.kept.size(), 6u);
  EXPECT_EQ(sites.referenceAtomsPaired, 8u);
  EXPECT_FALSE(sites.doubtful());
}

// A 3AL1 chain fitted to itself by element: no pair joins an A site with a B site, and the fit
// is exact.
TEST(PairingElement, AlternateSitesPairOnlyWithinTheirConformation) {
  Complex entry;
  StructureFile::load(std::string(KESTRUM_TEST_DATA) + "/interop_3al1.pdb", entry, kMoleCalcs);
  const Molecule& peptide = entry.others[0];
  PairingOptions options = withMode(PairingMode::kByElement);
  options.referenceAtoms = options.comparisonAtoms =
      Selection("chain B and resi 201-210").atoms(peptide);
  size_t sites = 0;
  for (size_t i = 0; i < peptide.numAtoms(); ++i)
    sites += options.referenceAtoms[i] && peptide.atom(i).getAltLoc() != '\0';
  ASSERT_GT(sites, 0u);
  const PairingResult result = pairAtoms(peptide, peptide, options);
  ASSERT_EQ(result.outcome, PairingResult::Outcome::kKept);
  for (const AtomPair& pair : result.pairs)
    EXPECT_TRUE(pair.reference->sameConformation(*pair.comparison));
  RigidBody fit;
  loadKeptPairs(result, fit);
  EXPECT_NEAR(fit.Calc_Rotation(-1.0), 0.0, 1e-6);
}

// With no time to make the correspondence graph, pairing by element gives up and says so; with
// no time to search, it keeps the set of its first descent, unproved.
TEST_F(PairingLigands, ElementPairingHonoursItsTimeBound) {
  PairingOptions options = withMode(PairingMode::kByElement);
  options.searchTimeLimit = 0;
  const PairingResult result = pairAtoms(references.others[0], copies.others[0], options);
  ASSERT_GT(result.pairs.size(), 64u);  // past the first rows, where the clock is read
  EXPECT_EQ(result.outcome, PairingResult::Outcome::kOverTime);
  EXPECT_GT(result.graphSeconds, 0);
  EXPECT_TRUE(result.kept.empty());

  Molecule reference, comparison;
  std::vector<AtomRow> atoms;
  for (int k = 0; k < 6; ++k)
    atoms.push_back({"C", "C" + std::to_string(k), static_cast<unsigned>(k + 1),
                     Coords(1.5 * k, (k % 2) * 1.2, (k % 3) * 0.7)});
  fill(reference, atoms);
  fill(comparison, moved(atoms, 0.3, {3, 1, 4, 0, 5, 2}));
  const PairingResult small = pairAtoms(reference, comparison, options);
  ASSERT_EQ(small.outcome, PairingResult::Outcome::kKept);
  EXPECT_FALSE(small.proved);
  expectConsistentKeptSet(small);
}

// Benzoate against a copy that lists its carboxylate oxygens the other way round, each at the
// other's place: by graph every heavy atom pairs and every pair is kept, in place at 0.
TEST(PairingGraph, EveryHeavyAtomIsPairedAndKeptWithinTheSelection) {
  const auto reference = build(kBenzoate, kBenzoateBonds);
  std::vector<Coords> place = coordsOf(kBenzoate);
  std::swap(place[7], place[8]);
  const auto comparison =
      reordered(kBenzoate, kBenzoateBonds, {8, 7, 6, 5, 4, 3, 2, 1, 0, 13, 12, 11, 10, 9}, place);
  for (bool inPlace : {false, true}) {
    PairingOptions options = withMode(PairingMode::kByGraph);
    options.graphInPlace = inPlace;
    const PairingResult all = pairAtoms(*reference, *comparison, options);
    ASSERT_EQ(all.outcome, PairingResult::Outcome::kKept);
    ASSERT_EQ(all.pairs.size(), 9u);  // no hydrogen
    EXPECT_EQ(all.kept.size(), 9u);
    EXPECT_TRUE(all.proved);
    EXPECT_NEAR(all.inPlaceRmsd, 0.0, 1e-12);
    for (const AtomPair& pair : all.pairs)
      EXPECT_TRUE(pair.reference->getFixedCoords() == pair.comparison->getFixedCoords());

    // The ring alone, selected in both: the graphs are built on the selected atoms. Each of
    // the ring's twelve symmetries fits at 0, so the pairs may be any of them; in place only
    // the one that keeps every atom gives 0.
    options.referenceAtoms = {true,  true,  true, true, true, true, false,
                              false, false, true, true, true, true, true};
    options.comparisonAtoms = {false, false, false, true, true, true, true,
                               true,  true,  true,  true, true, true, true};
    const PairingResult ring = pairAtoms(*reference, *comparison, options);
    ASSERT_EQ(ring.outcome, PairingResult::Outcome::kKept);
    EXPECT_EQ(ring.kept.size(), 6u);
    RigidBody fit;
    loadKeptPairs(ring, fit);
    EXPECT_NEAR(fit.Calc_Rotation(-1.0), 0.0, 1e-6);
    if (inPlace) {
      EXPECT_NEAR(ring.inPlaceRmsd, 0.0, 1e-12);
    }
  }
}

// A comparison without one oxygen cannot be mapped: nothing is paired and the reason gives
// both counts.
TEST(PairingGraph, GraphsThatDifferAreNotMapped) {
  const auto reference = build(kBenzoate, kBenzoateBonds);
  std::vector<AtomEntry> atoms(kBenzoate.begin(), kBenzoate.begin() + 8);
  std::vector<BondEntry> bonds(kBenzoateBonds.begin(), kBenzoateBonds.begin() + 8);
  const auto comparison = build(atoms, bonds);
  const PairingResult result = pairAtoms(*reference, *comparison, withMode(PairingMode::kByGraph));
  EXPECT_EQ(result.outcome, PairingResult::Outcome::kNotMapped);
  EXPECT_TRUE(result.pairs.empty());
  EXPECT_TRUE(result.kept.empty());
  EXPECT_NE(result.notMapped.find("9 heavy atoms"), std::string::npos) << result.notMapped;
  EXPECT_NE(result.notMapped.find("8 heavy atoms"), std::string::npos) << result.notMapped;
  EXPECT_NE(result.notMapped.find("O atoms: 2 in the reference, 1 in the comparison"),
            std::string::npos)
      << result.notMapped;
}

TEST(PairingGraph, InPlaceRmsdOfListsThatDoNotMatchIsNaN) {
  const std::vector<Coords> a = {Coords(0, 0, 0), Coords(1, 0, 0)};
  const std::vector<Coords> b = {Coords(0, 3, 0), Coords(1, 0, 4)};
  EXPECT_NEAR(rmsdInPlace(a, b), 3.5355339059327378, 1e-12);  // sqrt((9 + 16) / 2)
  EXPECT_TRUE(std::isnan(rmsdInPlace(a, {Coords()})));
  EXPECT_TRUE(std::isnan(rmsdInPlace({}, {})));
}

}  // namespace
