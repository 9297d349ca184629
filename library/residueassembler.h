// ResidueAssembler: atoms and residues of a molecule from atom records (PDB ATOM/HETATM, mmCIF
// _atom_site), by the rules both formats share.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "coords.h"

namespace VXMole {

class Atom;
class Molecule;
class Residu;

// One atom record as a reader cut it from its file.
struct AtomRecord {
  unsigned serial = 0;       // the file's atom number: the atom's map number; 0 when none
  std::string_view name;     // atom name
  std::string_view element;  // element symbol in any case ("CL", "Cl"); "" to use the name
  char altLoc = ' ';         // alternate location letter, blank when one site
  std::string_view residueName;
  std::string_view chain;  // "" when none
  int residueNumber = 0;
  char insertionCode = ' ';  // blank when none
  Coords at;                 // position, ångström
  double formalCharge = 0;   // in units of the elementary charge
};

// Adds atoms to a molecule record by record. Names are kept as read ("ZN" stays "ZN"); the
// element comes from the element symbol (in the table's case), else from the name, a metal
// ion's upper-case name in the table's spelling ("ZN" -> zinc). A residue is the run of consecutive records that share chain,
// number, insertion code and name; a record that comes back to an earlier residue joins it only
// where that is unambiguous: that residue is the only one of its key, holds no atom of the
// record's name and alternate location, and lies within 5 Å of the record's atom (hydrogens
// listed after the heavy atoms, alternate sites listed apart). Otherwise it starts a residue.
class ResidueAssembler {
 public:
  explicit ResidueAssembler(Molecule& molecule) : molecule_(molecule) {}

  // The new atom, owned by the molecule, numbered by the count of atoms added so far.
  Atom* add(const AtomRecord& record);

 private:
  Residu* residueFor(const AtomRecord& record, const Atom& atom);

  Molecule& molecule_;
  unsigned added_ = 0;
  // Residues by chain, number, insertion code and name; null once two residues had the key.
  std::unordered_map<std::string, Residu*> byKey_;
  std::string key_;
  Residu* last_ = nullptr;
  int lastNumber_ = 0;
  char lastInsertionCode_ = ' ';
  std::string lastName_, lastChain_;
};

// The element table's spelling of a symbol written in any case: "CL" -> "Cl", "n" -> "N".
std::string elementCase(std::string symbol);

}  // namespace VXMole
