// Pairing: the atom pairs two molecules form by name, map number or element, the memory they
// need, and the consistent set of pairs kept for the fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "maxclique.h"   // for MaxClique::kDefaultWorkLimit
#include "paircoords.h"  // for ProgressFn

namespace VXMole {

class Atom;
class Molecule;
class RigidBody;

// What makes a reference atom and a comparison atom a tentative pair. Only atoms that may pair
// take part: hydrogens and the pseudo-atoms of ring perception (Atom::excluded) never do. Every
// match is a pair, so one atom may take part in several.
enum class PairingMode {
  kByName,       // equal atom names, exactly and case-sensitively
  kByMapNumber,  // equal map numbers
  kByElement,    // equal atomic numbers; an atom of no known element pairs with none
};

// The mode's name on the command line: "NAME", "ID", "ELEMENT".
const char* pairingModeName(PairingMode mode);
// The mode so named, exactly and case-sensitively; empty for any other text.
std::optional<PairingMode> pairingModeNamed(const std::string& name);

// Memory that pairing n pairs takes, in bytes: the pairs' coordinates (PairCoords), the search
// of the mode (by name and map number GreedyClique; by element the correspondence graph as a
// BitMatrix and MaxClique's renumbered copy of it), and what the result and the fit keep per
// pair.
double pairingBytesNeeded(size_t n, PairingMode mode);

// One tentative correspondence: an atom of the reference molecule and one of the comparison
// molecule. The molecules own both.
struct AtomPair {
  const Atom* reference;
  const Atom* comparison;
};

struct PairingOptions {
  PairingMode mode = PairingMode::kByName;
  // Memory the pairing may take, in bytes; empty: availableMemory().
  std::optional<double> memoryAvailable;
  // Called now and then during the search with the share of it done; may be empty.
  ProgressFn progress;
  // Bound on the exact search by element (MaxClique's work limit).
  uint64_t searchWorkLimit = MaxClique::kDefaultWorkLimit;
};

struct PairingResult {
  enum class Outcome {
    kKept,             // a consistent set of at least GreedyClique::kMinSize pairs is kept
    kRefused,          // nothing paired: the pairs would need more memory than is available,
                       // or there are more of them than unsigned pair positions can number
    kNoConsistentSet,  // the pairs hold no consistent set of GreedyClique::kMinSize pairs
  };

  Outcome outcome = Outcome::kKept;
  PairingMode mode = PairingMode::kByName;
  size_t pairCount = 0;       // the pairs the mode forms, counted before any is formed
  double bytesNeeded = 0;     // pairingBytesNeeded(pairCount, mode)
  double bytesAvailable = 0;  // the memory the pairing may take; infinity when unknown

  // The pairs formed, empty when refused: reference atoms in molecule order, each with its
  // partners in molecule order. A pair's position in this list is its number everywhere else.
  std::vector<AtomPair> pairs;
  // The kept set, as positions in `pairs`, in the order of the search (by name and map number
  // the rank order of the greedy clique, by element ascending); the fit takes them in this
  // order. Empty unless the outcome is kKept.
  std::vector<unsigned> kept;
  std::vector<bool> isKept;  // by position in `pairs`; empty unless the outcome is kKept
  // False when the exact search (by element) reached its work limit before proving its set the
  // largest: the set kept is the largest it found.
  bool proved = true;

  // The counts behind the ambiguity of the greedy search: whether any atom took part in more
  // than one pair, and how many reference atoms found a partner.
  bool atomsShared = false;
  size_t referenceAtomsPaired = 0;

  // By name or map number the kept set is the greedy clique, whichever atoms it takes: it may
  // have missed a larger set when atoms took part in more than one pair and fewer pairs were
  // kept than reference atoms found a partner. By element the search is exact, never
  // ambiguous.
  bool ambiguous() const {
    return outcome == Outcome::kKept && mode != PairingMode::kByElement && atomsShared &&
           kept.size() < referenceAtomsPaired;
  }
};

// Pairs the atoms of the two molecules as the mode says and keeps a consistent set of pairs
// (PairCoords gives the rule): by name and map number the first clique of the greedy descent
// (GreedyClique), by element the largest clique (MaxClique), ties broken by the lowest RMSD of
// its fit. The memory is checked before any pair is formed. Fewer than two pairs raise
// MoleExcept kErrNotEnoughPairs. Prints nothing.
PairingResult pairAtoms(const Molecule& reference, const Molecule& comparison,
                        const PairingOptions& options);

// Loads the fixed coordinates of the kept pairs, in the kept order, into the fit: the reference
// atoms as its rigid list, the comparison atoms as its mobile list.
void loadKeptPairs(const PairingResult& pairing, RigidBody& fit);

}  // namespace VXMole
