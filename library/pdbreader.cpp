// MoleReader, PDB part: ATOM, HETATM, COMPND and CONECT records and models into a molecule.
#include <algorithm>
#include <cctype>  // for std::isalnum
#include <cmath>   // for std::isfinite
#include <iostream>
#include <map>
#include <memory>
#include <new>  // for std::bad_alloc
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "diagnostics.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "pdbrecord.h"
#include "residueassembler.h"
#include "tables.h"

namespace VXMole {

namespace {

// White space stripped from COMPND records.
const std::string kWhiteSpace = " \t\f\v\n\r";
// HETATM residues kept only on request when a protein is read.
const std::string kCofactors =
    " ACO ACP ADP AMP ANP ATP H4B CDP CMP COA CAA CAO CTP FAD FMN GDP GMP GNP GTP NAD NAP NAI NDO "
    "NDP MCA SCA TPP UMP ";

// The molecule's atoms by their PDB atom number (their map number), indexed in the order they
// were read. Numbers repeat where a file's numbering wraps (past 99,999, or a molecule numbered
// from 1 again): a wrap starts where a number comes back that the current wrap already holds,
// and an atom number names at most one atom of each wrap (the first).
class AtomNumbers {
 public:
  explicit AtomNumbers(Molecule& molecule) : molecule_(molecule) {}

  // The atoms of a CONECT record: its first atom and its partners, null where a number names
  // none. With one numbering, each number names its atom. Where numbers repeat, the record's
  // atoms all come from one wrap: the wrap of the first number whose partners lie within
  // kWrappedBondReach of it (the most of them, then the nearest); a partner beyond that reach
  // belongs to another wrap and is none. False when the first number names no atom.
  bool resolve(const unsigned (&numbers)[5], Atom* (&atoms)[5]) {
    index();
    auto first = latest_.find(numbers[0]);
    if (numbers[0] == 0 || first == latest_.end()) return false;
    size_t chosen = first->second;
    if (wrap_ > 0) {
      int bestCount = -1;
      double bestLongest = 0;
      for (size_t at = first->second; at != kNone; at = atoms_[at].previous) {
        int count = 0;
        double longest = 0;
        for (int i = 1; i < 5; ++i) {
          const Atom* partner = numbers[i] == 0 ? nullptr : find(numbers[i], atoms_[at].wrap);
          if (partner == nullptr) continue;
          const double d = distance(*atoms_[at].atom, *partner);
          if (d > kWrappedBondReach) continue;
          ++count;
          longest = std::max(longest, d);
        }
        if (count > bestCount || (count == bestCount && longest < bestLongest)) {
          chosen = at;
          bestCount = count;
          bestLongest = longest;
        }
      }
    }
    atoms[0] = atoms_[chosen].atom;
    for (int i = 1; i < 5; ++i) {
      atoms[i] = numbers[i] == 0 ? nullptr : find(numbers[i], atoms_[chosen].wrap);
      if (wrap_ > 0 && atoms[i] != nullptr && distance(*atoms[0], *atoms[i]) > kWrappedBondReach)
        atoms[i] = nullptr;
    }
    return true;
  }

  // Every number once, ascending, with its first atom: the debug dump of an unreadable file.
  void dump(std::ostream& out) {
    index();
    std::vector<std::pair<unsigned, const Atom*>> sorted;
    for (const Entry& entry : atoms_) sorted.emplace_back(entry.serial, entry.atom);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < sorted.size(); ++i) {
      if (i > 0 && sorted[i].first == sorted[i - 1].first) continue;
      out << sorted[i].first << "\t" << static_cast<const void*>(sorted[i].second) << "\n";
    }
  }

 private:
  static constexpr size_t kNone = static_cast<size_t>(-1);
  struct Entry {
    unsigned serial;
    unsigned wrap;
    Atom* atom;
    size_t previous;  // the same number's entry in the wrap before, kNone when none
  };
  // The index covers every atom of the molecule so far; it is built only once CONECT records
  // need it, since most protein files have none.
  // A wrap starts where a number comes back that the current wrap already holds (numbering
  // past 99,999 that starts again, a second block numbered from 1); numbers that merely go
  // down are one numbering.
  void index() {
    if (indexed_ == molecule_.numAtoms()) return;
    atoms_.reserve(molecule_.numAtoms());
    latest_.reserve(molecule_.numAtoms());
    for (; indexed_ < molecule_.numAtoms(); ++indexed_) {
      Atom& atom = molecule_.atom(indexed_);
      atoms_.push_back({atom.getMapNum(), 0, &atom, kNone});
      Entry& entry = atoms_[indexed_];
      auto head = latest_.find(entry.serial);
      if (head != latest_.end() && atoms_[head->second].wrap == wrap_ && entry.serial != 0) ++wrap_;
      entry.wrap = wrap_;
      if (head == latest_.end()) {
        latest_.emplace(entry.serial, indexed_);
      } else if (atoms_[head->second].wrap != wrap_) {
        entry.previous = head->second;
        head->second = indexed_;
      }  // else a number 0 repeated: no atom, the first one stands
    }
  }

  // Two atoms that a CONECT record of a file with repeated numbers bonds lie at most this far
  // apart (Å): covalent and metal bonds are shorter.
  static constexpr double kWrappedBondReach = 4.0;
  static double distance(const Atom& a, const Atom& b) {
    return a.getFixedCoords().calcDist(b.getFixedCoords());
  }

  Atom* find(unsigned serial, unsigned wrap) const {
    auto head = latest_.find(serial);
    if (head == latest_.end()) return nullptr;
    for (size_t at = head->second; at != kNone; at = atoms_[at].previous) {
      if (atoms_[at].wrap == wrap) return atoms_[at].atom;
      if (atoms_[at].wrap < wrap) break;
    }
    return nullptr;
  }

  Molecule& molecule_;
  std::vector<Entry> atoms_;                     // by the atom's position in the molecule
  std::unordered_map<unsigned, size_t> latest_;  // number -> its entry in the latest wrap
  size_t indexed_ = 0;                           // atoms of the molecule indexed so far
  unsigned wrap_ = 0;                            // the wrap of the last atom indexed
};

// Older files end every record with the entry's code and the line's number in columns 73-80
// ("1HPV   3"): four letters or digits, then a number right-aligned.
constexpr size_t kLegacyIdentifierColumn = 72;

bool hasLegacyIdentifier(std::string_view record) {
  if (record.size() < kLegacyIdentifierColumn + 5) return false;
  std::string_view tail = record.substr(kLegacyIdentifierColumn, 8);
  const size_t end = tail.find_last_not_of(kWhiteSpace);
  if (end == std::string_view::npos || end < 4) return false;
  tail = tail.substr(0, end + 1);
  for (size_t i = 0; i < 4; ++i)
    if (!std::isalnum(static_cast<unsigned char>(tail[i]))) return false;
  const std::string_view number = tail.substr(4);
  const size_t start = number.find_first_not_of(' ');
  return start != std::string_view::npos &&
         number.substr(start).find_first_not_of("0123456789") == std::string_view::npos &&
         record[kLegacyIdentifierColumn - 1] == ' ';
}

// One molecule being built from PDB records: its name, its atoms (by number) and their
// residues, and the bonds of its CONECT records.
class PdbMolecule {
 public:
  PdbMolecule(Molecule& molecule, unsigned type, bool keepCofactors, bool keepWaters)
      : molecule_(molecule),
        type_(type),
        keepCofactors_(keepCofactors),
        keepWaters_(keepWaters),
        atomNumbers_(molecule),
        assembler_(molecule) {}

  // The text of a COMPND record after its first seven characters, trimmed, names the molecule:
  // without the continuation number of columns 8-10, nor the entry code and line number that
  // older files keep in columns 73-80.
  void setName(std::string_view record) const {
    if (hasLegacyIdentifier(record)) record = record.substr(0, kLegacyIdentifierColumn);
    record = record.substr(0, record.find_last_not_of(kWhiteSpace) + 1);
    record.remove_prefix(std::min<size_t>(7, record.size()));
    const size_t digits = record.substr(0, 3).find_first_not_of(' ');
    if (record.size() > 3 && digits != std::string_view::npos &&
        record.substr(digits, 3 - digits).find_first_not_of("0123456789") == std::string_view::npos)
      record.remove_prefix(3);  // a continuation number in columns 8-10
    const size_t first = record.find_first_not_of(kWhiteSpace);
    molecule_.setName(first == std::string_view::npos ? std::string()
                                                      : std::string(record.substr(first)));
  }

  // The atom of an ATOM or HETATM record. Throws a standard exception for a record that cannot
  // be read (cut short, a blank field, a coordinate that is no finite number).
  void addAtom(std::string_view line);

  // Bonds of a CONECT record, each made once, whichever of its atoms' records lists it.
  void addConect(std::string_view record);

  void dumpAtomNumbers(std::ostream& out) { atomNumbers_.dump(out); }

 private:
  Molecule& molecule_;
  const unsigned type_;  // the molecule type code; 2 (protein) filters HETATM records
  const bool keepCofactors_, keepWaters_;
  AtomNumbers atomNumbers_;
  ResidueAssembler assembler_;
  unsigned bondCounter_ = 0;                    // identifier of the next CONECT bond
  std::map<std::string, std::string> scratch_;  // fields of a record cut by tokenize
};

void PdbMolecule::addAtom(std::string_view line) {
  pdb::AtomFields f;
  if (!pdb::cutAtomRecord(line, f, scratch_)) return;
  const std::string_view residueName = f.res;
  const std::string_view name = f.name;
  if (type_ == kMoleProtein && f.type == "HETATM") {
    if (!keepCofactors_ &&
        kCofactors.find(" " + std::string(residueName) + " ") != std::string::npos)
      return;
    if (!keepWaters_ && residueName == "HOH" && name == "O") return;
  }

  AtomRecord record;
  record.serial = pdb::readAtomNumber(f.num);
  record.name = name;
  record.element = f.element;
  record.altLoc = f.altLoc;
  record.residueName = residueName;
  record.chain = f.chain;
  record.residueNumber = pdb::readResidueNumber(f.resId);
  record.insertionCode = f.insertionCode;
  record.at = Coords(pdb::readCoordinate(f.x), pdb::readCoordinate(f.y), pdb::readCoordinate(f.z));
  record.formalCharge = pdb::readFormalCharge(f.charge);
  // An ion without an element column is named as its residue ("CA", "CL", "NA"): the name is
  // then the element's two letters, not calcium read as carbon.
  if (record.element.empty() && f.type == "HETATM" && name.size() == 2 && name == residueName &&
      elementOfSymbol(name) != nullptr)
    record.element = name;
  // "nan" and "inf" read as numbers but are no positions.
  if (!std::isfinite(record.at.x) || !std::isfinite(record.at.y) || !std::isfinite(record.at.z))
    throw std::invalid_argument("coordinate is not a finite number");
  // Nor is "1e308": readPDB names the file and the line.
  if (!withinReach(record.at.x, record.at.y, record.at.z)) throw raise(kErrPdbCoordinateBeyond);
  Atom* atom = assembler_.add(record);
  if (MoleReader::debug) std::cout << atom->toString() << std::flush;
}

void PdbMolecule::addConect(std::string_view record) {
  unsigned numbers[5];
  pdb::readConectNumbers(record, numbers);
  if (MoleReader::debug) {
    std::cout << "CONNECT : " << record.size();
    for (int i = 0; i < 4; ++i) std::cout << " ; Atom" << i + 1 << " = " << numbers[i];
    std::cout << std::endl;
  }
  Atom* atoms[5];
  if (!atomNumbers_.resolve(numbers, atoms)) return;
  for (int i = 1; i < 5; ++i) {
    Atom* partner = atoms[i];
    if (partner == nullptr || partner == atoms[0]) continue;
    if (!atoms[0]->sameConformation(*partner)) continue;  // two alternate sites
    // A partner listed twice or three times in one record is a double or triple bond, as
    // Open Babel and RDKit write bond orders.
    int order = 0;
    for (int j = 1; j < 5; ++j) order += atoms[j] == partner ? 1 : 0;
    order = std::min(order, static_cast<int>(kBondTriple));
    if (Bond* existing = atoms[0]->getBond(partner)) {
      if (order > existing->getType() && existing->getType() <= kBondTriple)
        existing->setType(order);
      continue;
    }
    molecule_.addBond(atoms[0], partner, order, bondCounter_++);
    if (MoleReader::debug)
      std::cout << "Create bond : " << atoms[0]->getIdentifier() << " - "
                << partner->getIdentifier() << std::endl;
  }
}

}  // namespace

Molecule* MoleReader::readPDB(unsigned type, bool keepCofactors, bool keepWaters) {
  if (!source_.hasInput()) {
    diagnostics() << "No file opened " << std::endl;
    return nullptr;
  }
  if (!fromLines && source_.atEnd()) {
    atEnd = true;
    return nullptr;
  }

  auto molecule = std::make_unique<Molecule>(type, 0, 0, 0, std::string());
  residueIndex.clear();
  PdbMolecule reading(*molecule, type, keepCofactors, keepWaters);
  bool modelEnded = false;
  std::string_view line;
  try {
    while (!atEnd && nextLine(line)) {
      if (line == "END") break;
      if (startsWith(line, "ENDMDL")) {
        modelEnded = true;  // each model is a molecule of its own
        break;
      }
      if (startsWith(line, "COMPND")) {
        reading.setName(line);
      } else if (startsWith(line, "ATOM") || line.substr(0, 6).find("HETATM") != line.npos) {
        if (debug) {
          std::map<std::string, std::string> fields;
          try {
            tokenize(std::string(line), fields, pdb::kDelimiters);
          } catch (const std::exception&) {
          }
          std::cout << line << "\n";
          for (const auto& [key, value] : fields) std::cout << key << " => " << value << "\n";
          std::cout << std::flush;
        }
        reading.addAtom(line);
      } else if (startsWith(line, "CONECT")) {
        reading.addConect(line);
      }
    }
    if (modelEnded)
      for (std::string_view record : modelConect()) reading.addConect(record);
  } catch (const MoleExcept& error) {
    if (error.code == kErrLineTooLong.code || error.code == kErrReadFailed.code) {
      residueIndex.clear();
      throw;  // the input itself is unreadable: nothing of it is kept
    }
    if (error.code == kErrPdbCoordinateBeyond.code) {
      residueIndex.clear();
      throw raise(kErrPdbCoordinateBeyond, currentLine());
    }
    diagnostics() << error.code << std::endl;
  } catch (const std::bad_alloc&) {
    residueIndex.clear();
    throw;  // memory, not the file, ran out: the caller says so
  } catch (const std::exception& error) {
    if (debug) {
      reading.dumpAtomNumbers(std::cout);
      std::cout << std::flush;
    }
    diagnostics() << "Error while reading " << path << "\n"
                  << "Reason : " << error.what() << "\n"
                  << "Line : " << source_.lineNumberAt(source_.lastLineStart()) << std::endl;
    residueIndex.clear();
    throw raise(kErrPdbUnreadable, path);
  }

  molecule->cleanResidu();
  defProps(molecule.get());
  return molecule.release();
}

// ---------------------------------------------------------------------------------------------
// Models

const std::vector<std::string_view>& MoleReader::modelConect() {
  static const std::vector<std::string_view> kNone;
  if (!conectAfterModelsScanned_) {
    conectAfterModelsScanned_ = true;
    scanConectAfterModels();
  }
  const size_t model = modelsEnded_++;
  if (model >= conectAfterModels_.size()) return kNone;
  if (!conectAfterModels_[model].empty()) return conectAfterModels_[model];
  return conectAfterModels_.back();
}

void MoleReader::scanConectAfterModels() {
  // The rest of the input, from the line after the current one, up to an END line.
  conectAfterModels_.emplace_back();
  bool inModel = false;
  source_.scanAhead([&](std::string_view line) {
    if (line == "END") return false;
    if (startsWith(line, "MODEL")) {
      inModel = true;
      conectAfterModels_.emplace_back();  // the block after the next ENDMDL
    } else if (startsWith(line, "ENDMDL")) {
      inModel = false;
    } else if (!inModel && startsWith(line, "CONECT")) {
      conectAfterModels_.back().push_back(line);
    }
    return true;
  });
}

}  // namespace VXMole
