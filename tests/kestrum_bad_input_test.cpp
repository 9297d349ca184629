// End-to-end tests of bad input: every case ends with its exit status and message, never with a
// signal or a sanitizer report, and a failed write leaves no output or temporary file behind.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>  // for makedev
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>  // for strsignal
#include <filesystem>
#include <string>
#include <vector>

#include "complex.h"
#include "molecule.h"
#include "molereader.h"
#include "tool_runner.h"

using kestrum_test::readFile;
using kestrum_test::runKestrum;
using kestrum_test::TempDir;
using kestrum_test::ToolRun;
using kestrum_test::writeFile;

namespace fs = std::filesystem;

namespace {

std::string badPath(const std::string& name) {
  return kestrum_test::dataPath("bad/" + name);
}

// The valid three-atom record block of tests/data/bad/ok.pdb, for cases made in the test.
const char* const kAtomRecords[] = {
    "HETATM    1  C1  LIG A   1       0.000   0.000   0.000  1.00  0.00           C",
    "HETATM    2  C2  LIG A   1       1.500   0.000   0.000  1.00  0.00           C",
    "HETATM    3  O3  LIG A   1       1.500   1.500   0.000  1.00  0.00           O",
};

std::string pdbOf(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& record : records) text += record + "\n";
  return text + "END\n";
}

// A PDB text of `count` CA atoms on a grid 1.5 Å apart, residues numbered apart.
std::string calphaLattice(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    char record[82];
    snprintf(record, sizeof record,
             "ATOM  %5d  CA  GLY %c%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n", i % 100000,
             'A' + i / 9999, i % 9999, (i % 10) * 1.5, (i / 10 % 10) * 1.5, (i / 100) * 1.5);
    text += record;
  }
  return text;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(dir, ignored))
    names.push_back(entry.path().filename().string());
  return names;
}

// Whatever the input, the run ends by itself with 0 or 1 and the sanitizers stay silent.
void expectCleanEnd(const ToolRun& run) {
  EXPECT_TRUE(run.status == 0 || run.status == 1) << "status " << run.status << "\n" << run.err;
  EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
}

class KestrumBadInput : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(out()); }

  // The -p directory of the runs.
  std::string out() const { return scratch_.file("out"); }
  std::string scratch(const std::string& name) const { return scratch_.file(name); }

  // Neither a temporary file nor, after a failure, any output.
  void expectNoOutputLeft(const std::string& dir) const {
    for (const std::string& name : filesIn(dir)) {
      EXPECT_NE(name[0], '.') << "temporary file left in " << dir << ": " << name;
      EXPECT_NE(name.rfind("rot_", 0), 0u) << "output of a failed run in " << dir << ": " << name;
    }
  }

  TempDir scratch_;
};

// Where a stored bad file goes on the command line; the other places get ok.pdb.
enum Role { kReference, kComparison, kCarried, kEverywhere };

struct StoredCase {
  const char* file;  // under tests/data/bad
  Role role;
  int status;
  const char* message;  // on the error stream; "{file}" stands for the file's path
};

const StoredCase kStoredCases[] = {
    // Files that hold no molecule at all.
    {"empty.pdb", kReference, 1, " No molecule in reference file \n{file} is empty\n"},
    {"empty.mol2", kComparison, 1,
     "110032\tMoleReader::READ_MOL2\tNO MOLECULE FIND IN FILE :{file}\n"},
    {"binary.pdb", kReference, 1,
     " No molecule in reference file \n{file} holds binary data, not text\n"},
    {"utf16.pdb", kComparison, 1,
     " No molecule in comparison file \n{file} is UTF-16 text: ASCII or UTF-8 text is read\n"},
    {"binary.mol2", kComparison, 1,
     "110032\tMoleReader::READ_MOL2\tNO MOLECULE FIND IN FILE :{file}\n"},
    {"pdb_no_atoms.pdb", kComparison, 1,
     " No molecule in comparison file \n{file} holds no atom record\n"},
    {"pdb_conect_only.pdb", kReference, 1,
     " No molecule in reference file \n{file} holds no atom record\n"},
    {"mol2_no_atoms.mol2", kReference, 1,
     " No molecule in reference file \n{file} holds no atom record\n"},
    {"unknown_format.xyz", kReference, 1,
     "110012\tMoleReader::CONSTRUCTOR\tUnrecognized file format.xyz\n{file} : the name ends in "
     "none of .pdb, .mol2, .cif, .mmcif, .sdf, .sd, .mol and .pdbqt (each may be followed by "
     ".gz), which tell how a file is read\n"},
    {"unknown_format.xyz", kCarried, 1,
     "110022\tMoleReader::Load_NewFile\tUnrecognized file format.xyz\n{file} : the name ends in "
     "none of .pdb, .mol2, .cif, .mmcif, .sdf, .sd, .mol and .pdbqt"},
    // PDB records that cannot be read: blank or non-numeric fields.
    {"pdb_blank_x.pdb", kReference, 1,
     "Error while reading {file}\nReason : basic_string::substr\n"},
    {"pdb_text_y.pdb", kComparison, 1, "Error while reading {file}\nReason : stod\nLine : 2\n"},
    {"pdb_blank_atom_name.pdb", kReference, 1,
     "Error while reading {file}\nReason : basic_string::substr\n"},
    {"pdb_overflowing_coordinate.pdb", kReference, 1,
     "Error while reading {file}\nReason : stod\n"},
    {"pdb_nan_coordinate.pdb", kReference, 1,
     "Error while reading {file}\nReason : coordinate is not a finite number\n"},
    {"pdb_infinite_coordinate.pdb", kCarried, 1,
     "Error while reading {file}\nReason : coordinate is not a finite number\n"},
    // MOL2 headers whose counts do not match the file.
    {"mol2_more_atoms.mol2", kReference, 1,
     "110041\tMoleReader::Read_MOL2_Atom\tUnexpected @<TRIPOS> line while reading @<TRIPOS>ATOM "
     "block\n{file}, line 11: the ATOM section ends after 3 of the 5 records the MOLECULE record "
     "counts\n"},
    {"mol2_two_billion_atoms.mol2", kReference, 1,
     "110041\tMoleReader::Read_MOL2_Atom\tUnexpected @<TRIPOS> line while reading @<TRIPOS>ATOM "
     "block\n"},
    {"mol2_two_billion_atoms_last.mol2", kEverywhere, 0,
     "WARNING : {file} ends after 3 of 2000000000 ATOM records\n"},
    {"mol2_more_bonds.mol2", kEverywhere, 0, "WARNING : {file} ends after 2 of 5 BOND records\n"},
    // More records than the count: read as far as the count, the rest would be lost.
    {"mol2_count_2x5.mol2", kReference, 1,
     "110042\tMoleReader::Read_MOL2_Atom\tMore ATOM records than the count of the MOLECULE record "
     "in {file}, line 10\n"},
    {"mol2_count_2_of_25.mol2", kCarried, 1,
     "110042\tMoleReader::Read_MOL2_Atom\tMore ATOM records than the count of the MOLECULE record "
     "in {file}, line 10\n"},
    {"mol2_more_bond_records.mol2", kComparison, 1,
     "110052\tMoleReader::Read_MOL2_Bond\tMore BOND records than the count of the MOLECULE record "
     "in {file}, line 13\n"},
    {"mol2_negative_atoms.mol2", kReference, 1,
     "110032\tMoleReader::READ_MOL2\tNO MOLECULE FIND IN FILE :{file}\n"},
    {"mol2_negative_bonds.mol2", kComparison, 1,
     "110032\tMoleReader::READ_MOL2\tNO MOLECULE FIND IN FILE :{file}\n"},
    {"mol2_unreadable_counts.mol2", kReference, 1,
     "110032\tMoleReader::READ_MOL2\tNO MOLECULE FIND IN FILE :{file}\n"},
    {"mol2_no_header.mol2", kCarried, 1,
     "110032\tMoleReader::READ_MOL2\tNO MOLECULE FIND IN FILE :{file}\n"},
    // A bond to an atom that is not there is reported and left out; a record that cannot be
    // read ends the read, naming the file and the line.
    {"mol2_bond_to_missing_atom.mol2", kEverywhere, 0,
     "ERROR while creating bond : \nGiven number NA2 above the atom number in the molecule\n"},
    {"mol2_nan_coordinate.mol2", kCarried, 1,
     "110043\tMoleReader::Read_MOL2_Atom\tUnreadable ATOM record in {file}, line 10: a coordinate "
     "or charge that is not a finite number\n"},
    {"mol2_nul_bytes.mol2", kReference, 1,
     "110043\tMoleReader::Read_MOL2_Atom\tUnreadable ATOM record in {file}, line 9: number, name, "
     "x, y, z and type are not all there\n"},
    {"mol2_unreadable_bond.mol2", kCarried, 1,
     "110053\tMoleReader::Read_MOL2_Bond\tUnreadable BOND record in {file}, line 13: number, "
     "atoms and type are not all there\n"},
    // Coordinates beyond any molecule, in each format.
    {"mol2_far_coordinate.mol2", kReference, 1,
     "110044\tMoleReader::Read_MOL2_Atom\tA coordinate beyond 1e6 in {file}, line 10\n"},
    {"pdb_far_coordinate.pdb", kCarried, 1,
     "110062\tMoleReader::Read_PDB\tA coordinate beyond 1e6 in {file}, line 2\n"},
    {"cif_far_coordinate.cif", kComparison, 1,
     "112014\tCifReader::Read\tA coordinate beyond 1e6 in {file}, line 16\n"},
    // An atom type that names no Tripos type is reported with the file, without a dump.
    {"mol2_unknown_type.mol2", kEverywhere, 0,
     "4\tATOM::Check_mol2type\tMOL2 type given : .. Not recognized\n{file} : atom 1 (C1) has "
     "the MOL2 type \"..\", which is no Tripos type\n"},
    // Unusual bytes that are still good input.
    {"mol2_nonascii_names.mol2", kEverywhere, 0, ""},
    {"pdb_nonascii_names.pdb", kEverywhere, 0, ""},
    {"pdb_nul_bytes.pdb", kEverywhere, 0, ""},
    {"pdb_crlf.pdb", kEverywhere, 0, ""},
    {"mol2_crlf.mol2", kEverywhere, 0, ""},
    // Numbers that are not plain read as their leading number (else 0), blank fields that
    // nothing reads are no fault, and a blank CONECT field names no partner.
    {"pdb_blank_number.pdb", kEverywhere, 0, ""},
    {"pdb_text_number.pdb", kEverywhere, 0, ""},
    {"pdb_negative_number.pdb", kEverywhere, 0, ""},
    {"pdb_blank_occupancy.pdb", kEverywhere, 0, ""},
    {"pdb_text_residue_number.pdb", kEverywhere, 0, ""},
    {"pdb_conect_blank_partner.pdb", kEverywhere, 0, ""},
};

TEST_F(KestrumBadInput, StoredCasesEndWithTheirStatusAndMessage) {
  const std::string ok = badPath("ok.pdb");
  for (const StoredCase& c : kStoredCases) {
    SCOPED_TRACE(c.file);
    const std::string file = badPath(c.file);
    const bool whole = c.role == kEverywhere;
    const ToolRun run = runKestrum({"-r", whole || c.role == kReference ? file : ok, "-c",
                                    whole || c.role == kComparison ? file : ok, "-a",
                                    whole || c.role == kCarried ? file : ok, "-p", out()});
    expectCleanEnd(run);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(replaceAll(c.message, "{file}", file)), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("0x"), std::string::npos) << "an address in memory:\n" << run.err;
    if (c.status != 0) {
      expectNoOutputLeft(out());
    } else {
      EXPECT_NE(run.out.find("Path of the outputed file : " + out() + "/rot_"), std::string::npos);
      EXPECT_EQ(filesIn(out()).size(), 1u);
    }
    fs::remove_all(out());
    fs::create_directory(out());
  }
}

TEST_F(KestrumBadInput, NonAsciiNamesAreCarriedThrough) {
  const ToolRun run = runKestrum({"-r", badPath("ok.mol2"), "-c", badPath("ok.mol2"), "-a",
                                  badPath("mol2_nonascii_names.mol2"), "-p", out()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string written = readFile(out() + "/rot_mol2_nonascii_names.mol2");
  EXPECT_NE(written.find(" Cé "), std::string::npos) << written;
}

// CR LF line ends read exactly as LF ones: the same fit and the same written molecule.
TEST_F(KestrumBadInput, CrLfLineEndsReadLikeLf) {
  for (const auto& [lf, crlf] : {std::pair<std::string, std::string>{"ok.pdb", "pdb_crlf.pdb"},
                                 {"ok.mol2", "mol2_crlf.mol2"}}) {
    SCOPED_TRACE(crlf);
    auto runIn = [&](const std::string& name, const std::string& dir) {
      fs::create_directory(scratch(dir));
      return runKestrum(
          {"-r", badPath(name), "-c", badPath(name), "-a", badPath(name), "-p", scratch(dir)});
    };
    const ToolRun a = runIn(lf, "lf");
    const ToolRun b = runIn(crlf, "crlf");
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(a.out.substr(0, a.out.find("####")), b.out.substr(0, b.out.find("####")));
    // The written files differ in their time stamp line only.
    auto body = [](const std::string& text) { return text.substr(text.find("@<TRIPOS>")); };
    auto written = [&](const std::string& name, const std::string& dir) {
      return readFile(scratch(dir) + "/rot_" + name.substr(0, name.find('.')) + ".mol2");
    };
    ASSERT_NE(written(lf, "lf").find("@<TRIPOS>"), std::string::npos);
    EXPECT_EQ(body(written(lf, "lf")), body(written(crlf, "crlf")));
  }
}

TEST_F(KestrumBadInput, DirectoriesAndMissingOrUnreadableFiles) {
  const std::string ok = badPath("ok.pdb");
  fs::create_directory(scratch("folder.pdb"));
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  std::vector<Case> cases = {
      {{"-r", scratch("folder.pdb"), "-c", ok},
       "110013\tMoleReader::CONSTRUCTOR\tUnable to open " + scratch("folder.pdb") + "\n"},
      {{"-r", ok, "-c", ok, "-a", scratch("folder.pdb"), "-p", out()},
       "110023\tMoleReader::Load_NewFile\tUnable to open " + scratch("folder.pdb") + "\n"},
      {{"-r", ok, "-c", scratch("missing.mol2")},
       "110013\tMoleReader::CONSTRUCTOR\tUnable to open " + scratch("missing.mol2") + "\n"},
  };
  // Unreadable: permissions do not stop root, a path through a regular file stops everyone.
  std::string unreadable = scratch("locked.pdb");
  writeFile(unreadable, readFile(ok));
  if (geteuid() == 0) {
    unreadable = ok + "/locked.pdb";
  } else {
    chmod(unreadable.c_str(), 0);
  }
  cases.push_back({{"-r", unreadable, "-c", ok},
                   "110013\tMoleReader::CONSTRUCTOR\tUnable to open " + unreadable + "\n"});
  // Inputs that are no files: a FIFO would block the open, /dev/zero never ends.
  const std::string fifo = scratch("fifo.pdb");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string zero = scratch("zero.pdb");
  fs::create_symlink("/dev/zero", zero);
  for (const std::string& device : {fifo, zero}) {
    cases.push_back({{"-r", device, "-c", ok},
                     "110013\tMoleReader::CONSTRUCTOR\tUnable to open " + device + "\n"});
    cases.push_back({{"-r", ok, "-c", ok, "-a", device, "-p", out()},
                     "110023\tMoleReader::Load_NewFile\tUnable to open " + device + "\n"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args[3]);
    const ToolRun run = runKestrum(c.args);
    expectCleanEnd(run);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    expectNoOutputLeft(out());
  }
}

// Every prefix of a record up to each field boundary: too short for a coordinate is the
// unreadable-record path, anything from the z coordinate on is a good atom.
TEST_F(KestrumBadInput, AtomLinesCutShortAtEveryColumnBoundary) {
  const std::string record = kAtomRecords[1];
  const struct {
    size_t length;
    const char* reason;  // null: read fine
  } kCuts[] = {
      {0, nullptr},  // an empty line is no record
      {4, nullptr},  // "HETA" is no atom record
      {6, "basic_string::substr"},
      {11, "basic_string::substr"},
      {12, "basic_string::substr"},
      {16, "basic_string::substr"},
      {17, "basic_string::substr"},
      {20, "basic_string::substr"},
      {21, "basic_string::substr"},
      {22, "basic_string::substr"},
      {26, "basic_string::substr"},
      {30, "basic_string::substr"},
      {38, "basic_string::substr"},
      {46, "basic_string::substr"},
      {48, "basic_string::substr"},
      {54, nullptr},
      {60, nullptr},
      {66, nullptr},
      {76, nullptr},
      {77, nullptr},
  };
  const std::string path = scratch("cut.pdb");
  for (const auto& cut : kCuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut.length));
    writeFile(path, pdbOf({kAtomRecords[0], record.substr(0, cut.length), kAtomRecords[2]}));
    const ToolRun run = runKestrum({"-r", path, "-c", path, "-a", path, "-p", out()});
    expectCleanEnd(run);
    if (cut.reason != nullptr) {
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("Error while reading " + path + "\nReason : " + cut.reason + "\n"),
                std::string::npos)
          << run.err;
      expectNoOutputLeft(out());
    } else {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_NE(run.out.find("RMSD : 0\n"), std::string::npos) << run.out;
    }
    fs::remove_all(out());
    fs::create_directory(out());
  }
  // "-" alone, cut from "-6.504"-like values, is no number either.
  writeFile(path, pdbOf({kAtomRecords[0], "HETATM    2  C2  LIG A   1       1.500   0.000      -",
                         kAtomRecords[2]}));
  const ToolRun run = runKestrum({"-r", path, "-c", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Reason : stod\n"), std::string::npos) << run.err;
}

// Lines of a megabyte are read in one go, wherever they stand.
TEST_F(KestrumBadInput, LinesOfAMegabyte) {
  const std::string megabyte(1 << 20, 'Q');
  const std::string block = pdbOf({kAtomRecords[0], kAtomRecords[1], kAtomRecords[2]});
  const std::string mol2 = readFile(badPath("ok.mol2"));
  const struct {
    const char* name;
    std::string text;
    int status;
  } kCases[] = {
      {"remark.pdb", "REMARK " + megabyte + "\n" + block, 0},
      {"tail.pdb", pdbOf({kAtomRecords[0], kAtomRecords[1] + megabyte, kAtomRecords[2]}), 0},
      {"no_newline.pdb", megabyte, 1},
      {"name.mol2", replaceAll(mol2, "\nlig\n", "\n" + megabyte + "\n"), 0},
      {"atom.mol2", replaceAll(mol2, " C2 ", " C2" + megabyte + " "), 0},
      {"no_newline.mol2", "@<TRIPOS>MOLECULE\n" + megabyte, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = scratch(c.name);
    writeFile(path, c.text);
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = runKestrum({"-r", path, "-c", path, "-a", path, "-p", out()});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    expectCleanEnd(run);
    EXPECT_EQ(run.status, c.status) << run.err.substr(0, 500);
    EXPECT_LT(seconds, 20.0);
    if (c.status != 0) expectNoOutputLeft(out());
    fs::remove_all(out());
    fs::create_directory(out());
  }
}

// No output clobbers an input or another output: the run stops before anything is read or
// written, with one line naming both paths.
TEST_F(KestrumBadInput, OutputsThatWouldCollideStopTheRun) {
  const std::string ok = badPath("ok.pdb");
  fs::create_directories(scratch("a"));
  fs::create_directories(scratch("b"));
  writeFile(scratch("a/x.pdb"), readFile(ok));
  writeFile(scratch("b/x.pdb"), readFile(ok));
  writeFile(scratch("rot_x.mol2"), readFile(badPath("ok.mol2")));
  const std::string keep = readFile(scratch("rot_x.mol2"));
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"-r", ok, "-c", ok, "-a", scratch("a/x.pdb"), scratch("b/x.pdb"), "-p", out()},
       "The outputs of " + scratch("a/x.pdb") + " and " + scratch("b/x.pdb") +
           " would both be written to " + out() + "/rot_x.mol2\n"},
      {{"-r", ok, "-c", ok, "-a", scratch("a/x.pdb"), scratch("rot_x.mol2"), "-p", scratch("")},
       "The output " + scratch("") + "/rot_x.mol2 of " + scratch("a/x.pdb") +
           " would overwrite the input " + scratch("rot_x.mol2") + "\n"},
  };
  for (const Case& c : cases) {
    const ToolRun run = runKestrum(c.args);
    expectCleanEnd(run);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(run.out, "");
    expectNoOutputLeft(out());
    EXPECT_EQ(readFile(scratch("rot_x.mol2")), keep);
  }
}

// An output that names no regular file (a FIFO, a socket, a device, a link to one of those, a
// link that leads nowhere) stops the run before anything is read or written, with one line
// naming it and what it is; a link to a regular file is followed, and that file replaced.
TEST_F(KestrumBadInput, OutputThatIsNoRegularFileIsNeverReplaced) {
  const std::string ok = badPath("ok.pdb");
  const std::string output = out() + "/rot_ok.mol2";
  ASSERT_EQ(mkfifo(scratch("fifo").c_str(), 0600), 0);
  const std::string fifo = fs::canonical(scratch("fifo")).string();
  struct Case {
    std::string made;  // what the output's name is made
    std::string what;
  };
  std::vector<Case> cases = {
      {"fifo", "a FIFO"},
      {"link to fifo", "a symbolic link to a FIFO (" + fifo + ")"},
      {"dangling link", "a symbolic link to " + scratch("missing") + ", which does not exist"},
  };
  // A device of our own (the null device's numbers): the real one is never put at stake.
  if (geteuid() == 0) cases.push_back({"device", "a character device"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.made);
    fs::remove_all(out());
    fs::create_directory(out());
    int made = 0;
    if (c.made == "fifo") made = mkfifo(output.c_str(), 0600);
    if (c.made == "link to fifo") fs::create_symlink(scratch("fifo"), output);
    if (c.made == "dangling link") fs::create_symlink(scratch("missing"), output);
    if (c.made == "device") made = mknod(output.c_str(), S_IFCHR | 0600, makedev(1, 3));
    ASSERT_EQ(made, 0);
    const fs::file_type before = fs::symlink_status(output).type();
    const ToolRun run = runKestrum({"-r", ok, "-c", ok, "-a", ok, "-p", out()});
    expectCleanEnd(run);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "The output " + output + " of " + ok + " is " + c.what +
                           ": only a regular file is replaced\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(fs::symlink_status(output).type(), before);
    EXPECT_EQ(filesIn(out()), std::vector<std::string>{"rot_ok.mol2"});  // no temporary file
  }
  EXPECT_TRUE(fs::is_fifo(scratch("fifo")));
  EXPECT_FALSE(fs::exists(scratch("missing")));

  fs::remove_all(out());
  fs::create_directory(out());
  writeFile(scratch("earlier.mol2"), "earlier\n");
  fs::create_symlink(scratch("earlier.mol2"), output);
  const ToolRun run = runKestrum({"-r", ok, "-c", ok, "-a", ok, "-p", out()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(output));
  EXPECT_NE(readFile(scratch("earlier.mol2")).find("@<TRIPOS>ATOM"), std::string::npos);
}

// A carried file that yields no molecule is said, the others are written, and the run fails.
TEST_F(KestrumBadInput, CarriedFileWithoutMoleculeIsSaid) {
  const std::string ok = badPath("ok.pdb");
  const std::string remarks = scratch("remarks.pdb");
  writeFile(remarks, "REMARK   nothing here\nEND\n");
  const ToolRun run =
      runKestrum({"-r", ok, "-c", ok, "-a", remarks, badPath("empty.pdb"), ok, "-p", out()});
  expectCleanEnd(run);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("No molecule in " + remarks + "\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No molecule in " + badPath("empty.pdb") + "\n"), std::string::npos);
  EXPECT_EQ(filesIn(out()), std::vector<std::string>{"rot_ok.mol2"});
}

// Each carried file is read, moved and written on its own: one that cannot be read is said,
// the files after it are still written, and the run ends with status 1.
TEST_F(KestrumBadInput, UnreadableCarriedFileDoesNotStopTheOthers) {
  const std::string ok = badPath("ok.pdb");
  writeFile(scratch("first.mol2"), readFile(badPath("ok.mol2")));
  writeFile(scratch("last.mol2"), readFile(badPath("ok.mol2")));
  writeFile(scratch("bad.pdb.gz"), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10));
  const ToolRun run =
      runKestrum({"-r", ok, "-c", ok, "-a", scratch("first.mol2"), scratch("bad.pdb.gz"),
                  badPath("pdb_text_y.pdb"), badPath("unknown_format.xyz"), scratch("missing.pdb"),
                  scratch("last.mol2"), "-p", out()});
  expectCleanEnd(run);
  EXPECT_EQ(run.status, 1);
  for (const std::string& said :
       {"111011\tStructureFile::Gunzip\tCorrupt or truncated gzip data in " +
            scratch("bad.pdb.gz") + "\n",
        "Error while reading " + badPath("pdb_text_y.pdb") + "\nReason : stod\n",
        "110022\tMoleReader::Load_NewFile\tUnrecognized file format.xyz\n" +
            badPath("unknown_format.xyz") + " : the name ends in none of",
        "110023\tMoleReader::Load_NewFile\tUnable to open " + scratch("missing.pdb") + "\n"})
    EXPECT_NE(run.err.find(said), std::string::npos) << said << "\n" << run.err;
  EXPECT_EQ(filesIn(out()).size(), 2u);
  for (const char* name : {"rot_first.mol2", "rot_last.mol2"}) {
    EXPECT_NE(readFile(out() + "/" + name).find("@<TRIPOS>ATOM"), std::string::npos) << name;
    EXPECT_NE(run.out.find("Path of the outputed file : " + out() + "/" + name + "\n"),
              std::string::npos);
  }
}

// Pairing that finds fewer than two pairs says so after the library's line, naming both files.
TEST_F(KestrumBadInput, TooFewPairsNamesBothFiles) {
  const std::string ok = badPath("ok.pdb");
  const std::string renamed = scratch("renamed.pdb");
  writeFile(renamed, replaceAll(replaceAll(readFile(ok), " C1 ", " Q1 "), " C2 ", " Q2 "));
  const ToolRun run = runKestrum({"-r", ok, "-c", renamed, "-g", "NAME"});
  expectCleanEnd(run);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("8001\tZELPAR::Create_Matrix\tNot enough pairs\nPairing by NAME found "
                         "fewer than two atom pairs between " +
                         ok + " and " + renamed + ": there is nothing to fit\n"),
            std::string::npos)
      << run.err;
}

// The example runs within 300,000 KiB of address space (`ulimit -v 300000`); a run that memory
// cannot hold ends with one line naming what it was doing, and the other files are written.
TEST_F(KestrumBadInput, MemoryLimits) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space";
#endif
  const std::string example = std::string(KESTRUM_TEST_DATA) + "/../../example/";
  const std::string large = scratch("large.pdb");
  writeFile(large, calphaLattice(200000));
  // The limit is set in the child alone: the test process may already be larger than it.
  auto runWithin = [&](rlim_t kib, const std::vector<std::string>& args) {
    TempDir capture;
    std::vector<std::string> argv{KESTRUM_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (std::string& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    const std::string outPath = capture.file("stdout"), errPath = capture.file("stderr");
    ToolRun run;
    const pid_t pid = fork();
    if (pid == 0) {
      rlimit limited{kib * 1024, kib * 1024};
      setrlimit(RLIMIT_AS, &limited);
      const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(err, 2);
      execv(cargs[0], cargs.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
  };
  const ToolRun run = runWithin(
      300000, {"-r", example + "ref_ligand.pdb", "-c", example + "comp_ligand.pdb", "-g", "NAME",
               "-a", example + "comp_protein.pdb", example + "comp_ligand.pdb", "-p", out()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(filesIn(out()).size(), 2u);
  fs::remove_all(out());
  fs::create_directory(out());

  const std::string ok = badPath("ok.pdb");
  const ToolRun starved = runWithin(60000, {"-r", ok, "-c", ok, "-a", large, ok, "-p", out()});
  expectCleanEnd(starved);
  EXPECT_EQ(starved.status, 1);
  EXPECT_NE(starved.err.find("\nOut of memory while reading " + large + "\n"), std::string::npos)
      << starved.err;
  EXPECT_EQ(filesIn(out()), std::vector<std::string>{"rot_ok.mol2"});
}

// mmCIF and gzip faults end the run with one line naming the file as given, in every role,
// and leave no output; an mmCIF file without atoms is a file without a molecule.
TEST_F(KestrumBadInput, MmcifAndGzipFaultsEndTheRun) {
  const std::string ok = badPath("ok.pdb");
  const std::string sites =
      "data_x\nloop_\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
      "_atom_site.label_comp_id\n_atom_site.auth_seq_id\n_atom_site.Cartn_x\n"
      "_atom_site.Cartn_y\n_atom_site.Cartn_z\n";
  writeFile(scratch("text.cif"), "HETATM    1  C1  LIG A   1       0.000   0.000   0.000\n");
  writeFile(scratch("cell.mmcif"), "data_x\n_cell.length_a 10.0\n");
  writeFile(scratch("y.cif"), sites + "1 C C1 LIG 1 0.0 y 0.0\n");
  writeFile(scratch("empty.cif"), sites);
  writeFile(scratch("cut.pdb.gz"), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10));
  writeFile(scratch("plain.cif.gz"), readFile(ok));  // not gzip at all
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"text.cif", "112011\tCifReader::Read\tUnable to read CIF {file}:1:1: expected block header"},
      {"cell.mmcif", "112012\tCifReader::Read\tNo _atom_site in {file}\n"},
      {"y.cif", "112013\tCifReader::Read\tA coordinate that is not a number in {file}\n"},
      {"cut.pdb.gz", "111011\tStructureFile::Gunzip\tCorrupt or truncated gzip data in {file}\n"},
      {"plain.cif.gz", "111011\tStructureFile::Gunzip\tCorrupt or truncated gzip data in {file}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = scratch(c.name);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-r", file, "-c", ok},
          std::vector<std::string>{"-r", ok, "-c", file},
          std::vector<std::string>{"-r", ok, "-c", ok, "-a", file, "-p", out()}}) {
      const ToolRun run = runKestrum(args);
      expectCleanEnd(run);
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find(replaceAll(c.message, "{file}", file)), std::string::npos) << run.err;
      expectNoOutputLeft(out());
    }
  }
  const ToolRun empty = runKestrum({"-r", scratch("empty.cif"), "-c", ok});
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find(" No molecule in reference file \n"), std::string::npos) << empty.err;
}

// A line beyond the bound ends the read with a message naming the file, in either format.
TEST_F(KestrumBadInput, LineBeyondTheBoundIsRefused) {
  const std::string tooLong(VXMole::MoleReader::kMaxLineBytes + 1, 'Q');
  for (const char* name : {"long.pdb", "long.mol2"}) {
    SCOPED_TRACE(name);
    const std::string path = scratch(name);
    writeFile(path, std::string(name) == "long.pdb" ? "REMARK " + tooLong + "\n"
                                                    : "@<TRIPOS>MOLECULE\n" + tooLong + "\n");
    const ToolRun run = runKestrum({"-r", path, "-c", path});
    expectCleanEnd(run);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("110071\tMoleReader::Get_Line\tA line longer than 64 MiB in " + path),
              std::string::npos)
        << run.err.substr(0, 500);
  }
}

TEST_F(KestrumBadInput, OutputDirectoryThatCannotTakeTheOutput) {
  const std::string ok = badPath("ok.pdb");
  // Missing, a regular file, and (without root) a directory without write permission.
  writeFile(scratch("plain"), "not a directory\n");
  std::vector<std::string> dirs = {scratch("missing"), scratch("plain")};
  if (geteuid() != 0) {
    fs::create_directory(scratch("locked"));
    chmod(scratch("locked").c_str(), 0555);
    dirs.push_back(scratch("locked"));
  }
  for (const std::string& dir : dirs) {
    SCOPED_TRACE(dir);
    const ToolRun run = runKestrum({"-r", ok, "-c", ok, "-a", ok, "-p", dir});
    expectCleanEnd(run);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Unable to write " + dir + "/rot_ok.mol2 : "), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("Path of the outputed file"), std::string::npos);
    if (fs::is_directory(dir)) expectNoOutputLeft(dir);
  }
  EXPECT_FALSE(fs::exists(scratch("missing")));
  EXPECT_EQ(readFile(scratch("plain")), "not a directory\n");

  // An output name taken by a directory: refused, the directory left as it was.
  fs::create_directories(out() + "/rot_ok.mol2/inside");
  const ToolRun run = runKestrum({"-r", ok, "-c", ok, "-a", ok, "-p", out()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Unable to write " + out() + "/rot_ok.mol2 : "), std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::is_directory(out() + "/rot_ok.mol2/inside"));
  for (const std::string& name : filesIn(out())) EXPECT_EQ(name, "rot_ok.mol2");
}

// A write that fails half-way (here at a file size limit, as on a full disk) leaves the earlier
// output of that name as it was and no temporary file.
TEST_F(KestrumBadInput, FailedWriteKeepsTheEarlierOutput) {
  const std::string carried = kestrum_test::dataPath("e2e_acp_chain_a.pdb");
  const std::string output = out() + "/rot_e2e_acp_chain_a.mol2";
  writeFile(output, "earlier output\n");
  const std::string ok = badPath("ok.pdb");

  // The limit and the ignored signal pass on to the child; the write then fails with EFBIG.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const ToolRun run = runKestrum({"-r", ok, "-c", ok, "-a", carried, "-p", out()});
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);

  expectCleanEnd(run);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Unable to write " + output + " : "), std::string::npos) << run.err;
  EXPECT_EQ(readFile(output), "earlier output\n");
  EXPECT_EQ(filesIn(out()), std::vector<std::string>{"rot_e2e_acp_chain_a.mol2"});

  // Without the limit the same run replaces it.
  const ToolRun again = runKestrum({"-r", ok, "-c", ok, "-a", carried, "-p", out()});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(readFile(output).find("@<TRIPOS>ATOM"), std::string::npos);
}

// One file as reference, comparison and carried molecule: a fit onto itself, written beside it.
TEST_F(KestrumBadInput, SameFileEverywhere) {
  for (const char* name : {"ok.pdb", "ok.mol2"}) {
    SCOPED_TRACE(name);
    const std::string path = scratch(name);
    writeFile(path, readFile(badPath(name)));
    for (const char* pairing : {"NAME", "ID", "none"}) {
      const ToolRun run = runKestrum({"-r", path, "-c", path, "-g", pairing, "-a", path, path});
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_NE(run.out.find("RMSD : 0\n"), std::string::npos) << run.out;
      EXPECT_EQ(readFile(path), readFile(badPath(name)));  // the input is never written over
    }
    const std::string written = scratch("rot_ok.mol2");
    EXPECT_NE(readFile(written).find("@<TRIPOS>ATOM"), std::string::npos);
    fs::remove(written);
  }
  for (const std::string& name : filesIn(scratch_.path())) EXPECT_NE(name[0], '.') << name;
}

// Starts Kestrum with the arguments, its output streams thrown away; returns its process id.
pid_t startKestrum(const std::vector<std::string>& args) {
  std::vector<std::string> argv{KESTRUM_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargs;
  for (std::string& a : argv) cargs.push_back(a.data());
  cargs.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, cargs[0], &actions, nullptr, cargs.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Stops the process while a temporary output file exists in `dir`: each file created there is
// caught as it appears (inotify), the process stopped, and kept stopped if the file is still
// there. False when the process ends first or none is caught within a minute.
bool stopWhileWriting(pid_t pid, const std::string& dir) {
  const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch < 0 || inotify_add_watch(watch, dir.c_str(), IN_CREATE) < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  bool stopped = false;
  alignas(inotify_event) char events[4096];
  while (!stopped && std::chrono::steady_clock::now() < deadline && kill(pid, 0) == 0) {
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    const ssize_t size = read(watch, events, sizeof events);
    for (ssize_t at = 0; !stopped && at < size;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->len == 0 || event->name[0] != '.') continue;
      kill(pid, SIGSTOP);
      int status = 0;
      waitpid(pid, &status, WUNTRACED);
      if (fs::exists(dir + "/" + event->name)) {
        stopped = true;
      } else {
        kill(pid, SIGCONT);  // renamed already: wait for the next one
      }
    }
  }
  close(watch);
  return stopped;
}

// Each signal that ends a run ends it while it writes a molecule, and the temporary file goes
// with it; the process ends by that signal. A write past `ulimit -f` ends the same way.
TEST_F(KestrumBadInput, SignalsThatEndTheRunRemoveTheTemporaryFile) {
  const std::string ok = badPath("ok.pdb");
  const std::string large = scratch("large.pdb");
  writeFile(large, calphaLattice(30000));
  std::vector<std::string> args = {"-r", ok, "-c", ok, "-p", out(), "-a"};
  for (int i = 0; i < 40; ++i) args.push_back(large);
  // Three of the signals dump core by default: no core files from the test.
  rlimit savedCore{};
  getrlimit(RLIMIT_CORE, &savedCore);
  rlimit noCore = savedCore;
  noCore.rlim_cur = 0;
  setrlimit(RLIMIT_CORE, &noCore);
  for (const int signal :
       {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ}) {
    SCOPED_TRACE(strsignal(signal));
    const pid_t pid = startKestrum(args);
    ASSERT_GT(pid, 0);
    const bool stopped = stopWhileWriting(pid, out());
    kill(pid, stopped ? signal : SIGKILL);
    kill(pid, SIGCONT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(stopped) << "no write was caught";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    expectNoOutputLeft(out());
    fs::remove_all(out());
    fs::create_directory(out());
  }

  // `ulimit -f`: the kernel sends SIGXFSZ at the write that passes the limit.
  const std::string output = out() + "/rot_large.mol2";
  writeFile(output, "earlier output\n");
  rlimit savedSize{};
  getrlimit(RLIMIT_FSIZE, &savedSize);
  rlimit small = savedSize;
  small.rlim_cur = 1 << 16;
  const auto previous = ::signal(SIGXFSZ, SIG_DFL);
  setrlimit(RLIMIT_FSIZE, &small);
  const pid_t pid = startKestrum({"-r", ok, "-c", ok, "-a", large, "-p", out()});
  setrlimit(RLIMIT_FSIZE, &savedSize);
  ::signal(SIGXFSZ, previous);
  setrlimit(RLIMIT_CORE, &savedCore);
  ASSERT_GT(pid, 0);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(readFile(output), "earlier output\n");
  EXPECT_EQ(filesIn(out()), std::vector<std::string>{"rot_large.mol2"});
}

// Pairing by name on atoms of one name forms the square of their number of pairs. 22,500 pairs
// are paired; 2^32 pairs are beyond what any machine holds (and beyond the pair numbers), so
// the run stops before pairing, with one line; so does pairing by element, whose bit matrix
// grows with the square of the pairs.
TEST_F(KestrumBadInput, PairingBeyondTheMemoryStopsWithAClearMessage) {
  const std::string small = scratch("calpha150.pdb");
  writeFile(small, calphaLattice(150));
  const ToolRun run = runKestrum({"-r", small, "-c", small, "-g", "NAME"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("RMSD : "), std::string::npos) << run.out;

  const std::string large = scratch("calpha65536.pdb");
  writeFile(large, calphaLattice(65536));
  const ToolRun refused =
      runKestrum({"-r", large, "-c", large, "-g", "NAME", "-a", small, "-p", out()});
  expectCleanEnd(refused);
  EXPECT_EQ(refused.status, 1);
  const std::string head =
      "Pairing by NAME found 4294967296 atom pairs: their correspondence "
      "graph needs ";
  const size_t at = refused.err.find(head);
  ASSERT_NE(at, std::string::npos) << refused.err;
  const std::string line = refused.err.substr(at);
  EXPECT_NE(line.find(" MiB, more than the "), std::string::npos) << line;
  EXPECT_NE(line.find(" MiB of memory available; pair by ID (-g ID) or fit whole molecules (no "
                      "-g) instead\n"),
            std::string::npos)
      << line;
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one last line: " << line;
  expectNoOutputLeft(out());

  // By element 2,000 carbons give 4 million pairs, whose bit matrix would take terabytes.
  const std::string carbons = scratch("calpha2000.pdb");
  writeFile(carbons, calphaLattice(2000));
  const ToolRun byElement = runKestrum({"-r", carbons, "-c", carbons, "-g", "ELEMENT"});
  EXPECT_EQ(byElement.status, 1);
  EXPECT_NE(byElement.err.find("Pairing by ELEMENT found 4000000 atom pairs: their "
                               "correspondence graph needs "),
            std::string::npos)
      << byElement.err;
  EXPECT_EQ(byElement.out.find("RMSD"), std::string::npos);
}

// A megabyte of MOL2 that is one fused ring system (a square lattice of 128 x 128 atoms): ring
// perception keeps every one of its 127 x 127 rings, in time and memory that grow with the
// lattice, not with its square.
TEST_F(KestrumBadInput, RingLatticeOfAMegabyteIsPerceivedQuickly) {
  const int w = 128;
  std::string atoms, bonds;
  int bondCount = 0;
  char line[96];
  for (int i = 0; i < w * w; ++i) {
    snprintf(line, sizeof line, "%d C %.1f %.1f 0 C.ar\n", i + 1, i % w * 1.4, i / w * 1.4);
    atoms += line;
    for (const int next : {i % w + 1 < w ? i + 1 : -1, i + w < w * w ? i + w : -1}) {
      if (next < 0) continue;
      snprintf(line, sizeof line, "%d %d %d ar\n", ++bondCount, i + 1, next + 1);
      bonds += line;
    }
  }
  const std::string path = scratch("lattice.mol2");
  writeFile(path, "@<TRIPOS>MOLECULE\nlattice\n" + std::to_string(w * w) + " " +
                      std::to_string(bondCount) + " 0 0 0\nSMALL\nNO_CHARGES\n@<TRIPOS>ATOM\n" +
                      atoms + "@<TRIPOS>BOND\n" + bonds);
  ASSERT_GT(fs::file_size(path), 1000000u);

  const auto start = std::chrono::steady_clock::now();
  VXMole::Complex complex;
  VXMole::MoleReader reader(path, VXMole::kFormatDetect);
  reader.loadInComplex(complex, 17);  // the carried molecules' type: rings are perceived
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(complex.others.size(), 1u);
  EXPECT_EQ(complex.others[0].numCycles(), static_cast<size_t>((w - 1) * (w - 1)));
  EXPECT_LT(seconds, 30.0);
}

}  // namespace
