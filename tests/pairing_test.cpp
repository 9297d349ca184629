// Tests of atom pairing: the pairs each mode forms, the memory check, the kept set and the
// counts behind its warnings, on molecules built in code and on real ligands.
#include "pairing.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "atome.h"
#include "complex.h"
#include "global.h"
#include "lsq_reference.h"
#include "molecule.h"
#include "rigidbody.h"
#include "structurefile.h"

using namespace VXMole;

namespace {

struct Spec {
  std::string symbol;
  std::string name;
  unsigned mapNum;
  Coords xyz;
  bool excluded = false;  // a ring centroid dummy
};

void fill(Molecule& molecule, const std::vector<Spec>& atoms) {
  for (const Spec& s : atoms) {
    auto* atom =
        new Atom(static_cast<unsigned>(molecule.numAtoms()), s.mapNum, s.symbol, s.xyz, s.name, "");
    atom->excluded = s.excluded;
    molecule.addAtom(atom);
  }
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
  EXPECT_TRUE(byName.atomsShared);

  // By map number, whatever the names: 1 with 1 (C1 with N1), 3 with 3, 5 with 5; the
  // reference hydrogen's 2 and dummy's 4 pair with nothing.
  PairingResult byNumber = pairAtoms(reference, comparison, withMode(PairingMode::kByMapNumber));
  EXPECT_EQ(named(byNumber), (Pairs{{"C1", 1}, {"C2", 3}, {"N1", 5}}));
  EXPECT_FALSE(byNumber.atomsShared);

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
  EXPECT_FALSE(refused.ambiguous());

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
  EXPECT_FALSE(result.ambiguous());
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
// and the result says it may have.
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
    EXPECT_FALSE(byElement.ambiguous());
    EXPECT_GE(byElement.kept.size() * 10, heavyAtoms(reference) * 9);
    EXPECT_LT(fittedRmsd(byElement), 0.1);

    const PairingResult byName = pairAtoms(reference, copy, withMode(PairingMode::kByName));
    ASSERT_EQ(byName.outcome, PairingResult::Outcome::kKept);
    expectConsistentKeptSet(byName);
    EXPECT_TRUE(byName.atomsShared);
    if (fittedRmsd(byName) > 0.1) {
      ++wrongByName;
      EXPECT_TRUE(byName.ambiguous());
      EXPECT_LT(byName.kept.size(), byName.referenceAtomsPaired);
    }
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

}  // namespace
