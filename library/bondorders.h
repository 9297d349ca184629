// Bond-order perception: double and triple bonds, and the charges they imply, from the geometry
// of atoms whose file gives connectivity but no orders (PDB without CONECT orders, mmCIF).
#pragma once

#include <cstddef>
#include <vector>

namespace VXMole {

class Atom;
class Molecule;

// A conjugated system of more atoms than this gets the greedy assignment by bond length only,
// without the augmenting search, whose cost grows with its square.
inline constexpr size_t kMaxMatchedSystem = 2000;

// Gives orders to the single bonds between the given atoms (bonds to other atoms, and bonds of
// other types, are kept as they are), then SYBYL types to those of the atoms that hold none
// (assignSybylTypes, sybyltyping.h). After Baber and Hodgkin (J. Chem. Inf. Comput. Sci. 1992)
// and Labute (J. Chem. Inf. Model. 2005), as far as their descriptions go:
// 1. Each heavy atom's free valence: its neutral valence (C 4, N 3, O 2, S 2; moved by the
//    formal charge the file gives) less its bonds to non-metals. Where a residue shows
//    hydrogens on carbon, they are taken as complete, and the free valence decides alone.
//    Otherwise hydrogens are missing, and an atom counts as unsaturated only when the geometry
//    says so: three neighbours in a plane (angle sum >= 350 degrees), two at an angle >= 115
//    degrees (>= 160: linear), membership of a planar ring of five or six atoms (every atom
//    within 0.12 Å of the mean plane), or one neighbour nearer than halfway between the single
//    and the double bond length.
// 2. Fixed groups: a nitro group is written N(=O)=O, Tripos's form; an N-oxide N(+)-O(-); the
//    terminal oxygens of sulfur and phosphorus take the double bonds that the other neighbours
//    leave (two on a sulfone, sulfonamide or sulfonate, one on a sulfoxide or a phosphate),
//    shortest first; an oxygen whose file gives it a negative charge keeps its single bond.
// 3. Triple bonds between linear atoms of two free valences nearer than the triple bond length
//    plus 0.08 Å; a linear atom with two free valences left takes two double bonds.
// 4. Double bonds (the Kekulé assignment): a maximum matching among the unsaturated atoms,
//    seeded with the bonds within 30% of their double bond length (from the double towards the
//    single length), then completed by Edmonds' blossom search from every carbon left
//    unmatched, and, where hydrogens are complete, from every atom left with a free valence.
//    Without hydrogens, only bonds shorter than their single bond length less 0.04 Å are
//    candidates, a heteroatom outside the rings is neither seeded nor preferred, and a path
//    may end by taking a heteroatom's double bond back (the aniline's C=N returns to its
//    ring): a heteroatom gets a double bond only where a carbon needs it. Last, a ring nitrogen
//    of two neighbours left without a double bond takes back one that a nitrogen outside the
//    rings holds to a ring atom (a 4-anilinoquinazoline is aromatic, not its NH tautomer).
// 5. A carbon still without a double bond may take one to a planar nitrogen of three
//    neighbours (pyridinium, amidinium, guanidinium). Where hydrogens are complete, a terminal
//    oxygen left with a free valence is an anion and a nitrogen of four neighbours a cation.
//    These charges, and that of an N-oxide, choose the types (N.4, C.cat, O.co2); the atoms
//    keep the formal charges their file gives, since MOL2 readers take the charges from types.
// 6. A carbon with two terminal oxygens, neither bearing hydrogen, shares its double bond
//    between them: both bonds aromatic, both oxygens O.co2 (a carboxylate, as Tripos writes it).
void perceiveBondOrders(Molecule& molecule, const std::vector<Atom*>& atoms);

}  // namespace VXMole
