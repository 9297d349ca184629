// Tests of the MOL2 reader: mutated record blocks, multi-molecule files, line ends, real files.
#include <gtest/gtest.h>
#include <unistd.h>  // for getpid

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"

namespace VXMole {
namespace {

constexpr double kPi = 3.14159265358979323846;

::testing::AssertionResult HasText(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << part << "\" not in \"" << text << "\"";
}

// Two substructures, one atom in the placeholder "<1>", four bond types.
const std::string kValid =
    "# a comment before the header\n"
    "@<TRIPOS>MOLECULE\n"
    "ethanol-ala\n"
    "    5     4     2     0     0\n"
    "SMALL\n"
    "USER_CHARGES\n"
    "\n"
    "@<TRIPOS>ATOM\n"
    "      1 C1      0.0000    0.0000    0.0000 C.3       1 ALA1     -0.1000\n"
    "      2 C2      1.5000    0.0000    0.0000 C.3       1 ALA1      0.0500\n"
    "      3 O3      2.0000    1.4000    0.0000 O.3       2 GLY2     -0.6500\n"
    "      4 H4      3.0000    1.4000    0.0000 H         2 GLY2      0.4000\n"
    "      5 N5     -1.0000    0.0000    0.5000 N.am      1 <1>       0.3000\n"
    "@<TRIPOS>BOND\n"
    "     1     1     2    1\n"
    "     2     2     3    2\n"
    "     3     3     4    ar\n"
    "     4     1     5    am\n"
    "@<TRIPOS>SUBSTRUCTURE\n"
    "     1 ALA1        1 RESIDUE           4 A     ALA     1 ROOT\n"
    "     2 GLY2        3 RESIDUE           4 A     GLY     1\n";

const std::string kErrorBanner = "ERROR WHILE READING MOLECULE :\n";

// `text` with its one occurrence of `from` replaced by `to`.
std::string mutate(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  EXPECT_EQ(text.find(from, at + 1), std::string::npos) << from << " is not unique";
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string withCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// What one call of readMOL2 gave: the molecule or the error, and both streams.
struct Outcome {
  std::unique_ptr<Molecule> molecule;
  std::optional<MoleExcept> error;
  std::string out;
  std::string err;
};

Outcome readOne(MoleReader& reader, unsigned type = kMoleLigand) {
  Outcome result;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  try {
    result.molecule.reset(reader.readMOL2(type));
  } catch (const MoleExcept& error) {
    result.error = error;
  }
  result.err = ::testing::internal::GetCapturedStderr();
  result.out = ::testing::internal::GetCapturedStdout();
  return result;
}

class Mol2Reader : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kestrum_mol2_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& text, const std::string& name = "in.mol2") {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Reads the first molecule of `text`.
  Outcome read(const std::string& text) {
    reader_ = std::make_unique<MoleReader>(write(text), kFormatMol2);
    return readOne(*reader_);
  }

  std::filesystem::path dir_;
  std::unique_ptr<MoleReader> reader_;
};

std::string atomLines(const Molecule& m) {
  std::ostringstream out;
  for (size_t i = 0; i < m.numAtoms(); ++i) {
    const Atom& a = m.atom(i);
    out << a.getNum() << " " << a.getMapNum() << " " << a.getName() << " " << a.getMOL2type() << " "
        << a.getAtomicNum() << " " << a.getFixedCoords().x << " " << a.getFixedCoords().y << " "
        << a.getFixedCoords().z << " " << a.getPartialCharge() << " " << a.getResidu()->getName()
        << "\n";
  }
  for (size_t i = 0; i < m.numBonds(); ++i) {
    const Bond& b = m.bond(i);
    out << "bond " << b.getNum() << " " << b.getFirst()->getMapNum() << " "
        << b.getSecond()->getMapNum() << " " << b.getType() << "\n";
  }
  return out.str();
}

TEST_F(Mol2Reader, ReadsValidBlock) {
  Outcome r = read(kValid);
  ASSERT_TRUE(r.molecule) << r.out << r.err;
  const Molecule& m = *r.molecule;
  EXPECT_EQ(m.getName(), "ethanol-ala");
  EXPECT_EQ(m.getType(), kMoleLigand);
  EXPECT_EQ(atomLines(m),
            "0 1 C1 C.3 6 0 0 0 -0.1 ALA1\n"
            "1 2 C2 C.3 6 1.5 0 0 0.05 ALA1\n"
            "2 3 O3 O.3 8 2 1.4 0 -0.65 GLY2\n"
            "3 4 H4 H 1 3 1.4 0 0.4 GLY2\n"
            "4 5 N5 N.am 7 -1 0 0.5 0.3 <1>\n"
            "bond 1 1 2 1\nbond 2 2 3 2\nbond 3 3 4 4\nbond 4 1 5 5\n");
  // The default residue keeps the "<1>" atom; both substructures carry chain and root atom.
  ASSERT_EQ(m.numResidues(), 3u);
  EXPECT_EQ(m.getDefaultResidu(), m.atom(4).getResidu());
  const Residu* ala = m.atom(0).getResidu();
  const Residu* gly = m.atom(2).getResidu();
  EXPECT_EQ(ala->getNum(), 1);
  EXPECT_EQ(ala->getChain(), "A");
  EXPECT_EQ(ala->getRoot(), &m.atom(0));
  EXPECT_EQ(gly->getNum(), 2);
  EXPECT_EQ(gly->getRoot(), &m.atom(2));
  EXPECT_TRUE(reader_->isAtEnd());
  EXPECT_EQ(r.out, "");
}

// Name and counts only: the ATOM header follows at once and is not taken for the type line.
TEST_F(Mol2Reader, ReadsShortMoleculeSection) {
  Outcome r = read(mutate(kValid, "SMALL\nUSER_CHARGES\n\n", ""));
  ASSERT_TRUE(r.molecule) << r.out << r.err;
  EXPECT_EQ(r.molecule->numAtoms(), 5u);
  EXPECT_EQ(r.molecule->numBonds(), 4u);
}

TEST_F(Mol2Reader, DropsEmptyDefaultResidue) {
  Outcome r = read(mutate(kValid, "1 <1> ", "1 ALA1"));
  ASSERT_TRUE(r.molecule);
  EXPECT_EQ(r.molecule->numResidues(), 2u);
  EXPECT_EQ(r.molecule->getDefaultResidu(), nullptr);
}

TEST_F(Mol2Reader, MapsBondTypeWords) {
  const std::string text =
      "@<TRIPOS>MOLECULE\nring\n6 6 0 0 0\nSMALL\n@<TRIPOS>ATOM\n"
      "1 A 0 0 0 C.3\n2 B 1 0 0 C.3\n3 C 2 0 0 C.3\n4 D 3 0 0 C.3\n5 E 4 0 0 C.3\n"
      "6 F 5 0 0 C.3\n"
      "@<TRIPOS>BOND\n1 1 2 1\n2 2 3 2\n3 3 4 3\n4 4 5 ar\n5 5 6 am\n6 6 1 du\n";
  Outcome r = read(text);
  ASSERT_TRUE(r.molecule) << r.out << r.err;
  ASSERT_EQ(r.molecule->numBonds(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(r.molecule->bond(i).getType(), i + 1) << "bond " << i;
  // Records without substructure or charge: default residue, no charge.
  EXPECT_EQ(r.molecule->atom(0).getResidu(), r.molecule->getDefaultResidu());
  EXPECT_EQ(r.molecule->atom(0).getPartialCharge(), 0.0);
}

// More atoms announced than listed; 100000 is a count like any other, and a count of two
// thousand million reserves nothing.
TEST_F(Mol2Reader, RejectsAtomBlockCutShort) {
  for (const char* counts :
       {"    6     4     2", "100000     4     2", "2000000000 2000000000 2000000000"}) {
    Outcome r = read(mutate(kValid, "    5     4     2", counts));
    ASSERT_TRUE(r.error) << counts;
    EXPECT_EQ(r.error->code, 110041u);
    EXPECT_EQ(r.error->location, "MoleReader::Read_MOL2_Atom");
    EXPECT_EQ(r.error->message,
              "Unexpected @<TRIPOS> line while reading @<TRIPOS>ATOM block\n" + reader_->getPath() +
                  ", line 14: the ATOM section ends after 5 "
                  "of the " +
                  std::to_string(std::atoll(counts)) + " records the MOLECULE record counts");
    EXPECT_EQ(r.out, kErrorBanner + r.error->message + "\n");
    EXPECT_FALSE(r.molecule);
  }
}

TEST_F(Mol2Reader, RejectsBondBlockCutShort) {
  Outcome r = read(mutate(kValid, "    5     4     2", "    5     5     2"));
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->code, 110051u);
  EXPECT_EQ(r.error->location, "MoleReader::Read_MOL2_Bond");
  EXPECT_EQ(r.error->message, "Unexpected @<TRIPOS> line while reading @<TRIPOS>BOND block\n" +
                                  reader_->getPath() +
                                  ", line 19: the BOND section ends after 4 of the 5 records the "
                                  "MOLECULE record counts");
  EXPECT_EQ(r.out, kErrorBanner + r.error->message + "\n");
}

// Records beyond the count would be lost: the read ends there, naming the file and the first
// record beyond it, whatever stands between (comments, blank lines).
TEST_F(Mol2Reader, RejectsRecordsBeyondTheCount) {
  const struct {
    const char* from;
    const char* to;
    unsigned code;
    const char* message;
    int line;
  } cases[] = {
      {"    5     4     2", "    2x5", 110042, "More ATOM records than", 11},
      {"    5     4     2", "    4     4     2", 110042, "More ATOM records than", 13},
      {"    5     4     2", "    0     0     2", 110042, "More ATOM records than", 9},
      {"      5 N5", "#\n\n      5 N5", 110042, "More ATOM records than", 15},
      {"    5     4     2", "    5     3     2", 110052, "More BOND records than", 18},
      {"    5     4     2", "    5     0     2", 110052, "More BOND records than", 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.to);
    std::string text = mutate(kValid, c.from, c.to);
    if (std::string(c.from) == "      5 N5")
      text = mutate(text, "    5     4     2", "    4     4     2");
    Outcome r = read(text);
    ASSERT_TRUE(r.error);
    EXPECT_FALSE(r.molecule);
    EXPECT_EQ(r.error->code, c.code);
    EXPECT_EQ(r.error->message, std::string(c.message) + " the count of the MOLECULE record in " +
                                    reader_->getPath() + ", line " + std::to_string(c.line));
  }
  // As many records as the count, then the next molecule: nothing beyond.
  Outcome r = read(kValid + kValid);
  ASSERT_TRUE(r.molecule) << r.out;
}

TEST_F(Mol2Reader, RejectsFileWithoutMolecule) {
  Outcome r = read(mutate(kValid, "@<TRIPOS>MOLECULE", "@<TRIPOS>COMMENT"));
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->code, 110032u);
  EXPECT_EQ(r.error->location, "MoleReader::READ_MOL2");
  EXPECT_EQ(r.error->message, "NO MOLECULE FIND IN FILE :" + reader_->getPath());
  EXPECT_EQ(r.out, kErrorBanner + r.error->message + "\n");
  EXPECT_TRUE(reader_->isAtEnd());
  r = read("");
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->code, 110032u);
}

TEST_F(Mol2Reader, RejectsUnreadableCounts) {
  for (const char* counts : {"  five     4     2", "   -5     4     2", "    5    -4     2"}) {
    Outcome r = read(mutate(kValid, "    5     4     2", counts));
    ASSERT_TRUE(r.error) << counts;
    EXPECT_EQ(r.error->code, 110032u) << counts;
    EXPECT_TRUE(reader_->isAtEnd());
  }
}

TEST_F(Mol2Reader, RefusedBondLeavesTheOthers) {
  Outcome r = read(mutate(kValid, "     2     2     3    2", "     2     2     9    2"));
  ASSERT_TRUE(r.molecule) << r.out << r.err;
  EXPECT_EQ(r.molecule->numBonds(), 3u);
  EXPECT_EQ(r.molecule->bond(2).getType(), kBondAmide);
  EXPECT_TRUE(HasText(r.err,
                      "ERROR while creating bond : \n"
                      "Given number NA2 above the atom number in the molecule\n"));
  EXPECT_EQ(r.out, "ATOM INVOLDED : 2 9\n");
}

// Atom ids need not run 1..n: bonds between atoms numbered 10, 20, 30 are all made, without a
// complaint, and the atoms' formal charges come from the UNITY_ATOM_ATTR section.
TEST_F(Mol2Reader, AtomIdsBeyondTheCountAndFormalCharges) {
  std::string text = kValid;
  for (const char* atom : {"1 C1", "2 C2", "3 O3", "4 H4", "5 N5"}) {
    const std::string from = std::string("      ") + atom;
    text = mutate(text, from, "     " + from.substr(6, 1) + "0" + from.substr(7));
  }
  text = mutate(text, "     1     1     2    1\n", "     1    10    20    1\n");
  text = mutate(text, "     2     2     3    2\n", "     2    20    30    2\n");
  text = mutate(text, "     3     3     4    ar\n", "     3    30    40    ar\n");
  text = mutate(text, "     4     1     5    am\n", "     4    10    50    am\n");
  text += "@<TRIPOS>UNITY_ATOM_ATTR\n30 1\ncharge -1\n50 2\ncolor 5\ncharge 1\n";
  Outcome r = read(text);
  ASSERT_TRUE(r.molecule) << r.out << r.err;
  EXPECT_EQ(r.molecule->numAtoms(), 5u);
  EXPECT_EQ(r.molecule->numBonds(), 4u);
  EXPECT_EQ(r.err.find("ERROR while creating bond"), std::string::npos) << r.err;
  EXPECT_EQ(r.molecule->getAtom(30)->getFormalCharge(), -1);
  EXPECT_EQ(r.molecule->getAtom(50)->getFormalCharge(), 1);
  EXPECT_EQ(r.molecule->getAtom(10)->getFormalCharge(), 0);
}

// An atom or bond record that cannot be read ends the read, naming the file, the line and what
// is wrong: leaving it out would lose the atom (and its bonds) or the bond. The same holds with
// CR LF line ends.
TEST_F(Mol2Reader, UnreadableAtomOrBondRecordEndsTheRead) {
  const struct {
    const char* from;
    const char* to;
    unsigned code;
    int line;
    const char* what;
  } cases[] = {
      {"2.0000    1.4000", "two       1.4000", 110043, 11,
       "Unreadable ATOM record in {file}, line 11: number, name, x, y, z and type are not all "
       "there"},
      {"3.0000    1.4000", "nan       1.4000", 110043, 12,
       "Unreadable ATOM record in {file}, line 12: a coordinate or charge that is not a finite "
       "number"},
      {"0.0500\n", "inf\n", 110043, 10,
       "Unreadable ATOM record in {file}, line 10: a coordinate or charge that is not a finite "
       "number"},
      {"      5 N5     -1.0000    0.0000    0.5000", "      5 N5     -1.0000    0.0000", 110043, 13,
       "Unreadable ATOM record in {file}, line 13: number, name, x, y, z and type are not all "
       "there"},
      {"      4 H4  ", "     -4 H4  ", 110043, 12,
       "Unreadable ATOM record in {file}, line 12: a negative number"},
      {"3.0000    1.4000", "3.0000   -1.4e+07", 110044, 12,
       "A coordinate beyond 1e6 in {file}, line 12"},
      {"     1     1     2    1\n", "     1     1     2\n", 110053, 15,
       "Unreadable BOND record in {file}, line 15: number, atoms and type are not all there"},
      {"     3     3     4    ar\n", "     3    -3     4    ar\n", 110053, 17,
       "Unreadable BOND record in {file}, line 17: a negative number"},
  };
  for (const bool crlf : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.to) + (crlf ? " CR LF" : ""));
      const std::string text = mutate(kValid, c.from, c.to);
      Outcome r = read(crlf ? withCrLf(text) : text);
      ASSERT_TRUE(r.error);
      EXPECT_FALSE(r.molecule);
      EXPECT_EQ(r.error->code, c.code);
      std::string message = c.what;
      message.replace(message.find("{file}"), 6, reader_->getPath());
      EXPECT_EQ(r.error->message, message);
      EXPECT_EQ(r.out, kErrorBanner + message + "\n");
    }
  }
}

// A substructure record that cannot be read is left out with a warning: its atoms still make
// the residue they name, so nothing is lost.
TEST_F(Mol2Reader, SkipsUnreadableSubstructureWithWarning) {
  const std::string text = mutate(kValid, "     2 GLY2        3 RESIDUE", "     2");
  Outcome r = read(text);
  ASSERT_TRUE(r.molecule) << r.out << r.err;
  EXPECT_EQ(r.molecule->numAtoms(), 5u);
  EXPECT_EQ(r.molecule->numResidues(), 3u);
  EXPECT_TRUE(HasText(r.err, "WARNING : unreadable SUBSTRUCTURE record skipped in " +
                                 reader_->getPath() +
                                 " : \"     2           4 A     GLY     1\"\n"));
}

TEST_F(Mol2Reader, CommentsAndBlankLinesAreNotRecords) {
  std::string text = mutate(kValid, "      3 O3", "# hydroxyl\n\n      3 O3");
  text = mutate(text, "     3     3     4", "#\n     3     3     4");
  Outcome r = read(text);
  ASSERT_TRUE(r.molecule) << r.out << r.err;
  EXPECT_EQ(r.molecule->numAtoms(), 5u);
  EXPECT_EQ(r.molecule->numBonds(), 4u);
}

TEST_F(Mol2Reader, SubstructureTypesAndPlaceholders) {
  // Every substructure type makes a residue: DOMAIN and TEMP as RESIDUE and GROUP do.
  Outcome r = read(mutate(kValid, "GLY2        3 RESIDUE", "GLY2        3 DOMAIN "));
  ASSERT_TRUE(r.molecule);
  EXPECT_EQ(r.molecule->numResidues(), 3u);
  EXPECT_EQ(r.molecule->atom(2).getResidu()->getName(), "GLY2");
  // The "****" placeholder of substructure 1 is no residue, but atoms that name ALA1 make it
  // from their own records; "<2>" reads as "X", the default residue.
  r = read(mutate(mutate(kValid, "     1 ALA1        1 RESIDUE", "     1 ****        1 TEMP   "),
                  "1 <1> ", "1 <2> "));
  ASSERT_TRUE(r.molecule);
  EXPECT_EQ(r.molecule->atom(0).getResidu()->getName(), "ALA1");
  EXPECT_EQ(r.molecule->atom(0).getResidu()->getNum(), 1);
  EXPECT_EQ(r.molecule->atom(4).getResidu(), r.molecule->getDefaultResidu());
}

// Substructures first, fewer than announced: the ATOM header that follows is still seen.
TEST_F(Mol2Reader, SubstructureSectionCutShortBeforeAtoms) {
  const size_t at = kValid.find("@<TRIPOS>SUBSTRUCTURE");
  std::string text = kValid.substr(0, at);
  text = mutate(text, "\n@<TRIPOS>ATOM", "\n" + kValid.substr(at) + "@<TRIPOS>ATOM");
  text = mutate(text, "    5     4     2", "    5     4     3");
  for (const std::string& variant : {text, withCrLf(text)}) {
    Outcome r = read(variant);
    ASSERT_TRUE(r.molecule) << r.out << r.err;
    EXPECT_EQ(r.molecule->numAtoms(), 5u);
    EXPECT_EQ(r.molecule->numResidues(), 3u);
    EXPECT_EQ(r.molecule->atom(3).getResidu()->getName(), "GLY2");
  }
}

// After a molecule fails, a caller that carries on gets the next one.
TEST_F(Mol2Reader, FaultyMoleculeDoesNotHideTheNext) {
  const std::string faulty = mutate(kValid, "    5     4     2", "    6     4     2");
  MoleReader reader(write(faulty + mutate(kValid, "ethanol-ala", "second")), kFormatMol2);
  Outcome first = readOne(reader);
  ASSERT_TRUE(first.error);
  EXPECT_FALSE(reader.isAtEnd());
  Outcome second = readOne(reader);
  ASSERT_TRUE(second.molecule) << second.out << second.err;
  EXPECT_EQ(second.molecule->getName(), "second");
  EXPECT_EQ(second.molecule->numAtoms(), 5u);
}

TEST_F(Mol2Reader, ReadsTwoMoleculesInTwoCalls) {
  const std::string second = mutate(kValid, "ethanol-ala", "second");
  MoleReader reader(write(kValid + second), kFormatMol2);
  Outcome first = readOne(reader);
  ASSERT_TRUE(first.molecule) << first.out << first.err;
  EXPECT_EQ(first.molecule->getName(), "ethanol-ala");
  EXPECT_FALSE(reader.isAtEnd());
  // The first call leaves the file at the second header.
  EXPECT_EQ(reader.getLine(), "@<TRIPOS>MOLECULE");

  MoleReader again(write(kValid + second, "again.mol2"), kFormatMol2);
  readOne(again);
  Outcome next = readOne(again);
  ASSERT_TRUE(next.molecule) << next.out << next.err;
  EXPECT_EQ(next.molecule->getName(), "second");
  EXPECT_EQ(atomLines(*next.molecule), atomLines(*first.molecule));
  EXPECT_TRUE(again.isAtEnd());
}

// A molecule without BOND section (an ion, water) ends at the next header; it does not take
// the next molecule's sections.
TEST_F(Mol2Reader, MoleculeWithoutBondsEndsAtNextHeader) {
  const std::string ion =
      "@<TRIPOS>MOLECULE\nsodium\n1 0 0 0 0\nSMALL\n@<TRIPOS>ATOM\n"
      "1 NA 5.0 6.0 7.0 Na 1 <1> 1.0\n";
  MoleReader reader(write(ion + kValid), kFormatMol2);
  Outcome first = readOne(reader);
  ASSERT_TRUE(first.molecule) << first.out << first.err;
  EXPECT_EQ(first.molecule->getName(), "sodium");
  ASSERT_EQ(first.molecule->numAtoms(), 1u);
  EXPECT_EQ(first.molecule->atom(0).getPartialCharge(), 1.0);
  Outcome second = readOne(reader);
  ASSERT_TRUE(second.molecule) << second.out << second.err;
  EXPECT_EQ(second.molecule->numAtoms(), 5u);
}

TEST_F(Mol2Reader, CrLfReadsLikeLf) {
  const std::string text = kValid + mutate(kValid, "ethanol-ala", "second");
  MoleReader lf(write(text, "lf.mol2"), kFormatMol2);
  MoleReader crlf(write(withCrLf(text), "crlf.mol2"), kFormatMol2);
  for (int i = 0; i < 2; ++i) {
    Outcome a = readOne(lf);
    Outcome b = readOne(crlf);
    ASSERT_TRUE(a.molecule);
    ASSERT_TRUE(b.molecule) << b.out << b.err;
    EXPECT_EQ(b.molecule->getName(), a.molecule->getName());
    EXPECT_EQ(atomLines(*b.molecule), atomLines(*a.molecule));
    EXPECT_EQ(b.molecule->numResidues(), a.molecule->numResidues());
  }
  EXPECT_TRUE(crlf.isAtEnd());
}

TEST_F(Mol2Reader, LineListYieldsNoMolecule) {
  MoleReader reader(std::vector<std::string>{"@<TRIPOS>MOLECULE", "x", "1 0 0 0 0"}, kFormatMol2);
  Outcome r = readOne(reader);
  EXPECT_FALSE(r.molecule);
  EXPECT_FALSE(r.error);
  EXPECT_TRUE(reader.isAtEnd());
}

TEST_F(Mol2Reader, ReadsRealMultiMoleculeFile) {
  MoleReader reader(std::string(KESTRUM_TEST_DATA) + "/mol2_small_molecules.mol2", kFormatDetect);
  std::vector<std::string> names;
  size_t atoms = 0, bonds = 0;
  while (!reader.isAtEnd()) {
    Outcome r = readOne(reader);
    ASSERT_FALSE(r.error) << r.error->message;
    ASSERT_TRUE(r.molecule);
    names.push_back(r.molecule->getName());
    atoms += r.molecule->numAtoms();
    bonds += r.molecule->numBonds();
    // One substructure per molecule holds every atom.
    EXPECT_EQ(r.molecule->numResidues(), 1u) << names.back();
  }
  ASSERT_EQ(names.size(), 16u);
  EXPECT_EQ(names.front(), "AGLYSL01");
  EXPECT_EQ(names.back(), "BODKOU");
  EXPECT_EQ(atoms, 389u);
  EXPECT_EQ(bonds, 397u);
}

TEST_F(Mol2Reader, ReadsRealLigand) {
  MoleReader reader(std::string(KESTRUM_TEST_DATA) + "/mol2_ligand_amptrb10.mol2", kFormatDetect);
  Complex complex;
  ::testing::internal::CaptureStderr();
  reader.loadInComplex(complex, kMoleLigand);
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(complex.ligands.size(), 1u);
  const Molecule& m = complex.ligands[0];
  EXPECT_EQ(m.getName(), "AMPTRB10");
  // 25 atoms and the two ring centroids of the fused pteridine rings.
  EXPECT_EQ(m.numAtoms(), 27u);
  EXPECT_EQ(m.numBonds(), 26u);
  EXPECT_EQ(m.numCycles(), 2u);
  EXPECT_EQ(m.atom(0).getResidu()->getName(), "AMPT");
  double charge = 0;
  for (size_t i = 0; i < 25; ++i) charge += m.atom(i).getPartialCharge();
  EXPECT_NEAR(charge, 1.0, 1e-9);  // the hydrochloride's cation
  EXPECT_EQ(m.atom(12).getName(), "N8");
  EXPECT_EQ(m.atom(12).getMOL2type(), "N.2");
  EXPECT_EQ(m.atom(12).getAtomicNum(), 7u);
}

// Ninety thousand atoms in 9000 ring residues read in a fraction of a second in an optimised
// build. The bound only catches a quadratic step (residue index, atom lookup, rings), which
// would take minutes; it leaves room for unoptimised and sanitizer builds on a busy machine.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kLargeReadSeconds = 40.0;
#else
constexpr double kLargeReadSeconds = 10.0;
#endif

TEST_F(Mol2Reader, ReadsLargeProteinFast) {
  const int kResidues = 9000;
  std::string text = "@<TRIPOS>MOLECULE\nbig\n" + std::to_string(kResidues * 10) + " " +
                     std::to_string(kResidues * 10) + " " + std::to_string(kResidues) +
                     " 0 0\nPROTEIN\nNO_CHARGES\n@<TRIPOS>ATOM\n";
  char line[160];
  for (int r = 0; r < kResidues; ++r) {
    for (int k = 0; k < 10; ++k) {
      const int n = r * 10 + k + 1;
      const double angle = k * kPi / 3;
      const bool ring = k >= 4;
      std::snprintf(line, sizeof line, "%7d A%-5d %9.4f %9.4f %9.4f %-5s %5d PHE%-5d %8.4f\n", n, k,
                    r * 4.0 + (ring ? std::cos(angle) * 1.4 : k), ring ? std::sin(angle) * 1.4 : 0,
                    0.0, ring ? "C.ar" : "C.3", r + 1, r + 1, 0.0);
      text += line;
    }
  }
  text += "@<TRIPOS>BOND\n";
  int bond = 0;
  for (int r = 0; r < kResidues; ++r) {
    const int base = r * 10 + 1;
    for (int k = 0; k < 9; ++k) {
      std::snprintf(line, sizeof line, "%6d %5d %5d %s\n", ++bond, base + k, base + k + 1,
                    k >= 4 ? "ar" : "1");
      text += line;
    }
    std::snprintf(line, sizeof line, "%6d %5d %5d ar\n", ++bond, base + 9, base + 4);
    text += line;
  }
  text += "@<TRIPOS>SUBSTRUCTURE\n";
  for (int r = 0; r < kResidues; ++r) {
    std::snprintf(line, sizeof line, "%6d PHE%-5d %6d RESIDUE 1 A PHE 1 ROOT\n", r + 1, r + 1,
                  r * 10 + 1);
    text += line;
  }
  MoleReader reader(write(text), kFormatMol2);
  const auto start = std::chrono::steady_clock::now();
  Outcome r = readOne(reader, 17);
  ASSERT_TRUE(r.molecule) << r.out << r.err.substr(0, 500);
  const double readSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.molecule->search_cycle();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.molecule->numCycles(), static_cast<size_t>(kResidues));
  EXPECT_EQ(r.molecule->numAtoms(), static_cast<size_t>(kResidues * 11));
  EXPECT_EQ(r.molecule->numBonds(), static_cast<size_t>(kResidues * 10));
  EXPECT_EQ(r.molecule->numResidues(), static_cast<size_t>(kResidues));
  EXPECT_LT(seconds, kLargeReadSeconds);
  std::cout << "[ timing   ] 90000-atom MOL2 read " << readSeconds << " s, with rings " << seconds
            << " s" << std::endl;
}

}  // namespace
}  // namespace VXMole
