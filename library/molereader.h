// MoleReader: reads molecules from PDB and MOL2 files (or PDB text held in memory).
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace VXMole {

class Complex;
class Molecule;
class Residu;

// Format codes.
enum MoleFormat : unsigned {
  kFormatMol2 = 1,
  kFormatPdb = 2,
  kFormatDetect = 10,  // 10 or more: detect from the last four characters of the path
};

// One reader stands for one input source: a file, or a list of lines (PDB text). Molecules are
// created on the heap and handed to the caller, who owns them.
class MoleReader {
 public:
  static int debug;  // class-wide diagnostic switch, 0 = off

  MoleReader();
  // Throws 110011 (empty path), 110012 (unknown ending), 110013 (cannot open).
  MoleReader(std::string path, unsigned format);
  // Throws 110121 for an empty list. The first line counts as already read.
  MoleReader(const std::vector<std::string>& lines, unsigned format);
  ~MoleReader();
  MoleReader(const MoleReader&) = delete;
  MoleReader& operator=(const MoleReader&) = delete;

  bool Open();
  void close();
  // Points the reader at another file. Throws 110021, 110022, 110023.
  void loadNewFile(std::string path, unsigned format);
  // Points the reader at text held in memory (a file decompressed on reading), read as the file
  // `path` would be: every message names `path`. `format` is 1 or 2 (no detection).
  void loadText(std::string path, unsigned format, std::string text);

  // The next line without its line end; "" at the end of the input, which sets atEnd. A line
  // ends at LF, CR LF or a lone CR. A line longer than kMaxLineBytes throws 110071 (naming the
  // file) and ends the input.
  std::string getLine();
  // getLine into `line`, whose storage is reused from one line to the next.
  void readLine(std::string& line);
  // Longest line a file may hold (bytes, without its line end).
  static constexpr size_t kMaxLineBytes = size_t{64} << 20;
  // Cuts one PDB record into named fields (see the reader's documentation of columns).
  void tokenize(const std::string& line, std::map<std::string, std::string>& fields,
                const std::string& delimiters);

  // The next molecule of the input, or null.
  Molecule* loadNextMole(unsigned type);
  // Reads every remaining molecule into the complex; molecules without atoms are freed.
  void loadInComplex(Complex& complex, unsigned type);

  Molecule* readPDB(unsigned type, bool keepCofactors, bool keepWaters);
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
  bool isOpened() const { return opened; }
  bool isAtEnd() const { return atEnd; }
  // Bytes of the input file, or of the text in memory; 0 when unknown.
  std::uintmax_t inputSize() const;

  // The format a file name's last four characters announce ("mol2", ".pdb", in either case);
  // 0 when they announce none.
  static unsigned formatOfName(const std::string& name);
  // The last four characters of a name (the whole name when shorter): the tag that names
  // the format in messages.
  static std::string formatTag(const std::string& name);

 private:
  // Sets `format` from a code, detecting from the path for codes of 10 or more; false when the
  // path's ending is not recognised.
  bool setFormat(unsigned code);
  // Starts reading the input from its first byte, with nothing read from it yet.
  void startReading();
  // The MOL2 reader's residue index and substructure roots, emptied between molecules.
  void forgetResidues();
  // Goes back to the start of the line last read, so that the next getLine returns it again.
  void stepBack();
  // The lines of a section up to the next section header (which is left to read), joined by
  // line feeds.
  std::string readSectionText();

  // The file as lines. The reader keeps its own block of the file's bytes and knows where each
  // line starts, so the MOL2 reader can come back to a line (seekLine) whatever the line ends.
  // Whether there is a file, or text in memory, to read from.
  bool hasInput() const { return fromText_ || file.is_open(); }
  // Reads the next block; false at the end of the file (or when it cannot be read).
  bool fillBlock();
  void resetBlock(std::streamoff offset);
  // File offset where the line last returned starts, and where the next one starts.
  std::streamoff lastLineStart() const { return lastLineStart_; }
  std::streamoff nextLineStart() const {
    return blockOffset_ + static_cast<std::streamoff>(blockBegin_);
  }
  // Goes back (or forward) to the line that starts at `offset`.
  void seekLine(std::streamoff offset);
  // Whether a read has met the end of the file: the last line had no line end, or nothing was
  // left to read.
  bool inputEnded() const { return inputEnded_; }
  // The CONECT records of the model that has just ended (at an ENDMDL): those between its
  // ENDMDL and the next MODEL, else, where it has none there, those after the last model,
  // which hold for every model. Found by reading ahead once, at the first ENDMDL.
  const std::vector<std::string>& modelConect();
  void readConectAfterModels();

  std::string path;  // current input file; empty for a reader on lines
  std::ifstream file;
  static constexpr size_t kReadBufferBytes = 256 * 1024;
  std::unique_ptr<char[]> block_;   // bytes of the file read ahead, made on the first open
  size_t blockBegin_ = 0;           // first unread byte of block_
  size_t blockEnd_ = 0;             // end of the bytes in block_
  std::streamoff blockOffset_ = 0;  // file offset of block_[0]
  std::streamoff lastLineStart_ = 0;
  std::string text_;  // the input when it is held in memory (loadText)
  bool fromText_ = false;
  bool inputEnded_ = false;
  // CONECT records after each ENDMDL from the first one read on, up to the next MODEL; the
  // last block follows the last model.
  std::vector<std::vector<std::string>> conectAfterModels_;
  bool conectAfterModelsRead_ = false;
  size_t modelsEnded_ = 0;
  unsigned format = 0;  // 1 MOL2, 2 PDB, anything else reads nothing
  bool opened = false;
  bool ringSearch = false;
  bool atEnd = false;
  bool fromLines = false;
  std::map<std::string, Residu*> residueIndex;  // not owning
  // Root atom number of each MOL2 substructure being read, until its atoms exist (not owning).
  std::map<Residu*, int> residueRoots;
  std::vector<std::string> lines;
  size_t lineCursor = 0;
};

}  // namespace VXMole
