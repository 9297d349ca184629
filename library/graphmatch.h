// GraphMatch: every heavy atom of one molecule mapped onto another by an isomorphism of their
// bond graphs, the one of lowest RMSD among the molecule's symmetries, fitted or in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "heavyatomgraph.h"

namespace VXMole {

class Atom;
class Molecule;

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
  // False when colour refinement reached its share of the bound before the classes settled:
  // the search ran on coarser classes, as exact but slower.
  bool classesSettled = true;
  uint64_t work = 0;  // candidate pairs weighed, in the units of the work limit

  // The value that chose the mapping.
  double rmsd() const { return chosenBy == GraphRmsd::kFitted ? fittedRmsd : inPlaceRmsd; }
  // Unless mapped, one line for the user (without its end): both heavy-atom counts and the
  // first difference, naming no file.
  std::string describe() const;
};

// The search. Atoms are first sorted into symmetry classes by colour refinement over both
// graphs at once (SymmetryClasses, within half the work limit: a chain of thousands of atoms
// needs as many rounds);
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

  // The graphs are built on the atoms selected by position, as HeavyAtomGraph says; empty
  // selections: every atom.
  GraphMatch(const Molecule& reference, const Molecule& comparison,
             const std::vector<bool>& referenceAtoms = {},
             const std::vector<bool>& comparisonAtoms = {});

  // One search; the symmetry classes are found once for every run of the same work limit.
  GraphMatchResult run(const GraphMatchOptions& options = GraphMatchOptions());

  const HeavyAtomGraph& referenceGraph() const { return reference_; }
  const HeavyAtomGraph& comparisonGraph() const { return comparison_; }

 private:
  HeavyAtomGraph reference_;
  HeavyAtomGraph comparison_;
  std::optional<SymmetryClasses> classes_;  // empty until a run needs them
  uint64_t classesLimit_ = 0;               // the work limit they were refined under
  SymmetryClasses::Outcome classesOutcome_ = SymmetryClasses::Outcome::kSettled;
  std::string classesDifference_;
  uint64_t classesWork_ = 0;
};

// GraphMatch(reference, comparison).run(options).
GraphMatchResult matchGraphs(const Molecule& reference, const Molecule& comparison,
                             const GraphMatchOptions& options = GraphMatchOptions());

}  // namespace VXMole
