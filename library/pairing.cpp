// Pairing: partners by key, the memory check, the pairs' coordinates and the search of each mode.
#include "pairing.h"

#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "atome.h"
#include "availablememory.h"
#include "bitmatrix.h"
#include "global.h"
#include "greedyclique.h"
#include "molecule.h"
#include "rigidbody.h"

namespace VXMole {

namespace {

// What the result and the fit keep per pair besides the search: its two atoms and kept flag,
// and, kept, its coordinates in the fit's two point lists and in the fit's centred copies.
constexpr double kResultBytesPerPair = 2 * sizeof(Atom*) + 1 + 4 * sizeof(Coords);
// Pair positions are unsigned.
constexpr size_t kMaxPairs = std::numeric_limits<unsigned>::max();
// The atomic number of an atom of no known element.
constexpr unsigned kNoElement = 0;

bool pairable(const Atom& atom) {
  return !atom.isHydrogen() && !atom.excluded;
}

// Comparison atoms that can be paired, grouped by the key of the pairing mode (name, map number
// or atomic number), each group in molecule order.
class PartnerIndex {
 public:
  PartnerIndex(const Molecule& comparison, PairingMode mode) : mode_(mode) {
    for (size_t i = 0; i < comparison.numAtoms(); ++i) {
      const Atom& atom = comparison.atom(i);
      if (!pairable(atom)) continue;
      if (mode_ == PairingMode::kByName) {
        byName_[atom.getName()].push_back(&atom);
      } else if (mode_ == PairingMode::kByMapNumber) {
        byNumber_[atom.getMapNum()].push_back(&atom);
      } else if (atom.getAtomicNum() != kNoElement) {
        byNumber_[atom.getAtomicNum()].push_back(&atom);
      }
    }
  }

  // The comparison atoms that match a reference atom; null when none does.
  const std::vector<const Atom*>* partners(const Atom& atom) const {
    if (mode_ == PairingMode::kByName) {
      auto it = byName_.find(atom.getName());
      return it == byName_.end() ? nullptr : &it->second;
    }
    const unsigned key =
        mode_ == PairingMode::kByMapNumber ? atom.getMapNum() : atom.getAtomicNum();
    if (mode_ == PairingMode::kByElement && key == kNoElement) return nullptr;
    auto it = byNumber_.find(key);
    return it == byNumber_.end() ? nullptr : &it->second;
  }

 private:
  PairingMode mode_;
  std::unordered_map<std::string, std::vector<const Atom*>> byName_;
  std::unordered_map<unsigned, std::vector<const Atom*>> byNumber_;  // map or atomic number
};

size_t countPairs(const Molecule& reference, const PartnerIndex& index) {
  size_t count = 0;
  for (size_t i = 0; i < reference.numAtoms(); ++i) {
    const Atom& atom = reference.atom(i);
    if (!pairable(atom)) continue;
    if (const std::vector<const Atom*>* partners = index.partners(atom)) count += partners->size();
  }
  return count;
}

// Appends every pair to the result and its coordinates to `coords`, and notes the counts
// behind the ambiguity of the greedy search.
void formPairs(const Molecule& reference, const PartnerIndex& index, PairingResult& result,
               PairCoords& coords) {
  coords.reserve(result.pairCount);
  result.pairs.reserve(result.pairCount);
  std::unordered_set<const Atom*> comparisonsUsed;
  for (size_t i = 0; i < reference.numAtoms(); ++i) {
    const Atom& atom = reference.atom(i);
    if (!pairable(atom)) continue;
    const std::vector<const Atom*>* partners = index.partners(atom);
    if (partners == nullptr || partners->empty()) continue;
    ++result.referenceAtomsPaired;
    if (partners->size() > 1) result.atomsShared = true;
    for (const Atom* partner : *partners) {
      result.pairs.push_back(AtomPair{&atom, partner});
      coords.add(atom.getFixedCoords(), partner->getFixedCoords());
      if (!comparisonsUsed.insert(partner).second) result.atomsShared = true;
    }
  }
}

// RMSD of the least-squares fit of a set of pairs.
double fittedRmsd(const PairCoords& coords, const std::vector<unsigned>& set) {
  std::vector<Coords> rigid, mobile;
  rigid.reserve(set.size());
  mobile.reserve(set.size());
  for (unsigned k : set) {
    rigid.push_back(coords.reference(k));
    mobile.push_back(coords.comparison(k));
  }
  RigidBody fit;
  fit.Load_Coords_To_Rigid(rigid);
  fit.Load_Coords_To_Mobile(mobile);
  return fit.Calc_Rotation(-1.0);
}

// `progress` over [from, from + share) of the whole; empty when `progress` is.
ProgressFn partOf(const ProgressFn& progress, double from, double share) {
  if (!progress) return nullptr;
  return [&progress, from, share](double done) { progress(from + share * done); };
}

// By element: the largest consistent set, found exactly within the work limit. The graph is
// built first (half the progress), then searched.
std::vector<unsigned> largestSet(const PairCoords& coords, const PairingOptions& options,
                                 bool& proved) {
  const BitMatrix graph = coords.agreementMatrix(partOf(options.progress, 0.0, 0.5));
  MaxClique search(graph, options.searchWorkLimit);
  // Of the largest sets, the one that fits best. Distances alone cannot tell a set from its
  // mirror image (two sulfonyl oxygens swapped about the plane of the rest); the fit can.
  search.breakTiesBy(
      [&coords](const std::vector<unsigned>& set) { return fittedRmsd(coords, set); });
  std::vector<unsigned> set = search.run(partOf(options.progress, 0.5, 0.5));
  proved = search.proved();
  return set;
}

}  // namespace

const char* pairingModeName(PairingMode mode) {
  switch (mode) {
    case PairingMode::kByName:
      return "NAME";
    case PairingMode::kByMapNumber:
      return "ID";
    case PairingMode::kByElement:
      return "ELEMENT";
  }
  return "";
}

std::optional<PairingMode> pairingModeNamed(const std::string& name) {
  for (PairingMode mode :
       {PairingMode::kByName, PairingMode::kByMapNumber, PairingMode::kByElement}) {
    if (name == pairingModeName(mode)) return mode;
  }
  return std::nullopt;
}

double pairingBytesNeeded(size_t n, PairingMode mode) {
  const double search = mode == PairingMode::kByElement
                            ? BitMatrix::bytesNeeded(n) + MaxClique::bytesNeeded(n)
                            : GreedyClique::bytesNeeded(n);
  return static_cast<double>(n) * kResultBytesPerPair + PairCoords::bytesNeeded(n) + search;
}

PairingResult pairAtoms(const Molecule& reference, const Molecule& comparison,
                        const PairingOptions& options) {
  PairingResult result;
  result.mode = options.mode;
  const PartnerIndex index(comparison, options.mode);
  result.pairCount = countPairs(reference, index);
  result.bytesNeeded = pairingBytesNeeded(result.pairCount, options.mode);
  result.bytesAvailable = options.memoryAvailable ? *options.memoryAvailable : availableMemory();
  if (result.pairCount > kMaxPairs || result.bytesNeeded > result.bytesAvailable) {
    result.outcome = PairingResult::Outcome::kRefused;
    return result;
  }

  PairCoords coords;
  formPairs(reference, index, result, coords);
  if (result.pairs.size() < 2) throw raise(kErrNotEnoughPairs);

  std::vector<unsigned> set;
  if (options.mode == PairingMode::kByElement) {
    set = largestSet(coords, options, result.proved);
  } else {
    set = GreedyClique(coords).run(options.progress);
  }
  if (set.size() < GreedyClique::kMinSize) {
    result.outcome = PairingResult::Outcome::kNoConsistentSet;
    return result;
  }
  result.isKept.assign(result.pairs.size(), false);
  for (unsigned position : set) result.isKept[position] = true;
  result.kept = std::move(set);
  return result;
}

void loadKeptPairs(const PairingResult& pairing, RigidBody& fit) {
  std::vector<Coords> rigid;
  std::vector<Coords> mobile;
  rigid.reserve(pairing.kept.size());
  mobile.reserve(pairing.kept.size());
  for (unsigned position : pairing.kept) {
    rigid.push_back(pairing.pairs[position].reference->getFixedCoords());
    mobile.push_back(pairing.pairs[position].comparison->getFixedCoords());
  }
  fit.Load_Coords_To_Rigid(rigid);
  fit.Load_Coords_To_Mobile(mobile);
}

}  // namespace VXMole
