// The MOL2 writer's quick way of writing numbers against printf, which it stands in for: the
// same digits written.
#include <gtest/gtest.h>
#include <unistd.h>  // for getpid

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "atome.h"
#include "global.h"
#include "molecule.h"
#include "molewriter.h"

namespace fs = std::filesystem;
using namespace VXMole;

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
