// Tests of the reader front end (sources, lines) and of the PDB reader.
#include "molereader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "complex.h"
#include "edge.h"
#include "global.h"
#include "molecule.h"
#include "vertex.h"

using namespace VXMole;

namespace {

namespace fs = std::filesystem;

// A fixed-column ATOM/HETATM record, 78 characters long. `name4` is the four-column atom name
// field as PDB files write it (" N  ", " CA ", "ZN  ").
std::string record(const char* kind, int num, const char* name4, const char* res, char chain,
                   int resSeq, double x, double y, double z, const char* element) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%-6s%5d %-4s %3s %c%4d    %8.3f%8.3f%8.3f%6.2f%6.2f%10s%2s",
                kind, num, name4, res, chain, resSeq, x, y, z, 1.0, 0.0, "", element);
  return buffer;
}

// Runs `fn` and checks the MoleExcept it must throw.
template <class Fn>
void expectError(Fn fn, unsigned code, const std::string& location, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "no exception, expected " << code;
  } catch (const MoleExcept& e) {
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.location, location);
    EXPECT_EQ(e.message, message);
  }
}

// Overwrites the columns from `start` (0-based) with `text`.
std::string mutate(std::string line, size_t start, const std::string& text) {
  return line.replace(start, text.size(), text);
}

// Reads one molecule of PDB text given as lines (the first line counts as already read, so a
// leading REMARK stands in front).
std::unique_ptr<Molecule> readLines(std::vector<std::string> body, unsigned type = 17) {
  body.insert(body.begin(), "REMARK   test block");
  MoleReader reader(body, kFormatPdb);
  testing::internal::CaptureStderr();
  std::unique_ptr<Molecule> molecule(reader.readPDB(type, true, true));
  testing::internal::GetCapturedStderr();
  return molecule;
}

// The valid block the mutation tests start from: a glycine fragment and a zinc ion, bonded by
// CONECT records.
std::vector<std::string> validBlock() {
  return {
      "COMPND    TEST BLOCK",
      record("ATOM", 1, " N  ", "GLY", 'A', 1, 11.104, 6.134, -6.504, "N"),
      record("ATOM", 2, " CA ", "GLY", 'A', 1, 11.639, 6.071, -5.147, "C"),
      record("HETATM", 3, "ZN  ", "ZN", 'A', 201, 13.000, 7.000, -4.000, "ZN"),
      "CONECT    3    1",
      "END",
  };
}

class TempDir : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("molereader_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& content) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  static std::string join(const std::vector<std::string>& lines, const char* end = "\n") {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
  }

  fs::path dir_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sources and formats

class MoleReaderFiles : public TempDir {};

TEST_F(MoleReaderFiles, DetectsFormatFromTheLastFourCharacters) {
  const std::map<std::string, unsigned> expected = {{"ligand.mol2", kFormatMol2},
                                                    {"LIG.MOL2", kFormatMol2},
                                                    {"xmol2", kFormatMol2},
                                                    {"protein.pdb", kFormatPdb},
                                                    {"P.PDB", kFormatPdb}};
  for (const auto& [name, format] : expected) {
    MoleReader reader(write(name, "END\n"), kFormatDetect);
    EXPECT_EQ(reader.getFormat(), format) << name;
    EXPECT_TRUE(reader.isOpened());
  }
  // An explicit code bypasses detection.
  MoleReader explicitMol2(write("x.txt", ""), kFormatMol2);
  EXPECT_EQ(explicitMol2.getFormat(), kFormatMol2);
}

TEST_F(MoleReaderFiles, ConstructorErrors) {
  const std::string ctor = "MoleReader::CONSTRUCTOR";
  const std::string ent = write("file.ent", "END\n");
  expectError([&] { MoleReader r(ent, kFormatDetect); }, 110012, ctor,
              "Unrecognized file format.ent");
  expectError([&] { MoleReader r("pdb", kFormatDetect); }, 110012, ctor,
              "Unrecognized file formatpdb");  // shorter than four characters
  expectError([&] { MoleReader r("", kFormatDetect); }, 110011, ctor, "No file given");
  const std::string missing = (dir_ / "missing.pdb").string();
  expectError([&] { MoleReader r(missing, kFormatDetect); }, 110013, ctor,
              "Unable to open " + missing);
  expectError([&] { MoleReader r(std::vector<std::string>{}, kFormatPdb); }, 110121, ctor,
              "No line given");
}

TEST_F(MoleReaderFiles, LoadNewFileReusesTheReader) {
  const std::string first = write("first.pdb", join(validBlock()));
  const std::string second =
      write("second.pdb", record("ATOM", 7, " O  ", "HOH", 'W', 5, 1, 2, 3, "O") + "\n");
  MoleReader reader(first, kFormatDetect);
  Complex complex;
  testing::internal::CaptureStderr();
  reader.loadInComplex(complex, kMoleCalcs);
  reader.loadNewFile(second, kFormatDetect);
  EXPECT_FALSE(reader.isAtEnd());
  reader.loadInComplex(complex, kMoleCalcs);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(complex.others.size(), 2u);
  EXPECT_EQ(complex.others[0].numAtoms(), 3u);
  EXPECT_EQ(complex.others[1].numAtoms(), 1u);
  EXPECT_EQ(complex.others[1].atom(0).getMapNum(), 7u);

  const std::string load = "MoleReader::Load_NewFile";
  expectError([&] { reader.loadNewFile("", kFormatDetect); }, 110021, load, "No file given");
  const std::string xyz = write("a.xyz", "");
  expectError([&] { reader.loadNewFile(xyz, kFormatDetect); }, 110022, load,
              "Unrecognized file format.xyz");
  const std::string missing = (dir_ / "gone.pdb").string();
  expectError([&] { reader.loadNewFile(missing, kFormatDetect); }, 110023, load,
              "Unable to open " + missing);
  EXPECT_FALSE(reader.isOpened());
  EXPECT_EQ(reader.getPath(), missing);
}

// Rings are perceived in molecules read from MOL2, except for the superposition's own reads
// (type 5), which want the atoms of the file and nothing more.
TEST_F(MoleReaderFiles, RingSearchFollowsTheTypeCode) {
  const double kPi = std::acos(-1.0);
  std::string text = "@<TRIPOS>MOLECULE\nring\n 6 6 1 0 0\nSMALL\nNO_CHARGES\n\n@<TRIPOS>ATOM\n";
  for (int i = 0; i < 6; ++i) {
    char atom[96];
    std::snprintf(atom, sizeof atom, "%7d C%d %10.4f %10.4f %10.4f C.ar 1 BEN1 0.0000\n", i + 1,
                  i + 1, 1.397 * std::cos(i * kPi / 3), 1.397 * std::sin(i * kPi / 3), 0.0);
    text += atom;
  }
  text += "@<TRIPOS>BOND\n";
  for (int i = 0; i < 6; ++i)
    text += std::to_string(i + 1) + " " + std::to_string(i + 1) + " " +
            std::to_string((i + 1) % 6 + 1) + " ar\n";
  const std::string path = write("ring.mol2", text);
  for (unsigned type : {kMoleLigand, kMoleCalcs}) {
    MoleReader reader(path, kFormatDetect);
    testing::internal::CaptureStderr();
    std::unique_ptr<Molecule> molecule(reader.loadNextMole(type));
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(molecule);
    EXPECT_EQ(molecule->numCycles(), type == kMoleCalcs ? 0u : 1u) << type;
  }
}

// ---------------------------------------------------------------------------------------------
// Lines

TEST(MoleReader, GetLineOnLinesSkipsTheFirstAndReportsTheEnd) {
  MoleReader reader(std::vector<std::string>{"one", "two", "three\r"}, kFormatPdb);
  EXPECT_EQ(reader.getLine(), "two");
  EXPECT_EQ(reader.getLine(), "three");
  EXPECT_FALSE(reader.isAtEnd());
  testing::internal::CaptureStderr();
  EXPECT_EQ(reader.getLine(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unexpected end of line\n");
  EXPECT_TRUE(reader.isAtEnd());
}

TEST_F(MoleReaderFiles, GetLineDeliversALastLineWithoutNewline) {
  MoleReader reader(write("tail.pdb", "first\r\nlast"), kFormatPdb);
  EXPECT_EQ(reader.getLine(), "first");
  EXPECT_EQ(reader.getLine(), "last");
  EXPECT_FALSE(reader.isAtEnd());
  testing::internal::CaptureStderr();
  EXPECT_EQ(reader.getLine(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unexpected end of file\n");
  EXPECT_TRUE(reader.isAtEnd());
}

// A read that fails without reaching the end of a file (here: the path is a directory) used to
// leave the input open for ever, so that loadInComplex never returned.
TEST_F(MoleReaderFiles, ReadFailureEndsTheInput) {
  try {
    fs::create_directories(dir_ / "sub.pdb");
    MoleReader onDirectory((dir_ / "sub.pdb").string(), kFormatPdb);
    Complex complex;
    onDirectory.loadInComplex(complex, kMoleCalcs);
    EXPECT_TRUE(onDirectory.isAtEnd());
    EXPECT_EQ(complex.others.size(), 0u);
  } catch (const MoleExcept& e) {
    // Systems that refuse to open a directory end here, which is just as good.
    EXPECT_EQ(e.code, 110013u);
  }
}

TEST(MoleReader, LoadInComplexStopsWhenNothingCanBeRead) {
  MoleReader unknownFormat(std::vector<std::string>{"REMARK", "END"}, 3);
  Complex complex;
  unknownFormat.loadInComplex(complex, kMoleCalcs);
  EXPECT_TRUE(unknownFormat.isAtEnd());

  MoleReader empty;
  testing::internal::CaptureStderr();
  empty.loadInComplex(complex, kMoleCalcs);
  EXPECT_EQ(empty.readPDB(kMoleCalcs, true, true), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "No file opened \n");
  EXPECT_EQ(complex.others.size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// The PDB reader: mutations of one valid block

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
    // The metal: renamed, its upper-case element column read as zinc.
    const Atom& zinc = molecule->atom(2);
    EXPECT_EQ(zinc.getName(), "Zn");
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
  EXPECT_EQ(molecule->atom(1).getName(), "Zn");
  EXPECT_EQ(molecule->atom(1).getAtomicName(), "Zn");
  EXPECT_EQ(molecule->atom(1).getAtomicNum(), 30u);
}

// Each case corrupts one field of the second record; the reader gives up the molecule, dumps
// the atoms read so far and names the reason.
TEST_F(MoleReaderFiles, CorruptFieldsEndInTheUnreadablePath) {
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
      EXPECT_EQ(err, "Error while reading " + path + "\nReason : " + c.reason + "\n") << c.text;
      EXPECT_EQ(out.rfind("1\t", 0), 0u) << out;  // the first atom was read
      EXPECT_EQ(out.find("\n2\t"), std::string::npos);
      EXPECT_EQ(complex.others.size(), 0u);
    }
  }
}

TEST_F(MoleReaderFiles, ShortAtomLineEndsTheRead) {
  const std::string line = record("ATOM", 1, " N  ", "ALA", 'A', 1, 11.104, 6.134, -6.504, "N");
  const std::string path = write("short.pdb", line.substr(0, 40) + "\nEND\n");
  MoleReader reader(path, kFormatDetect);
  Complex complex;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_THROW(reader.loadInComplex(complex, kMoleCalcs), MoleExcept);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error while reading " + path + "\nReason : basic_string::substr\n");
}

// ---------------------------------------------------------------------------------------------
// Records and molecules

TEST_F(MoleReaderFiles, TwoMoleculesSeparatedByEnd) {
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

// ENDMDL ends a molecule as END does: each model is a molecule of its own. CONECT records after
// the last model hold for every model.
TEST_F(MoleReaderFiles, EachModelIsAMolecule) {
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

// A lone CR ends a line as LF and CR LF do; the MOL2 reader finds its sections again by offset.
TEST_F(MoleReaderFiles, LoneCarriageReturnsEndLines) {
  MoleReader pdb(write("cr.pdb", join(validBlock(), "\r")), kFormatDetect);
  testing::internal::CaptureStderr();
  std::unique_ptr<Molecule> fromPdb(pdb.loadNextMole(kMoleCalcs));
  testing::internal::GetCapturedStderr();
  ASSERT_TRUE(fromPdb);
  EXPECT_EQ(fromPdb->numAtoms(), 3u);
  EXPECT_EQ(fromPdb->getName(), "TEST BLOCK");

  std::ifstream in(std::string(KESTRUM_TEST_DATA) + "/mol2_ligand_amptrb10.mol2");
  std::vector<std::string> mol2;
  for (std::string line; std::getline(in, line);) mol2.push_back(line);
  MoleReader reader(write("cr.mol2", join(mol2, "\r")), kFormatDetect);
  testing::internal::CaptureStderr();
  std::unique_ptr<Molecule> fromMol2(reader.loadNextMole(kMoleCalcs));
  testing::internal::GetCapturedStderr();
  ASSERT_TRUE(fromMol2);
  EXPECT_EQ(fromMol2->numAtoms(), 25u);
  EXPECT_EQ(fromMol2->numBonds(), 26u);
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
