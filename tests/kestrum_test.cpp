// End-to-end tests: the built Kestrum executable on the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "complex.h"
#include "coords.h"
#include "lsq_reference.h"
#include "molecule.h"
#include "molereader.h"
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
  for (const auto& args :
       {std::vector<std::string>{"-r", "x"}, std::vector<std::string>{"-c", "y", "-g", "NAME"},
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

// The three lines of a fit: both heavy-atom barycentres and the RMSD.
void expectFitLines(const std::string& out, const std::vector<FileAtom>& ref,
                    const std::vector<FileAtom>& comp, double rmsd) {
  expectPrintedPoint(numbersAfter(out, " Reference Molecule barycenter : "), heavyBarycenter(ref));
  expectPrintedPoint(numbersAfter(out, "Comparison Molecule barycenter : "), heavyBarycenter(comp));
  const auto printed = numbersAfter(out, "RMSD : ");
  ASSERT_EQ(printed.size(), 1u);
  expectPrinted(printed[0], rmsd);
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

  const auto run = runKestrum(
      {"-r", dataPath("e2e_1c9_4i23.pdb"), "-c", dataPath("e2e_1c9_4i24.pdb"), "-g", "NAME"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double rmsd = VXMole::kabschRmsd(rigid, mobile);
  expectFitLines(run.out, ref, comp, rmsd);
  EXPECT_GT(rmsd, 0.05);  // a real difference between two crystals, not a copy
  EXPECT_EQ(run.err.find("WARNING"), std::string::npos) << run.err;  // one partner per name
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
    expectFitLines(run.out, ref, comp, c.expected);
  }
}

}  // namespace

// ---- Whole runs compared with expected outputs kept under tests/data/golden ----

namespace {

struct GoldenCase {
  std::string name;  // directory under tests/data/golden
  // Data files copied into the working directory: data file name -> name there.
  std::vector<std::pair<std::string, std::string>> inputs;
  std::vector<std::string> args;
  std::vector<std::string> directories;  // made in the working directory before the run
};

// The written text with its time stamp lines (which change every run; one per molecule)
// masked.
std::string maskTimeStamp(std::string text) {
  const std::string label = "#    Modification time : ";
  for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) break;
    text.replace(at + label.size(), end - at - label.size(), "<time>");
  }
  return text;
}

// Every regular file under `root`, as paths relative to it.
std::vector<std::string> filesUnder(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files.push_back(std::filesystem::relative(entry.path(), root).string());
  std::sort(files.begin(), files.end());
  return files;
}

// Runs a case in a fresh directory and compares stdout and every file the run wrote with the
// expected ones. KESTRUM_UPDATE_GOLDEN=1 rewrites the expected files instead.
void checkGolden(const GoldenCase& c) {
  SCOPED_TRACE(c.name);
  TempDir work;
  for (const auto& dir : c.directories) std::filesystem::create_directories(work.file(dir));
  std::vector<std::string> inputs;
  for (const auto& [data, name] : c.inputs) {
    std::filesystem::create_directories(std::filesystem::path(work.file(name)).parent_path());
    std::filesystem::copy_file(dataPath(data), work.file(name));
    inputs.push_back(name);
  }
  const auto run = runKestrum(c.args, work.path());
  ASSERT_EQ(run.status, 0) << run.err;

  const std::string golden = dataPath("golden/" + c.name);
  std::vector<std::string> written;
  for (const std::string& file : filesUnder(work.path()))
    if (std::find(inputs.begin(), inputs.end(), file) == inputs.end()) written.push_back(file);

  if (std::getenv("KESTRUM_UPDATE_GOLDEN") != nullptr) {
    std::filesystem::remove_all(golden);
    std::filesystem::create_directories(golden);
    writeFile(golden + "/stdout", run.out);
    for (const std::string& file : written) {
      std::filesystem::create_directories(std::filesystem::path(golden + "/" + file).parent_path());
      writeFile(golden + "/" + file, maskTimeStamp(readFile(work.file(file))));
    }
    return;
  }
  EXPECT_EQ(run.out, readFile(golden + "/stdout"));
  std::vector<std::string> expected = filesUnder(golden);
  expected.erase(std::find(expected.begin(), expected.end(), "stdout"));
  EXPECT_EQ(written, expected);
  for (const std::string& file : expected)
    EXPECT_EQ(maskTimeStamp(readFile(work.file(file))), readFile(golden + "/" + file)) << file;
}

TEST(KestrumGolden, PdbPosesByNameWrittenBesideTheInput) {
  checkGolden({"pdb_name_beside_input",
               {{"e2e_1c9_4i23.pdb", "ref.pdb"}, {"e2e_1c9_4i24.pdb", "poses/comp.pdb"}},
               {"-r", "ref.pdb", "-c", "poses/comp.pdb", "-g", "NAME", "-a", "poses/comp.pdb"},
               {}});
}

TEST(KestrumGolden, Mol2ByIdWithSeveralOtherFilesInPathDir) {
  // -a a b -p out: the -p that ends the list is read as an option.
  checkGolden({"mol2_id_several_files",
               {{"mol2_ligand_amptrb10.mol2", "ref.mol2"},
                {"e2e_amptrb10_moved.mol2", "comp.mol2"},
                {"mol2_small_molecules.mol2", "more.MOL2"}},
               {"-r", "ref.mol2", "-c", "comp.mol2", "-g", "ID", "-a", "comp.mol2", "more.MOL2",
                "-p", "out"},
               {"out"}});
}

TEST(KestrumGolden, WholeMoleculesCarryAProteinIntoPathDirWithTrailingSlash) {
  // With PathDir "out/" the path holds a double slash; a ".pdb" ending becomes ".mol2" and an
  // upper-case ".PDB" is kept.
  checkGolden({"whole_protein_trailing_slash",
               {{"e2e_acp_chain_a.pdb", "a.pdb"},
                {"e2e_acp_chain_b.pdb", "b.pdb"},
                {"pdb_il2_fragments.pdb", "protein.pdb"},
                {"e2e_acp_chain_b.pdb", "LIG.PDB"}},
               {"-r", "a.pdb", "-c", "b.pdb", "-a", "protein.pdb", "LIG.PDB", "-p", "out/"},
               {"out"}});
}

TEST(KestrumGolden, LowerCaseModeFitsWholeMoleculesAndCarriesBothFormats) {
  // "-g name" in lower case leaves the pairing mode at whole molecules.
  checkGolden({"whole_lower_case_mode",
               {{"mol2_ligand_amptrb10.mol2", "ref.mol2"},
                {"e2e_amptrb10_moved.mol2", "comp.mol2"},
                {"e2e_1c9_4i23.pdb", "extra.pdb"}},
               {"-r", "ref.mol2", "-c", "comp.mol2", "-g", "name", "-a", "extra.pdb", "comp.mol2"},
               {}});
}

}  // namespace

// ---- -m prints the transform, -l the atom pairs ----

namespace {

// Names and coordinates of the ATOM records of a MOL2 text.
std::vector<std::pair<std::string, Coords>> mol2Atoms(const std::string& text) {
  std::vector<std::pair<std::string, Coords>> atoms;
  std::istringstream in(text);
  std::string line;
  bool inAtoms = false;
  while (std::getline(in, line)) {
    if (line.rfind("@<TRIPOS>", 0) == 0) {
      inAtoms = line.rfind("@<TRIPOS>ATOM", 0) == 0;
      continue;
    }
    if (!inAtoms || line.empty()) continue;
    std::istringstream fields(line);
    int number = 0;
    std::string name;
    Coords c;
    fields >> number >> name >> c.x >> c.y >> c.z;
    atoms.emplace_back(name, c);
  }
  return atoms;
}

// The transform -m prints: R by rows and t, applied as R.p + t.
struct PrintedTransform {
  std::vector<std::vector<double>> rows;
  std::vector<double> t;
  bool complete() const {
    return t.size() == 3 && rows.size() == 3 &&
           std::all_of(rows.begin(), rows.end(), [](const auto& row) { return row.size() == 3; });
  }
  Coords apply(const Coords& p) const {
    return Coords(rows[0][0] * p.x + rows[0][1] * p.y + rows[0][2] * p.z + t[0],
                  rows[1][0] * p.x + rows[1][1] * p.y + rows[1][2] * p.z + t[1],
                  rows[2][0] * p.x + rows[2][1] * p.y + rows[2][2] * p.z + t[2]);
  }
};

PrintedTransform printedTransform(const std::string& out) {
  PrintedTransform transform;
  for (const char* label : {"Rotation row 1 : ", "Rotation row 2 : ", "Rotation row 3 : "})
    transform.rows.push_back(numbersAfter(out, label));
  transform.t = numbersAfter(out, "Translation    : ");
  return transform;
}

void expectNearPoint(const Coords& got, const Coords& want, double tolerance) {
  EXPECT_NEAR(got.x, want.x, tolerance);
  EXPECT_NEAR(got.y, want.y, tolerance);
  EXPECT_NEAR(got.z, want.z, tolerance);
}

TEST(KestrumReport, TransformPrintedWithMReproducesTheWrittenCoordinates) {
  TempDir dir;
  const std::string comp = dataPath("e2e_amptrb10_moved.mol2");
  // -m after the -a list ends it: the comparison is still carried.
  const auto run = runKestrum({"-r", dataPath("mol2_ligand_amptrb10.mol2"), "-c", comp, "-g",
                               "NAME", "-p", dir.path(), "-a", comp, "-m"});
  ASSERT_EQ(run.status, 0) << run.err;
  const PrintedTransform transform = printedTransform(run.out);
  ASSERT_TRUE(transform.complete()) << run.out;
  // The transform is printed after the RMSD line and before the carried files.
  EXPECT_LT(run.out.find("RMSD : "), run.out.find("Rotation row 1 : "));
  EXPECT_LT(run.out.find("Translation    : "), run.out.find("####"));

  const auto input = mol2Atoms(readFile(comp));
  const auto written = mol2Atoms(readFile(dir.file("rot_e2e_amptrb10_moved.mol2")));
  ASSERT_EQ(input.size(), written.size());
  for (size_t i = 0; i < input.size(); ++i) {
    SCOPED_TRACE(input[i].first);
    expectNearPoint(transform.apply(input[i].second), written[i].second, 1e-4);
  }
}

TEST(KestrumReport, PairsListedWithLKeepExactlyTheCliqueAndGiveTheRmsd) {
  const auto run = runKestrum({"-r", dataPath("mol2_ligand_amptrb10.mol2"), "-c",
                               dataPath("e2e_amptrb10_moved.mol2"), "-g", "ID", "-l"});
  ASSERT_EQ(run.status, 0) << run.err;
  // 14 heavy atoms pair by number; the two displaced ones are dropped.
  EXPECT_NE(run.out.find("Pairs : 14 formed, 12 kept, RMSD "), std::string::npos) << run.out;
  std::istringstream lines(run.out.substr(run.out.find("Pair 1\t")));
  std::string line;
  double sum = 0;
  int kept = 0;
  std::vector<std::string> dropped;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cut(line);
    for (std::string field; std::getline(cut, field, '\t');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 5u) << line;
    const double distance = std::stod(fields[3]);
    if (fields[4] == "kept") {
      sum += distance * distance;
      ++kept;
    } else {
      EXPECT_EQ(fields[4], "dropped");
      dropped.push_back(fields[1].substr(0, fields[1].find(' ')));
      EXPECT_GT(distance, 2.0);
    }
  }
  EXPECT_EQ(kept, 12);
  EXPECT_EQ(dropped, (std::vector<std::string>{"N4", "C61"}));
  // The pair list states the RMSD to eight decimals; the "RMSD : " line to six digits.
  const auto precise = numbersAfter(run.out, "kept, RMSD ");
  ASSERT_EQ(precise.size(), 1u);
  EXPECT_NEAR(std::sqrt(sum / kept), precise[0], 1e-6);
  expectPrinted(numbersAfter(run.out, "RMSD : ").at(0), precise[0]);
}

TEST(KestrumReport, WholeMoleculesListOneLinePerAtom) {
  const auto run = runKestrum(
      {"-r", dataPath("e2e_acp_chain_a.pdb"), "-c", dataPath("e2e_acp_chain_b.pdb"), "-l", "-m"});
  ASSERT_EQ(run.status, 0) << run.err;
  size_t atoms = 0;
  double sum = 0;
  for (size_t at = run.out.find("Atom "); at != std::string::npos;
       at = run.out.find("\nAtom ", at + 1)) {
    const std::string line = run.out.substr(at, run.out.find('\n', at + 1) - at);
    const double distance = std::stod(line.substr(line.rfind('\t') + 1));
    sum += distance * distance;
    ++atoms;
  }
  EXPECT_EQ(atoms, 31u);
  EXPECT_NEAR(std::sqrt(sum / atoms), numbersAfter(run.out, "Atoms : 31 fitted, RMSD ").at(0),
              1e-6);
  expectPrinted(numbersAfter(run.out, "RMSD : ").at(0), std::sqrt(sum / atoms));
  // The transform comes before the atom lines.
  EXPECT_LT(run.out.find("Translation"), run.out.find("Atom 1\t"));
}

TEST(KestrumReport, NothingExtraWithoutTheOptionsOrAfterAFailedFit) {
  const auto plain =
      runKestrum({"-r", dataPath("e2e_acp_chain_a.pdb"), "-c", dataPath("e2e_acp_chain_b.pdb")});
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out.find("Rotation"), std::string::npos);
  EXPECT_EQ(plain.out.find("Atom 1"), std::string::npos);
  // Whole molecules of different sizes: the fit fails, and neither list nor matrix is printed.
  const auto failed = runKestrum(
      {"-r", dataPath("e2e_1c9_4i23.pdb"), "-c", dataPath("e2e_1c9_4i24.pdb"), "-m", "-l"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("RMSD : -100\n"), std::string::npos) << failed.out;
  EXPECT_EQ(failed.out.find("Rotation"), std::string::npos);
  EXPECT_NE(failed.err.find("Mobile and Fixed have different size : 22 28\n"), std::string::npos);
}

}  // namespace

// ---- A written file reads back through the library's own MOL2 reader ----

namespace {

std::unique_ptr<VXMole::Molecule> readFirstMolecule(const std::string& path) {
  VXMole::MoleReader reader(path, VXMole::kFormatDetect);
  return std::unique_ptr<VXMole::Molecule>(reader.loadNextMole(VXMole::kMoleCalcs));
}

TEST(KestrumReadBack, WrittenLigandKeepsAtomsBondsChargesAndSubstructures) {
  TempDir dir;
  const std::string comp = dataPath("e2e_amptrb10_moved.mol2");
  const auto run = runKestrum({"-r", dataPath("mol2_ligand_amptrb10.mol2"), "-c", comp, "-g",
                               "NAME", "-m", "-a", comp, "-p", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  const PrintedTransform transform = printedTransform(run.out);
  ASSERT_TRUE(transform.complete()) << run.out;

  auto input = readFirstMolecule(comp);
  auto output = readFirstMolecule(dir.file("rot_e2e_amptrb10_moved.mol2"));
  ASSERT_TRUE(input && output);
  ASSERT_EQ(input->numAtoms(), output->numAtoms());
  for (size_t i = 0; i < input->numAtoms(); ++i) {
    const VXMole::Atom& a = input->atom(i);
    const VXMole::Atom& b = output->atom(i);
    EXPECT_EQ(a.getName(), b.getName());
    EXPECT_EQ(a.getMOL2type(), b.getMOL2type());
    EXPECT_EQ(a.getMapNum(), b.getMapNum());
    EXPECT_DOUBLE_EQ(a.getPartialCharge(), b.getPartialCharge());
    EXPECT_EQ(a.getResidu()->getName().substr(0, 4), b.getResidu()->getName().substr(0, 4));
    expectNearPoint(transform.apply(a.getFixedCoords()), b.getFixedCoords(), 1e-4);
  }
  ASSERT_EQ(input->numBonds(), output->numBonds());
  for (size_t i = 0; i < input->numBonds(); ++i) {
    EXPECT_EQ(input->bond(i).getFirst()->getMapNum(), output->bond(i).getFirst()->getMapNum());
    EXPECT_EQ(input->bond(i).getSecond()->getMapNum(), output->bond(i).getSecond()->getMapNum());
    EXPECT_EQ(input->bond(i).getType(), output->bond(i).getType());
  }
  EXPECT_EQ(input->numResidues(), output->numResidues());
}

// "-a" ends an -a list as the other options do; a -g value other than NAME or ID fits whole
// molecules, and says so on the error stream only.
TEST(KestrumCommandLine, RepeatedCarryOptionAndUnknownPairingMode) {
  TempDir dir;
  const std::string ligand = dataPath("e2e_1c9_4i23.pdb");
  const auto run = runKestrum({"-r", ligand, "-c", ligand, "-g", "name", "-a", ligand, "-a",
                               dataPath("e2e_acp_chain_a.pdb"), "-p", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("WARNING : -g name is not NAME, ID, ELEMENT, RESIDUE, SEQUENCE or GRAPH"),
            0u)
      << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("rot_e2e_1c9_4i23.mol2")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("rot_e2e_acp_chain_a.mol2")));
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '#'), 72);
}

// A docking file holds its poses as models: each model is fitted on its own, not a mixture of
// all of them, every model is carried into one output, and the CONECT records after the last
// model bond each of them.
TEST(KestrumReadBack, EveryModelOfAMultiModelFileIsFittedAndCarried) {
  TempDir dir;
  std::vector<std::string> atoms, conect;
  std::istringstream source(readFile(dataPath("e2e_1c9_4i24.pdb")));
  for (std::string line; std::getline(source, line);) {
    if (line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0) atoms.push_back(line);
    if (line.rfind("CONECT", 0) == 0) conect.push_back(line);
  }
  std::string models;
  for (int model = 1; model <= 3; ++model) {
    models += "MODEL        " + std::to_string(model) + "\n";
    for (std::string line : atoms) {
      if (model > 1) {  // another pose: shifted and turned a little
        char x[16];
        std::snprintf(x, sizeof x, "%8.3f", std::stod(line.substr(30, 8)) * 0.9 + model);
        line.replace(30, 8, x);
      }
      models += line + "\n";
    }
    models += "ENDMDL\n";
  }
  for (const std::string& line : conect) models += line + "\n";
  models += "END\n";
  const std::string poses = dir.file("poses.pdb");
  writeFile(poses, models);

  const auto single = runKestrum(
      {"-r", dataPath("e2e_1c9_4i23.pdb"), "-c", dataPath("e2e_1c9_4i24.pdb"), "-g", "NAME"});
  const auto run = runKestrum({"-r", dataPath("e2e_1c9_4i23.pdb"), "-c", poses, "-g", "NAME", "-a",
                               poses, "-p", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("only the first one"), std::string::npos) << run.err;
  for (int model = 1; model <= 3; ++model)
    EXPECT_NE(run.out.find("Molecule " + std::to_string(model) + " of 3\n"), std::string::npos)
        << run.out;
  // The first model is the single file's pose; the others, squeezed along x, fit worse.
  EXPECT_EQ(numbersAfter(run.out, "RMSD : "), numbersAfter(single.out, "RMSD : "));
  auto input = readFirstMolecule(dataPath("e2e_1c9_4i24.pdb"));
  VXMole::MoleReader reader(dir.file("rot_poses.mol2"), VXMole::kFormatDetect);
  VXMole::Complex carried;
  reader.loadInComplex(carried, VXMole::kMoleCalcs);
  ASSERT_EQ(carried.others.size(), 3u);
  for (const VXMole::Molecule& molecule : carried.others) {
    EXPECT_EQ(molecule.numAtoms(), atoms.size());
    EXPECT_EQ(molecule.numBonds(), input->numBonds());
  }
  EXPECT_GT(input->numBonds(), 0u);
}

// Atom numbers past 99,999 (hybrid-36, or "*****") do not stop a run: every record is carried.
TEST(KestrumReadBack, AtomNumbersPast99999AreCarriedWhole) {
  TempDir dir;
  std::string text;
  const char* serials[] = {"99998", "99999", "A0000", "*****", "A0002"};
  for (int i = 0; i < 5; ++i) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "HETATM%5s  C%d  LIG A9999    %8.3f%8.3f%8.3f  1.00  0.00           C\n",
                  serials[i], i + 1, 1.5 * i, 0.3 * i * i, 0.0);
    text += line;
  }
  const std::string path = dir.file("big.pdb");
  writeFile(path, text + "END\n");
  const auto run = runKestrum({"-r", path, "-c", path, "-a", path, "-p", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  auto carried = readFirstMolecule(dir.file("rot_big.mol2"));
  ASSERT_TRUE(carried);
  EXPECT_EQ(carried->numAtoms(), 5u);
}

}  // namespace

// ---- -g ELEMENT: pairing without names ----

namespace {

// Each molecule of a MOL2 text, as a text of its own.
std::vector<std::string> mol2Molecules(const std::string& text) {
  const std::string header = "@<TRIPOS>MOLECULE";
  std::vector<std::string> molecules;
  for (size_t at = text.find(header); at != std::string::npos;) {
    const size_t next = text.find(header, at + header.size());
    molecules.push_back(text.substr(at, next == std::string::npos ? next : next - at));
    at = next;
  }
  return molecules;
}

// Atoms of a MOL2 text whose type is not "H".
size_t heavyAtoms(const std::string& mol2) {
  size_t heavy = 0;
  std::istringstream in(mol2.substr(mol2.find("@<TRIPOS>ATOM")));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && line.rfind("@<TRIPOS>", 0) != 0) {
    std::istringstream fields(line);
    std::string number, name, x, y, z, type;
    if (fields >> number >> name >> x >> y >> z >> type) heavy += type != "H";
  }
  return heavy;
}

struct PairSummary {
  unsigned formed = 0, kept = 0;
  double rmsd = -1;
};

// The "Pairs : N formed, K kept, RMSD r" line of -l.
PairSummary pairSummary(const std::string& out) {
  PairSummary s;
  const size_t at = out.find("Pairs : ");
  if (at != std::string::npos)
    std::sscanf(out.c_str() + at, "Pairs : %u formed, %u kept, RMSD %lf", &s.formed, &s.kept,
                &s.rmsd);
  return s;
}

// The reference atoms of the "Pair" lines of -l: those that found a partner.
size_t pairedReferenceAtoms(const std::string& out) {
  std::set<std::string> atoms;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Pair ", 0) != 0) continue;
    const size_t from = line.find('\t') + 1;
    atoms.insert(line.substr(from, line.find('\t', from) - from));
  }
  return atoms.size();
}

// Two real ligands whose atoms Open Babel names by element alone, against copies of themselves
// moved, shuffled and shaken by 0.03 Å (the library's pairing test covers all six): by name
// every carbon pairs with every carbon and the greedy clique goes wrong, which the run says in
// one line on the error stream only, with the counts -l lists; by element the fit reaches the
// noise.
TEST(KestrumElement, AmbiguousPairingByNameIsSaidAndElementFitsToTheNoise) {
  const auto references = mol2Molecules(readFile(dataPath("element_ligands.mol2")));
  const auto copies = mol2Molecules(readFile(dataPath("element_ligands_moved.mol2")));
  ASSERT_EQ(references.size(), 6u);
  ASSERT_EQ(copies.size(), references.size());
  TempDir dir;
  const std::string ref = dir.file("ref.mol2"), comp = dir.file("comp.mol2");
  for (size_t k : {2, 3}) {
    SCOPED_TRACE(k);
    writeFile(ref, references[k]);
    writeFile(comp, copies[k]);
    const auto byElement = runKestrum({"-r", ref, "-c", comp, "-g", "ELEMENT", "-l"});
    ASSERT_EQ(byElement.status, 0) << byElement.err;
    const PairSummary element = pairSummary(byElement.out);
    EXPECT_LT(element.rmsd, 0.1) << byElement.out;
    EXPECT_GE(element.kept * 10, heavyAtoms(references[k]) * 9) << byElement.out;
    EXPECT_EQ(byElement.err.find("WARNING"), std::string::npos) << byElement.err;

    const auto byName = runKestrum({"-r", ref, "-c", comp, "-g", "NAME", "-l"});
    ASSERT_EQ(byName.status, 0) << byName.err;
    const PairSummary name = pairSummary(byName.out);
    EXPECT_GT(name.rmsd, 0.1) << byName.out;
    EXPECT_EQ(byName.out.find("WARNING"), std::string::npos);
    const std::string warning = "WARNING : pairing by NAME may join the wrong atoms: ";
    ASSERT_NE(byName.err.find(warning), std::string::npos) << byName.err;
    EXPECT_NE(byName.err.find(" names repeat within the molecules and "), std::string::npos);
    EXPECT_NE(byName.err.find(" pairs were formed from them (" + std::to_string(name.kept) +
                              " pairs kept, " + std::to_string(pairedReferenceAtoms(byName.out)) +
                              " reference atoms found a partner)"),
              std::string::npos)
        << byName.err;
    EXPECT_NE(byName.err.find("; -g ELEMENT suits small molecules\n"), std::string::npos)
        << byName.err;
    EXPECT_EQ(byName.err.find("WARNING", byName.err.find(warning) + 1), std::string::npos);
  }

  // "ELEMENT" is exact: in lower case the whole molecules are fitted in file order.
  const auto lower = runKestrum({"-r", ref, "-c", comp, "-g", "element"});
  EXPECT_GT(numbersAfter(lower.out, "RMSD : ").at(0), 1.0) << lower.out;
}

TEST(KestrumElement, LigandFitCarriesTheProtein) {
  TempDir dir;
  const auto references = mol2Molecules(readFile(dataPath("element_ligands.mol2")));
  const auto copies = mol2Molecules(readFile(dataPath("element_ligands_moved.mol2")));
  writeFile(dir.file("a.mol2"), references[0]);
  writeFile(dir.file("b.mol2"), copies[0]);
  const std::string protein = dataPath("pdb_il2_fragments.pdb");
  const auto run = runKestrum({"-r", dir.file("a.mol2"), "-c", dir.file("b.mol2"), "-g", "ELEMENT",
                               "-a", protein, "-p", dir.path(), "-m"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_LT(numbersAfter(run.out, "RMSD : ").at(0), 0.1);
  const PrintedTransform transform = printedTransform(run.out);
  ASSERT_TRUE(transform.complete()) << run.out;
  const auto input = pdbAtoms(readFile(protein));
  const auto written = mol2Atoms(readFile(dir.file("rot_pdb_il2_fragments.mol2")));
  ASSERT_EQ(input.size(), written.size());
  for (size_t i = 0; i < input.size(); ++i)
    expectNearPoint(transform.apply(input[i].xyz), written[i].second, 1e-4);
}

}  // namespace

// ---- Files of several molecules: docking poses, NMR models ----

namespace {

// The output's blocks of a comparison file of several molecules, each from its "Molecule k of
// n" line up to the next one (the last up to the end).
std::vector<std::string> moleculeBlocks(const std::string& out) {
  std::vector<std::string> blocks;
  for (size_t at = out.find("\nMolecule "); at != std::string::npos;) {
    const size_t next = out.find("\nMolecule ", at + 1);
    blocks.push_back(out.substr(at + 1, next == std::string::npos ? next : next - at));
    at = next;
  }
  return blocks;
}

// The heavy-atom RMSD of two MOL2 molecules of one atom order, atom by atom.
double inOrderRmsd(const std::string& a, const std::string& b) {
  const auto first = mol2Atoms(a), second = mol2Atoms(b);
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i < first.size() && i < second.size(); ++i) {
    if (first[i].first[0] == 'H') continue;
    const Coords &p = first[i].second, &q = second[i].second;
    sum += (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z);
    ++n;
  }
  return n == 0 ? -1 : std::sqrt(sum / n);
}

// Five SDF poses of one ligand against its crystal pose as MOL2 (Open Babel's conversion, same
// atom order), by element: one block per pose in file order with its name, its pairs and its
// RMSD, and -m and -l for each; the pose file carried with itself comes back with each pose
// moved by its own fit onto the crystal pose, at the RMSD printed for it, its data item kept.
TEST(KestrumPoses, EachSdfPoseIsFittedAndThePoseFileComesBackSuperposed) {
  TempDir dir;
  const std::string crystal = dataPath("poses_cdk2_crystal.mol2");
  const std::string poses = dataPath("poses_cdk2_five.sdf");
  const auto run = runKestrum(
      {"-r", crystal, "-c", poses, "-g", "ELEMENT", "-m", "-l", "-a", poses, "-p", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  // No barycentre line comes before the first block.
  const std::string first = "Molecule 1 of 5 : ZINC03814457_pose1\n";
  EXPECT_EQ(run.out.find("Comparison Molecule barycenter"), run.out.find(first) + first.size())
      << run.out;
  const auto blocks = moleculeBlocks(run.out);
  ASSERT_EQ(blocks.size(), 5u) << run.out;
  const auto written = mol2Molecules(readFile(dir.file("rot_poses_cdk2_five.mol2")));
  ASSERT_EQ(written.size(), 5u);
  const std::string reference = readFile(crystal);
  for (size_t k = 0; k < 5; ++k) {
    const std::string pose = std::to_string(k + 1);
    EXPECT_EQ(blocks[k].rfind("Molecule " + pose + " of 5 : ZINC03814457_pose" + pose + "\n", 0),
              0u)
        << blocks[k];
    EXPECT_EQ(numbersAfter(blocks[k], "Pairs kept : "), std::vector<double>{17});
    EXPECT_TRUE(printedTransform(blocks[k]).complete()) << blocks[k];
    const PairSummary pairs = pairSummary(blocks[k]);
    EXPECT_EQ(pairs.kept, 17u);
    const double rmsd = numbersAfter(blocks[k], "RMSD : ").at(0);
    EXPECT_NEAR(pairs.rmsd, rmsd, 1e-5);
    EXPECT_LT(rmsd, 0.5);
    // By element each heavy atom finds itself: the written pose lies on the crystal pose.
    EXPECT_NEAR(inOrderRmsd(written[k], reference), rmsd, 1e-3) << pose;
    EXPECT_NE(written[k].find("ZINC03814457_pose" + pose + "\n"), std::string::npos);
    EXPECT_NE(written[k].find("> <minimizedAffinity>\n"), std::string::npos) << written[k];
  }
  EXPECT_EQ(run.err.find("only the first one"), std::string::npos) << run.err;
}

// With one fitted molecule every molecule of each carried file is moved by its transform and
// written into one file: the nine Vina poses with their scores in order, the three NMR models.
TEST(KestrumPoses, OneFitCarriesEveryMoleculeOfEachFile) {
  TempDir dir;
  const std::string crystal = dataPath("poses_cdk2_crystal.mol2");
  const std::string vina = dataPath("pdbqt_cdk2_vina_nine.pdbqt");
  const std::string nmr = dataPath("pdb_2k39_three_models.pdb");
  const auto run = runKestrum(
      {"-r", crystal, "-c", crystal, "-g", "ELEMENT", "-m", "-a", vina, nmr, "-p", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("Molecule 1 of"), std::string::npos) << run.out;
  const PrintedTransform transform = printedTransform(run.out);
  ASSERT_TRUE(transform.complete());
  const auto poses = mol2Molecules(readFile(dir.file("rot_pdbqt_cdk2_vina_nine.mol2")));
  ASSERT_EQ(poses.size(), 9u);
  const char* scores[] = {"-9.1", "-8.8", "-8.5", "-8.2", "-7.9", "-7.6", "-7.3", "-7.0", "-6.7"};
  for (size_t k = 0; k < 9; ++k)
    EXPECT_NE(poses[k].find("> <VINA RESULT>\n" + std::string(scores[k]) + " "), std::string::npos)
        << poses[k];
  const auto models = mol2Molecules(readFile(dir.file("rot_pdb_2k39_three_models.mol2")));
  ASSERT_EQ(models.size(), 3u);
  // Each model is moved by the one transform: its atoms are the file's, in order.
  std::vector<FileAtom> input = pdbAtoms(readFile(nmr));
  ASSERT_EQ(input.size(), 3 * 167u);
  for (size_t m = 0; m < 3; ++m) {
    const auto atoms = mol2Atoms(models[m]);
    ASSERT_EQ(atoms.size(), 167u);
    for (size_t i = 0; i < atoms.size(); i += 40)
      expectNearPoint(transform.apply(input[m * 167 + i].xyz), atoms[i].second, 1e-4);
  }
}

// With five fitted poses, a carried file of nine molecules is refused with both counts and not
// written, the pose file itself still is, and the run ends with status 1.
TEST(KestrumPoses, ACarriedFileOfAnotherCountIsRefusedAndTheOthersWritten) {
  TempDir dir;
  const std::string poses = dataPath("poses_cdk2_five.sdf");
  const std::string vina = dataPath("pdbqt_cdk2_vina_nine.pdbqt");
  const auto run = runKestrum({"-r", dataPath("poses_cdk2_crystal.mol2"), "-c", poses, "-g",
                               "ELEMENT", "-a", vina, poses, "-p", dir.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(vina + " holds 9 molecules, but 5 molecules of " + poses + " were fitted"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("it is not written"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("rot_pdbqt_cdk2_vina_nine.mol2")));
  EXPECT_EQ(mol2Molecules(readFile(dir.file("rot_poses_cdk2_five.mol2"))).size(), 5u);
}

// SDF records one after another, each up to and with its "$$$$" line.
std::vector<std::string> sdfRecords(const std::string& text) {
  std::vector<std::string> records;
  const std::string end = "$$$$\n";
  for (size_t from = 0, at; (at = text.find(end, from)) != std::string::npos;
       from = at + end.size())
    records.push_back(text.substr(from, at + end.size() - from));
  return records;
}

// Whole molecules of another atom count cannot be fitted: the records of the crystal pose's
// count are, the other one says why and which it is, nothing is carried, and the run ends with
// status 1.
TEST(KestrumPoses, AMoleculeThatCannotBeFittedIsNamedAndNothingIsCarried) {
  TempDir dir;
  const auto cdk2 = sdfRecords(readFile(dataPath("sdf_cdk2_three.sdf")));
  const auto charged = sdfRecords(readFile(dataPath("sdf_nci_charged.sdf")));
  ASSERT_EQ(cdk2.size(), 3u);
  ASSERT_FALSE(charged.empty());
  const std::string mixed = dir.file("mixed.sdf");
  writeFile(mixed, cdk2[0] + charged[0] + cdk2[1]);
  const auto run = runKestrum({"-r", dataPath("poses_cdk2_crystal.mol2"), "-c", mixed, "-a",
                               dataPath("poses_cdk2_five.sdf"), "-p", dir.path()});
  EXPECT_EQ(run.status, 1);
  const auto blocks = moleculeBlocks(run.out);
  ASSERT_EQ(blocks.size(), 3u) << run.out;
  EXPECT_NE(blocks[0].find("Atoms fitted : 30\nRMSD : "), std::string::npos) << blocks[0];
  EXPECT_NEAR(numbersAfter(blocks[0], "RMSD : ").at(0), 0, 1e-3);
  EXPECT_NE(blocks[1].find("RMSD : -100"), std::string::npos) << blocks[1];
  EXPECT_NE(blocks[2].find("Atoms fitted : 30\nRMSD : "), std::string::npos) << blocks[2];
  EXPECT_NE(run.err.find("Molecule 2 of " + mixed + " is not fitted"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("Molecule 1 of " + mixed), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("1 of the 3 molecules of " + mixed +
                         " could not be fitted: no other molecule written"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("rot_poses_cdk2_five.mol2")));
}

}  // namespace
