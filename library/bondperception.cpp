// Bond perception: proximity bonds within a residue and between residues, over a grid of cubic
// cells.
#include "bondperception.h"

#include <algorithm>
#include <cmath>    // for std::floor
#include <cstdint>  // for std::uint64_t
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "atome.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"
#include "sybyltyping.h"

namespace VXMole {

namespace {

// Atoms binned in cubic cells whose side is the largest bonding distance, so that every partner
// of an atom lies in the 27 cells around its own. Each atom is compared with at most
// kMaxNeighbourScan atoms of those cells, which keeps the work linear in atoms whatever the
// geometry (atoms stacked at one point, a plane, a dense lattice).
class CellGrid {
 public:
  CellGrid(const std::vector<Atom*>& atoms, double side) : side_(side) {
    if (atoms.empty()) return;
    origin_ = atoms.front()->getFixedCoords();
    for (const Atom* atom : atoms) {
      const Coords& c = atom->getFixedCoords();
      origin_.x = std::min(origin_.x, c.x);
      origin_.y = std::min(origin_.y, c.y);
      origin_.z = std::min(origin_.z, c.z);
    }
    std::vector<std::pair<std::uint64_t, unsigned>> keyed;
    keyed.reserve(atoms.size());
    for (unsigned i = 0; i < atoms.size(); ++i) keyed.emplace_back(keyOf(*atoms[i]), i);
    std::sort(keyed.begin(), keyed.end());
    members_.reserve(keyed.size());
    cells_.reserve(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i) {
      if (i == 0 || keyed[i].first != keyed[i - 1].first)
        cells_.emplace(keyed[i].first, std::make_pair(static_cast<unsigned>(i), 0u));
      members_.push_back(keyed[i].second);
      ++cells_[keyed[i].first].second;
    }
  }

  // Calls fn(j) for the index of each atom in the cells around `atom` (the atom itself
  // included), cell by cell, at most kMaxNeighbourScan of them.
  template <class Fn>
  void forEachNear(const Atom& atom, Fn fn) const {
    const Cell at = cellOf(atom);
    unsigned scanned = 0;
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz) {
          const Cell near = {at.x + dx, at.y + dy, at.z + dz};
          if (!inRange(near)) continue;
          auto cell = cells_.find(pack(near));
          if (cell == cells_.end()) continue;
          const unsigned begin = cell->second.first, end = begin + cell->second.second;
          for (unsigned k = begin; k < end; ++k) {
            if (scanned++ == kMaxNeighbourScan) return;
            fn(members_[k]);
          }
        }
  }

 private:
  struct Cell {
    std::int64_t x, y, z;
  };
  // Cell indices are kept below 2^21 on each axis; farther atoms (coordinates of millions of Å)
  // share the last cell, where the distance test still tells them apart.
  static constexpr std::int64_t kMaxIndex = (std::int64_t{1} << 21) - 1;
  static bool inRange(const Cell& c) {
    return c.x >= 0 && c.y >= 0 && c.z >= 0 && c.x <= kMaxIndex && c.y <= kMaxIndex &&
           c.z <= kMaxIndex;
  }
  static std::uint64_t pack(const Cell& c) {
    return (static_cast<std::uint64_t>(c.x) << 42) | (static_cast<std::uint64_t>(c.y) << 21) |
           static_cast<std::uint64_t>(c.z);
  }
  std::int64_t index(double value, double origin) const {
    const double cell = std::floor((value - origin) / side_);
    return cell >= static_cast<double>(kMaxIndex) ? kMaxIndex : static_cast<std::int64_t>(cell);
  }
  Cell cellOf(const Atom& atom) const {
    const Coords& c = atom.getFixedCoords();
    return {index(c.x, origin_.x), index(c.y, origin_.y), index(c.z, origin_.z)};
  }
  std::uint64_t keyOf(const Atom& atom) const { return pack(cellOf(atom)); }

  double side_;
  Coords origin_;
  std::vector<unsigned> members_;  // atom indices, cell by cell
  // Cell key -> its first position in members_ and its atom count.
  std::unordered_map<std::uint64_t, std::pair<unsigned, unsigned>> cells_;
};

}  // namespace

void perceiveBonds(Molecule& molecule, const Residu& residue, unsigned& bondNum) {
  std::vector<Atom*> atoms(residue.getAtoms().begin(), residue.getAtoms().end());
  std::unordered_set<const Atom*> listed;
  for (const Atom* atom : atoms)
    if (atom->numBonds() > 0) listed.insert(atom);
  double widest = 0;
  for (const Atom* atom : atoms) widest = std::max(widest, atom->getAtomicRadius());
  const double reach = 2 * widest + kBondTolerance;
  // Atoms ranked along x: pairs are taken in ascending rank of their first atom, then of their
  // second, whatever the grid's cell order.
  std::sort(atoms.begin(), atoms.end(), [](const Atom* a, const Atom* b) {
    return a->getFixedCoords().x < b->getFixedCoords().x;
  });
  const CellGrid grid(atoms, reach);
  std::unordered_map<Atom*, std::pair<Atom*, double>> nearestToHydrogen;
  std::vector<unsigned> later;
  for (unsigned i = 0; i < atoms.size(); ++i) {
    Atom* a = atoms[i];
    later.clear();
    grid.forEachNear(*a, [&](unsigned j) {
      if (j > i) later.push_back(j);
    });
    std::sort(later.begin(), later.end());
    for (unsigned j : later) {
      Atom* b = atoms[j];
      if (!a->sameConformation(*b) || (a->isHydrogen() && b->isHydrogen())) continue;
      if (listed.count(a) != 0 && listed.count(b) != 0) continue;
      const double d = a->getFixedCoords().calcDist(b->getFixedCoords());
      if (d < kCoincident || d >= a->getAtomicRadius() + b->getAtomicRadius() + kBondTolerance)
        continue;
      if (a->isHydrogen() || b->isHydrogen()) {
        Atom* hydrogen = a->isHydrogen() ? a : b;
        Atom* partner = a->isHydrogen() ? b : a;
        if (listed.count(hydrogen) != 0) continue;  // the file bonded it
        auto [entry, added] = nearestToHydrogen.emplace(hydrogen, std::make_pair(partner, d));
        if (!added && d < entry->second.second) entry->second = {partner, d};
        continue;
      }
      molecule.addBond(a, b, kBondSingle, bondNum++);
    }
  }
  for (Atom* hydrogen : atoms) {
    auto entry = nearestToHydrogen.find(hydrogen);
    if (entry != nearestToHydrogen.end())
      molecule.addBond(entry->second.first, hydrogen, kBondSingle, bondNum++);
  }
}

void perceiveLinks(Molecule& molecule, const std::vector<const Residu*>& residues,
                   const std::unordered_set<const Atom*>& fileBonded, unsigned& bondNum) {
  auto takesPart = [](const Atom& atom) {
    return !atom.isHydrogen() && formsCovalentBonds(atom) && atom.getResidu() != nullptr &&
           atom.getResidu()->getKind() != kResiduWater;
  };
  // The partners: heavy atoms within reach of the residues' box.
  Coords low, high;
  bool any = false;
  double widest = 0;
  for (const Residu* residue : residues)
    for (const Atom* atom : residue->getAtoms()) {
      if (!takesPart(*atom)) continue;
      const Coords& c = atom->getFixedCoords();
      if (!any) low = high = c;
      any = true;
      low = Coords(std::min(low.x, c.x), std::min(low.y, c.y), std::min(low.z, c.z));
      high = Coords(std::max(high.x, c.x), std::max(high.y, c.y), std::max(high.z, c.z));
    }
  if (!any) return;
  std::vector<Atom*> partners;
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    Atom& atom = molecule.atom(i);
    if (!takesPart(atom)) continue;
    partners.push_back(&atom);
    widest = std::max(widest, atom.getAtomicRadius());
  }
  const double reach = 2 * widest + kBondTolerance;
  std::vector<Atom*> near;
  for (Atom* atom : partners) {
    const Coords& c = atom->getFixedCoords();
    if (c.x >= low.x - reach && c.x <= high.x + reach && c.y >= low.y - reach &&
        c.y <= high.y + reach && c.z >= low.z - reach && c.z <= high.z + reach)
      near.push_back(atom);
  }
  const CellGrid grid(near, reach);
  std::vector<unsigned> found;
  for (const Residu* residue : residues)
    for (Atom* a : residue->getAtoms()) {
      if (!takesPart(*a)) continue;
      found.clear();
      grid.forEachNear(*a, [&](unsigned j) {
        const Atom* b = near[j];
        if (b->getResidu() == a->getResidu() || !a->sameConformation(*b) || a->hasLink(b)) return;
        if (fileBonded.count(a) != 0 && fileBonded.count(b) != 0) return;
        const double d = a->getFixedCoords().calcDist(b->getFixedCoords());
        if (d < kCoincident || d >= a->getAtomicRadius() + b->getAtomicRadius() + kBondTolerance)
          return;
        found.push_back(j);
      });
      std::sort(found.begin(), found.end());  // the molecule's order
      for (unsigned j : found)
        if (!a->hasLink(near[j])) molecule.addBond(a, near[j], kBondSingle, bondNum++);
    }
}

}  // namespace VXMole
