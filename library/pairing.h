// Pairing: the atom pairs two molecules form by name, map number, element, residue, sequence or
// bond graph, the memory they need, and the consistent set of pairs kept for the fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "coords.h"
#include "maxclique.h"          // for MaxClique::kDefaultWorkLimit
#include "paircoords.h"         // for ProgressFn
#include "sequencealignment.h"  // for SequenceKind

namespace VXMole {

class Atom;
class Molecule;
class RigidBody;

// What makes a reference atom and a comparison atom a tentative pair. Only atoms that may pair
// take part: selected atoms that are not hydrogens nor the pseudo-atoms of ring perception
// (Atom::excluded). By name, map number and element every match is a pair, so one atom may
// take part in several; by residue, sequence and graph an atom takes part in one pair at most.
// Alternate sites (Atom::getAltLoc) pair by element, residue and sequence only with the same
// letter or with a blank, the same letter first.
enum class PairingMode {
  kByName,       // equal atom names, exactly and case-sensitively
  kByMapNumber,  // equal map numbers
  kByElement,    // equal atomic numbers; an atom of no known element pairs with none
  kByResidue,    // equal chain, residue number, insertion code, residue name and atom name
  kBySequence,   // atoms of equal name in residues that a sequence alignment pairs
  kByGraph,      // every atom, by the isomorphism of the bond graphs of lowest RMSD (GraphMatch);
                 // no consistent set is searched: every pair is kept
};

// The mode's name on the command line: "NAME", "ID", "ELEMENT", "RESIDUE", "SEQUENCE", "GRAPH".
const char* pairingModeName(PairingMode mode);
// The mode so named, exactly and case-sensitively; empty for any other text.
std::optional<PairingMode> pairingModeNamed(const std::string& name);

// Memory that pairing n pairs takes, in bytes: the pairs' coordinates (PairCoords), the search
// of the mode (by element the correspondence graph as a BitMatrix and MaxClique's renumbered
// copy of it, else GreedyClique), and what the result and the fit keep per pair.
double pairingBytesNeeded(size_t n, PairingMode mode);

// One tentative correspondence: an atom of the reference molecule and one of the comparison
// molecule. The molecules own both.
struct AtomPair {
  const Atom* reference;
  const Atom* comparison;
};

// Two chains whose sequences were aligned (pairing by sequence).
struct ChainMatch {
  std::string referenceChain;
  std::string comparisonChain;
  SequenceKind kind = SequenceKind::kProtein;
  bool byIdentifier = false;  // matched by their identifier, else by the best score
  size_t referenceResidues = 0;
  size_t comparisonResidues = 0;
  size_t aligned = 0;    // residue pairs the alignment made
  size_t identical = 0;  // of them, pairs of the same letter
  double score = 0;      // of the alignment (AlignmentScoring)
};

struct PairingOptions {
  PairingMode mode = PairingMode::kByName;
  // The atoms of each molecule that may pair, by atom position (Selection::atoms); empty:
  // every atom. By sequence, residues that are not polymer residues pair only when a
  // selection is given: the k-th selected residue of a name with the k-th of the same name.
  std::vector<bool> referenceAtoms;
  std::vector<bool> comparisonAtoms;
  // Memory the pairing may take, in bytes; empty: availableMemory().
  std::optional<double> memoryAvailable;
  // Called now and then during the search with the share of it done; may be empty.
  ProgressFn progress;
  // Bounds on the exact search by element: MaxClique's work limit, and the time the pairing
  // by element may take, in seconds, the correspondence graph's making included.
  uint64_t searchWorkLimit = MaxClique::kDefaultWorkLimit;
  double searchTimeLimit = kElementTimeLimit;
  static constexpr double kElementTimeLimit = 9.0;
  // By graph: whether the mapping of lowest RMSD in place is searched too, for inPlaceRmsd (the
  // pairs are always those of lowest fitted RMSD), and GraphMatch's work limit (0: its
  // default), for each search.
  bool graphInPlace = false;
  uint64_t graphWorkLimit = 0;
};

struct PairingResult {
  enum class Outcome {
    kKept,             // a consistent set of at least GreedyClique::kMinSize pairs is kept
    kRefused,          // nothing paired: the pairs would need more memory than is available,
                       // or there are more of them than unsigned pair positions can number
    kNoConsistentSet,  // the pairs hold no consistent set of GreedyClique::kMinSize pairs
    kOverTime,         // by element: the correspondence graph of the pairs could not be made
                       // within the time the pairing may take; nothing kept
    kNotMapped,        // by graph: the bond graphs could not be mapped onto each other (not
                       // isomorphic, no heavy atom, no bond, or the search bound reached before
                       // any mapping); `notMapped` says why; nothing paired
  };

  Outcome outcome = Outcome::kKept;
  PairingMode mode = PairingMode::kByName;
  size_t pairCount = 0;       // the pairs the mode forms, counted before any is formed
  double bytesNeeded = 0;     // pairingBytesNeeded(pairCount, mode)
  double bytesAvailable = 0;  // the memory the pairing may take; infinity when unknown; by
                              // graph, not asked (0)
  double graphSeconds = 0;    // kOverTime: the time the graph would have taken, projected

  // The pairs formed, empty when refused: reference atoms in molecule order, each with its
  // partners in molecule order. A pair's position in this list is its number everywhere else.
  std::vector<AtomPair> pairs;
  // The kept set, as positions in `pairs`, in the order of the search (by name and map number
  // the rank order of the greedy clique, by element ascending); the fit takes them in this
  // order. Empty unless the outcome is kKept.
  std::vector<unsigned> kept;
  std::vector<bool> isKept;  // by position in `pairs`; empty unless the outcome is kKept
  // False when the exact search (by element) reached its limits before proving its set the
  // largest: the set kept is the largest it found. Settled is false when it reached them
  // later, while choosing among sets of the largest size by RMSD: the set kept is the best
  // it scored. By graph, proved is false when the search reached its bound before proving its
  // mapping the one of lowest RMSD: the mapping kept is the best it found.
  bool proved = true;
  bool settled = true;
  // The RMSD of the kept pairs as they stand, without the fit, in ångström; by graph with
  // graphInPlace, that of the mapping of lowest RMSD in place, which may pair the atoms
  // otherwise than the kept pairs do. NaN unless the outcome is kKept.
  double inPlaceRmsd = std::numeric_limits<double>::quiet_NaN();
  // By graph, when not mapped: both heavy-atom counts and the first difference found
  // (GraphMatchResult::describe), one line naming no file.
  std::string notMapped;

  // The counts behind the doubt about pairing by name or map number: the names (numbers) that
  // occur twice among one molecule's atoms that may pair, counted once across both molecules
  // (sites of one atom with different alternate letters are one atom, not a repeat); the
  // pairs formed from atoms of such names; the reference atoms that found a partner.
  size_t repeatedKeys = 0;
  size_t pairsFromRepeats = 0;
  size_t referenceAtomsPaired = 0;
  // Whether the atoms that may pair include residues of a protein or a nucleic acid in either
  // molecule: the modes by residue and by sequence suit them.
  bool polymer = false;

  // By sequence: the chains aligned, in the reference's chain order.
  std::vector<ChainMatch> chains;

  // By name or map number, a pairing that cannot be trusted: pairs were formed from repeated
  // names (numbers), so that the greedy set may join the wrong atoms however many it keeps;
  // or the set kept holds fewer pairs than half the reference atoms that found a partner, so
  // that the names (numbers) do not mean the same atoms in both molecules.
  bool repeatsPaired() const { return pairsFromRepeats > 0; }
  bool fewKept() const { return kept.size() * 2 < referenceAtomsPaired; }
  bool doubtful() const {
    return outcome == Outcome::kKept &&
           (mode == PairingMode::kByName || mode == PairingMode::kByMapNumber) &&
           (repeatsPaired() || fewKept());
  }
};

// Pairs the atoms of the two molecules as the mode says and keeps a consistent set of pairs
// (PairCoords gives the rule): by element the largest clique (MaxClique), ties broken by the
// lowest RMSD of its fit; by graph every pair of the mapping (no clique); in every other mode
// the first clique of the greedy descent (GreedyClique). The memory is checked before any pair
// is formed (by residue and sequence, which form at most one pair per atom, before the pairs'
// coordinates are; by graph, whose memory grows with the atoms alone, it is not). Fewer than
// two pairs raise MoleExcept kErrNotEnoughPairs. Prints nothing.
PairingResult pairAtoms(const Molecule& reference, const Molecule& comparison,
                        const PairingOptions& options);

// Loads the fixed coordinates of the kept pairs, in the kept order, into the fit: the reference
// atoms as its rigid list, the comparison atoms as its mobile list.
void loadKeptPairs(const PairingResult& pairing, RigidBody& fit);

// The RMSD of point pairs as they stand, without any fit: reference[k] against comparison[k].
// NaN when the lists are empty or differ in length.
double rmsdInPlace(const std::vector<Coords>& reference, const std::vector<Coords>& comparison);

}  // namespace VXMole
