// Pairing: partners by key, the memory check, the pairs' coordinates, the search of each mode,
// the mapping by bond graph and the counts behind the doubt about pairing by name or number.
#include "pairing.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>  // for std::nullptr_t
#include <limits>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "atome.h"
#include "availablememory.h"
#include "bitmatrix.h"
#include "global.h"
#include "graphmatch.h"
#include "greedyclique.h"
#include "molecule.h"
#include "residu.h"
#include "residueclass.h"
#include "residuepairing.h"
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

// The atoms that may pair, by position: selected (every atom when `selected` is empty) and
// pairable.
std::vector<bool> mayPair(const Molecule& molecule, const std::vector<bool>& selected) {
  std::vector<bool> may(molecule.numAtoms());
  for (size_t i = 0; i < molecule.numAtoms(); ++i)
    may[i] =
        (selected.empty() || (i < selected.size() && selected[i])) && pairable(molecule.atom(i));
  return may;
}

bool anyAlternateSite(const Molecule& molecule) {
  for (size_t i = 0; i < molecule.numAtoms(); ++i)
    if (molecule.atom(i).getAltLoc() != '\0') return true;
  return false;
}

// Comparison atoms that may pair, grouped by the key of the pairing mode (name, map number or
// atomic number), each group in molecule order.
class PartnerIndex {
 public:
  PartnerIndex(const Molecule& comparison, const std::vector<bool>& may, PairingMode mode)
      : mode_(mode) {
    for (size_t i = 0; i < comparison.numAtoms(); ++i) {
      const Atom& atom = comparison.atom(i);
      if (!may[i]) continue;
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

// Pairs by key: every match, except, by element, sites of different alternate letters.
class KeyPairing {
 public:
  KeyPairing(const Molecule& reference, const std::vector<bool>& referenceMay,
             const Molecule& comparison, const std::vector<bool>& comparisonMay, PairingMode mode)
      : reference_(reference),
        referenceMay_(referenceMay),
        index_(comparison, comparisonMay, mode),
        sitesApart_(mode == PairingMode::kByElement &&
                    (anyAlternateSite(reference) || anyAlternateSite(comparison))) {}

  size_t count() const {
    size_t count = 0;
    forEachPair([&count](const Atom&, const Atom&) { ++count; },
                [&count](const std::vector<const Atom*>& partners) { count += partners.size(); });
    return count;
  }

  // Appends every pair to the result and its coordinates to `coords`.
  void form(PairingResult& result, PairCoords& coords) const {
    coords.reserve(result.pairCount);
    result.pairs.reserve(result.pairCount);
    auto add = [&](const Atom& atom, const Atom& partner) {
      result.pairs.push_back(AtomPair{&atom, &partner});
      coords.add(atom.getFixedCoords(), partner.getFixedCoords());
    };
    forEachPair(add, nullptr);
  }

 private:
  // Calls `pair` for each pair; with `whole`, a group of partners that all pair goes to it
  // instead, at once.
  template <typename PairFn, typename WholeFn>
  void forEachPair(PairFn pair, WholeFn whole) const {
    for (size_t i = 0; i < reference_.numAtoms(); ++i) {
      if (!referenceMay_[i]) continue;
      const Atom& atom = reference_.atom(i);
      const std::vector<const Atom*>* partners = index_.partners(atom);
      if (partners == nullptr) continue;
      if constexpr (!std::is_same_v<WholeFn, std::nullptr_t>) {
        if (!sitesApart_) {
          whole(*partners);
          continue;
        }
      }
      for (const Atom* partner : *partners)
        if (!sitesApart_ || atom.sameConformation(*partner)) pair(atom, *partner);
    }
  }

  const Molecule& reference_;
  const std::vector<bool>& referenceMay_;
  PartnerIndex index_;
  bool sitesApart_;  // by element, with alternate sites in either molecule
};

size_t distinctReferenceAtoms(const std::vector<AtomPair>& pairs) {
  size_t count = 0;
  for (size_t k = 0; k < pairs.size(); ++k)
    count += k == 0 || pairs[k].reference != pairs[k - 1].reference;
  return count;
}

// The pairing key of an atom by name or map number.
std::string keyOf(const Atom& atom, PairingMode mode) {
  return mode == PairingMode::kByName ? atom.getName() : std::to_string(atom.getMapNum());
}

// Adds to `repeated` the keys that two atoms of the molecule that may pair share, unless they
// are sites of different alternate letters.
void findRepeatedKeys(const Molecule& molecule, const std::vector<bool>& may, PairingMode mode,
                      std::unordered_set<std::string>& repeated) {
  struct Seen {
    bool blank = false;
    std::string letters;
  };
  std::unordered_map<std::string, Seen> seen;
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    if (!may[i]) continue;
    const Atom& atom = molecule.atom(i);
    const std::string key = keyOf(atom, mode);
    auto [at, added] = seen.try_emplace(key);
    Seen& s = at->second;
    const char letter = atom.getAltLoc();
    const bool repeats =
        !added && (letter == '\0' ? true : s.blank || s.letters.find(letter) != std::string::npos);
    if (repeats) repeated.insert(key);
    if (letter == '\0') {
      s.blank = true;
    } else {
      s.letters.push_back(letter);
    }
  }
}

// Whether a molecule's atoms that may pair include a residue of a protein or nucleic acid.
bool holdsPolymer(const Molecule& molecule, const std::vector<bool>& may) {
  const ResidueClasses classes(molecule);
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    if (!may[i]) continue;
    const ResidueClass found = classes.of(molecule.atom(i).getResidu());
    if (found == ResidueClass::kProtein || found == ResidueClass::kNucleic) return true;
  }
  return false;
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

// By element: the largest consistent set, found exactly within the work and time limits. The
// graph is made first (half the progress); when making it would take more than kGraphShare of
// the time (projected once kProbeSeconds have passed), it is given up: the outcome says so and
// no set is kept. The search has the time left.
std::vector<unsigned> largestSet(const PairCoords& coords, const PairingOptions& options,
                                 PairingResult& result) {
  using Clock = std::chrono::steady_clock;
  constexpr double kGraphShare = 0.4;
  constexpr double kProbeSeconds = 0.2;
  const Clock::time_point start = Clock::now();
  const auto seconds = [start] {
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  const double graphBound = kGraphShare * options.searchTimeLimit;
  double done = 0;  // the share of the graph's rows made
  const ProgressFn graphProgress = partOf(options.progress, 0.0, 0.5);
  const ProgressFn track = [&done, &graphProgress](double share) {
    done = share;
    if (graphProgress) graphProgress(share);
  };
  const StopFn overTime = [&] {
    const double spent = seconds();
    return spent > graphBound || (spent > kProbeSeconds && done > 0 && spent > done * graphBound);
  };
  size_t rows = coords.size();
  const BitMatrix graph = coords.agreementMatrix(track, overTime, &rows);
  if (rows < coords.size()) {
    result.outcome = PairingResult::Outcome::kOverTime;
    result.graphSeconds = done > 0 ? seconds() / done : seconds() * coords.size() / rows;
    return {};
  }
  MaxClique search(graph, options.searchWorkLimit,
                   std::max(0.0, options.searchTimeLimit - seconds()));
  // Of the largest sets, the one that fits best. Distances alone cannot tell a set from its
  // mirror image (two sulfonyl oxygens swapped about the plane of the rest); the fit can.
  search.breakTiesBy(
      [&coords](const std::vector<unsigned>& set) { return fittedRmsd(coords, set); });
  std::vector<unsigned> set = search.run(partOf(options.progress, 0.5, 0.5));
  result.proved = search.proved();
  result.settled = search.completed();
  return set;
}

// The RMSD in place of the kept pairs.
double keptRmsdInPlace(const PairingResult& pairing) {
  std::vector<Coords> reference, comparison;
  reference.reserve(pairing.kept.size());
  comparison.reserve(pairing.kept.size());
  for (unsigned position : pairing.kept) {
    reference.push_back(pairing.pairs[position].reference->getFixedCoords());
    comparison.push_back(pairing.pairs[position].comparison->getFixedCoords());
  }
  return rmsdInPlace(reference, comparison);
}

// By graph: every heavy atom mapped by GraphMatch, every pair kept in reference order.
PairingResult pairByGraph(const Molecule& reference, const Molecule& comparison,
                          const PairingOptions& options) {
  PairingResult result;
  result.mode = options.mode;
  GraphMatchOptions request;
  request.choose = GraphRmsd::kFitted;
  request.workLimit = options.graphWorkLimit;
  GraphMatch graphs(reference, comparison, options.referenceAtoms, options.comparisonAtoms);
  const GraphMatchResult match = graphs.run(request);
  if (match.outcome != GraphMatchResult::Outcome::kMapped) {
    result.outcome = PairingResult::Outcome::kNotMapped;
    result.notMapped = match.describe();
    return result;
  }
  result.pairCount = match.reference.size();
  result.bytesNeeded = pairingBytesNeeded(result.pairCount, options.mode);
  result.pairs.reserve(result.pairCount);
  for (size_t k = 0; k < match.reference.size(); ++k)
    result.pairs.push_back(AtomPair{match.reference[k], match.comparison[k]});
  result.referenceAtomsPaired = result.pairs.size();
  if (result.pairs.size() < 2) throw raise(kErrNotEnoughPairs);
  result.kept.resize(result.pairs.size());
  for (unsigned k = 0; k < result.kept.size(); ++k) result.kept[k] = k;
  result.isKept.assign(result.pairs.size(), true);
  result.proved = match.proved;
  result.inPlaceRmsd = match.inPlaceRmsd;
  if (options.graphInPlace) {
    request.choose = GraphRmsd::kInPlace;
    const GraphMatchResult inPlace = graphs.run(request);
    // The graphs map, so the search in place finds a mapping unless its bound stops it first.
    if (inPlace.outcome != GraphMatchResult::Outcome::kMapped) {
      result.outcome = PairingResult::Outcome::kNotMapped;
      result.notMapped = inPlace.describe();
      return result;
    }
    result.inPlaceRmsd = inPlace.inPlaceRmsd;
    result.proved = result.proved && inPlace.proved;
  }
  return result;
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
    case PairingMode::kByResidue:
      return "RESIDUE";
    case PairingMode::kBySequence:
      return "SEQUENCE";
    case PairingMode::kByGraph:
      return "GRAPH";
  }
  return "";
}

std::optional<PairingMode> pairingModeNamed(const std::string& name) {
  for (PairingMode mode :
       {PairingMode::kByName, PairingMode::kByMapNumber, PairingMode::kByElement,
        PairingMode::kByResidue, PairingMode::kBySequence, PairingMode::kByGraph}) {
    if (name == pairingModeName(mode)) return mode;
  }
  return std::nullopt;
}

double pairingBytesNeeded(size_t n, PairingMode mode) {
  // By graph the pairs are the mapping: no pair coordinates, no correspondence graph.
  if (mode == PairingMode::kByGraph) return static_cast<double>(n) * kResultBytesPerPair;
  const double search = mode == PairingMode::kByElement
                            ? BitMatrix::bytesNeeded(n) + MaxClique::bytesNeeded(n)
                            : GreedyClique::bytesNeeded(n);
  return static_cast<double>(n) * kResultBytesPerPair + PairCoords::bytesNeeded(n) + search;
}

PairingResult pairAtoms(const Molecule& reference, const Molecule& comparison,
                        const PairingOptions& options) {
  if (options.mode == PairingMode::kByGraph) return pairByGraph(reference, comparison, options);
  PairingResult result;
  result.mode = options.mode;
  result.bytesAvailable = options.memoryAvailable ? *options.memoryAvailable : availableMemory();
  const std::vector<bool> referenceMay = mayPair(reference, options.referenceAtoms);
  const std::vector<bool> comparisonMay = mayPair(comparison, options.comparisonAtoms);
  const bool byResidues =
      options.mode == PairingMode::kByResidue || options.mode == PairingMode::kBySequence;

  PairCoords coords;
  if (byResidues) {
    // At most one pair per atom: the pairs take little memory before their coordinates do.
    std::vector<AtomPair> pairs =
        options.mode == PairingMode::kByResidue
            ? pairByResidue(reference, referenceMay, comparison, comparisonMay)
            : pairBySequence(reference, referenceMay, comparison, comparisonMay,
                             !options.referenceAtoms.empty() || !options.comparisonAtoms.empty(),
                             result.chains);
    result.pairCount = pairs.size();
    result.bytesNeeded = pairingBytesNeeded(result.pairCount, options.mode);
    if (result.bytesNeeded > result.bytesAvailable) {
      result.outcome = PairingResult::Outcome::kRefused;
      return result;
    }
    result.pairs = std::move(pairs);
    coords.reserve(result.pairs.size());
    for (const AtomPair& pair : result.pairs)
      coords.add(pair.reference->getFixedCoords(), pair.comparison->getFixedCoords());
  } else {
    const KeyPairing keyPairing(reference, referenceMay, comparison, comparisonMay, options.mode);
    result.pairCount = keyPairing.count();
    result.bytesNeeded = pairingBytesNeeded(result.pairCount, options.mode);
    if (result.pairCount > kMaxPairs || result.bytesNeeded > result.bytesAvailable) {
      result.outcome = PairingResult::Outcome::kRefused;
      return result;
    }
    keyPairing.form(result, coords);
  }
  result.referenceAtomsPaired = distinctReferenceAtoms(result.pairs);
  if (result.pairs.size() < 2) throw raise(kErrNotEnoughPairs);

  const bool byKey =
      options.mode == PairingMode::kByName || options.mode == PairingMode::kByMapNumber;
  if (byKey) {
    std::unordered_set<std::string> repeated;
    findRepeatedKeys(reference, referenceMay, options.mode, repeated);
    findRepeatedKeys(comparison, comparisonMay, options.mode, repeated);
    result.repeatedKeys = repeated.size();
    if (!repeated.empty())
      for (const AtomPair& pair : result.pairs)
        result.pairsFromRepeats += repeated.count(keyOf(*pair.reference, options.mode));
  }

  std::vector<unsigned> set;
  if (options.mode == PairingMode::kByElement) {
    set = largestSet(coords, options, result);
    if (result.outcome == PairingResult::Outcome::kOverTime) return result;
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
  result.inPlaceRmsd = keptRmsdInPlace(result);
  if (result.doubtful())
    result.polymer =
        holdsPolymer(reference, referenceMay) || holdsPolymer(comparison, comparisonMay);
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

double rmsdInPlace(const std::vector<Coords>& reference, const std::vector<Coords>& comparison) {
  if (reference.empty() || reference.size() != comparison.size())
    return std::numeric_limits<double>::quiet_NaN();
  double sum = 0;
  for (size_t k = 0; k < reference.size(); ++k) {
    const double dx = reference[k].x - comparison[k].x;
    const double dy = reference[k].y - comparison[k].y;
    const double dz = reference[k].z - comparison[k].z;
    sum += dx * dx + dy * dy + dz * dz;
  }
  return std::sqrt(sum / static_cast<double>(reference.size()));
}

}  // namespace VXMole
