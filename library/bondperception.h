// Bond perception: covalent bonds found from interatomic distances, for any reader's molecules.
#pragma once

#include <unordered_set>
#include <vector>

namespace VXMole {

class Atom;
class Molecule;
class Residu;

// Two atoms bond when they are closer than the sum of their radii (the element table's atomic
// radii, Slater 1964, which stand close to covalent radii) plus kBondTolerance (Å).
inline constexpr double kBondTolerance = 0.45;
// Atoms closer than kCoincident (Å) are two sites of one atom, not bonded.
inline constexpr double kCoincident = 0.4;
// Each atom is compared with at most this many atoms of the cells around it (cubic cells whose
// side is the largest bonding distance: the 27 cells hold every partner). Matter packs at most a
// few hundred atoms there, so the cap binds only on stacked or degenerate input, where it keeps
// the work linear in atoms.
inline constexpr unsigned kMaxNeighbourScan = 1024;

// Bonds the atoms of `residue` by that rule. Two hydrogens never bond, nor do atoms of two
// different alternate sites; a hydrogen bonds to its nearest partner only. Atoms that hold bonds
// already (those a CONECT record touched) keep what the file says among themselves: a pair is
// perceived only where one of its atoms holds none, and a hydrogen that holds one gets no other.
// The bonds are single and numbered from `bondNum` on, which is left past the last; those
// between heavy atoms are made first, in ascending x of their first atom (then of their second),
// then those of the hydrogens, in ascending x of the hydrogen. Linear in the residue's atoms.
void perceiveBonds(Molecule& molecule, const Residu& residue, unsigned& bondNum);

// Bonds between residues that nothing else bonds: each heavy atom of the given residues (those no
// template knows) bonds, by the same distance rule, to the heavy atoms of other residues that
// lie within reach, unless the two are bonded already (by a template, a CONECT record or a
// _struct_conn entry). Waters and metals take no part; hydrogens neither (each has its bond in
// its residue); alternate sites bond only within their own site; and, as within a residue, a
// pair whose atoms both hold bonds the file gave (`fileBonded`) is left as the file says. The
// bonds are single, numbered from `bondNum` on, made residue by residue, atom by atom, each
// atom's partners in the molecule's order. Linear in atoms, over the same grid.
void perceiveLinks(Molecule& molecule, const std::vector<const Residu*>& residues,
                   const std::unordered_set<const Atom*>& fileBonded, unsigned& bondNum);

}  // namespace VXMole
