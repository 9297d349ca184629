// Tests of the error table, the exception helper and the text utilities.
#include "global.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <set>
#include <type_traits>

using namespace VXMole;

static_assert(!std::is_base_of_v<std::exception, MoleExcept>,
              "a handler for standard exceptions must not catch MoleExcept");

TEST(Global, RaiseBuildsExactCodeLocationAndMessage) {
  MoleExcept e = raise(kErrNotEnoughPairs);
  EXPECT_EQ(e.code, 8001u);
  EXPECT_EQ(e.location, "ZELPAR::Create_Matrix");
  EXPECT_EQ(e.message, "Not enough pairs");

  e = raise(kErrEdgeBondNotGiven);
  EXPECT_EQ(e.code, 102022u);
  EXPECT_EQ(e.location, "EDGE::CONSTRUCTOR");
  EXPECT_EQ(e.message, "Bond not given");

  e = raise(kErrMolBondSameAtom);
  EXPECT_EQ(e.code, 109013u);
  EXPECT_EQ(e.location, "Molecule::Add_bond");
  EXPECT_EQ(e.message, "Theses two atoms are only one");

  e = raise(kErrMol2UnexpectedInBondBlock);
  EXPECT_EQ(e.code, 110051u);
  EXPECT_EQ(e.location, "MoleReader::Read_MOL2_Bond");
  EXPECT_EQ(e.message, "Unexpected @<TRIPOS> line while reading @<TRIPOS>BOND block");
}

TEST(Global, RaiseAppendsValuesWhereTheMessageTakesThem) {
  EXPECT_EQ(raise(kErrReaderCannotOpen, "ref.pdb").message, "Unable to open ref.pdb");
  EXPECT_EQ(raise(kErrReaderLoadUnknownFormat, ".xyz").message, "Unrecognized file format.xyz");
  EXPECT_EQ(raise(kErrMol2NoMolecule, "a.mol2").message, "NO MOLECULE FIND IN FILE :a.mol2");

  const MoleExcept unknown = raise(kErrAtomMol2TypeUnknown, "C.9");
  EXPECT_EQ(unknown.code, 4u);
  EXPECT_EQ(unknown.message, "MOL2 type given : C.9 Not recognized\n");

  const MoleExcept none = raise(kErrAtomNoMol2Type, "", "ATOM 12");
  EXPECT_EQ(none.code, 3u);
  EXPECT_EQ(none.location, "ATOM::Check_mol2typeATOM 12");
  EXPECT_EQ(none.message, "No MOL2 TYPE given");
}

TEST(Global, ErrorCodesAreDistinct) {
  const ErrorDef* table[] = {&kErrAtomNoMol2Type,
                             &kErrAtomMol2TypeUnknown,
                             &kErrNotEnoughPairs,
                             &kErrEdgeAtomNotGiven,
                             &kErrEdgeAtomSameVertex,
                             &kErrEdgeAtomVertexNotGiven,
                             &kErrEdgeBondSameVertex,
                             &kErrEdgeBondNotGiven,
                             &kErrEdgeBondVertexNotGiven,
                             &kErrEdgeSameVertex,
                             &kErrEdgeVertexNotGiven,
                             &kErrBondSameAtom,
                             &kErrMolBondNum1TooHigh,
                             &kErrMolBondNum2TooHigh,
                             &kErrMolBondSameAtom,
                             &kErrMolBondAtom1NotFound,
                             &kErrMolBondAtom2NotFound,
                             &kErrMolBondAlreadyBonded,
                             &kErrMolBondAtom1Null,
                             &kErrMolBondAtom2Null,
                             &kErrReaderNoFile,
                             &kErrReaderUnknownFormat,
                             &kErrReaderCannotOpen,
                             &kErrReaderLoadNoFile,
                             &kErrReaderLoadUnknownFormat,
                             &kErrReaderLoadCannotOpen,
                             &kErrReaderNoLines,
                             &kErrMol2NoFileOpened,
                             &kErrMol2NoMolecule,
                             &kErrMol2CannotCreateMolecule,
                             &kErrMol2UnexpectedInAtomBlock,
                             &kErrMol2UnexpectedInBondBlock,
                             &kErrMol2MoreAtoms,
                             &kErrMol2UnreadableAtom,
                             &kErrMol2MoreBonds,
                             &kErrMol2UnreadableBond,
                             &kErrMol2CoordinateBeyond,
                             &kErrPdbCoordinateBeyond,
                             &kErrCifCoordinateBeyond,
                             &kErrPdbUnreadable};
  std::set<uint32_t> codes;
  for (const ErrorDef* def : table) EXPECT_TRUE(codes.insert(def->code).second) << def->code;
  EXPECT_EQ(kErrMolBondAtom1NotFound.message, kErrMolBondAtom2NotFound.message);
  EXPECT_EQ(kErrReaderNoLines.location, "MoleReader::CONSTRUCTOR");
}

TEST(Global, AppartientMatchesSubstringsFirst) {
  EXPECT_TRUE(appartient("N.am", "N.pl3, N.am, N.4"));
  EXPECT_TRUE(appartient("N", "N.4, N.2, O.2"));
  EXPECT_TRUE(appartient(".4", "N.4, N.2, O.2"));
  EXPECT_TRUE(appartient("C", "Ca, Cd"));
  EXPECT_FALSE(appartient("S", "Ca, Cd, Co, Cu, Fe, Mg, Mn, Ni, Zn"));
  EXPECT_TRUE(appartient("ATOM", "ATOM , HETATM"));
  EXPECT_TRUE(appartient("HETATM", "ATOM , HETATM"));
  EXPECT_FALSE(appartient("HELIX", "ATOM , HETATM"));
}

TEST(Global, AppartientComparesWholeTokensForWordsHoldingSpaceComma) {
  // The substring step is skipped; only a token equal to the word would match, and tokens
  // never hold a space or a comma.
  EXPECT_FALSE(appartient("A ,B", "A ,B"));
  EXPECT_FALSE(appartient("X ,", "X , Y"));
  EXPECT_FALSE(appartient("ATOM", ""));
  EXPECT_FALSE(appartient("ATOM", " , ,"));
  // The empty word is a substring of every list.
  EXPECT_TRUE(appartient("", "ATOM , HETATM"));
  EXPECT_TRUE(appartient("", ""));
}

TEST(Global, TokenizeSortsAndDeduplicatesTheWholeVector) {
  std::vector<uint32_t> out;
  Tokenize("  5 3   5 1  ", out, " ");
  EXPECT_EQ(out, (std::vector<uint32_t>{1, 3, 5}));

  out = {4};
  Tokenize("  5 3   5 1  ", out, " ");
  EXPECT_EQ(out, (std::vector<uint32_t>{1, 3, 4, 5}));

  out = {7, 2, 7};
  Tokenize("", out, " ");
  EXPECT_EQ(out, (std::vector<uint32_t>{2, 7}));
}

TEST(Global, TokenizeConvertsLikeStrtolTruncatedTo32Bits) {
  std::vector<uint32_t> out;
  Tokenize("12a,x;-1", out, ",;");
  EXPECT_EQ(out, (std::vector<uint32_t>{0, 12, 4294967295u}));
}

TEST(Global, TokenStrKeepsOrderAndRepeats) {
  std::vector<std::string> out{"first"};
  Token_Str("a,,b ,c", out, ", ");
  EXPECT_EQ(out, (std::vector<std::string>{"first", "a", "b", "c"}));
  Token_Str(" b b ", out, " ");
  EXPECT_EQ(out, (std::vector<std::string>{"first", "a", "b", "c", "b", "b"}));
  Token_Str(",,,", out, ",");
  EXPECT_EQ(out.size(), 6u);
}

TEST(Global, VexilLibPathReadsTheEnvironment) {
  setenv("KESTRUM_TEST_LIB_DIR", "/opt/vexil/", 1);
  EXPECT_EQ(get_Vexil_LIB_Path("KESTRUM_TEST_LIB_DIR"), "/opt/vexil/");
  setenv("VEXIL_LIB", "/data/lib", 1);
  EXPECT_EQ(get_Vexil_LIB_Path(), "/data/lib");
  unsetenv("VEXIL_LIB");
}

TEST(Global, VexilLibPathExitsWhenUnset) {
  unsetenv("KESTRUM_TEST_NOT_SET");
  EXPECT_EXIT(get_Vexil_LIB_Path("KESTRUM_TEST_NOT_SET"), testing::ExitedWithCode(1),
              "NO KESTRUM_TEST_NOT_SET DEFINED");
}
