// Residue pairing: the atom pairs of two polymers matched residue by residue, by their
// residue identifiers or by an alignment of their sequences, one pair per atom at most.
#pragma once

#include <vector>

#include "pairing.h"

namespace VXMole {

class Molecule;

// In both functions `referenceAtoms` and `comparisonAtoms` say, by atom position, which atoms
// may pair; the pairs come in reference atom order. Within two matched residues a reference
// atom pairs with the first unpaired comparison atom of its name whose alternate site has the
// same letter, else with the first whose site is blank or whose letter meets a blank.

// Atoms of equal chain, residue number, insertion code, residue name (residueNameOf) and atom
// name. Linear in the atoms.
std::vector<AtomPair> pairByResidue(const Molecule& reference,
                                    const std::vector<bool>& referenceAtoms,
                                    const Molecule& comparison,
                                    const std::vector<bool>& comparisonAtoms);

// Atoms of equal name in residues that the alignment of the chains' sequences pairs
// (sequenceLetter, alignSequences). The sequence of a chain holds its polymer residues that
// hold an atom that may pair, of the chain's main kind (protein or nucleic acid). Chains pair
// by identifier where both molecules have a chain of that identifier and kind; the others
// pair by the best alignment score, the highest first, as long as it is above zero. With
// `otherResidues`, the residues outside every sequence pair too: the k-th of a residue name in
// the reference with the k-th of that name in the comparison. `chains` receives the chains
// aligned.
std::vector<AtomPair> pairBySequence(const Molecule& reference,
                                     const std::vector<bool>& referenceAtoms,
                                     const Molecule& comparison,
                                     const std::vector<bool>& comparisonAtoms, bool otherResidues,
                                     std::vector<ChainMatch>& chains);

}  // namespace VXMole
