// Library-wide error type, the table of error codes, and small text utilities.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace VXMole {

// The one exception type of the library. A plain record: it does not derive from
// std::exception, so a handler for standard exceptions does not catch it.
struct MoleExcept {
  uint32_t code;         // see the error table below
  std::string location;  // CLASS::OPERATION where the fault was found
  std::string message;   // short English phrase, sometimes followed by a debug dump

  MoleExcept(unsigned code, std::string location, std::string message);
};

// One row of the error table. A raised message is `message`, then the value the raiser
// appends (if any), then `tail`.
struct ErrorDef {
  uint32_t code;
  std::string_view location;
  std::string_view message;
  std::string_view tail = {};
};

// Error table. Codes 1CCFFE: class CC (02 Edge, 06 Bond, 09 Molecule, 10 MoleReader),
// operation FF, check E. The atom's MOL2 type check (3, 4) and the correspondence graph's
// matrix construction (8001) stand outside that scheme.

// Atom: MOL2 type check. Code 3 has the atom's dump appended to its location; code 4 has
// the requested type appended, then the tail, then the atom's dump.
inline constexpr ErrorDef kErrAtomNoMol2Type{3, "ATOM::Check_mol2type", "No MOL2 TYPE given"};
inline constexpr ErrorDef kErrAtomMol2TypeUnknown{4, "ATOM::Check_mol2type",
                                                  "MOL2 type given : ", " Not recognized\n"};

// Graph: matrices of the correspondence graph.
inline constexpr ErrorDef kErrNotEnoughPairs{8001, "ZELPAR::Create_Matrix", "Not enough pairs"};

// Edge constructors: from an atom (01), from a bond (02), plain (03).
inline constexpr ErrorDef kErrEdgeAtomNotGiven{102011, "EDGE::CONSTRUCTOR", "Atom not given"};
inline constexpr ErrorDef kErrEdgeAtomSameVertex{
    102012, "EDGE::CONSTRUCTOR", "Vertex given for the creation of the edge are the same"};
inline constexpr ErrorDef kErrEdgeAtomVertexNotGiven{102013, "EDGE::CONSTRUCTOR",
                                                     "Vertex not given"};
inline constexpr ErrorDef kErrEdgeBondSameVertex{
    102021, "EDGE::CONSTRUCTOR", "Vertex given for the creation of the edge are the same"};
inline constexpr ErrorDef kErrEdgeBondNotGiven{102022, "EDGE::CONSTRUCTOR", "Bond not given"};
inline constexpr ErrorDef kErrEdgeBondVertexNotGiven{102023, "EDGE::CONSTRUCTOR",
                                                     "Vertex not given"};
inline constexpr ErrorDef kErrEdgeSameVertex{
    102031, "EDGE::CONSTRUCTOR", "Vertex given for the creation of the edge are the same"};
inline constexpr ErrorDef kErrEdgeVertexNotGiven{102032, "EDGE::CONSTRUCTOR", "Vertex not given"};

// Bond constructor.
inline constexpr ErrorDef kErrBondSameAtom{
    106013, "BOND::CONSTRUCTOR", "Atoms given for the creation of the bond are the same atom"};

// Molecule::addBond by atom numbers (01) and by atoms (02).
inline constexpr ErrorDef kErrMolBondNum1TooHigh{
    109011, "MOLECULE::ADD_BOND", "Given number NA1 above the atom number in the molecule"};
inline constexpr ErrorDef kErrMolBondNum2TooHigh{
    109012, "MOLECULE::ADD_BOND", "Given number NA2 above the atom number in the molecule"};
inline constexpr ErrorDef kErrMolBondSameAtom{109013, "Molecule::Add_bond",
                                              "Theses two atoms are only one"};
inline constexpr ErrorDef kErrMolBondAtom1NotFound{109014, "Molecule::Add_bond",
                                                   "Cannot find atom for the bond"};
inline constexpr ErrorDef kErrMolBondAtom2NotFound{109015, "Molecule::Add_bond",
                                                   "Cannot find atom for the bond"};
inline constexpr ErrorDef kErrMolBondAlreadyBonded{
    109016, "Molecule::Add_bond", "Theses two atoms are already bonded to each other"};
inline constexpr ErrorDef kErrMolBondAtom1Null{109021, "MOLECULE::ADD_BOND",
                                               "Given Atom 1 is null"};
inline constexpr ErrorDef kErrMolBondAtom2Null{109022, "MOLECULE::ADD_BOND",
                                               "Given Atom 2 is null"};

// MoleReader: constructor from a file (01), Load_NewFile (02), constructor from lines (12).
// 110012/110022 have the file's extension appended, 110013/110023 the file name.
inline constexpr ErrorDef kErrReaderNoFile{110011, "MoleReader::CONSTRUCTOR", "No file given"};
inline constexpr ErrorDef kErrReaderUnknownFormat{110012, "MoleReader::CONSTRUCTOR",
                                                  "Unrecognized file format"};
inline constexpr ErrorDef kErrReaderCannotOpen{110013, "MoleReader::CONSTRUCTOR",
                                               "Unable to open "};
inline constexpr ErrorDef kErrReaderLoadNoFile{110021, "MoleReader::Load_NewFile", "No file given"};
inline constexpr ErrorDef kErrReaderLoadUnknownFormat{110022, "MoleReader::Load_NewFile",
                                                      "Unrecognized file format"};
inline constexpr ErrorDef kErrReaderLoadCannotOpen{110023, "MoleReader::Load_NewFile",
                                                   "Unable to open "};
inline constexpr ErrorDef kErrReaderNoLines{110121, "MoleReader::CONSTRUCTOR", "No line given"};

// MoleReader: PDB records. The file's path is appended; the reader has already written the
// details to standard error, so the driver prints nothing more for this code.
inline constexpr ErrorDef kErrPdbUnreadable{110061, "MoleReader::Read_PDB", "Error while reading "};

// MoleReader: lines. The file's path is appended to both.
inline constexpr ErrorDef kErrLineTooLong{110071, "MoleReader::Get_Line",
                                          "A line longer than 64 MiB in "};
inline constexpr ErrorDef kErrReadFailed{110072, "MoleReader::Get_Line", "Unable to read "};

// StructureFile: gzip-compressed input. The file's path is appended.
inline constexpr ErrorDef kErrGzipCorrupt{111011, "StructureFile::Gunzip",
                                          "Corrupt or truncated gzip data in "};
inline constexpr ErrorDef kErrGzipTooLarge{
    111012, "StructureFile::Gunzip",
    "Decompressed data beyond 100 times the compressed size (or 4 GiB) in "};

// CifReader: mmCIF input. 112011 has the parser's report appended (which names the file and
// the line), the others the file's path.
inline constexpr ErrorDef kErrCifUnreadable{112011, "CifReader::Read", "Unable to read CIF "};
inline constexpr ErrorDef kErrCifNoAtomSite{112012, "CifReader::Read", "No _atom_site in "};
inline constexpr ErrorDef kErrCifCoordinate{112013, "CifReader::Read",
                                            "A coordinate that is not a number in "};

// Selection: the text of a selection. The selection, quoted, and what is wrong where are
// appended.
inline constexpr ErrorDef kErrSelectionSyntax{113011, "Selection::Parse", "Unreadable selection "};

// Sequence alignment: two sequences too long to align with a path of one byte per cell. The
// two lengths are appended.
inline constexpr ErrorDef kErrAlignmentTooLarge{114011, "SequenceAlignment::Align",
                                                "Sequences too long to align: "};

// MoleReader: MOL2 records. 110032 has the file name appended.
inline constexpr ErrorDef kErrMol2NoFileOpened{110031, "MoleReader::READ_MOL2", "NO FILE OPENED"};
inline constexpr ErrorDef kErrMol2NoMolecule{110032, "MoleReader::READ_MOL2",
                                             "NO MOLECULE FIND IN FILE :"};
inline constexpr ErrorDef kErrMol2CannotCreateMolecule{110033, "MoleReader::READ_MOL2",
                                                       "UNABLE TO CREATE MOLECULE"};
inline constexpr ErrorDef kErrMol2UnexpectedInAtomBlock{
    110041, "MoleReader::Read_MOL2_Atom",
    "Unexpected @<TRIPOS> line while reading @<TRIPOS>ATOM block"};
inline constexpr ErrorDef kErrMol2UnexpectedInBondBlock{
    110051, "MoleReader::Read_MOL2_Bond",
    "Unexpected @<TRIPOS> line while reading @<TRIPOS>BOND block"};

// MoleReader: MOL2 records that cannot be taken as they stand, each of which would lose atoms or
// bonds. The file's path and the line are appended ("x.mol2, line 12"), then, for 110043 and
// 110053, what is wrong with the record. 110041 and 110051 have the same appended on a line of
// their own.
inline constexpr ErrorDef kErrMol2MoreAtoms{
    110042, "MoleReader::Read_MOL2_Atom",
    "More ATOM records than the count of the MOLECULE record in "};
inline constexpr ErrorDef kErrMol2UnreadableAtom{110043, "MoleReader::Read_MOL2_Atom",
                                                 "Unreadable ATOM record in "};
inline constexpr ErrorDef kErrMol2MoreBonds{
    110052, "MoleReader::Read_MOL2_Bond",
    "More BOND records than the count of the MOLECULE record in "};
inline constexpr ErrorDef kErrMol2UnreadableBond{110053, "MoleReader::Read_MOL2_Bond",
                                                 "Unreadable BOND record in "};

// SdfReader: SDF and MOL records (V2000 and V3000). The file's path, the record's number (from
// 1) and the line are appended ("x.sdf, record 3, line 45"), then what is wrong.
inline constexpr ErrorDef kErrSdfCutShort{115011, "SdfReader::Read", "A record cut short in "};
inline constexpr ErrorDef kErrSdfMissingAtom{115012, "SdfReader::Read",
                                             "A bond to a missing atom in "};
inline constexpr ErrorDef kErrSdfNotANumber{115013, "SdfReader::Read",
                                            "A field that is not a number in "};
inline constexpr ErrorDef kErrSdfUnendedBlock{115014, "SdfReader::Read",
                                              "A V3000 block that never ends in "};
inline constexpr ErrorDef kErrSdfUnreadable{115015, "SdfReader::Read", "An unreadable record in "};

// PdbqtReader: AutoDock PDBQT records. The file's path, the model's number (from 1) and the
// line are appended ("x.pdbqt, model 2, line 40"), then what is wrong.
inline constexpr ErrorDef kErrPdbqtUnreadable{116011, "PdbqtReader::Read",
                                              "An unreadable atom record in "};
inline constexpr ErrorDef kErrPdbqtUnknownType{116012, "PdbqtReader::Read",
                                               "An unknown AutoDock atom type in "};

// Coordinates beyond any molecule: every reader refuses a coordinate whose magnitude passes
// kMaxCoordinate, so that no barycentre or written coordinate can overflow. The file's path
// and the line are appended ("x.pdb, line 12").
inline constexpr double kMaxCoordinate = 1e6;  // Å
inline constexpr ErrorDef kErrMol2CoordinateBeyond{110044, "MoleReader::Read_MOL2_Atom",
                                                   "A coordinate beyond 1e6 in "};
inline constexpr ErrorDef kErrPdbCoordinateBeyond{110062, "MoleReader::Read_PDB",
                                                  "A coordinate beyond 1e6 in "};
inline constexpr ErrorDef kErrCifCoordinateBeyond{112014, "CifReader::Read",
                                                  "A coordinate beyond 1e6 in "};
inline constexpr ErrorDef kErrSdfCoordinateBeyond{115016, "SdfReader::Read",
                                                  "A coordinate beyond 1e6 in "};
inline constexpr ErrorDef kErrPdbqtCoordinateBeyond{116013, "PdbqtReader::Read",
                                                    "A coordinate beyond 1e6 in "};

// Whether every one of the coordinates is a number within kMaxCoordinate of the origin.
inline bool withinReach(double x, double y, double z) {
  return x >= -kMaxCoordinate && x <= kMaxCoordinate && y >= -kMaxCoordinate &&
         y <= kMaxCoordinate && z >= -kMaxCoordinate && z <= kMaxCoordinate;
}

// Builds the exception of a table row: message + suffix + tail, location + locationSuffix.
// It does not throw; write `throw raise(kErrX, value)`.
MoleExcept raise(const ErrorDef& def, std::string suffix = {}, std::string locationSuffix = {});

// Whether `word` belongs to a list of words separated by commas and blanks
// ("N.pl3, N.am, N.4"). A word that occurs anywhere in the list as a substring belongs to it
// ("C" belongs to "Ca, Cd"), unless the word holds " ,"; then only whole tokens match.
// The empty word belongs to every list.
bool appartient(std::string word, const std::string& list);

// Appends the base-10 numbers of `text` (tokens split at any character of `delimiters`),
// each truncated to 32 bits (non-numbers give 0, "-1" gives 4294967295), then sorts the
// whole vector, earlier contents included, and removes duplicates.
void Tokenize(const std::string& text, std::vector<uint32_t>& out,
              const std::string& delimiters = " ");

// Appends the tokens of `text` split at any character of `delimiters`; empty tokens are
// never produced. The vector is not cleared first.
void Token_Str(const std::string& text, std::vector<std::string>& out,
               const std::string& delimiters = " ");

// Whether `line` begins with `head`.
bool startsWith(std::string_view line, std::string_view head);

// `text` without the blanks (space, tab, CR, FF, VT) at either end.
std::string_view trimmed(std::string_view text);

// The decimal number that fills the whole field, blanks at either end aside: false for an empty
// field, anything after the number, or a number that is not finite.
bool readWholeDecimal(std::string_view field, double& value);

// The leading decimal number of a text (blanks and a sign allowed before it), as the
// standard conversions read it; 0 when the text holds none or its magnitude passes 32 bits.
long long leadingNumber(std::string_view text);

// Value of the environment variable `variable` (VEXIL_LIB when empty), unchanged. When the
// variable is not set, writes "NO <name> DEFINED" to standard error and exits with status 1.
std::string get_Vexil_LIB_Path(std::string variable = {});

}  // namespace VXMole
