// Residue typing: protonation rules, and the typing of a molecule's residues phase by phase
// (templates, bonds, links, protonation, types, perceived orders).
#include "residuetyping.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "atome.h"
#include "bondorders.h"
#include "bondperception.h"
#include "diagnostics.h"
#include "edge.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"
#include "residuetemplates.h"
#include "sybyltyping.h"
#include "tables.h"
#include "vertex.h"

namespace VXMole {

namespace {

// A carboxyl group: its carbon, its two oxygens, and the oxygen that bears the hydrogen of the
// acid when the file does not show it.
struct CarboxylGroup {
  std::string_view carbon, oxygen, otherOxygen, acidOxygen;
};
const CarboxylGroup kTerminalCarboxyls[] = {{"C", "O", "OXT", "OXT"}, {"C", "OT1", "OT2", "OT2"}};
const CarboxylGroup kAspartate = {"CG", "OD1", "OD2", "OD2"};
const CarboxylGroup kGlutamate = {"CD", "OE1", "OE2", "OE2"};

// Hydrogens of a standard residue bond to the nearest heavy atom of the residue within this
// distance (Å); a thiol S-H bond is longer (1.34 Å), so sulfur gets more room. C(i) and N(i+1)
// of one chain form the peptide bond when closer than kPeptideBondLength (Å); two cysteine
// sulfurs form a disulfide when closer than kDisulfideLength (Å; the bond is 2.05 Å).
const double kHydrogenBondLength = 1.3;
const double kSulfurHydrogenBondLength = 1.5;
const double kPeptideBondLength = 2.0;
const double kDisulfideLength = 2.5;

// An amino-acid residue holds under thirty atoms, even with every hydrogen and the terminal
// atoms, and some sixty with two sites for every atom; twice as many leaves room for more
// sites and unusual names.
constexpr size_t kMaxStandardResidueAtoms = 128;

// A residue the typing knows, with its template.
// Its atoms sorted by name, so that each name is found by a binary search (a residue holds
// several atoms of one name at alternate sites).
struct TypedResidue {
  TypedResidue(Residu* r, const ResidueTemplate* t, bool isTyped)
      : residue(r), tmpl(t), typed(isTyped) {
    byName.reserve(r->numAtoms());
    for (Atom* atom : r->getAtoms()) byName.emplace_back(atom->getName(), atom);
    std::stable_sort(byName.begin(), byName.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }

  template <class Fn>
  void forEachNamed(std::string_view name, Fn fn) const {
    auto at =
        std::lower_bound(byName.begin(), byName.end(), name,
                         [](const auto& entry, std::string_view n) { return entry.first < n; });
    for (; at != byName.end() && at->first == name; ++at) fn(at->second);
  }
  bool has(std::string_view name) const {
    bool found = false;
    forEachNamed(name, [&](const Atom*) { found = true; });
    return found;
  }

  Residu* residue;
  const ResidueTemplate* tmpl;
  bool typed;  // typed by its template; else it only joins its chain
  std::vector<std::pair<std::string_view, Atom*>> byName;
};

// Calls fn for each atom of the residue that links it to its neighbours in the chain: those
// of the name, and of the name with a star for a prime (O3*, as older files name O3').
template <class Fn>
void forEachLinkAtom(const TypedResidue& entry, const std::string& name, Fn fn) {
  if (name.empty()) return;
  entry.forEachNamed(name, fn);
  if (name.find('\'') == std::string::npos) return;
  std::string starred = name;
  std::replace(starred.begin(), starred.end(), '\'', '*');
  entry.forEachNamed(starred, fn);
}

unsigned hydrogensOn(const Atom& atom) {
  unsigned count = 0;
  for (const Edge* edge : atom.getVertex()->edges) {
    const Vertex* other = edge->getOtherVertex(atom.getVertex());
    if (other != nullptr && other->atom != nullptr && other->atom->isHydrogen()) ++count;
  }
  return count;
}

bool bondedOutside(const Atom& atom) {
  for (const Edge* edge : atom.getVertex()->edges) {
    const Vertex* other = edge->getOtherVertex(atom.getVertex());
    if (other != nullptr && other->atom != nullptr && other->atom->getResidu() != atom.getResidu())
      return true;
  }
  return false;
}

// Whether any atom of that name in the residue carries a negative formal charge.
bool anyCharged(const TypedResidue& entry, std::string_view name) {
  bool found = false;
  entry.forEachNamed(name, [&](const Atom* atom) { found = found || atom->getFormalCharge() < 0; });
  return found;
}

// Whether any atom of that name in the residue bears a hydrogen.
bool anyProtonated(const TypedResidue& entry, std::string_view name) {
  bool found = false;
  entry.forEachNamed(name, [&](const Atom* atom) { found = found || hydrogensOn(*atom) > 0; });
  return found;
}

// The typing of one molecule. The property rules look at the neighbours' types and the bond
// types, so every bond is made first, every atom is typed once, and a second pass re-derives
// the flags from the final types. An atom given at alternate sites bonds only within its own
// site (and to atoms of no site): each site is a conformation of its own.
class ResidueTyping {
 public:
  explicit ResidueTyping(Molecule& molecule)
      : molecule_(molecule), bondNum_(static_cast<unsigned>(molecule.numBonds())) {}

  void run() {
    for (size_t i = 0; i < molecule_.numAtoms(); ++i)
      if (molecule_.atom(i).numBonds() > 0) fileBonded_.insert(&molecule_.atom(i));
    chooseTemplates();
    for (Residu* residue : perceived_) perceiveBonds(molecule_, *residue, bondNum_);
    makeBonds();
    perceiveLinks(molecule_, unknownResidues(), fileBonded_, bondNum_);
    for (const TypedResidue& entry : chain_) {
      if (!entry.typed) continue;
      settleProtonation(entry);
      typeAtoms(entry);
    }
    for (Atom* atom : typed_) atom->checkMOL2type(std::string());
    perceiveUnknownChemistry();
    markTerminalOxygensAndZinc();
  }

 private:
  // Phase 1: the residues of the chains (the standard ones with their templates, the others
  // that hold a backbone), and the residues whose bonds come from distances.
  void chooseTemplates();
  // Phase 2: bonds within residues, peptide bonds, bonds to hydrogens, then disulfides.
  void makeBonds();
  void bondToPreviousPosition(const TypedResidue& entry,
                              const std::vector<const TypedResidue*>& before);
  void bondHydrogens(const TypedResidue& entry);
  void bondDisulfides();
  // Phase 3: the types that the hydrogens (or the residue's name) settle: the termini, carboxyl
  // groups, histidine rings and the lysine amine.
  void settleProtonation(const TypedResidue& entry);
  void settleCarboxyl(const TypedResidue& entry, const CarboxylGroup& group, bool acidByName);
  void settleHistidine(const TypedResidue& entry);
  void settleLysine(const TypedResidue& entry);
  // Phase 4: each atom's type, the settled one before the template's.
  void typeAtoms(const TypedResidue& entry);
  // The residues no template types, waters and residues left as read excepted.
  std::vector<const Residu*> unknownResidues() const;
  // Phase 5: bond orders and types of those residues.
  void perceiveUnknownChemistry();
  void markTerminalOxygensAndZinc();

  // Bonds two atoms of one site with `type`, or gives the bond that type when it exists.
  void link(Atom* a, Atom* b, int type) {
    if (!a->sameConformation(*b)) return;
    if (Bond* existing = a->getBond(b)) {
      existing->setType(type);  // a CONECT record only knew it as single
    } else {
      molecule_.addBond(a, b, type, bondNum_++);
    }
  }
  static void setBondType(Atom* a, Atom* b, int type) {
    if (Bond* bond = a->getBond(b)) bond->setType(type);
  }

  Molecule& molecule_;
  unsigned bondNum_;                 // number of the next bond made
  std::vector<TypedResidue> chain_;  // in the molecule's order
  std::vector<Residu*> perceived_;   // residues whose bonds come from distances
  std::vector<Atom*> sulfurs_;       // of cysteines, for the disulfides
  std::unordered_map<const Atom*, const char*> settled_;  // types that phase 3 chose
  std::vector<Atom*> typed_;                              // atoms given a type, for the second pass
  std::unordered_set<const Residu*> leftAsRead_;  // standard names holding far too many atoms
  std::unordered_set<const Atom*> fileBonded_;    // atoms holding bonds before the typing
};

void ResidueTyping::chooseTemplates() {
  const auto& templates = residueTemplates();
  chain_.reserve(molecule_.numResidues());
  for (size_t i = 0; i < molecule_.numResidues(); ++i) {
    Residu& residue = molecule_.residu(i);
    auto tmpl = templates.find(residue.getName());
    if (tmpl == templates.end()) {
      if (residue.getKind() == kResiduWater) continue;  // waters stay unbonded
      // A residue the typing does not know gets the bonds its interatomic distances show,
      // where no CONECT record gives them: for the atoms that no record touches.
      bool untouched = false;
      for (const Atom* atom : residue.getAtoms()) untouched = untouched || atom->numBonds() == 0;
      if (untouched) perceived_.push_back(&residue);
      TypedResidue member(&residue, &backboneOnly(), false);
      if (member.has("N") && member.has("CA") && member.has("C"))
        chain_.push_back(std::move(member));
      continue;
    }
    // A residue of a standard name that holds far more atoms than any amino acid (file
    // corruption, or every atom under one residue number) is no amino acid: typing it by name
    // and matching each hydrogen against every heavy atom would only cost time.
    if (residue.numAtoms() > kMaxStandardResidueAtoms) {
      leftAsRead_.insert(&residue);
      continue;
    }
    chain_.emplace_back(&residue, &tmpl->second, true);
    if (tmpl->second.variant) residue.setKind(kResiduAminoAcid);
  }
}

void ResidueTyping::makeBonds() {
  // Each chain's last position: the residues that share its number and insertion code (two
  // residues where alternate sites hold different amino acids), and those of the position
  // before, whose carbonyls the position's nitrogens bond to.
  struct ChainPosition {
    int number = 0;
    char insertionCode = '\0';
    std::vector<const TypedResidue*> here, before;
  };
  std::unordered_map<std::string, ChainPosition> positions;
  for (const TypedResidue& entry : chain_) {
    for (const NameBond& bond : entry.tmpl->bonds)
      entry.forEachNamed(bond.first, [&](Atom* a) {
        entry.forEachNamed(bond.second, [&](Atom* b) { link(a, b, bond.type); });
      });
    ChainPosition& position = positions[entry.residue->getChain()];
    const bool sameSite = !position.here.empty() && position.number == entry.residue->getNum() &&
                          position.insertionCode == entry.residue->getInsertionCode();
    if (!sameSite) {
      position.before = std::move(position.here);
      position.here.clear();
      position.number = entry.residue->getNum();
      position.insertionCode = entry.residue->getInsertionCode();
    }
    bondToPreviousPosition(entry, position.before);
    // A residue without its carbonyl breaks the chain here.
    bool carbonyl = entry.tmpl->carbonyl.empty();
    forEachLinkAtom(entry, entry.tmpl->carbonyl, [&](Atom*) { carbonyl = true; });
    if (carbonyl) position.here.push_back(&entry);
    if (entry.tmpl->residue == "CYS")
      entry.forEachNamed("SG", [&](Atom* s) { sulfurs_.push_back(s); });
    if (entry.typed) bondHydrogens(entry);
  }
  bondDisulfides();
}

// The peptide bonds from the carbonyls of the position before to the residue's nitrogen.
void ResidueTyping::bondToPreviousPosition(const TypedResidue& entry,
                                           const std::vector<const TypedResidue*>& before) {
  if (entry.tmpl->nitrogen.empty()) return;
  for (const TypedResidue* previous : before) {
    if (previous->tmpl->carbonyl.empty()) continue;
    forEachLinkAtom(*previous, previous->tmpl->carbonyl, [&](Atom* carbon) {
      forEachLinkAtom(entry, entry.tmpl->nitrogen, [&](Atom* nitrogen) {
        if (carbon->getFixedCoords().calcDist(nitrogen->getFixedCoords()) < kPeptideBondLength)
          link(carbon, nitrogen, kBondSingle);
      });
    });
  }
}

// Each hydrogen that holds no bond, to the nearest heavy atom of its residue within reach.
void ResidueTyping::bondHydrogens(const TypedResidue& entry) {
  for (Atom* hydrogen : entry.residue->getAtoms()) {
    if (!hydrogen->isHydrogen() || hydrogen->numBonds() > 0) continue;
    Atom* nearest = nullptr;
    double best = kSulfurHydrogenBondLength;
    for (Atom* heavy : entry.residue->getAtoms()) {
      if (heavy->isHydrogen() || !heavy->sameConformation(*hydrogen)) continue;
      const double d = hydrogen->getFixedCoords().calcDist(heavy->getFixedCoords());
      const double reach = heavy->isSulfur() ? kSulfurHydrogenBondLength : kHydrogenBondLength;
      if (d <= reach && d <= best) {
        best = d;
        nearest = heavy;
      }
    }
    if (nearest != nullptr) link(nearest, hydrogen, kBondSingle);
  }
}

void ResidueTyping::bondDisulfides() {
  for (size_t i = 0; i < sulfurs_.size(); ++i)
    for (size_t j = i + 1; j < sulfurs_.size(); ++j)
      if (sulfurs_[i]->getResidu() != sulfurs_[j]->getResidu() &&
          sulfurs_[i]->getFixedCoords().calcDist(sulfurs_[j]->getFixedCoords(), kDisulfideLength) <
              kDisulfideLength)
        link(sulfurs_[i], sulfurs_[j], kBondSingle);
}

void ResidueTyping::settleProtonation(const TypedResidue& entry) {
  const ResidueTemplate& tmpl = *entry.tmpl;
  if (!tmpl.aminoAcid) return;
  // The N-terminal nitrogen: an ammonium when it holds four bonds (three hydrogens, or two on
  // proline), else an amine.
  if (!tmpl.nitrogen.empty())
    entry.forEachNamed(tmpl.nitrogen, [&](Atom* n) {
      if (!bondedOutside(*n)) settled_[n] = n->numBonds() == 4 ? "N.4" : "N.3";
    });
  for (const CarboxylGroup& group : kTerminalCarboxyls) settleCarboxyl(entry, group, false);
  const bool acid = tmpl.protonation == Protonation::kAcid;
  if (tmpl.residue == "ASP") settleCarboxyl(entry, kAspartate, acid);
  if (tmpl.residue == "GLU") settleCarboxyl(entry, kGlutamate, acid);
  if (tmpl.residue == "HIS") settleHistidine(entry);
  if (tmpl.residue == "LYS") settleLysine(entry);
}

// A carboxylate (two O.co2 oxygens, both bonds aromatic, as Tripos writes them) unless a
// hydrogen on one oxygen, or the residue's name, makes it the acid.
void ResidueTyping::settleCarboxyl(const TypedResidue& entry, const CarboxylGroup& group,
                                   bool acidByName) {
  const bool both = entry.has(group.oxygen) && entry.has(group.otherOxygen);
  entry.forEachNamed(group.carbon, [&](Atom* carbon) {
    for (std::string_view oxygenName : {group.oxygen, group.otherOxygen}) {
      const std::string_view otherName =
          oxygenName == group.oxygen ? group.otherOxygen : group.oxygen;
      entry.forEachNamed(oxygenName, [&](Atom* oxygen) {
        if (!both) {
          settled_[oxygen] = "O.2";
          setBondType(carbon, oxygen, kBondDouble);
          return;
        }
        const bool protonatedHere = anyProtonated(entry, oxygenName);
        const bool protonatedThere = anyProtonated(entry, otherName);
        if (!protonatedHere && !protonatedThere && !acidByName) {
          // A file that puts the charge on one oxygen (columns 79-80) has its carboxylate
          // localized: the charged O.co2 singly bonded, the other O.2 doubly, as Open Babel
          // writes it; else the charge is shared, both bonds aromatic.
          const bool chargedHere = anyCharged(entry, oxygenName);
          const bool chargedThere = anyCharged(entry, otherName);
          if (chargedHere != chargedThere) {
            settled_[oxygen] = chargedHere ? "O.co2" : "O.2";
            setBondType(carbon, oxygen, chargedHere ? kBondSingle : kBondDouble);
          } else {
            settled_[oxygen] = "O.co2";
            setBondType(carbon, oxygen, kBondAromatic);
          }
          return;
        }
        const bool bearsHydrogen =
            protonatedHere || (!protonatedThere && acidByName && oxygenName == group.acidOxygen);
        settled_[oxygen] = bearsHydrogen ? "O.3" : "O.2";
        setBondType(carbon, oxygen, bearsHydrogen ? kBondSingle : kBondDouble);
      });
    }
  });
}

// The ring nitrogen that bears a hydrogen is pyrrole-type (N.pl3), the other N.2 and doubly
// bonded to CE1; with both protonated, the imidazolium puts its charge and that double bond on
// NE2 (N.4), which Open Babel and RDKit both read as the cation. Without a hydrogen on either,
// the residue's name chooses, and HIS is the HIE tautomer.
void ResidueTyping::settleHistidine(const TypedResidue& entry) {
  const Protonation protonation = entry.tmpl->protonation;
  bool delta = anyProtonated(entry, "ND1");
  bool epsilon = anyProtonated(entry, "NE2");
  if (!delta && !epsilon) {
    delta = protonation == Protonation::kHisDelta || protonation == Protonation::kHisBoth;
    epsilon = !delta || protonation == Protonation::kHisBoth;
  }
  entry.forEachNamed("ND1", [&](Atom* n) { settled_[n] = delta ? "N.pl3" : "N.2"; });
  entry.forEachNamed("NE2", [&](Atom* n) {
    settled_[n] = !epsilon ? "N.2" : delta ? "N.4" : "N.pl3";
  });
  // The ring's second double bond: CE1=ND1 where NE2 bears the hydrogen, else CE1=NE2.
  const bool toDelta = epsilon && !delta;
  entry.forEachNamed("CE1", [&](Atom* c) {
    entry.forEachNamed(toDelta ? "ND1" : "NE2", [&](Atom* n) { setBondType(c, n, kBondDouble); });
  });
}

// The hydrogens on NZ, where the file shows any; else the residue's name.
void ResidueTyping::settleLysine(const TypedResidue& entry) {
  entry.forEachNamed("NZ", [&](Atom* n) {
    const unsigned hydrogens = hydrogensOn(*n);
    if (hydrogens > 0) {
      settled_[n] = hydrogens >= 3 ? "N.4" : "N.3";
    } else if (entry.tmpl->protonation == Protonation::kNeutralAmine) {
      settled_[n] = "N.3";
    }
  });
}

void ResidueTyping::typeAtoms(const TypedResidue& entry) {
  for (Atom* atom : entry.residue->getAtoms()) {
    std::string type;
    if (atom->isHydrogen()) {
      type = "H";
    } else if (auto fixed = settled_.find(atom); fixed != settled_.end()) {
      type = fixed->second;
    } else if (auto known = entry.tmpl->types.find(atom->getName());
               known != entry.tmpl->types.end()) {
      type = known->second;
    } else {
      continue;  // a heavy atom the residue does not normally hold
    }
    try {
      atom->checkMOL2type(type);
      typed_.push_back(atom);
    } catch (const MoleExcept& error) {
      diagnostics() << error.code << std::endl;
    }
  }
}

// Orders that the file gives (CONECT records listing a partner twice) are kept, and the atoms
// of their residue are typed from them; other residues get their orders from the geometry.
std::vector<const Residu*> ResidueTyping::unknownResidues() const {
  std::unordered_set<const Residu*> known(leftAsRead_.begin(), leftAsRead_.end());
  for (const TypedResidue& entry : chain_)
    if (entry.typed) known.insert(entry.residue);
  std::vector<const Residu*> unknown;
  for (size_t i = 0; i < molecule_.numResidues(); ++i) {
    const Residu& residue = molecule_.residu(i);
    if (known.count(&residue) == 0 && residue.getKind() != kResiduWater)
      unknown.push_back(&residue);
  }
  return unknown;
}

void ResidueTyping::perceiveUnknownChemistry() {
  std::vector<Atom*> perceived;
  for (const Residu* unknown : unknownResidues()) {
    const Residu& residue = *unknown;
    bool ordered = false;
    for (const Atom* atom : residue.getAtoms())
      for (const Edge* edge : atom->getVertex()->edges)
        if (edge->bond != nullptr && edge->bond->getType() != kBondSingle &&
            edge->bond->getOther(atom)->getResidu() == &residue)
          ordered = true;
    std::vector<Atom*> atoms(residue.getAtoms().begin(), residue.getAtoms().end());
    if (ordered) {
      assignSybylTypes(atoms);
    } else {
      perceived.insert(perceived.end(), atoms.begin(), atoms.end());
    }
  }
  if (!perceived.empty()) perceiveBondOrders(molecule_, perceived);
}

void ResidueTyping::markTerminalOxygensAndZinc() {
  for (size_t i = 0; i < molecule_.numAtoms(); ++i) {
    Atom& atom = molecule_.atom(i);
    if (atom.getName() == "OXT") atom.getProperties().anion = 1;
    // A zinc named in upper case keeps its name; its element is zinc's.
    if ((atom.getName() == "ZN" || atom.getName() == "Zn") && atom.getAtomicNum() != 30)
      atom.setAtomicName("Zn");
  }
}

}  // namespace

void typeResidues(Molecule& molecule) {
  ResidueTyping(molecule).run();
}

}  // namespace VXMole
