// Molecule: building, editing, copying and barycentres.
#include "molecule.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <sstream>

#include "diagnostics.h"
#include "edge.h"
#include "global.h"
#include "tables.h"
#include "vertex.h"

namespace VXMole {

int Molecule::debug = 0;

namespace {

const char* const kMoleTypeNames[] = {"LIGAND", "COFACTOR", "PROTEIN", "ION",
                                      "OTHER",  "CALCS",    "SOLVENT", "BIOPOLYMER"};

template <class List, class T>
typename List::iterator findIn(List& list, const T* item) {
  auto it = list.begin();
  while (it != list.end() && &*it != item) ++it;
  return it;
}

}  // namespace

Molecule::Molecule(unsigned type, unsigned numAtoms, unsigned numBonds, unsigned numResidues,
                   std::string name)
    : type_(type), name_(std::move(name)) {
  // The counts come from file headers: reserve only what a plausible file holds.
  const unsigned kMaxReserve = 1u << 20;
  atoms_.reserve(std::min(numAtoms, kMaxReserve));
  bonds_.reserve(std::min(numBonds, kMaxReserve));
  residues_.reserve(std::min(numResidues, kMaxReserve) + 1);
  createDefaultResidu();
}

Molecule::~Molecule() {
  // Rings and bonds go before the atoms whose vertices their edges are attached to.
  cycles_.clear();
  bonds_.clear();
  residues_.clear();
  atoms_.clear();
}

std::string Molecule::getLongMoletype() const {
  return type_ < std::size(kMoleTypeNames) ? kMoleTypeNames[type_] : "UNKNOWN";
}

Residu* Molecule::createDefaultResidu() {
  defaultResidu_ =
      new Residu(this, kDefaultResiduNum, kDefaultResiduNum, "<1>", "X", kResiduDefault);
  residues_.push_back(defaultResidu_);
  return defaultResidu_;
}

void Molecule::addAtom(Atom* atom, Residu* residue) {
  // A null atom raises the container's error; an atom this molecule already owns is not taken
  // a second time (it would be freed twice).
  if (atom == nullptr) atoms_.push_back(atom);
  if (atom->getParent() == this) return;
  atoms_.push_back(atom);
  atom->setParent(this);
  if (residue == nullptr) residue = defaultResidu_ ? defaultResidu_ : createDefaultResidu();
  residue->addAtom(atom);
  if (atomIndexBuilt_) atomIndex_.emplace(atom->getMapNum(), atom);
}

Residu* Molecule::addResidu(Residu* residue) {
  residues_.push_back(residue);  // a null residue raises the container's error
  return residue;
}

Residu* Molecule::addResidu(int number, std::string name, std::string chain, int kind) {
  auto* residue = new Residu(this, number, number, std::move(name), std::move(chain), kind);
  residue->checkResidu();
  residues_.push_back(residue);
  return residue;
}

Bond* Molecule::addBond(Atom* first, Atom* second, int type, unsigned num) {
  if (first == nullptr) throw raise(kErrMolBondAtom1Null);
  if (second == nullptr) throw raise(kErrMolBondAtom2Null);
  auto* bond = new Bond(first, second, type, num, num);
  bonds_.push_back(bond);
  return bond;
}

Bond* Molecule::addBond(unsigned first, unsigned second, int type, unsigned num) {
  // Files may number their atoms 10, 20, 30...: a number above the atom count is refused only
  // when no atom bears it.
  Atom* a = getAtom(first);
  Atom* b = getAtom(second);
  if (a == nullptr && first > atoms_.size()) throw raise(kErrMolBondNum1TooHigh);
  if (b == nullptr && second > atoms_.size()) throw raise(kErrMolBondNum2TooHigh);
  if (first == second) throw raise(kErrMolBondSameAtom);
  if (a == nullptr) throw raise(kErrMolBondAtom1NotFound);
  if (b == nullptr) throw raise(kErrMolBondAtom2NotFound);
  if (a->hasLink(b)) throw raise(kErrMolBondAlreadyBonded);
  return addBond(a, b, type, num);
}

Atom* Molecule::getAtom(unsigned number) {
  // Files usually number their atoms 1, 2, 3... in order: try that position first.
  if (number >= 1 && number <= atoms_.size() && atoms_[number - 1].getMapNum() == number)
    return &atoms_[number - 1];
  if (!atomIndexBuilt_) {
    atomIndex_.clear();
    atomIndex_.reserve(atoms_.size());
    for (Atom& atom : atoms_) atomIndex_.emplace(atom.getMapNum(), &atom);
    atomIndexBuilt_ = true;
  }
  auto it = atomIndex_.find(number);
  return it == atomIndex_.end() ? nullptr : it->second;
}

void Molecule::delAtom(Atom* atom) {
  auto it = findIn(atoms_, atom);
  if (it == atoms_.end()) return;
  // Every bond of the molecule that names the atom goes, whether or not its edge is still on
  // the atom's vertex (Atom::removeLink detaches one end only). Freeing a bond frees its edge,
  // which leaves both vertices. An edge the molecule does not own stays on the vertex, and
  // freeing the vertex with the atom clears that edge's end, so none points at it afterwards.
  for (size_t i = bonds_.size(); i-- > 0;) {
    if (bonds_[i].getFirst() == atom || bonds_[i].getSecond() == atom)
      bonds_.erase(bonds_.begin() + i);
  }
  if (atom->getResidu() != nullptr) atom->getResidu()->removeAtom(atom);
  // Rings that lose a member, or whose centroid this is, are no longer rings.
  for (size_t i = cycles_.size(); i-- > 0;) {
    const Cycle& cycle = cycles_[i];
    if (cycle.centroid == atom ||
        std::find(cycle.atoms.begin(), cycle.atoms.end(), atom) != cycle.atoms.end())
      cycles_.erase(cycles_.begin() + i);
  }
  atoms_.erase(it);
  dropAtomIndex();
}

void Molecule::delBond(Bond* bond) {
  auto it = findIn(bonds_, bond);
  if (it != bonds_.end()) bonds_.erase(it);
}

void Molecule::delResidu(Residu* residue) {
  auto it = findIn(residues_, residue);
  if (it == residues_.end()) return;
  if (residue == defaultResidu_) {
    if (residue->numAtoms() != 0) return;  // it would have nowhere to send its atoms
    defaultResidu_ = nullptr;
    residues_.erase(it);
    return;
  }
  const std::vector<Atom*> atoms = residue->getAtoms();
  residues_.erase(it);
  if (!atoms.empty()) {
    Residu* home = defaultResidu_ ? defaultResidu_ : createDefaultResidu();
    for (Atom* atom : atoms) home->addAtom(atom);
  }
}

void Molecule::cleanResidu() {
  for (size_t i = residues_.size(); i-- > 0;) {
    if (residues_[i].numAtoms() == 0) {
      if (&residues_[i] == defaultResidu_) defaultResidu_ = nullptr;
      residues_.erase(residues_.begin() + i);
    }
  }
}

void Molecule::renumAtom() {
  unsigned num = 0;
  for (Atom& atom : atoms_) atom.setNum(num++);
}

unsigned Molecule::numHeavyAtm() const {
  unsigned count = 0;
  for (const Atom& atom : atoms_)
    if (!atom.isHydrogen()) ++count;
  return count;
}

Coords Molecule::calcBarycenter(bool withHydrogens, bool rotated) {
  Coords& target = rotated ? rotatedBarycenter_ : barycenter_;
  target = Coords();
  if (atoms_.empty()) return target;
  Coords sum;
  size_t counted = 0;
  for (const Atom& atom : atoms_) {
    if ((withHydrogens || !atom.isHydrogen()) && atom.getMOL2type() != "DU") {
      sum += rotated ? atom.getRotatedCoords() : atom.getFixedCoords();
      ++counted;
    }
  }
  if (counted > 0) {
    const double n = static_cast<double>(counted);
    target = Coords(sum.x / n, sum.y / n, sum.z / n);
  }
  return target;
}

void Molecule::checkMol2() {
  for (Atom& atom : atoms_) {
    try {
      atom.checkMOL2type(std::string());
    } catch (const MoleExcept& error) {
      diagnostics() << error.code << "\t" << error.location << "\t" << error.message << std::endl;
    }
  }
}

Molecule* Molecule::clone() const {
  auto* copy = new Molecule(type_, static_cast<unsigned>(atoms_.size()),
                            static_cast<unsigned>(bonds_.size()),
                            static_cast<unsigned>(residues_.size()), name_);
  // The residues in the same order as here, the default one included where it stands.
  copy->residues_.clear();
  copy->defaultResidu_ = nullptr;
  std::map<const Residu*, Residu*> residues;
  for (const Residu& residue : residues_) {
    auto* twin = new Residu(copy, residue.getNum(), residue.getMapNum(), residue.getName(),
                            residue.getChain(), residue.getKind());
    // Only a residue that was matched against the table is matched again.
    if (residue.getTableIndex() < AACID_NONE) twin->checkResidu();
    twin->setKind(residue.getKind());
    twin->setInsertionCode(residue.getInsertionCode());
    copy->residues_.push_back(twin);
    residues[&residue] = twin;
    if (&residue == defaultResidu_) copy->defaultResidu_ = twin;
  }
  std::map<const Atom*, Atom*> atoms;
  for (const Atom& atom : atoms_) {
    auto* twin = new Atom();
    twin->clone(atom);
    Residu* home = atom.getResidu() ? residues[atom.getResidu()] : nullptr;
    copy->addAtom(twin, home);
    atoms[&atom] = twin;
  }
  for (const Residu& residue : residues_) {
    if (residue.getRoot() != nullptr) residues[&residue]->setRoot(atoms[residue.getRoot()]);
  }
  for (const Bond& bond : bonds_) {
    Bond* twin = copy->addBond(atoms[bond.getFirst()], atoms[bond.getSecond()], bond.getType(),
                               bond.getNum());
    twin->getEdge()->mapNum = bond.getMapNum();
  }
  for (const Cycle& cycle : cycles_) {
    auto* twin = new Cycle;
    twin->aromatic = cycle.aromatic;
    twin->centroid = cycle.centroid ? atoms[cycle.centroid] : nullptr;
    for (const Atom* member : cycle.atoms) twin->atoms.push_back(atoms[member]);
    copy->cycles_.push_back(twin);
  }
  copy->comment_ = comment_;
  copy->chargeType_ = chargeType_;
  copy->dataItems_ = dataItems_;
  copy->barycenter_ = barycenter_;
  copy->rotatedBarycenter_ = rotatedBarycenter_;
  return copy;
}

std::string Molecule::toString() const {
  std::ostringstream out;
  out << "MOLECULE " << name_ << " : " << getLongMoletype() << " (" << type_ << ")"
      << "\tAtoms : " << atoms_.size() << "\tBonds : " << bonds_.size()
      << "\tResidues : " << residues_.size() << "\tRings : " << cycles_.size() << "\n";
  return out.str();
}

}  // namespace VXMole
