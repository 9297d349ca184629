// SYBYL typing from bond orders: neighbour counts, aromatic rings, and the rules per element.
#include "sybyltyping.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>

#include "atome.h"
#include "bond.h"
#include "diagnostics.h"
#include "edge.h"
#include "global.h"
#include "molecule.h"
#include "tables.h"
#include "vertex.h"

namespace VXMole {

namespace {

// Calls fn(bond, other) for each covalent bond of the atom (not those to metals).
template <class Fn>
void forEachBond(const Atom& atom, Fn fn) {
  for (const Edge* edge : atom.getVertex()->edges)
    if (edge->bond != nullptr)
      if (Atom* other = edge->bond->getOther(&atom); other != nullptr && formsCovalentBonds(*other))
        fn(*edge->bond, *other);
}

// Amide, "any" and undefined bonds count as single.
int orderOf(const Bond& bond) {
  const int type = bond.getType();
  return type == kBondDouble || type == kBondTriple || type == kBondAromatic ? type : kBondSingle;
}

struct Counts {
  int single = 0, dbl = 0, triple = 0, aromatic = 0;
  int neighbours = 0, hydrogens = 0;
};

Counts countBonds(const Atom& atom) {
  Counts c;
  forEachBond(atom, [&](const Bond& bond, const Atom& other) {
    ++c.neighbours;
    if (other.isHydrogen()) ++c.hydrogens;
    switch (orderOf(bond)) {
      case kBondDouble:
        ++c.dbl;
        break;
      case kBondTriple:
        ++c.triple;
        break;
      case kBondAromatic:
        ++c.aromatic;
        break;
      default:
        ++c.single;
    }
  });
  return c;
}

unsigned covalentBonds(const Atom& atom) {
  unsigned count = 0;
  forEachBond(atom, [&](const Bond&, const Atom&) { ++count; });
  return count;
}

bool isTerminal(const Atom& atom) {
  return covalentBonds(atom) == 1;
}

// Whether the atom holds a double, triple or aromatic bond to an atom other than `except`.
bool unsaturatedBeside(const Atom& atom, const Atom* except) {
  bool found = false;
  forEachBond(atom, [&](const Bond& bond, const Atom& other) {
    if (&other != except && orderOf(bond) != kBondSingle) found = true;
  });
  return found;
}

// A carbon with two terminal oxygens, neither bearing hydrogen, and no other double bond: the
// carbon of a carboxylate (or of an acid whose hydrogen the file does not show).
bool isCarboxylCarbon(const Atom& carbon) {
  if (!carbon.isCarbon()) return false;
  int oxygens = 0;
  bool otherDouble = false;
  forEachBond(carbon, [&](const Bond& bond, const Atom& other) {
    if (other.isOxygen() && isTerminal(other)) {
      ++oxygens;
    } else if (orderOf(bond) != kBondSingle) {
      otherDouble = true;
    }
  });
  return oxygens == 2 && !otherDouble;
}

// The central carbon of a guanidine: three nitrogens, one of them doubly (or aromatically)
// bonded, none in an aromatic ring.
bool isGuanidineCarbon(const Atom& carbon) {
  if (!carbon.isCarbon() || covalentBonds(carbon) != 3) return false;
  int nitrogens = 0, unsaturated = 0;
  bool ringNitrogen = false;
  forEachBond(carbon, [&](const Bond& bond, const Atom& other) {
    if (!other.isNitrogen()) return;
    ++nitrogens;
    if (orderOf(bond) != kBondSingle) ++unsaturated;
    if (countBonds(other).aromatic >= 2) ringNitrogen = true;
  });
  return nitrogens == 3 && unsaturated == 1 && !ringNitrogen;
}

std::string carbonType(const Atom& atom, const Counts& c, bool aromatic) {
  if (aromatic && !isCarboxylCarbon(atom)) return "C.ar";
  if (c.triple > 0 || c.dbl >= 2) return "C.1";
  if (isGuanidineCarbon(atom)) return "C.cat";
  if (c.dbl == 1 || c.aromatic > 0) return "C.2";
  return "C.3";
}

std::string nitrogenType(const Atom& atom, const Counts& c, bool aromatic) {
  if (aromatic) return "N.ar";
  int doubleToOxygen = 0;
  forEachBond(atom, [&](const Bond& bond, const Atom& other) {
    if (orderOf(bond) == kBondDouble && other.isOxygen()) ++doubleToOxygen;
  });
  if (doubleToOxygen >= 2) return "N.pl3";  // a nitro group written N(=O)=O
  if (c.triple > 0 || c.dbl >= 2) return "N.1";
  if (c.neighbours >= 4 || (atom.getFormalCharge() > 0 && c.dbl == 0 && c.aromatic == 0))
    return "N.4";
  bool guanidine = false, amide = false, conjugated = false;
  forEachBond(atom, [&](const Bond& bond, const Atom& other) {
    if (isGuanidineCarbon(other)) guanidine = true;
    if (orderOf(bond) != kBondSingle) return;
    if (other.isCarbon()) {
      forEachBond(other, [&](const Bond& second, const Atom& beyond) {
        if (orderOf(second) == kBondDouble && (beyond.isOxygen() || beyond.isSulfur()))
          amide = true;
      });
    }
    if ((other.isCarbon() || other.isNitrogen()) && unsaturatedBeside(other, &atom))
      conjugated = true;
  });
  if (guanidine) return "N.pl3";
  if (c.dbl == 1 || c.aromatic > 0) return c.neighbours >= 3 ? "N.pl3" : "N.2";
  if (amide) return "N.am";
  if (conjugated) return "N.pl3";
  return "N.3";
}

std::string oxygenType(const Atom& atom, const Counts& c, bool aromatic) {
  if (isTerminal(atom)) {
    Atom* partner = nullptr;
    forEachBond(atom, [&](const Bond&, Atom& other) { partner = &other; });
    if (isCarboxylCarbon(*partner)) return "O.co2";
    // The charged oxygen of a sulfonate or a nitro group written N(+)(=O)O(-); on phosphorus
    // O.3, which RDKit reads (it refuses O.co2 beside P).
    if (atom.getFormalCharge() < 0 && c.single == 1 &&
        (partner->isSulfur() || partner->isNitrogen()))
      return "O.co2";
  }
  if (c.dbl > 0 || aromatic) return "O.2";
  return "O.3";
}

std::string sulfurType(const Atom& atom, const Counts& c, bool aromatic) {
  int doubleToOxygen = 0;
  bool otherDouble = false;
  forEachBond(atom, [&](const Bond& bond, const Atom& other) {
    if (orderOf(bond) != kBondDouble) return;
    if (other.isOxygen()) {
      ++doubleToOxygen;
    } else {
      otherDouble = true;
    }
  });
  if (doubleToOxygen >= 2) return "S.o2";
  if (doubleToOxygen == 1) return "S.o";
  if (otherDouble || aromatic || c.aromatic >= 2) return "S.2";
  return "S.3";
}

// The type table's row for an element without a hybridisation: the row whose type is the
// element's symbol, or the symbol followed by a dot ("Co" -> "Co.oh"). "" when none.
std::string elementType(const Atom& atom) {
  const std::string_view symbol = AtomData[atom.getAtomicNum() - 1].symbol;
  for (const Mol2SpecRow& row : MOL2_SPEC) {
    const std::string_view type = row.type;
    if (row.atomicNum != atom.getAtomicNum()) continue;
    if (type == symbol || (type.size() > symbol.size() && type.substr(0, symbol.size()) == symbol &&
                           type[symbol.size()] == '.'))
      return std::string(type);
  }
  return std::string();
}

// The smallest ring through the bond a-b, of at most kMaxRing atoms all in `members`: a
// breadth-first search from a to b that does not take the bond itself. Empty when none.
constexpr size_t kMaxRing = 7;

std::vector<const Atom*> smallestRing(const Atom& a, const Atom& b,
                                      const std::unordered_set<const Atom*>& members) {
  std::unordered_map<const Atom*, const Atom*> parent{{&a, nullptr}};
  std::vector<const Atom*> frontier{&a};
  for (size_t depth = 1; depth < kMaxRing && !frontier.empty(); ++depth) {
    std::vector<const Atom*> next;
    for (const Atom* at : frontier)
      forEachBond(*at, [&](const Bond&, const Atom& other) {
        if (members.count(&other) == 0 || parent.count(&other) != 0) return;
        if (at == &a && &other == &b) return;  // the bond itself
        parent.emplace(&other, at);
        next.push_back(&other);
      });
    if (parent.count(&b) != 0) {
      std::vector<const Atom*> ring;
      for (const Atom* at = &b; at != nullptr; at = parent.at(at)) ring.push_back(at);
      return ring;
    }
    frontier = std::move(next);
  }
  return {};
}

// Pi electrons that a ring atom gives its ring; -1 when it has none to give (an sp3 atom).
int piElectrons(const Atom& atom, const std::unordered_set<const Atom*>& ring) {
  int fromDouble = -1;
  bool aromaticBond = false;
  forEachBond(atom, [&](const Bond& bond, const Atom& other) {
    const int order = orderOf(bond);
    if (order == kBondAromatic && ring.count(&other) != 0) aromaticBond = true;
    if (order != kBondDouble) return;
    if (ring.count(&other) != 0 || other.isCarbon() || other.isNitrogen()) {
      fromDouble = 1;
    } else if (fromDouble < 0) {
      fromDouble = 0;  // an exocyclic C=O or C=S
    }
  });
  if (fromDouble >= 0) return fromDouble;
  if (aromaticBond) {
    // A nitrogen of three neighbours, or one bearing hydrogen, gives its lone pair (pyrrole).
    if (atom.isNitrogen() && covalentBonds(atom) == 3 && atom.getFormalCharge() <= 0) return 2;
    return atom.isOxygen() || atom.isSulfur() ? 2 : 1;
  }
  const unsigned bonds = covalentBonds(atom);
  const bool lonePair = (atom.isNitrogen() && bonds <= 3) ||
                        ((atom.isOxygen() || atom.isSulfur()) && bonds == 2) ||
                        (atom.isCarbon() && atom.getFormalCharge() < 0);
  return lonePair ? 2 : -1;
}

bool isAromaticRing(const std::vector<const Atom*>& ring) {
  const std::unordered_set<const Atom*> members(ring.begin(), ring.end());
  int electrons = 0;
  for (const Atom* atom : ring) {
    const int given = piElectrons(*atom, members);
    if (given < 0) return false;
    electrons += given;
  }
  return electrons % 4 == 2;
}

}  // namespace

std::string sybylTypeOf(const Atom& atom, bool aromatic) {
  const Counts c = countBonds(atom);
  aromatic = aromatic || c.aromatic >= 2;
  if (atom.isHydrogen()) return "H";
  if (atom.isCarbon()) return carbonType(atom, c, aromatic);
  if (atom.isNitrogen()) return nitrogenType(atom, c, aromatic);
  if (atom.isOxygen()) return oxygenType(atom, c, aromatic);
  if (atom.isSulfur()) return sulfurType(atom, c, aromatic);
  if (atom.isPhosphorus()) return "P.3";
  return elementType(atom);
}

std::string sybylTypeOf(const Atom& atom) {
  return sybylTypeOf(atom, false);
}

bool formsCovalentBonds(const Atom& atom) {
  switch (atom.getAtomicNum()) {
    case 1:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 14:
    case 15:
    case 16:
    case 17:
    case 34:
    case 35:
    case 53:
      return true;
    default:
      return false;
  }
}

std::vector<std::vector<const Atom*>> smallRings(const std::vector<Atom*>& atoms) {
  std::unordered_set<const Atom*> members;
  for (const Atom* atom : atoms)
    if (!atom->isHydrogen() && formsCovalentBonds(*atom) && covalentBonds(*atom) >= 2)
      members.insert(atom);
  std::vector<std::vector<const Atom*>> rings;
  std::unordered_set<std::string> seen;
  for (const Atom* atom : atoms) {
    if (members.count(atom) == 0) continue;
    forEachBond(*atom, [&](const Bond&, const Atom& other) {
      if (members.count(&other) == 0 || &other < atom) return;  // each bond once
      std::vector<const Atom*> ring = smallestRing(*atom, other, members);
      if (ring.size() < 5) return;
      std::vector<const Atom*> key = ring;
      std::sort(key.begin(), key.end());
      std::string text(reinterpret_cast<const char*>(key.data()), key.size() * sizeof(Atom*));
      if (seen.insert(std::move(text)).second) rings.push_back(std::move(ring));
    });
  }
  return rings;
}

std::unordered_set<const Atom*> aromaticRingAtoms(const std::vector<Atom*>& atoms) {
  std::unordered_set<const Atom*> aromatic;
  for (const std::vector<const Atom*>& ring : smallRings(atoms))
    if (isAromaticRing(ring)) aromatic.insert(ring.begin(), ring.end());
  return aromatic;
}

void assignSybylTypes(const std::vector<Atom*>& atoms) {
  const std::unordered_set<const Atom*> aromatic = aromaticRingAtoms(atoms);
  std::vector<Atom*> typed;
  typed.reserve(atoms.size());
  for (Atom* atom : atoms) {
    if (!atom->getMOL2type().empty()) continue;
    const std::string type = sybylTypeOf(*atom, aromatic.count(atom) != 0);
    if (type.empty()) continue;
    try {
      atom->checkMOL2type(type);
      typed.push_back(atom);
    } catch (const MoleExcept& error) {
      diagnostics() << error.code << std::endl;
    }
  }
  // The flags read the neighbours' types: derived again once every type is set.
  for (Atom* atom : typed) atom->checkMOL2type(std::string());
}

void assignSybylTypes(Molecule& molecule) {
  std::vector<Atom*> atoms;
  atoms.reserve(molecule.numAtoms());
  for (size_t i = 0; i < molecule.numAtoms(); ++i) atoms.push_back(&molecule.atom(i));
  assignSybylTypes(atoms);
}

}  // namespace VXMole
