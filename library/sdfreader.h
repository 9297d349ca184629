// SdfReader: the records of SDF and MOL files (MDL connection tables V2000 and V3000) as molecules.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace VXMole {

struct ErrorDef;
struct MoleExcept;
class Atom;
class LineSource;
class Molecule;

// Reads the records of an SDF text one after another from a line source. A record is a header
// of three lines, a counts line, the connection table (atoms, bonds, then property lines up to
// "M  END"; in V3000 the "M  V30" blocks), then data items, up to a line "$$$$" or the end of
// the input. What a record gives its molecule:
// - atoms named by their symbol and their position in the record, from 1 ("C1", "N12", "Cl3"),
//   with that position as their number (V3000: the index the file gives), so that two records
//   of one molecule name their atoms alike and pairing by NAME or ID joins the same atoms;
// - elements from the symbols, D and T as hydrogen, and a symbol of no element ("*", "R#",
//   "Q", a list) as the dummy element "Du";
// - formal charges from the atom block's charge codes, or from the "M  CHG" lines, which replace
//   them all ("CHG=" in V3000); isotopes ("M  ISO", "MASS=") are checked but not kept;
// - bonds of orders 1, 2 and 3 as they stand, 4 as aromatic, the query orders 5 to 8 and the
//   V3000 coordination and hydrogen bonds (9, 10) as "any";
// - SYBYL types from the bond orders (assignSybylTypes);
// - the header's first line as the name, its third line as the comment, and each data item
//   ("> <name>" and the lines up to a blank line) as a data item of the molecule.
// A record that cannot be read whole throws MoleExcept 115011 to 115016, naming the file, the
// record and the line.
class SdfReader {
 public:
  // Reads from `source`; messages name `path`, and count records from `recordsBefore` + 1.
  SdfReader(LineSource& source, const std::string& path, size_t recordsBefore);

  // The next record as a molecule of type code `type`; null when nothing but blank lines is left.
  std::unique_ptr<Molecule> next(unsigned type);
  // The records read so far, those before this reader included.
  size_t recordsRead() const { return record_; }

 private:
  // The exception of `def`, with the file, the record, the line last read and `what`.
  MoleExcept fail(const ErrorDef& def, const std::string& what) const;
  // The next line of the record; false at the end of the input.
  bool nextLine(std::string_view& line);
  // A whole or decimal number of a field, trimmed of blanks; throws 115013 naming `what`.
  long wholeNumber(std::string_view field, const char* what) const;
  double decimalNumber(std::string_view field, const char* what) const;
  // An atom made from its symbol at its position in the record (from 1), numbered `number`.
  Atom* makeAtom(Molecule& molecule, std::string_view symbol, size_t position, unsigned number,
                 double x, double y, double z) const;
  // Bonds two atoms of the record by a file bond order; `label` names the bond in messages.
  void addBond(Molecule& molecule, Atom* first, Atom* second, long order,
               const std::string& label) const;

  // The phases of a record.
  void readV2000(Molecule& molecule, std::string_view counts);
  void readV2000Properties(const std::vector<Atom*>& atoms);
  void readV3000(Molecule& molecule);
  // The next V3000 line of the table, its continuation lines joined, without "M  V30 ";
  // false at "M  END" (or the record's or input's end, which `ended` then tells).
  bool nextV3000Line(std::string& text, bool& ended);
  void readDataItems(Molecule& molecule);

  LineSource& source_;
  const std::string& path_;
  size_t record_;             // the record being read, from 1
  bool recordEnded_ = false;  // the record's "$$$$" line has been read
};

}  // namespace VXMole
