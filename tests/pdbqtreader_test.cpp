// Tests of the PDBQT reader: AutoDock types to elements, charges, models with their Vina scores,
// bonds from distances, and mutated records with their exact messages.
#include "pdbqtreader.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "tool_runner.h"

namespace VXMole {
namespace {

// Methanol and a polar hydrogen, as Open Babel writes a PDBQT ligand, in one Vina model.
const std::string kModel =
    "MODEL 1\n"
    "REMARK VINA RESULT:    -4.2      0.000      0.000\n"
    "REMARK  Name = methanol\n"
    "ROOT\n"
    "ATOM      1  C   UNL     1       0.000   0.000   0.000  0.00  0.00    +0.150 C \n"
    "ATOM      2  O   UNL     1       1.420   0.000   0.000  0.00  0.00    -0.390 OA\n"
    "ATOM      3  H   UNL     1       1.750   0.900   0.000  0.00  0.00    +0.210 HD\n"
    "ENDROOT\n"
    "TORSDOF 1\n"
    "ENDMDL\n";

std::string mutate(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct Read {
  std::vector<std::unique_ptr<Molecule>> molecules;
  std::optional<MoleExcept> error;
};

Read readPdbqt(const std::string& text) {
  Read read;
  MoleReader reader;
  reader.loadText("t.pdbqt", kFormatPdbqt, ByteBuffer(text));
  try {
    while (!reader.isAtEnd())
      if (Molecule* m = reader.loadNextMole(kMoleCalcs)) read.molecules.emplace_back(m);
  } catch (const MoleExcept& error) {
    read.error = error;
  }
  return read;
}

std::string refusal(const std::string& text) {
  const Read read = readPdbqt(text);
  if (!read.error) return "(read without error)";
  return std::to_string(read.error->code) + " " + read.error->message;
}

TEST(PdbqtReader, AutoDockTypesGiveElements) {
  const std::vector<std::pair<const char*, const char*>> types = {
      {"A", "C"},   {"C", "C"},   {"NA", "N"},  {"NS", "N"},  {"N", "N"},   {"OA", "O"},
      {"SA", "S"},  {"HD", "H"},  {"H", "H"},   {"G0", "C"},  {"CG3", "C"}, {"W", "O"},
      {"CL", "Cl"}, {"Cl", "Cl"}, {"BR", "Br"}, {"ZN", "Zn"}, {"Zn", "Zn"}, {"Na", "Na"},
      {"Mg", "Mg"}, {"F", "F"},   {"I", "I"},   {"P", "P"},   {"Fe", "Fe"}, {"Se", "Se"}};
  for (const auto& [type, element] : types) EXPECT_EQ(elementOfAutoDockType(type), element) << type;
  // Case tells NA (a nitrogen acceptor) from Na; neither a dummy nor an unknown word is an element.
  for (const char* type : {"na", "Q", "Du", "XX", "", "oa"})
    EXPECT_EQ(elementOfAutoDockType(type), "") << type;
}

TEST(PdbqtReader, ReadsAModelWithItsScoreChargesAndBonds) {
  const Read read = readPdbqt(kModel + mutate(kModel, "-4.2", "-3.9"));
  ASSERT_FALSE(read.error) << read.error->message;
  ASSERT_EQ(read.molecules.size(), 2u);
  const Molecule& m = *read.molecules[0];
  EXPECT_EQ(m.getName(), "methanol");
  ASSERT_EQ(m.numAtoms(), 3u);
  EXPECT_EQ(m.atom(1).getName(), "O");
  EXPECT_TRUE(m.atom(1).isOxygen());
  EXPECT_TRUE(m.atom(2).isHydrogen());
  EXPECT_DOUBLE_EQ(m.atom(1).getPartialCharge(), -0.39);
  EXPECT_EQ(m.atom(1).getMapNum(), 2u);
  // Bonds from the distances, single, with the types they imply.
  EXPECT_EQ(m.numBonds(), 2u);
  EXPECT_EQ(m.atom(0).getBondType(&m.atom(1)), kBondSingle);
  EXPECT_EQ(m.atom(1).getMOL2type(), "O.3");
  ASSERT_EQ(m.getDataItems().size(), 1u);
  EXPECT_EQ(m.getDataItems()[0].name, "VINA RESULT");
  EXPECT_EQ(m.getDataItems()[0].value, "-4.2 0.000 0.000");
  EXPECT_EQ(read.molecules[1]->getDataItems()[0].value, "-3.9 0.000 0.000");
  // Without MODEL lines the file is one molecule.
  const Read single = readPdbqt(mutate(mutate(kModel, "MODEL 1\n", ""), "ENDMDL\n", ""));
  ASSERT_EQ(single.molecules.size(), 1u);
  EXPECT_EQ(single.molecules[0]->numAtoms(), 3u);
}

TEST(PdbqtReader, RefusesARecordThatCannotBeRead) {
  const std::string two = kModel + kModel;
  EXPECT_EQ(refusal(kModel + mutate(kModel, "0.00    -0.390 OA", "0.00    -0.390 Q ")),
            "116012 An unknown AutoDock atom type in t.pdbqt, model 2, line 16: \"Q\"");
  EXPECT_EQ(refusal(mutate(kModel, "0.00    -0.390 OA", "0.00    -0.3x0 OA")),
            "116011 An unreadable atom record in t.pdbqt, model 1, line 6: the partial charge "
            "\"-0.3x0\" in columns 71-76 is not a number");
  EXPECT_EQ(refusal(mutate(kModel, "0.00    -0.390 OA", "0.00    -0.390")),
            "116011 An unreadable atom record in t.pdbqt, model 1, line 6: no AutoDock type in "
            "columns 78-79");
  EXPECT_EQ(refusal(mutate(kModel, "   1.420   0.000   0.000", "   1.420   0.0a0   0.000")),
            "116011 An unreadable atom record in t.pdbqt, model 1, line 6: the y coordinate "
            "\"0.0a0\" is not a number");
  EXPECT_EQ(refusal(mutate(kModel, "   1.420   0.000", "   1.420   1e+09")),
            "116013 A coordinate beyond 1e6 in t.pdbqt, model 1, line 6: the atom's position");
}

// Vina's output of nine poses, from Open Babel's conversion of a real ligand.
TEST(PdbqtReader, NineVinaPosesWithTheirScores) {
  Complex complex;
  MoleReader(kestrum_test::dataPath("pdbqt_cdk2_vina_nine.pdbqt"), kFormatDetect)
      .loadInComplex(complex, kMoleCalcs);
  ASSERT_EQ(complex.others.size(), 9u);
  for (size_t k = 0; k < 9; ++k) {
    const Molecule& pose = complex.others[k];
    EXPECT_EQ(pose.getName(), "ZINC03814457");
    // 17 heavy atoms and the 3 polar hydrogens; the bonds of the SDF record between them.
    EXPECT_EQ(pose.numAtoms(), 20u);
    EXPECT_EQ(pose.numHeavyAtm(), 17u);
    EXPECT_EQ(pose.numBonds(), 21u);
    ASSERT_EQ(pose.getDataItems().size(), 1u);
    char score[16];
    std::snprintf(score, sizeof score, "%.1f", -9.1 + 0.3 * static_cast<double>(k));
    EXPECT_EQ(pose.getDataItems()[0].value.substr(0, pose.getDataItems()[0].value.find(' ')),
              score);
    EXPECT_DOUBLE_EQ(pose.atom(0).getPartialCharge(), 0.248);
  }
}

}  // namespace
}  // namespace VXMole
