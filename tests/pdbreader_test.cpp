// Tests of the PDB reader: mutations of one valid block, CONECT records, numbers, residues,
// models, and the unreadable-record path.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "pdb_test_records.h"
#include "tool_runner.h"

using namespace VXMole;
using pdb_test::join;
using pdb_test::mutate;
using pdb_test::readLines;
using pdb_test::record;
using pdb_test::validBlock;

namespace {

// Files written for one test, in a directory of its own.
class PdbReaderFiles : public testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& content) {
    const std::string path = dir_.file(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  kestrum_test::TempDir dir_;
};

// An ATOM record with the given coordinate and residue-number columns (8 and 4 characters).
std::string atomRecord(int serial, const std::string& x, const std::string& resId, char chain = 'A',
                       bool full = true) {
  char line[96];
  std::snprintf(line, sizeof line, "ATOM  %5d  CA  ALA %c%4s    %8s%8s%8s", serial, chain,
                resId.c_str(), x.c_str(), "   2.000", "  -3.000");
  std::string text = line;
  if (full) text += "  1.00  0.00           C";
  return text;
}

Molecule* readRecords(const std::vector<std::string>& records) {
  std::vector<std::string> lines{"REMARK first line, taken as read"};
  lines.insert(lines.end(), records.begin(), records.end());
  MoleReader reader(lines, kFormatPdb);
  return reader.loadNextMole(17);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Atom records

TEST(PdbReader, ReadsTheValidBlock) {
  for (const char* end : {"", "\r"}) {
    std::vector<std::string> block = validBlock();
    for (std::string& line : block) line += end;
    auto molecule = readLines(block);
    ASSERT_TRUE(molecule);
    EXPECT_EQ(molecule->getName(), "TEST BLOCK");
    ASSERT_EQ(molecule->numAtoms(), 3u);
    const Atom& nitrogen = molecule->atom(0);
    EXPECT_EQ(nitrogen.getName(), "N");
    EXPECT_EQ(nitrogen.getNum(), 0u);
    EXPECT_EQ(nitrogen.getMapNum(), 1u);
    EXPECT_DOUBLE_EQ(nitrogen.getFixedCoords().z, -6.504);
    EXPECT_EQ(nitrogen.getResidu()->getName(), "GLY");
    EXPECT_EQ(nitrogen.getResidu()->getChain(), "A");
    // The metal: its name as read, its upper-case element column read as zinc.
    const Atom& zinc = molecule->atom(2);
    EXPECT_EQ(zinc.getName(), "ZN");
    EXPECT_EQ(zinc.getAtomicNum(), 30u);
    EXPECT_TRUE(zinc.hasLink(&molecule->atom(0)));
    EXPECT_EQ(molecule->numResidues(), 2u);  // GLY 1 and ZN 201; no default residue
  }
}

TEST(PdbReader, UpperCaseElementColumnsNameTheirElements) {
  const std::map<std::string, unsigned> expected = {{"CL", 17}, {"BR", 35}, {"FE", 26}, {"MG", 12},
                                                    {"ZN", 30}, {"CA", 20}, {"C", 6}};
  for (const auto& [element, number] : expected) {
    std::vector<std::string> block = {
        record("HETATM", 1, "X1  ", "LIG", 'L', 1, 0, 0, 0, element.c_str()), "END"};
    block.insert(block.begin(), "REMARK");
    MoleReader reader(block, kFormatPdb);
    testing::internal::CaptureStderr();
    std::unique_ptr<Molecule> molecule(reader.readPDB(0, true, true));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << element;  // no unknown-element warning
    ASSERT_EQ(molecule->numAtoms(), 1u);
    EXPECT_EQ(molecule->atom(0).getAtomicNum(), number) << element;
  }
}

TEST(PdbReader, AtomNameStandsInForAMissingElementColumn) {
  const std::string alpha = record("ATOM", 1, " CA ", "UNK", 'A', 1, 0, 0, 0, "").substr(0, 66);
  const std::string zinc = record("HETATM", 2, "ZN  ", "ZN", 'A', 2, 5, 0, 0, "").substr(0, 66);
  auto molecule = readLines({alpha, zinc, "END"});
  ASSERT_EQ(molecule->numAtoms(), 2u);
  EXPECT_EQ(molecule->atom(0).getAtomicNum(), 6u);  // C-alpha, not calcium
  EXPECT_EQ(molecule->atom(1).getName(), "ZN");     // written as read
  EXPECT_EQ(molecule->atom(1).getAtomicName(), "Zn");
  EXPECT_EQ(molecule->atom(1).getAtomicNum(), 30u);
}

// A legacy file keeps an identifier and line numbers in columns 73-80 (here from PDB entry
// 1HPV): the digits that fall in the element columns name no element, so the atom name does.
TEST(PdbReader, LegacyColumnsNameNoElement) {
  auto molecule = readLines(
      {"ATOM      1  N   PRO A   1      13.120  39.003   5.159  1.00 55.41      1HPV 186",
       "ATOM      2  CA  PRO A   1      12.941  39.418   6.575  1.00 31.00      1HPV 187",
       "HETATM 1521  O1  MK1 A 902       6.312  19.993  13.987  1.00 17.95      1HPV1676", "END"});
  ASSERT_EQ(molecule->numAtoms(), 3u);
  EXPECT_EQ(molecule->atom(0).getAtomicNum(), 7u);
  EXPECT_EQ(molecule->atom(1).getAtomicNum(), 6u);
  EXPECT_EQ(molecule->atom(2).getAtomicNum(), 8u);
}

// What else a PDB file says: numbers that go down without repeating are one numbering (CONECT
// records bond across them), formal charges in columns 79-80, an ion named as its residue.
TEST(PdbReader, UnorderedNumbersChargesAndIons) {
  auto charged = [](std::string line, const char* charge) { return line + charge; };
  auto molecule = readLines({
      record("HETATM", 10, " C1 ", "LIG", 'A', 1, 0.0, 0, 0, "C"),
      charged(record("HETATM", 11, " N1 ", "LIG", 'A', 1, 3.0, 0, 0, "N"), "1+"),
      charged(record("HETATM", 4, " O1 ", "LIG", 'A', 1, 6.0, 0, 0, "O"), "1-"),
      record("HETATM", 20, "CA  ", "CA", 'A', 2, 20.0, 0, 0, "").substr(0, 66),
      record("HETATM", 21, "CL  ", "CL", 'A', 3, 25.0, 0, 0, "").substr(0, 66),
      "CONECT   10   11",
      "CONECT   11    4",
      "END",
  });
  ASSERT_EQ(molecule->numAtoms(), 5u);
  EXPECT_TRUE(molecule->atom(0).hasLink(&molecule->atom(1)));
  EXPECT_TRUE(molecule->atom(1).hasLink(&molecule->atom(2)));
  EXPECT_EQ(molecule->atom(1).getFormalCharge(), 1);
  EXPECT_EQ(molecule->atom(2).getFormalCharge(), -1);
  EXPECT_EQ(molecule->atom(3).getAtomicNum(), 20u);  // calcium, not carbon
  EXPECT_EQ(molecule->atom(4).getAtomicNum(), 17u);
}

// Numbers that are not plain decimals do not end the read: hybrid-36 is decoded, "*****" and
// other text read as their leading number, else 0. A coordinate that is no number still does.
TEST(PdbReader, NumbersThatAreNotPlainStillRead) {
  auto numbered = [](const char* serial, const char* resSeq) {
    std::string line = record("HETATM", 1, " C1 ", "LIG", 'A', 1, 0, 0, 0, "C");
    line.replace(6, 5, serial);
    return line.replace(22, 4, resSeq);
  };
  auto molecule = readLines({numbered("A0000", "A000"), numbered("B0001", "  12"),
                             numbered("*****", "****"), numbered("  12x", " 7ab"),
                             numbered("   -3", "  -4"), numbered("a0000", "ZZZZ"), "END"});
  ASSERT_EQ(molecule->numAtoms(), 6u);
  const unsigned serials[] = {100000, 100000 + 36 * 36 * 36 * 36 + 1, 0, 12,
                              0,      100000 + 26 * 36 * 36 * 36 * 36};
  const int residues[] = {10000, 12, 0, 7, -4, 10000 + 26 * 36 * 36 * 36 - 1};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(molecule->atom(i).getMapNum(), serials[i]) << i;
    EXPECT_EQ(molecule->atom(i).getResidu()->getNum(), residues[i]) << i;
  }
}

TEST(PdbReader, ProteinModeFilters) {
  const std::vector<std::string> block = {
      record("ATOM", 1, " N  ", "ALA", 'A', 1, 0, 0, 0, "N"),
      record("HETATM", 2, " PG ", "ATP", 'A', 300, 5, 0, 0, "P"),
      record("ATOM", 3, " PB ", "ATP", 'A', 301, 8, 0, 0, "P"),
      record("HETATM", 4, " O  ", "HOH", 'W', 400, 12, 0, 0, "O"),
      record("HETATM", 5, " H1 ", "HOH", 'W', 400, 12.9, 0, 0, "H"),
      "END"};
  auto count = [&](unsigned type, bool keepCofactors, bool keepWaters) {
    std::vector<std::string> lines = block;
    lines.insert(lines.begin(), "REMARK");
    MoleReader reader(lines, kFormatPdb);
    std::unique_ptr<Molecule> molecule(reader.readPDB(type, keepCofactors, keepWaters));
    std::vector<unsigned> numbers;
    for (size_t i = 0; i < molecule->numAtoms(); ++i)
      numbers.push_back(molecule->atom(i).getMapNum());
    return numbers;
  };
  EXPECT_EQ(count(kMoleProtein, false, false), (std::vector<unsigned>{1, 3, 5}));
  EXPECT_EQ(count(kMoleProtein, true, false), (std::vector<unsigned>{1, 2, 3, 5}));
  EXPECT_EQ(count(kMoleProtein, false, true), (std::vector<unsigned>{1, 3, 4, 5}));
  EXPECT_EQ(count(17, false, false), (std::vector<unsigned>{1, 2, 3, 4, 5}));
}

TEST(PdbReader, ResiduesAreKeyedByNumberNameAndChain) {
  auto molecule = readLines(
      {record("ATOM", 1, " N  ", "ALA", 'A', 12, 0, 0, 0, "N"),
       record("ATOM", 2, " CA ", "ALA", 'A', 12, 1.5, 0, 0, "C"),
       record("ATOM", 3, " N  ", "ALA", 'B', 12, 30, 0, 0, "N"),
       record("ATOM", 4, " N  ", "GLY", 'B', 12, 40, 0, 0, "N"),    // same number, other name
       record("ATOM", 5, " N  ", "GLY", ' ', 12, 50, 0, 0, "N"),    // no chain letter
       record("HETATM", 6, " C1 ", "LIG", 'L', -1, 60, 0, 0, "C"),  // a negative number
       record("HETATM", 7, " C2 ", "LIG", 'L', -1, 61, 0, 0, "C"),
       record("HETATM", 8, " C1 ", "LIG", 'L', -2, 62, 0, 0, "C"), "END"});
  ASSERT_EQ(molecule->numAtoms(), 8u);
  EXPECT_EQ(molecule->atom(0).getResidu(), molecule->atom(1).getResidu());
  EXPECT_NE(molecule->atom(0).getResidu(), molecule->atom(2).getResidu());
  EXPECT_NE(molecule->atom(2).getResidu(), molecule->atom(3).getResidu());
  EXPECT_EQ(molecule->atom(4).getResidu()->getChain(), "");
  EXPECT_EQ(molecule->atom(4).getResidu()->getNum(), 12);
  EXPECT_EQ(molecule->atom(5).getResidu()->getNum(), -1);
  EXPECT_EQ(molecule->atom(5).getResidu(), molecule->atom(6).getResidu());
  EXPECT_EQ(molecule->atom(7).getResidu()->getNum(), -2);
  EXPECT_EQ(molecule->getDefaultResidu(), nullptr);
  EXPECT_EQ(molecule->numResidues(), 6u);
}

// Residues are never merged: insertion codes (52, 52A, 52B) make residues of their own, and a
// residue whose chain, number and name come back after others is joined again only by records
// that complete it nearby (hydrogens listed last); one far away, or repeating one of its atoms
// (numbering that wraps past 9,999), is another residue.
TEST(PdbReader, ResiduesAreNeverMerged) {
  auto withCode = [](std::string line, char code) {
    return mutate(line, 26, std::string(1, code));
  };
  auto molecule = readLines({
      record("ATOM", 1, " N  ", "GLY", 'H', 52, 0, 0, 0, "N"),
      withCode(record("ATOM", 2, " N  ", "GLY", 'H', 52, 3.8, 0, 0, "N"), 'A'),
      withCode(record("ATOM", 3, " N  ", "GLY", 'H', 52, 7.6, 0, 0, "N"), 'B'),
      record("HETATM", 4, " O  ", "HOH", 'W', 1, 20, 0, 0, "O"),
      record("HETATM", 5, " O  ", "HOH", 'W', 2, 24, 0, 0, "O"),
      record("HETATM", 6, " H1 ", "HOH", 'W', 1, 20.9, 0, 0, "H"),  // completes water 1
      record("HETATM", 7, " H2 ", "HOH", 'W', 2, 80, 0, 0, "H"),    // far from water 2
      record("HETATM", 8, " O  ", "HOH", 'W', 1, 60, 0, 0, "O"),    // wrapped: another water 1
      "END",
  });
  ASSERT_EQ(molecule->numAtoms(), 8u);
  std::set<const Residu*> residues;
  for (size_t i = 0; i < 3; ++i) residues.insert(molecule->atom(i).getResidu());
  EXPECT_EQ(residues.size(), 3u);
  EXPECT_EQ(molecule->atom(1).getResidu()->getInsertionCode(), 'A');
  EXPECT_EQ(molecule->atom(1).getIdentifier(), "N (2) of GLY (H-52A)");
  EXPECT_EQ(molecule->atom(5).getResidu(), molecule->atom(3).getResidu());
  EXPECT_NE(molecule->atom(6).getResidu(), molecule->atom(3).getResidu());
  EXPECT_NE(molecule->atom(7).getResidu(), molecule->atom(4).getResidu());
  EXPECT_EQ(molecule->numResidues(), 7u);
}

// ---------------------------------------------------------------------------------------------
// Numbers the plain cut reads, against the standard conversions it stands in for

// Coordinates in every form a column can hold read as std::stod reads them, bit for bit:
// plain decimals the quick way, the others (exponents, a plus sign, trailing text) the
// standard way.
TEST(PdbReader, CoordinatesReadAsStodReadsThem) {
  const std::vector<std::string> texts = {
      "  11.104", " -6.504 ", "  -0.000", "    .5  ", "   -.125", "       7", "1234.567",
      "-999.999", "  1.5e1 ", "   +2.25", " 0.1(2) ", "0.000001", "-0.00005", " 3.14159"};
  std::vector<std::string> records;
  for (size_t i = 0; i < texts.size(); ++i)
    records.push_back(atomRecord(static_cast<int>(i) + 1, texts[i], "   1"));
  std::unique_ptr<Molecule> molecule(readRecords(records));
  ASSERT_NE(molecule, nullptr);
  ASSERT_EQ(molecule->numAtoms(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string field = texts[i];
    field = field.substr(field.find_first_not_of(' '));
    field = field.substr(0, field.find_first_of(" ("));
    const double expected = std::stod(field);
    const double x = molecule->atom(i).getFixedCoords().x;
    EXPECT_EQ(std::signbit(x), std::signbit(expected)) << texts[i];
    EXPECT_EQ(x, expected) << texts[i];
  }
}

// Residue numbers as std::stoi reads the raw columns: blanks before, a minus sign, text after
// the digits ignored, a plus sign taken the standard way; a negative number is a number.
TEST(PdbReader, ResidueNumbersAndChainsAsTokenizeCutsThem) {
  std::vector<std::string> records = {
      atomRecord(1, "   1.000", "  12"),      atomRecord(2, "   1.000", "  12"),
      atomRecord(3, "   1.000", "  12", 'B'), atomRecord(4, "   1.000", "  +7"),
      atomRecord(5, "   1.000", "  -3"),      atomRecord(6, "   1.000", "  45", ' ', false)};
  std::unique_ptr<Molecule> molecule(readRecords(records));
  ASSERT_NE(molecule, nullptr);
  ASSERT_EQ(molecule->numAtoms(), 6u);
  const Residu* first = molecule->atom(0).getResidu();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->getNum(), 12);
  EXPECT_EQ(first->getChain(), "A");
  EXPECT_EQ(molecule->atom(1).getResidu(), first);
  ASSERT_NE(molecule->atom(2).getResidu(), first);
  EXPECT_EQ(molecule->atom(2).getResidu()->getChain(), "B");
  EXPECT_EQ(molecule->atom(3).getResidu()->getNum(), 7);
  EXPECT_EQ(molecule->atom(4).getResidu()->getNum(), -3);
  EXPECT_EQ(molecule->atom(5).getResidu()->getNum(), 45);
  EXPECT_EQ(molecule->atom(5).getResidu()->getChain(), "");
  EXPECT_EQ(molecule->atom(5).getName(), "CA");
  EXPECT_EQ(molecule->atom(0).getAtomicName(), "C");
  EXPECT_EQ(molecule->atom(0).getMapNum(), 1u);
}

// Records the plain cut cannot take fail as tokenize and std::stod fail on them.
TEST(PdbReader, BlankOrBadFieldsStillEndInTheUnreadablePath) {
  for (const std::string& bad :
       {atomRecord(1, "        ", "   1"), atomRecord(1, "   abc  ", "   1"),
        std::string("ATOM      1  CA  ALA A   1      1.0")}) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
      std::unique_ptr<Molecule> molecule(readRecords({bad}));
      ADD_FAILURE() << "read: " << bad;
    } catch (const MoleExcept& error) {
      EXPECT_EQ(error.code, kErrPdbUnreadable.code) << bad;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error while reading"),
              std::string::npos);
  }
}

// ---------------------------------------------------------------------------------------------
// Records that cannot be read

// Each case corrupts one field of the second record; the reader gives up the molecule, dumps
// the atoms read so far and names the reason.
TEST_F(PdbReaderFiles, CorruptFieldsEndInTheUnreadablePath) {
  struct Case {
    size_t start;
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {38, "     abc", "stod"},                  // coordinate not a number
      {46, "        ", "basic_string::substr"},  // blank coordinate
      {12, "    ", "basic_string::substr"},      // blank atom name
      {17, "   ", "basic_string::substr"},       // blank residue name
  };
  for (const char* end : {"\n", "\r\n"}) {
    for (const Case& c : cases) {
      std::vector<std::string> block = validBlock();
      block[2] = mutate(block[2], c.start, c.text);
      const std::string path = write("bad.pdb", join(block, end));
      MoleReader reader(path, kFormatDetect);
      Complex complex;
      testing::internal::CaptureStdout();
      testing::internal::CaptureStderr();
      try {
        reader.loadInComplex(complex, kMoleCalcs);
        ADD_FAILURE() << "accepted " << c.text;
      } catch (const MoleExcept& e) {
        EXPECT_EQ(e.code, 110061u);
        EXPECT_EQ(e.location, "MoleReader::Read_PDB");
        EXPECT_EQ(e.message, "Error while reading " + path);
      }
      const std::string out = testing::internal::GetCapturedStdout();
      const std::string err = testing::internal::GetCapturedStderr();
      EXPECT_EQ(err, "Error while reading " + path + "\nReason : " + c.reason + "\nLine : 3\n")
          << c.text;
      EXPECT_EQ(out, "");  // the table of the atoms read is debug output
      EXPECT_EQ(complex.others.size(), 0u);
    }
  }
}

// Under the debug switch, an unreadable record also shows the atom numbers read before it.
TEST_F(PdbReaderFiles, AtomNumberTableUnderTheDebugSwitch) {
  std::vector<std::string> block = validBlock();
  block[2] = mutate(block[2], 38, "     abc");
  const std::string path = write("bad.pdb", join(block));
  struct DebugOn {
    DebugOn() { MoleReader::debug = 1; }
    ~DebugOn() { MoleReader::debug = 0; }
  } debugOn;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  MoleReader reader(path, kFormatDetect);
  Complex complex;
  EXPECT_THROW(reader.loadInComplex(complex, kMoleCalcs), MoleExcept);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error while reading " + path + "\nReason : stod\nLine : 3\n");
  EXPECT_NE(out.find("\n1\t"), std::string::npos) << out;  // the first atom was read
  EXPECT_EQ(out.find("\n2\t"), std::string::npos) << out;
}

TEST_F(PdbReaderFiles, ShortAtomLineEndsTheRead) {
  const std::string line = record("ATOM", 1, " N  ", "ALA", 'A', 1, 11.104, 6.134, -6.504, "N");
  const std::string path = write("short.pdb", line.substr(0, 40) + "\nEND\n");
  MoleReader reader(path, kFormatDetect);
  Complex complex;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_THROW(reader.loadInComplex(complex, kMoleCalcs), MoleExcept);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error while reading " + path + "\nReason : basic_string::substr\nLine : 1\n");
}

// ---------------------------------------------------------------------------------------------
// Molecules, CONECT records and models

TEST_F(PdbReaderFiles, TwoMoleculesSeparatedByEnd) {
  const std::string text = join({
      "COMPND    FIRST",
      "COMPND    MOLECULE: ALPHA   ",
      record("HETATM", 1, " C1 ", "LIG", 'A', 1, 0, 0, 0, "C"),
      "END   ",  // END with trailing blanks does not end the molecule
      record("HETATM", 2, " C2 ", "LIG", 'A', 1, 1.5, 0, 0, "C"),
      "END",
      "END",  // an empty molecule: dropped
      "COMPND    SECOND",
      record("HETATM", 1, " O1 ", "LIG", 'B', 1, 0, 0, 0, "O"),
  });
  MoleReader reader(write("two.pdb", text), kFormatDetect);
  Complex complex;
  testing::internal::CaptureStderr();
  reader.loadInComplex(complex, kMoleCalcs);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unexpected end of file\n");
  ASSERT_EQ(complex.others.size(), 2u);
  EXPECT_EQ(complex.others[0].getName(), "MOLECULE: ALPHA");
  EXPECT_EQ(complex.others[0].numAtoms(), 2u);
  EXPECT_EQ(complex.others[1].getName(), "SECOND");
  EXPECT_EQ(complex.others[1].atom(0).getName(), "O1");
}

// The name is the last COMPND record's text, without its continuation number (columns 8-10)
// nor the entry code and line number of older files (columns 73-80, as in 1HPV); text that
// reaches those columns in a newer file stays.
TEST(PdbReader, CompoundNameWithoutContinuationNumberOrLegacyColumns) {
  const std::string atom = record("HETATM", 1, " C1 ", "LIG", 'A', 1, 0, 0, 0, "C");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"COMPND   4 4-PHENYLBUTANE)                                              1HPV   6",
       "4-PHENYLBUTANE)"},
      {"COMPND    HIV-1 PROTEASE (E.C.3.4.23.-) COMPLEXED WITH VX-478           1HPV   3",
       "HIV-1 PROTEASE (E.C.3.4.23.-) COMPLEXED WITH VX-478"},
      {"COMPND  12 CHAIN: A, B;", "CHAIN: A, B;"},
      {"COMPND    MOL_ID: 1;                                                            ",
       "MOL_ID: 1;"},
      {"COMPND   2 MOLECULE: A NAME THAT RUNS ON TO THE LAST COLUMNS OF THE RECORD  2 ABC 1",
       "MOLECULE: A NAME THAT RUNS ON TO THE LAST COLUMNS OF THE RECORD  2 ABC 1"},
  };
  for (const auto& [compnd, name] : cases) {
    auto molecule = readLines({compnd, atom, "END"});
    ASSERT_TRUE(molecule);
    EXPECT_EQ(molecule->getName(), name) << compnd;
  }
}

// Every bond a CONECT record lists is made once, from whichever of its atoms' records lists it,
// from all four partner fields; a blank field is no partner, an unknown partner is passed over,
// and columns beyond the partner fields (identifiers of legacy files) are not read.
TEST(PdbReader, ConectRules) {
  std::vector<std::string> block;
  for (int i : {1, 2, 3, 4, 5, 6, 8, 10, 0})
    block.push_back(record("HETATM", i, " C  ", "LIG", 'A', 1, 1.4 * i, 0, 0, "C"));
  block.back().replace(6, 5, "A0000");  // hybrid-36 for 100000
  std::string legacy = "CONECTA0000    1    2";
  legacy += std::string(72 - legacy.size(), ' ') + "1ABC  99";   // an identifier in 73-80
  block.insert(block.end(), {"CONECT    1    2",                 // listed by its lower atom
                             "CONECT    2    1",                 // the same bond again
                             "CONECT    3    4",                 // listed once
                             "CONECT    5    4   12    3",       // 12 is unknown
                             "CONECT    6    5    5",            // listed twice: a double bond
                             "CONECT   10    6    7    1    8",  // four partners, 7 unknown
                             "CONECT    8",                      // Vina: no partner at all
                             "CONECT    7    1",                 // unknown first atom
                             legacy, "END"});
  auto molecule = readLines(block);
  ASSERT_EQ(molecule->numAtoms(), 9u);
  EXPECT_EQ(molecule->atom(8).getMapNum(), 100000u);
  std::set<std::pair<unsigned, unsigned>> bonds;
  for (size_t i = 0; i < molecule->numBonds(); ++i) {
    const Bond& bond = molecule->bond(i);
    bonds.emplace(bond.getFirst()->getMapNum(), bond.getSecond()->getMapNum());
    const bool doubled = bond.getFirst()->getMapNum() == 6 && bond.getSecond()->getMapNum() == 5;
    EXPECT_EQ(bond.getType(), doubled ? kBondDouble : kBondSingle);
  }
  EXPECT_EQ(bonds, (std::set<std::pair<unsigned, unsigned>>{{1, 2},
                                                            {3, 4},
                                                            {5, 4},
                                                            {5, 3},
                                                            {6, 5},
                                                            {10, 6},
                                                            {10, 1},
                                                            {10, 8},
                                                            {100000, 1},
                                                            {100000, 2}}));
  EXPECT_EQ(molecule->numBonds(), 10u);
}

// Atom numbers that restart (a numbering that wraps past 99,999, or a second block numbered from
// 1) begin a new wrap: a CONECT record takes all its atoms from one wrap, the latest that holds
// them all, and never bonds atoms of different wraps.
TEST(PdbReader, ConectNeverJoinsAtomsOfDifferentWraps) {
  auto molecule = readLines({
      record("ATOM", 1, " N  ", "UNK", 'A', 1, 0, 0, 0, "N"),  // too far apart to bond
      record("ATOM", 2, " CA ", "UNK", 'A', 1, 10, 0, 0, "C"),
      record("ATOM", 99999, " CB ", "UNK", 'A', 1, 20, 0, 0, "C"),
      record("HETATM", 1, " C1 ", "LIG", 'L', 1, 40, 0, 0, "C"),
      record("HETATM", 2, " C2 ", "LIG", 'L', 1, 41.5, 0, 0, "C"),
      record("HETATM", 3, " O3 ", "LIG", 'L', 1, 42, 1.2, 0, "O"),
      "CONECT    1    2",  // both wraps hold 1 and 2: the latest, the ligand's
      "CONECT    2    3",
      "CONECT    3 99999",  // 99999 is in the first wrap only: no bond
      "END",
  });
  ASSERT_EQ(molecule->numAtoms(), 6u);
  EXPECT_TRUE(molecule->atom(3).hasLink(&molecule->atom(4)));
  EXPECT_TRUE(molecule->atom(4).hasLink(&molecule->atom(5)));
  EXPECT_EQ(molecule->atom(5).numBonds(), 1u);
  EXPECT_EQ(molecule->atom(0).numBonds() + molecule->atom(1).numBonds(), 0u);
  EXPECT_EQ(molecule->numBonds(), 2u);
}

// ENDMDL ends a molecule as END does: each model is a molecule of its own. CONECT records after
// the last model hold for every model.
TEST_F(PdbReaderFiles, EachModelIsAMolecule) {
  // Atoms too far apart to be bonded by their distances: the CONECT records decide.
  std::vector<std::string> lines;
  for (int model = 1; model <= 3; ++model) {
    lines.push_back("MODEL        " + std::to_string(model));
    lines.push_back(record("HETATM", 1, " C1 ", "LIG", 'A', 1, model, 0, 0, "C"));
    lines.push_back(record("HETATM", 2, " O2 ", "LIG", 'A', 1, model + 3.0, 0, 0, "O"));
    lines.push_back(record("HETATM", 3, " N3 ", "LIG", 'A', 1, model + 6.0, 0, 0, "N"));
    lines.push_back("ENDMDL");
    if (model == 2) lines.push_back("CONECT    2    3");  // model 2's own record
  }
  lines.insert(lines.end(), {"CONECT    1    2", "END"});
  for (const char* end : {"\n", "\r\n", "\r"}) {
    MoleReader reader(write("models.pdb", join(lines, end)), kFormatDetect);
    Complex complex;
    testing::internal::CaptureStderr();
    reader.loadInComplex(complex, kMoleCalcs);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(complex.others.size(), 3u);
    for (int model = 0; model < 3; ++model) {
      const Molecule& molecule = complex.others[model];
      ASSERT_EQ(molecule.numAtoms(), 3u);
      EXPECT_DOUBLE_EQ(molecule.atom(0).getFixedCoords().x, model + 1);
      ASSERT_EQ(molecule.numBonds(), 1u) << model;
      // Model 2 has its own record; the others take the one after the last model.
      EXPECT_EQ(molecule.bond(0).getFirst()->getMapNum(), model == 1 ? 2u : 1u) << model;
    }
  }
}

// Residue typing is a per-residue job: reading ten times more atoms must take about ten times
// longer, not a hundred.
TEST(PdbReader, LargeProteinReadsInLinearTime) {
  std::ifstream in(std::string(KESTRUM_TEST_DATA) + "/pdb_il2_fragments.pdb");
  std::vector<std::string> fragment;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("ATOM", 0) == 0) fragment.push_back(line);

  // Copies of the fragments, each in its own chain and place, up to `atoms` atoms.
  auto readCopies = [&](int atoms, size_t* numAtoms) {
    std::vector<std::string> lines = {"REMARK large"};
    int atom = 0;
    for (int copy = 0; atom + static_cast<int>(fragment.size()) <= atoms; ++copy) {
      for (std::string line : fragment) {
        char text[16];
        std::snprintf(text, sizeof text, "%5d", ++atom);
        line.replace(6, 5, text);
        line[21] = static_cast<char>('A' + copy % 26);
        std::snprintf(text, sizeof text, "%4d", std::stoi(line.substr(22, 4)) + 200 * (copy / 26));
        line.replace(22, 4, text);
        std::snprintf(text, sizeof text, "%8.3f", std::stod(line.substr(30, 8)) + 40.0 * copy);
        line.replace(30, 8, text);
        lines.push_back(line);
      }
    }
    lines.push_back("END");
    const auto start = std::chrono::steady_clock::now();
    MoleReader reader(lines, kFormatPdb);
    std::unique_ptr<Molecule> molecule(reader.readPDB(kMoleProtein, true, true));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    *numAtoms = molecule->numAtoms();
    return seconds;
  };
  size_t small = 0;
  size_t large = 0;
  const double smallSeconds = readCopies(9000, &small);
  const double largeSeconds = readCopies(90000, &large);
  EXPECT_GT(large, 89000u);
  // Time per atom: about the same at both sizes; ten times more if the work were quadratic.
  // (The bound leaves room for a busy machine; the benchmark times reading itself.)
  EXPECT_LT((largeSeconds / large) / (smallSeconds / small), 5.0);
  RecordProperty("seconds", std::to_string(largeSeconds));
}
