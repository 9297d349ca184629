// Tests of bond-order perception on molecules embedded by RDKit (tests/data/orders_ligands.pdb,
// each without and with hydrogens, no CONECT records): ring systems, carboxylate, amide, nitro,
// sulfonamide, phosphate, nitrile, guanidinium, porphyrin; and orders a file gives, kept.
#include "bondorders.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "atome.h"
#include "bond.h"
#include "chem_builder.h"
#include "molecule.h"
#include "molereader.h"
#include "pdb_test_records.h"
#include "tool_runner.h"

using namespace VXMole;
using kestrum_test::dataPath;
using pdb_test::record;

namespace {

// Each heavy atom's type, then the number of its double bonds ("=") and triple bonds ("#"),
// aromatic bonds counted as "~": the same whichever Kekulé form is chosen.
std::string chemistry(const Molecule& molecule) {
  std::string text;
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    const Atom& atom = molecule.atom(i);
    if (atom.isHydrogen()) continue;
    std::string marks;
    for (size_t b = 0; b < molecule.numBonds(); ++b) {
      const Bond& bond = molecule.bond(b);
      if (bond.getFirst() != &atom && bond.getSecond() != &atom) continue;
      if (bond.getType() == kBondDouble) marks += "=";
      if (bond.getType() == kBondTriple) marks += "#";
      if (bond.getType() == kBondAromatic) marks += "~";
    }
    text += (text.empty() ? "" : " ") + atom.getMOL2type() + marks;
  }
  return text;
}

// Every molecule of the file, by name.
std::map<std::string, std::unique_ptr<Molecule>> readAll(const std::string& path) {
  std::map<std::string, std::unique_ptr<Molecule>> molecules;
  MoleReader reader(path, kFormatPdb);
  ::testing::internal::CaptureStdout();  // the reader's word at the end of the file
  while (Molecule* molecule = reader.loadNextMole(kMoleLigand))
    molecules[molecule->getName()].reset(molecule);
  ::testing::internal::GetCapturedStdout();
  return molecules;
}

}  // namespace

// The same chemistry with hydrogens and without: the free valences decide where hydrogens are
// complete, the geometry where they are missing.
TEST(BondOrders, PerceivedFromGeometryWithAndWithoutHydrogens) {
  const std::map<std::string, std::string> expected = {
      {"BENZENE", "C.ar= C.ar= C.ar= C.ar= C.ar= C.ar="},
      {"PYRIDINE", "C.ar= C.ar= C.ar= N.ar= C.ar= C.ar="},
      {"INDOLE", "C.ar= C.ar= C.ar= C.ar= N.ar C.ar= C.ar= C.ar= C.ar="},
      {"PURINE", "C.ar= N.ar= C.ar= C.ar= N.ar C.ar= N.ar= C.ar= N.ar="},
      {"ACETATE", "C.3 C.2~~ O.co2~ O.co2~"},
      {"NMA", "C.3 C.2= O.2= N.am C.3"},
      {"NITROBENZENE", "C.ar= C.ar= C.ar= C.ar= C.ar= C.ar= N.pl3== O.2= O.2="},
      {"SULFONAMIDE", "C.3 C.ar= C.ar= C.ar= C.ar= C.ar= C.ar= S.o2== O.2= O.2= N.3"},
      {"BENZONITRILE", "N.1# C.1# C.ar= C.ar= C.ar= C.ar= C.ar= C.ar="},
      {"ANILINE", "N.pl3 C.ar= C.ar= C.ar= C.ar= C.ar= C.ar="},
  };
  for (const char* suffix : {"", " WITH HYDROGENS"}) {
    auto molecules = readAll(dataPath("orders_ligands.pdb"));
    for (const auto& [name, chem] : expected) {
      SCOPED_TRACE(name + suffix);
      ASSERT_EQ(molecules.count(name + suffix), 1u);
      EXPECT_EQ(chemistry(*molecules[name + suffix]), chem);
    }
  }
}

// Where the two readings differ: the hydrogens tell the ions, which have no neutral form the
// geometry could show.
TEST(BondOrders, HydrogensTellTheIons) {
  auto molecules = readAll(dataPath("orders_ligands.pdb"));
  // The phosphate's oxygens without hydrogens are an anion's, typed O.3 all the same (RDKit
  // refuses O.co2 beside phosphorus); without hydrogens in the file, an acid's.
  EXPECT_EQ(chemistry(*molecules["METHYLPHOSPHATE WITH HYDROGENS"]), "C.3 O.3 P.3= O.2= O.3 O.3");
  EXPECT_EQ(chemistry(*molecules["METHYLPHOSPHATE"]), "C.3 O.3 P.3= O.2= O.3 O.3");
  // The guanidinium: its carbon's double bond to one of three planar nitrogens.
  for (const char* name : {"GUANIDINIUM", "GUANIDINIUM WITH HYDROGENS"}) {
    const std::string chem = chemistry(*molecules[name]);
    EXPECT_EQ(chem.substr(0, 17), "C.3 N.pl3 C.cat= ") << name;
    EXPECT_EQ(chem.find("N.pl3=") != std::string::npos, true) << name;
  }
  // Perceived charges serve the typing only: the atoms keep the file's (none).
  for (size_t i = 0; i < molecules["GUANIDINIUM WITH HYDROGENS"]->numAtoms(); ++i)
    EXPECT_EQ(molecules["GUANIDINIUM WITH HYDROGENS"]->atom(i).getFormalCharge(), 0);
}

// Porphine: twenty carbons and four nitrogens in one conjugated system, in which every carbon
// holds one double bond. With hydrogens, two nitrogens bear them (pyrrole type) and two hold a
// double bond (pyridine type); without, no nitrogen needs one, and none gets one.
TEST(BondOrders, PorphyrinIsOneConjugatedSystem) {
  auto molecules = readAll(dataPath("orders_ligands.pdb"));
  for (const char* name : {"PORPHINE", "PORPHINE WITH HYDROGENS"}) {
    SCOPED_TRACE(name);
    const Molecule& porphine = *molecules[name];
    int nitrogensWithDouble = 0;
    for (size_t i = 0; i < porphine.numAtoms(); ++i) {
      const Atom& atom = porphine.atom(i);
      int doubles = 0;
      for (size_t b = 0; b < porphine.numBonds(); ++b)
        if (porphine.bond(b).getType() == kBondDouble &&
            (porphine.bond(b).getFirst() == &atom || porphine.bond(b).getSecond() == &atom))
          ++doubles;
      if (atom.isCarbon()) {
        EXPECT_EQ(doubles, 1) << atom.getName();
      }
      if (atom.isNitrogen()) nitrogensWithDouble += doubles;
    }
    EXPECT_EQ(nitrogensWithDouble, std::string(name) == "PORPHINE" ? 0 : 2);
  }
}

// Orders a file gives by CONECT records (a partner listed twice is a double bond) are kept,
// single bonds among them too; the atoms are typed from them.
TEST(BondOrders, OrdersTheFileGivesAreKept) {
  // Acrolein drawn with its C=C and C=O, but at the lengths of single bonds: the file decides.
  auto molecule = pdb_test::readLines({
      record("HETATM", 1, " C1 ", "ACR", 'A', 1, 0.000, 0.000, 0.000, "C"),
      record("HETATM", 2, " C2 ", "ACR", 'A', 1, 1.500, 0.000, 0.000, "C"),
      record("HETATM", 3, " C3 ", "ACR", 'A', 1, 2.250, 1.300, 0.000, "C"),
      record("HETATM", 4, " O1 ", "ACR", 'A', 1, 3.650, 1.300, 0.000, "O"),
      "CONECT    1    2    2",
      "CONECT    2    1    1    3",
      "CONECT    3    2    4    4",
      "CONECT    4    3    3",
      "END",
  });
  ASSERT_TRUE(molecule);
  EXPECT_EQ(chemistry(*molecule), "C.2= C.2= C.2= O.2=");
}

// Without hydrogens, the anilino nitrogen of a 4-anilinoquinazoline (ZINC00151213 of rdkit-data's
// egfr.sdf, written by RDKit without hydrogens) leaves the C4 double bond to the ring nitrogen:
// the ring is aromatic, not its NH tautomer with an exocyclic C=N.
TEST(BondOrders, RingNitrogenTakesBackTheDoubleBondOfAnAnilino) {
  auto molecule = pdb_test::readLines({
      "HETATM    1  C1  UNL     1      -4.973  -1.228  -0.889  1.00  0.00           C",
      "HETATM    2  C2  UNL     1      -5.744  -0.111  -0.521  1.00  0.00           C",
      "HETATM    3  C3  UNL     1      -5.121   1.006   0.067  1.00  0.00           C",
      "HETATM    4  C4  UNL     1      -3.732   1.029   0.297  1.00  0.00           C",
      "HETATM    5  C5  UNL     1      -2.963  -0.103  -0.070  1.00  0.00           C",
      "HETATM    6  C6  UNL     1      -3.583  -1.228  -0.666  1.00  0.00           C",
      "HETATM    7  C7  UNL     1      -1.579  -0.019   0.189  1.00  0.00           C",
      "HETATM    8  N1  UNL     1      -1.038   1.073   0.745  1.00  0.00           N",
      "HETATM    9  C8  UNL     1      -1.855   2.072   1.046  1.00  0.00           C",
      "HETATM   10  N2  UNL     1      -3.166   2.108   0.856  1.00  0.00           N",
      "HETATM   11  N3  UNL     1      -0.751  -1.047  -0.101  1.00  0.00           N",
      "HETATM   12  C9  UNL     1       0.566  -1.296   0.056  1.00  0.00           C",
      "HETATM   13  C10 UNL     1       0.974  -2.583   0.467  1.00  0.00           C",
      "HETATM   14  C11 UNL     1       2.342  -2.881   0.623  1.00  0.00           C",
      "HETATM   15  C12 UNL     1       3.313  -1.895   0.362  1.00  0.00           C",
      "HETATM   16  C13 UNL     1       2.915  -0.612  -0.057  1.00  0.00           C",
      "HETATM   17  C14 UNL     1       1.547  -0.315  -0.213  1.00  0.00           C",
      "HETATM   18 BR1  UNL     1       4.309   0.798  -0.440  1.00  0.00          BR",
      "END",
  });
  ASSERT_TRUE(molecule);
  EXPECT_EQ(chemistry(*molecule),
            "C.ar= C.ar= C.ar= C.ar= C.ar= C.ar= C.ar= N.ar= C.ar= N.ar= N.pl3 "
            "C.ar= C.ar= C.ar= C.ar= C.ar= C.ar= Br");
}

// The perception takes the atoms it is given and leaves bonds to the others as they are.
TEST(BondOrders, OnlyTheGivenAtomsAndTheirOpenBonds) {
  // Ethylene whose second carbon is outside the set: its bond is no candidate.
  std::unique_ptr<Molecule> molecule(
      VXMole::testing::buildMolecule("C C O", "1-2 1-3", {0, 0, 0, 1.33, 0, 0, -0.6, 1.05, 0}));
  perceiveBondOrders(*molecule, {&molecule->atom(0), &molecule->atom(2)});
  EXPECT_EQ(molecule->atom(0).getBondType(&molecule->atom(1)), kBondSingle);
  EXPECT_EQ(molecule->atom(1).getMOL2type(), "");
}
