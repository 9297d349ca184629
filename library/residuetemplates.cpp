// Residue templates: the tables of amino acids, caps and nucleotides, and their parsing.
#include "residuetemplates.h"

#include <algorithm>
#include <iterator>  // for std::size
#include <string_view>
#include <utility>

#include "bond.h"
#include "global.h"
#include "tables.h"

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

}  // namespace

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

const ResidueTemplate& backboneOnly() {
  static const ResidueTemplate link;
  return link;
}

}  // namespace VXMole
