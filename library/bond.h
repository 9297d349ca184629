// Bond: a typed link between two atoms, carried by an edge between their vertices.
#pragma once

#include <string>

#include "edge.h"
#include "slabpool.h"

namespace VXMole {

class Atom;

// Bond type codes, as MOL2 files know them.
enum BondType : int {
  kBondSingle = 1,
  kBondDouble = 2,
  kBondTriple = 3,
  kBondAromatic = 4,
  kBondAmide = 5,
  kBondAny = 6,
  kBondDummy = 7,
  kBondUndefined = 8,
};

// A bond between two atoms (not owned). The edge that stands for it in the molecular graph is
// part of the bond; it is attached to both atoms' vertices while the bond lives.
class Bond {
  VXMOLE_POOLED(Bond)

 public:
  static int debug;  // class-wide diagnostic switch, 0 = off

  // Throws MoleExcept 106013 when both atoms are the same atom, and the edge's 102023 when
  // one of them is null.
  Bond(Atom* first, Atom* second, int type, unsigned num, unsigned mapNum);
  ~Bond();
  Bond(const Bond&) = delete;
  Bond& operator=(const Bond&) = delete;

  Atom* getFirst() const { return first_; }
  Atom* getSecond() const { return second_; }
  // The partner of `atom` in this bond, or null when `atom` is neither end.
  Atom* getOther(const Atom* atom) const;
  int getType() const { return type_; }
  void setType(int type) { type_ = type; }
  unsigned getNum() const;
  unsigned getMapNum() const;
  Edge* getEdge() const { return &edge_; }

  std::string toString() const;

 private:
  Atom* first_;
  Atom* second_;
  int type_;
  mutable Edge edge_;
};

}  // namespace VXMole
