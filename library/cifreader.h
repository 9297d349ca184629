// CifReader: each model of an mmCIF file's _atom_site as a molecule, parsed by gemmi.
#pragma once

#include <string>
#include <string_view>

namespace VXMole {

class Complex;

// Reads mmCIF text (the PDB archive's format, and that of co-folding models) into the model as
// the PDB reader reads the same entry: each model of _atom_site a molecule, in file order; names,
// residue names, numbers and chains from the auth_ items, else the label_ items; the element
// from type_symbol; the atom serial as the map number; alternate sites, metal names, residues
// and residue typing as for PDB records; covalent bonds of _struct_conn (disulfides, ligands
// bound to the polymer), made before the typing, which adds those it makes or perceives.
class CifReader {
 public:
  // `path` is the file's name as the user gave it: every message names it.
  explicit CifReader(std::string path) : path_(std::move(path)) {}

  // Adds one molecule per model, of type code `type`, to the complex, each that holds atoms
  // (text that holds nothing at all gives no molecule, as an empty PDB file gives none). Throws
  // MoleExcept 112011 (text that is not CIF), 112012 (no _atom_site), 112013 (a coordinate that
  // is not a number).
  void read(std::string_view text, Complex& complex, unsigned type) const;

 private:
  std::string path_;
};

}  // namespace VXMole
