// Molecule: atoms, bonds, residues and rings, with a type code and barycentres.
#pragma once

#include <boost/ptr_container/ptr_vector.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "atome.h"
#include "bond.h"
#include "coords.h"
#include "largeblock.h"
#include "residu.h"
#include "search_arom.h"

namespace VXMole {

// Molecule type codes.
enum MoleculeType : unsigned {
  kMoleLigand = 0,
  kMoleCofactor = 1,
  kMoleProtein = 2,
  kMoleIon = 3,
  kMoleOther = 4,
  kMoleCalcs = 5,
  kMoleSolvent = 6,
  kMoleBiopolymer = 7,
};

// A molecule owns its atoms, bonds, residues and ring records. Atoms added without a residue go
// to the default residue "<1>" (chain "X", kind 7, numbers 100000).
class Molecule {
 public:
  static int debug;  // class-wide diagnostic switch, 0 = off

  Molecule(unsigned type = kMoleLigand, unsigned numAtoms = 0, unsigned numBonds = 0,
           unsigned numResidues = 0, std::string name = std::string());
  ~Molecule();
  Molecule(const Molecule&) = delete;
  Molecule& operator=(const Molecule&) = delete;

  unsigned getType() const { return type_; }
  void setType(unsigned type) { type_ = type; }
  std::string getLongMoletype() const;
  const std::string& getName() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  // Free text that came with the molecule (a MOL2 COMMENT section), "" when none.
  const std::string& getComment() const { return comment_; }
  void setComment(std::string comment) { comment_ = std::move(comment); }
  // The charge type a MOL2 file gave ("GASTEIGER", "USER_CHARGES"), "" when none was read.
  const std::string& getChargeType() const { return chargeType_; }
  void setChargeType(std::string chargeType) { chargeType_ = std::move(chargeType); }
  // A named item of data that came with the molecule: an SDF record's "> <name>" item, a
  // docking program's score. The value keeps its lines, joined by line feeds.
  struct DataItem {
    std::string name;
    std::string value;
  };
  // The items in file order; a name may come more than once.
  const std::vector<DataItem>& getDataItems() const { return dataItems_; }
  void addDataItem(std::string name, std::string value) {
    dataItems_.push_back({std::move(name), std::move(value)});
  }

  // Takes ownership of the atom and files it in `residue`, or in the default residue when null.
  // An atom this molecule already holds is left where it is; a null atom raises the
  // container's error (boost::bad_pointer).
  void addAtom(Atom* atom, Residu* residue = nullptr);
  // Takes ownership of the residue; a null residue raises the container's error.
  Residu* addResidu(Residu* residue);
  // Creates a residue numbered `number` (both its number and map number); its kind comes from
  // the residue table when the name matches a row, else `kind`.
  Residu* addResidu(int number, std::string name, std::string chain, int kind = kResiduOther);
  // Bonds two atoms of this molecule. Throws 109021/109022 for a null atom, 106013 for one atom
  // given twice.
  Bond* addBond(Atom* first, Atom* second, int type, unsigned num);
  // Bonds the atoms with the given file atom numbers (map numbers). Throws 109011..109016.
  Bond* addBond(unsigned first, unsigned second, int type, unsigned num);

  // The atom whose file atom number (map number) is `number`, or null.
  Atom* getAtom(unsigned number);
  // Forgets the map number index behind getAtom; Atom::setMapNum calls it for its parent.
  void atomNumbersChanged() { dropAtomIndex(); }

  // Removes an atom with its bonds, from its residue and from the molecule, and frees it.
  void delAtom(Atom* atom);
  // Removes a bond from both its atoms and from the molecule, and frees it.
  void delBond(Bond* bond);
  // Removes a residue; its atoms move to the default residue. Removing the default residue
  // (only allowed when empty) leaves the molecule without one until an atom needs it.
  void delResidu(Residu* residue);
  // Removes every residue that holds no atom.
  void cleanResidu();
  // Renumbers the atoms 0, 1, 2... in molecule order; map numbers are kept.
  void renumAtom();
  unsigned numHeavyAtm() const;

  // Mean of the chosen coordinates (fixed, or rotated) over the atoms that count: every atom
  // when withHydrogens, else the non-hydrogens; atoms typed "DU" never count. Stored and
  // returned; (0, 0, 0) when nothing counts.
  Coords calcBarycenter(bool withHydrogens, bool rotated);
  const Coords& getBarycenter() const { return barycenter_; }
  const Coords& getRotatedBarycenter() const { return rotatedBarycenter_; }

  // Re-derives every atom's properties from its stored MOL2 type; failures are reported on the
  // error stream and the next atom is checked.
  void checkMol2();

  // Finds the rings and adds, for each, a Cycle record and a centroid dummy atom.
  void search_cycle();

  // A deep copy: atoms, bonds, residues and rings.
  Molecule* clone() const;

  size_t numAtoms() const { return atoms_.size(); }
  size_t numBonds() const { return bonds_.size(); }
  size_t numResidues() const { return residues_.size(); }
  size_t numCycles() const { return cycles_.size(); }
  // Elements by position; a bad position raises the container's error (boost::bad_index).
  Atom& atom(size_t i) { return atoms_.at(i); }
  const Atom& atom(size_t i) const { return atoms_.at(i); }
  Bond& bond(size_t i) { return bonds_.at(i); }
  const Bond& bond(size_t i) const { return bonds_.at(i); }
  Residu& residu(size_t i) { return residues_.at(i); }
  const Residu& residu(size_t i) const { return residues_.at(i); }
  const Cycle& cycle(size_t i) const { return cycles_.at(i); }
  void addCycle(Cycle* cycle) { cycles_.push_back(cycle); }
  Residu* getDefaultResidu() const { return defaultResidu_; }

  std::string toString() const;

 private:
  Residu* createDefaultResidu();
  void dropAtomIndex() {
    atomIndexBuilt_ = false;
    atomIndex_.clear();
  }

  unsigned type_;
  std::string name_;
  std::string comment_;
  std::string chargeType_;
  std::vector<DataItem> dataItems_;
  // Destroyed in reverse order of declaration: rings, bonds (their edges leave the atoms'
  // vertices), residues, then atoms.
  template <class T>
  using OwnedList = boost::ptr_vector<T, boost::heap_clone_allocator, LargeBlockAllocator<void*>>;
  OwnedList<Atom> atoms_;
  boost::ptr_vector<Residu> residues_;
  OwnedList<Bond> bonds_;
  boost::ptr_vector<Cycle> cycles_;
  Residu* defaultResidu_ = nullptr;  // one of residues_, or null once removed
  Coords barycenter_;
  Coords rotatedBarycenter_;
  // Map number -> atom, built on the first lookup that the position shortcut misses.
  std::unordered_map<unsigned, Atom*> atomIndex_;
  bool atomIndexBuilt_ = false;
};

}  // namespace VXMole
