// Tests of the SDF reader: mutated records (V2000 and V3000) with their exact messages, names,
// charges and data items, records one after another, and real files.
#include "sdfreader.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "complex.h"
#include "diagnostics.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "tool_runner.h"

namespace VXMole {
namespace {

// Acetate: a charge code (5, -1) on O4, single and double bonds, two data items.
const std::string kV2000 =
    "acetate\n"
    "  Kestrum test  3D\n"
    "a comment\n"
    "  4  3  0  0  0  0  0  0  0  0999 V2000\n"
    "    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\n"
    "    1.5000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\n"
    "    2.2000    1.1000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\n"
    "    2.2000   -1.1000    0.0000 O   0  5  0  0  0  0  0  0  0  0  0  0\n"
    "  1  2  1  0\n"
    "  2  3  2  0\n"
    "  2  4  1  0\n"
    "M  END\n"
    "> <score>\n"
    "-7.5\n"
    "\n"
    ">  <note>  (1)\n"
    "two\n"
    "lines\n"
    "\n"
    "$$$$\n";

// The same molecule as a V3000 connection table.
const std::string kV3000 =
    "acetate\n"
    "  Kestrum test  3D\n"
    "\n"
    "  0  0  0     0  0            999 V3000\n"
    "M  V30 BEGIN CTAB\n"
    "M  V30 COUNTS 4 3 0 0 0\n"
    "M  V30 BEGIN ATOM\n"
    "M  V30 1 C 0 0 0 0\n"
    "M  V30 2 C 1.5 0 0 0\n"
    "M  V30 3 O 2.2 1.1 0 0\n"
    "M  V30 4 O 2.2 -1.1 0 0 -\n"
    "M  V30 CHG=-1\n"
    "M  V30 END ATOM\n"
    "M  V30 BEGIN BOND\n"
    "M  V30 1 1 1 2\n"
    "M  V30 2 2 2 3\n"
    "M  V30 3 1 2 4\n"
    "M  V30 END BOND\n"
    "M  V30 END CTAB\n"
    "M  END\n"
    "$$$$\n";

std::string mutate(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
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

// Every molecule of an SDF text read as the file "t.sdf" would be, or the error it throws.
struct Read {
  std::vector<std::unique_ptr<Molecule>> molecules;
  std::optional<MoleExcept> error;
  std::string diagnostics;
};

Read readSdf(const std::string& text) {
  Read read;
  std::ostringstream sink;
  std::ostream& previous = setDiagnostics(sink);
  MoleReader reader;
  reader.loadText("t.sdf", kFormatSdf, ByteBuffer(text));
  try {
    while (!reader.isAtEnd())
      if (Molecule* molecule = reader.loadNextMole(kMoleCalcs))
        read.molecules.emplace_back(molecule);
  } catch (const MoleExcept& error) {
    read.error = error;
  }
  setDiagnostics(previous);
  read.diagnostics = sink.str();
  return read;
}

// The message a record of kV2000 (or kV3000) mutated by `from` -> `to` is refused with.
std::string refusal(const std::string& text) {
  const Read read = readSdf(text);
  if (!read.error) return "(read without error)";
  return std::to_string(read.error->code) + " " + read.error->message;
}

void expectAcetate(const Molecule& m) {
  ASSERT_EQ(m.numAtoms(), 4u);
  EXPECT_EQ(m.getName(), "acetate");
  const char* names[] = {"C1", "C2", "O3", "O4"};
  for (unsigned i = 0; i < 4; ++i) {
    EXPECT_EQ(m.atom(i).getName(), names[i]);
    EXPECT_EQ(m.atom(i).getMapNum(), i + 1);
  }
  EXPECT_EQ(m.atom(2).getAtomicNum(), 8u);
  EXPECT_DOUBLE_EQ(m.atom(2).getFixedCoords().y, 1.1);
  EXPECT_EQ(m.atom(3).getFormalCharge(), -1);
  EXPECT_EQ(m.atom(0).getFormalCharge(), 0);
  ASSERT_EQ(m.numBonds(), 3u);
  EXPECT_EQ(m.atom(1).getBondType(&m.atom(2)), kBondDouble);
  EXPECT_EQ(m.atom(1).getBondType(&m.atom(3)), kBondSingle);
  // SYBYL types from the orders: a carboxylate.
  EXPECT_EQ(m.atom(0).getMOL2type(), "C.3");
  EXPECT_EQ(m.atom(1).getMOL2type(), "C.2");
  EXPECT_EQ(m.atom(2).getMOL2type(), "O.co2");
  EXPECT_EQ(m.atom(3).getMOL2type(), "O.co2");
}

TEST(SdfReader, ReadsAtomsNamesChargesBondsTypesAndDataItems) {
  for (const std::string& text : {kV2000, withCrLf(kV2000)}) {
    const Read read = readSdf(text);
    ASSERT_FALSE(read.error) << read.error->message;
    ASSERT_EQ(read.molecules.size(), 1u);
    const Molecule& m = *read.molecules[0];
    expectAcetate(m);
    EXPECT_EQ(m.getComment(), "a comment");
    ASSERT_EQ(m.getDataItems().size(), 2u);
    EXPECT_EQ(m.getDataItems()[0].name, "score");
    EXPECT_EQ(m.getDataItems()[0].value, "-7.5");
    EXPECT_EQ(m.getDataItems()[1].name, "note");
    EXPECT_EQ(m.getDataItems()[1].value, "two\nlines");
  }
}

TEST(SdfReader, V3000GivesWhatV2000Gives) {
  for (const std::string& text : {kV3000, withCrLf(kV3000)}) {
    const Read read = readSdf(text);
    ASSERT_FALSE(read.error) << read.error->message;
    ASSERT_EQ(read.molecules.size(), 1u);
    expectAcetate(*read.molecules[0]);
  }
}

// An "M  CHG" line replaces every charge of the atom block, those it does not name included.
TEST(SdfReader, ChargeLinesReplaceTheAtomBlockCharges) {
  const Read read =
      readSdf(mutate(kV2000, "M  END\n", "M  CHG  1   1   1\nM  ISO  1   3  18\nM  END\n"));
  ASSERT_FALSE(read.error) << read.error->message;
  const Molecule& m = *read.molecules[0];
  EXPECT_EQ(m.atom(0).getFormalCharge(), 1);
  EXPECT_EQ(m.atom(3).getFormalCharge(), 0);
}

// D and T are hydrogen; a symbol of no element is the dummy element, never a hydrogen.
TEST(SdfReader, IsotopeSymbolsAndQueryAtoms) {
  std::string text =
      mutate(kV2000, " 2.2000    1.1000    0.0000 O  ", " 2.2000    1.1000    0.0000 D  ");
  text = mutate(text, " 0.0000    0.0000    0.0000 C  ", " 0.0000    0.0000    0.0000 *  ");
  const Read read = readSdf(text);
  ASSERT_FALSE(read.error) << read.error->message;
  const Molecule& m = *read.molecules[0];
  EXPECT_EQ(m.atom(2).getName(), "D3");
  EXPECT_TRUE(m.atom(2).isHydrogen());
  EXPECT_EQ(m.atom(0).getName(), "*1");
  EXPECT_EQ(m.atom(0).getAtomicName(), "Du");
  EXPECT_FALSE(m.atom(0).isHydrogen());
}

// Records follow one another; blank lines after the last end the input; a record without atoms
// is said and left out.
TEST(SdfReader, RecordsOneAfterAnother) {
  const std::string empty = "nothing\n\n\n  0  0  0  0  0  0  0  0  0  0999 V2000\nM  END\n$$$$\n";
  const Read read = readSdf(kV2000 + empty + mutate(kV2000, "acetate", "second") + "\n\n");
  ASSERT_FALSE(read.error) << read.error->message;
  ASSERT_EQ(read.molecules.size(), 3u);
  EXPECT_EQ(read.molecules[0]->getName(), "acetate");
  EXPECT_EQ(read.molecules[2]->getName(), "second");
  VXMole::Complex complex;
  std::ostringstream sink;
  std::ostream& previous = setDiagnostics(sink);
  MoleReader reader;
  reader.loadText("t.sdf", kFormatSdf, ByteBuffer(kV2000 + empty + kV2000));
  reader.loadInComplex(complex, kMoleCalcs);
  setDiagnostics(previous);
  EXPECT_EQ(complex.others.size(), 2u);
  EXPECT_EQ(sink.str(), "WARNING : record 2 of t.sdf holds no atom: it is left out\n");
  // A .mol file holds one record without "$$$$".
  const Read single = readSdf(kV2000.substr(0, kV2000.find("> <score>")));
  ASSERT_EQ(single.molecules.size(), 1u);
  EXPECT_TRUE(single.molecules[0]->getDataItems().empty());
}

TEST(SdfReader, RefusesARecordThatCannotBeReadWhole) {
  // The file ends before the atoms the counts line announces.
  EXPECT_EQ(refusal(kV2000.substr(0, kV2000.find("    1.5000"))),
            "115011 A record cut short in t.sdf, record 1, line 5: the counts line announces 4 "
            "atoms and 3 bonds, but the record holds 1 atom lines");
  EXPECT_EQ(refusal(mutate(kV2000, "  4  3  0", "  4  5  0")),
            "115011 A record cut short in t.sdf, record 1, line 12: the counts line announces 4 "
            "atoms and 5 bonds, but the record holds 3 bond lines");
  EXPECT_EQ(refusal(mutate(kV2000, "  2  4  1  0", "  2  9  1  0")),
            "115012 A bond to a missing atom in t.sdf, record 1, line 11: bond 3 joins atom 9, "
            "but the record holds 4 atoms");
  EXPECT_EQ(refusal(mutate(kV2000, "    1.5000    0.0000", "    1.5000    0.0x00")),
            "115013 A field that is not a number in t.sdf, record 1, line 6: the y coordinate "
            "\"0.0x00\" is not a number");
  EXPECT_EQ(refusal(mutate(kV2000, "  4  3  0", " 4a  3  0")),
            "115013 A field that is not a number in t.sdf, record 1, line 4: the atom count of "
            "the counts line \"4a\" is not a whole number");
  EXPECT_EQ(refusal(mutate(kV2000, "M  END", "M  CHG  1   7   1\nM  END")),
            "115012 A bond to a missing atom in t.sdf, record 1, line 12: \"M  CHG\" names atom "
            "7, but the record holds 4 atoms");
  EXPECT_EQ(refusal(mutate(kV2000, "  2  3  2  0", "  2  2  2  0")),
            "115015 An unreadable record in t.sdf, record 1, line 10: bond 2 joins an atom to "
            "itself");
  EXPECT_EQ(refusal(mutate(kV2000, "  0  5  0", "  0  9  0")),
            "115015 An unreadable record in t.sdf, record 1, line 8: the charge code 9 is not one "
            "of 0 to 7");
  EXPECT_EQ(refusal(mutate(kV2000, "    1.5000    0.0000", "   1.5e+09    0.0000")),
            "115016 A coordinate beyond 1e6 in t.sdf, record 1, line 6: atom 2");
  // The record's number, not only the line, tells where: here the second record.
  EXPECT_EQ(refusal(kV2000 + mutate(kV2000, "  2  4  1  0", "  0  4  1  0")),
            "115012 A bond to a missing atom in t.sdf, record 2, line 31: bond 3 joins atom 0, "
            "but the record holds 4 atoms");
  EXPECT_EQ(refusal(withCrLf(kV2000 + mutate(kV2000, "  2  4  1  0", "  0  4  1  0"))),
            "115012 A bond to a missing atom in t.sdf, record 2, line 31: bond 3 joins atom 0, "
            "but the record holds 4 atoms");
}

TEST(SdfReader, RefusesAV3000RecordThatCannotBeReadWhole) {
  EXPECT_EQ(refusal(mutate(kV3000, "M  V30 END CTAB\n", "")),
            "115014 A V3000 block that never ends in t.sdf, record 1, line 19: the CTAB block "
            "begun at line 5 has no \"END CTAB\" before \"M  END\"");
  EXPECT_EQ(refusal(kV3000.substr(0, kV3000.find("M  V30 END ATOM"))),
            "115014 A V3000 block that never ends in t.sdf, record 1, line 12: the ATOM block "
            "begun at line 7 has no \"END ATOM\" before the record's end");
  EXPECT_EQ(refusal(mutate(kV3000, "M  V30 3 1 2 4", "M  V30 3 1 2 8")),
            "115012 A bond to a missing atom in t.sdf, record 1, line 17: bond 3 joins atom 8, "
            "which the ATOM block does not hold");
  EXPECT_EQ(refusal(mutate(kV3000, "COUNTS 4 3", "COUNTS 5 3")),
            "115011 A record cut short in t.sdf, record 1, line 13: the COUNTS line announces 5 "
            "atoms, but the ATOM block holds 4");
  EXPECT_EQ(refusal(mutate(kV3000, "M  V30 3 O 2.2 1.1", "M  V30 3 O 2.2 x")),
            "115013 A field that is not a number in t.sdf, record 1, line 10: the y coordinate "
            "\"x\" is not a number");
}

// Records RDKit wrote as V3000 read as the V2000 records they were written from.
TEST(SdfReader, RealV3000RecordsReadAsTheirV2000Originals) {
  Complex v2000, v3000;
  MoleReader(kestrum_test::dataPath("sdf_cdk2_three.sdf"), kFormatDetect)
      .loadInComplex(v2000, kMoleCalcs);
  MoleReader(kestrum_test::dataPath("sdf_cdk2_three_v3000.sdf"), kFormatDetect)
      .loadInComplex(v3000, kMoleCalcs);
  ASSERT_EQ(v2000.others.size(), 3u);
  ASSERT_EQ(v3000.others.size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    const Molecule& a = v2000.others[k];
    const Molecule& b = v3000.others[k];
    EXPECT_EQ(a.getName(), b.getName());
    ASSERT_EQ(a.numAtoms(), b.numAtoms());
    ASSERT_EQ(a.numBonds(), b.numBonds());
    for (size_t i = 0; i < a.numAtoms(); ++i) {
      EXPECT_EQ(a.atom(i).getName(), b.atom(i).getName());
      EXPECT_EQ(a.atom(i).getMOL2type(), b.atom(i).getMOL2type());
      EXPECT_NEAR(a.atom(i).getFixedCoords().calcDist(b.atom(i).getFixedCoords()), 0, 1e-4);
    }
    for (size_t i = 0; i < a.numBonds(); ++i) EXPECT_EQ(a.bond(i).getType(), b.bond(i).getType());
  }
  // The data items of the record (id, Cluster, ...), each as written.
  ASSERT_EQ(v2000.others[0].getDataItems().size(), 7u);
  ASSERT_EQ(v3000.others[0].getDataItems().size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(v2000.others[0].getDataItems()[i].name, v3000.others[0].getDataItems()[i].name);
    EXPECT_EQ(v2000.others[0].getDataItems()[i].value, v3000.others[0].getDataItems()[i].value);
  }
}

// The charges RDKit reads from the "M  CHG" lines of NCI records (nitro groups, an N-oxide).
TEST(SdfReader, RealChargeLinesAsRDKitReadsThem) {
  Complex complex;
  MoleReader(kestrum_test::dataPath("sdf_nci_charged.sdf"), kFormatDetect)
      .loadInComplex(complex, kMoleCalcs);
  ASSERT_EQ(complex.others.size(), 3u);
  const std::vector<std::vector<std::pair<unsigned, int>>> rdkit = {
      {{9, 1}, {11, -1}, {12, 1}, {14, -1}}, {{1, -1}, {2, 1}}, {{18, 1}, {20, -1}}};
  const size_t atoms[] = {14, 9, 20}, bonds[] = {14, 9, 22};
  for (size_t k = 0; k < 3; ++k) {
    const Molecule& m = complex.others[k];
    EXPECT_EQ(m.numAtoms(), atoms[k]);
    EXPECT_EQ(m.numBonds(), bonds[k]);
    std::vector<std::pair<unsigned, int>> charged;
    for (size_t i = 0; i < m.numAtoms(); ++i)
      if (m.atom(i).getFormalCharge() != 0)
        charged.emplace_back(m.atom(i).getMapNum(), static_cast<int>(m.atom(i).getFormalCharge()));
    EXPECT_EQ(charged, rdkit[k]);
  }
}

}  // namespace
}  // namespace VXMole
