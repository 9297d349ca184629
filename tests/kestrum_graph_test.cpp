// End-to-end tests of pairing by bond graph (-g GRAPH) and of the RMSD in place (-n), run on the
// built executable and compared with RDKit's values for the same heavy atoms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tool_runner.h"

using namespace kestrum_test;

namespace {

// The value on the line of stdout that starts with `label`; NaN when there is none.
double valueAfter(const std::string& out, const std::string& label) {
  const size_t at = out.find("\n" + label);
  if (at == std::string::npos) return std::nan("");
  return std::stod(out.substr(at + 1 + label.size()));
}

// RDKit 2022.09's GetBestRMS and CalcRMS on the heavy atoms (tests/interop/graphmatch.py's
// rdkit_values).
struct RDKitValues {
  double fitted;
  double inPlace;
};

// Every "RMSD : " and "RMSD in place : " value of a run, in order.
std::vector<RDKitValues> printedValues(const std::string& out) {
  std::vector<RDKitValues> values;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("RMSD : ", 0) == 0) values.push_back({std::stod(line.substr(7)), std::nan("")});
    if (line.rfind("RMSD in place : ", 0) == 0 && !values.empty())
      values.back().inPlace = std::stod(line.substr(16));
  }
  return values;
}

void expectValues(const ToolRun& run, const std::vector<RDKitValues>& rdkit) {
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<RDKitValues> printed = printedValues(run.out);
  ASSERT_EQ(printed.size(), rdkit.size()) << run.out;
  for (size_t k = 0; k < rdkit.size(); ++k) {
    // Printed with six significant digits.
    EXPECT_NEAR(printed[k].fitted, rdkit[k].fitted, 5e-6 * std::max(1.0, rdkit[k].fitted)) << k;
    EXPECT_NEAR(printed[k].inPlace, rdkit[k].inPlace, 5e-6 * std::max(1.0, rdkit[k].inPlace)) << k;
  }
}

// Two chains of one entry; a file of three poses (two conformers and the crystal pose with its
// nitro and sulfonyl oxygens swapped, each shuffled); five docked SDF poses against their
// crystal pose: each pose is mapped on its own, the fitted RMSD the least over the symmetries of
// the fit, the RMSD in place the least in place, as RDKit gives them.
TEST(KestrumGraph, EveryPoseGetsRDKitsFittedAndInPlaceRmsd) {
  expectValues(runKestrum({"-r", dataPath("e2e_acp_chain_a.pdb"), "-c",
                           dataPath("e2e_acp_chain_b.pdb"), "-g", "GRAPH", "-n"}),
               {{1.335218, 1.772133}});
  expectValues(runKestrum({"-r", dataPath("graph_cdk2_reference.mol2"), "-c",
                           dataPath("graph_cdk2_three_poses.mol2"), "-g", "GRAPH", "-n"}),
               {{0.310513, 1.433184}, {0.809509, 10.526051}, {0.0, 0.0}});
  expectValues(runKestrum({"-r", dataPath("poses_cdk2_crystal.mol2"), "-c",
                           dataPath("poses_cdk2_five.sdf"), "-g", "GRAPH", "-n"}),
               {{0.204527, 2.945353},
                {0.237794, 9.653347},
                {0.235730, 15.906318},
                {0.265691, 5.972314},
                {0.272578, 9.080688}});
}

// -n adds one line right after the RMSD line and changes nothing else: the same fit, the same
// carried file, byte for byte.
TEST(KestrumGraph, InPlaceLineIsAddedAfterTheRmsdAndChangesNothingElse) {
  TempDir out;
  std::vector<std::string> args = {"-r", dataPath("e2e_acp_chain_a.pdb"),
                                   "-c", dataPath("e2e_acp_chain_b.pdb"),
                                   "-g", "GRAPH",
                                   "-a", dataPath("e2e_acp_chain_b.pdb"),
                                   "-p", out.path()};
  const std::string written = out.file("rot_e2e_acp_chain_b.mol2");
  const ToolRun plain = runKestrum(args);
  ASSERT_EQ(plain.status, 0) << plain.err;
  const std::string plainFile = readFile(written);
  args.push_back("-n");
  const ToolRun added = runKestrum(args);
  ASSERT_EQ(added.status, 0) << added.err;
  const size_t rmsdEnd = plain.out.find('\n', plain.out.find("\nRMSD : ") + 1) + 1;
  EXPECT_EQ(added.out,
            plain.out.substr(0, rmsdEnd) + "RMSD in place : 1.77213\n" + plain.out.substr(rmsdEnd));
  // The MOL2 header's time stamp may differ by a second.
  auto body = [](const std::string& text) { return text.substr(text.find("@<TRIPOS>ATOM")); };
  EXPECT_EQ(body(readFile(written)), body(plainFile));
}

// Every mode prints the line: by name over the kept pairs, whole molecules over every atom in
// file order, hydrogens included. A fit that fails prints none.
TEST(KestrumGraph, InPlaceRmsdInEveryMode) {
  const std::string a = dataPath("e2e_acp_chain_a.pdb"), b = dataPath("e2e_acp_chain_b.pdb");
  // Every atom of chain A against chain B, as the files list them.
  auto coordinates = [](const std::string& path) {
    std::vector<double> xyz;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line))
      if (line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0)
        for (int k = 0; k < 3; ++k) xyz.push_back(std::stod(line.substr(30 + 8 * k, 8)));
    return xyz;
  };
  const std::vector<double> ra = coordinates(a), rb = coordinates(b);
  ASSERT_EQ(ra.size(), rb.size());
  double sum = 0;
  for (size_t k = 0; k < ra.size(); ++k) sum += (ra[k] - rb[k]) * (ra[k] - rb[k]);
  const double whole = std::sqrt(sum / static_cast<double>(ra.size() / 3));

  const ToolRun plain = runKestrum({"-r", a, "-c", b, "-n"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NEAR(valueAfter(plain.out, "RMSD in place : "), whole, 1e-5 * whole);
  for (const char* mode : {"NAME", "ID", "ELEMENT"}) {
    const ToolRun run = runKestrum({"-r", a, "-c", b, "-g", mode, "-n"});
    ASSERT_EQ(run.status, 0) << mode << run.err;
    EXPECT_GT(valueAfter(run.out, "RMSD in place : "), 0) << mode;
  }
  const ToolRun failed =
      runKestrum({"-r", dataPath("e2e_1c9_4i23.pdb"), "-c", dataPath("e2e_1c9_4i24.pdb"), "-n"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out.find("in place"), std::string::npos) << failed.out;
}

// Two entries' ligands that differ by six atoms: one line naming both files, both counts and the
// first difference; status 1 and nothing written.
TEST(KestrumGraph, GraphsThatDifferStopTheRunAndWriteNothing) {
  TempDir out;
  const std::string small = dataPath("e2e_1c9_4i23.pdb"), large = dataPath("e2e_1c9_4i24.pdb");
  const ToolRun run =
      runKestrum({"-r", small, "-c", large, "-g", "GRAPH", "-n", "-a", large, "-p", out.path()});
  EXPECT_EQ(run.status, 1);
  // The reader's lines about the files come first.
  const std::string line = "Pairing by GRAPH cannot map " + large + " onto " + small +
                           ": the heavy-atom bond graphs are not isomorphic (reference: 22 heavy "
                           "atoms, 24 bonds; comparison: 28 heavy atoms, 30 bonds): C atoms: 15 "
                           "in the reference, 19 in the comparison\n";
  ASSERT_GE(run.err.size(), line.size()) << run.err;
  EXPECT_EQ(run.err.substr(run.err.size() - line.size()), line);
  EXPECT_EQ(run.out.find("RMSD"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

}  // namespace
