// CifReader: _atom_site rows to atoms and residues, _struct_conn covalent entries to bonds.
#include "cifreader.h"

#include <algorithm>  // for std::count, std::max
#include <cmath>
#include <cstdlib>         // for std::strtol
#include <gemmi/cif.hpp>   // the CIF grammar and document (gemmi, on PEGTL)
#include <gemmi/numb.hpp>  // for gemmi::cif::as_number
#include <memory>
#include <new>  // for std::bad_alloc
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"
#include "residueassembler.h"
#include "residuetyping.h"

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

// The text of a value, without its quotes; "" for "." and "?" (nothing, or unknown). A view of
// the document's own text: nothing is copied.
std::string_view unquoted(const std::string& value) {
  if (value.size() == 1 && (value[0] == '.' || value[0] == '?')) return std::string_view();
  if (value.size() >= 2 && (value[0] == '\'' || value[0] == '"') && value.back() == value[0])
    return std::string_view(value).substr(1, value.size() - 2);
  if (!value.empty() && value[0] == ';') {  // a text field: ";" lines around the text
    std::string_view text = std::string_view(value).substr(1);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\n;") == 0) text.remove_suffix(2);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return text;
  }
  return value;
}

// The text of an item of a row: "" when the file lacks it, or holds "." or "?".
std::string_view text(cif::Table::Row& row, size_t column) {
  return row.has(column) ? unquoted(row[column]) : std::string_view();
}

// The auth_ item, else (when the file lacks it, or holds "." or "?") the label_ one. An empty
// quoted value ('' for a blank chain) is a value.
std::string_view either(cif::Table::Row& row, size_t auth, size_t label) {
  return row.has2(auth) ? unquoted(row[auth]) : text(row, label);
}

// The leading number of a value; 0 for none, or when it does not fit an int.
long leadingInt(std::string_view value) {
  const long long number = leadingNumber(value);
  return number > 0x7FFFFFFF || number < -0x7FFFFFFF ? 0 : static_cast<long>(number);
}

char letter(std::string_view value) {
  return value.empty() ? ' ' : value[0];
}

// An atom's address in _struct_conn: chain, residue number, insertion code, residue name and
// atom name (the alternate site is matched apart).
std::string siteKey(std::string_view chain, long number, char insertionCode,
                    std::string_view residue, std::string_view atom) {
  std::string key(chain);
  key += '|';
  key += std::to_string(number);
  key += insertionCode;
  key += '|';
  key += residue;
  key += '|';
  key += atom;
  return key;
}

// Bonds that PDB files give as CONECT records: covalent ones (covale, covale_base,
// covale_phosphate, covale_sugar), disulfides and metal coordination.
bool covalent(std::string_view type) {
  return type.substr(0, 6) == "covale" || type == "disulf" || type == "metalc";
}

// The line (from 1) of `data` where the value of column `column` of row `row` of a table stands:
// the tag's line for a table of tag-value pairs, else found by counting the loop's values from
// its "loop_" keyword on, as the CIF grammar cuts them (quoted strings, text fields between
// lines that start with ";", comments). 0 when it cannot be told.
size_t valueLine(std::string_view data, cif::Table& table, size_t row, size_t column) {
  const int position = table.positions.at(column);
  if (position < 0) return 0;
  if (table.loop_item == nullptr) {
    const int line = table.bloc.items.at(static_cast<size_t>(position)).line_number;
    return line > 0 ? static_cast<size_t>(line) : 0;
  }
  const cif::Loop& loop = table.loop_item->loop;
  // Words before the wanted value: "loop_", the tags, then the values of the rows before.
  size_t words = 1 + loop.tags.size() + row * loop.tags.size() + static_cast<size_t>(position);
  size_t line = static_cast<size_t>(std::max(table.loop_item->line_number, 1));
  size_t at = 0;
  for (size_t l = 1; l < line && at < data.size(); ++l) at = data.find('\n', at) + 1;
  if (at == 0 && line > 1) return 0;
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (at < data.size()) {
    const char c = data[at];
    if (c == '\n') {
      ++line;
      ++at;
      continue;
    }
    if (isSpace(c)) {
      ++at;
      continue;
    }
    if (c == '#') {  // a comment, to the end of the line
      at = data.find('\n', at);
      if (at == std::string_view::npos) return 0;
      continue;
    }
    if (words == 0) return line;
    --words;
    if (c == ';' && (at == 0 || data[at - 1] == '\n')) {  // a text field, to a line ";"
      const size_t end = data.find("\n;", at);
      if (end == std::string_view::npos) return 0;
      line += static_cast<size_t>(std::count(data.begin() + at, data.begin() + end + 1, '\n'));
      at = end + 2;
    } else if (c == '\'' || c == '"') {  // a quoted string ends at its quote before a blank
      size_t end = at + 1;
      while (end < data.size() &&
             !(data[end] == c && (end + 1 == data.size() || isSpace(data[end + 1]))))
        ++end;
      at = end + 1;
    } else {
      while (at < data.size() && !isSpace(data[at])) ++at;
    }
  }
  return 0;
}

// `path` and the line of a value, for messages: "x.cif, line 12" (or "x.cif, row 3 of
// _atom_site" where the line cannot be told).
std::string whereIs(const std::string& path, std::string_view data, cif::Table& table, size_t row,
                    size_t column) {
  const size_t line = valueLine(data, table, row, column);
  if (line == 0) return path + ", row " + std::to_string(row + 1) + " of _atom_site";
  return path + ", line " + std::to_string(line);
}

// One model of _atom_site: its molecule, and the names the file gives its atoms, in order.
struct Model {
  std::unique_ptr<Molecule> molecule;
  std::unique_ptr<ResidueAssembler> assembler;
  std::vector<std::string_view> fileNames;
};

// The atoms of every model of _atom_site, each model a molecule of its own (named `name`, of
// type `type`), in the order of their first rows, the atoms in file order, with the names the
// file gives them (metal names are respelled on the atoms) for the atom addresses of
// _struct_conn. Throws 112013 (naming `path`) for a coordinate that is not a number, 112014
// (naming `path` and the line of `data`, the file's text) for one beyond kMaxCoordinate.
std::vector<Model> readAtomSites(cif::Table& sites, unsigned type, const std::string& name,
                                 const std::string& path, std::string_view data) {
  std::vector<Model> models;
  std::unordered_map<std::string_view, size_t> byNumber;  // model number -> its model
  for (size_t i = 0; i < sites.length(); ++i) {
    cif::Table::Row row = sites[static_cast<int>(i)];
    auto [known, added] = byNumber.emplace(text(row, kModel), models.size());
    if (added) {
      Model model;
      model.molecule = std::make_unique<Molecule>(
          type, static_cast<unsigned>(models.empty() ? sites.length() : 0), 0, 0, name);
      model.assembler = std::make_unique<ResidueAssembler>(*model.molecule);
      models.push_back(std::move(model));
    }
    Model& model = models[known->second];
    const double x = cif::as_number(row[kX]);
    const double y = cif::as_number(row[kY]);
    const double z = cif::as_number(row[kZ]);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
      throw raise(kErrCifCoordinate, path);
    if (!withinReach(x, y, z)) {
      const size_t column = std::abs(x) > kMaxCoordinate   ? kX
                            : std::abs(y) > kMaxCoordinate ? kY
                                                           : kZ;
      throw raise(kErrCifCoordinateBeyond, whereIs(path, data, sites, i, column));
    }
    const long serial = leadingInt(text(row, kId));
    AtomRecord record;
    record.serial = serial > 0 ? static_cast<unsigned>(serial) : 0;
    record.name = either(row, kAuthAtom, kLabelAtom);
    record.element = text(row, kSymbol);
    record.altLoc = letter(text(row, kAltId));
    record.residueName = either(row, kAuthComp, kLabelComp);
    record.chain = either(row, kAuthAsym, kLabelAsym);
    record.residueNumber = static_cast<int>(leadingInt(either(row, kAuthSeq, kLabelSeq)));
    record.insertionCode = letter(text(row, kInsCode));
    record.at = Coords(x, y, z);
    record.formalCharge = static_cast<double>(leadingInt(text(row, kFormalCharge)));
    model.assembler->add(record);
    model.fileNames.push_back(record.name);
  }
  return models;
}

// The covalent bonds of _struct_conn: between atoms of this model (found by their addresses,
// `fileNames` giving the atoms' names as the file does), not to a symmetry mate, and not those
// already made. Each partner of a row is one atom: the first at its address with the alternate
// site the row names, else the first at its address. Atoms that share an address (repeated
// _atom_site keys) thus make one bond per row, not one per pair of them.
void addCovalentConnections(cif::Block& block, Molecule& molecule,
                            const std::vector<std::string_view>& fileNames) {
  cif::Table links = block.find("_struct_conn.", kStructConnTags);
  if (!links.ok() || links.length() == 0) return;
  unsigned bondNum = static_cast<unsigned>(molecule.numBonds());
  // Address + '|' + alternate site -> the first atom there; '*' in place of the site for the
  // first atom whatever its site.
  std::unordered_map<std::string, Atom*> atomAt;
  atomAt.reserve(2 * molecule.numAtoms());
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    Atom& atom = molecule.atom(i);
    const Residu& residue = *atom.getResidu();
    const char code = residue.getInsertionCode();
    std::string key = siteKey(residue.getChain(), residue.getNum(), code == '\0' ? ' ' : code,
                              residue.getName(), fileNames[i]);
    key += '|';
    key += '*';
    atomAt.emplace(key, &atom);
    if (atom.getAltLoc() != '\0') {
      key.back() = atom.getAltLoc();
      atomAt.emplace(std::move(key), &atom);
    }
  }
  for (size_t i = 0; i < links.length(); ++i) {
    cif::Table::Row row = links[static_cast<int>(i)];
    if (!covalent(text(row, 0))) continue;
    Atom* partners[2] = {nullptr, nullptr};
    std::string_view symmetry[2];
    for (size_t p = 0; p < 2; ++p) {
      const size_t at = 1 + p * kPartnerColumns;
      std::string key = siteKey(either(row, at, at + 1), leadingInt(either(row, at + 4, at + 5)),
                                letter(text(row, at + 9)), either(row, at + 2, at + 3),
                                either(row, at + 6, at + 7));
      key += '|';
      const char altLoc = letter(text(row, at + 8));
      key += altLoc == ' ' ? '*' : altLoc;
      auto found = atomAt.find(key);
      if (found == atomAt.end() && altLoc != ' ') {
        key.back() = '*';
        found = atomAt.find(key);
      }
      if (found != atomAt.end()) partners[p] = found->second;
      symmetry[p] = text(row, at + 10);
    }
    Atom* a = partners[0];
    Atom* b = partners[1];
    if (a == nullptr || b == nullptr || symmetry[0] != symmetry[1]) continue;
    if (a == b || a->hasLink(b) || !a->sameConformation(*b)) continue;
    molecule.addBond(a, b, kBondSingle, bondNum++);
  }
}

}  // namespace

void CifReader::read(std::string_view data, Complex& complex, unsigned type) const {
  if (data.find_first_not_of(" \t\r\n") == std::string_view::npos) return;  // nothing at all
  cif::Document document;
  try {
    document = cif::read_memory(data.data(), data.size(), path_.c_str());
  } catch (const std::bad_alloc&) {
    throw;  // memory, not the file, ran out: the caller says so
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

  // Each model a molecule, as each MODEL of a PDB file: the driver says when a file holds
  // several.
  for (Model& model : readAtomSites(sites, type, block->name, path_, data)) {
    Molecule& molecule = *model.molecule;
    molecule.cleanResidu();
    addCovalentConnections(*block, molecule, model.fileNames);
    typeResidues(molecule);
    if (type == kMoleProtein)
      for (size_t i = 0; i < molecule.numResidues(); ++i) molecule.residu(i).checkResidu();
    if (molecule.numAtoms() > 0) complex.addMolecule(model.molecule.release());
  }
}

}  // namespace VXMole
