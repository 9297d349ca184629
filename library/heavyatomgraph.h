// HeavyAtomGraph: the bond graph of a molecule's heavy atoms, and the symmetry classes that
// colour refinement finds over two such graphs at once.
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
  // `selected`: the atoms the graph is built on, by atom position; empty: every atom. Bonds
  // to atoms left out are left out.
  explicit HeavyAtomGraph(const Molecule& molecule, const std::vector<bool>& selected = {});

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

// The first difference of two graphs' element counts, else of their bond counts, as one line
// naming no file ("C atoms: 5 in the reference, 4 in the comparison"); empty when both agree.
std::string countDifference(const HeavyAtomGraph& reference, const HeavyAtomGraph& comparison);

// Symmetry classes of the atoms of two graphs, by colour refinement over both at once, so
// that equal colours mean the same surroundings in either: first element and degree, then,
// round after round, the colour with the sorted colours of the neighbours, until no class
// splits. Colours are numbered in the order of their descriptions, the same for the same pair
// of graphs. Any isomorphism of the graphs maps each class onto the same class, after every
// round: classes cut short by the work bound are coarser, never wrong.
class SymmetryClasses {
 public:
  enum class Outcome {
    kSettled,     // no class splits any more
    kUnbalanced,  // a class holds different numbers of reference and comparison atoms: the
                  // graphs are not isomorphic; `difference` says where
    kCut,         // the work bound was reached first: the classes of the last round stand
  };

  // Work of one round, in the work units of GraphMatch: per atom and per bond end.
  static constexpr uint64_t kWorkPerEntry = 2;

  SymmetryClasses(const HeavyAtomGraph& reference, const HeavyAtomGraph& comparison)
      : reference_(reference), comparison_(comparison) {}

  // Refines round after round, adding the work done to `work`, until the classes settle, a
  // class is found unbalanced (`difference` then holds one line naming no file), or `work`
  // passes `workLimit` after a round.
  Outcome refine(uint64_t workLimit, uint64_t& work, std::string& difference);

  // Colour of each atom, by vertex; colours run from 0 to colours() - 1.
  const std::vector<unsigned>& referenceColours() const { return colours_[0]; }
  const std::vector<unsigned>& comparisonColours() const { return colours_[1]; }
  unsigned colours() const { return count_; }

 private:
  // Numbers the descriptions of both graphs' atoms; returns the count of colours.
  unsigned number(const std::vector<std::vector<unsigned>> (&descriptions)[2]);
  // The first reference atom, in molecule order, whose class has more reference atoms than
  // comparison atoms; kNoAtom when every class is balanced.
  unsigned unbalanced(std::vector<long>& excess) const;
  static constexpr unsigned kNoAtom = ~0u;

  const HeavyAtomGraph& reference_;
  const HeavyAtomGraph& comparison_;
  std::vector<unsigned> colours_[2];
  unsigned count_ = 0;
};

}  // namespace VXMole
