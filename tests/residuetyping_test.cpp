// Tests of residue typing: template bonds and types, peptide bonds and disulfides, protonation
// states, alternate sites, bonds of unknown residues, and typing without a reader.
#include "residuetyping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bond.h"
#include "edge.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "pdb_test_records.h"
#include "residueassembler.h"
#include "tool_runner.h"
#include "vertex.h"

using namespace VXMole;
using pdb_test::atomNamed;
using pdb_test::readLines;
using pdb_test::record;
using pdb_test::site;

// ---------------------------------------------------------------------------------------------
// Residues read from PDB text

// Every record is an atom, the second site of an alternate location included. Each site bonds
// within its own conformation: to the atoms without sites and to those of its own letter, never
// to another letter.
TEST(ResidueTyping, AlternateSitesAreAtomsBondedWithinTheirSite) {
  auto molecule = readLines({
      record("ATOM", 1, " N  ", "SER", 'A', 5, 0.000, 0.000, 0.000, "N"),
      record("ATOM", 2, " CA ", "SER", 'A', 5, 1.458, 0.000, 0.000, "C"),
      site(record("ATOM", 3, " CB ", "SER", 'A', 5, 1.990, 1.430, 0.000, "C"), 'A'),
      site(record("ATOM", 4, " CB ", "SER", 'A', 5, 1.990, -0.700, 1.250, "C"), 'B'),
      site(record("ATOM", 5, " OG ", "SER", 'A', 5, 3.400, 1.430, 0.000, "O"), 'A'),
      site(record("ATOM", 6, " OG ", "SER", 'A', 5, 3.400, -0.700, 1.250, "O"), 'B'),
      site(record("HETATM", 7, " C1 ", "MPD", 'A', 400, 5.0, 5.0, 0.0, "C"), 'A'),
      site(record("HETATM", 8, " C1 ", "MPD", 'A', 400, 5.5, 5.0, 0.0, "C"), 'B'),
      site(record("HETATM", 9, " C2 ", "MPD", 'A', 400, 6.5, 5.0, 0.0, "C"), 'A'),
      "CONECT    7    9",
      "CONECT    8    9",  // joins two letters: no bond
      "END",
  });
  ASSERT_TRUE(molecule);
  ASSERT_EQ(molecule->numAtoms(), 9u);
  EXPECT_EQ(molecule->numResidues(), 2u);
  Atom& ca = molecule->atom(1);
  Atom &cbA = molecule->atom(2), &cbB = molecule->atom(3);
  Atom &ogA = molecule->atom(4), &ogB = molecule->atom(5);
  EXPECT_EQ(cbA.getAltLoc(), 'A');
  EXPECT_EQ(ca.getAltLoc(), '\0');
  EXPECT_TRUE(ca.hasLink(&cbA));
  EXPECT_TRUE(ca.hasLink(&cbB));
  EXPECT_TRUE(cbA.hasLink(&ogA));
  EXPECT_TRUE(cbB.hasLink(&ogB));
  EXPECT_FALSE(cbA.hasLink(&ogB));
  EXPECT_FALSE(cbB.hasLink(&ogA));
  EXPECT_EQ(ogA.getMOL2type(), "O.3");
  EXPECT_EQ(ogB.getMOL2type(), "O.3");
  EXPECT_TRUE(molecule->atom(6).hasLink(&molecule->atom(8)));
  EXPECT_FALSE(molecule->atom(7).hasLink(&molecule->atom(8)));
  EXPECT_EQ(molecule->numBonds(), 6u);
}

// A residue of a standard name holding hundreds of atoms is not typed as an amino acid: no
// bonds by name, no hydrogen search against every heavy atom.
TEST(ResidueTyping, OversizedStandardResidueIsLeftAsRead) {
  std::vector<std::string> lines;
  for (int i = 0; i < 300; ++i)
    lines.push_back(record("ATOM", i + 1, i % 2 ? " H  " : " CA ", "GLY", 'A', 1, i * 0.5, 0, 0,
                           i % 2 ? "H" : "C"));
  auto molecule = readLines(lines);
  ASSERT_TRUE(molecule);
  EXPECT_EQ(molecule->numAtoms(), 300u);
  EXPECT_EQ(molecule->numBonds(), 0u);
  EXPECT_EQ(molecule->atom(0).getMOL2type(), "");
}

TEST(ResidueTyping, TerminalOxygenAndZincOutsideStandardResidues) {
  auto molecule =
      readLines({record("ATOM", 1, " N  ", "GLY", 'A', 1, 0.000, 0.000, 0.000, "N"),
                 record("ATOM", 2, " CA ", "GLY", 'A', 1, 1.458, 0.000, 0.000, "C"),
                 record("ATOM", 3, " C  ", "GLY", 'A', 1, 2.009, 1.420, 0.000, "C"),
                 record("ATOM", 4, " O  ", "GLY", 'A', 1, 1.251, 2.390, 0.000, "O"),
                 record("ATOM", 5, " OXT", "GLY", 'A', 1, 3.250, 1.520, 0.000, "O"),
                 record("HETATM", 6, " C1 ", "LIG", 'L', 1, 9.0, 9.0, 9.0, "C"),
                 record("HETATM", 7, "ZN  ", "ZN", 'A', 2, 8.0, 8.0, 8.0, "ZN"), "END"});
  Atom* oxt = atomNamed(*molecule, "OXT");
  ASSERT_NE(oxt, nullptr);
  EXPECT_EQ(oxt->getMOL2type(), "O.co2");
  EXPECT_TRUE(oxt->getProperties().anion);
  Atom* carbonyl = atomNamed(*molecule, "C");
  // The terminal carboxylate as Tripos writes it: two O.co2 oxygens, both bonds aromatic.
  EXPECT_EQ(atomNamed(*molecule, "O")->getMOL2type(), "O.co2");
  EXPECT_EQ(carbonyl->getBondType(atomNamed(*molecule, "O")), kBondAromatic);
  EXPECT_EQ(carbonyl->getBondType(oxt), kBondAromatic);
  // Without hydrogens on it, the N-terminal nitrogen is an amine.
  EXPECT_EQ(atomNamed(*molecule, "N")->getMOL2type(), "N.3");
  EXPECT_FALSE(carbonyl->getProperties().hydrophobic);
  // Other residues are typed from the bonds and orders perceived: a lone carbon is C.3.
  EXPECT_EQ(atomNamed(*molecule, "C1")->getMOL2type(), "C.3");
  Atom* zinc = atomNamed(*molecule, "ZN");  // the name as read
  ASSERT_NE(zinc, nullptr);
  EXPECT_EQ(zinc->getAtomicName(), "Zn");
  EXPECT_EQ(zinc->getAtomicNum(), 30u);
  EXPECT_EQ(molecule->numBonds(), 4u);
}

// What the hydrogens a file shows say, and what the residue's name says without them: the
// N-terminal ammonium or amine, the carboxylic acid of ASH, a HIS without hydrogens as HIE.
TEST(ResidueTyping, ProtonationFollowsTheHydrogensElseTheName) {
  auto molecule = readLines({
      record("ATOM", 1, " N  ", "GLY", 'A', 1, 0.000, 0.000, 0.000, "N"),
      record("ATOM", 2, " CA ", "GLY", 'A', 1, 1.458, 0.000, 0.000, "C"),
      record("ATOM", 3, " H1 ", "GLY", 'A', 1, -0.340, 0.960, 0.000, "H"),
      record("ATOM", 4, " H2 ", "GLY", 'A', 1, -0.340, -0.480, 0.830, "H"),
      record("ATOM", 5, " H3 ", "GLY", 'A', 1, -0.340, -0.480, -0.830, "H"),
      record("ATOM", 6, " CG ", "ASH", 'B', 7, 10.000, 0.000, 0.000, "C"),
      record("ATOM", 7, " OD1", "ASH", 'B', 7, 10.600, 1.040, 0.000, "O"),
      record("ATOM", 8, " OD2", "ASH", 'B', 7, 10.600, -1.040, 0.000, "O"),
      record("ATOM", 9, " CG ", "HIS", 'C', 9, 20.000, 0.000, 0.000, "C"),
      record("ATOM", 10, " ND1", "HIS", 'C', 9, 20.800, 1.100, 0.000, "N"),
      record("ATOM", 11, " NE2", "HIS", 'C', 9, 22.000, -0.300, 0.000, "N"),
      record("ATOM", 12, " CE1", "HIS", 'C', 9, 22.000, 1.000, 0.000, "C"),
      record("ATOM", 13, " CD ", "GLU", 'D', 4, 30.000, 0.000, 0.000, "C"),
      record("ATOM", 14, " OE1", "GLU", 'D', 4, 30.600, 1.040, 0.000, "O") + "1-",
      record("ATOM", 15, " OE2", "GLU", 'D', 4, 30.600, -1.040, 0.000, "O"),
      "END",
  });
  EXPECT_EQ(atomNamed(*molecule, "N")->getMOL2type(), "N.4");
  EXPECT_TRUE(atomNamed(*molecule, "N")->getProperties().cation);
  EXPECT_EQ(atomNamed(*molecule, "OD1")->getMOL2type(), "O.2");
  EXPECT_EQ(atomNamed(*molecule, "OD2")->getMOL2type(), "O.3");
  EXPECT_EQ(atomNamed(*molecule, "CG")->getBondType(atomNamed(*molecule, "OD1")), kBondDouble);
  EXPECT_EQ(atomNamed(*molecule, "ND1")->getMOL2type(), "N.2");
  EXPECT_EQ(atomNamed(*molecule, "NE2")->getMOL2type(), "N.pl3");
  // The HIE ring in its Kekulé form: the double bond to the nitrogen without hydrogen.
  EXPECT_EQ(atomNamed(*molecule, "CE1")->getBondType(atomNamed(*molecule, "ND1")), kBondDouble);
  EXPECT_EQ(atomNamed(*molecule, "CE1")->getBondType(atomNamed(*molecule, "NE2")), kBondSingle);
  // A carboxylate whose charge the file puts on one oxygen is written localized.
  EXPECT_EQ(atomNamed(*molecule, "OE1")->getMOL2type(), "O.co2");
  EXPECT_EQ(atomNamed(*molecule, "OE2")->getMOL2type(), "O.2");
  EXPECT_EQ(atomNamed(*molecule, "CD")->getBondType(atomNamed(*molecule, "OE1")), kBondSingle);
  EXPECT_EQ(atomNamed(*molecule, "CD")->getBondType(atomNamed(*molecule, "OE2")), kBondDouble);
}

// A residue the typing does not know and no CONECT record touches gets the bonds its distances
// show (a hydrogen to its nearest partner only); atoms that CONECT records touch keep what the
// file says; waters stay unbonded. A modified amino acid joins its chain by peptide bonds.
TEST(ResidueTyping, BondsOfUnknownResiduesComeFromDistances) {
  auto molecule = readLines({
      record("HETATM", 1, " C1 ", "EOH", 'A', 1, 0.000, 0.000, 0.000, "C"),
      record("HETATM", 2, " C2 ", "EOH", 'A', 1, 1.520, 0.000, 0.000, "C"),
      record("HETATM", 3, " O  ", "EOH", 'A', 1, 2.000, 1.350, 0.000, "O"),
      record("HETATM", 4, " HO ", "EOH", 'A', 1, 2.950, 1.380, 0.000, "H"),
      record("HETATM", 5, " C1 ", "LIG", 'A', 2, 9.000, 0.000, 0.000, "C"),
      record("HETATM", 6, " C2 ", "LIG", 'A', 2, 10.500, 0.000, 0.000, "C"),
      record("HETATM", 7, " C3 ", "LIG", 'A', 2, 12.000, 0.000, 0.000, "C"),
      record("HETATM", 8, " O  ", "HOH", 'A', 3, 30.000, 0.000, 0.000, "O"),
      record("HETATM", 9, " H1 ", "HOH", 'A', 3, 30.960, 0.000, 0.000, "H"),
      record("ATOM", 10, " N  ", "GLY", 'B', 1, 50.000, 0.000, 0.000, "N"),
      record("ATOM", 11, " CA ", "GLY", 'B', 1, 51.460, 0.000, 0.000, "C"),
      record("ATOM", 12, " C  ", "GLY", 'B', 1, 52.010, 1.420, 0.000, "C"),
      record("ATOM", 13, " O  ", "GLY", 'B', 1, 51.250, 2.390, 0.000, "O"),
      record("HETATM", 14, " N  ", "MSE", 'B', 2, 53.330, 1.520, 0.000, "N"),
      record("HETATM", 15, " CA ", "MSE", 'B', 2, 53.960, 2.830, 0.000, "C"),
      record("HETATM", 16, " C  ", "MSE", 'B', 2, 55.470, 2.700, 0.000, "C"),
      "CONECT    5    6",  // the file's own bonds for this residue: 6-7 is not one
      "CONECT    7    5",
      "END",
  });
  auto bonded = [&](int a, int b) { return molecule->atom(a).hasLink(&molecule->atom(b)); };
  EXPECT_TRUE(bonded(0, 1));
  EXPECT_TRUE(bonded(1, 2));
  EXPECT_TRUE(bonded(2, 3));
  EXPECT_FALSE(bonded(0, 2));  // 1-3 neighbours are no bond
  EXPECT_EQ(molecule->atom(3).numBonds(), 1u);
  EXPECT_TRUE(bonded(4, 5));
  EXPECT_TRUE(bonded(4, 6));
  EXPECT_FALSE(bonded(5, 6));
  EXPECT_EQ(molecule->atom(7).numBonds(), 0u);
  EXPECT_TRUE(bonded(11, 13));                        // GLY C - MSE N
  EXPECT_TRUE(bonded(13, 14));                        // MSE N - CA, from distances
  EXPECT_EQ(molecule->atom(9).getMOL2type(), "N.3");  // the N-terminal glycine
  // A residue the typing does not know is typed from its perceived orders: its nitrogen, bonded
  // to the glycine's carbonyl, is an amide's.
  EXPECT_EQ(molecule->atom(13).getMOL2type(), "N.am");
}

// Where alternate sites hold two different amino acids at one position, both join the chain:
// each bonds to the carbonyl before it and to the nitrogen after it, within its own site.
TEST(ResidueTyping, TwoAminoAcidsAtOnePositionBothJoinTheChain) {
  auto molecule = readLines({
      record("ATOM", 1, " N  ", "GLY", 'A', 1, 0.000, 0.000, 0.000, "N"),
      record("ATOM", 2, " CA ", "GLY", 'A', 1, 1.450, 0.000, 0.000, "C"),
      record("ATOM", 3, " C  ", "GLY", 'A', 1, 2.000, 1.420, 0.000, "C"),
      site(record("ATOM", 4, " N  ", "SER", 'A', 2, 3.320, 1.500, 0.000, "N"), 'A'),
      site(record("ATOM", 5, " CA ", "SER", 'A', 2, 3.950, 2.800, 0.000, "C"), 'A'),
      site(record("ATOM", 6, " C  ", "SER", 'A', 2, 5.450, 2.700, 0.000, "C"), 'A'),
      site(record("ATOM", 7, " N  ", "ALA", 'A', 2, 3.320, 1.550, 0.100, "N"), 'B'),
      site(record("ATOM", 8, " CA ", "ALA", 'A', 2, 3.950, 2.850, 0.100, "C"), 'B'),
      site(record("ATOM", 9, " C  ", "ALA", 'A', 2, 5.450, 2.750, 0.100, "C"), 'B'),
      record("ATOM", 10, " N  ", "GLY", 'A', 3, 6.100, 3.900, 0.000, "N"),
      "END",
  });
  ASSERT_EQ(molecule->numAtoms(), 10u);
  auto bonded = [&](int a, int b) { return molecule->atom(a).hasLink(&molecule->atom(b)); };
  EXPECT_TRUE(bonded(2, 3));
  EXPECT_TRUE(bonded(2, 6));
  EXPECT_TRUE(bonded(5, 9));
  EXPECT_TRUE(bonded(8, 9));
  EXPECT_FALSE(bonded(5, 6));
  EXPECT_EQ(molecule->atom(6).getMOL2type(), "N.am");  // no N-terminus
}

// An Amber file (PyMOL's helix_amber.pdb): histidines named by tautomer, a disulfide between
// two CYX of two chains, the acetyl and N-methyl caps. Every heavy atom gets its bonds and a
// type.
TEST(ResidueTyping, AmberNamesGetTheirResiduesBondsAndTypes) {
  MoleReader reader(std::string(KESTRUM_TEST_DATA) + "/pdb_helix_amber.pdb", kFormatDetect);
  testing::internal::CaptureStderr();
  std::unique_ptr<Molecule> molecule(reader.loadNextMole(17));
  testing::internal::GetCapturedStderr();
  ASSERT_TRUE(molecule);
  auto find = [&](const std::string& residue, const std::string& name) -> Atom* {
    for (size_t i = 0; i < molecule->numAtoms(); ++i) {
      Atom& atom = molecule->atom(i);
      if (atom.getResidu()->getName() == residue && atom.getName() == name) return &atom;
    }
    return nullptr;
  };
  for (size_t i = 0; i < molecule->numAtoms(); ++i) {
    const Atom& atom = molecule->atom(i);
    EXPECT_GT(atom.numBonds(), 0u) << atom.getIdentifier();
    EXPECT_NE(atom.getMOL2type(), "") << atom.getIdentifier();
  }
  const std::pair<const char*, const char*> rings[] = {
      {"N.pl3", "N.2"}, {"N.2", "N.pl3"}, {"N.pl3", "N.4"}};
  int r = 0;
  for (const char* name : {"HID", "HIE", "HIP"}) {
    EXPECT_EQ(find(name, "ND1")->getMOL2type(), rings[r].first) << name;
    EXPECT_EQ(find(name, "NE2")->getMOL2type(), rings[r].second) << name;
    EXPECT_EQ(find(name, "CG")->getBondType(find(name, "CD2")), kBondDouble);  // Kekulé
    EXPECT_EQ(find(name, "CA")->getResidu()->getKind(), kResiduAminoAcid);
    ++r;
  }
  Atom* sulfur = find("CYX", "SG");
  ASSERT_EQ(sulfur->numBonds(), 2u);
  int disulfides = 0;
  for (size_t i = 0; i < molecule->numBonds(); ++i) {
    const Bond& bond = molecule->bond(i);
    disulfides += bond.getFirst()->isSulfur() && bond.getSecond()->isSulfur();
  }
  EXPECT_EQ(disulfides, 1);
  EXPECT_EQ(find("ACE", "C")->getBondType(find("ACE", "O")), kBondDouble);
  EXPECT_EQ(find("ACE", "CH3")->getMOL2type(), "C.3");
  EXPECT_EQ(find("NME", "N")->getMOL2type(), "N.am");
  EXPECT_EQ(find("ALA", "N")->getMOL2type(), "N.am");  // bonded to the acetyl's carbonyl
  EXPECT_EQ(find("ASP", "OD1")->getMOL2type(), "O.co2");
}

// ---------------------------------------------------------------------------------------------
// A whole protein

class ResidueTypingProtein : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    MoleReader reader(std::string(KESTRUM_TEST_DATA) + "/pdb_il2_fragments.pdb", kFormatDetect);
    molecule_.reset(reader.loadNextMole(kMoleProtein));
  }
  static void TearDownTestSuite() { molecule_.reset(); }

  static Atom* find(int residue, const std::string& name) {
    for (size_t i = 0; i < molecule_->numAtoms(); ++i) {
      Atom& atom = molecule_->atom(i);
      if (atom.getResidu()->getNum() == residue && atom.getName() == name) return &atom;
    }
    return nullptr;
  }

  static std::unique_ptr<Molecule> molecule_;
};

std::unique_ptr<Molecule> ResidueTypingProtein::molecule_;

TEST_F(ResidueTypingProtein, EveryResidueHasItsCovalentBonds) {
  ASSERT_TRUE(molecule_);
  ASSERT_EQ(molecule_->numAtoms(), 459u);
  ASSERT_EQ(molecule_->numResidues(), 29u);
  // Bonds between heavy atoms of one residue, counted from the residues' chemical formulas.
  const std::map<std::string, int> heavyBonds = {
      {"GLY", 3}, {"ALA", 4},  {"SER", 5},  {"CYS", 5},  {"VAL", 6},  {"THR", 6}, {"LEU", 7},
      {"ILE", 7}, {"MET", 7},  {"PRO", 7},  {"ASP", 7},  {"ASN", 7},  {"GLU", 8}, {"GLN", 8},
      {"LYS", 8}, {"HIS", 10}, {"ARG", 10}, {"PHE", 11}, {"TYR", 12}, {"TRP", 15}};
  for (size_t r = 0; r < molecule_->numResidues(); ++r) {
    const Residu& residue = molecule_->residu(r);
    int inside = 0;
    for (size_t i = 0; i < molecule_->numBonds(); ++i) {
      const Bond& bond = molecule_->bond(i);
      if (bond.getFirst()->getResidu() == &residue && bond.getSecond()->getResidu() == &residue &&
          !bond.getFirst()->isHydrogen() && !bond.getSecond()->isHydrogen())
        ++inside;
    }
    EXPECT_EQ(inside, heavyBonds.at(residue.getName())) << residue.getIdentifier();
    for (const Atom* atom : residue.getAtoms()) {
      EXPECT_NE(atom->getMOL2type(), "") << atom->getIdentifier();
      if (atom->isHydrogen()) {
        ASSERT_EQ(atom->numBonds(), 1u) << atom->getIdentifier();
        const Bond* bond = atom->getVertex()->edges.front()->bond;
        EXPECT_EQ(bond->getOther(atom)->getResidu(), &residue);
        EXPECT_FALSE(bond->getOther(atom)->isHydrogen());
      }
    }
  }
}

TEST_F(ResidueTypingProtein, PeptideBondsOnlyWithinFragments) {
  int peptide = 0;
  for (size_t i = 0; i < molecule_->numBonds(); ++i) {
    const Bond& bond = molecule_->bond(i);
    const Residu* a = bond.getFirst()->getResidu();
    const Residu* b = bond.getSecond()->getResidu();
    if (a == b) continue;
    ++peptide;
    EXPECT_EQ(bond.getFirst()->getName(), "C");
    EXPECT_EQ(bond.getSecond()->getName(), "N");
    EXPECT_EQ(b->getNum(), a->getNum() + 1);
  }
  // Fragments 14-16, 33-35, 90-92, 98-109 and 119-126.
  EXPECT_EQ(peptide, 2 + 2 + 2 + 11 + 7);
}

TEST_F(ResidueTypingProtein, TypesAndProperties) {
  const Atom* nz = find(35, "NZ");
  ASSERT_NE(nz, nullptr);
  EXPECT_EQ(nz->getMOL2type(), "N.4");
  EXPECT_TRUE(nz->getProperties().cation);
  EXPECT_TRUE(nz->getProperties().donor);

  const Atom* od1 = find(109, "OD1");
  ASSERT_NE(od1, nullptr);
  EXPECT_TRUE(od1->getProperties().anion);
  EXPECT_TRUE(od1->getProperties().acceptor);
  EXPECT_EQ(find(109, "CG")->getBondType(od1), kBondAromatic);
  EXPECT_EQ(od1->getMOL2type(), "O.co2");

  const Atom* backboneN = find(103, "N");
  EXPECT_EQ(backboneN->getMOL2type(), "N.am");
  EXPECT_TRUE(backboneN->getProperties().donor);
  EXPECT_FALSE(backboneN->getProperties().acceptor);
  EXPECT_FALSE(find(34, "N")->getProperties().donor);  // proline: no hydrogen on N

  for (const char* name : {"CG", "CD1", "CD2", "CE1", "CE2", "CZ"}) {
    const Atom* ring = find(103, name);
    EXPECT_EQ(ring->getMOL2type(), "C.ar") << name;
    EXPECT_TRUE(ring->getProperties().aromatic) << name;
    EXPECT_TRUE(ring->getProperties().hydrophobic) << name;
  }
  EXPECT_EQ(find(103, "CG")->getBondType(find(103, "CD1")), kBondAromatic);
  EXPECT_EQ(find(121, "NE1")->getMOL2type(), "N.pl3");
  // The file's hydrogens say which ring nitrogen of each histidine bears one.
  EXPECT_EQ(find(16, "ND1")->getMOL2type(), find(16, "HD1") ? "N.pl3" : "N.2");
  EXPECT_EQ(find(16, "NE2")->getMOL2type(), find(16, "HE2") ? "N.pl3" : "N.2");
  EXPECT_EQ(find(120, "CZ")->getMOL2type(), "C.cat");
  EXPECT_TRUE(find(120, "CZ")->getProperties().cation);
  EXPECT_EQ(find(104, "SD")->getMOL2type(), "S.3");
  // The thiol hydrogen sits 1.34 Å from its sulfur, beyond the 1.3 Å that C, N and O get.
  EXPECT_TRUE(find(125, "HG")->hasLink(find(125, "SG")));
  EXPECT_TRUE(find(99, "OG")->getProperties().donor);  // serine hydroxyl with its hydrogen
  EXPECT_TRUE(find(99, "OG")->getProperties().acceptor);
  EXPECT_TRUE(find(99, "CB")->getProperties().hydrophobic);
  EXPECT_FALSE(find(99, "C")->getProperties().hydrophobic);  // carbonyl carbon
  EXPECT_EQ(find(126, "NE2")->getMOL2type(), "N.am");
  EXPECT_EQ(find(126, "OE1")->getMOL2type(), "O.2");
}

// ---------------------------------------------------------------------------------------------
// Typing without a reader

// A molecule built in code is typed as the PDB reader types the same atoms: the same types and
// the same bonds, made in the same order.
TEST(ResidueTyping, MoleculeBuiltInCodeIsTypedAsWhenRead) {
  struct Row {
    const char* name;
    const char* residue;
    int number;
    double x, y, z;
    const char* element;
  };
  const Row rows[] = {
      {"N", "GLY", 1, 0.000, 0.000, 0.000, "N"},   {"CA", "GLY", 1, 1.450, 0.000, 0.000, "C"},
      {"C", "GLY", 1, 2.000, 1.420, 0.000, "C"},   {"O", "GLY", 1, 1.251, 2.390, 0.000, "O"},
      {"N", "SER", 2, 3.320, 1.500, 0.000, "N"},   {"CA", "SER", 2, 3.950, 2.800, 0.000, "C"},
      {"C", "SER", 2, 5.450, 2.700, 0.000, "C"},   {"O", "SER", 2, 6.100, 3.750, 0.000, "O"},
      {"OXT", "SER", 2, 6.000, 1.600, 0.000, "O"}, {"CB", "SER", 2, 3.500, 3.500, 1.200, "C"},
      {"OG", "SER", 2, 3.900, 4.850, 1.300, "O"},  {"HG", "SER", 2, 3.500, 5.300, 2.050, "H"},
  };
  Molecule built(17, 0, 0, 0, "built");
  ResidueAssembler assembler(built);
  std::vector<std::string> lines;
  unsigned serial = 0;
  for (const Row& row : rows) {
    AtomRecord atom;
    atom.serial = ++serial;
    atom.name = row.name;
    atom.element = row.element;
    atom.residueName = row.residue;
    atom.chain = "A";
    atom.residueNumber = row.number;
    atom.at = Coords(row.x, row.y, row.z);
    assembler.add(atom);
    const std::string name4 = std::string(std::strlen(row.name) < 4 ? " " : "") + row.name;
    lines.push_back(record("ATOM", static_cast<int>(serial), name4.c_str(), row.residue, 'A',
                           row.number, row.x, row.y, row.z, row.element));
  }
  built.cleanResidu();
  typeResidues(built);
  lines.push_back("END");
  auto read = readLines(lines);
  ASSERT_TRUE(read);

  auto describe = [](const Molecule& m) {
    std::vector<std::string> text;
    for (size_t i = 0; i < m.numAtoms(); ++i)
      text.push_back(m.atom(i).getName() + " " + m.atom(i).getMOL2type());
    for (size_t i = 0; i < m.numBonds(); ++i) {
      const Bond& bond = m.bond(i);
      text.push_back(bond.getFirst()->getName() + "-" + bond.getSecond()->getName() + " " +
                     std::to_string(bond.getType()) + " " + std::to_string(bond.getNum()));
    }
    return text;
  };
  EXPECT_EQ(describe(built), describe(*read));
  EXPECT_TRUE(built.atom(2).hasLink(&built.atom(4)));  // the peptide bond GLY C - SER N
  EXPECT_EQ(built.atom(10).getMOL2type(), "O.3");
  EXPECT_EQ(built.atom(8).getMOL2type(), "O.co2");
  EXPECT_TRUE(built.atom(8).getProperties().anion);
}

// Two nucleotides of 3MHT: their templates' bonds and types, the aromatic bases in Kekulé form,
// and the O3'-P link between consecutive residues of the chain; the first nucleotide's
// phosphate is its 5' end, the second's O3' its 3' end.
TEST(ResidueTyping, NucleotidesJoinByTheirPhosphates) {
  MoleReader reader(kestrum_test::dataPath("na_3mht_pair.pdb"), kFormatPdb);
  std::unique_ptr<Molecule> molecule(reader.loadNextMole(kMoleLigand));
  ASSERT_TRUE(molecule);
  ASSERT_EQ(molecule->numResidues(), 2u);
  std::map<std::string, std::string> types;
  for (size_t i = 0; i < molecule->numAtoms(); ++i)
    types[molecule->atom(i).getResidu()->getName() + ":" + molecule->atom(i).getName()] =
        molecule->atom(i).getMOL2type();
  EXPECT_EQ(types["DT:P"], "P.3");
  EXPECT_EQ(types["DT:OP1"], "O.2");
  EXPECT_EQ(types["DT:OP2"], "O.3");
  EXPECT_EQ(types["DT:C7"], "C.3");
  EXPECT_EQ(types["DT:O4"], "O.2");
  EXPECT_EQ(types["DT:N3"], "N.ar");
  EXPECT_EQ(types["DA:N6"], "N.pl3");
  EXPECT_EQ(types["DA:C8"], "C.ar");
  EXPECT_EQ(types["DA:O3'"], "O.3");
  // Every heavy atom is typed, and bonded: two nucleotides, one fragment.
  for (const auto& [name, type] : types) EXPECT_NE(type, "") << name;
  Atom* o3 = nullptr;
  Atom* p = nullptr;
  for (size_t i = 0; i < molecule->numAtoms(); ++i) {
    Atom& atom = molecule->atom(i);
    if (atom.getResidu()->getName() == "DT" && atom.getName() == "O3'") o3 = &atom;
    if (atom.getResidu()->getName() == "DA" && atom.getName() == "P") p = &atom;
  }
  ASSERT_TRUE(o3 && p);
  EXPECT_EQ(o3->getBondType(p), kBondSingle);
  // Thymine: 6 ring bonds, 2 C=O, C5-C7, C1'-N1; each sugar-phosphate: 11 bonds; the link;
  // adenine: 11 bonds of its rings and amine, C1'-N9.
  EXPECT_EQ(molecule->numBonds(), 10u + 11u + 1u + 12u + 11u);
  int doubles = 0;
  for (size_t b = 0; b < molecule->numBonds(); ++b)
    doubles += molecule->bond(b).getType() == kBondDouble ? 1 : 0;
  EXPECT_EQ(doubles, 2 + 3 + 4);  // P=OP1 twice; thymine C2=O2, C4=O4, C5=C6; adenine's four
}

// A residue no template knows bonds to its neighbours by distance: a C-terminal NH2 cap to the
// threonine's carbonyl, a ligand's carbon to a cysteine's sulfur; not to a water, a metal, or an
// atom beyond reach, nor across alternate sites.
TEST(ResidueTyping, UnknownResiduesBondToTheirNeighboursByDistance) {
  auto molecule = readLines({
      record("ATOM", 1, " N  ", "THR", 'A', 1, 0.000, 0.000, 0.000, "N"),
      record("ATOM", 2, " CA ", "THR", 'A', 1, 1.458, 0.000, 0.000, "C"),
      record("ATOM", 3, " C  ", "THR", 'A', 1, 2.009, 1.420, 0.000, "C"),
      record("ATOM", 4, " O  ", "THR", 'A', 1, 1.251, 2.390, 0.000, "O"),
      record("HETATM", 5, " N  ", "NH2", 'A', 2, 3.300, 1.620, 0.000, "N"),
      record("ATOM", 6, " SG ", "CYS", 'A', 3, 10.000, 0.000, 0.000, "S"),
      record("ATOM", 7, " CB ", "CYS", 'A', 3, 10.000, 1.820, 0.000, "C"),
      record("HETATM", 8, " C1 ", "LIG", 'A', 4, 11.800, -0.300, 0.000, "C"),
      record("HETATM", 9, " O1 ", "LIG", 'A', 4, 12.500, -1.500, 0.000, "O"),
      record("HETATM", 10, "ZN  ", "ZN", 'A', 5, 13.800, -2.900, 0.000, "ZN"),
      record("HETATM", 11, " O  ", "HOH", 'A', 6, 11.000, -1.400, 0.000, "O"),
      site(record("HETATM", 12, " C2 ", "LIG", 'A', 4, 9.500, -1.400, 0.000, "C"), 'A'),
      site(record("ATOM", 13, " OG ", "SER", 'A', 7, 9.500, -2.800, 0.000, "O"), 'B'),
      "END",
  });
  ASSERT_TRUE(molecule);
  auto bonded = [&](int a, int b) { return molecule->atom(a).hasLink(&molecule->atom(b)); };
  EXPECT_TRUE(bonded(2, 4));    // THR C - NH2 N, 1.31 Å
  EXPECT_TRUE(bonded(5, 7));    // CYS SG - LIG C1, 1.82 Å
  EXPECT_TRUE(bonded(7, 8));    // within the ligand
  EXPECT_FALSE(bonded(8, 9));   // the zinc: a metal
  EXPECT_FALSE(bonded(7, 10));  // the water
  EXPECT_FALSE(bonded(8, 10));
  EXPECT_FALSE(bonded(11, 12));  // two alternate sites
  EXPECT_EQ(molecule->atom(4).getMOL2type(), "N.am");
}
