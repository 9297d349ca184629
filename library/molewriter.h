// MoleWriter: writes molecules as Tripos MOL2 files, each output complete or absent.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace VXMole {

class Atom;
class Molecule;

// Writes molecules to one output path at a time. The text goes to a temporary file beside the
// output (".<name>.XXXXXX" in the same directory), which replaces the output by a rename only
// once it is completely written and closed without error. A failed output leaves no temporary
// file behind, and a file that already had the output's name keeps its old content.
//
// Life of one output: `newFile` (or `openFile`) creates the temporary file, `writeMOL2` writes
// one or more molecules into it and records the first write error, `closeFile` finishes it and
// says whether the output now holds them. A file still open when `newFile` or `openFile` starts
// the next one, or when the writer is destroyed, is finished as by `closeFile` unless an error
// was recorded, in which case it is thrown away.
class MoleWriter {
 public:
  // No path, no file, mode 10. Creates nothing.
  MoleWriter();
  // Stores the path and mode and calls `openFile`; its result is kept in `getError`.
  MoleWriter(std::string path, short mode);
  ~MoleWriter();
  MoleWriter(const MoleWriter&) = delete;
  MoleWriter& operator=(const MoleWriter&) = delete;

  // Finishes the current file, if any (see the class comment), then stores `path` and `mode`
  // and returns `openFile`(). False when the temporary file for `path` cannot be created;
  // `getError` then says why.
  bool newFile(std::string path, unsigned mode);
  // Creates the temporary file for the stored path. False for an empty path, a path that names
  // a directory, a write-protected file or anything `notReplaceable` names, or a directory where
  // no file can be created.
  bool openFile();
  // Writes the molecule: the rotated coordinates when `rotated`, else the fixed ones. Ring
  // centroid dummies ("DuCy", "DUAr") are written, with CENTROID and SET sections, only when
  // `withDummies`. Removes the molecule's empty residues. Writes nothing without an open file,
  // for a null molecule, or once an error was recorded. A write error (a full disk, a file size
  // limit) or a coordinate or charge that is not finite is recorded, not thrown; an atom whose
  // residue is not one of the molecule's throws std::out_of_range, after recording the error.
  void writeMOL2(Molecule* molecule, bool withDummies, bool rotated);
  // Finishes the current file: flush and close, checked, then the rename over the output.
  // True when the output now holds everything written since `newFile`. False when no file was
  // open or anything failed; the temporary file is then removed and `getError` says why.
  bool closeFile();

  // What `path` names when the writer may not replace it, in words: "a FIFO", "a character
  // device", "a block device", "a socket", "a symbolic link to a FIFO (/tmp/f)", "a symbolic
  // link to /x/y, which does not exist". "" when it may: nothing there yet, a regular file, or a
  // link to one (a directory is "" too: opening it fails as for any path that cannot be written).
  static std::string notReplaceable(const std::string& path);

  // Removes the temporary file of the output being written, if any; safe to call from a signal
  // handler (it only calls unlink), so that an interrupted run leaves nothing behind.
  static void removeUnfinishedOutput();

  const std::string& getPath() const { return path_; }
  bool isOpen() const { return file_ != nullptr; }
  // Whether an error was recorded for the current (or the last) output.
  bool hasFailed() const { return !error_.empty(); }
  // Why the current (or the last) output failed: "" when nothing failed.
  const std::string& getError() const { return error_; }

 private:
  // Remembers the temporary file being written ("" when none) for removeUnfinishedOutput.
  static void notePendingOutput(const std::string& path);
  // Records the first failure of the current output; later ones add nothing.
  void fail(const std::string& reason);
  // fprintf to the open file, recording the first failing call's error.
  void put(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes the buffered `lines` to the open file, recording a failure as `put` does, and
  // empties the buffer.
  void putLines(std::string& lines);
  // Finishes an open file as `closeFile` does, saying through diagnostics() when that fails.
  void finishPending();

  // The molecule's records, phase by phase: what they need is worked out first (Layout), then
  // each section is written from it.
  struct Layout;
  void writeMolecule(Molecule& molecule, bool withDummies, bool rotated);
  void writeHeader(const Layout& layout, const std::string& stamp);
  void writeAtoms(const Layout& layout, bool rotated);
  void writeFormalCharges(const Layout& layout);
  void writeBonds(const Layout& layout);
  void writeSubstructures(const Layout& layout);
  void writeRingSets(const Layout& layout);

  std::string path_;
  FILE* file_ = nullptr;      // the temporary file while an output is open, else null
  unsigned short mode_ = 10;  // kept for callers; writing does not depend on it
  std::string target_;        // the file the rename replaces: the path, or what its link names
  std::string tempPath_;      // the open temporary file's path, "" when none
  std::string error_;         // first failure of the current output, "" when none
};

// The MOL2 type written for an atom that has none stored: a Tripos type of its element ("C.3",
// "N.3" or "N.4" by its bond count, "O.3", "S.3", "P.3", "H", "Cl", "Zn", "Co.oh", ...), the
// element's symbol for an element without a Tripos type ("Ni", "Hg"), or "Du" for the dummy
// element, for an atom whose element is unknown, and for a symbol that the MOL2 type table would
// read as another element (boron's "B", found in "Br"). The text ends in a NUL.
std::string_view elementMol2Type(const Atom& atom);

}  // namespace VXMole
