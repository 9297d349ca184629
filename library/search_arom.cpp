// Ring perception: the smallest rings of a molecule, their aromaticity and centroid dummy atoms.
//
// Rings are taken from Horton's candidate set, restricted to small rings: for every atom r and
// every bond x-y, the cycle made of the shortest paths r..x and r..y and the bond, when the two
// paths meet only at r. A minimum cycle basis lies within that set (Horton 1987), so keeping
// the candidates in order of size while they stay independent over GF(2) gives a smallest set
// of smallest rings. The search runs on the 2-core of the bond graph (atoms left after chains
// and hydrogens are peeled away) and each breadth-first search stops at half the largest ring
// size, so the work grows with the number of atoms, not its square.
//
// Three caps keep that true of any input, a file's bonds whatever they are (atoms at one point
// bonded to many others, a hub bonded to every atom, a dense lattice), and none is reached by a
// molecule:
// - at most kMaxRingBonds (12) bonds of each atom are searched: bonds are taken in molecule
//   order, and one is left out once either of its atoms has 12 in the search (ferrocene's iron
//   has 10);
// - each breadth-first search visits at most kMaxBall (128) atoms (a ring system of
//   four-bonded atoms reaches about 80 within four bonds);
// - the independence test of a ring system does at most kMinWork + kWorkPerBond x its bonds
//   row operations; past that budget, which flat fused systems (a sheet, a nanotube) stay well
//   within and three-dimensional lattices pass, a ring is kept when it holds a bond that no ring
//   kept before holds (rings so kept are independent, but a lattice may then keep fewer rings
//   than its cycle space has dimensions).
#include "search_arom.h"

#include <algorithm>
#include <iterator>  // for std::back_inserter
#include <numeric>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "atome.h"
#include "bond.h"
#include "molecule.h"
#include "residu.h"

namespace VXMole {

namespace {

constexpr int kMaxRingSize = 8;  // atoms
constexpr int kMaxDepth = kMaxRingSize / 2;
// The caps of the search (see the top of this file).
constexpr int kMaxRingBonds = 12;     // bonds of one atom searched
constexpr size_t kMaxBall = 128;      // atoms one breadth-first search visits
constexpr size_t kMinWork = 1000000;  // row operations of one ring system's test, at least
constexpr size_t kWorkPerBond = 256;  // and per bond of the system

// Residues whose side-chain rings are aromatic whatever their atoms are typed.
constexpr const char* kAromaticResidues[] = {"PHE", "TYR", "HIS", "TRP"};

struct Link {
  int atom;  // neighbour's position in the molecule
  int bond;  // bond's position among the searched bonds
};

struct Ring {
  std::vector<int> atoms;  // in ring order
  std::vector<int> bonds;  // sorted: the ring's identity
};

int findRoot(std::vector<int>& parent, int i) {
  while (parent[i] != i) {
    parent[i] = parent[parent[i]];
    i = parent[i];
  }
  return i;
}

// Smallest member first, then towards its smaller neighbour, so that rings come out the same
// way whatever atom the search started from.
void normalise(std::vector<int>::iterator begin, std::vector<int>::iterator end) {
  std::rotate(begin, std::min_element(begin, end), end);
  if (end - begin > 2 && *(end - 1) < *(begin + 1)) std::reverse(begin + 1, end);
}

// Candidate rings, held flat so that millions of them cost no allocation each: candidate k has
// its atoms, in ring order, at atoms[start[k]] to atoms[start[k + 1] - 1], and as many bonds,
// sorted (the ring's identity), at the same places of `bonds`.
struct Candidates {
  std::vector<int> atoms, bonds;
  std::vector<size_t> start{0};

  size_t count() const { return start.size() - 1; }
  size_t size(size_t k) const { return start[k + 1] - start[k]; }
  const int* atomsOf(size_t k) const { return atoms.data() + start[k]; }
  const int* bondsOf(size_t k) const { return bonds.data() + start[k]; }
  // Drops the last candidate.
  void dropLast() {
    start.pop_back();
    atoms.resize(start.back());
    bonds.resize(start.back());
  }
};

// Candidates compared by their bonds, for the set that keeps each ring once.
struct SameBonds {
  const Candidates* candidates;
  size_t operator()(size_t k) const {
    size_t hash = candidates->size(k);
    for (size_t i = 0; i < candidates->size(k); ++i)
      hash = hash * 1000003u ^ static_cast<size_t>(candidates->bondsOf(k)[i]);
    return hash;
  }
  bool operator()(size_t a, size_t b) const {
    return candidates->size(a) == candidates->size(b) &&
           std::equal(candidates->bondsOf(a), candidates->bondsOf(a) + candidates->size(a),
                      candidates->bondsOf(b));
  }
};

// Candidate rings through every core atom, each ring once.
Candidates hortonCandidates(const std::vector<std::vector<Link>>& adjacency,
                            const std::vector<char>& inCore) {
  const size_t n = adjacency.size();
  std::vector<int> depth(n, -1), parent(n, -1), parentBond(n, -1);
  std::vector<int> visited;
  Candidates candidates;
  const SameBonds same{&candidates};
  std::unordered_set<size_t, SameBonds, SameBonds> seen(0, same, same);
  std::vector<int> pathX, pathY;

  for (size_t root = 0; root < n; ++root) {
    if (!inCore[root]) continue;
    visited.assign(1, static_cast<int>(root));
    depth[root] = 0;
    for (size_t head = 0; head < visited.size() && visited.size() < kMaxBall; ++head) {
      const int x = visited[head];
      if (depth[x] == kMaxDepth) continue;
      for (const Link& link : adjacency[x]) {
        if (visited.size() == kMaxBall) break;
        if (!inCore[link.atom] || depth[link.atom] != -1) continue;
        depth[link.atom] = depth[x] + 1;
        parent[link.atom] = x;
        parentBond[link.atom] = link.bond;
        visited.push_back(link.atom);
      }
    }

    for (const int x : visited) {
      for (const Link& link : adjacency[x]) {
        const int y = link.atom;
        if (!inCore[y] || depth[y] == -1) continue;
        if (link.bond == parentBond[x] || link.bond == parentBond[y]) continue;
        if (depth[x] > depth[y] || (depth[x] == depth[y] && x > y)) continue;  // each bond once
        const int size = depth[x] + depth[y] + 1;
        if (size < 3 || size > kMaxRingSize) continue;

        pathX.clear();
        pathY.clear();
        for (int a = x; a != -1 && a != static_cast<int>(root); a = parent[a]) pathX.push_back(a);
        for (int a = y; a != -1 && a != static_cast<int>(root); a = parent[a]) pathY.push_back(a);
        bool disjoint = true;
        for (const int a : pathX)
          if (std::find(pathY.begin(), pathY.end(), a) != pathY.end()) disjoint = false;
        if (!disjoint) continue;

        const size_t first = candidates.atoms.size();
        candidates.atoms.push_back(static_cast<int>(root));
        candidates.atoms.insert(candidates.atoms.end(), pathX.rbegin(), pathX.rend());
        candidates.atoms.insert(candidates.atoms.end(), pathY.begin(), pathY.end());
        candidates.bonds.push_back(link.bond);
        for (const int a : pathX) candidates.bonds.push_back(parentBond[a]);
        for (const int a : pathY) candidates.bonds.push_back(parentBond[a]);
        std::sort(candidates.bonds.begin() + first, candidates.bonds.end());
        candidates.start.push_back(candidates.atoms.size());
        if (!seen.insert(candidates.count() - 1).second) {
          candidates.dropLast();
          continue;
        }
        normalise(candidates.atoms.begin() + first, candidates.atoms.end());
      }
    }
    for (const int a : visited) depth[a] = parent[a] = parentBond[a] = -1;
  }
  return candidates;
}

// The candidates, smallest first, that are independent of the smaller ones kept before them
// (over GF(2), a ring being the set of its bonds), within the work budget of each ring system
// (see the top of this file). Done per ring system. `numBonds` is the number of bond ids.
std::vector<Ring> smallestRings(const Candidates& candidates, size_t numAtoms, size_t numBonds) {
  std::vector<int> system(numAtoms);
  std::iota(system.begin(), system.end(), 0);
  for (size_t k = 0; k < candidates.count(); ++k) {
    const int* atoms = candidates.atomsOf(k);
    for (size_t i = 1; i < candidates.size(k); ++i)
      system[findRoot(system, atoms[i])] = findRoot(system, atoms[0]);
  }

  std::unordered_map<int, std::vector<size_t>> bySystem;
  std::vector<int> systemOrder;
  for (size_t k = 0; k < candidates.count(); ++k) {
    const int key = findRoot(system, candidates.atomsOf(k)[0]);
    auto& members = bySystem[key];
    if (members.empty()) systemOrder.push_back(key);
    members.push_back(k);
  }

  std::vector<Ring> kept;
  std::vector<int> row, sum;
  std::vector<char> held(numBonds, 0);  // bonds of the rings kept
  std::vector<int> systemBonds;
  for (const int key : systemOrder) {
    std::vector<size_t>& members = bySystem[key];
    systemBonds.clear();
    for (const size_t k : members)
      systemBonds.insert(systemBonds.end(), candidates.bondsOf(k),
                         candidates.bondsOf(k) + candidates.size(k));
    std::sort(systemBonds.begin(), systemBonds.end());
    const size_t bonds = static_cast<size_t>(std::unique(systemBonds.begin(), systemBonds.end()) -
                                             systemBonds.begin());
    size_t budget = kMinWork + kWorkPerBond * bonds;
    std::sort(members.begin(), members.end(), [&](size_t a, size_t b) {
      if (candidates.size(a) != candidates.size(b)) return candidates.size(a) < candidates.size(b);
      return std::lexicographical_compare(
          candidates.atomsOf(a), candidates.atomsOf(a) + candidates.size(a), candidates.atomsOf(b),
          candidates.atomsOf(b) + candidates.size(b));
    });
    // Reduced basis rows, each a sorted set of bonds, keyed by its largest bond. Rows stay as
    // sparse as the rings they come from, so a ring system of thousands of rings (a lattice, a
    // nanotube) costs time and memory in proportion to its size, not to its square.
    std::unordered_map<int, std::vector<int>> basis;
    for (const size_t k : members) {
      const int* ringBonds = candidates.bondsOf(k);
      const int* ringEnd = ringBonds + candidates.size(k);
      auto allHeld = [&] {
        return std::all_of(ringBonds, ringEnd, [&](int b) { return held[b]; });
      };
      if (budget == 0) {
        if (allHeld()) continue;  // past the budget: kept when it holds a bond no kept ring holds
      } else {
        row.assign(ringBonds, ringEnd);
        while (!row.empty() && budget > 0) {
          const auto found = basis.find(row.back());
          if (found == basis.end()) break;
          sum.clear();
          std::set_symmetric_difference(row.begin(), row.end(), found->second.begin(),
                                        found->second.end(), std::back_inserter(sum));
          row.swap(sum);
          budget -= std::min(budget, row.size() + found->second.size());
        }
        if (row.empty()) continue;               // a sum of smaller rings
        if (budget == 0 && allHeld()) continue;  // the test ran out: judged as past the budget
        const int pivot = row.back();
        basis.emplace(pivot, std::move(row));
        row.clear();
      }
      for (const int* b = ringBonds; b != ringEnd; ++b) held[*b] = 1;
      kept.push_back(
          Ring{std::vector<int>(candidates.atomsOf(k), candidates.atomsOf(k) + candidates.size(k)),
               std::vector<int>(ringBonds, ringEnd)});
    }
  }
  std::sort(kept.begin(), kept.end(),
            [](const Ring& a, const Ring& b) { return a.atoms < b.atoms; });
  return kept;
}

bool isAromaticResidue(const Residu* residue) {
  if (residue == nullptr) return false;
  for (const char* name : kAromaticResidues)
    if (residue->getName3() == name) return true;
  return false;
}

}  // namespace

void Molecule::search_cycle() {
  // Rings are perceived once; their centroids would otherwise be added twice.
  if (!cycles_.empty()) return;

  const size_t n = atoms_.size();
  std::unordered_map<const Atom*, int> position;
  position.reserve(n);
  for (size_t i = 0; i < n; ++i)
    if (!atoms_[i].excluded) position.emplace(&atoms_[i], static_cast<int>(i));

  // Bond graph over the atoms that are not pseudo-atoms, at most kMaxRingBonds bonds to an atom.
  std::vector<std::vector<Link>> adjacency(n);
  std::vector<Bond*> searched;
  for (Bond& bond : bonds_) {
    auto first = position.find(bond.getFirst());
    auto second = position.find(bond.getSecond());
    if (first == position.end() || second == position.end() || first->second == second->second)
      continue;
    if (adjacency[first->second].size() >= kMaxRingBonds ||
        adjacency[second->second].size() >= kMaxRingBonds)
      continue;
    const int id = static_cast<int>(searched.size());
    searched.push_back(&bond);
    adjacency[first->second].push_back({second->second, id});
    adjacency[second->second].push_back({first->second, id});
  }

  // Peel off atoms with fewer than two bonds until none is left: what stays is the 2-core,
  // the only place rings can be.
  std::vector<char> inCore(n, 0);
  std::vector<int> degree(n, 0);
  std::vector<int> peel;
  for (size_t i = 0; i < n; ++i) {
    degree[i] = static_cast<int>(adjacency[i].size());
    inCore[i] = 1;
    if (degree[i] < 2) peel.push_back(static_cast<int>(i));
  }
  while (!peel.empty()) {
    const int a = peel.back();
    peel.pop_back();
    if (!inCore[a]) continue;
    inCore[a] = 0;
    for (const Link& link : adjacency[a])
      if (inCore[link.atom] && --degree[link.atom] < 2) peel.push_back(link.atom);
  }

  const std::vector<Ring> rings =
      smallestRings(hortonCandidates(adjacency, inCore), n, searched.size());
  if (rings.empty()) return;

  unsigned nextMapNum = 0;
  for (const Atom& atom : atoms_) nextMapNum = std::max(nextMapNum, atom.getMapNum());

  for (const Ring& ring : rings) {
    auto* cycle = new Cycle;
    Coords centre;
    bool aromaticTypes = true;
    const Residu* residue = atoms_[ring.atoms[0]].getResidu();
    bool aromaticResidue = isAromaticResidue(residue);
    for (const int a : ring.atoms) {
      Atom& member = atoms_[a];
      cycle->atoms.push_back(&member);
      centre += member.getFixedCoords();
      if (member.getMOL2type().find(".ar") == std::string::npos) aromaticTypes = false;
      if (member.getResidu() != residue) aromaticResidue = false;
    }
    bool aromaticBonds = true;
    for (const int b : ring.bonds)
      if (searched[b]->getType() != kBondAromatic) aromaticBonds = false;
    cycle->aromatic = aromaticTypes || aromaticBonds || aromaticResidue;

    const double size = static_cast<double>(ring.atoms.size());
    centre = Coords(centre.x / size, centre.y / size, centre.z / size);
    // The dummy's MOL2 type is stored as is: it is no chemical type to check.
    auto* centroid = new Atom(static_cast<unsigned>(atoms_.size()), ++nextMapNum, "Du", centre,
                              cycle->aromatic ? "DUAr" : "DuCy", "Du");
    centroid->excluded = true;
    cycle->centroid = centroid;
    addAtom(centroid, atoms_[ring.atoms[0]].getResidu());
    cycles_.push_back(cycle);
  }
}

}  // namespace VXMole
