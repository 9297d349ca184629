// Residue pairing: residue keys, chains and their sequences, chain matching, and the choice of
// one partner per atom.
#include "residuepairing.h"

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "atome.h"
#include "molecule.h"
#include "residu.h"
#include "residueclass.h"

namespace VXMole {

namespace {

constexpr long long kNone = -1;

std::unordered_map<const Atom*, size_t> atomPositions(const Molecule& molecule) {
  std::unordered_map<const Atom*, size_t> positions;
  positions.reserve(molecule.numAtoms());
  for (size_t i = 0; i < molecule.numAtoms(); ++i) positions.emplace(&molecule.atom(i), i);
  return positions;
}

// The partner of `atom` among the comparison atoms at `candidates` not yet used: the first of
// the same alternate letter, else the first that can stand in one conformation with it.
long long choosePartner(const Atom& atom, const std::vector<size_t>& candidates,
                        const Molecule& comparison, const std::vector<bool>& used) {
  for (size_t c : candidates)
    if (!used[c] && comparison.atom(c).getAltLoc() == atom.getAltLoc())
      return static_cast<long long>(c);
  for (size_t c : candidates)
    if (!used[c] && atom.sameConformation(comparison.atom(c))) return static_cast<long long>(c);
  return kNone;
}

// Partners chosen so far: by reference position, and the comparison positions taken.
struct Partners {
  Partners(size_t referenceAtoms, size_t comparisonAtoms)
      : of(referenceAtoms, kNone), used(comparisonAtoms, false) {}

  void choose(const Molecule& reference, size_t r, const Molecule& comparison,
              const std::vector<size_t>& candidates) {
    if (of[r] != kNone) return;
    const long long c = choosePartner(reference.atom(r), candidates, comparison, used);
    if (c == kNone) return;
    of[r] = c;
    used[static_cast<size_t>(c)] = true;
  }

  std::vector<AtomPair> pairs(const Molecule& reference, const Molecule& comparison) const {
    std::vector<AtomPair> result;
    for (size_t r = 0; r < of.size(); ++r)
      if (of[r] != kNone)
        result.push_back(
            AtomPair{&reference.atom(r), &comparison.atom(static_cast<size_t>(of[r]))});
    return result;
  }

  std::vector<long long> of;
  std::vector<bool> used;
};

std::string residueKey(const Atom& atom) {
  const Residu* residue = atom.getResidu();
  std::string key;
  if (residue != nullptr) {
    key = residue->getChain() + '\n' + std::to_string(residue->getNum()) + '\n' +
          residue->getInsertionCode() + '\n' + residueNameOf(*residue);
  }
  return key + '\n' + atom.getName();
}

// A molecule's atoms that may pair, and their positions, as one view.
struct Side {
  Side(const Molecule& m, const std::vector<bool>& mayPair)
      : molecule(m), atoms(mayPair), positions(atomPositions(m)) {}

  bool pairs(const Atom* atom) const { return atoms[positions.at(atom)]; }

  bool holdsPairable(const Residu& residue) const {
    for (const Atom* atom : residue.getAtoms())
      if (pairs(atom)) return true;
    return false;
  }

  const Molecule& molecule;
  const std::vector<bool>& atoms;
  std::unordered_map<const Atom*, size_t> positions;
};

// Pairs the atoms of two matched residues by name.
void pairResidues(const Residu& referenceResidue, const Side& reference,
                  const Residu& comparisonResidue, const Side& comparison, Partners& partners) {
  std::unordered_map<std::string, std::vector<size_t>> byName;
  for (const Atom* atom : comparisonResidue.getAtoms())
    if (comparison.pairs(atom)) byName[atom->getName()].push_back(comparison.positions.at(atom));
  for (const Atom* atom : referenceResidue.getAtoms()) {
    if (!reference.pairs(atom)) continue;
    auto found = byName.find(atom->getName());
    if (found == byName.end()) continue;
    partners.choose(reference.molecule, reference.positions.at(atom), comparison.molecule,
                    found->second);
  }
}

// A chain's sequence: its polymer residues of one kind, in molecule order.
struct Chain {
  std::string id;
  SequenceKind kind = SequenceKind::kProtein;
  std::vector<const Residu*> residues;
  std::string letters;
};

// The chains of a molecule in order of first appearance, and the residues that hold an atom
// that may pair but no place in a sequence.
void chainsOf(const Side& side, std::vector<Chain>& chains, std::vector<const Residu*>& others) {
  const Molecule& molecule = side.molecule;
  const ResidueClasses classes(molecule);
  struct Gathered {
    std::vector<const Residu*> residues;
    std::vector<ResidueClass> classes;
  };
  std::vector<std::string> order;
  std::unordered_map<std::string, Gathered> gathered;
  for (size_t i = 0; i < molecule.numResidues(); ++i) {
    const Residu& residue = molecule.residu(i);
    if (!side.holdsPairable(residue)) continue;
    const ResidueClass kind = classes.of(&residue);
    if (sequenceLetter(residue, kind) == '\0') {
      others.push_back(&residue);
      continue;
    }
    auto [at, added] = gathered.try_emplace(residue.getChain());
    if (added) order.push_back(residue.getChain());
    at->second.residues.push_back(&residue);
    at->second.classes.push_back(kind);
  }
  for (const std::string& id : order) {
    const Gathered& g = gathered[id];
    const auto proteins = std::count(g.classes.begin(), g.classes.end(), ResidueClass::kProtein);
    Chain chain;
    chain.id = id;
    chain.kind = proteins * 2 >= static_cast<long>(g.classes.size()) ? SequenceKind::kProtein
                                                                     : SequenceKind::kNucleic;
    const ResidueClass main =
        chain.kind == SequenceKind::kProtein ? ResidueClass::kProtein : ResidueClass::kNucleic;
    for (size_t k = 0; k < g.residues.size(); ++k) {
      if (g.classes[k] != main) {
        others.push_back(g.residues[k]);
        continue;
      }
      chain.residues.push_back(g.residues[k]);
      chain.letters.push_back(sequenceLetter(*g.residues[k], main));
    }
    chains.push_back(std::move(chain));
  }
}

// The chain pairs to align: by identifier, then by the best score.
std::vector<std::pair<size_t, size_t>> matchChains(const std::vector<Chain>& reference,
                                                   const std::vector<Chain>& comparison,
                                                   std::vector<bool>& byIdentifier) {
  std::vector<std::pair<size_t, size_t>> matches;
  std::vector<bool> referenceTaken(reference.size(), false);
  std::vector<bool> comparisonTaken(comparison.size(), false);
  for (size_t i = 0; i < reference.size(); ++i)
    for (size_t j = 0; j < comparison.size(); ++j)
      if (!comparisonTaken[j] && reference[i].id == comparison[j].id &&
          reference[i].kind == comparison[j].kind) {
        matches.emplace_back(i, j);
        byIdentifier.push_back(true);
        referenceTaken[i] = comparisonTaken[j] = true;
        break;
      }
  struct Scored {
    double score;
    size_t i, j;
  };
  std::vector<Scored> scored;
  for (size_t i = 0; i < reference.size(); ++i)
    for (size_t j = 0; j < comparison.size(); ++j)
      if (!referenceTaken[i] && !comparisonTaken[j] && reference[i].kind == comparison[j].kind)
        scored.push_back(
            {alignmentScore(reference[i].letters, comparison[j].letters, reference[i].kind), i, j});
  std::stable_sort(scored.begin(), scored.end(),
                   [](const Scored& a, const Scored& b) { return a.score > b.score; });
  for (const Scored& s : scored) {
    if (s.score <= 0) break;
    if (referenceTaken[s.i] || comparisonTaken[s.j]) continue;
    matches.emplace_back(s.i, s.j);
    byIdentifier.push_back(false);
    referenceTaken[s.i] = comparisonTaken[s.j] = true;
  }
  return matches;
}

// The k-th residue of a name with the k-th of the same name.
void pairOtherResidues(const std::vector<const Residu*>& referenceOthers, const Side& reference,
                       const std::vector<const Residu*>& comparisonOthers, const Side& comparison,
                       Partners& partners) {
  std::map<std::string, std::vector<const Residu*>> byName;
  for (const Residu* residue : comparisonOthers) byName[residueNameOf(*residue)].push_back(residue);
  std::map<std::string, size_t> seen;
  for (const Residu* residue : referenceOthers) {
    const std::string name = residueNameOf(*residue);
    const size_t k = seen[name]++;
    auto found = byName.find(name);
    if (found != byName.end() && k < found->second.size())
      pairResidues(*residue, reference, *found->second[k], comparison, partners);
  }
}

}  // namespace

std::vector<AtomPair> pairByResidue(const Molecule& reference,
                                    const std::vector<bool>& referenceAtoms,
                                    const Molecule& comparison,
                                    const std::vector<bool>& comparisonAtoms) {
  std::unordered_map<std::string, std::vector<size_t>> index;
  index.reserve(comparison.numAtoms());
  for (size_t c = 0; c < comparison.numAtoms(); ++c)
    if (comparisonAtoms[c]) index[residueKey(comparison.atom(c))].push_back(c);
  Partners partners(reference.numAtoms(), comparison.numAtoms());
  for (size_t r = 0; r < reference.numAtoms(); ++r) {
    if (!referenceAtoms[r]) continue;
    auto found = index.find(residueKey(reference.atom(r)));
    if (found != index.end()) partners.choose(reference, r, comparison, found->second);
  }
  return partners.pairs(reference, comparison);
}

std::vector<AtomPair> pairBySequence(const Molecule& reference,
                                     const std::vector<bool>& referenceAtoms,
                                     const Molecule& comparison,
                                     const std::vector<bool>& comparisonAtoms, bool otherResidues,
                                     std::vector<ChainMatch>& chains) {
  const Side referenceSide(reference, referenceAtoms);
  const Side comparisonSide(comparison, comparisonAtoms);
  std::vector<Chain> referenceChains, comparisonChains;
  std::vector<const Residu*> referenceOthers, comparisonOthers;
  chainsOf(referenceSide, referenceChains, referenceOthers);
  chainsOf(comparisonSide, comparisonChains, comparisonOthers);

  std::vector<bool> byIdentifier;
  std::vector<std::pair<size_t, size_t>> matches =
      matchChains(referenceChains, comparisonChains, byIdentifier);
  std::vector<size_t> order(matches.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(),
            [&matches](size_t a, size_t b) { return matches[a].first < matches[b].first; });

  Partners partners(reference.numAtoms(), comparison.numAtoms());
  for (size_t k : order) {
    const Chain& r = referenceChains[matches[k].first];
    const Chain& c = comparisonChains[matches[k].second];
    const SequenceAlignment alignment = alignSequences(r.letters, c.letters, r.kind);
    for (const auto& [i, j] : alignment.aligned)
      pairResidues(*r.residues[i], referenceSide, *c.residues[j], comparisonSide, partners);
    ChainMatch match;
    match.referenceChain = r.id;
    match.comparisonChain = c.id;
    match.kind = r.kind;
    match.byIdentifier = byIdentifier[k];
    match.referenceResidues = r.residues.size();
    match.comparisonResidues = c.residues.size();
    match.aligned = alignment.aligned.size();
    match.identical = alignment.identical;
    match.score = alignment.score;
    chains.push_back(std::move(match));
  }
  if (otherResidues)
    pairOtherResidues(referenceOthers, referenceSide, comparisonOthers, comparisonSide, partners);
  return partners.pairs(reference, comparison);
}

}  // namespace VXMole
