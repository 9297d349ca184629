// End-to-end tests of selections (-s, -sr, -sc), the modes RESIDUE and SEQUENCE, and the doubt
// about pairing by name, run on the built executable with two entries of Aurora A kinase.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "coords.h"
#include "structurefile.h"
#include "tool_runner.h"

using namespace kestrum_test;
using VXMole::Coords;

namespace {

const std::string kEntryCif = "cif_5dpv_gemmi.cif.gz";  // 5DPV as mmCIF
const std::string kEntryPdb = "interop_5dpv.pdb";       // 5DPV as PDB
const std::string kOtherEntry = "pdb_5dt0.pdb.gz";      // 5DT0

std::string gunzipped(const std::string& path) {
  return std::string(VXMole::StructureFile::gunzip(path, readFile(path)).view());
}

// The ATOM and HETATM records of a PDB text, or those of one residue name.
std::vector<std::string> records(const std::string& text, const std::string& residue = "") {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) continue;
    if (residue.empty() || line.substr(17, 3) == residue) lines.push_back(line);
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text + "END\n";
}

// The numbers after the label on the line of stdout that starts with it.
std::vector<double> numbersAfter(const std::string& out, const std::string& label) {
  std::vector<double> numbers;
  const size_t at = out.find(label);
  if (at == std::string::npos) return numbers;
  std::istringstream line(out.substr(at + label.size(), out.find('\n', at) - at - label.size()));
  for (double value = 0; line >> value;) numbers.push_back(value);
  return numbers;
}

// The RMSD and the transform -m prints, as one list of numbers.
std::vector<double> fitNumbers(const std::string& out) {
  std::vector<double> all = numbersAfter(out, "RMSD : ");
  for (const char* label :
       {"Rotation row 1 : ", "Rotation row 2 : ", "Rotation row 3 : ", "Translation    : "}) {
    const std::vector<double> row = numbersAfter(out, label);
    all.insert(all.end(), row.begin(), row.end());
  }
  return all;
}

// The coordinates of the ATOM section of a MOL2 text.
std::vector<Coords> mol2Coords(const std::string& text) {
  std::vector<Coords> atoms;
  std::istringstream in(text.substr(text.find("@<TRIPOS>ATOM")));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && line.rfind("@<TRIPOS>", 0) != 0) {
    std::istringstream fields(line);
    int number = 0;
    std::string name;
    Coords c;
    if (fields >> number >> name >> c.x >> c.y >> c.z) atoms.push_back(c);
  }
  return atoms;
}

// The command of the selections' use: two entries fitted on their common ligand, the second
// carried whole. The fit is the fit of the ligand cut into files of its own.
TEST(KestrumSelection, EntriesFittedOnTheirLigandAsIfCutIntoFilesOfTheirOwn) {
  TempDir dir;
  const std::string other = dataPath(kOtherEntry);
  const auto run = runKestrum({"-r", dataPath(kEntryCif), "-sr", "resn SKE", "-c", other, "-sc",
                               "resn SKE", "-g", "NAME", "-a", other, "-p", dir.path(), "-m"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("WARNING"), std::string::npos) << run.err;
  const std::string written = readFile(dir.file("rot_pdb_5dt0.mol2"));
  const std::vector<std::string> carried = records(gunzipped(other));
  EXPECT_EQ(mol2Coords(written).size(), carried.size());  // carried whole, not the selection

  writeFile(dir.file("ske_5dpv.pdb"), joined(records(readFile(dataPath(kEntryPdb)), "SKE")));
  writeFile(dir.file("ske_5dt0.pdb"), joined(records(gunzipped(other), "SKE")));
  const auto cut = runKestrum(
      {"-r", dir.file("ske_5dpv.pdb"), "-c", dir.file("ske_5dt0.pdb"), "-g", "NAME", "-m"});
  ASSERT_EQ(cut.status, 0) << cut.err;
  const std::vector<double> selected = fitNumbers(run.out);
  const std::vector<double> alone = fitNumbers(cut.out);
  ASSERT_EQ(selected.size(), 13u) << run.out;
  ASSERT_EQ(alone.size(), selected.size()) << cut.out;
  for (size_t k = 0; k < selected.size(); ++k) EXPECT_NEAR(selected[k], alone[k], 1e-6) << k;
}

TEST(KestrumSelection, RefusedOrEmptySelectionsStopTheRunNamingThem) {
  const auto bad = runKestrum(
      {"-r", dataPath(kEntryCif), "-c", dataPath(kOtherEntry), "-s", "resn SKE and", "-g", "NAME"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "");  // refused before anything is read
  EXPECT_EQ(bad.err, "Unreadable selection \"resn SKE and\": a selection is missing at the end\n");

  const auto empty = runKestrum({"-r", dataPath(kEntryCif), "-sr", "resn SKE", "-c",
                                 dataPath(kOtherEntry), "-sc", "resn 5DN", "-g", "NAME"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(
      empty.err.find("Selection \"resn 5DN\" matches no atom of " + dataPath(kOtherEntry) + "\n"),
      std::string::npos)
      << empty.err;
  EXPECT_EQ(empty.out.find("RMSD"), std::string::npos);
}

// -s ends an -a list and selects in both molecules; without -g the selected atoms are fitted
// one by one in file order.
TEST(KestrumSelection, SelectionEndsACarryListAndRestrictsWholeMoleculeFits) {
  TempDir dir;
  const auto run = runKestrum({"-r", dataPath(kEntryCif), "-c", dataPath(kOtherEntry), "-a",
                               dataPath(kOtherEntry), "-s", "resn SKE", "-p", dir.path(), "-l"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\nAtoms : 27 fitted, RMSD "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Path of the outputed file : " + dir.file("rot_pdb_5dt0.mol2")),
            std::string::npos);
}

// A whole entry paired by residue: every pair joins atoms of the same name in the same residue,
// one pair per atom. By sequence the same chain A is aligned with itself.
TEST(KestrumSelection, EntriesPairedByResidueAndBySequence) {
  const auto byResidue =
      runKestrum({"-r", dataPath(kEntryCif), "-c", dataPath(kOtherEntry), "-g", "RESIDUE", "-l"});
  ASSERT_EQ(byResidue.status, 0) << byResidue.err;
  EXPECT_EQ(byResidue.err.find("WARNING"), std::string::npos) << byResidue.err;
  std::istringstream lines(byResidue.out);
  size_t pairs = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Pair ", 0) != 0) continue;
    ++pairs;
    std::istringstream fields(line);
    std::string label, reference, comparison;
    std::getline(fields, label, '\t');
    std::getline(fields, reference, '\t');
    std::getline(fields, comparison, '\t');
    // "name (number) of RES (chain-number)": all but the atom number agree.
    EXPECT_EQ(reference.substr(0, reference.find(' ')), comparison.substr(0, comparison.find(' ')));
    EXPECT_EQ(reference.substr(reference.find(" of ")), comparison.substr(comparison.find(" of ")))
        << line;
  }
  EXPECT_GT(pairs, 2000u);

  const auto bySequence =
      runKestrum({"-r", dataPath(kEntryCif), "-c", dataPath(kOtherEntry), "-g", "SEQUENCE", "-l"});
  ASSERT_EQ(bySequence.status, 0) << bySequence.err;
  EXPECT_NE(bySequence.out.find("\nChain A with A (same identifier) : "), std::string::npos)
      << bySequence.out;
}

// By name, a renamed ligand keeps few pairs and whole proteins pair every CA with every CA:
// one line says so and suggests the mode that fits; the standard output is the same.
TEST(KestrumSelection, DoubtfulPairingByNameIsSaidWithTheModeThatFits) {
  const auto renamed = runKestrum({"-r", dataPath("pdb_ske_crystal.pdb"), "-c",
                                   dataPath("pdb_ske_renamed.pdb"), "-g", "NAME", "-l"});
  ASSERT_EQ(renamed.status, 0) << renamed.err;
  unsigned formed = 0, kept = 0;
  ASSERT_EQ(std::sscanf(renamed.out.c_str() + renamed.out.find("Pairs : "),
                        "Pairs : %u formed, %u kept", &formed, &kept),
            2);
  EXPECT_NE(renamed.err.find("WARNING : pairing by NAME may join the wrong atoms: the " +
                             std::to_string(kept) +
                             " pairs kept are fewer than half of the 23 reference atoms that "
                             "found a partner; -g ELEMENT suits small molecules\n"),
            std::string::npos)
      << renamed.err;
  EXPECT_EQ(renamed.out.find("WARNING"), std::string::npos);

  const auto proteins = runKestrum(
      {"-r", dataPath(kEntryCif), "-c", dataPath(kOtherEntry), "-s", "resi 130-140", "-g", "NAME"});
  ASSERT_EQ(proteins.status, 0) << proteins.err;
  EXPECT_NE(proteins.err.find("WARNING : pairing by NAME may join the wrong atoms: "),
            std::string::npos);
  EXPECT_NE(proteins.err.find("; -g RESIDUE or -g SEQUENCE suits polymers\n"), std::string::npos)
      << proteins.err;
}

}  // namespace
