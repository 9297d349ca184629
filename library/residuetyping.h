// Residue typing: bonds, MOL2 types and properties of residues, by template or by geometry.
// Amino acids and nucleotides by templates and protonation rules, other residues from their
// geometry, for any molecule whatever read it.
#pragma once

namespace VXMole {

class Molecule;

// Types the residues of a molecule by their names, once its atoms and residues are made (the
// PDB and mmCIF readers call it last; MoleReader::defProps is its interface):
// - the twenty standard amino acids, the Amber and CHARMM names of their protonation states
//   (HID, HIE, HIP, HSD, HSE, HSP, ASH, GLH, LYN) and of cystine (CYX, CYM), and the peptide caps
//   (ACE, NME) get their template's bonds by atom names, a bond from each hydrogen to the
//   nearest heavy atom of the residue, and their template's MOL2 types. The termini, carboxyl
//   groups, histidine rings and the lysine amine are typed from the hydrogens the file shows,
//   else from the residue's name. A residue of such a name holding more atoms than any amino
//   acid is left as read.
// - the nucleotides of RNA (A, C, G, U, I) and DNA (DA, DC, DG, DT, DU, DI) get their
//   template's bonds and types: the sugar-phosphate backbone, 5' phosphate included, and the
//   aromatic bases in one Kekulé form;
// - other residues that hold a backbone (N, CA, C: modified amino acids) join their chain;
// - residues of any other name, waters excepted, get the bonds their distances show
//   (perceiveBonds, bondperception.h) where an atom holds none; like the modified amino acids,
//   they then get their bond orders from the geometry, or keep those CONECT records give, and
//   their SYBYL types from the orders (perceiveBondOrders, bondorders.h).
// Consecutive positions of a chain are joined by the peptide bond C-N, or by the phosphodiester
// link O3'-P between nucleotides, when the two atoms are closer than 2.0 Å, and two cysteines
// of different residues by the disulfide SG-SG, when the atoms are close enough. Atoms at
// alternate sites bond only within their own site. A bond already made (by a CONECT record)
// stands, with the template's order. Last, every atom named OXT gets the anion flag, and an
// atom named ZN (a name kept as read) gets zinc's element data.
void typeResidues(Molecule& molecule);

}  // namespace VXMole
