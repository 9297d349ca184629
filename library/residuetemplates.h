// Residue templates: the bonds and SYBYL types of standard amino acids, their protonation-state
// names, the peptide caps and the nucleotides, by atom name, parsed once from the tables.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace VXMole {

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

// A bond of a template: two atom names and the bond type.
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

// Every residue name the typing knows, with its template; built once.
const std::unordered_map<std::string, ResidueTemplate>& residueTemplates();

// The template of a residue that joins a chain by its backbone and is typed no further.
const ResidueTemplate& backboneOnly();

}  // namespace VXMole
