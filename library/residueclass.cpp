// Residue classes and sequence letters from residue names and atom names.
#include "residueclass.h"

#include <cctype>
#include <string_view>

#include "atome.h"
#include "molecule.h"
#include "residu.h"
#include "tables.h"

namespace VXMole {

namespace {

// Amino-acid names besides the residue table's rows with a one-letter code, each with the code
// of its parent: protonation states (Amber, CHARMM), common modified residues; the caps ACE
// and NME have no letter.
struct NamedLetter {
  std::string_view name;
  char letter;
};
// clang-format off
constexpr NamedLetter kAminoAcidVariants[] = {
    {"HID", 'H'}, {"HIE", 'H'}, {"HIP", 'H'}, {"HSD", 'H'}, {"HSE", 'H'}, {"HSP", 'H'},
    {"ASH", 'D'}, {"GLH", 'E'}, {"LYN", 'K'}, {"CYX", 'C'}, {"CYM", 'C'},
    {"MSE", 'M'}, {"SEP", 'S'}, {"TPO", 'T'}, {"PTR", 'Y'}, {"CSO", 'C'}, {"CME", 'C'},
    {"MLY", 'K'}, {"M3L", 'K'}, {"KCX", 'K'}, {"HYP", 'P'}, {"PCA", 'E'}, {"CSD", 'C'},
    {"UNK", 'X'}, {"ACE", '\0'}, {"NME", '\0'}, {"NH2", '\0'},
};
// clang-format on

// Nucleotide names, without the 5 or 3 of a chain end.
constexpr NamedLetter kNucleotides[] = {
    {"A", 'A'},  {"C", 'C'},  {"G", 'G'},  {"U", 'U'},  {"T", 'T'},  {"I", 'N'},
    {"N", 'N'},  {"DA", 'A'}, {"DC", 'C'}, {"DG", 'G'}, {"DT", 'T'}, {"DU", 'U'},
    {"DI", 'N'}, {"DN", 'N'}, {"RA", 'A'}, {"RC", 'C'}, {"RG", 'G'}, {"RU", 'U'},
};

constexpr std::string_view kWaterNames[] = {"HOH", "WAT",  "WTR",  "MTO", "DOD", "H2O", "SOL",
                                            "TIP", "TIP3", "TIP4", "T3P", "T4P", "SPC"};

// Atomic numbers of the elements that are not metals: hydrogen, the noble gases, the
// non-metals, and the metalloids B, Si, Ge, As, Sb, Te, At.
constexpr unsigned kNonMetals[] = {1,  2,  5,  6,  7,  8,  9,  10, 14, 15, 16, 17,
                                   18, 32, 33, 34, 35, 36, 51, 52, 53, 54, 85, 86};

// The longest C-N distance of a peptide bond that the atom rule accepts, in Å (a peptide bond
// is 1.33 Å; bonds between residues of other kinds are not C-N at this length).
constexpr double kPeptideBondMax = 2.0;

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The letter of an amino-acid name: the residue table's rows, then the variants. Found is
// false for a name that is not an amino acid.
char aminoAcidLetter(const std::string& name, bool& found) {
  found = true;
  for (const AAcidRow& row : AAcid)
    if (!row.code.empty() && row.name3 == name) return row.code[0];
  for (const NamedLetter& variant : kAminoAcidVariants)
    if (variant.name == name) return variant.letter;
  found = false;
  return '\0';
}

// The letter of a nucleotide name, '\0' for other names.
char nucleotideLetter(std::string name) {
  if (name.size() > 1 && (name.back() == '5' || name.back() == '3')) name.pop_back();
  for (const NamedLetter& nucleotide : kNucleotides)
    if (nucleotide.name == name) return nucleotide.letter;
  return '\0';
}

bool isWaterName(const std::string& name) {
  for (std::string_view water : kWaterNames)
    if (water == name) return true;
  return false;
}

const Atom* atomNamed(const Residu& residue, std::string_view name) {
  for (const Atom* atom : residue.getAtoms())
    if (atom->getName() == name) return atom;
  return nullptr;
}

// C of `before` and N of `after` at peptide-bond length.
bool peptideJoined(const Residu& before, const Residu& after) {
  const Atom* c = atomNamed(before, "C");
  const Atom* n = atomNamed(after, "N");
  return c != nullptr && n != nullptr && c->getParent() == n->getParent() &&
         c->getFixedCoords().calcDist(n->getFixedCoords()) <= kPeptideBondMax;
}

bool hasBackbone(const Residu& residue) {
  return atomNamed(residue, "N") != nullptr && atomNamed(residue, "CA") != nullptr &&
         atomNamed(residue, "C") != nullptr;
}

bool isMetalIon(const Residu& residue) {
  bool anyHeavy = false;
  for (const Atom* atom : residue.getAtoms()) {
    if (atom->isHydrogen()) continue;
    if (!isMetalElement(atom->getAtomicNum())) return false;
    anyHeavy = true;
  }
  return anyHeavy;
}

// The class by name; kLigand stands for "not known by name".
ResidueClass classByName(const Residu& residue) {
  const std::string name = upper(residueNameOf(residue));
  bool aminoAcid = false;
  aminoAcidLetter(name, aminoAcid);
  if (aminoAcid) return ResidueClass::kProtein;
  if (nucleotideLetter(name) != '\0') return ResidueClass::kNucleic;
  if (isWaterName(name)) return ResidueClass::kWater;
  if (isMetalIon(residue)) return ResidueClass::kMetal;
  return ResidueClass::kLigand;
}

}  // namespace

std::string residueNameOf(const Residu& residue) {
  const std::string& name = residue.getName();
  const std::string number = std::to_string(residue.getNum());
  if (name.size() > number.size() &&
      name.compare(name.size() - number.size(), number.size(), number) == 0)
    return name.substr(0, name.size() - number.size());
  return name;
}

bool isMetalElement(unsigned atomicNum) {
  if (atomicNum == 0 || atomicNum >= DUMMY_ATOMIC_NUM) return false;
  for (unsigned z : kNonMetals)
    if (z == atomicNum) return false;
  return true;
}

ResidueClasses::ResidueClasses(const Molecule& molecule) {
  const size_t n = molecule.numResidues();
  for (size_t i = 0; i < n; ++i) {
    const Residu& residue = molecule.residu(i);
    ResidueClass found = classByName(residue);
    // A modified amino acid the names do not know: the backbone atoms, joined to a neighbour
    // by a peptide bond.
    if (found == ResidueClass::kLigand && hasBackbone(residue) &&
        ((i > 0 && peptideJoined(molecule.residu(i - 1), residue)) ||
         (i + 1 < n && peptideJoined(residue, molecule.residu(i + 1)))))
      found = ResidueClass::kProtein;
    classes_.emplace(&residue, found);
  }
}

ResidueClass ResidueClasses::of(const Residu* residue) const {
  auto it = classes_.find(residue);
  return it == classes_.end() ? ResidueClass::kLigand : it->second;
}

char sequenceLetter(const Residu& residue, ResidueClass residueClass) {
  const std::string name = upper(residueNameOf(residue));
  if (residueClass == ResidueClass::kProtein) {
    bool known = false;
    const char letter = aminoAcidLetter(name, known);
    return known ? letter : 'X';
  }
  if (residueClass == ResidueClass::kNucleic) return nucleotideLetter(name);
  return '\0';
}

}  // namespace VXMole
