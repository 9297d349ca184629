// Tests of pairing by residue and by sequence on real entries: ubiquitin in a crystal (1UBI) and
// in solution (2K39, its alpha carbons), the second renumbered, renamed, cut and mutated, and
// two entries of Aurora A kinase (5DPV, 5DT0).
#include "residuepairing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "atome.h"
#include "complex.h"
#include "molecule.h"
#include "residu.h"
#include "selection.h"
#include "structurefile.h"
#include "tool_runner.h"

using namespace VXMole;
using kestrum_test::TempDir;

namespace {

std::string dataPath(const std::string& name) {
  return std::string(KESTRUM_TEST_DATA) + "/" + name;
}

// The first molecule of a file, read as the tool reads the fitted molecules.
class Entry {
 public:
  explicit Entry(const std::string& path) { StructureFile::load(path, complex_, kMoleCalcs); }
  const Molecule& molecule() const { return complex_.others[0]; }

 private:
  Complex complex_;
};

PairingOptions withMode(PairingMode mode) {
  PairingOptions options;
  options.mode = mode;
  options.memoryAvailable = std::numeric_limits<double>::infinity();
  return options;
}

using ResidueKey = std::tuple<std::string, int, char, std::string, std::string>;

ResidueKey keyOf(const Atom& atom) {
  const Residu& r = *atom.getResidu();
  return {r.getChain(), r.getNum(), r.getInsertionCode(), r.getName(), atom.getName()};
}

// No atom in two pairs.
void expectOnePairPerAtom(const PairingResult& result) {
  std::set<const Atom*> references, comparisons;
  for (const AtomPair& pair : result.pairs) {
    EXPECT_TRUE(references.insert(pair.reference).second);
    EXPECT_TRUE(comparisons.insert(pair.comparison).second);
  }
}

// 2K39's alpha carbons, edited line by line: residues 1 to 3 left out, chain A renamed B,
// residue numbers raised by 100, and Ile 30 mutated to Val.
std::string editedUbiquitin() {
  const std::string text = kestrum_test::readFile(dataPath("pdb_2k39_ca_model1.pdb"));
  std::string out;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = text.find('\n', from);
    std::string line = text.substr(from, end - from);
    from = end == std::string::npos ? text.size() : end + 1;
    if (line.rfind("ATOM", 0) != 0) continue;
    const int number = std::stoi(line.substr(22, 4));
    if (number <= 3) continue;
    if (number == 30) line.replace(17, 3, "VAL");
    char renumbered[16];
    std::snprintf(renumbered, sizeof renumbered, "%4d", number + 100);
    line.replace(21, 1, "B");
    line.replace(22, 4, renumbered);
    out += line + "\n";
  }
  return out + "END\n";
}

TEST(PairByResidue, CrystalAndSolutionUbiquitinPairEveryCommonAtomOnce) {
  const Entry crystal(dataPath("pdb_1ubi.pdb.gz"));
  const Entry solution(dataPath("pdb_2k39_ca_model1.pdb"));
  const PairingResult result =
      pairAtoms(crystal.molecule(), solution.molecule(), withMode(PairingMode::kByResidue));
  ASSERT_EQ(result.outcome, PairingResult::Outcome::kKept);
  expectOnePairPerAtom(result);
  for (const AtomPair& pair : result.pairs)
    EXPECT_EQ(keyOf(*pair.reference), keyOf(*pair.comparison));

  // Every heavy atom whose key the other entry holds, counted by brute force.
  std::set<ResidueKey> solutionKeys;
  for (size_t i = 0; i < solution.molecule().numAtoms(); ++i)
    if (!solution.molecule().atom(i).isHydrogen())
      solutionKeys.insert(keyOf(solution.molecule().atom(i)));
  size_t common = 0;
  for (size_t i = 0; i < crystal.molecule().numAtoms(); ++i) {
    const Atom& atom = crystal.molecule().atom(i);
    common += !atom.isHydrogen() && solutionKeys.count(keyOf(atom)) != 0;
  }
  EXPECT_EQ(result.pairs.size(), common);
  EXPECT_EQ(common, 76u);  // the alpha carbons
  // Two structures of one protein: most of it is a rigid core; the tail 73-76, free in
  // solution, drops out.
  EXPECT_GT(result.kept.size() * 2, result.pairs.size());
  for (size_t k = 0; k < result.pairs.size(); ++k)
    EXPECT_TRUE(result.pairs[k].reference->getResidu()->getNum() < 73 || !result.isKept[k]) << k;
  EXPECT_FALSE(result.doubtful());
}

// The sequence alignment finds the residues again; the pairs are those of pairing by residue
// on the unedited entries, less the residues left out.
TEST(PairBySequence, RenumberedCutAndMutatedCopyPairsAsTheOriginalByResidue) {
  TempDir dir;
  const std::string edited = dir.file("2k39_edited.pdb");
  kestrum_test::writeFile(edited, editedUbiquitin());
  const Entry crystal(dataPath("pdb_1ubi.pdb.gz"));
  const Entry solution(dataPath("pdb_2k39_ca_model1.pdb"));
  const Entry copy(edited);

  const PairingResult bySequence =
      pairAtoms(crystal.molecule(), copy.molecule(), withMode(PairingMode::kBySequence));
  ASSERT_EQ(bySequence.outcome, PairingResult::Outcome::kKept);
  ASSERT_EQ(bySequence.chains.size(), 1u);
  const ChainMatch& chain = bySequence.chains[0];
  EXPECT_EQ(chain.referenceChain, "A");
  EXPECT_EQ(chain.comparisonChain, "B");
  EXPECT_FALSE(chain.byIdentifier);         // no chain B in the crystal: matched by score
  EXPECT_EQ(chain.referenceResidues, 76u);  // the waters are no part of the sequence
  EXPECT_EQ(chain.comparisonResidues, 73u);
  EXPECT_EQ(chain.aligned, 73u);
  EXPECT_EQ(chain.identical, 72u);  // all but the mutation
  expectOnePairPerAtom(bySequence);
  for (const AtomPair& pair : bySequence.pairs) {
    EXPECT_EQ(pair.comparison->getResidu()->getNum(), pair.reference->getResidu()->getNum() + 100);
    EXPECT_EQ(pair.comparison->getName(), pair.reference->getName());
  }

  const PairingResult byResidue =
      pairAtoms(crystal.molecule(), solution.molecule(), withMode(PairingMode::kByResidue));
  std::vector<const Atom*> expected;
  for (const AtomPair& pair : byResidue.pairs)
    if (pair.reference->getResidu()->getNum() > 3) expected.push_back(pair.reference);
  ASSERT_EQ(bySequence.pairs.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k)
    EXPECT_EQ(bySequence.pairs[k].reference, expected[k]);
}

// 5DPV and 5DT0 name their chain A alike; their ligand SKE pairs by sequence only when a
// selection takes it, the k-th SKE with the k-th.
TEST(PairBySequence, SameChainIdentifiersAndSelectedLigands) {
  const Entry reference(dataPath("cif_5dpv_gemmi.cif.gz"));
  const Entry comparison(dataPath("pdb_5dt0.pdb.gz"));
  PairingOptions options = withMode(PairingMode::kBySequence);
  const PairingResult polymerOnly = pairAtoms(reference.molecule(), comparison.molecule(), options);
  ASSERT_EQ(polymerOnly.chains.size(), 1u);
  EXPECT_TRUE(polymerOnly.chains[0].byIdentifier);
  auto skePairs = [](const PairingResult& result) {
    size_t count = 0;
    for (const AtomPair& pair : result.pairs)
      count += pair.reference->getResidu()->getName() == "SKE";
    return count;
  };
  EXPECT_EQ(skePairs(polymerOnly), 0u);

  const Selection selection("protein or resn SKE");
  options.referenceAtoms = selection.atoms(reference.molecule());
  options.comparisonAtoms = selection.atoms(comparison.molecule());
  const PairingResult withLigand = pairAtoms(reference.molecule(), comparison.molecule(), options);
  EXPECT_EQ(skePairs(withLigand), 27u);
  EXPECT_EQ(withLigand.pairs.size(), polymerOnly.pairs.size() + 27);
}

}  // namespace
