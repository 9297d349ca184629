// SYBYL typing from bond orders: an atom's Tripos type from its element, neighbours, bond orders
// and formal charge, for atoms whose file gives orders but no types.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace VXMole {

class Atom;
class Molecule;

// The Tripos type of an atom ("C.ar", "N.am", "O.co2", "S.o2", "H", "Cl", "Zn"...), from its
// element, its bonds (their types: single, double, triple, aromatic, amide), its neighbours and
// their bonds, and its formal charge; hydrogens the molecule holds count as neighbours, metals
// (formsCovalentBonds) do not.
// `aromatic` says the atom lies in an aromatic ring (aromaticRingAtoms); an atom that holds two
// aromatic bonds is taken as aromatic anyway. "" for an element the type table lacks (boron,
// arsenic...). The rules:
// - C: C.ar aromatic; C.1 with a triple bond or two double bonds; C.cat for the central carbon
//   of a guanidine or guanidinium (three nitrogens, one double or aromatic bond to them);
//   C.2 with a double bond, or aromatic bonds to terminal oxygens (a carboxylate); else C.3.
// - N: N.ar aromatic; N.1 with a triple bond or two double bonds (not both to oxygen); N.4
//   with four neighbours, or a positive charge and single bonds only; N.pl3 for a nitro group
//   (written N(=O)=O, or with one double bond and three neighbours), an N-oxide and the
//   nitrogens of a guanidine; N.2 with a double bond; N.am singly bonded to a carbon that holds
//   a double bond to O or S (amides, ureas, carbamates, thioamides); N.pl3 singly bonded to an
//   unsaturated carbon or nitrogen (anilines, enamines, amidines); else N.3.
// - O: O.co2 for the terminal oxygens of a carboxylate (a carbon with two terminal oxygens,
//   neither bearing hydrogen) and for a negatively charged terminal oxygen on sulfur or
//   nitrogen (not on phosphorus, where RDKit refuses O.co2); O.2
//   with a double bond or in an aromatic ring; else O.3.
// - S: S.o2 with two double bonds to oxygen, S.o with one; S.2 with a double bond to another
//   element, or in an aromatic ring; else S.3.
// - P: P.3. H: H. Halogens, metals and the other elements of the type table: their symbol
//   (as the table spells it: "Zn", "Fe", "Co.oh").
std::string sybylTypeOf(const Atom& atom, bool aromatic);
std::string sybylTypeOf(const Atom& atom);

// The atoms, of those given, that lie in an aromatic ring: a ring of five to seven of them
// (the smallest ring through each bond) whose atoms all hold a double or aromatic bond or a
// lone pair, with 4n + 2 pi electrons: one for an atom doubly bonded to carbon or nitrogen,
// none for one doubly bonded outside the ring to oxygen or sulfur, two for a nitrogen, oxygen
// or sulfur with single bonds only. Rings given with aromatic bonds are aromatic.
std::unordered_set<const Atom*> aromaticRingAtoms(const std::vector<Atom*>& atoms);

// The smallest ring through each bond between two of the given atoms that form covalent bonds,
// of five to seven atoms, each ring once, its atoms in ring order.
std::vector<std::vector<const Atom*>> smallRings(const std::vector<Atom*>& atoms);

// Whether the atom's bonds are covalent ones that count towards its valence: hydrogen, boron,
// carbon, nitrogen, oxygen, the halogens, silicon, phosphorus, sulfur and selenium. Bonds to
// metals are coordination and count for neither atom's type.
bool formsCovalentBonds(const Atom& atom);

// Types each given atom that holds no type yet by sybylTypeOf, through Atom::checkMOL2type so
// that the element and property flags follow; an atom of an element the type table lacks keeps
// what it had. The flags are derived once every type is set, since they read the neighbours'.
void assignSybylTypes(const std::vector<Atom*>& atoms);
// The same over every atom of the molecule.
void assignSybylTypes(Molecule& molecule);

}  // namespace VXMole
