// MoleReader: reads molecules from PDB and MOL2 files (or PDB text held in memory).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bytebuffer.h"
#include "linesource.h"

namespace VXMole {

class Complex;
class Molecule;
class Residu;
struct ErrorDef;

// Format codes.
enum MoleFormat : unsigned {
  kFormatMol2 = 1,
  kFormatPdb = 2,
  kFormatSdf = 3,      // SDF and MOL (sdfreader.h)
  kFormatPdbqt = 4,    // AutoDock PDBQT (pdbqtreader.h)
  kFormatDetect = 10,  // 10 or more: detect from the ending of the path
};

// One reader stands for one input source: a file, text held in memory, or a list of lines (PDB
// text). Every input is read whole into memory and read through one LineSource. Molecules are
// created on the heap and handed to the caller, who owns them. The PDB reader lives in
// pdbreader.cpp, the MOL2 reader in parserMOL2.cpp, the SDF and PDBQT readers in their own units;
// residue typing (defProps) is typeResidues of residuetyping.h.
class MoleReader {
 public:
  static int debug;  // class-wide diagnostic switch, 0 = off

  MoleReader();
  // Throws 110011 (empty path), 110012 (unknown ending), 110013 (cannot open), 110072 (the
  // file opens but cannot be read).
  MoleReader(std::string path, unsigned format);
  // Throws 110121 for an empty list. The first line counts as already read.
  MoleReader(const std::vector<std::string>& lines, unsigned format);
  MoleReader(const MoleReader&) = delete;
  MoleReader& operator=(const MoleReader&) = delete;

  // Reads the file `path` whole, from its start; false when it is no regular file or cannot be
  // opened. Throws 110072 when it opens but cannot be read.
  bool Open();
  // Lets go of the file's bytes; a reader on lines keeps its lines.
  void close();
  // Points the reader at another file. Throws 110021, 110022, 110023, 110072.
  void loadNewFile(std::string path, unsigned format);
  // Points the reader at text held in memory (a file decompressed on reading), read as the file
  // `path` would be: every message names `path`. `format` is 1 or 2 (no detection).
  void loadText(std::string path, unsigned format, ByteBuffer text);

  // The next line without its line end; "" at the end of the input, which sets atEnd and writes
  // "Unexpected end of file" ("Unexpected end of line" for a reader on lines) to the
  // diagnostics. A line ends at LF, CR LF or a lone CR. A line longer than kMaxLineBytes throws
  // 110071 (naming the file) and ends the input.
  std::string getLine();
  // Longest line a file may hold (bytes, without its line end).
  static constexpr size_t kMaxLineBytes = LineSource::kMaxLineBytes;
  // Cuts one PDB record into named fields (pdb::tokenize); with `debug` on, prints the columns.
  void tokenize(const std::string& line, std::map<std::string, std::string>& fields,
                const std::string& delimiters);

  // The next molecule of the input, or null.
  Molecule* loadNextMole(unsigned type);
  // Reads every remaining molecule into the complex; molecules without atoms are freed.
  void loadInComplex(Complex& complex, unsigned type);

  Molecule* readPDB(unsigned type, bool keepCofactors, bool keepWaters);
  // The next record of an SDF text (SdfReader), the next model of a PDBQT text (PdbqtReader).
  // A record without atoms is said through the diagnostics and left out.
  Molecule* readSDF(unsigned type);
  Molecule* readPDBQT(unsigned type);
  // Bonds, MOL2 types and properties of the standard amino-acid residues of a molecule: the
  // residue typing of typeResidues (residuetyping.h).
  void defProps(Molecule* molecule);

  Molecule* readMOL2(unsigned type);
  void readMOL2Substruct(unsigned count, Molecule* molecule);
  void readMOL2Atom(unsigned count, Molecule* molecule);
  void readMOL2Bond(unsigned count, Molecule* molecule);
  // The formal charges of a UNITY_ATOM_ATTR section, from the current line on.
  void readAtomAttributes(Molecule& molecule);

  const std::string& getPath() const { return path; }
  unsigned getFormat() const { return format; }
  // Whether an input is there to read: a file read, text, or lines.
  bool isOpened() const { return source_.hasInput(); }
  bool isAtEnd() const { return atEnd; }
  // Bytes of the input; 0 without one.
  std::uintmax_t inputSize() const { return source_.size(); }

  // The format a file name's ending announces: "mol2" and ".pdb" in either case, ".sdf", ".sd",
  // ".mol" and ".pdbqt" in any case; 0 when it announces none.
  static unsigned formatOfName(const std::string& name);
  // The last four characters of a name (the whole name when shorter): the tag that names
  // the format in messages.
  static std::string formatTag(const std::string& name);

 private:
  // Sets `format` from a code, detecting from the path for codes of 10 or more; false when the
  // path's ending is not recognised.
  bool setFormat(unsigned code);
  // Reads `bytes` as the input, from its first line.
  void startReading(ByteBuffer bytes);
  // Lets go of the input: the reader has none.
  void releaseInput();
  // Forgets the CONECT records found after the models of the input.
  void forgetModels();
  // The next line, a view into the input valid until the input changes; false at the end of
  // the input, with getLine's message and atEnd.
  bool nextLine(std::string_view& line);
  // The MOL2 reader's residue index and substructure roots, emptied between molecules.
  void forgetResidues();
  // The lines of a section up to the next section header (which is left to read), joined by
  // line feeds.
  std::string readSectionText();
  // The phases of readMOL2. The MOLECULE section: the molecule's name and counts; false when no
  // header is found or its counts cannot be read.
  bool readMOL2Header(std::string& name, int (&counts)[5], std::string& chargeType);
  // Offsets of a MOL2 molecule's sections, and of the next molecule's header.
  static constexpr size_t kNoPosition = std::string_view::npos;  // not met
  struct Mol2Sections {
    size_t atoms = kNoPosition, bonds = kNoPosition, attributes = kNoPosition;
    size_t next = kNoPosition;
  };
  // Finds the sections up to the next molecule or the end of the input; the substructures and
  // comments are read on the way.
  Mol2Sections scanMOL2Sections(Molecule& molecule, unsigned numSubstructures);
  // "x.mol2, line 12": the file and the line last read, or line `number`, for messages.
  std::string currentLine() const;
  std::string fileAndLine(size_t number) const;
  // The text added to 110041 and 110051: a line naming the file, the line, and how many of the
  // announced records the section held.
  std::string sectionCutShort(const char* section, unsigned read, unsigned count) const;
  // Throws `error`, naming the file and the line, when a record follows the records of a
  // section before the next section or the end of the input; moves nothing.
  void refuseRecordsBeyondCount(const ErrorDef& error);
  // Checks every atom's MOL2 type, as Molecule::checkMol2 does; an unknown type is reported in
  // two lines, the check's own and one that names the atom and the file.
  void checkMOL2Types(Molecule& molecule);
  // The molecule once its records are read: types checked, elements from types or names, the
  // substructures' root atoms, no empty default residue.
  void finishMOL2(Molecule& molecule);
  // The CONECT records of the model that has just ended (at an ENDMDL): those between its
  // ENDMDL and the next MODEL, else, where it has none there, those after the last model,
  // which hold for every model. Found by scanning ahead once, at the first ENDMDL.
  const std::vector<std::string_view>& modelConect();
  void scanConectAfterModels();

  std::string path;     // current input file; empty for a reader on lines
  LineSource source_;   // the input's bytes and the reading position
  unsigned format = 0;  // 1 MOL2, 2 PDB, anything else reads nothing
  bool ringSearch = false;
  bool atEnd = false;      // no further molecule is read: the input has met its end
  bool fromLines = false;  // the input was given as lines (PDB text only)
  std::map<std::string, Residu*> residueIndex;  // not owning
  // Root atom number of each MOL2 substructure being read, until its atoms exist (not owning).
  std::map<Residu*, int> residueRoots;
  // CONECT records after each ENDMDL from the first one read on, up to the next MODEL; the
  // last block follows the last model. Views into the input.
  std::vector<std::vector<std::string_view>> conectAfterModels_;
  bool conectAfterModelsScanned_ = false;
  size_t modelsEnded_ = 0;
  size_t recordsRead_ = 0;  // SDF records or PDBQT models read from the input
};

}  // namespace VXMole
