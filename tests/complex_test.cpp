// Tests of Complex: sorting molecules by type, clearing, and reading whole files into it.
#include "complex.h"

#include <gtest/gtest.h>

#include <string>

namespace VXMole {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const std::string kData = KESTRUM_TEST_DATA;

TEST(Complex, AddMoleculeRoutesByType) {
  Complex complex;
  for (unsigned type : {2u, 0u, 7u, 1u, 3u, 4u, 5u, 6u, 8u, 17u}) {
    auto* m = new Molecule(type);
    m->setName(std::to_string(type));
    complex.addMolecule(m);
  }
  EXPECT_THROW(complex.addMolecule(nullptr), boost::bad_pointer);

  auto names = [](const boost::ptr_vector<Molecule>& list) {
    std::string text;
    for (const Molecule& m : list) text += m.getName() + " ";
    return text;
  };
  EXPECT_EQ(names(complex.proteins), "2 ");
  EXPECT_EQ(names(complex.ligands), "0 7 ");
  EXPECT_EQ(names(complex.others), "1 3 4 5 6 8 17 ");

  complex.clear();
  EXPECT_TRUE(complex.proteins.empty());
  EXPECT_TRUE(complex.ligands.empty());
  EXPECT_TRUE(complex.others.empty());
  complex.addMolecule(new Molecule(kMoleProtein));
  EXPECT_EQ(complex.proteins.size(), 1u);
}

// The three loaders file what they read as proteins, ligands and others respectively.
TEST(Complex, FileLoadersReadEveryMoleculeIntoTheirList) {
  const std::string path = kData + "/mol2_ligand_amptrb10.mol2";
  Complex complex;
  CaptureStdout();
  CaptureStderr();
  complex.addLigandFile(path);
  complex.addProteinFile(path);
  complex.addOthersFile(path);
  GetCapturedStderr();
  GetCapturedStdout();
  ASSERT_EQ(complex.ligands.size(), 1u);
  ASSERT_EQ(complex.proteins.size(), 1u);
  ASSERT_EQ(complex.others.size(), 1u);
  EXPECT_EQ(complex.ligands[0].getType(), static_cast<unsigned>(kMoleLigand));
  EXPECT_EQ(complex.proteins[0].getType(), static_cast<unsigned>(kMoleProtein));
  EXPECT_EQ(complex.others[0].getType(), static_cast<unsigned>(kMoleOther));
  EXPECT_GT(complex.ligands[0].numAtoms(), 0u);
  EXPECT_EQ(complex.ligands[0].numAtoms(), complex.others[0].numAtoms());

  CaptureStdout();
  CaptureStderr();
  complex.addLigandFile(kData + "/mol2_small_molecules.mol2");
  GetCapturedStderr();
  GetCapturedStdout();
  EXPECT_EQ(complex.ligands.size(), 1u + 16u);
}

TEST(Complex, FileLoaderReportsTheErrorAndGivesTheFileUp) {
  Complex complex;
  const std::string missing = kData + "/no_such_file.pdb";
  CaptureStderr();
  complex.addProteinFile(missing);
  EXPECT_EQ(GetCapturedStderr(),
            "110013\tMoleReader::CONSTRUCTOR\tUnable to open " + missing + "\n");

  CaptureStderr();
  complex.addOthersFile(kData + "/SOURCES.md");
  const std::string err = GetCapturedStderr();
  EXPECT_EQ(err.rfind("110012\tMoleReader::CONSTRUCTOR\tUnrecognized file format", 0), 0u) << err;
  EXPECT_TRUE(complex.proteins.empty());
  EXPECT_TRUE(complex.ligands.empty());
  EXPECT_TRUE(complex.others.empty());
}

}  // namespace
}  // namespace VXMole
