// Tests of the reader front end (sources, lines, record cutting) and of the PDB reader.
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

Atom* atomNamed(Molecule& molecule, const std::string& name) {
  for (size_t i = 0; i < molecule.numAtoms(); ++i)
    if (molecule.atom(i).getName() == name) return &molecule.atom(i);
  return nullptr;
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
// Cutting records

TEST(MoleReader, TokenizeStandardAtomRecord) {
  const std::string line = record("ATOM", 1, " N  ", "ALA", 'A', 1, 11.104, 6.134, -6.504, "N");
  ASSERT_EQ(line.size(), 78u);
  MoleReader reader;
  std::map<std::string, std::string> fields;
  reader.tokenize(line, fields, ", \n, ;, (, )");
  const std::map<std::string, std::string> expected = {
      {"Type", "ATOM"}, {"Num", "1"},      {"Name", "N"},    {"Res", "ALA"},
      {"Chain", "A"},   {"ResId", "   1"}, {"X", "11.104"},  {"Y", "6.134"},
      {"Z", "-6.504"},  {"Occup", "1.00"}, {"Heat", "0.00"}, {"AtmName", "N"}};
  EXPECT_EQ(fields, expected);

  fields.clear();
  reader.tokenize(mutate(line, 21, " "), fields, ", \n, ;, (, )");
  EXPECT_EQ(fields.count("Chain"), 0u);
  EXPECT_EQ(fields["ResId"], "1");
}

TEST(MoleReader, TokenizeOptionalColumnsFollowTheLineLength) {
  const std::string line = record("HETATM", 12, "ZN  ", "ZN", ' ', 7, 1.5, -2.25, 3.0, "ZN");
  MoleReader reader;
  std::map<std::string, std::string> fields;
  reader.tokenize(line.substr(0, 66), fields, ", \n, ;, (, )");
  EXPECT_EQ(fields["Heat"], "0.00");
  EXPECT_EQ(fields.count("AtmName"), 0u);
  fields.clear();
  reader.tokenize(line.substr(0, 59), fields, ", \n, ;, (, )");
  EXPECT_EQ(fields.count("Occup"), 0u);
  EXPECT_EQ(fields["Z"], "3.000");
  EXPECT_EQ(fields.size(), 8u);  // no chain: Type Num Name Res ResId X Y Z
}

TEST(MoleReader, TokenizeOtherRecordsGiveOnlyTheType) {
  MoleReader reader;
  for (const std::string line : {"TER       4      GLY A   1", "REMARK   2 RESOLUTION.", "END"}) {
    std::map<std::string, std::string> fields;
    reader.tokenize(line, fields, ", \n, ;, (, )");
    EXPECT_EQ(fields.size(), 1u) << line;
    EXPECT_EQ(fields.count("Type"), 1u);
  }
}

TEST(MoleReader, TokenizeRejectsBlankFieldsAndShortLines) {
  const std::string line = record("ATOM", 1, " N  ", "ALA", 'A', 1, 11.104, 6.134, -6.504, "N");
  MoleReader reader;
  std::map<std::string, std::string> fields;
  // A blank atom name, a blank coordinate, a blank element column, a line that stops before Z.
  for (const std::string& bad : {mutate(line, 12, "    "), mutate(line, 38, "        "),
                                 mutate(line, 76, "  "), line.substr(0, 40)}) {
    fields.clear();
    try {
      reader.tokenize(bad, fields, ", \n, ;, (, )");
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const std::out_of_range& e) {
      EXPECT_STREQ(e.what(), "basic_string::substr");
    }
  }
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

// An atom given at two alternate sites (column 17) is read once, at its first site; the same
// name in another residue, or without sites, is another atom.
TEST(PdbReader, AlternateLocationsKeepTheFirstSite) {
  auto site = [](std::string line, char altLoc) {
    return mutate(line, 16, std::string(1, altLoc));
  };
  auto molecule = readLines({
      record("ATOM", 1, " N  ", "SER", 'A', 5, 1.0, 0.0, 0.0, "N"),
      site(record("ATOM", 2, " OG ", "SER", 'A', 5, 2.0, 0.0, 0.0, "O"), 'A'),
      site(record("ATOM", 3, " OG ", "SER", 'A', 5, 2.5, 0.5, 0.0, "O"), 'B'),
      site(record("ATOM", 4, " OG ", "SER", 'A', 6, 9.0, 0.0, 0.0, "O"), 'B'),
      site(record("HETATM", 5, " C1 ", "MPD", 'A', 400, 5.0, 0.0, 0.0, "C"), 'A'),
      site(record("HETATM", 6, " C1 ", "MPD", 'A', 400, 5.5, 0.0, 0.0, "C"), 'B'),
      "END",
  });
  ASSERT_TRUE(molecule);
  ASSERT_EQ(molecule->numAtoms(), 4u);
  EXPECT_EQ(molecule->atom(1).getMapNum(), 2u);  // OG of SER 5 at site A
  EXPECT_EQ(molecule->atom(2).getMapNum(), 4u);  // OG of SER 6, whose first site is B
  EXPECT_EQ(molecule->atom(3).getMapNum(), 5u);
}

// A residue of a standard name holding hundreds of atoms is not typed as an amino acid: no
// bonds by name, no hydrogen search against every heavy atom.
TEST(PdbReader, OversizedStandardResidueIsLeftAsRead) {
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
      {6, "  1x2", "stoul"},                     // atom number not a number
      {6, "   -2", "stoul"},                     // negative atom number
      {6, "     ", "basic_string::substr"},      // blank atom number
      {38, "     abc", "stod"},                  // coordinate not a number
      {46, "        ", "basic_string::substr"},  // blank coordinate
      {54, "      ", "basic_string::substr"},    // blank occupancy
      {22, "  xy", "stoi"},                      // residue number not a number
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

TEST(PdbReader, ConectRules) {
  std::vector<std::string> block;
  for (int i : {1, 2, 3, 4, 5, 6, 10})
    block.push_back(record("HETATM", i, " C  ", "LIG", 'A', 1, 1.4 * i, 0, 0, "C"));
  block.insert(block.end(), {"CONECT    1    2",            // lower number first: no bond
                             "CONECT    2    1",            // the bond 2-1
                             "CONECT    3    4",            // alone: no bond
                             "CONECT    5    4   12    3",  // 5-4, 5-3; 12 is not smaller
                             "CONECT    6    5    5",       // a repeated partner: one bond
                             "CONECT   10    6    7    1",  // 10-6; 7 unknown ends the record
                             "CONECT    7    1",            // unknown first atom: ignored
                             "END"});
  auto molecule = readLines(block);
  ASSERT_EQ(molecule->numAtoms(), 7u);
  std::set<std::pair<unsigned, unsigned>> bonds;
  for (size_t i = 0; i < molecule->numBonds(); ++i) {
    const Bond& bond = molecule->bond(i);
    bonds.emplace(bond.getFirst()->getMapNum(), bond.getSecond()->getMapNum());
    EXPECT_EQ(bond.getType(), kBondSingle);
  }
  EXPECT_EQ(bonds,
            (std::set<std::pair<unsigned, unsigned>>{{2, 1}, {5, 4}, {5, 3}, {6, 5}, {10, 6}}));
  EXPECT_EQ(molecule->numBonds(), 5u);
}

TEST(PdbReader, ConectWithABlankPartnerIsUnreadable) {
  std::vector<std::string> block = {"REMARK",
                                    record("HETATM", 1, " C  ", "LIG", 'A', 1, 0, 0, 0, "C"),
                                    "CONECT    1     ", "END"};
  MoleReader reader(block, kFormatPdb);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_THROW(reader.readPDB(0, true, true), MoleExcept);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error while reading \nReason : basic_string::substr\n");
  testing::internal::GetCapturedStdout();
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
       record("HETATM", 6, " C1 ", "LIG", 'L', -1, 60, 0, 0, "C"),  // negative: default residue
       "END"});
  ASSERT_EQ(molecule->numAtoms(), 6u);
  EXPECT_EQ(molecule->atom(0).getResidu(), molecule->atom(1).getResidu());
  EXPECT_NE(molecule->atom(0).getResidu(), molecule->atom(2).getResidu());
  EXPECT_NE(molecule->atom(2).getResidu(), molecule->atom(3).getResidu());
  EXPECT_EQ(molecule->atom(4).getResidu()->getChain(), "");
  EXPECT_EQ(molecule->atom(4).getResidu()->getNum(), 12);
  EXPECT_EQ(molecule->atom(5).getResidu(), molecule->getDefaultResidu());
  EXPECT_EQ(molecule->numResidues(), 5u);
}

// ---------------------------------------------------------------------------------------------
// Residue properties

TEST(PdbReader, TerminalOxygenAndZincOutsideStandardResidues) {
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
  EXPECT_EQ(carbonyl->getBondType(atomNamed(*molecule, "O")), kBondDouble);
  EXPECT_EQ(carbonyl->getBondType(oxt), kBondSingle);
  EXPECT_FALSE(carbonyl->getProperties().hydrophobic);
  // Other residues keep what the reader gave them.
  EXPECT_EQ(atomNamed(*molecule, "C1")->getMOL2type(), "");
  Atom* zinc = atomNamed(*molecule, "Zn");
  ASSERT_NE(zinc, nullptr);
  EXPECT_EQ(zinc->getAtomicName(), "Zn");
  EXPECT_EQ(zinc->getAtomicNum(), 30u);
  EXPECT_EQ(molecule->numBonds(), 4u);
}

class PdbReaderProtein : public testing::Test {
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

std::unique_ptr<Molecule> PdbReaderProtein::molecule_;

TEST_F(PdbReaderProtein, EveryResidueHasItsCovalentBonds) {
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

TEST_F(PdbReaderProtein, PeptideBondsOnlyWithinFragments) {
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

TEST_F(PdbReaderProtein, TypesAndProperties) {
  const Atom* nz = find(35, "NZ");
  ASSERT_NE(nz, nullptr);
  EXPECT_EQ(nz->getMOL2type(), "N.4");
  EXPECT_TRUE(nz->getProperties().cation);
  EXPECT_TRUE(nz->getProperties().donor);

  const Atom* od1 = find(109, "OD1");
  ASSERT_NE(od1, nullptr);
  EXPECT_TRUE(od1->getProperties().anion);
  EXPECT_TRUE(od1->getProperties().acceptor);
  EXPECT_EQ(find(109, "CG")->getBondType(od1), kBondDouble);

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
  EXPECT_EQ(find(121, "NE1")->getMOL2type(), "N.ar");
  EXPECT_EQ(find(16, "ND1")->getMOL2type(), "N.ar");
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

// Residue typing is a per-residue job: a protein of 90,000 atoms reads in well under a second
// in an optimised build. Reading ten times more atoms must take about ten times longer, not a
// hundred.
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
  EXPECT_LT((largeSeconds / large) / (smallSeconds / small), 3.0);
#ifdef NDEBUG
  EXPECT_LT(largeSeconds, 2.0);
#endif
  RecordProperty("seconds", std::to_string(largeSeconds));
}
