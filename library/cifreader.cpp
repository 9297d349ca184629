// CifReader: _atom_site rows to atoms and residues, _struct_conn covalent entries to bonds.
#include "cifreader.h"

#include <cmath>
#include <cstdlib>         // for std::strtol
#include <gemmi/cif.hpp>   // the CIF grammar and document (gemmi, on PEGTL)
#include <gemmi/numb.hpp>  // for gemmi::cif::as_number
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "residueassembler.h"

namespace VXMole {

namespace cif = gemmi::cif;

namespace {

// The _atom_site items read, in this order (the first one required by gemmi's lookup); "?"
// marks an item a file may lack. PyMOL writes
// only some of the auth_ items, gemmi's converter no auth_atom_id or auth_comp_id.
enum AtomSiteColumn {
  kX,
  kY,
  kZ,
  kId,
  kSymbol,
  kAuthAtom,
  kLabelAtom,
  kAltId,
  kAuthComp,
  kLabelComp,
  kAuthAsym,
  kLabelAsym,
  kAuthSeq,
  kLabelSeq,
  kInsCode,
  kModel,
  kFormalCharge,
};
const std::vector<std::string> kAtomSiteTags = {"Cartn_x",
                                                "Cartn_y",
                                                "Cartn_z",
                                                "?id",
                                                "?type_symbol",
                                                "?auth_atom_id",
                                                "?label_atom_id",
                                                "?label_alt_id",
                                                "?auth_comp_id",
                                                "?label_comp_id",
                                                "?auth_asym_id",
                                                "?label_asym_id",
                                                "?auth_seq_id",
                                                "?label_seq_id",
                                                "?pdbx_PDB_ins_code",
                                                "?pdbx_PDB_model_num",
                                                "?pdbx_formal_charge"};

// The _struct_conn items: the bond's type, then for each partner its chain, residue name and
// number, atom name, alternate site, insertion code and symmetry operator.
const std::vector<std::string> kStructConnTags = {"conn_type_id",
                                                  "?ptnr1_auth_asym_id",
                                                  "?ptnr1_label_asym_id",
                                                  "?ptnr1_auth_comp_id",
                                                  "?ptnr1_label_comp_id",
                                                  "?ptnr1_auth_seq_id",
                                                  "?ptnr1_label_seq_id",
                                                  "?ptnr1_auth_atom_id",
                                                  "?ptnr1_label_atom_id",
                                                  "?pdbx_ptnr1_label_alt_id",
                                                  "?pdbx_ptnr1_PDB_ins_code",
                                                  "?ptnr1_symmetry",
                                                  "?ptnr2_auth_asym_id",
                                                  "?ptnr2_label_asym_id",
                                                  "?ptnr2_auth_comp_id",
                                                  "?ptnr2_label_comp_id",
                                                  "?ptnr2_auth_seq_id",
                                                  "?ptnr2_label_seq_id",
                                                  "?ptnr2_auth_atom_id",
                                                  "?ptnr2_label_atom_id",
                                                  "?pdbx_ptnr2_label_alt_id",
                                                  "?pdbx_ptnr2_PDB_ins_code",
                                                  "?ptnr2_symmetry"};
const size_t kPartnerColumns = 11;  // items per partner, after conn_type_id

// The text of an item of a row: unquoted, "" when the file lacks it or holds "." or "?".
std::string text(cif::Table::Row& row, size_t column) {
  if (!row.has(column)) return std::string();
  const std::string& value = row[column];
  return cif::is_null(value) ? std::string() : cif::as_string(value);
}

// The auth_ item, else (when the file lacks it, or holds "." or "?") the label_ one. An empty
// quoted value ('' for a blank chain) is a value.
std::string either(cif::Table::Row& row, size_t auth, size_t label) {
  return row.has2(auth) ? cif::as_string(row[auth]) : text(row, label);
}

// The leading number of a text, as the standard conversions read it; 0 for none.
long leadingNumber(const std::string& value) {
  return value.empty() ? 0 : std::strtol(value.c_str(), nullptr, 10);
}

char letter(const std::string& value) {
  return value.empty() ? ' ' : value[0];
}

// An atom's address in _struct_conn: chain, residue number, insertion code, residue name and
// atom name (the alternate site is matched apart).
std::string siteKey(const std::string& chain, long number, char insertionCode,
                    const std::string& residue, const std::string& atom) {
  return chain + '|' + std::to_string(number) + insertionCode + '|' + residue + '|' + atom;
}

bool covalent(const std::string& type) {
  return type.compare(0, 6, "covale") == 0 || type == "disulf";
}

}  // namespace

void CifReader::read(const std::string& data, Complex& complex, unsigned type) const {
  cif::Document document;
  try {
    document = cif::read_memory(data.data(), data.size(), path_.c_str());
  } catch (const std::exception& error) {
    throw raise(kErrCifUnreadable, error.what());
  }
  cif::Block* block = nullptr;
  for (cif::Block& candidate : document.blocks) {
    if (candidate.find("_atom_site.", kAtomSiteTags).ok()) {
      block = &candidate;
      break;
    }
  }
  if (block == nullptr) throw raise(kErrCifNoAtomSite, path_);
  cif::Table sites = block->find("_atom_site.", kAtomSiteTags);

  auto molecule =
      std::make_unique<Molecule>(type, static_cast<unsigned>(sites.length()), 0, 0, block->name);
  ResidueAssembler assembler(*molecule);
  std::unordered_map<std::string, std::vector<Atom*>> atomsBySite;
  std::string firstModel;
  bool modelSeen = false;
  for (size_t i = 0; i < sites.length(); ++i) {
    cif::Table::Row row = sites[static_cast<int>(i)];
    // The first model only.
    const std::string model = text(row, kModel);
    if (!modelSeen) {
      firstModel = model;
      modelSeen = true;
    } else if (model != firstModel) {
      continue;
    }
    const double x = cif::as_number(row[kX]);
    const double y = cif::as_number(row[kY]);
    const double z = cif::as_number(row[kZ]);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
      throw raise(kErrCifCoordinate, path_);
    const std::string name = either(row, kAuthAtom, kLabelAtom);
    const std::string residueName = either(row, kAuthComp, kLabelComp);
    const std::string chain = either(row, kAuthAsym, kLabelAsym);
    const std::string symbol = text(row, kSymbol);
    const long serial = leadingNumber(text(row, kId));
    AtomRecord record;
    record.serial = serial > 0 && serial <= 0xFFFFFFFFl ? static_cast<unsigned>(serial) : 0;
    record.name = name;
    record.element = symbol;
    record.altLoc = letter(text(row, kAltId));
    record.residueName = residueName;
    record.chain = chain;
    record.residueNumber = static_cast<int>(leadingNumber(either(row, kAuthSeq, kLabelSeq)));
    record.insertionCode = letter(text(row, kInsCode));
    record.at = Coords(x, y, z);
    Atom* atom = assembler.add(record);
    const std::string charge = text(row, kFormalCharge);
    if (!charge.empty()) atom->setFormalCharge(static_cast<double>(leadingNumber(charge)));
    atomsBySite[siteKey(chain, record.residueNumber, record.insertionCode, residueName,
                        atom->getName())]
        .push_back(atom);
  }

  molecule->cleanResidu();
  MoleReader().defProps(molecule.get());

  // Covalent bonds the file states: between atoms of this model, not to a symmetry mate.
  cif::Table links = block->find("_struct_conn.", kStructConnTags);
  unsigned bondNum = static_cast<unsigned>(molecule->numBonds());
  for (size_t i = 0; links.ok() && i < links.length(); ++i) {
    cif::Table::Row row = links[static_cast<int>(i)];
    if (!covalent(text(row, 0))) continue;
    std::vector<Atom*>* partners[2] = {nullptr, nullptr};
    char altLoc[2];
    std::string symmetry[2];
    for (size_t p = 0; p < 2; ++p) {
      const size_t at = 1 + p * kPartnerColumns;
      const std::string key = siteKey(
          either(row, at, at + 1), leadingNumber(either(row, at + 4, at + 5)),
          letter(text(row, at + 9)), either(row, at + 2, at + 3), either(row, at + 6, at + 7));
      auto found = atomsBySite.find(key);
      if (found != atomsBySite.end()) partners[p] = &found->second;
      altLoc[p] = letter(text(row, at + 8));
      symmetry[p] = text(row, at + 10);
    }
    if (partners[0] == nullptr || partners[1] == nullptr || symmetry[0] != symmetry[1]) continue;
    for (Atom* a : *partners[0]) {
      if (altLoc[0] != ' ' && a->getAltLoc() != altLoc[0]) continue;
      for (Atom* b : *partners[1]) {
        if (altLoc[1] != ' ' && b->getAltLoc() != altLoc[1]) continue;
        if (a == b || a->hasLink(b) || !a->sameConformation(*b)) continue;
        molecule->addBond(a, b, kBondSingle, bondNum++);
      }
    }
  }

  if (type == kMoleProtein)
    for (size_t i = 0; i < molecule->numResidues(); ++i) molecule->residu(i).checkResidu();
  if (molecule->numAtoms() > 0) complex.addMolecule(molecule.release());
}

}  // namespace VXMole
