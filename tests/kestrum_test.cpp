// End-to-end tests: the built Kestrum executable on the command line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "coords.h"
#include "lsq_reference.h"
#include "tool_runner.h"

using kestrum_test::runKestrum;

namespace {

const char kUsage[] =
    "./Kestrum : Translation/Rotation search and applications.\n"
    " Kestrum will find the translation vector and the rotation matrix to transfer a set of point "
    "A to a set B\n"
    " HOW-TO USE : \n"
    "  -> ./Kestrum -r Ref -c Comp  -g [NAME|ID] [-a Other_Molecule [-p PathDir]]\n"
    " Ref : path of the molecule to translate/rotate\n"
    " Comp: path of the molecule to translate/rotate to\n"
    " Other_Molecule : path(s) of as many molecules as you want. Theses molecules will be "
    "translate/rotate\n"
    "       according to the transation vector/rotation matrix found between the ref and the comp "
    "molecule\n"
    "       each file will be output in the same directory with the prefix rot_\n"
    " PathDir : By default, the Other_Molecule will be output in the same directory. If you want "
    "to change it, use PathDir\n"
    "       WARNING : the prefix will not be added \n"
    "\n";

TEST(KestrumCommandLine, UsageBelowTwoArguments) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"-r"}}) {
    const auto run = runKestrum(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kUsage);
    EXPECT_EQ(run.err, "");
  }
}

TEST(KestrumCommandLine, MissingInputFiles) {
  // Two arguments: no usage text, but the comparison path is empty.
  for (const auto& args : {std::vector<std::string>{"-r", "x"},
                           std::vector<std::string>{"-c", "y", "-g", "NAME"},
                           std::vector<std::string>{"-r", "", "-c", "y"}}) {
    const auto run = runKestrum(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, " No Input files \n");
  }
}

TEST(KestrumCommandLine, OptionWithoutValueIsRefused) {
  for (const std::string option : {"-r", "-c", "-p", "-g"}) {
    const auto run = runKestrum({"-r", "a.pdb", "-c", "b.pdb", option});
    EXPECT_EQ(run.status, 1) << option;
    EXPECT_EQ(run.out, "") << option;
    EXPECT_EQ(run.err, "Option " + option + " needs a value after it\n") << option;
  }
}

}  // namespace

// ---- Fitting runs, checked against an independent least-squares fit ----

namespace {

using kestrum_test::dataPath;
using kestrum_test::readFile;
using kestrum_test::TempDir;
using kestrum_test::writeFile;
using VXMole::Coords;

struct FileAtom {
  std::string name;
  unsigned serial;
  Coords xyz;
  bool hydrogen;
};

// The atom records of a PDB text, read by their columns.
std::vector<FileAtom> pdbAtoms(const std::string& text) {
  std::vector<FileAtom> atoms;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) continue;
    auto trim = [](std::string s) {
      s.erase(0, s.find_first_not_of(' '));
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    const std::string element = line.size() >= 78 ? trim(line.substr(76, 2)) : "";
    atoms.push_back({trim(line.substr(12, 4)), static_cast<unsigned>(std::stoul(line.substr(6, 5))),
                     Coords(std::stod(line.substr(30, 8)), std::stod(line.substr(38, 8)),
                            std::stod(line.substr(46, 8))),
                     element == "H"});
  }
  return atoms;
}

// A copy of a PDB text whose coordinates are turned by `angle` about z, shifted, and each
// moved by up to `noise` Å along every axis (fixed seed).
std::string movedPdb(const std::string& text, double angle, double noise) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> jitter(-noise, noise);
  std::istringstream in(text);
  std::string line;
  std::string out;
  while (std::getline(in, line)) {
    if (line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0) {
      const double x = std::stod(line.substr(30, 8));
      const double y = std::stod(line.substr(38, 8));
      const double z = std::stod(line.substr(46, 8));
      char xyz[32];
      std::snprintf(xyz, sizeof xyz, "%8.3f%8.3f%8.3f",
                    std::cos(angle) * x - std::sin(angle) * y + 4.0 + jitter(rng),
                    std::sin(angle) * x + std::cos(angle) * y - 3.0 + jitter(rng),
                    z + 12.5 + jitter(rng));
      line = line.substr(0, 30) + xyz + line.substr(54);
    }
    out += line + "\n";
  }
  return out;
}

Coords heavyBarycenter(const std::vector<FileAtom>& atoms) {
  Coords sum;
  double n = 0;
  for (const FileAtom& atom : atoms) {
    if (atom.hydrogen) continue;
    sum += atom.xyz;
    n += 1;
  }
  return Coords(sum.x / n, sum.y / n, sum.z / n);
}

// The numbers after the label on the line of stdout that starts with it.
std::vector<double> numbersAfter(const std::string& out, const std::string& label) {
  const size_t at = out.find(label);
  if (at == std::string::npos) return {};
  std::istringstream line(out.substr(at + label.size(), out.find('\n', at) - at - label.size()));
  std::vector<double> numbers;
  double value = 0;
  while (line >> value) numbers.push_back(value);
  return numbers;
}

// Printed numbers carry six significant digits.
void expectPrinted(double printed, double exact) {
  EXPECT_NEAR(printed, exact, 1e-5 * std::max(1.0, std::fabs(exact)) + 1e-6);
}

void expectPrintedPoint(const std::vector<double>& printed, const Coords& exact) {
  ASSERT_EQ(printed.size(), 3u);
  expectPrinted(printed[0], exact.x);
  expectPrinted(printed[1], exact.y);
  expectPrinted(printed[2], exact.z);
}

// Two crystal poses of the same ligand (PDB 4i23 and 4i24): the 22 names of the first all occur
// in the second and every pair is distance-consistent, so the clique keeps them all.
TEST(KestrumFit, TwoCrystalPosesPairedByNameMatchKabsch) {
  const auto ref = pdbAtoms(readFile(dataPath("e2e_1c9_4i23.pdb")));
  const auto comp = pdbAtoms(readFile(dataPath("e2e_1c9_4i24.pdb")));
  std::vector<Coords> rigid, mobile;
  for (const FileAtom& r : ref) {
    for (const FileAtom& c : comp) {
      if (r.name == c.name && !r.hydrogen && !c.hydrogen) {
        rigid.push_back(r.xyz);
        mobile.push_back(c.xyz);
      }
    }
  }
  ASSERT_EQ(rigid.size(), 22u);

  const auto run = runKestrum({"-r", dataPath("e2e_1c9_4i23.pdb"), "-c",
                               dataPath("e2e_1c9_4i24.pdb"), "-g", "NAME"});
  ASSERT_EQ(run.status, 0) << run.err;
  expectPrintedPoint(numbersAfter(run.out, " Reference Molecule barycenter : "),
                     heavyBarycenter(ref));
  expectPrintedPoint(numbersAfter(run.out, "Comparison Molecule barycenter : "),
                     heavyBarycenter(comp));
  const auto rmsd = numbersAfter(run.out, "RMSD : ");
  ASSERT_EQ(rmsd.size(), 1u);
  expectPrinted(rmsd[0], VXMole::kabschRmsd(rigid, mobile));
  EXPECT_GT(rmsd[0], 0.05);  // a real difference between two crystals, not a copy
}

// A moved, slightly shaken copy of a ligand pairs atom for atom in every mode: by name and by
// number the heavy atoms, whole molecules every atom.
TEST(KestrumFit, MovedCopyInEveryModeMatchesKabsch) {
  TempDir dir;
  const std::string refText = readFile(dataPath("e2e_acp_chain_a.pdb"));
  const std::string compPath = dir.file("moved.pdb");
  writeFile(compPath, movedPdb(refText, 0.9, 0.15));
  const auto ref = pdbAtoms(refText);
  const auto comp = pdbAtoms(readFile(compPath));
  ASSERT_EQ(ref.size(), comp.size());

  std::vector<Coords> heavyRef, heavyComp, allRef, allComp;
  for (size_t i = 0; i < ref.size(); ++i) {
    allRef.push_back(ref[i].xyz);
    allComp.push_back(comp[i].xyz);
    if (!ref[i].hydrogen) {
      heavyRef.push_back(ref[i].xyz);
      heavyComp.push_back(comp[i].xyz);
    }
  }
  struct Case {
    std::vector<std::string> mode;
    double expected;
  };
  for (const Case& c : {Case{{"-g", "NAME"}, VXMole::kabschRmsd(heavyRef, heavyComp)},
                        Case{{"-g", "ID"}, VXMole::kabschRmsd(heavyRef, heavyComp)},
                        Case{{}, VXMole::kabschRmsd(allRef, allComp)},
                        Case{{"-g", "name"}, VXMole::kabschRmsd(allRef, allComp)}}) {
    std::vector<std::string> args{"-r", dataPath("e2e_acp_chain_a.pdb"), "-c", compPath};
    args.insert(args.end(), c.mode.begin(), c.mode.end());
    const auto run = runKestrum(args);
    ASSERT_EQ(run.status, 0) << run.err;
    expectPrintedPoint(numbersAfter(run.out, " Reference Molecule barycenter : "),
                       heavyBarycenter(ref));
    expectPrintedPoint(numbersAfter(run.out, "Comparison Molecule barycenter : "),
                       heavyBarycenter(comp));
    const auto rmsd = numbersAfter(run.out, "RMSD : ");
    ASSERT_EQ(rmsd.size(), 1u);
    expectPrinted(rmsd[0], c.expected);
  }
}

}  // namespace
