// Bond-order perception: free valences, hybridisation from geometry, fixed groups, triple bonds,
// and the Kekulé assignment by a maximum matching (Edmonds' blossom search).
#include "bondorders.h"

#include <algorithm>
#include <cmath>  // for std::acos, std::fabs
#include <queue>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "atome.h"
#include "bond.h"
#include "edge.h"
#include "molecule.h"
#include "residu.h"
#include "sybyltyping.h"
#include "vertex.h"

namespace VXMole {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Geometry thresholds, in degrees and Å.
constexpr double kPlanarAngleSum = 350;  // three neighbours: 328.4 tetrahedral, 360 trigonal
constexpr double kTrigonalAngle = 115;   // two neighbours: 109.5 tetrahedral, 120 trigonal
constexpr double kLinearAngle = 160;     // two neighbours: 180 linear
constexpr double kPlanarRing = 0.12;     // largest distance of a ring atom to its mean plane
constexpr double kShortened = 0.04;      // a candidate bond is this much under single length
constexpr double kTripleMargin = 0.08;   // a triple bond is at most this much over its length
// A bond this near its double length (0 at the double, 1 at the single) is taken as double
// before the search.
constexpr double kClearlyDouble = 0.3;

// Bond lengths (Å) between two elements: single, double, triple (0 where there is none).
// Allen et al., J. Chem. Soc. Perkin Trans. 2 (1987), rounded; pairs not listed take the sum of
// the atomic radii for single and 0.2 Å less for double.
struct BondLengths {
  unsigned a, b;  // atomic numbers, a <= b
  double single, dbl, triple;
};
// clang-format off
const BondLengths kLengths[] = {
    {6,  6,  1.54, 1.34, 1.20},
    {6,  7,  1.47, 1.28, 1.16},
    {6,  8,  1.43, 1.22, 1.13},
    {6,  15, 1.84, 1.66, 0.00},
    {6,  16, 1.82, 1.63, 0.00},
    {7,  7,  1.45, 1.25, 1.10},
    {7,  8,  1.40, 1.21, 0.00},
    {7,  15, 1.70, 1.56, 0.00},
    {7,  16, 1.68, 1.54, 0.00},
    {8,  15, 1.60, 1.48, 0.00},
    {8,  16, 1.57, 1.43, 0.00},
    {16, 16, 2.05, 1.90, 0.00},
};
// clang-format on
static_assert(sizeof(kLengths) / sizeof(kLengths[0]) == 12, "the pairs of C, N, O, P, S met");

BondLengths lengthsOf(const Atom& x, const Atom& y) {
  const unsigned a = std::min(x.getAtomicNum(), y.getAtomicNum());
  const unsigned b = std::max(x.getAtomicNum(), y.getAtomicNum());
  for (const BondLengths& row : kLengths)
    if (row.a == a && row.b == b) return row;
  const double single = x.getAtomicRadius() + y.getAtomicRadius();
  return {a, b, single, single - 0.2, 0};
}

Coords minus(const Coords& a, const Coords& b) {
  return Coords(a.x - b.x, a.y - b.y, a.z - b.z);
}

double distance(const Atom& a, const Atom& b) {
  return a.getFixedCoords().calcDist(b.getFixedCoords());
}

// The angle a-centre-b in degrees.
double angle(const Atom& a, const Atom& centre, const Atom& b) {
  const Coords& c = centre.getFixedCoords();
  const Coords u = minus(a.getFixedCoords(), c);
  const Coords v = minus(b.getFixedCoords(), c);
  const double nu = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
  const double nv = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (nu == 0 || nv == 0) return 0;
  const double cosine = (u.x * v.x + u.y * v.y + u.z * v.z) / (nu * nv);
  return std::acos(std::max(-1.0, std::min(1.0, cosine))) * 180 / kPi;
}

// Whether the ring's atoms all lie within kPlanarRing of their mean plane (Newell's normal).
bool isPlanar(const std::vector<const Atom*>& ring) {
  Coords centre(0, 0, 0), normal(0, 0, 0);
  for (size_t i = 0; i < ring.size(); ++i) {
    const Coords& p = ring[i]->getFixedCoords();
    const Coords& q = ring[(i + 1) % ring.size()]->getFixedCoords();
    normal.x += (p.y - q.y) * (p.z + q.z);
    normal.y += (p.z - q.z) * (p.x + q.x);
    normal.z += (p.x - q.x) * (p.y + q.y);
    centre.x += p.x / static_cast<double>(ring.size());
    centre.y += p.y / static_cast<double>(ring.size());
    centre.z += p.z / static_cast<double>(ring.size());
  }
  const double length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
  if (length == 0) return false;
  for (const Atom* atom : ring) {
    const Coords d = minus(atom->getFixedCoords(), centre);
    if (std::fabs((d.x * normal.x + d.y * normal.y + d.z * normal.z) / length) > kPlanarRing)
      return false;
  }
  return true;
}

// Maximum matching in a general graph: Edmonds' blossom search, one augmenting path at a time.
// Vertices are 0..n-1; match[v] is v's partner, or -1.
class BlossomMatching {
 public:
  explicit BlossomMatching(const std::vector<std::vector<int>>& graph)
      : graph_(graph), match(graph.size(), -1) {}

  // Searches an augmenting path from the unmatched vertex `root` and applies it; false when
  // there is none. Vertices matched before stay matched.
  bool augment(int root) {
    int v = findPath(root);
    if (v < 0) return false;
    while (v >= 0) {
      const int pv = parent_[v], ppv = match[pv];
      match[v] = pv;
      match[pv] = v;
      v = ppv;
    }
    return true;
  }

 private:
  int lowestCommonAncestor(int a, int b) {
    std::vector<bool> seen(graph_.size(), false);
    for (;;) {
      a = base_[a];
      seen[a] = true;
      if (match[a] < 0) break;
      a = parent_[match[a]];
    }
    for (;;) {
      b = base_[b];
      if (seen[b]) return b;
      b = parent_[match[b]];
    }
  }

  void markPath(int v, int b, int child) {
    while (base_[v] != b) {
      blossom_[base_[v]] = blossom_[base_[match[v]]] = true;
      parent_[v] = child;
      child = match[v];
      v = parent_[match[v]];
    }
  }

  int findPath(int root) {
    const size_t n = graph_.size();
    used_.assign(n, false);
    parent_.assign(n, -1);
    base_.resize(n);
    for (size_t i = 0; i < n; ++i) base_[i] = static_cast<int>(i);
    used_[root] = true;
    std::queue<int> queue;
    queue.push(root);
    while (!queue.empty()) {
      const int v = queue.front();
      queue.pop();
      for (int to : graph_[v]) {
        if (base_[v] == base_[to] || match[v] == to) continue;
        if (to == root || (match[to] >= 0 && parent_[match[to]] >= 0)) {
          const int current = lowestCommonAncestor(v, to);
          blossom_.assign(n, false);
          markPath(v, current, to);
          markPath(to, current, v);
          for (size_t i = 0; i < n; ++i) {
            if (!blossom_[base_[i]]) continue;
            base_[i] = current;
            if (!used_[i]) {
              used_[i] = true;
              queue.push(static_cast<int>(i));
            }
          }
        } else if (parent_[to] < 0) {
          parent_[to] = v;
          if (match[to] < 0) return to;
          used_[match[to]] = true;
          queue.push(match[to]);
        }
      }
    }
    return -1;
  }

  const std::vector<std::vector<int>>& graph_;
  std::vector<bool> used_, blossom_;
  std::vector<int> parent_, base_;

 public:
  std::vector<int> match;
};

// One heavy atom being perceived.
struct Site {
  Atom* atom;
  std::vector<Atom*> neighbours;  // covalent partners, hydrogens included
  int hydrogens = 0;
  int free = 0;              // valences left for double and triple bonds
  bool unsaturated = false;  // the geometry (or the hydrogens) allows a multiple bond
  bool linear = false;
  bool planarTrigonal = false;  // three neighbours in a plane
};

class OrderPerception {
 public:
  OrderPerception(Molecule& molecule, const std::vector<Atom*>& atoms)
      : molecule_(molecule), atoms_(atoms) {}

  void run() {
    collectSites();
    if (sites_.empty()) return;
    settleGeometry();
    fixGroups();
    placeTriples();
    placeDoubles();
    chargeWhatRemains();
    shareCarboxylates();
    assignSybylTypes(atoms_);
    // The charges perceived served the typing; the types carry them (N.4, C.cat, O.co2), as
    // MOL2 readers take them, and the atoms keep the charges their file gave.
    for (const Atom* atom : charged_) const_cast<Atom*>(atom)->setFormalCharge(0);
  }

 private:
  void collectSites();
  void settleGeometry();
  void fixGroups();
  void placeTriples();
  void placeDoubles();
  // A nitrogen of two neighbours in a planar ring, in a residue that shows no hydrogens: a
  // pyridine's, or a pyrrole's whose hydrogen is not shown.
  bool bareRingNitrogen(const Site& s) const {
    return completeHydrogens_.count(s.atom->getResidu()) == 0 && s.atom->isNitrogen() &&
           s.hydrogens == 0 && s.neighbours.size() == 2 && inPlanarRing_.count(s.atom) != 0;
  }
  void giveRingNitrogensTheirDoubles(const std::vector<int>& members,
                                     const std::vector<size_t>& siteOf,
                                     const std::vector<std::vector<int>>& system,
                                     std::vector<int>& match);
  void chargeWhatRemains();
  void shareCarboxylates();

  Site* site(const Atom* atom) {
    auto found = index_.find(atom);
    return found == index_.end() ? nullptr : &sites_[found->second];
  }
  // A bond between two atoms being perceived that is still single: its order is open.
  Bond* openBond(const Atom& a, const Atom& b) {
    Bond* bond = a.getBond(&b);
    return bond != nullptr && bond->getType() == kBondSingle && open_.count(bond) != 0 ? bond
                                                                                       : nullptr;
  }
  void setOrder(Site& a, Site& b, int order) {
    Bond* bond = a.atom->getBond(b.atom);
    bond->setType(order);
    open_.erase(bond);
    a.free -= order - 1;
    b.free -= order - 1;
  }
  void charge(Site& s, double value) {
    if (s.atom->getFormalCharge() != 0) return;
    s.atom->setFormalCharge(value);
    charged_.insert(s.atom);
  }
  static bool holdsMultiple(const Atom& atom) {
    for (const Edge* edge : atom.getVertex()->edges)
      if (edge->bond != nullptr && edge->bond->getType() != kBondSingle) return true;
    return false;
  }
  static int neutralValence(const Atom& atom) {
    switch (atom.getAtomicNum()) {
      case 5:
        return 3;
      case 6:
        return 4;
      case 7:
      case 15:
        return 3;
      case 8:
      case 16:
      case 34:
        return 2;
      default:
        return 1;
    }
  }
  void recountFree(Site& s) {
    int valence = neutralValence(*s.atom);
    const double q = s.atom->getFormalCharge();
    if (s.atom->isCarbon())
      valence -= q != 0 ? 1 : 0;
    else if (s.atom->isNitrogen() || s.atom->isOxygen() || s.atom->isSulfur())
      valence += static_cast<int>(q);
    int used = 0;
    for (Atom* n : s.neighbours) {
      const Bond* bond = s.atom->getBond(n);
      const int type = bond->getType();
      used += type == kBondDouble ? 2 : type == kBondTriple ? 3 : 1;
    }
    s.free = std::max(0, valence - used);
  }

  Molecule& molecule_;
  const std::vector<Atom*>& atoms_;
  std::vector<Site> sites_;
  std::unordered_map<const Atom*, size_t> index_;
  std::unordered_set<const Bond*> open_;                 // bonds whose order is still open
  std::unordered_set<const Bond*> perceived_;            // bonds whose order is perceived
  std::unordered_set<Atom*> charged_;                    // atoms given a formal charge here
  std::unordered_set<const Residu*> completeHydrogens_;  // residues that show H on carbon
  std::unordered_set<const Atom*> inPlanarRing_;
  std::unordered_set<const Atom*> inRing_;
};

void OrderPerception::collectSites() {
  std::unordered_set<const Atom*> given(atoms_.begin(), atoms_.end());
  for (Atom* atom : atoms_) {
    if (atom->isHydrogen() || !formsCovalentBonds(*atom)) continue;
    Site s;
    s.atom = atom;
    for (const Edge* edge : atom->getVertex()->edges) {
      if (edge->bond == nullptr) continue;
      Atom* other = edge->bond->getOther(atom);
      if (other == nullptr || !formsCovalentBonds(*other)) continue;
      s.neighbours.push_back(other);
      if (other->isHydrogen()) {
        ++s.hydrogens;
        if (atom->isCarbon()) completeHydrogens_.insert(atom->getResidu());
      } else if (given.count(other) != 0 && edge->bond->getType() == kBondSingle) {
        open_.insert(edge->bond);
        perceived_.insert(edge->bond);
      }
    }
    index_.emplace(atom, sites_.size());
    sites_.push_back(std::move(s));
  }
  for (Site& s : sites_) recountFree(s);
}

void OrderPerception::settleGeometry() {
  for (const std::vector<const Atom*>& ring : smallRings(atoms_)) {
    inRing_.insert(ring.begin(), ring.end());
    if (ring.size() <= 6 && isPlanar(ring)) inPlanarRing_.insert(ring.begin(), ring.end());
  }
  for (Site& s : sites_) {
    const size_t n = s.neighbours.size();
    if (n == 2) s.linear = angle(*s.neighbours[0], *s.atom, *s.neighbours[1]) >= kLinearAngle;
    if (n == 3) {
      const double sum = angle(*s.neighbours[0], *s.atom, *s.neighbours[1]) +
                         angle(*s.neighbours[1], *s.atom, *s.neighbours[2]) +
                         angle(*s.neighbours[0], *s.atom, *s.neighbours[2]);
      s.planarTrigonal = sum >= kPlanarAngleSum;
    }
    if (s.free == 0) continue;
    if (n == 1) {
      const BondLengths l = lengthsOf(*s.atom, *s.neighbours[0]);
      s.linear = l.triple > 0 && distance(*s.atom, *s.neighbours[0]) < l.triple + kTripleMargin;
    }
    if (completeHydrogens_.count(s.atom->getResidu()) != 0) {
      s.unsaturated = true;  // the hydrogens are all there: the free valence decides
      continue;
    }
    if (inPlanarRing_.count(s.atom) != 0 || s.linear || s.planarTrigonal) {
      s.unsaturated = true;
    } else if (n == 2) {
      s.unsaturated = angle(*s.neighbours[0], *s.atom, *s.neighbours[1]) >= kTrigonalAngle;
    } else if (n == 1) {
      const BondLengths l = lengthsOf(*s.atom, *s.neighbours[0]);
      const double d = distance(*s.atom, *s.neighbours[0]);
      s.unsaturated = d < (l.single + l.dbl) / 2;
    }
  }
}

void OrderPerception::fixGroups() {
  for (Site& s : sites_) {
    const Atom& atom = *s.atom;
    std::vector<Site*> terminalOxygens;
    for (Atom* n : s.neighbours) {
      Site* o = site(n);
      if (o != nullptr && n->isOxygen() && o->neighbours.size() == 1 && openBond(atom, *n))
        terminalOxygens.push_back(o);
    }
    // The shortest first; an oxygen that the file gives a negative charge keeps its single bond.
    std::sort(terminalOxygens.begin(), terminalOxygens.end(), [&](const Site* a, const Site* b) {
      const bool aCharged = a->atom->getFormalCharge() < 0,
                 bCharged = b->atom->getFormalCharge() < 0;
      if (aCharged != bCharged) return bCharged;
      return distance(atom, *a->atom) < distance(atom, *b->atom);
    });
    const size_t n = s.neighbours.size();
    if (atom.isNitrogen() && n == 3 && !terminalOxygens.empty() && s.hydrogens == 0 &&
        (s.planarTrigonal || inPlanarRing_.count(&atom) != 0)) {
      if (terminalOxygens.size() >= 2) {
        // A nitro group, written N(=O)=O: Tripos's form, which Open Babel and RDKit both read
        // as N(+)(=O)O(-).
        for (size_t i = 0; i < 2; ++i) {
          Bond* bond = atom.getBond(terminalOxygens[i]->atom);
          bond->setType(kBondDouble);
          open_.erase(bond);
          terminalOxygens[i]->free = 0;
        }
        s.free = 0;
        s.unsaturated = false;
        continue;
      }
      // An N-oxide N(+)-O(-): the nitrogen's fourth valence goes to its ring.
      charge(s, 1);
      charge(*terminalOxygens.front(), -1);
      recountFree(s);
      recountFree(*terminalOxygens.front());
      if (s.free > 0) s.unsaturated = true;
      continue;
    }
    if ((atom.isSulfur() || atom.isPhosphorus()) && n >= 3) {
      // Sulfur: the terminal oxygens take its valences beyond two (sulfoxide, sulfone,
      // sulfonamide, sulfonate, sulfate); phosphorus of four neighbours takes one.
      const size_t doubles =
          atom.isSulfur() ? std::min(terminalOxygens.size(), n - 2) : (n == 4 ? 1 : 0);
      for (size_t i = 0; i < doubles && i < terminalOxygens.size(); ++i) {
        if (terminalOxygens[i]->atom->getFormalCharge() < 0) break;
        s.free = 2;  // room for the one double bond
        setOrder(s, *terminalOxygens[i], kBondDouble);
      }
      s.free = 0;
      s.unsaturated = false;
    }
  }
}

void OrderPerception::placeTriples() {
  for (Site& s : sites_) {
    if (!s.linear || !s.unsaturated || s.free < 2) continue;
    for (Atom* n : s.neighbours) {
      Site* t = site(n);
      if (t == nullptr || !t->linear || t->free < 2 || !openBond(*s.atom, *n)) continue;
      const BondLengths l = lengthsOf(*s.atom, *n);
      if (l.triple > 0 && distance(*s.atom, *n) < l.triple + kTripleMargin) {
        setOrder(s, *t, kBondTriple);
        break;
      }
    }
  }
  // Cumulated double bonds: an allene's or a carbon dioxide's centre, an isocyanate's carbon.
  for (Site& s : sites_) {
    if (!s.linear || !s.unsaturated || s.free < 2) continue;
    for (Atom* n : s.neighbours) {
      Site* t = site(n);
      if (t != nullptr && t->free >= 1 && s.free >= 1 && openBond(*s.atom, *n))
        setOrder(s, *t, kBondDouble);
    }
  }
}

void OrderPerception::placeDoubles() {
  // The graph of unsaturated atoms that keep a free valence, joined by their open bonds.
  std::vector<int> vertexOf(sites_.size(), -1);
  std::vector<size_t> siteOf;
  for (size_t i = 0; i < sites_.size(); ++i)
    if (sites_[i].unsaturated && sites_[i].free > 0) {
      vertexOf[i] = static_cast<int>(siteOf.size());
      siteOf.push_back(i);
    }
  std::vector<std::vector<int>> graph(siteOf.size());
  struct Candidate {
    double closeness;  // 0 at the double bond length, 1 at the single
    int a, b;
  };
  std::vector<Candidate> candidates;
  for (size_t v = 0; v < siteOf.size(); ++v) {
    const Site& s = sites_[siteOf[v]];
    const bool complete = completeHydrogens_.count(s.atom->getResidu()) != 0;
    for (Atom* n : s.neighbours) {
      auto other = index_.find(n);
      if (other == index_.end() || vertexOf[other->second] < 0) continue;
      const int w = vertexOf[other->second];
      if (w <= static_cast<int>(v) || !openBond(*s.atom, *n)) continue;
      const BondLengths l = lengthsOf(*s.atom, *n);
      const double d = distance(*s.atom, *n);
      if (!complete && d >= l.single - kShortened) continue;
      candidates.push_back({(d - l.dbl) / (l.single - l.dbl), static_cast<int>(v), w});
    }
  }
  std::stable_sort(
      candidates.begin(), candidates.end(),
      [](const Candidate& x, const Candidate& y) { return x.closeness < y.closeness; });
  // The search takes the bonds nearest their double bond length first, and a heteroatom
  // outside the rings (an amine or an aniline's NH, a hydroxyl whose hydrogen is not shown)
  // last; such a heteroatom is not seeded with a double bond it may not need, a terminal
  // oxygen or sulfur excepted (a carbonyl's length tells it).
  auto outsideRings = [&](int v) {
    const Site& s = sites_[siteOf[v]];
    return !s.atom->isCarbon() && inRing_.count(s.atom) == 0;
  };
  auto seedable = [&](int v) {
    const Site& s = sites_[siteOf[v]];
    return !outsideRings(v) ||
           ((s.atom->isOxygen() || s.atom->isSulfur()) && s.neighbours.size() == 1);
  };
  for (int pass = 0; pass < 2; ++pass)
    for (const Candidate& c : candidates) {
      const bool late = outsideRings(c.a) || outsideRings(c.b);
      if (late != (pass == 1)) continue;
      graph[c.a].push_back(c.b);
      graph[c.b].push_back(c.a);
    }
  // Without hydrogens, each heteroatom has a partner of its own that stands for its staying
  // singly bonded: a path that ends there moves a heteroatom's double bond to a carbon that
  // lacks one (the amine of an aniline gives its C=N back to the ring). Where hydrogens are
  // complete, every free valence must be filled and there is no such partner.
  const size_t real = siteOf.size();
  const bool anyIncomplete = std::any_of(siteOf.begin(), siteOf.end(), [&](size_t i) {
    return completeHydrogens_.count(sites_[i].atom->getResidu()) == 0;
  });
  for (size_t v = 0; v < real && anyIncomplete; ++v) {
    const Site& s = sites_[siteOf[v]];
    if (s.atom->isCarbon() || completeHydrogens_.count(s.atom->getResidu()) != 0) continue;
    graph.emplace_back(1, static_cast<int>(v));
    graph[v].push_back(static_cast<int>(graph.size() - 1));
  }
  // Seeded with the bonds that are clearly double; the search places the others.
  std::vector<int> match(graph.size(), -1);
  for (const Candidate& c : candidates)
    if (c.closeness <= kClearlyDouble && seedable(c.a) && seedable(c.b) && match[c.a] < 0 &&
        match[c.b] < 0) {
      match[c.a] = c.b;
      match[c.b] = c.a;
    }
  // Each conjugated system on its own: first every carbon left unmatched searches an augmenting
  // path, then, with the heteroatoms' own partners set aside, every atom whose free valence must
  // be filled (all of them where hydrogens are complete; else the nitrogens of two neighbours in
  // planar rings, the pyridine type).
  auto mustFill = [&](int v, bool carbonsOnly) {
    if (static_cast<size_t>(v) >= real) return false;
    const Site& s = sites_[siteOf[v]];
    if (s.atom->isCarbon()) return true;
    return !carbonsOnly && completeHydrogens_.count(s.atom->getResidu()) != 0;
  };
  std::vector<bool> visited(graph.size(), false);
  std::vector<int> local(graph.size(), -1);
  for (size_t start = 0; start < real; ++start) {
    if (visited[start]) continue;
    std::vector<int> members{static_cast<int>(start)};
    visited[start] = true;
    for (size_t k = 0; k < members.size(); ++k)
      for (int to : graph[members[k]])
        if (!visited[to]) {
          visited[to] = true;
          members.push_back(to);
        }
    bool unfilled = false;
    for (int v : members)
      unfilled = unfilled ||
                 (match[v] < 0 && (mustFill(v, false) || (static_cast<size_t>(v) < real &&
                                                          bareRingNitrogen(sites_[siteOf[v]]))));
    if (!unfilled || members.size() > kMaxMatchedSystem) continue;
    for (size_t k = 0; k < members.size(); ++k) local[members[k]] = static_cast<int>(k);
    std::vector<std::vector<int>> system(members.size());
    for (size_t k = 0; k < members.size(); ++k)
      for (int to : graph[members[k]]) system[k].push_back(local[to]);
    BlossomMatching matching(system);
    for (size_t k = 0; k < members.size(); ++k)
      matching.match[k] = match[members[k]] < 0 ? -1 : local[match[members[k]]];
    for (size_t k = 0; k < members.size(); ++k)
      if (matching.match[k] < 0 && mustFill(members[k], true))
        matching.augment(static_cast<int>(k));
    // The partners of their own set aside: a heteroatom matched to one is free again.
    for (size_t k = 0; k < members.size(); ++k) {
      if (static_cast<size_t>(members[k]) < real) continue;
      system[k].clear();
      const int owner = matching.match[k];
      if (owner >= 0) matching.match[owner] = -1;
      matching.match[k] = -1;
    }
    for (auto& edges : system)
      edges.erase(std::remove_if(edges.begin(), edges.end(),
                                 [&](int to) { return static_cast<size_t>(members[to]) >= real; }),
                  edges.end());
    for (size_t k = 0; k < members.size(); ++k)
      if (matching.match[k] < 0 && mustFill(members[k], false))
        matching.augment(static_cast<int>(k));
    giveRingNitrogensTheirDoubles(members, siteOf, system, matching.match);
    for (size_t k = 0; k < members.size(); ++k)
      match[members[k]] = matching.match[k] < 0 ? -1 : members[matching.match[k]];
  }
  for (size_t v = 0; v < real; ++v) {
    const int w = match[v];
    if (w > static_cast<int>(v) && static_cast<size_t>(w) < real)
      setOrder(sites_[siteOf[v]], sites_[siteOf[w]], kBondDouble);
  }
}

// Without hydrogens, a nitrogen outside the rings (an aniline's, an amidine's) may hold the double
// bond of a ring atom that a ring nitrogen of two neighbours, left without one, needed: the ring
// then reads as its NH tautomer (N=c1nc[nH]c2ccccc12 for Nc1ncnc2ccccc12). For each such ring
// nitrogen, a double bond from a ring atom to a nitrogen outside the rings is given back: that
// nitrogen set aside, a path from the ring nitrogen that ends at the ring atom is searched, and
// kept when found. Every atom matched before stays matched, the outside nitrogen excepted.
void OrderPerception::giveRingNitrogensTheirDoubles(const std::vector<int>& members,
                                                    const std::vector<size_t>& siteOf,
                                                    const std::vector<std::vector<int>>& system,
                                                    std::vector<int>& match) {
  auto siteAt = [&](size_t k) -> const Site* {
    const size_t v = static_cast<size_t>(members[k]);
    return v < siteOf.size() ? &sites_[siteOf[v]] : nullptr;
  };
  auto outsideNitrogen = [&](size_t k) {
    const Site* s = siteAt(k);
    return s != nullptr && completeHydrogens_.count(s->atom->getResidu()) == 0 &&
           s->atom->isNitrogen() && inRing_.count(s->atom) == 0;
  };
  for (size_t n = 0; n < match.size(); ++n) {
    if (match[n] >= 0 || siteAt(n) == nullptr || !bareRingNitrogen(*siteAt(n))) continue;
    for (size_t x = 0; x < match.size(); ++x) {
      const int c = match[x];
      if (c < 0 || !outsideNitrogen(x) || inRing_.count(siteAt(c)->atom) == 0) continue;
      std::vector<std::vector<int>> without = system;
      without[x].clear();
      for (std::vector<int>& edges : without)
        edges.erase(std::remove(edges.begin(), edges.end(), static_cast<int>(x)), edges.end());
      BlossomMatching trial(without);
      trial.match = match;
      trial.match[x] = trial.match[c] = -1;
      if (trial.augment(static_cast<int>(n)) && trial.match[c] >= 0) {
        match = trial.match;
        break;
      }
    }
  }
}

void OrderPerception::chargeWhatRemains() {
  // A carbon left unsaturated takes a double bond to a planar nitrogen of three neighbours,
  // which bears the charge (pyridinium, amidinium, guanidinium).
  for (Site& s : sites_) {
    if (!s.atom->isCarbon() || !s.unsaturated || s.free == 0 || holdsMultiple(*s.atom)) continue;
    for (Atom* n : s.neighbours) {
      Site* t = site(n);
      if (t == nullptr || !n->isNitrogen() || t->free != 0 || t->neighbours.size() != 3 ||
          !openBond(*s.atom, *n) || n->getFormalCharge() < 0)
        continue;
      if (!t->planarTrigonal && inPlanarRing_.count(n) == 0) continue;
      const BondLengths l = lengthsOf(*s.atom, *n);
      if (completeHydrogens_.count(s.atom->getResidu()) == 0 &&
          distance(*s.atom, *n) >= l.single - kShortened)
        continue;
      charge(*t, 1);
      t->free = 1;
      setOrder(s, *t, kBondDouble);
      break;
    }
  }
  for (Site& s : sites_) {
    if (completeHydrogens_.count(s.atom->getResidu()) == 0) continue;
    if ((s.atom->isOxygen() || s.atom->isSulfur()) && s.neighbours.size() == 1 && s.free > 0)
      charge(s, -1);
    if (s.atom->isNitrogen() && s.neighbours.size() == 4) charge(s, 1);
  }
}

// A carbon with two terminal oxygens, neither bearing hydrogen, shares its double bond between
// them: both bonds aromatic, both oxygens O.co2, as Tripos writes a carboxylate and as Open Babel
// and RDKit read it (RDKit puts the charge on one oxygen).
void OrderPerception::shareCarboxylates() {
  for (Site& s : sites_) {
    if (!s.atom->isCarbon()) continue;
    std::vector<Site*> oxygens;
    for (Atom* n : s.neighbours) {
      Site* o = site(n);
      if (o != nullptr && n->isOxygen() && o->neighbours.size() == 1) oxygens.push_back(o);
    }
    if (oxygens.size() != 2) continue;
    Bond* first = s.atom->getBond(oxygens[0]->atom);
    Bond* second = s.atom->getBond(oxygens[1]->atom);
    if (perceived_.count(first) == 0 || perceived_.count(second) == 0) continue;
    if (first->getType() + second->getType() != kBondSingle + kBondDouble) continue;
    first->setType(kBondAromatic);
    second->setType(kBondAromatic);
  }
}

}  // namespace

void perceiveBondOrders(Molecule& molecule, const std::vector<Atom*>& atoms) {
  OrderPerception(molecule, atoms).run();
}

}  // namespace VXMole
