// Atom: element lookup, MOL2 typing with property derivation, bonds and text dumps.
#include "atome.h"

#include <array>
#include <cctype>  // for std::isalpha
#include <iostream>
#include <iterator>  // for std::size
#include <sstream>

#include "bond.h"
#include "diagnostics.h"
#include "edge.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"
#include "tables.h"
#include "vertex.h"

namespace VXMole {

int Atom::debug = 0;

namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The row of the type table for a type text: the first row whose type contains the text, as
// the table's vocabulary is used; else, for the spellings other programs write ("BR", "CL",
// "S.O2"), the row whose type is the text in another case. Null when none is.
const Mol2SpecRow* mol2Row(std::string_view type) {
  for (const Mol2SpecRow& row : MOL2_SPEC)
    if (contains(row.type, type)) return &row;
  for (const Mol2SpecRow& row : MOL2_SPEC)
    if (sameLettersAnyCase(row.type, type)) return &row;
  return nullptr;
}

}  // namespace

Atom::Atom() : vertex_(0, 0, this, 1.0) {}

Atom::Atom(unsigned num, unsigned mapNum, std::string symbol, double x, double y, double z,
           std::string name, std::string mol2type)
    : Atom(num, mapNum, std::move(symbol), Coords(x, y, z), std::move(name), std::move(mol2type)) {}

Atom::Atom(unsigned num, unsigned mapNum, std::string symbol, std::string name,
           std::string mol2type)
    : Atom(num, mapNum, std::move(symbol), Coords(), std::move(name), std::move(mol2type)) {}

Atom::Atom(unsigned num, unsigned mapNum, std::string symbol, const Coords& position,
           std::string name, std::string mol2type)
    : symbol_(std::move(symbol)),
      name_(std::move(name)),
      mol2type_(std::move(mol2type)),
      fixed_(position),
      vertex_(num, mapNum, this, 1.0) {
  if (!symbol_.empty()) loadAtomicData();
}

// The vertex goes with the atom. Bonds must be gone first (a molecule frees its bonds before
// its atoms), so that no edge is left pointing at the vertex.
Atom::~Atom() = default;

unsigned Atom::getNum() const {
  return vertex_.num;
}
unsigned Atom::getMapNum() const {
  return vertex_.mapNum;
}
void Atom::setNum(unsigned num) {
  vertex_.num = num;
}
void Atom::setMapNum(unsigned mapNum) {
  vertex_.mapNum = mapNum;
  if (parent_ != nullptr) parent_->atomNumbersChanged();  // its lookup by number is stale
}
unsigned Atom::numBonds() const {
  return static_cast<unsigned>(vertex_.edges.size());
}

std::string Atom::getLongName() const {
  if (atomicNum_ < 1 || atomicNum_ > std::size(AtomData)) return std::string();
  return std::string(AtomData[atomicNum_ - 1].name);
}

void Atom::copyElement(const AtomDataRow& row) {
  atomicNum_ = row.atomicNum;
  element_ = &row;
}

double Atom::getMass() const {
  return element_ != nullptr ? element_->mass : 0.0;
}
double Atom::getVdwRadius() const {
  return element_ != nullptr ? element_->vdwRadius : 0.0;
}
double Atom::getAtomicRadius() const {
  return element_ != nullptr ? element_->atomicRadius : 0.0;
}

const unsigned* Atom::getColor() const {
  // The table's colours as unsigned triples, row by row; the last triple is no element's.
  static const auto colours = [] {
    std::array<std::array<unsigned, 3>, std::size(AtomData) + 1> table{};
    for (size_t i = 0; i < std::size(AtomData); ++i)
      table[i] = {static_cast<unsigned>(AtomData[i].red), static_cast<unsigned>(AtomData[i].green),
                  static_cast<unsigned>(AtomData[i].blue)};
    return table;
  }();
  if (element_ == nullptr) return colours.back().data();
  return colours[static_cast<size_t>(element_ - AtomData)].data();
}

// An atomic number outside the table leaves the atom as it was rather than read past the rows.
void Atom::setAtomicNum(unsigned z) {
  if (z < 1 || z > std::size(AtomData)) return;
  copyElement(AtomData[z - 1]);
  symbol_ = AtomData[z - 1].symbol;
}

bool Atom::setElementFromTypeOrName() {
  const std::string_view beforeDot = std::string_view(mol2type_).substr(0, mol2type_.find('.'));
  const AtomDataRow* row = elementOfSymbol(beforeDot);
  if (row == nullptr) {
    size_t letters = 0;
    while (letters < name_.size() && letters < 2 &&
           std::isalpha(static_cast<unsigned char>(name_[letters])))
      ++letters;
    if (letters == 2) row = elementOfSymbol(std::string_view(name_).substr(0, 2));
    if (row == nullptr && letters >= 1) row = elementOfSymbol(std::string_view(name_).substr(0, 1));
  }
  if (row == nullptr) return false;
  setAtomicNum(row->atomicNum);
  return true;
}

void Atom::setAtomicName(std::string symbol) {
  symbol_ = std::move(symbol);
  loadAtomicData();
}

// Looks the element up by symbol: the whole text first, then its first character alone, so
// that upper-case PDB texts such as "CL" resolve to carbon; hydrogen with a warning otherwise.
void Atom::loadAtomicData() {
  dataLoaded = true;
  const AtomDataRow* found = nullptr;
  for (const AtomDataRow& row : AtomData) {
    if (symbol_ == row.symbol) {
      found = &row;
      break;
    }
  }
  if (found == nullptr && !symbol_.empty()) {
    const std::string first(1, symbol_[0]);
    for (const AtomDataRow& row : AtomData) {
      if (first == row.symbol) {
        found = &row;
        break;
      }
    }
  }
  if (found == nullptr) {
    found = &AtomData[0];
    diagnostics() << "WARNING : Unknown " << symbol_ << " for atomic name of atom " << getNum()
                  << " ; Giving property of an hydrogen" << std::endl;
  }
  copyElement(*found);
}

bool Atom::isHalogen() const {
  switch (atomicNum_) {
    case 9:
    case 17:
    case 35:
    case 53:
    case 85:
      return true;
    default:
      return false;
  }
}

bool Atom::isMetallic() const {
  switch (atomicNum_) {
    case 12:
    case 20:
    case 25:
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
    case 48:
      return true;
    default:
      return false;
  }
}

bool Atom::isCAlpha() const {
  return parent_ != nullptr && parent_->getType() == kMoleProtein && name_ == "CA" &&
         atomicNum_ == 6;
}

// Every containment test below is a plain substring search, as the type table's vocabulary
// expects: "C" finds "C.3", "S.o" finds "S.o2", and an empty stored type occurs in every list.
void Atom::checkMOL2type(std::string type) {
  if (type.empty()) type = mol2type_;
  if (type.empty()) throw raise(kErrAtomNoMol2Type, {}, toString());

  const Mol2SpecRow* row = mol2Row(type);
  if (row == nullptr) {
    MoleExcept error = raise(kErrAtomMol2TypeUnknown, type);
    error.message += toString();
    throw error;
  }

  properties_.clear();
  setAtomicNum(row->atomicNum);
  const std::string_view props = row->props;

  if (contains(props, "Ar")) {
    properties_.aromatic = 1;
    properties_.inRing = 1;
    if (isCarbon()) properties_.hydrophobic = 1;
  }
  if (contains(props, "H")) {
    bool polar = false;
    for (const Edge* edge : vertex_.edges) {
      const Bond* bond = edge->bond;
      if (bond == nullptr) continue;
      const Atom* other = bond->getOther(this);
      if (other == nullptr) continue;
      if ((bond->getType() == kBondDouble && contains(MOL2_POLAR_PARTNERS, other->mol2type_)) ||
          (bond->getType() == kBondAromatic && other->mol2type_ == "O.co2")) {
        polar = true;
        break;
      }
    }
    if (!polar) properties_.hydrophobic = 1;
  }
  if (contains(props, "PLUS")) properties_.cation = 1;
  if (contains(props, "MOINS")) properties_.anion = 1;
  if (contains(props, "NOP")) properties_.noProperty = 1;
  if (contains(MOL2_METALS, type)) properties_.metal = 1;
  if (contains(props, "A")) {
    if (formalCharge_ < 0) {
      properties_.acceptor = 1;
    } else if (formalCharge_ == 0) {
      // The nitrogen test reads the type stored before this call.
      if (isOxygen() || (isNitrogen() && !contains(MOL2_NON_ACCEPTING_N, mol2type_)))
        properties_.acceptor = 1;
    }
  }
  if (contains(props, "D") &&
      (row->atomicNum == 7 || row->atomicNum == 8 || row->atomicNum == 16)) {
    for (const Edge* edge : vertex_.edges) {
      const Vertex* other = edge->getOtherVertex(&vertex_);
      if (other != nullptr && other->atom != nullptr && other->atom->mol2type_ == "H") {
        properties_.donor = 1;
        break;
      }
    }
  }
  if (type != mol2type_) mol2type_ = type;
}

void Atom::setMOL2type(std::string type) {
  try {
    checkMOL2type(type);
  } catch (MoleExcept& error) {
    if (debug) diagnostics() << "ATOM::Set_mol2type, parameter :" << type << std::endl;
    diagnostics() << error.code << std::endl;
    throw;
  }
}

bool Atom::hasLink(const Atom* other) const {
  return other != nullptr && vertex_.hasEdgewith(&other->vertex_);
}

Bond* Atom::getBond(const Atom* other) const {
  if (other == nullptr) return nullptr;
  const Edge* edge = vertex_.getEdgewith(&other->vertex_);
  return edge == nullptr ? nullptr : edge->bond;
}

int Atom::getBondType(const Atom* other) const {
  for (const Edge* edge : vertex_.edges) {
    if (edge->bond != nullptr && edge->bond->getOther(this) == other && other != nullptr)
      return edge->bond->getType();
  }
  return kBondUndefined;
}

void Atom::removeLink(Bond* bond) {
  if (bond != nullptr) vertex_.delEdge(bond->getEdge());
}

std::string Atom::getIdentifier() const {
  std::ostringstream out;
  out << name_ << " (" << getMapNum() << ")";
  if (residue_ != nullptr) out << " of " << residue_->getIdentifier();
  return out.str();
}

std::string Atom::toString() const {
  std::ostringstream out;
  out << "-------------------------- ATOM " << name_ << " (" << getMapNum() << ") "
      << static_cast<const void*>(this) << " --------------------------\n";
  out << "   Num : " << getNum() << "   \t Map Num : " << getMapNum()
      << "\t Formal Charge : " << formalCharge_ << "\t Atomic Num : " << atomicNum_ << "\n";
  out << "  Name : " << name_ << "   \t    Atom : " << symbol_
      << "\tPartial Charge : " << partialCharge_ << "\t  Long Name : " << getLongName() << "\n";
  out << " Mol2 TYPE : " << mol2type_ << "\t Weight:" << getMass() << "\n";
  out << "FIX Coords : " << fixed_.toString();
  out << "ROT Coords : " << rotated_.toString();
  out << "Properties : " << properties_.toString() << "\n";
  if (parent_ != nullptr)
    out << "    Parent : " << static_cast<const void*>(parent_) << ":" << parent_->getLongMoletype()
        << "\n";
  if (residue_ != nullptr) out << "    Residu : " << residue_->getIdentifier() << "\n";
  for (const Edge* edge : vertex_.edges) {
    if (edge->bond != nullptr) out << "      " << edge->bond->toString() << "\n";
  }
  out << "\n";
  return out.str();
}

void Atom::clone(const Atom& other) {
  atomicNum_ = other.atomicNum_;
  element_ = other.element_;
  partialCharge_ = other.partialCharge_;
  formalCharge_ = other.formalCharge_;
  symbol_ = other.symbol_;
  name_ = other.name_;
  mol2type_ = other.mol2type_;
  excluded = other.excluded;
  altLoc_ = other.altLoc_;
  properties_ = other.properties_;
  fixed_ = other.fixed_;
  rotated_ = other.rotated_;
  vertex_.clone(other.vertex_);
  vertex_.atom = this;
  if (parent_ != nullptr) parent_->atomNumbersChanged();  // the map number may have changed
}

void Atom::clear() {
  properties_.clear();
  rotated_ = Coords();
}

}  // namespace VXMole
