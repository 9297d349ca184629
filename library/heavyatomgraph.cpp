// HeavyAtomGraph: the heavy-atom bond graph of a molecule, the first difference of two graphs'
// counts, and colour refinement into symmetry classes.
#include "heavyatomgraph.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <unordered_map>
#include <utility>

#include "atome.h"
#include "molecule.h"
#include "tables.h"

namespace VXMole {

namespace {

// "name (map number)", then " of RES (chain-number)" for an atom of a residue read from the
// file (not the molecule's default one).
std::string identify(const Atom& atom) {
  const Molecule* parent = atom.getParent();
  if (atom.getResidu() == nullptr ||
      (parent != nullptr && atom.getResidu() == parent->getDefaultResidu()))
    return atom.getName() + " (" + std::to_string(atom.getMapNum()) + ")";
  return atom.getIdentifier();
}

std::string symbolOf(unsigned z) {
  if (z < 1 || z > ATOM_DATA_SIZE) return "?";
  return AtomData[z - 1].symbol;
}

}  // namespace

// ---- HeavyAtomGraph ------------------------------------------------------------------------

HeavyAtomGraph::HeavyAtomGraph(const Molecule& molecule, const std::vector<bool>& selected) {
  std::unordered_map<const Atom*, unsigned> index;
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    const Atom& atom = molecule.atom(i);
    if (atom.isHydrogen() || atom.excluded) continue;
    if (!selected.empty() && (i >= selected.size() || !selected[i])) continue;
    index.emplace(&atom, static_cast<unsigned>(atoms_.size()));
    atoms_.push_back(&atom);
  }
  std::vector<std::pair<unsigned, unsigned>> ends;
  for (size_t b = 0; b < molecule.numBonds(); ++b) {
    const Bond& bond = molecule.bond(b);
    const auto first = index.find(bond.getFirst()), second = index.find(bond.getSecond());
    if (first == index.end() || second == index.end() || first->second == second->second) continue;
    ends.emplace_back(first->second, second->second);
    ends.emplace_back(second->second, first->second);
  }
  // A bond given twice is one bond.
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  offsets_.assign(atoms_.size() + 1, 0);
  for (const auto& end : ends) ++offsets_[end.first + 1];
  for (size_t v = 0; v < atoms_.size(); ++v) offsets_[v + 1] += offsets_[v];
  neighbours_.reserve(ends.size());
  for (const auto& end : ends) neighbours_.push_back(end.second);
}

unsigned HeavyAtomGraph::element(unsigned v) const {
  return atoms_[v]->getAtomicNum();
}

const Coords& HeavyAtomGraph::position(unsigned v) const {
  return atoms_[v]->getFixedCoords();
}

bool HeavyAtomGraph::bonded(unsigned v, unsigned w) const {
  return std::binary_search(neighbours(v), neighbours(v) + degree(v), w);
}

std::string countDifference(const HeavyAtomGraph& reference, const HeavyAtomGraph& comparison) {
  std::map<unsigned, long> excess;  // by atomic number: reference count - comparison count
  for (unsigned v = 0; v < reference.size(); ++v) ++excess[reference.element(v)];
  for (unsigned v = 0; v < comparison.size(); ++v) --excess[comparison.element(v)];
  for (const auto& [z, more] : excess) {
    if (more == 0) continue;
    long inReference = 0;
    for (unsigned v = 0; v < reference.size(); ++v) inReference += reference.element(v) == z;
    std::ostringstream text;
    text << symbolOf(z) << " atoms: " << inReference << " in the reference, " << inReference - more
         << " in the comparison";
    return text.str();
  }
  if (reference.numBonds() != comparison.numBonds()) {
    std::ostringstream text;
    text << "bonds between heavy atoms: " << reference.numBonds() << " in the reference, "
         << comparison.numBonds() << " in the comparison";
    return text.str();
  }
  return std::string();
}

// ---- SymmetryClasses -------------------------------------------------------------------------

unsigned SymmetryClasses::number(const std::vector<std::vector<unsigned>> (&descriptions)[2]) {
  std::map<std::vector<unsigned>, unsigned> numbers;
  for (const auto& side : descriptions)
    for (const auto& description : side) numbers.emplace(description, 0);
  unsigned next = 0;
  for (auto& entry : numbers) entry.second = next++;
  for (int side = 0; side < 2; ++side) {
    colours_[side].resize(descriptions[side].size());
    for (size_t v = 0; v < descriptions[side].size(); ++v)
      colours_[side][v] = numbers[descriptions[side][v]];
  }
  count_ = next;
  return next;
}

unsigned SymmetryClasses::unbalanced(std::vector<long>& excess) const {
  excess.assign(count_, 0);
  for (unsigned c : colours_[0]) ++excess[c];
  for (unsigned c : colours_[1]) --excess[c];
  for (unsigned v = 0; v < colours_[0].size(); ++v)
    if (excess[colours_[0][v]] > 0) return v;
  return kNoAtom;
}

SymmetryClasses::Outcome SymmetryClasses::refine(uint64_t workLimit, uint64_t& work,
                                                 std::string& difference) {
  const HeavyAtomGraph* graphs[2] = {&reference_, &comparison_};
  std::vector<std::vector<unsigned>> descriptions[2];
  for (int side = 0; side < 2; ++side) {
    const HeavyAtomGraph& g = *graphs[side];
    descriptions[side].resize(g.size());
    for (unsigned v = 0; v < g.size(); ++v) descriptions[side][v] = {g.element(v), g.degree(v)};
  }
  unsigned colours = number(descriptions);
  std::vector<long> excess;
  unsigned v = unbalanced(excess);
  if (v != kNoAtom) {
    const long count =
        static_cast<long>(std::count(colours_[0].begin(), colours_[0].end(), colours_[0][v]));
    std::ostringstream text;
    text << symbolOf(reference_.element(v)) << " atoms with " << reference_.degree(v)
         << " bonded heavy atoms: " << count << " in the reference, "
         << count - excess[colours_[0][v]] << " in the comparison";
    difference = text.str();
    return Outcome::kUnbalanced;
  }
  for (unsigned round = 1;; ++round) {
    for (int side = 0; side < 2; ++side) {
      const HeavyAtomGraph& g = *graphs[side];
      for (unsigned w = 0; w < g.size(); ++w) {
        std::vector<unsigned>& d = descriptions[side][w];
        d.assign(1, colours_[side][w]);
        for (unsigned k = 0; k < g.degree(w); ++k) d.push_back(colours_[side][g.neighbours(w)[k]]);
        std::sort(d.begin() + 1, d.end());
        work += kWorkPerEntry * (1 + g.degree(w));
      }
    }
    const unsigned before = colours;
    colours = number(descriptions);
    v = unbalanced(excess);
    if (v != kNoAtom) {
      const long count =
          static_cast<long>(std::count(colours_[0].begin(), colours_[0].end(), colours_[0][v]));
      std::ostringstream text;
      text << "atoms with the bonded surroundings of reference atom "
           << identify(reference_.atom(v)) << ", up to " << round
           << (round == 1 ? " bond" : " bonds") << " away: " << count << " in the reference, "
           << count - excess[colours_[0][v]] << " in the comparison";
      difference = text.str();
      return Outcome::kUnbalanced;
    }
    if (colours == before) return Outcome::kSettled;
    if (work > workLimit) return Outcome::kCut;
  }
}

}  // namespace VXMole
