// Residue typing: templates of amino acids, caps and nucleotides, and the typing by phases.
// Protonation rules, and the typing of a molecule's residues phase by phase (templates, bonds,
// links, protonation, types, perceived orders).
#include "residuetyping.h"

#include <algorithm>
#include <iterator>  // for std::size
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
#include "sybyltyping.h"
#include "tables.h"
#include "vertex.h"

namespace VXMole {

namespace {

// ---------------------------------------------------------------------------------------------
// Standard amino acids, the usual names of their protonation states and the peptide caps:
// covalent bonds by atom-name pairs and SYBYL atom types by atom name. Bonds: "A-B" single,
// "A=B" double, "A:B" aromatic. Types: "type: names; type: names". An amino acid is the backbone
// row and its side-chain row; a cap stands alone. The types that depend on the hydrogens a file
// shows (termini, carboxyl groups, histidine, lysine) are settled in code (`defProps`).

struct ResidueRow {
  std::string_view name;   // PDB residue name
  std::string_view bonds;  // bonds between heavy atoms, by atom names
  std::string_view types;  // MOL2 types of the heavy atoms, by atom names
};

// OXT is the second oxygen of the C-terminal carboxylate; OT1 and OT2 are CHARMM's names of
// both.
const ResidueRow kBackbone = {"", "N-CA CA-C C=O C-OXT C-OT1 C-OT2",
                              "N.am: N; C.3: CA; C.2: C; O.2: O OXT OT1 OT2"};

// Columns: residue name and side-chain bonds (the CA-CB bond included) on the first line,
// side-chain atom types on the second. ILE also lists "CD", an older name of CD1. The benzene
// rings of PHE and TYR have aromatic bonds; the rings of TRP and HIS, which hold a nitrogen, are
// written in one Kekulé form, so that Open Babel and RDKit read them whether or not the file
// shows the ring's hydrogen. TRP NE1 always bears its hydrogen: the pyrrole-type N.pl3. The
// ring nitrogens of HIS (and its ring's double bond to CE1), the carboxyl oxygens of ASP and
// GLU and the amine of LYS are settled in code from the hydrogens.
// clang-format off
const ResidueRow kSideChains[] = {
    {"GLY", "",
            ""},
    {"ALA", "CA-CB",
            "C.3: CB"},
    {"SER", "CA-CB CB-OG",
            "C.3: CB; O.3: OG"},
    {"CYS", "CA-CB CB-SG",
            "C.3: CB; S.3: SG"},
    {"VAL", "CA-CB CB-CG1 CB-CG2",
            "C.3: CB CG1 CG2"},
    {"THR", "CA-CB CB-OG1 CB-CG2",
            "C.3: CB CG2; O.3: OG1"},
    {"LEU", "CA-CB CB-CG CG-CD1 CG-CD2",
            "C.3: CB CG CD1 CD2"},
    {"ILE", "CA-CB CB-CG1 CB-CG2 CG1-CD1 CG1-CD",
            "C.3: CB CG1 CG2 CD1 CD"},
    {"MET", "CA-CB CB-CG CG-SD SD-CE",
            "C.3: CB CG CE; S.3: SD"},
    {"PRO", "CA-CB CB-CG CG-CD CD-N",
            "C.3: CB CG CD"},
    {"PHE", "CA-CB CB-CG CG:CD1 CD1:CE1 CE1:CZ CZ:CE2 CE2:CD2 CD2:CG",
            "C.3: CB; C.ar: CG CD1 CD2 CE1 CE2 CZ"},
    {"TYR", "CA-CB CB-CG CG:CD1 CD1:CE1 CE1:CZ CZ:CE2 CE2:CD2 CD2:CG CZ-OH",
            "C.3: CB; C.ar: CG CD1 CD2 CE1 CE2 CZ; O.3: OH"},
    {"TRP", "CA-CB CB-CG CG=CD1 CD1-NE1 NE1-CE2 CE2=CD2 CD2-CG "
            "CE2-CZ2 CZ2=CH2 CH2-CZ3 CZ3=CE3 CE3-CD2",
            "C.3: CB; C.ar: CG CD1 CD2 CE2 CE3 CZ2 CZ3 CH2; N.pl3: NE1"},
    {"HIS", "CA-CB CB-CG CG-ND1 ND1-CE1 CE1-NE2 NE2-CD2 CD2=CG",
            "C.3: CB; C.ar: CG CD2 CE1; N.2: ND1 NE2"},
    {"ASP", "CA-CB CB-CG CG=OD1 CG-OD2",
            "C.3: CB; C.2: CG; O.2: OD1 OD2"},
    {"GLU", "CA-CB CB-CG CG-CD CD=OE1 CD-OE2",
            "C.3: CB CG; C.2: CD; O.2: OE1 OE2"},
    {"ASN", "CA-CB CB-CG CG=OD1 CG-ND2",
            "C.3: CB; C.2: CG; O.2: OD1; N.am: ND2"},
    {"GLN", "CA-CB CB-CG CG-CD CD=OE1 CD-NE2",
            "C.3: CB CG; C.2: CD; O.2: OE1; N.am: NE2"},
    {"LYS", "CA-CB CB-CG CG-CD CD-CE CE-NZ",
            "C.3: CB CG CD CE; N.4: NZ"},
    {"ARG", "CA-CB CB-CG CG-CD CD-NE NE-CZ CZ-NH1 CZ-NH2",
            "C.3: CB CG CD; C.cat: CZ; N.pl3: NE NH1 NH2"},
};
// The caps of a peptide: the acetyl group before its first residue (its methyl named CH3, or CA
// in older files) and the N-methyl amide after its last.
const ResidueRow kCaps[] = {
    {"ACE", "CH3-C CA-C C=O",
            "C.3: CH3 CA; C.2: C; O.2: O"},
    {"NME", "N-CH3 N-C",
            "N.am: N; C.3: CH3 C"},
};
// clang-format on
static_assert(std::size(kSideChains) == 20, "one row per standard amino acid");
static_assert(std::size(kCaps) == 2, "the acetyl and N-methyl caps");

// Nucleotides: the sugar-phosphate backbone (deoxyribose; ribose adds O2') and the bases,
// joined by the glycosidic bond C1'-N9 (purines) or C1'-N1 (pyrimidines). The phosphate is
// written P=OP1 (O.2), P-OP2 (O.3, which RDKit reads as the diester's anion without a hydrogen
// and Open Babel as its acid; RDKit reads O.co2 only beside C.2 or S.o2); OP3 is the third
// oxygen of a 5' phosphate. The bases are aromatic, written in one Kekulé form with
// their exocyclic C=O and their amines (N.pl3), so that Open Babel and RDKit read them whether
// or not the file shows their hydrogens. The older names (O1P, O2P, O3P, C5M) are listed
// beside the current ones, and every primed name also stands with a star (O3*).
const ResidueRow kSugarPhosphate = {
    "",
    "P=OP1 P-OP2 P-OP3 P=O1P P-O2P P-O3P P-O5' O5'-C5' C5'-C4' C4'-O4' C4'-C3' C3'-O3' "
    "C3'-C2' C2'-C1' C1'-O4' C2'-O2'",
    "P.3: P; O.2: OP1 O1P; O.3: OP2 O2P OP3 O3P O5' O4' O3' O2'; "
    "C.3: C5' C4' C3' C2' C1'"};
// clang-format off
const ResidueRow kBases[] = {
    {"A", "C1'-N9 N9-C8 C8=N7 N7-C5 C5-C6 C6-N6 C6=N1 N1-C2 C2=N3 N3-C4 C4=C5 C4-N9",
          "C.ar: C8 C5 C6 C2 C4; N.ar: N9 N7 N1 N3; N.pl3: N6"},
    {"G", "C1'-N9 N9-C8 C8=N7 N7-C5 C5-C6 C6=O6 C6-N1 N1-C2 C2-N2 C2=N3 N3-C4 C4=C5 C4-N9",
          "C.ar: C8 C5 C6 C2 C4; N.ar: N9 N7 N1 N3; N.pl3: N2; O.2: O6"},
    {"I", "C1'-N9 N9-C8 C8=N7 N7-C5 C5-C6 C6=O6 C6-N1 N1-C2 C2=N3 N3-C4 C4=C5 C4-N9",
          "C.ar: C8 C5 C6 C2 C4; N.ar: N9 N7 N1 N3; O.2: O6"},
    {"C", "C1'-N1 N1-C2 C2=O2 C2-N3 N3=C4 C4-N4 C4-C5 C5=C6 C6-N1",
          "C.ar: C2 C4 C5 C6; N.ar: N1 N3; O.2: O2; N.pl3: N4"},
    {"U", "C1'-N1 N1-C2 C2=O2 C2-N3 N3-C4 C4=O4 C4-C5 C5=C6 C6-N1",
          "C.ar: C2 C4 C5 C6; N.ar: N1 N3; O.2: O2 O4"},
    {"T", "C1'-N1 N1-C2 C2=O2 C2-N3 N3-C4 C4=O4 C4-C5 C5=C6 C6-N1 C5-C7 C5-C5M",
          "C.ar: C2 C4 C5 C6; N.ar: N1 N3; O.2: O2 O4; C.3: C7 C5M"},
};
// clang-format on
static_assert(std::size(kBases) == 6, "adenine, guanine, hypoxanthine, cytosine, uracil, thymine");
// Residue names of the nucleotides, and their bases: RNA by the base's letter, DNA by D and the
// letter.
struct NucleotideName {
  std::string_view name, base;
};
const NucleotideName kNucleotides[] = {
    {"A", "A"},  {"G", "G"},  {"I", "I"},  {"C", "C"},  {"U", "U"},  {"DA", "A"},
    {"DG", "G"}, {"DI", "I"}, {"DC", "C"}, {"DU", "U"}, {"DT", "T"},
};
static_assert(std::size(kNucleotides) == 11, "five ribonucleotides, six deoxyribonucleotides");

// What a residue name says of the hydrogens of its protonable groups, where the file shows
// none that decide.
enum class Protonation {
  kUsual,         // HIS: NE2 (the HIE tautomer); ASP, GLU: carboxylate; LYS: ammonium
  kHisDelta,      // HID, HSD: ND1
  kHisEpsilon,    // HIE, HSE: NE2
  kHisBoth,       // HIP, HSP: both ring nitrogens, the imidazolium
  kAcid,          // ASH, GLH: the carboxylic acid, its hydrogen on OD2 or OE2
  kNeutralAmine,  // LYN: NZ as a neutral amine
};

// Amber and CHARMM names of protonation states and of cystine, and the residue whose bonds and
// types they take.
struct ResidueAlias {
  std::string_view name;
  std::string_view residue;
  Protonation protonation;
};
// clang-format off
const ResidueAlias kAliases[] = {
    {"HID", "HIS", Protonation::kHisDelta},  {"HSD", "HIS", Protonation::kHisDelta},
    {"HIE", "HIS", Protonation::kHisEpsilon}, {"HSE", "HIS", Protonation::kHisEpsilon},
    {"HIP", "HIS", Protonation::kHisBoth},   {"HSP", "HIS", Protonation::kHisBoth},
    {"CYX", "CYS", Protonation::kUsual},     {"CYM", "CYS", Protonation::kUsual},
    {"ASH", "ASP", Protonation::kAcid},      {"GLH", "GLU", Protonation::kAcid},
    {"LYN", "LYS", Protonation::kNeutralAmine},
};
// clang-format on
static_assert(std::size(kAliases) == 11, "the protonation-state names and cystine");

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

struct NameBond {
  std::string first;
  std::string second;
  int type;
};

// A residue row, parsed: its bonds, a map from atom name to MOL2 type, and how it joins its
// neighbours in the chain.
struct ResidueTemplate {
  std::vector<NameBond> bonds;
  std::unordered_map<std::string, std::string> types;
  std::string residue;         // the residue whose chemistry it is ("HIS" for "HIE")
  std::string nitrogen = "N";  // bonds to the previous residue's carbonyl; "" for none
  std::string carbonyl = "C";  // bonds to the next residue's nitrogen; "" for none
  Protonation protonation = Protonation::kUsual;
  bool variant = false;   // a protonation-state name: an amino acid the residue table lacks
  bool aminoAcid = true;  // an amino acid or cap, whose termini and protonation are settled
};

// Every primed atom name of the bonds and types also written with a star (O3' as O3*), as
// older files name the atoms of nucleotides.
void addStarredNames(ResidueTemplate& parsed) {
  auto starred = [](std::string name) {
    std::replace(name.begin(), name.end(), '\'', '*');
    return name;
  };
  const size_t bonds = parsed.bonds.size();
  for (size_t i = 0; i < bonds; ++i) {
    const NameBond bond = parsed.bonds[i];
    if (bond.first.find('\'') != std::string::npos || bond.second.find('\'') != std::string::npos)
      parsed.bonds.push_back({starred(bond.first), starred(bond.second), bond.type});
  }
  std::vector<std::pair<std::string, std::string>> types(parsed.types.begin(), parsed.types.end());
  for (const auto& [name, type] : types)
    if (name.find('\'') != std::string::npos) parsed.types.emplace(starred(name), type);
}

ResidueTemplate parseRow(const ResidueRow& row) {
  ResidueTemplate parsed;
  std::vector<std::string> words;
  Token_Str(std::string(row.bonds), words, " ");
  for (const std::string& word : words) {
    const size_t mark = word.find_first_of("-=:");
    const int type = word[mark] == '='   ? kBondDouble
                     : word[mark] == ':' ? kBondAromatic
                                         : kBondSingle;
    parsed.bonds.push_back({word.substr(0, mark), word.substr(mark + 1), type});
  }
  std::vector<std::string> groups;
  Token_Str(std::string(row.types), groups, ";");
  for (const std::string& group : groups) {
    const size_t colon = group.find(':');
    std::vector<std::string> tokens;
    Token_Str(group.substr(0, colon), tokens, " ");
    const std::string type = tokens.front();
    std::vector<std::string> names;
    Token_Str(group.substr(colon + 1), names, " ");
    for (const std::string& name : names) parsed.types.emplace(name, type);
  }
  parsed.residue = std::string(row.name);
  return parsed;
}

// Every residue name the typing knows, with its template; built once.
const std::unordered_map<std::string, ResidueTemplate>& residueTemplates() {
  static const std::unordered_map<std::string, ResidueTemplate> templates = [] {
    std::unordered_map<std::string, ResidueTemplate> built;
    const ResidueTemplate backbone = parseRow(kBackbone);
    for (const ResidueRow& row : kSideChains) {
      ResidueTemplate full = backbone;
      ResidueTemplate side = parseRow(row);
      full.bonds.insert(full.bonds.end(), side.bonds.begin(), side.bonds.end());
      full.types.insert(side.types.begin(), side.types.end());
      full.residue = side.residue;
      built.emplace(std::string(row.name), std::move(full));
    }
    for (const ResidueAlias& alias : kAliases) {
      ResidueTemplate variant = built.at(std::string(alias.residue));
      variant.protonation = alias.protonation;
      variant.variant = true;
      built.emplace(std::string(alias.name), std::move(variant));
    }
    const ResidueTemplate sugarPhosphate = parseRow(kSugarPhosphate);
    for (const NucleotideName& nucleotide : kNucleotides) {
      ResidueTemplate full = sugarPhosphate;
      for (const ResidueRow& row : kBases) {
        if (row.name != nucleotide.base) continue;
        ResidueTemplate base = parseRow(row);
        full.bonds.insert(full.bonds.end(), base.bonds.begin(), base.bonds.end());
        full.types.insert(base.types.begin(), base.types.end());
      }
      addStarredNames(full);
      full.residue = std::string(nucleotide.name);
      full.nitrogen = "P";    // bonds to the O3' of the nucleotide before
      full.carbonyl = "O3'";  // bonds to the P of the nucleotide after
      full.aminoAcid = false;
      built.emplace(std::string(nucleotide.name), std::move(full));
    }
    ResidueTemplate acetyl = parseRow(kCaps[0]);
    acetyl.nitrogen.clear();
    built.emplace("ACE", std::move(acetyl));
    ResidueTemplate methylamide = parseRow(kCaps[1]);
    methylamide.carbonyl.clear();
    built.emplace("NME", std::move(methylamide));
    return built;
  }();
  return templates;
}

// An amino-acid residue holds under thirty atoms, even with every hydrogen and the terminal
// atoms, and some sixty with two sites for every atom; twice as many leaves room for more
// sites and unusual names.
constexpr size_t kMaxStandardResidueAtoms = 128;

// The template of a residue that joins a chain by its backbone and is typed no further.
const ResidueTemplate& backboneOnly() {
  static const ResidueTemplate link;
  return link;
}

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
