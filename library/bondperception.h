// Bond perception: covalent bonds found from interatomic distances, for any reader's molecules.
#pragma once

namespace VXMole {

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

}  // namespace VXMole
