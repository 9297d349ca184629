// Tests of SYBYL typing from bond orders: ring systems given in Kekulé form, functional groups,
// charges, hydrogens, metals, and types a file gave.
#include "sybyltyping.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "atome.h"
#include "chem_builder.h"
#include "molecule.h"

using namespace VXMole;
using VXMole::testing::buildMolecule;
using VXMole::testing::typesOf;

namespace {

std::string typed(const std::string& elements, const std::string& bonds) {
  std::unique_ptr<Molecule> molecule(buildMolecule(elements, bonds));
  assignSybylTypes(*molecule);
  return typesOf(*molecule);
}

}  // namespace

// Kekulé rings are found aromatic by their pi electrons, whatever the form of the bonds; a
// ring carbon bearing an exocyclic C=O (a pyridone, the bases of nucleic acids) counts none.
TEST(SybylTyping, AromaticRingsInKekuleForm) {
  EXPECT_EQ(typed("C C C C C C", "1=2 2-3 3=4 4-5 5=6 6-1"), "C.ar C.ar C.ar C.ar C.ar C.ar");
  EXPECT_EQ(typed("C C C C C C", "1:2 2:3 3:4 4:5 5:6 6:1"), "C.ar C.ar C.ar C.ar C.ar C.ar");
  EXPECT_EQ(typed("N C C C C C", "1=2 2-3 3=4 4-5 5=6 6-1"), "N.ar C.ar C.ar C.ar C.ar C.ar");
  // Indole: the pyrrole-type nitrogen gives two electrons.
  EXPECT_EQ(typed("N C C C C C C C C", "1-2 2=3 3-4 4=5 5-6 6=7 7-8 8=9 9-4 9-1"),
            "N.ar C.ar C.ar C.ar C.ar C.ar C.ar C.ar C.ar");
  // Purine (adenine without its amine).
  EXPECT_EQ(typed("N C N C C C N C N", "1-2 2=3 3-4 4=5 5-6 6=7 7-8 8=9 9-4 5-1"),
            "N.ar C.ar N.ar C.ar C.ar C.ar N.ar C.ar N.ar");
  // Uracil: two C=O outside the ring, two NH in it.
  EXPECT_EQ(typed("N C N C C C O O", "1-2 2-3 3-4 4=8 4-5 5=6 6-1 2=7"),
            "N.ar C.ar N.ar C.ar C.ar C.ar O.2 O.2");
  // Thiophene and furan (Open Babel's S.2 and O.2); cyclopentadiene and cyclohexene are not.
  EXPECT_EQ(typed("S C C C C", "1-2 2=3 3-4 4=5 5-1"), "S.2 C.ar C.ar C.ar C.ar");
  EXPECT_EQ(typed("O C C C C", "1-2 2=3 3-4 4=5 5-1"), "O.2 C.ar C.ar C.ar C.ar");
  EXPECT_EQ(typed("C C C C C", "1-2 2=3 3-4 4=5 5-1"), "C.3 C.2 C.2 C.2 C.2");
  EXPECT_EQ(typed("C C C C C C", "1=2 2-3 3-4 4-5 5-6 6-1"), "C.2 C.2 C.3 C.3 C.3 C.3");
}

TEST(SybylTyping, CarbonylsCarboxylatesAndAmides) {
  // Acetate: a carbon with two terminal oxygens; the acid with its hydrogen shown.
  EXPECT_EQ(typed("C C O O-", "1-2 2=3 2-4"), "C.3 C.2 O.co2 O.co2");
  EXPECT_EQ(typed("C C O O H", "1-2 2=3 2-4 4-5"), "C.3 C.2 O.2 O.3 H");
  EXPECT_EQ(typed("C C O O", "1-2 2:3 2:4"), "C.3 C.2 O.co2 O.co2");
  // An ester, an amide, a urea, a thioamide.
  EXPECT_EQ(typed("C C O O C", "1-2 2=3 2-4 4-5"), "C.3 C.2 O.2 O.3 C.3");
  EXPECT_EQ(typed("C C O N C", "1-2 2=3 2-4 4-5"), "C.3 C.2 O.2 N.am C.3");
  EXPECT_EQ(typed("N C O N", "1-2 2=3 2-4"), "N.am C.2 O.2 N.am");
  EXPECT_EQ(typed("C C S N", "1-2 2=3 2-4"), "C.3 C.2 S.2 N.am");
  // An aniline and an enamine are planar; an alkyl amine is not.
  EXPECT_EQ(typed("C C C C C C N", "1=2 2-3 3=4 4-5 5=6 6-1 1-7"),
            "C.ar C.ar C.ar C.ar C.ar C.ar N.pl3");
  EXPECT_EQ(typed("C C N", "1=2 2-3"), "C.2 C.2 N.pl3");
  EXPECT_EQ(typed("C C N", "1-2 2-3"), "C.3 C.3 N.3");
}

TEST(SybylTyping, NitrogenGroupsAndCharges) {
  EXPECT_EQ(typed("C N+ O O-", "1-2 2=3 2-4"), "C.3 N.pl3 O.2 O.co2");      // nitro
  EXPECT_EQ(typed("C N+", "1-2"), "C.3 N.4");                               // ammonium
  EXPECT_EQ(typed("C N C C C", "1-2 2-3 2-4 2-5"), "C.3 N.4 C.3 C.3 C.3");  // quaternary
  EXPECT_EQ(typed("N C N N", "1-2 2=3 2-4"), "N.pl3 C.cat N.pl3 N.pl3");    // guanidine
  EXPECT_EQ(typed("C C N", "1-2 2#3"), "C.3 C.1 N.1");                      // nitrile
  EXPECT_EQ(typed("C N C C", "1=2 2-3 3-4"), "C.2 N.2 C.3 C.3");            // imine
  EXPECT_EQ(typed("C C C", "1=2 2=3"), "C.2 C.1 C.2");                      // allene
}

TEST(SybylTyping, SulfurAndPhosphorus) {
  // Sulfonamide (Open Babel's N.3), sulfoxide, thioether, thiol.
  EXPECT_EQ(typed("C S O O N", "1-2 2=3 2=4 2-5"), "C.3 S.o2 O.2 O.2 N.3");
  EXPECT_EQ(typed("C S O C", "1-2 2=3 2-4"), "C.3 S.o O.2 C.3");
  EXPECT_EQ(typed("C S C", "1-2 2-3"), "C.3 S.3 C.3");
  // A phosphate monoester dianion and its neutral acid: O.3 either way, as RDKit refuses O.co2
  // beside phosphorus; a sulfonate's charged oxygen is O.co2.
  EXPECT_EQ(typed("C O P O O- O-", "1-2 2-3 3=4 3-5 3-6"), "C.3 O.3 P.3 O.2 O.3 O.3");
  EXPECT_EQ(typed("C S O O O-", "1-2 2=3 2=4 2-5"), "C.3 S.o2 O.2 O.2 O.co2");
  EXPECT_EQ(typed("C O P O O O", "1-2 2-3 3=4 3-5 3-6"), "C.3 O.3 P.3 O.2 O.3 O.3");
}

// Metals are typed by their symbol and take no part in their ligands' counts; an element the
// type table lacks stays untyped; a type already held is kept.
TEST(SybylTyping, MetalsUnknownElementsAndGivenTypes) {
  std::unique_ptr<Molecule> molecule(buildMolecule("Zn N C C B Cl", "1-2 2=3 3-4 4-5 4-6"));
  molecule->atom(3).checkMOL2type("C.ar");
  assignSybylTypes(*molecule);
  EXPECT_EQ(typesOf(*molecule), "Zn N.2 C.2 C.ar  Cl");
  EXPECT_EQ(sybylTypeOf(molecule->atom(4)), "");
  EXPECT_TRUE(molecule->atom(0).getProperties().metal);
  // Properties follow the types, neighbours' included: C.2 double-bonded to N.2 is not
  // hydrophobic, the amine nitrogen of an aniline is no acceptor.
  EXPECT_FALSE(molecule->atom(2).getProperties().hydrophobic);
}
