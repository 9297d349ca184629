// Tests of MoleWriter: the MOL2 text written for molecules built in code, and outputs that are
// complete or absent whatever fails.
#include "molewriter.h"

#include <gtest/gtest.h>
#include <signal.h>        // for ignoring SIGXFSZ while a file size limit is tested
#include <sys/resource.h>  // for setrlimit(RLIMIT_FSIZE)
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "molecule.h"
#include "molereader.h"
#include "tables.h"

namespace VXMole {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The file's lines with the time stamp, which changes from run to run, masked.
std::vector<std::string> writtenLines(const fs::path& path) {
  std::vector<std::string> lines = splitLines(readText(path));
  for (std::string& line : lines)
    if (line.rfind("#    Modification time : ", 0) == 0) line = "#    Modification time : *";
  return lines;
}

void expectLines(const std::vector<std::string>& expected, const std::vector<std::string>& got) {
  for (size_t i = 0; i < std::max(expected.size(), got.size()); ++i) {
    EXPECT_EQ(i < expected.size() ? expected[i] : "<none>", i < got.size() ? got[i] : "<none>")
        << "line " << i + 1;
  }
}

// The lines of one section, without its header.
std::vector<std::string> section(const std::vector<std::string>& lines, const std::string& name) {
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string& line : lines) {
    if (line.rfind("@<TRIPOS>", 0) == 0) {
      inside = line == "@<TRIPOS>" + name;
      continue;
    }
    if (inside) out.push_back(line);
  }
  return out;
}

// The library's diagnostics, caught in a string while the object lives.
class CapturedDiagnostics {
 public:
  CapturedDiagnostics() : previous_(setDiagnostics(text_)) {}
  ~CapturedDiagnostics() { setDiagnostics(previous_); }
  CapturedDiagnostics(const CapturedDiagnostics&) = delete;
  CapturedDiagnostics& operator=(const CapturedDiagnostics&) = delete;
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::ostream& previous_;
};

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string field; in >> field;) out.push_back(field);
  return out;
}

Atom* addAtom(Molecule& m, unsigned mapNum, const std::string& symbol, const std::string& name,
              const std::string& type, Coords at, Residu* residue = nullptr) {
  auto* atom = new Atom(static_cast<unsigned>(m.numAtoms()), mapNum, symbol, at, name, type);
  m.addAtom(atom, residue);
  return atom;
}

// Nine atoms in a chain, bonded by every bond type code from 1 to 8, all in the default residue.
void buildLigand(Molecule& m) {
  const char* types[] = {"C.3", "C.2", "C.1", "C.ar", "N.am", "C.2", "Du", "H", "O.3"};
  const char* symbols[] = {"C", "C", "C", "C", "N", "C", "Du", "H", "O"};
  std::vector<Atom*> atoms;
  for (int i = 0; i < 9; ++i)
    atoms.push_back(addAtom(m, i + 1, symbols[i], "A" + std::to_string(i + 1), types[i],
                            Coords(i * 1.1, -i * 0.5, 2.25)));
  for (int i = 0; i < 8; ++i) m.addBond(atoms[i], atoms[i + 1], i + 1, i + 1);
}

// Alanine 1 and glycine 2 of chain A, joined by an amide bond; alanine's root is its CA.
void buildDipeptide(Molecule& m) {
  const char* names[] = {"N", "CA", "C", "O"};
  const char* types[] = {"N.am", "C.3", "C.2", "O.2"};
  const char* symbols[] = {"N", "C", "C", "O"};
  Residu* ala = m.addResidu(1, "ALA", "A");
  Residu* gly = m.addResidu(2, "GLY", "A");
  std::vector<Atom*> atoms;
  for (int i = 0; i < 8; ++i)
    atoms.push_back(addAtom(m, i + 1, symbols[i % 4], names[i % 4], types[i % 4],
                            Coords(i, 2 * i, -i), i < 4 ? ala : gly));
  ala->setRoot(atoms[1]);
  unsigned n = 1;
  for (int base : {0, 4}) {
    m.addBond(atoms[base], atoms[base + 1], kBondSingle, n++);
    m.addBond(atoms[base + 1], atoms[base + 2], kBondSingle, n++);
    m.addBond(atoms[base + 2], atoms[base + 3], kBondDouble, n++);
  }
  m.addBond(atoms[2], atoms[4], kBondAmide, n++);
}

// 20 atoms: two six-membered rings, each with its centroid dummy (the 10th and 20th atoms),
// the second ring aromatic, the rings joined by a bond. Map numbers start at `firstMapNum`.
void buildTwoRings(Molecule& m, unsigned firstMapNum) {
  std::vector<Atom*> atoms;
  for (unsigned i = 0; i < 20; ++i) {
    const bool dummy = i == 9 || i == 19;
    const std::string name = i == 9 ? "DuCy" : i == 19 ? "DUAr" : "C" + std::to_string(i + 1);
    atoms.push_back(addAtom(m, firstMapNum + i, dummy ? "Du" : "C", name, dummy ? "Du" : "C.3",
                            Coords(i, 0, 0)));
    atoms.back()->excluded = dummy;
  }
  unsigned n = 1;
  for (int base : {0, 10}) {
    auto* ring = new Cycle;
    ring->aromatic = base == 10;
    for (int k = 0; k < 6; ++k) {
      ring->atoms.push_back(atoms[base + k]);
      m.addBond(atoms[base + k], atoms[base + (k + 1) % 6], ring->aromatic ? kBondAromatic : 1,
                n++);
    }
    ring->centroid = atoms[base + 9];
    m.addCycle(ring);
  }
  m.addBond(atoms[6], atoms[10], kBondSingle, n++);
}

// A scoped temporary directory per test.
class Mol2Writer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mol2writer.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }

  // Writes `m` to `name` in the test directory and returns the file's lines, time stamp masked.
  std::vector<std::string> write(Molecule& m, bool withDummies = false, bool rotated = false,
                                 const std::string& name = "out.mol2") {
    MoleWriter writer;
    EXPECT_TRUE(writer.newFile((dir_ / name).string(), 1));
    writer.writeMOL2(&m, withDummies, rotated);
    EXPECT_TRUE(writer.closeFile()) << writer.getError();
    return writtenLines(dir_ / name);
  }

  // The names in the test directory.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

// ---- The text ----

TEST_F(Mol2Writer, WritesLigandInDefaultResidueWithEveryBondType) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  expectLines(
      {
          "#    Name: LIG",
          "#    Modification time : *",
          "",
          "@<TRIPOS>MOLECULE",
          "LIG",
          "    9     8     1     0     0",
          "SMALL",
          "NO_CHARGES",
          "@<TRIPOS>ATOM",
          "      1 A1          0.0000    0.0000    2.2500 C.3       1 <1>         0.0000",
          "      2 A2          1.1000   -0.5000    2.2500 C.2       1 <1>         0.0000",
          "      3 A3          2.2000   -1.0000    2.2500 C.1       1 <1>         0.0000",
          "      4 A4          3.3000   -1.5000    2.2500 C.ar      1 <1>         0.0000",
          "      5 A5          4.4000   -2.0000    2.2500 N.am      1 <1>         0.0000",
          "      6 A6          5.5000   -2.5000    2.2500 C.2       1 <1>         0.0000",
          "      7 A7          6.6000   -3.0000    2.2500 Du        1 <1>         0.0000",
          "      8 A8          7.7000   -3.5000    2.2500 H         1 <1>         0.0000",
          "      9 A9          8.8000   -4.0000    2.2500 O.3       1 <1>         0.0000",
          "@<TRIPOS>BOND",
          "     1    1    2 1  ",
          "     2    2    3 2  ",
          "     3    3    4 3  ",
          "     4    4    5 ar ",
          "     5    5    6 am ",
          "     6    6    7 an ",
          "     7    7    8 du ",
          "     8    8    9 un ",
          "@<TRIPOS>SUBSTRUCTURE",
          "      1 ****           1",
      },
      write(m));
}

TEST_F(Mol2Writer, WritesProteinOfTwoResidues) {
  Molecule m(kMoleProtein, 0, 0, 0, "PRT");
  buildDipeptide(m);
  expectLines(
      {
          "#    Name: PRT",
          "#    Modification time : *",
          "",
          "@<TRIPOS>MOLECULE",
          "PRT",
          "    8     7     2     0     0",
          "PROTEIN",
          "NO_CHARGES",
          "@<TRIPOS>DICT",
          "BIOPOLYMER macromol",
          "@<TRIPOS>ATOM",
          "      1 N           0.0000    0.0000    0.0000 N.am      1 ALA1        0.0000",
          "      2 CA          1.0000    2.0000   -1.0000 C.3       1 ALA1        0.0000",
          "      3 C           2.0000    4.0000   -2.0000 C.2       1 ALA1        0.0000",
          "      4 O           3.0000    6.0000   -3.0000 O.2       1 ALA1        0.0000",
          "      5 N           4.0000    8.0000   -4.0000 N.am      2 GLY2        0.0000",
          "      6 CA          5.0000   10.0000   -5.0000 C.3       2 GLY2        0.0000",
          "      7 C           6.0000   12.0000   -6.0000 C.2       2 GLY2        0.0000",
          "      8 O           7.0000   14.0000   -7.0000 O.2       2 GLY2        0.0000",
          "@<TRIPOS>BOND",
          "     1    1    2 1  ",
          "     2    2    3 1  ",
          "     3    3    4 2  ",
          "     4    5    6 1  ",
          "     5    6    7 1  ",
          "     6    7    8 2  ",
          "     7    3    5 am ",
          "@<TRIPOS>SUBSTRUCTURE",
          "     1 ALA1        2 RESIDUE           4 A     ALA     1 ROOT ALA A   1",
          "     2 GLY2        5 RESIDUE           4 A     GLY     1 **** GLY A   2",
      },
      write(m));
}

TEST_F(Mol2Writer, ResidueNumberedZeroInProteinAndOtherResidueKinds) {
  Molecule m(kMoleProtein, 0, 0, 0, "PRT");
  addAtom(m, 1, "O", "O", "O.3", Coords(), m.addResidu(0, "HOH", "W"));
  addAtom(m, 2, "O", "O", "O.3", Coords(), m.addResidu(7, "HOH", "W"));
  addAtom(m, 3, "C", "C1", "C.3", Coords(), m.addResidu(8, "LIG", "L"));
  addAtom(m, 4, "Zn", "ZN", "Zn", Coords(), m.addResidu(9, "ZN", ""));
  expectLines(
      {
          "      1 ****           1",
          "     2 HOH7        2 RESIDUE           4 W     HOH     0 ROOT HOH W   7",
          "     3 LIG8        3 GROUP             4 L     LIG     0 ROOT LIG L   8",
          "     4 ZN9         4 GROUP             4 ****   ZN     0 ROOT  ZN     9",
      },
      section(write(m), "SUBSTRUCTURE"));
}

TEST_F(Mol2Writer, NameOfFewerThanTwoCharactersIsUnnamed) {
  Molecule named(kMoleLigand, 0, 0, 0, "X");
  buildLigand(named);
  std::vector<std::string> lines = write(named);
  EXPECT_EQ("#    Name: X", lines[0]);
  EXPECT_EQ("unnamed", section(lines, "MOLECULE")[0]);

  Molecule nameless;
  buildLigand(nameless);
  lines = write(nameless);
  EXPECT_EQ("#    Modification time : *", lines[0]);
  EXPECT_EQ("unnamed", section(lines, "MOLECULE")[0]);
}

TEST_F(Mol2Writer, DummiesLeftOutUseUpTheirNumbers) {
  Molecule m(kMoleLigand, 0, 0, 0, "RINGS");
  buildTwoRings(m, 1);
  const std::vector<std::string> lines = write(m);
  EXPECT_EQ("   18    13     1     0     0", section(lines, "MOLECULE")[1]);
  std::vector<std::string> numbers;
  for (const std::string& line : section(lines, "ATOM")) numbers.push_back(fields(line)[0]);
  EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "11", "12", "13",
                                      "14", "15", "16", "17", "18", "19"}),
            numbers);
  EXPECT_EQ("    13    7   11 1  ", section(lines, "BOND").back());
  EXPECT_TRUE(section(lines, "CENTROID").empty());
  EXPECT_TRUE(section(lines, "SET").empty());
}

// Ring members and centroids are cited by their numbers in the written file, which are not the
// map numbers here.
TEST_F(Mol2Writer, DummiesWrittenWithCentroidAndSetSections) {
  Molecule m(kMoleLigand, 0, 0, 0, "RINGS");
  buildTwoRings(m, 101);
  const std::vector<std::string> lines = write(m, true);
  EXPECT_EQ("   20    13     1     0     0", section(lines, "MOLECULE")[1]);
  EXPECT_EQ(20u, section(lines, "ATOM").size());
  EXPECT_EQ("     1    1    2 1  ", section(lines, "BOND")[0]);
  EXPECT_EQ("     7   11   12 ar ", section(lines, "BOND")[6]);
  expectLines({"CENTR_CYCLE1", "10 1", "CENTR_CYCLE2", "20 2"}, section(lines, "CENTROID"));
  expectLines({"CYCLE1 STATIC ATOMS CENTROID **** CYCLE", "6 1 2 3 4 5 6",
               "CYCLE2 STATIC ATOMS CENTROID **** AROMATIC CYCLE", "6 11 12 13 14 15 16"},
              section(lines, "SET"));
}

// Two chains numbering their residues alike are two substructures each, not one.
TEST_F(Mol2Writer, SameResidueInTwoChainsStaysTwoSubstructures) {
  Molecule m(kMoleProtein, 0, 0, 0, "DIMER");
  addAtom(m, 1, "C", "CA", "C.3", Coords(), m.addResidu(12, "ALA", "A"));
  addAtom(m, 2, "C", "CA", "C.3", Coords(), m.addResidu(12, "ALA", "B"));
  const std::vector<std::string> lines = write(m);
  EXPECT_EQ("    2     0     2     0     0", section(lines, "MOLECULE")[1]);
  EXPECT_EQ("1", fields(section(lines, "ATOM")[0])[6]);
  EXPECT_EQ("2", fields(section(lines, "ATOM")[1])[6]);
  expectLines({"     1 ALA12       1 RESIDUE           4 A     ALA     0 ROOT ALA A  12",
               "     2 ALA12       2 RESIDUE           4 B     ALA     0 ROOT ALA B  12"},
              section(lines, "SUBSTRUCTURE"));
}

// Atoms read from PDB without a type, and a nameless one, still fill every column.
TEST_F(Mol2Writer, UntypedAtomsGetTheirElementsType) {
  Molecule m(kMoleLigand, 0, 0, 0, "HET");
  addAtom(m, 1, "C", "C1", "", Coords());
  Atom* ammonium = addAtom(m, 2, "N", "N1", "", Coords());
  for (unsigned i = 0; i < 4; ++i)
    m.addBond(ammonium, addAtom(m, 3 + i, "H", "H" + std::to_string(i), "", Coords()), 1, i + 1);
  addAtom(m, 7, "N", "N2", "", Coords());
  addAtom(m, 8, "O", "O1", "", Coords());
  addAtom(m, 9, "Zn", "ZN", "", Coords());
  addAtom(m, 10, "Cl", "CL", "", Coords());
  addAtom(m, 11, "Ni", "NI", "", Coords());
  addAtom(m, 12, "S", "", "", Coords());
  addAtom(m, 13, "", "X", "", Coords());
  std::vector<std::string> types, names;
  for (const std::string& line : section(write(m), "ATOM")) {
    ASSERT_EQ(9u, fields(line).size()) << line;
    names.push_back(fields(line)[1]);
    types.push_back(fields(line)[5]);
  }
  EXPECT_EQ((std::vector<std::string>{"C.3", "N.4", "H", "H", "H", "H", "N.3", "O.3", "Zn", "Cl",
                                      "Ni", "S.3", "Du"}),
            types);
  EXPECT_EQ("S", names[11]);
}

// The first row of the MOL2 type table that takes `type`, as the reader's type check looks it
// up, or null.
const Mol2SpecRow* typeRow(std::string_view type) {
  for (const Mol2SpecRow& row : MOL2_SPEC)
    if (row.type.find(type) != std::string_view::npos) return &row;
  return nullptr;
}

// Every type chosen for an element reads back as that element through the MOL2 type table, or
// is the symbol of an element the table does not know; "Du" only where the symbol would be taken
// for another element.
TEST(Mol2WriterTypes, ElementTypesReadBackAsTheirElement) {
  for (unsigned z = 1; z < DUMMY_ATOMIC_NUM; ++z) {
    Atom atom;
    atom.setAtomicNum(z);
    const std::string_view type = elementMol2Type(atom);
    const std::string_view symbol = AtomData[z - 1].symbol;
    if (type == "Du") {
      ASSERT_NE(nullptr, typeRow(symbol)) << symbol;
      EXPECT_NE(z, typeRow(symbol)->atomicNum) << symbol;
    } else if (typeRow(type) != nullptr) {
      EXPECT_EQ(z, typeRow(type)->atomicNum) << type;
    } else {
      EXPECT_EQ(symbol, type);
    }
  }
  Atom dummy;
  dummy.setAtomicNum(DUMMY_ATOMIC_NUM);
  EXPECT_EQ("Du", elementMol2Type(dummy));
}

TEST_F(Mol2Writer, FieldsWithBlanksStayOneField) {
  Molecule m(kMoleLigand, 0, 0, 0, "two\nlines");
  addAtom(m, 1, "C", "C 1", "C.3", Coords(), m.addResidu(3, "LI G", " "));
  const std::vector<std::string> lines = write(m);
  EXPECT_EQ("two lines", section(lines, "MOLECULE")[0]);
  EXPECT_EQ(9u, fields(section(lines, "ATOM")[0]).size());
  EXPECT_EQ("C_1", fields(section(lines, "ATOM")[0])[1]);
  EXPECT_EQ("LI_G", fields(section(lines, "ATOM")[0])[7]);  // a four-character name
  EXPECT_EQ("     1 LI_G        1 GROUP             4 ****   LI     0 ROOT  LI     3",
            section(lines, "SUBSTRUCTURE")[0]);
}

// A 90,000-atom protein must take a small fraction of a second: nothing may grow with the
// square of the atom count.
TEST_F(Mol2Writer, LargeProteinIsWrittenQuickly) {
  Molecule m(kMoleProtein, 0, 0, 0, "BIG");
  Atom* previous = nullptr;
  unsigned mapNum = 0, bondNum = 0;
  for (int r = 1; r <= 10000; ++r) {
    Residu* residue = m.addResidu(r, "ALA", r <= 5000 ? "A" : "B");
    for (int k = 0; k < 9; ++k) {
      Atom* atom = addAtom(m, ++mapNum, "C", "C" + std::to_string(k), "C.3",
                           Coords(r * 0.1, k * 0.2, 1.0), residue);
      if (previous != nullptr) m.addBond(previous, atom, kBondSingle, ++bondNum);
      previous = atom;
    }
  }
  // Processor time, which other work on the machine does not inflate.
  const std::clock_t start = std::clock();
  MoleWriter writer;
  ASSERT_TRUE(writer.newFile((dir_ / "big.mol2").string(), 1));
  writer.writeMOL2(&m, false, false);
  ASSERT_TRUE(writer.closeFile());
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  EXPECT_LT(seconds, 2.0);  // 0.15 s in a debug build; quadratic work would take minutes
  const std::vector<std::string> lines = writtenLines(dir_ / "big.mol2");
  EXPECT_EQ(90000u, section(lines, "ATOM").size());
  EXPECT_EQ(" 89999 89999 90000 1  ", section(lines, "BOND").back());
  EXPECT_EQ("  5001 ALA5001  45001 RESIDUE           4 B     ALA     2 ROOT ALA B5001",
            section(lines, "SUBSTRUCTURE")[5000]);
}

// ---- Read back ----

// Bond type code as the MOL2 reader gives it back for a written code: the words "an", "du" and
// "un" all read as "any".
int readBackBondType(int written) {
  return written <= kBondAmide ? written : kBondAny;
}

// Checks that `read` holds what `m` was written with: every written atom with its name, type,
// charge, position (the rotated or fixed coordinates), residue and written number; every bond;
// every residue with its root.
void expectReadBack(const Molecule& m, bool rotated, Molecule& read) {
  std::vector<const Atom*> written;
  for (size_t i = 0; i < m.numAtoms(); ++i)
    if (m.atom(i).getName() != "DuCy" && m.atom(i).getName() != "DUAr")
      written.push_back(&m.atom(i));
  std::vector<const Atom*> got;
  for (size_t i = 0; i < read.numAtoms(); ++i)
    if (!read.atom(i).excluded) got.push_back(&read.atom(i));
  ASSERT_EQ(written.size(), got.size());
  auto numberOf = [&](const Atom* atom) {
    for (size_t i = 0; i < m.numAtoms(); ++i)
      if (&m.atom(i) == atom) return static_cast<unsigned>(i + 1);
    return 0u;
  };
  for (size_t i = 0; i < written.size(); ++i) {
    const Atom& a = *written[i];
    const Atom& b = *got[i];
    SCOPED_TRACE("atom " + a.getName());
    EXPECT_EQ(numberOf(&a), b.getMapNum());
    EXPECT_EQ(a.getName(), b.getName());
    EXPECT_EQ(a.getMOL2type(), b.getMOL2type());
    if (a.getMOL2type() != "Du") {
      EXPECT_EQ(a.getAtomicNum(), b.getAtomicNum());
    }
    EXPECT_NEAR(a.getPartialCharge(), b.getPartialCharge(), 1e-4);
    const Coords& at = rotated ? a.getRotatedCoords() : a.getFixedCoords();
    EXPECT_NEAR(at.x, b.getFixedCoords().x, 1e-4);
    EXPECT_NEAR(at.y, b.getFixedCoords().y, 1e-4);
    EXPECT_NEAR(at.z, b.getFixedCoords().z, 1e-4);
    ASSERT_NE(nullptr, b.getResidu());
    if (a.getResidu()->getNum() == kDefaultResiduNum) {
      EXPECT_EQ(read.getDefaultResidu(), b.getResidu());
    } else {
      // The reader names a residue after its substructure.
      EXPECT_EQ(a.getResidu()->getName() + std::to_string(a.getResidu()->getNum()),
                b.getResidu()->getName());
      EXPECT_EQ(a.getResidu()->getNum(), b.getResidu()->getNum());
      EXPECT_EQ(a.getResidu()->getChain(), b.getResidu()->getChain());
      EXPECT_EQ(a.getResidu()->getKind(), b.getResidu()->getKind());
      if (a.getResidu()->getRoot() != nullptr) {
        ASSERT_NE(nullptr, b.getResidu()->getRoot());
        EXPECT_EQ(numberOf(a.getResidu()->getRoot()), b.getResidu()->getRoot()->getMapNum());
      }
    }
  }
  ASSERT_EQ(m.numBonds(), read.numBonds());
  for (size_t i = 0; i < m.numBonds(); ++i) {
    const Bond& a = m.bond(i);
    const Bond& b = read.bond(i);
    EXPECT_EQ(numberOf(a.getFirst()), b.getFirst()->getMapNum()) << "bond " << i + 1;
    EXPECT_EQ(numberOf(a.getSecond()), b.getSecond()->getMapNum()) << "bond " << i + 1;
    EXPECT_EQ(readBackBondType(a.getType()), b.getType()) << "bond " << i + 1;
  }
}

std::unique_ptr<Molecule> readBack(const fs::path& path, unsigned type) {
  MoleReader reader(path.string(), kFormatMol2);
  return std::unique_ptr<Molecule>(reader.loadNextMole(type));
}

TEST_F(Mol2Writer, ReadsBackProteinWithChargesAndRotatedCoordinates) {
  Molecule m(kMoleProtein, 0, 0, 0, "PRT");
  buildDipeptide(m);
  for (size_t i = 0; i < m.numAtoms(); ++i) {
    const Coords& at = m.atom(i).getFixedCoords();
    m.atom(i).setRotatedCoords(Coords(at.y + 0.123456, -at.x, at.z * 2 + 100.00004));
    m.atom(i).setPartialCharge(i % 2 ? -0.25 : 0.3125);
  }
  const std::vector<std::string> lines = write(m, false, true);
  EXPECT_EQ("USER_CHARGES", section(lines, "MOLECULE")[3]);
  const auto read = readBack(dir_ / "out.mol2", kMoleProtein);
  ASSERT_NE(nullptr, read);
  EXPECT_EQ("PRT", read->getName());
  expectReadBack(m, true, *read);
}

TEST_F(Mol2Writer, ReadsBackLigandInDefaultResidue) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  write(m);
  const auto read = readBack(dir_ / "out.mol2", kMoleCalcs);
  ASSERT_NE(nullptr, read);
  expectReadBack(m, false, *read);
}

// What is read back and written again, ring perception's dummies included, is the same text.
TEST_F(Mol2Writer, RewritesWhatItReadsUnchanged) {
  Molecule protein(kMoleProtein, 0, 0, 0, "PRT");
  buildDipeptide(protein);
  Molecule ligand(kMoleLigand, 0, 0, 0, "RING");
  buildTwoRings(ligand, 1);
  for (size_t i = ligand.numAtoms(); i-- > 0;)
    if (ligand.atom(i).excluded) ligand.delAtom(&ligand.atom(i));
  for (Molecule* m : {&protein, &ligand}) {
    SCOPED_TRACE(m->getName());
    const std::vector<std::string> first = write(*m, false, false, "first.mol2");
    const auto read = readBack(dir_ / "first.mol2", m->getType());
    ASSERT_NE(nullptr, read);
    expectLines(first, write(*read, false, false, "second.mol2"));
  }
}

// A residue named after its substructure ("LEU14" numbered 1) or ending in its own number
// ("ALA2" numbered 2) keeps its name as its label; a PDB-style name takes its number ("ALA"
// numbered 12 gives "ALA12").
TEST_F(Mol2Writer, LabelsOfResiduesReadFromMol2DoNotGrow) {
  Molecule m(kMoleProtein, 0, 0, 0, "LABELS");
  addAtom(m, 1, "C", "CA", "C.3", Coords(), m.addResidu(1, "LEU14", "A"));
  addAtom(m, 2, "C", "CA", "C.3", Coords(1, 0, 0), m.addResidu(2, "ALA2", "A"));
  addAtom(m, 3, "C", "CA", "C.3", Coords(2, 0, 0), m.addResidu(12, "ALA", "A"));
  addAtom(m, 4, "C", "C1", "C.3", Coords(3, 0, 0), m.addResidu(9001, "1C9", "A"));
  std::vector<std::string> labels;
  for (const std::string& line : section(write(m), "SUBSTRUCTURE"))
    labels.push_back(fields(line)[1]);
  EXPECT_EQ(labels, (std::vector<std::string>{"LEU14", "ALA2", "ALA12", "1C99001"}));
}

// A file's charge type and its substructure named UNK (number 999, as docking programs write
// it) come back as they were read, not as USER_CHARGES and UNK999.
TEST_F(Mol2Writer, ChargeTypeAndUnknownSubstructureAsRead) {
  {
    std::ofstream in(dir_ / "in.mol2");
    in << "@<TRIPOS>MOLECULE\npose\n 2 1 1 0 0\nSMALL\nGASTEIGER\n\n@<TRIPOS>ATOM\n"
          "      1 C1    0.0 0.0 0.0 C.3 999 UNK -0.1\n"
          "      2 O1    1.4 0.0 0.0 O.3 999 UNK -0.2\n"
          "@<TRIPOS>BOND\n     1    1    2 1\n";
  }
  const auto read = readBack(dir_ / "in.mol2", kMoleCalcs);
  ASSERT_NE(nullptr, read);
  EXPECT_EQ(read->getChargeType(), "GASTEIGER");
  const std::vector<std::string> lines = write(*read);
  EXPECT_EQ("GASTEIGER", section(lines, "MOLECULE")[3]);
  EXPECT_EQ("UNK", fields(section(lines, "ATOM")[0])[7]);
  EXPECT_EQ("UNK", fields(section(lines, "SUBSTRUCTURE")[0])[1]);
}

// The writer writes what the model holds: stored type texts as they were read (another case,
// a pyrrole-type N.ar, a lone O.co2 or C.cat) and bond codes as they were made.
TEST_F(Mol2Writer, WritesStoredTypesAndBondsAsTheyAre) {
  Molecule m(kMoleLigand, 0, 0, 0, "TYPES");
  Atom* br = addAtom(m, 1, "Br", "BR1", "BR", Coords(0, 0, 0));
  Atom* c1 = addAtom(m, 2, "C", "C1", "C.3", Coords(1.9, 0, 0));
  Atom* c2 = addAtom(m, 3, "C", "C2", "C.2", Coords(3.4, 0, 0));
  Atom* o1 = addAtom(m, 4, "O", "O1", "O.co2", Coords(4.0, 1.1, 0));
  Atom* o2 = addAtom(m, 5, "O", "O2", "O.co2", Coords(4.0, -1.1, 0));
  Atom* n1 = addAtom(m, 6, "N", "N1", "N.ar", Coords(0, 3, 0));
  Atom* h1 = addAtom(m, 7, "H", "H1", "H", Coords(0, 4, 0));
  Atom* c3 = addAtom(m, 8, "C", "C3", "C.ar", Coords(1, 3, 0));
  Atom* c4 = addAtom(m, 9, "C", "C4", "C.ar", Coords(-1, 3, 0));
  addAtom(m, 10, "O", "O3", "O.co2", Coords(8, 8, 8));
  addAtom(m, 11, "C", "C5", "C.cat", Coords(9, 9, 9));
  m.addBond(br, c1, kBondSingle, 1);
  m.addBond(c1, c2, kBondSingle, 2);
  m.addBond(c2, o1, kBondDouble, 3);
  m.addBond(c2, o2, kBondSingle, 4);
  m.addBond(n1, h1, kBondSingle, 5);
  m.addBond(n1, c3, kBondAromatic, 6);
  m.addBond(n1, c4, kBondAromatic, 7);
  const std::vector<std::string> lines = write(m);
  std::vector<std::string> types;
  for (const std::string& line : section(lines, "ATOM")) types.push_back(fields(line)[5]);
  EXPECT_EQ(types, (std::vector<std::string>{"BR", "C.3", "C.2", "O.co2", "O.co2", "N.ar", "H",
                                             "C.ar", "C.ar", "O.co2", "C.cat"}));
  std::vector<std::string> orders;
  for (const std::string& line : section(lines, "BOND")) orders.push_back(fields(line)[3]);
  EXPECT_EQ(orders, (std::vector<std::string>{"1", "1", "2", "1", "1", "ar", "ar"}));
}

// Files other programs wrote come back from a read, a write and a second read as they went in:
// Open Babel's (types such as S.O2, formal charges in UNITY_ATOM_ATTR), PyMOL's (tab-separated,
// residues as substructures) and the CSD's (BR, a COMMENT). Writing the second read gives the
// same text as the first write.
TEST_F(Mol2Writer, RoundTripsOfOtherProgramsFilesKeepEverything) {
  for (const char* name : {"mol2_obabel_cdk2_nitro_sulfone.mol2", "mol2_pymol_pept.mol2",
                           "mol2_small_molecules.mol2"}) {
    SCOPED_TRACE(name);
    testing::internal::CaptureStderr();
    auto input = readBack(fs::path(KESTRUM_TEST_DATA) / name, 17);
    ASSERT_NE(nullptr, input);
    const std::vector<std::string> first = write(*input, false, false, "first.mol2");
    auto again = readBack(dir_ / "first.mol2", 17);
    testing::internal::GetCapturedStderr();
    ASSERT_NE(nullptr, again);
    ASSERT_EQ(again->numAtoms(), input->numAtoms());
    for (size_t i = 0; i < input->numAtoms(); ++i) {
      const Atom& a = input->atom(i);
      const Atom& b = again->atom(i);
      EXPECT_EQ(a.getName(), b.getName());
      EXPECT_EQ(a.getMOL2type(), b.getMOL2type());
      EXPECT_EQ(a.getAtomicNum(), b.getAtomicNum()) << a.getName();
      EXPECT_DOUBLE_EQ(a.getPartialCharge(), b.getPartialCharge());
      EXPECT_DOUBLE_EQ(a.getFormalCharge(), b.getFormalCharge());
      EXPECT_EQ(a.getResidu()->getName(), b.getResidu()->getName());
    }
    ASSERT_EQ(again->numBonds(), input->numBonds());
    for (size_t i = 0; i < input->numBonds(); ++i) {
      EXPECT_EQ(again->bond(i).getFirst()->getMapNum(), input->bond(i).getFirst()->getMapNum());
      EXPECT_EQ(again->bond(i).getSecond()->getMapNum(), input->bond(i).getSecond()->getMapNum());
      EXPECT_EQ(again->bond(i).getType(), input->bond(i).getType());
    }
    EXPECT_EQ(again->numResidues(), input->numResidues());
    EXPECT_EQ(again->getComment(), input->getComment());
    expectLines(first, write(*again, false, false, "second.mol2"));
  }
  // What each file is there for.
  auto cdk2 = readBack(fs::path(KESTRUM_TEST_DATA) / "mol2_obabel_cdk2_nitro_sulfone.mol2", 17);
  double charge = 0;
  for (size_t i = 0; i < cdk2->numAtoms(); ++i) {
    charge += std::fabs(cdk2->atom(i).getFormalCharge());
    if (cdk2->atom(i).getMOL2type() == "S.O2") {
      EXPECT_EQ(cdk2->atom(i).getAtomicNum(), 16u);
    }
  }
  EXPECT_EQ(charge, 2.0);  // the nitro group's N+ and O-
  const std::vector<std::string> written = write(*cdk2);
  EXPECT_EQ(section(written, "UNITY_ATOM_ATTR").size(), 4u);
  auto csd = readBack(fs::path(KESTRUM_TEST_DATA) / "mol2_small_molecules.mol2", 17);
  EXPECT_NE(csd->getComment().find("GLYCINIUM"), std::string::npos);
}

// Residues are never merged into one substructure: two of one name numbered 1 and 2, or the
// two copies of a dimer without chain letters.
TEST_F(Mol2Writer, SubstructuresAreNeverMerged) {
  Molecule m(kMoleLigand, 0, 0, 0, "TWO");
  addAtom(m, 1, "C", "C1", "C.3", Coords(), m.addResidu(1, "LIG1", ""));
  addAtom(m, 2, "C", "C1", "C.3", Coords(5, 0, 0), m.addResidu(2, "LIG1", ""));
  addAtom(m, 3, "C", "CA", "C.3", Coords(9, 0, 0), m.addResidu(7, "ALA", ""));
  addAtom(m, 4, "C", "CA", "C.3", Coords(19, 0, 0), m.addResidu(7, "ALA", ""));
  const std::vector<std::string> lines = write(m);
  std::vector<std::string> substructures;
  for (const std::string& line : section(lines, "ATOM"))
    substructures.push_back(fields(line)[6] + " " + fields(line)[7]);
  EXPECT_EQ(substructures, (std::vector<std::string>{"1 LIG1", "2 LIG1", "3 ALA7", "4 ALA7"}));
  EXPECT_EQ(section(lines, "SUBSTRUCTURE").size(), 4u);
}

// An interrupted run leaves no temporary file: the signal handler's cleanup removes it.
TEST_F(Mol2Writer, UnfinishedOutputIsRemovedOnRequest) {
  MoleWriter writer;
  ASSERT_TRUE(writer.newFile((dir_ / "out.mol2").string(), 1));
  EXPECT_EQ(listing().size(), 1u);  // the temporary file
  MoleWriter::removeUnfinishedOutput();
  EXPECT_TRUE(listing().empty());
  MoleWriter::removeUnfinishedOutput();  // nothing left to remove
}

// ---- Files: complete or absent ----

TEST_F(Mol2Writer, DefaultWriterCreatesNoFile) {
  const fs::path here = fs::current_path();
  fs::current_path(dir_);
  {
    MoleWriter writer;
    Molecule m;
    buildLigand(m);
    writer.writeMOL2(&m, false, false);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.closeFile());
  }
  fs::current_path(here);
  EXPECT_TRUE(listing().empty());
}

TEST_F(Mol2Writer, UnwritablePathsGiveFalseAndLeaveNoFile) {
  std::ofstream(dir_ / "plain") << "a file\n";
  fs::create_directory(dir_ / "sub");
  MoleWriter writer;
  Molecule m;
  buildLigand(m);
  for (const fs::path& path : {dir_ / "missing" / "out.mol2", dir_ / "plain" / "out.mol2",
                               dir_ / "sub", dir_ / "sub/", fs::path()}) {
    EXPECT_FALSE(writer.newFile(path.string(), 1)) << path;
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.getError().empty());
    writer.writeMOL2(&m, false, false);
    EXPECT_FALSE(writer.closeFile());
  }
  EXPECT_EQ((std::vector<std::string>{"plain", "sub"}), listing());
  EXPECT_EQ("a file\n", readText(dir_ / "plain"));
  EXPECT_TRUE(fs::is_empty(dir_ / "sub"));
}

TEST_F(Mol2Writer, OutputAppearsOnlyWhenClosed) {
  const fs::path out = dir_ / "out.mol2";
  std::ofstream(out) << "old\n";
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  MoleWriter writer;
  ASSERT_TRUE(writer.newFile(out.string(), 1));
  writer.writeMOL2(&m, false, false);
  EXPECT_EQ("old\n", readText(out));
  const std::vector<std::string> names = listing();
  ASSERT_EQ(2u, names.size());
  EXPECT_EQ(0u, names[0].rfind(".out.mol2.", 0)) << names[0];
  EXPECT_TRUE(writer.closeFile());
  EXPECT_FALSE(writer.hasFailed());
  EXPECT_EQ((std::vector<std::string>{"out.mol2"}), listing());
  EXPECT_EQ("LIG", section(writtenLines(out), "MOLECULE")[0]);
}

TEST_F(Mol2Writer, DestructorAndNewFileFinishTheOpenFile) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  {
    MoleWriter writer((dir_ / "first.mol2").string(), 1);
    writer.writeMOL2(&m, false, false);
    ASSERT_TRUE(writer.newFile((dir_ / "second.mol2").string(), 1));
    EXPECT_EQ(29u, writtenLines(dir_ / "first.mol2").size());
    writer.writeMOL2(&m, false, false);
  }
  EXPECT_EQ(29u, writtenLines(dir_ / "second.mol2").size());
  EXPECT_EQ((std::vector<std::string>{"first.mol2", "second.mol2"}), listing());
}

TEST_F(Mol2Writer, NonFiniteCoordinatesLeaveNoOutput) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  m.atom(4).setRotatedCoords(Coords(std::nan(""), 0, 0));
  const fs::path out = dir_ / "out.mol2";
  {
    MoleWriter writer;
    ASSERT_TRUE(writer.newFile(out.string(), 1));
    writer.writeMOL2(&m, false, true);
    EXPECT_TRUE(writer.hasFailed());
    EXPECT_NE(std::string::npos, writer.getError().find("atom 5")) << writer.getError();
    EXPECT_FALSE(writer.closeFile());
  }
  CapturedDiagnostics diagnostics;
  {
    MoleWriter writer(out.string(), 1);  // the destructor discards a failed file too
    m.atom(2).setPartialCharge(std::numeric_limits<double>::infinity());
    writer.writeMOL2(&m, false, false);
  }
  EXPECT_EQ(0u, diagnostics.text().find("Error Writing to " + out.string())) << diagnostics.text();
  EXPECT_TRUE(listing().empty());
}

// An atom filed in a residue its molecule does not hold cannot be given a substructure.
TEST_F(Mol2Writer, AtomOfForeignResidueThrowsAndLeavesNoOutput) {
  Molecule other;
  Residu foreign(&other, 5, 5, "ALA", "A", kResiduAminoAcid);
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  addAtom(m, 10, "C", "C10", "C.3", Coords(), &foreign);
  MoleWriter writer;
  ASSERT_TRUE(writer.newFile((dir_ / "bad.mol2").string(), 1));
  EXPECT_THROW(writer.writeMOL2(&m, false, false), std::out_of_range);
  EXPECT_TRUE(writer.hasFailed());
  // The next output starts afresh; the failed one is thrown away, and said to be.
  {
    CapturedDiagnostics diagnostics;
    ASSERT_TRUE(writer.newFile((dir_ / "good.mol2").string(), 1));
    EXPECT_NE(std::string::npos, diagnostics.text().find("bad.mol2"));
  }
  EXPECT_FALSE(writer.hasFailed());
  m.delAtom(&m.atom(9));
  writer.writeMOL2(&m, false, false);
  EXPECT_TRUE(writer.closeFile());
  EXPECT_EQ((std::vector<std::string>{"good.mol2"}), listing());
}

// A file size limit makes the disk refuse the text part way, as a full disk would.
TEST_F(Mol2Writer, WriteErrorLeavesExistingOutputAndNoTemporaryFile) {
  const fs::path out = dir_ / "out.mol2";
  std::ofstream(out) << "old\n";
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  for (int i = 0; i < 500; ++i) addAtom(m, i + 1, "C", "C", "C.3", Coords(i, i, i));

  rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 8192;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
  MoleWriter writer;
  const bool opened = writer.newFile(out.string(), 1);
  writer.writeMOL2(&m, false, false);
  const bool closed = writer.closeFile();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  ASSERT_TRUE(opened);
  EXPECT_FALSE(closed);
  EXPECT_EQ("File too large", writer.getError());
  EXPECT_EQ("old\n", readText(out));
  EXPECT_EQ((std::vector<std::string>{"out.mol2"}), listing());
}

TEST_F(Mol2Writer, FailedRenameLeavesNoTemporaryFile) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  MoleWriter writer;
  ASSERT_TRUE(writer.newFile((dir_ / "out.mol2").string(), 1));
  writer.writeMOL2(&m, false, false);
  fs::create_directory(dir_ / "out.mol2");  // something took the name meanwhile
  std::ofstream(dir_ / "out.mol2" / "keep") << "kept\n";
  EXPECT_FALSE(writer.closeFile());
  EXPECT_FALSE(writer.getError().empty());
  EXPECT_EQ((std::vector<std::string>{"out.mol2"}), listing());
  EXPECT_EQ("kept\n", readText(dir_ / "out.mol2" / "keep"));
}

TEST_F(Mol2Writer, PermissionsAreThoseOfAPlainOpen) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  const mode_t savedMask = umask(022);
  write(m, false, false, "new.mol2");
  std::ofstream(dir_ / "old.mol2") << "old\n";
  fs::permissions(dir_ / "old.mol2", fs::perms(0640));
  write(m, false, false, "old.mol2");
  umask(savedMask);
  EXPECT_EQ(fs::perms(0644), fs::status(dir_ / "new.mol2").permissions() & fs::perms::mask);
  EXPECT_EQ(fs::perms(0640), fs::status(dir_ / "old.mol2").permissions() & fs::perms::mask);
}

TEST_F(Mol2Writer, LinkedOutputReplacesTheLinksTarget) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  fs::create_directory(dir_ / "real");
  std::ofstream(dir_ / "real" / "target.mol2") << "old\n";
  fs::create_symlink("real/target.mol2", dir_ / "link.mol2");
  write(m, false, false, "link.mol2");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.mol2"));
  EXPECT_EQ("LIG", section(writtenLines(dir_ / "real" / "target.mol2"), "MOLECULE")[0]);
  EXPECT_EQ((std::vector<std::string>{"link.mol2", "real"}), listing());
}

// A FIFO, a link to one and a link that leads nowhere are refused before anything is written,
// and a FIFO that takes the target's place while the file is written is not replaced either.
TEST_F(Mol2Writer, TargetThatIsNoRegularFileIsNeverReplaced) {
  Molecule m(kMoleLigand, 0, 0, 0, "LIG");
  buildLigand(m);
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", dir_ / "to_fifo.mol2");
  fs::create_symlink("missing/x.mol2", dir_ / "dangling.mol2");
  const struct {
    const char* name;
    std::string error;
  } cases[] = {
      {"fifo", "a FIFO, not a regular file"},
      {"to_fifo.mol2", "a symbolic link to a FIFO (" + fs::canonical(dir_ / "fifo").string() +
                           "), not a regular file"},
      {"dangling.mol2",
       "a symbolic link to missing/x.mol2, which does not exist, not a regular "
       "file"},
  };
  MoleWriter writer;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(writer.newFile((dir_ / c.name).string(), 1));
    EXPECT_EQ(c.error, writer.getError());
  }
  EXPECT_EQ(MoleWriter::notReplaceable((dir_ / "missing.mol2").string()), "");
  EXPECT_EQ(MoleWriter::notReplaceable(dir_.string()), "");

  ASSERT_TRUE(writer.newFile((dir_ / "late.mol2").string(), 1));
  writer.writeMOL2(&m, false, false);
  ASSERT_EQ(mkfifo((dir_ / "late.mol2").c_str(), 0600), 0);
  EXPECT_FALSE(writer.closeFile());
  EXPECT_EQ("a FIFO, not a regular file", writer.getError());
  EXPECT_TRUE(fs::is_fifo(dir_ / "late.mol2"));
  EXPECT_EQ((std::vector<std::string>{"dangling.mol2", "fifo", "late.mol2", "to_fifo.mol2"}),
            listing());
}

}  // namespace
}  // namespace VXMole
