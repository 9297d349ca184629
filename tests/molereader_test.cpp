// Tests of the reader front end: sources, formats, lines, molecules into a complex, reports.
#include "molereader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "complex.h"
#include "diagnostics.h"
#include "global.h"
#include "molecule.h"
#include "pdb_test_records.h"

using namespace VXMole;
using pdb_test::join;
using pdb_test::record;
using pdb_test::validBlock;

namespace {

namespace fs = std::filesystem;

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

  fs::path dir_;
};

class MoleReaderFiles : public TempDir {};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sources and formats

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

// An input that cannot be read (here: the path is a directory) ends the input: loadInComplex
// returns, with nothing read.
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
  MoleReader unknownFormat(std::vector<std::string>{"REMARK", "END"}, 9);
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
// Reports

// Every report of the readers goes to the diagnostics sink, the ends of the input included;
// the standard output gets only what the MOL2 reader's failures say there.
TEST_F(MoleReaderFiles, ReportsGoToTheDiagnosticsSink) {
  std::vector<std::string> pdb = validBlock();
  pdb[2] = pdb_test::mutate(pdb[2], 38, "     abc");
  const std::string badPdb = write("bad.pdb", join(pdb));
  const std::string mol2 = write("bad.mol2",
                                 "@<TRIPOS>MOLECULE\nm\n2 1 0 0 0\nSMALL\n@<TRIPOS>ATOM\n"
                                 "1 C1 0 0 0 C.3\n2 C2 1 0 0 C.3\n@<TRIPOS>BOND\n1 1 9 1\n");
  std::ostringstream sink;
  struct Restore {
    std::ostream& previous;
    ~Restore() { setDiagnostics(previous); }
  } restore{setDiagnostics(sink)};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Complex complex;
  EXPECT_THROW(MoleReader(badPdb, kFormatDetect).loadInComplex(complex, kMoleCalcs), MoleExcept);
  MoleReader(mol2, kFormatDetect).loadInComplex(complex, kMoleLigand);
  MoleReader lines(std::vector<std::string>{"REMARK"}, kFormatPdb);
  lines.getLine();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ATOM INVOLDED : 1 9\n");
  // The MOL2 reader scans its sections to the end of the file before it reads the atoms.
  EXPECT_EQ(sink.str(), "Error while reading " + badPdb + "\nReason : stod\nLine : 3\n" +
                            "Unexpected end of file\n" +
                            "ERROR while creating bond : \n"
                            "Given number NA2 above the atom number in the molecule\n" +
                            "Unexpected end of line\n");
}
