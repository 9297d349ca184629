// Tests of the mmCIF reader and of reading by file name (gzip, mmCIF, PDB, MOL2).
#include "cifreader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "structurefile.h"
#include "tool_runner.h"

using namespace VXMole;
using kestrum_test::dataPath;
using kestrum_test::readFile;
using kestrum_test::runKestrum;
using kestrum_test::TempDir;
using kestrum_test::writeFile;

namespace {

// The first molecule of a file of any format, read as the tool reads carried files.
std::unique_ptr<Molecule> readAny(const std::string& path) {
  Complex complex;
  testing::internal::CaptureStderr();
  StructureFile::load(path, complex, 17);
  testing::internal::GetCapturedStderr();
  if (complex.others.empty()) return nullptr;
  return std::unique_ptr<Molecule>(complex.others.release(complex.others.begin()).release());
}

std::string gzipped(const std::string& text) {
  uLongf size = compressBound(text.size()) + 64;
  std::string out(size, '\0');
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY);  // a gzip header
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(size);
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Atoms (without their file numbers, which a converter may renumber) and bonds (by the atoms'
// positions), in a form that does not depend on the order bonds were made in.
std::vector<std::string> atomTexts(const Molecule& m) {
  std::vector<std::string> atoms;
  for (size_t i = 0; i < m.numAtoms(); ++i) {
    const Atom& a = m.atom(i);
    const Coords& p = a.getFixedCoords();
    atoms.push_back(a.getName() + " " + a.getResidu()->getIdentifier() + " " + a.getMOL2type() +
                    " " + std::to_string(p.x) + " " + std::to_string(p.y) + " " +
                    std::to_string(p.z) + " " + std::to_string(a.getAtomicNum()) + a.getAltLoc());
  }
  return atoms;
}

std::set<std::tuple<unsigned, unsigned, int>> bondSet(const Molecule& m) {
  std::set<std::tuple<unsigned, unsigned, int>> bonds;
  for (size_t i = 0; i < m.numBonds(); ++i) {
    const Bond& b = m.bond(i);
    const unsigned x = b.getFirst()->getNum(), y = b.getSecond()->getNum();  // positions
    bonds.emplace(std::min(x, y), std::max(x, y), b.getType());
  }
  return bonds;
}

// Two lists equal, else the first place where they differ.
template <class T>
void expectSame(const std::vector<T>& got, const std::vector<T>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << "at " << i;
}
template <class T>
void expectSame(const std::set<T>& got, const std::set<T>& want) {
  expectSame(std::vector<T>(got.begin(), got.end()), std::vector<T>(want.begin(), want.end()));
}

template <class Fn>
MoleExcept thrown(Fn fn) {
  try {
    fn();
  } catch (const MoleExcept& e) {
    return e;
  }
  ADD_FAILURE() << "no MoleExcept";
  return MoleExcept(0, "", "");
}

}  // namespace

// An entry read from its PDB file and from the mmCIF file gemmi writes of it is the same
// molecule: atoms, names, positions, types, alternate sites, residues and bonds (the ligands'
// perceived from distances where the PDB file has CONECT records).
TEST(CifReader, SameEntryAsFromPdb) {
  const std::pair<const char*, const char*> entries[] = {
      {"interop_3al1.pdb", "cif_3al1_gemmi.cif"}, {"interop_5dpv.pdb", "cif_5dpv_gemmi.cif.gz"}};
  for (const auto& [pdb, cif] : entries) {
    SCOPED_TRACE(cif);
    auto fromPdb = readAny(dataPath(pdb));
    auto fromCif = readAny(dataPath(cif));
    ASSERT_TRUE(fromPdb && fromCif);
    expectSame(atomTexts(*fromCif), atomTexts(*fromPdb));
    expectSame(bondSet(*fromCif), bondSet(*fromPdb));
    EXPECT_EQ(fromCif->numResidues(), fromPdb->numResidues());
  }
}

// PyMOL writes neither auth_atom_id nor auth_comp_id nor auth_seq_id: the label_ items stand in.
TEST(CifReader, LabelItemsStandInForMissingAuthItems) {
  auto fromPymol = readAny(dataPath("cif_3al1_pymol.cif"));
  auto fromPdb = readAny(dataPath("interop_3al1.pdb"));
  ASSERT_TRUE(fromPymol && fromPdb);
  ASSERT_EQ(fromPymol->numAtoms(), fromPdb->numAtoms());
  std::multiset<std::string> names, expected;
  for (size_t i = 0; i < fromPdb->numAtoms(); ++i) {
    names.insert(fromPymol->atom(i).getName() + fromPymol->atom(i).getResidu()->getName() +
                 std::to_string(fromPymol->atom(i).getResidu()->getNum()));
    expected.insert(fromPdb->atom(i).getName() + fromPdb->atom(i).getResidu()->getName() +
                    std::to_string(fromPdb->atom(i).getResidu()->getNum()));
  }
  EXPECT_EQ(names, expected);
  EXPECT_EQ(fromPymol->numBonds(), fromPdb->numBonds());
}

// Each model a molecule, as each MODEL of a PDB file; covalent and metal _struct_conn entries
// bond their atoms (within one site, not to a symmetry mate), as a PDB file's CONECT records
// do; hydrogen bonds do not. A name given as a text field is read without its ";" lines.
TEST(CifReader, EachModelAMoleculeAndCovalentConnections) {
  const std::string cif =
      "data_test\n"
      "loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n"
      "_atom_site.label_atom_id\n_atom_site.label_alt_id\n_atom_site.label_comp_id\n"
      "_atom_site.auth_asym_id\n_atom_site.auth_seq_id\n_atom_site.Cartn_x\n"
      "_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.pdbx_formal_charge\n"
      "_atom_site.pdbx_PDB_model_num\n"
      "HETATM 1 C C1 . LIG A 1 0.0 0.0 0.0 ? 1\n"
      "HETATM 2 C\n;C2\n;\n. LIG A 1 5.0 0.0 0.0 ? 1\n"
      "HETATM 3 N N1 . LIG B 2 0.0 5.0 0.0 1 1\n"
      "HETATM 4 ZN ZN . ZN B 3 0.0 9.0 0.0 2 1\n"
      "HETATM 1 C C1 . LIG A 1 9.0 9.0 9.0 ? 2\n"
      "loop_\n_struct_conn.id\n_struct_conn.conn_type_id\n"
      "_struct_conn.ptnr1_auth_asym_id\n_struct_conn.ptnr1_label_comp_id\n"
      "_struct_conn.ptnr1_auth_seq_id\n_struct_conn.ptnr1_label_atom_id\n"
      "_struct_conn.ptnr1_symmetry\n"
      "_struct_conn.ptnr2_auth_asym_id\n_struct_conn.ptnr2_label_comp_id\n"
      "_struct_conn.ptnr2_auth_seq_id\n_struct_conn.ptnr2_label_atom_id\n"
      "_struct_conn.ptnr2_symmetry\n"
      "c1 covale A LIG 1 C1 1_555 B LIG 2 N1 1_555\n"
      "c2 covale A LIG 1 C2 1_555 B LIG 2 N1 2_555\n"
      "m1 metalc B LIG 2 N1 1_555 B ZN 3 ZN 1_555\n"
      "h1 hydrog A LIG 1 C2 1_555 B ZN 3 ZN 1_555\n";
  Complex complex;
  testing::internal::CaptureStderr();
  CifReader("test.cif").read(cif, complex, 17);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(complex.others.size(), 2u);
  ASSERT_EQ(complex.others[1].numAtoms(), 1u);  // the second model
  EXPECT_EQ(complex.others[1].atom(0).getFixedCoords().x, 9.0);
  const Molecule& m = complex.others[0];
  ASSERT_EQ(m.numAtoms(), 4u);
  EXPECT_EQ(m.atom(3).getAtomicNum(), 30u);  // "ZN" in the element table's case
  EXPECT_EQ(m.atom(2).getFormalCharge(), 1);
  EXPECT_EQ(m.atom(1).getName(), "C2");
  EXPECT_TRUE(m.atom(0).hasLink(&m.atom(2)));
  EXPECT_FALSE(m.atom(1).hasLink(&m.atom(2)));
  EXPECT_TRUE(m.atom(2).hasLink(&m.atom(3)));
  EXPECT_FALSE(m.atom(1).hasLink(&m.atom(3)));
  EXPECT_EQ(m.numBonds(), 2u);
}

// Each partner of a _struct_conn row is one atom, the first at its address with the row's
// alternate site, else the first there: 3,000 atoms that repeat one _atom_site key on each
// side make one bond, not nine million.
TEST(CifReader, ConnectionPartnersAreOneAtomEach) {
  std::string cif =
      "data_x\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n"
      "_atom_site.label_atom_id\n_atom_site.label_alt_id\n_atom_site.label_comp_id\n"
      "_atom_site.auth_asym_id\n_atom_site.auth_seq_id\n_atom_site.Cartn_x\n"
      "_atom_site.Cartn_y\n_atom_site.Cartn_z\n";
  const int kRepeats = 3000;
  for (int i = 0; i < kRepeats; ++i) {
    // 3 Å apart: no bond is perceived between them.
    const std::string z = std::to_string(3 * i);
    cif += "HETATM " + std::to_string(2 * i + 1) + " C C1 . LIG A 1 0 0 " + z + "\nHETATM " +
           std::to_string(2 * i + 2) + " N N1 . LIG B 2 9 0 " + z + "\n";
  }
  // Two sites of O1 and of S1 in residue 3 of chain C.
  cif +=
      "HETATM 9001 O O1 A LIG C 3 20 0 0\nHETATM 9002 O O1 B LIG C 3 20 0 0.5\n"
      "HETATM 9003 S S1 A LIG C 3 24 0 0\nHETATM 9004 S S1 B LIG C 3 24 0 0.5\n";
  cif +=
      "loop_\n_struct_conn.conn_type_id\n_struct_conn.ptnr1_auth_asym_id\n"
      "_struct_conn.ptnr1_label_comp_id\n_struct_conn.ptnr1_auth_seq_id\n"
      "_struct_conn.ptnr1_label_atom_id\n_struct_conn.pdbx_ptnr1_label_alt_id\n"
      "_struct_conn.ptnr2_auth_asym_id\n_struct_conn.ptnr2_label_comp_id\n"
      "_struct_conn.ptnr2_auth_seq_id\n_struct_conn.ptnr2_label_atom_id\n"
      "_struct_conn.pdbx_ptnr2_label_alt_id\n"
      "covale A LIG 1 C1 . B LIG 2 N1 .\n"
      "covale A LIG 1 C1 B B LIG 2 N1 B\n"  // no such sites: the first atoms, bonded already
      "covale C LIG 3 O1 B C LIG 3 S1 B\n"
      "covale C LIG 3 O1 . C LIG 3 S1 .\n";
  Complex complex;
  testing::internal::CaptureStderr();
  CifReader("repeats.cif").read(cif, complex, 17);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(complex.others.size(), 1u);
  const Molecule& m = complex.others[0];
  ASSERT_EQ(m.numAtoms(), static_cast<size_t>(2 * kRepeats + 4));
  EXPECT_TRUE(m.atom(0).hasLink(&m.atom(1)));
  EXPECT_EQ(m.atom(0).numBonds() + m.atom(1).numBonds(), 2u);
  for (size_t i = 2; i < 2 * kRepeats; ++i) EXPECT_EQ(m.atom(i).numBonds(), 0u) << i;
  const size_t o1 = 2 * kRepeats;  // O1 A, O1 B, S1 A, S1 B
  EXPECT_TRUE(m.atom(o1 + 1).hasLink(&m.atom(o1 + 3)));
  EXPECT_TRUE(m.atom(o1).hasLink(&m.atom(o1 + 2)));
  EXPECT_EQ(m.numBonds(), 3u);
}

TEST(CifReader, BadFilesAreRefusedWithTheirPath) {
  const std::string header =
      "data_x\nloop_\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
      "_atom_site.label_comp_id\n_atom_site.auth_seq_id\n_atom_site.Cartn_x\n"
      "_atom_site.Cartn_y\n_atom_site.Cartn_z\n";
  const struct {
    std::string text;
    unsigned code;
    std::string message;
  } cases[] = {
      {"ATOM 1 N N ALA 1 1.0 2.0 3.0\n", 112011,
       "Unable to read CIF bad.cif:1:1: expected block header (data_)"},
      {"data_x\n_cell.length_a 1.0\n", 112012, "No _atom_site in bad.cif"},
      {header + "1 N N ALA 1 1.0 abc 3.0\n", 112013,
       "A coordinate that is not a number in bad.cif"},
  };
  for (const auto& c : cases) {
    Complex complex;
    const MoleExcept e = thrown([&] { CifReader("bad.cif").read(c.text, complex, 17); });
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.location, "CifReader::Read");
    EXPECT_EQ(e.message, c.message);
  }
  Complex empty;
  CifReader("empty.cif").read(header, empty, 17);  // a table without rows: no molecule
  CifReader("empty.cif").read(" \n", empty, 17);   // nothing at all: no molecule either
  EXPECT_TRUE(empty.others.empty());
}

// A coordinate beyond any molecule is refused with the line it stands on, however the values
// before it are written: quoted, as text fields, with comments, several rows to a line or one
// row over several lines; and in a table of tag-value pairs.
TEST(CifReader, CoordinateBeyondAnyMoleculeNamesItsLine) {
  const std::string header =
      "data_x\n# a comment\nloop_\n_atom_site.id\n_atom_site.type_symbol\n"
      "_atom_site.label_atom_id\n_atom_site.label_comp_id\n_atom_site.auth_seq_id\n"
      "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n";  // rows from line 12
  const struct {
    std::string rows;
    int line;
  } cases[] = {
      {"1 C C1 LIG 1 0 0 0\n2 C C2 LIG 1 0 -2e6 0\n", 13},
      {"1 C 'C 1' LIG 1 0 0 0 2 C \"C2\" LIG 1 0 0 1e308\n", 12},
      {"1 C\n;C1\nstill the name\n;\nLIG 1 0 0 0 # a comment\n2 C C2 LIG 1\n\n1e7 0 0\n", 19},
      {"1 C 'it''s' LIG 1 0 0 0\n2 C C2 LIG 1 0 0 -1000000.5\n", 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    Complex complex;
    const MoleExcept e = thrown([&] { CifReader("far.cif").read(header + c.rows, complex, 17); });
    EXPECT_EQ(e.code, 112014u);
    EXPECT_EQ(e.message, "A coordinate beyond 1e6 in far.cif, line " + std::to_string(c.line));
  }
  Complex complex;
  const MoleExcept e = thrown([&] {
    CifReader("pair.cif")
        .read(
            "data_x\n_atom_site.id 1\n_atom_site.type_symbol C\n_atom_site.Cartn_x 0\n"
            "_atom_site.Cartn_y 0\n_atom_site.Cartn_z 3e6\n",
            complex, 17);
  });
  EXPECT_EQ(e.message, "A coordinate beyond 1e6 in pair.cif, line 6");
  CifReader("near.cif").read(header + "1 C C1 LIG 1 -1000000 999999.9 0\n", complex, 17);
  EXPECT_EQ(complex.others.size(), 1u);
}

// A .gz file reads as the file it holds; corrupt or cut-short data, and data that inflates
// beyond the bound (a gzip bomb), are refused with the path as given.
TEST(StructureFile, GzipFilesAndTheirFaults) {
  TempDir dir;
  const std::string pdb = readFile(dataPath("e2e_1c9_4i24.pdb"));
  writeFile(dir.file("lig.pdb.gz"), gzipped(pdb));
  writeFile(dir.file("lig.mol2.GZ"), gzipped(readFile(dataPath("mol2_ligand_amptrb10.mol2"))));
  auto fromGz = readAny(dir.file("lig.pdb.gz"));
  auto plain = readAny(dataPath("e2e_1c9_4i24.pdb"));
  ASSERT_TRUE(fromGz && plain);
  expectSame(atomTexts(*fromGz), atomTexts(*plain));
  expectSame(bondSet(*fromGz), bondSet(*plain));
  auto mol2 = readAny(dir.file("lig.mol2.GZ"));
  auto plainMol2 = readAny(dataPath("mol2_ligand_amptrb10.mol2"));
  ASSERT_TRUE(mol2 && plainMol2);
  expectSame(atomTexts(*mol2), atomTexts(*plainMol2));
  EXPECT_EQ(mol2->numCycles(), plainMol2->numCycles());

  // Zeros after the last member are padding, as gzip takes them.
  writeFile(dir.file("padded.pdb.gz"), gzipped(pdb) + std::string(1000, '\0'));
  expectSame(atomTexts(*readAny(dir.file("padded.pdb.gz"))), atomTexts(*plain));

  // Two members one after the other are one content.
  const std::string half = pdb.substr(0, pdb.find("HETATM   15"));
  writeFile(dir.file("two.pdb.gz"), gzipped(half) + gzipped(pdb.substr(half.size())));
  EXPECT_EQ(atomTexts(*readAny(dir.file("two.pdb.gz"))), atomTexts(*plain));

  const std::string whole = gzipped(pdb);
  std::string corrupt = whole;
  corrupt[corrupt.size() / 2] ^= 0x5a;
  writeFile(dir.file("cut.pdb.gz"), whole.substr(0, whole.size() / 2));
  writeFile(dir.file("corrupt.pdb.gz"), corrupt);
  writeFile(dir.file("bomb.cif.gz"), gzipped(std::string(20 << 20, ' ')));
  const std::pair<const char*, unsigned> refused[] = {
      {"cut.pdb.gz", 111011}, {"corrupt.pdb.gz", 111011}, {"bomb.cif.gz", 111012}};
  for (const auto& [name, code] : refused) {
    Complex complex;
    const MoleExcept e = thrown([&] { StructureFile::load(dir.file(name), complex, 17); });
    EXPECT_EQ(e.code, code) << name;
    EXPECT_NE(e.message.find(dir.file(name)), std::string::npos) << e.message;
  }
  Complex complex;
  MoleReader reader;
  EXPECT_EQ(
      thrown([&] { StructureFile::load(dir.file("missing.cif.gz"), complex, 17, &reader); }).code,
      110023u);
  EXPECT_EQ(thrown([&] { StructureFile::load(dir.file("x.xyz.gz"), complex, 17); }).message,
            "Unrecognized file format.xyz");
}

// The whole run on compressed and mmCIF files: the same fit and the same written molecule as
// from the plain PDB file, the output named .mol2 whatever the input's ending.
TEST(StructureFile, RunOnMmcifAndGzipWritesWhatThePdbFileGives) {
  TempDir dir;
  const std::string pdb = dataPath("interop_5dpv.pdb");
  writeFile(dir.file("x.pdb.gz"), gzipped(readFile(pdb)));
  std::filesystem::copy_file(dataPath("cif_5dpv_gemmi.cif.gz"), dir.file("y.cif.gz"));
  const std::string cifText =
      readFile(dataPath("cif_3al1_gemmi.cif"));  // a plain one, in upper case
  writeFile(dir.file("Z.MMCIF"), cifText);
  const auto plain = runKestrum({"-r", pdb, "-c", pdb, "-a", pdb, "-p", dir.path()});
  const auto packed = runKestrum({"-r", dir.file("y.cif.gz"), "-c", dir.file("x.pdb.gz"), "-a",
                                  dir.file("y.cif.gz"), dir.file("x.pdb.gz"), dir.file("Z.MMCIF"),
                                  "-p", dir.path()});
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(packed.out.substr(0, packed.out.find("####")),
            plain.out.substr(0, plain.out.find("####")));
  auto body = [](const std::string& text) { return text.substr(text.find("@<TRIPOS>ATOM")); };
  const std::string expected = body(readFile(dir.file("rot_interop_5dpv.mol2")));
  EXPECT_EQ(body(readFile(dir.file("rot_x.mol2"))), expected);
  auto written = readAny(dir.file("rot_y.mol2"));
  auto reference = readAny(dir.file("rot_interop_5dpv.mol2"));
  ASSERT_TRUE(written && reference);
  expectSame(atomTexts(*written), atomTexts(*reference));
  expectSame(bondSet(*written), bondSet(*reference));
  EXPECT_TRUE(std::filesystem::exists(dir.file("rot_Z.mol2")));

  // A .gz of each format writes, byte for byte, what the plain file writes (but the time).
  TempDir plainDir, packedDir;
  std::vector<std::string> plainFiles, packedFiles;
  for (const char* name : {"cif_3al1_gemmi.cif", "mol2_ligand_amptrb10.mol2"}) {
    const std::string file = plainDir.file(name);
    std::filesystem::copy_file(dataPath(name), file);
    writeFile(packedDir.file(std::string(name) + ".gz"), gzipped(readFile(file)));
    plainFiles.push_back(file);
    packedFiles.push_back(packedDir.file(std::string(name) + ".gz"));
  }
  auto carry = [&](const std::vector<std::string>& files) {
    std::vector<std::string> args = {"-r", pdb, "-c", pdb, "-a"};
    args.insert(args.end(), files.begin(), files.end());
    return runKestrum(args);
  };
  ASSERT_EQ(carry(plainFiles).status, 0);
  ASSERT_EQ(carry(packedFiles).status, 0);
  for (const char* name : {"rot_cif_3al1_gemmi.mol2", "rot_mol2_ligand_amptrb10.mol2"}) {
    const std::string a = readFile(plainDir.file(name)), b = readFile(packedDir.file(name));
    ASSERT_FALSE(a.empty()) << name;
    EXPECT_EQ(body(a), body(b)) << name;
  }
}
