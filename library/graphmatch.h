// GraphMatch: every heavy atom of one molecule mapped onto another by an isomorphism of their
// bond graphs, the one of lowest RMSD among the molecule's symmetries, fitted or in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "coords.h"

namespace VXMole {

class Atom;
class Molecule;

// The heavy-atom bond graph of a molecule: its atoms that are neither hydrogens nor the
// pseudo-atoms of ring perception (Atom::excluded), in molecule order, joined by their bonds
// whatever the bond order, so that protonation and Kekulé forms do not change it. Vertex v is
// the v-th such atom. The graph points into the molecule, which must outlive it.
class HeavyAtomGraph {
 public:
  explicit HeavyAtomGraph(const Molecule& molecule);

  size_t size() const { return atoms_.size(); }
  size_t numBonds() const { return neighbours_.size() / 2; }
  const Atom& atom(unsigned v) const { return *atoms_[v]; }
  unsigned element(unsigned v) const;  // atomic number
  const Coords& position(unsigned v) const;
  unsigned degree(unsigned v) const { return offsets_[v + 1] - offsets_[v]; }
  // The neighbours of v, ascending: [neighbours(v), neighbours(v) + degree(v)).
  const unsigned* neighbours(unsigned v) const { return neighbours_.data() + offsets_[v]; }
  bool bonded(unsigned v, unsigned w) const;

 private:
  std::vector<const Atom*> atoms_;  // not owning
  std::vector<unsigned> offsets_;   // neighbours of v at [offsets_[v], offsets_[v + 1])
  std::vector<unsigned> neighbours_;
};

// Which RMSD chooses the mapping: after the least-squares fit of the pairs (QCP, as
// RigidBody fits them), or of the coordinates as they stand.
enum class GraphRmsd { kFitted, kInPlace };

struct GraphMatchOptions {
  GraphRmsd choose = GraphRmsd::kFitted;
  // Bound on the search, in candidate pairs weighed; see GraphMatch::kDefaultWorkLimit.
  uint64_t workLimit = 0;  // 0: the default
};

struct GraphMatchResult {
  enum class Outcome {
    kMapped,         // every heavy atom is paired; rmsd holds its value
    kNoHeavyAtoms,   // a molecule has no heavy atom: nothing to map
    kNoBonds,        // a molecule of two or more heavy atoms has no bond between them: the
                     // graph cannot tell its atoms apart (a file read without its bonds)
    kNotIsomorphic,  // the two graphs differ; `difference` says where first
    kStopped,        // the search reached its bound before it found any mapping
  };

  Outcome outcome = Outcome::kMapped;
  GraphRmsd chosenBy = GraphRmsd::kFitted;
  size_t referenceAtoms = 0;  // heavy atoms of each molecule
  size_t comparisonAtoms = 0;
  size_t referenceBonds = 0;  // bonds between heavy atoms
  size_t comparisonBonds = 0;
  // Unless mapped: the first difference found, one line without its end, naming no file
  // ("C atoms: 5 in the reference, 4 in the comparison").
  std::string difference;

  // The pairs, reference atoms in molecule order: reference[k] is paired with comparison[k].
  // Empty unless mapped.
  std::vector<const Atom*> reference;
  std::vector<const Atom*> comparison;
  // RMSDs of the pairs, in ångström: after their least-squares fit (RigidBody::Calc_Rotation's
  // value, one of its failure values when the pairs cannot be fitted), and in place.
  double fittedRmsd = 0;
  double inPlaceRmsd = 0;
  // False when the search reached its bound: the mapping is the best one found by then, not
  // proved the best.
  bool proved = true;
  uint64_t work = 0;  // candidate pairs weighed, in the units of the work limit

  // The value that chose the mapping.
  double rmsd() const { return chosenBy == GraphRmsd::kFitted ? fittedRmsd : inPlaceRmsd; }
  // Unless mapped, one line for the user (without its end): both heavy-atom counts and the
  // first difference, naming no file.
  std::string describe() const;
};

// The search. Atoms are first sorted into symmetry classes by colour refinement over both
// graphs at once (element and degree, then the classes of the neighbours, round after round);
// a reference atom may only be paired with a comparison atom of its class, bonds must map
// onto bonds, and the search is depth first, bonded atoms after bonded atoms, the leaves (atoms
// of one bond) and lone atoms last, candidates in order of their bound. A branch is pruned when
// a lower bound of its sum of squared deviations is no better than the best mapping found: in
// place, that of the pairs made plus, for each atom left, its nearest candidate; fitted, the
// least-squares sum of the pairs made turned about both molecules' heavy-atom barycentres
// (where every full mapping's fit puts them), plus for each atom left the least that its
// candidates can add, from their distances to the barycentre and, where the pairs made hold the
// rotation within a cone, from their places under it. In place, the leaves of one parent are
// placed by optimal assignment, exactly; fitted, every mapping of the other atoms is first
// given its leaves so (turned by the fit, refitted, until they hold) before the leaves are
// searched. Exact symmetries of the geometry are pruned as ties. Disconnected molecules
// (salts, several fragments) are one graph: like fragments and like lone ions may swap.
class GraphMatch {
 public:
  // About half a second of search on one core of a current machine: conformers of a chain
  // that carries ten CF3 groups reach it in 0.4 to 0.5 s, while C60, cyclodextrins and long
  // alkanes finish in a few hundredths.
  static constexpr uint64_t kDefaultWorkLimit = 20'000'000;

  GraphMatch(const Molecule& reference, const Molecule& comparison);

  GraphMatchResult run(const GraphMatchOptions& options = GraphMatchOptions());

  const HeavyAtomGraph& referenceGraph() const { return reference_; }
  const HeavyAtomGraph& comparisonGraph() const { return comparison_; }

 private:
  HeavyAtomGraph reference_;
  HeavyAtomGraph comparison_;
};

// GraphMatch(reference, comparison).run(options).
GraphMatchResult matchGraphs(const Molecule& reference, const Molecule& comparison,
                             const GraphMatchOptions& options = GraphMatchOptions());

}  // namespace VXMole
