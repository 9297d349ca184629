// Test helper: small molecules built in code from atoms and bonds, the same molecules with
// their atoms listed in another order, and benzoate.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "atome.h"
#include "bond.h"
#include "coords.h"
#include "molecule.h"

namespace VXMole {

struct AtomEntry {
  std::string symbol;
  Coords xyz;
  bool excluded = false;  // a ring centroid dummy
};
struct BondEntry {
  unsigned first, second;
  int type = kBondSingle;
};

// A molecule of the given atoms (named by symbol and position) and bonds (by atom position).
inline std::unique_ptr<Molecule> build(const std::vector<AtomEntry>& atoms,
                                       const std::vector<BondEntry>& bonds) {
  auto molecule = std::make_unique<Molecule>(kMoleCalcs);
  std::vector<Atom*> made;
  for (const AtomEntry& a : atoms) {
    const auto k = static_cast<unsigned>(made.size());
    made.push_back(new Atom(k, k + 1, a.symbol, a.xyz, a.symbol + std::to_string(k + 1), ""));
    made.back()->excluded = a.excluded;
    molecule->addAtom(made.back());
  }
  unsigned number = 1;
  for (const BondEntry& b : bonds)
    molecule->addBond(made[b.first], made[b.second], b.type, number++);
  return molecule;
}

// The same molecule with its atoms listed in `order` (atom k of the copy is atom order[k]) at
// the coordinates `place` gives each original atom.
inline std::unique_ptr<Molecule> reordered(const std::vector<AtomEntry>& atoms,
                                           const std::vector<BondEntry>& bonds,
                                           const std::vector<unsigned>& order,
                                           const std::vector<Coords>& place) {
  std::vector<unsigned> position(order.size());
  for (unsigned k = 0; k < order.size(); ++k) position[order[k]] = k;
  std::vector<AtomEntry> copy;
  for (unsigned original : order) copy.push_back({atoms[original].symbol, place[original]});
  std::vector<BondEntry> links;
  for (const BondEntry& b : bonds) links.push_back({position[b.first], position[b.second], b.type});
  return build(copy, links);
}

// Benzoate with its hydrogens: ring C1-C6, carboxyl C7 with O8 and O9, H10-H14 on the ring.
inline const std::vector<AtomEntry> kBenzoate = {
    {"C", {0.000, 1.396, 0}},   {"C", {1.209, 0.698, 0}},   {"C", {1.209, -0.698, 0}},
    {"C", {0.000, -1.396, 0}},  {"C", {-1.209, -0.698, 0}}, {"C", {-1.209, 0.698, 0}},
    {"C", {0.000, 2.896, 0}},   {"O", {1.100, 3.530, 0}},   {"O", {-1.150, 3.480, 0.05}},
    {"H", {2.150, 1.240, 0}},   {"H", {2.150, -1.240, 0}},  {"H", {0.000, -2.480, 0}},
    {"H", {-2.150, -1.240, 0}}, {"H", {-2.150, 1.240, 0}}};
inline const std::vector<BondEntry> kBenzoateBonds = {{0, 1, kBondAromatic},
                                                      {1, 2, kBondAromatic},
                                                      {2, 3, kBondAromatic},
                                                      {3, 4, kBondAromatic},
                                                      {4, 5, kBondAromatic},
                                                      {5, 0, kBondAromatic},
                                                      {0, 6},
                                                      {6, 7, kBondDouble},
                                                      {6, 8},
                                                      {1, 9},
                                                      {2, 10},
                                                      {3, 11},
                                                      {4, 12},
                                                      {5, 13}};

inline std::vector<Coords> coordsOf(const std::vector<AtomEntry>& atoms) {
  std::vector<Coords> xyz;
  for (const AtomEntry& a : atoms) xyz.push_back(a.xyz);
  return xyz;
}

}  // namespace VXMole
