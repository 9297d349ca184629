// Bond: construction with its graph edge, and text dump.
#include "bond.h"

#include <iostream>
#include <sstream>

#include "atome.h"
#include "diagnostics.h"
#include "edge.h"
#include "global.h"
#include "vertex.h"

namespace VXMole {

int Bond::debug = 0;

namespace {

const char* typeName(int type) {
  switch (type) {
    case kBondSingle:
      return "SINGLE";
    case kBondDouble:
      return "DOUBLE";
    case kBondTriple:
      return "TRIPLE";
    case kBondAromatic:
      return "AROMATIC";
    case kBondAmide:
      return "AMIDE";
    case kBondAny:
      return "ANY";
    case kBondDummy:
      return "DUMMY";
    default:
      return "UNDEFINED";
  }
}

}  // namespace

namespace {

// Refuses one atom given twice, with its report; otherwise the atom's vertex, null for no atom.
Vertex* firstVertex(Atom* first, Atom* second) {
  try {
    if (first == second) throw raise(kErrBondSameAtom);
  } catch (MoleExcept& error) {
    if (Bond::debug) diagnostics() << error.location << std::endl;
    diagnostics() << error.message << std::endl;
    if (first != nullptr) diagnostics() << first->toString() << std::endl;
    throw;
  }
  return first != nullptr ? first->getVertex() : nullptr;
}

}  // namespace

// A missing atom gives the edge no vertex, which it refuses (102023) instead of a crash here.
Bond::Bond(Atom* first, Atom* second, int type, unsigned num, unsigned mapNum)
    : first_(first),
      second_(second),
      type_(type),
      edge_(firstVertex(first, second), second != nullptr ? second->getVertex() : nullptr, this,
            num, mapNum, 1.0) {}

// The edge detaches itself from both atoms' vertices as the bond goes.
Bond::~Bond() = default;

Atom* Bond::getOther(const Atom* atom) const {
  if (atom == first_) return second_;
  if (atom == second_) return first_;
  return nullptr;
}

unsigned Bond::getNum() const {
  return edge_.num;
}
unsigned Bond::getMapNum() const {
  return edge_.mapNum;
}

std::string Bond::toString() const {
  std::ostringstream out;
  out << "BOND " << getNum() << " (" << getMapNum() << ") " << typeName(type_) << " : "
      << first_->getName() << " (" << first_->getMapNum() << ") - " << second_->getName() << " ("
      << second_->getMapNum() << ")";
  return out.str();
}

}  // namespace VXMole
