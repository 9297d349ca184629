// Residue classes (protein, nucleic acid, water, metal ion, ligand) and sequence letters, told
// from residue names and atoms alone.
#pragma once

#include <string>
#include <unordered_map>

namespace VXMole {

class Molecule;
class Residu;

enum class ResidueClass {
  kProtein,  // an amino acid by name (standard, protonation states, caps, common modified
             // ones), or a residue with atoms N, CA and C joined by a peptide-length C-N
             // distance to the residue before or after it
  kNucleic,  // a nucleotide by name: A C G U T I N, DA DC DG DT DU DI DN, RA RC RG RU, and
             // these with a 5 or 3 ending (Amber's chain ends)
  kWater,    // HOH, WAT, WTR, MTO, DOD, H2O, SOL, TIP, TIP3, TIP4, T3P, T4P, SPC
  kMetal,    // a metal ion: every heavy atom of the residue is of a metal element
  kLigand,   // none of the above
};

// The residue name as selections and classes read it: the name without a trailing copy of the
// residue number ("ALA12" of residue 12, as MOL2 substructures are named, reads "ALA").
std::string residueNameOf(const Residu& residue);

// Whether an element is a metal: any element but hydrogen, the noble gases, the non-metals and
// the metalloids B, Si, Ge, As, Sb, Te and At; the dummy element is none.
bool isMetalElement(unsigned atomicNum);

// The class of every residue of a molecule, decided once.
class ResidueClasses {
 public:
  explicit ResidueClasses(const Molecule& molecule);
  // The class of a residue of the molecule; kLigand for a residue it does not hold.
  ResidueClass of(const Residu* residue) const;

 private:
  std::unordered_map<const Residu*, ResidueClass> classes_;
};

// The one-letter code of a polymer residue for sequence alignment: amino acids their IUPAC
// letter (variants that of their parent, 'X' for an amino acid of no known kind), nucleotides
// A, C, G, U or T ('N' for I and N); '\0' for a residue that has no place in a sequence (caps,
// waters, ions, ligands).
char sequenceLetter(const Residu& residue, ResidueClass residueClass);

}  // namespace VXMole
