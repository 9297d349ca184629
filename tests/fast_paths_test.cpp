// The PDB reader's and the MOL2 writer's quick ways against the standard conversions they stand
// in for: the same numbers read, the same digits written, the same errors.
#include <gtest/gtest.h>
#include <unistd.h>  // for getpid

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "atome.h"
#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "molewriter.h"
#include "residu.h"

namespace fs = std::filesystem;
using namespace VXMole;

namespace {

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

Molecule* readLines(const std::vector<std::string>& records) {
  std::vector<std::string> lines{"REMARK first line, taken as read"};
  lines.insert(lines.end(), records.begin(), records.end());
  MoleReader reader(lines, kFormatPdb);
  return reader.loadNextMole(17);
}

}  // namespace

// Coordinates in every form a column can hold read as std::stod reads them, bit for bit:
// plain decimals the quick way, the others (exponents, a plus sign, trailing text) the
// standard way.
TEST(MoleReaderRecords, CoordinatesReadAsStodReadsThem) {
  const std::vector<std::string> texts = {
      "  11.104", " -6.504 ", "  -0.000", "    .5  ", "   -.125", "       7", "1234.567",
      "-999.999", "  1.5e1 ", "   +2.25", " 0.1(2) ", "0.000001", "-0.00005", " 3.14159"};
  std::vector<std::string> records;
  for (size_t i = 0; i < texts.size(); ++i)
    records.push_back(atomRecord(static_cast<int>(i) + 1, texts[i], "   1"));
  std::unique_ptr<Molecule> molecule(readLines(records));
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
TEST(MoleReaderRecords, ResidueNumbersAndChainsAsTokenizeCutsThem) {
  std::vector<std::string> records = {
      atomRecord(1, "   1.000", "  12"),      atomRecord(2, "   1.000", "  12"),
      atomRecord(3, "   1.000", "  12", 'B'), atomRecord(4, "   1.000", "  +7"),
      atomRecord(5, "   1.000", "  -3"),      atomRecord(6, "   1.000", "  45", ' ', false)};
  std::unique_ptr<Molecule> molecule(readLines(records));
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

// Records the quick way cannot take still fail as they always did.
TEST(MoleReaderRecords, BlankOrBadFieldsStillEndInTheUnreadablePath) {
  for (const std::string& bad :
       {atomRecord(1, "        ", "   1"), atomRecord(1, "   abc  ", "   1"),
        std::string("ATOM      1  CA  ALA A   1      1.0")}) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
      std::unique_ptr<Molecule> molecule(readLines({bad}));
      ADD_FAILURE() << "read: " << bad;
    } catch (const MoleExcept& error) {
      EXPECT_EQ(error.code, kErrPdbUnreadable.code) << bad;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error while reading"),
              std::string::npos);
  }
}

// Every coordinate and charge of a written ATOM record is what printf's "%9.4f" and "%8.4f"
// make of it, rounding cases and widths past the column included.
TEST(MoleWriterDigits, CoordinatesAndChargesMatchPrintf) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<double> values = {0.0,     -0.0,       0.00005,  -0.00005, 1.23445,
                                99999.5, -123456.78, 0.000049, 2.5e-5};
  for (int k = 0; values.size() < 3000; ++k) {
    values.push_back(unit(random) * std::pow(10.0, k % 7 - 2));
    values.push_back((k - 1500) / 100000.0);
  }
  Molecule molecule(17, 0, 0, 0, "digits");
  for (size_t i = 0; i + 2 < values.size(); i += 3) {
    auto* atom = new Atom(static_cast<unsigned>(i / 3), static_cast<unsigned>(i / 3 + 1), "C",
                          values[i], values[i + 1], values[i + 2], "C1", "C.3");
    atom->setPartialCharge(values[i + 1] / 7.0);
    molecule.addAtom(atom, nullptr);
  }
  const fs::path dir = fs::temp_directory_path() / ("kestrum_digits_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "digits.mol2").string();
  {
    MoleWriter writer;
    ASSERT_TRUE(writer.newFile(path, 1));
    writer.writeMOL2(&molecule, false, false);
    ASSERT_TRUE(writer.closeFile());
  }
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line) && line != "@<TRIPOS>ATOM") {
  }
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    ASSERT_TRUE(std::getline(in, line));
    const Atom& atom = molecule.atom(i);
    const Coords& c = atom.getFixedCoords();
    char expected[256];
    std::snprintf(expected, sizeof expected, "%7d %-8s %9.4f %9.4f %9.4f %-5s %5d %-9s %8.4f",
                  static_cast<int>(i) + 1, "C1", c.x, c.y, c.z, "C.3", 1, "<1>",
                  atom.getPartialCharge());
    EXPECT_EQ(line, expected);
  }
  fs::remove_all(dir);
}
