// MoleReader, MOL2 part: Tripos MOL2 molecules with their substructures, atoms and bonds.
#include <algorithm>  // for std::min
#include <cmath>      // for std::isfinite
#include <cstdio>     // for std::sscanf
#include <cstring>    // for std::strlen
#include <iostream>
#include <memory>
#include <new>  // for std::nothrow
#include <string>
#include <string_view>

#include "diagnostics.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"

namespace VXMole {

namespace {

// Section headers. Any line holding the tag starts a section.
const char* const kSectionTag = "@<TRIPOS>";
const char* const kMoleculeTag = "@<TRIPOS>MOLECULE";
const char* const kAtomTag = "@<TRIPOS>ATOM";
const char* const kBondTag = "@<TRIPOS>BOND";
const char* const kSubstructureTag = "@<TRIPOS>SUBSTRUCTURE";
const char* const kAtomAttributesTag = "@<TRIPOS>UNITY_ATOM_ATTR";
const char* const kCommentTag = "@<TRIPOS>COMMENT";
// The atom attribute that holds a formal charge ("charge 1", "charge -1").
const char* const kChargeAttribute = "charge";

// Record layouts, read by sscanf from a ScanBuffer.
const char* const kCountsFormat = "%d %d %d %d %d";
const char* const kAtomFormat = "%d %s %lf %lf %lf %s %d %s %lf";
const char* const kBondFormat = "%d %d %d %s";
const char* const kSubstructureFormat = "%d %s %d %s %s %s %s ";

// Fields an ATOM record needs (number, name, x, y, z, type); substructure and charge may go.
const int kAtomRequiredFields = 6;
// Fields a SUBSTRUCTURE record needs (number, name, root atom); the type word may go.
const int kSubstructureRequiredFields = 3;
const int kBondFields = 4;

bool contains(std::string_view text, const char* part) {
  return text.find(part) != std::string_view::npos;
}

// Comment lines and blank lines are not records.
bool isRecord(std::string_view line) {
  if (!line.empty() && line[0] == '#') return false;
  return line.find_first_not_of(" \t\r\f\v") != std::string_view::npos;
}

// Bond type code of a MOL2 bond type word: the first rule that matches, by substring.
int bondTypeCode(std::string_view word) {
  if (contains(word, "1")) return kBondSingle;
  if (contains(word, "2")) return kBondDouble;
  if (contains(word, "3")) return kBondTriple;
  if (contains(word, "ar")) return kBondAromatic;
  if (contains(word, "am")) return kBondAmide;
  return kBondAny;
}

// One record as the C string that sscanf reads (a line of the input is a view, not ended by a
// NUL), and room for its %s fields. The buffers are reused from one record to the next.
class ScanBuffer {
 public:
  // The record, NUL-terminated; valid until the next call.
  const char* record(std::string_view line) {
    record_.assign(line);
    return record_.c_str();
  }
  // Room for one %s field of the current record, as long as the whole record so that it cannot
  // overflow; it reads "" until sscanf fills it.
  char* field(std::string& buffer) const {
    if (buffer.size() < record_.size() + 1) buffer.resize(record_.size() + 1);
    buffer[0] = '\0';
    return &buffer[0];
  }

 private:
  std::string record_;
};

// The text sscanf left in a field buffer.
std::string fieldText(const std::string& buffer) {
  return std::string(buffer.c_str(), std::strlen(buffer.c_str()));
}

// At most how many records a file can hold: each takes at least a few characters and a line end.
unsigned recordsThatFit(std::uintmax_t bytes) {
  const std::uintmax_t kShortestRecord = 6;  // "1 A 1" and its line end
  return static_cast<unsigned>(std::min<std::uintmax_t>(bytes / kShortestRecord, 0xFFFFFFFFu));
}

void warnUnreadable(const std::string& path, const char* section, std::string_view line) {
  diagnostics() << "WARNING : unreadable " << section << " record skipped in " << path << " : \""
                << line << "\"" << std::endl;
}

void warnCutShort(const std::string& path, const char* section, unsigned read, unsigned count) {
  diagnostics() << "WARNING : " << path << " ends after " << read << " of " << count << " "
                << section << " records" << std::endl;
}

}  // namespace

void MoleReader::forgetResidues() {
  residueIndex.clear();
  residueRoots.clear();
}

std::string MoleReader::readSectionText() {
  std::string text;
  bool first = true;
  std::string_view line;
  while (!atEnd && nextLine(line)) {
    if (contains(line, kSectionTag)) {
      source_.stepBack();
      break;
    }
    if (!first) text += '\n';
    text += line;
    first = false;
  }
  return text;
}

// Blocks of one atom's attributes: "atom number, count", then that many "name value" lines.
// The formal charge is kept; other attributes are passed over.
void MoleReader::readAtomAttributes(Molecule& molecule) {
  atEnd = false;
  ScanBuffer scan;
  std::string_view line;
  while (!atEnd && nextLine(line)) {
    if (contains(line, kSectionTag)) break;
    if (!isRecord(line)) continue;
    int number = 0, count = 0;
    if (std::sscanf(scan.record(line), "%d %d", &number, &count) != 2 || number < 0 || count < 0) {
      warnUnreadable(path, "UNITY_ATOM_ATTR", line);
      continue;
    }
    Atom* atom = molecule.getAtom(static_cast<unsigned>(number));
    std::string_view attribute;
    for (int i = 0; i < count && !atEnd && nextLine(attribute); ++i) {
      if (contains(attribute, kSectionTag)) {
        source_.stepBack();
        return;
      }
      char name[32] = {};
      double value = 0;
      if (std::sscanf(scan.record(attribute), "%31s %lf", name, &value) == 2 &&
          std::string(name) == kChargeAttribute && std::isfinite(value) && atom != nullptr)
        atom->setFormalCharge(value);
    }
  }
}

bool MoleReader::readMOL2Header(std::string& name, int (&counts)[5], std::string& chargeType) {
  // The next line; "" at the end of the input.
  auto next = [this]() {
    std::string_view line;
    nextLine(line);
    return line;
  };
  bool headerFound = false;
  while (!atEnd) {
    if (contains(next(), kMoleculeTag)) {
      headerFound = true;
      break;
    }
  }
  if (!headerFound) return false;
  name = std::string(next());
  ScanBuffer scan;
  const int fields = std::sscanf(scan.record(next()), kCountsFormat, &counts[0], &counts[1],
                                 &counts[2], &counts[3], &counts[4]);
  if (!atEnd) {
    const std::string_view typeLine = next();
    // A MOLECULE section cut short: the line is already the next section's header.
    if (!atEnd && contains(typeLine, kSectionTag)) {
      source_.stepBack();
    } else if (!atEnd) {
      // The charge type, kept to be written back as read.
      std::string_view chargeLine = next();
      if (contains(chargeLine, kSectionTag)) {
        source_.stepBack();
      } else {
        const size_t first = chargeLine.find_first_not_of(" \t\r");
        const size_t last = chargeLine.find_last_not_of(" \t\r");
        if (first != std::string_view::npos)
          chargeType = std::string(chargeLine.substr(first, last - first + 1));
      }
    }
  }
  if (debug)
    std::cout << "DEBUG- NbrAt\tNbrBd\tNbrSubst\tNbrFeat\tNbrSets\n"
              << counts[0] << "\t" << counts[1] << "\t" << counts[2] << "\t" << counts[3] << "\t"
              << counts[4] << std::endl;
  return fields >= 1 && counts[0] >= 0 && counts[1] >= 0 && counts[2] >= 0;
}

MoleReader::Mol2Sections MoleReader::scanMOL2Sections(Molecule& molecule,
                                                      unsigned numSubstructures) {
  Mol2Sections sections;
  std::string_view line;
  while (!atEnd && nextLine(line)) {
    if (!contains(line, kSectionTag)) continue;
    if (contains(line, kMoleculeTag)) {
      // The next molecule's header, whatever sections this one had.
      sections.next = source_.lastLineStart();
      break;
    }
    if (contains(line, kAtomTag)) {
      sections.atoms = source_.nextLineStart();
    } else if (contains(line, kBondTag)) {
      sections.bonds = source_.nextLineStart();
    } else if (contains(line, kSubstructureTag)) {
      readMOL2Substruct(numSubstructures, &molecule);
    } else if (contains(line, kAtomAttributesTag)) {
      sections.attributes = source_.nextLineStart();
    } else if (contains(line, kCommentTag)) {
      // A second COMMENT section adds to the first.
      const std::string comment = readSectionText();
      molecule.setComment(molecule.getComment().empty() ? comment
                                                        : molecule.getComment() + "\n" + comment);
    }
  }
  return sections;
}

void MoleReader::checkMOL2Types(Molecule& molecule) {
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    Atom& atom = molecule.atom(i);
    try {
      atom.checkMOL2type(std::string());
    } catch (const MoleExcept& error) {
      // The check's report without the atom's dump that it carries (addresses in memory,
      // properties): its first line, then the atom and the file in words.
      const std::string_view location(error.location);
      const std::string_view message(error.message);
      diagnostics() << error.code << "\t" << location.substr(0, location.find('-')) << "\t"
                    << message.substr(0, message.find('\n')) << "\n"
                    << path << " : atom " << atom.getMapNum() << " (" << atom.getName()
                    << ") has the MOL2 type \"" << atom.getMOL2type()
                    << "\", which is no Tripos type" << std::endl;
    }
  }
}

void MoleReader::finishMOL2(Molecule& molecule) {
  checkMOL2Types(molecule);
  // A type that names no row of the type table (reported above) still names an element, before
  // its dot, or the atom's name does.
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    Atom& atom = molecule.atom(i);
    if (atom.getAtomicName().empty()) atom.setElementFromTypeOrName();
  }
  for (const auto& [residue, root] : residueRoots) {
    if (root >= 0) residue->setRoot(molecule.getAtom(static_cast<unsigned>(root)));
  }
  Residu* defaultResidue = molecule.getDefaultResidu();
  if (defaultResidue != nullptr && defaultResidue->numAtoms() == 0)
    molecule.delResidu(defaultResidue);
}

Molecule* MoleReader::readMOL2(unsigned type) {
  forgetResidues();
  Mol2Sections sections;
  bool sectionsReached = false;
  try {
    if (!source_.hasInput()) throw raise(kErrMol2NoFileOpened);
    // The reader goes back to remembered offsets of a file: text held as lines is not read.
    if (fromLines || atEnd || source_.atEnd()) {
      atEnd = true;
      return nullptr;
    }
    if (debug) std::cout << "#################### NEW MOL2 ####################" << std::endl;

    // Header: name, counts, molecule type word (the caller's type code stands).
    std::string name, chargeType;
    int counts[5] = {0, 0, 0, 0, 0};  // atoms, bonds, substructures, features, sets
    if (!readMOL2Header(name, counts, chargeType)) {
      atEnd = true;
      throw raise(kErrMol2NoMolecule, path);
    }
    const unsigned numAtoms = static_cast<unsigned>(counts[0]);
    const unsigned numBonds = static_cast<unsigned>(counts[1]);
    const unsigned numSubstructures = static_cast<unsigned>(counts[2]);
    // The counts only size the molecule's lists: never beyond the records the file can hold.
    const unsigned fits = recordsThatFit(inputSize());
    std::unique_ptr<Molecule> molecule(
        new (std::nothrow) Molecule(type, std::min(numAtoms, fits), std::min(numBonds, fits),
                                    std::min(numSubstructures, fits), name));
    if (!molecule) throw raise(kErrMol2CannotCreateMolecule);
    molecule->setChargeType(std::move(chargeType));

    // The substructures are read during the scan, so residues exist before any atom is read.
    sections = scanMOL2Sections(*molecule, numSubstructures);
    const bool hasNext = sections.next != kNoPosition;
    if (sections.atoms == kNoPosition && sections.bonds == kNoPosition) {
      // A molecule without atoms: go on with the next one, if any.
      if (hasNext) source_.seek(sections.next);
      atEnd = !hasNext;
      forgetResidues();
      return nullptr;
    }

    sectionsReached = true;
    if (sections.atoms != kNoPosition) {
      source_.seek(sections.atoms);
      if (debug) std::cout << "---------------------- ATOMS ---------------------" << std::endl;
      readMOL2Atom(numAtoms, molecule.get());
    }
    // A count of 0 still has its records counted: there must be none.
    if (sections.bonds != kNoPosition) {
      source_.seek(sections.bonds);
      if (debug) std::cout << "---------------------- BONDS ---------------------" << std::endl;
      readMOL2Bond(numBonds, molecule.get());
    }
    if (sections.attributes != kNoPosition) {
      source_.seek(sections.attributes);
      readAtomAttributes(*molecule);
    }
    if (hasNext) source_.seek(sections.next);
    atEnd = !hasNext;

    finishMOL2(*molecule);
    forgetResidues();
    return molecule.release();
  } catch (const MoleExcept& error) {
    // The texts that tell a failed molecule go to the standard output.
    std::cout << "ERROR WHILE READING MOLECULE :"
              << "\n"
              << error.message << std::endl;
    ringSearch = false;
    forgetResidues();
    // A faulty molecule does not hide the next one from a caller that carries on.
    if (sectionsReached) {
      if (sections.next != kNoPosition) source_.seek(sections.next);
      atEnd = sections.next == kNoPosition;
    }
    throw;
  }
}

void MoleReader::readMOL2Substruct(unsigned count, Molecule* molecule) {
  if (molecule == nullptr) return;
  if (debug) std::cout << "------------------ SUBSTRUCTURES ------------------" << std::endl;
  // Atoms of substructure "<1>" (read as "X") belong to the default residue.
  if (molecule->getDefaultResidu() != nullptr) residueIndex["1X"] = molecule->getDefaultResidu();

  ScanBuffer scan;
  std::string name, typeWord, dictionary, chain, subType;
  unsigned read = 0;
  std::string_view line;
  while (read < count && nextLine(line)) {
    if (line == "END") break;
    if (contains(line, kSectionTag)) {
      source_.stepBack();  // fewer records than announced: the next section is the caller's
      break;
    }
    if (!isRecord(line)) continue;
    ++read;
    if (debug) std::cout << line << std::endl;

    int number = 0;
    int root = 0;
    const char* record = scan.record(line);
    const int fields = std::sscanf(record, kSubstructureFormat, &number, scan.field(name), &root,
                                   scan.field(typeWord), scan.field(dictionary), scan.field(chain),
                                   scan.field(subType));
    if (fields < kSubstructureRequiredFields) {
      warnUnreadable(path, "SUBSTRUCTURE", line);
      continue;
    }
    const std::string residueName = fieldText(name);
    // Every substructure type (RESIDUE, GROUP, TEMP, DOMAIN...) is a residue of its own.
    // "****" is Tripos' text for a field that holds nothing.
    std::string residueChain = fields >= 6 ? fieldText(chain) : std::string();
    if (residueChain == "****") residueChain.clear();
    // The placeholder substructure of a small molecule.
    if (residueName.find("****") != std::string::npos && number == 1) continue;
    const std::string key = std::to_string(number) + residueName;
    if (residueIndex.count(key) != 0) continue;  // a repeated record names the same residue
    try {
      Residu* residue = molecule->addResidu(number, residueName, residueChain);
      residueRoots[residue] = root;
      residueIndex.emplace(key, residue);
      if (debug) std::cout << residue->toString() << std::flush;
    } catch (const MoleExcept& error) {
      diagnostics() << "ERROR while creating substructure : "
                    << "\n"
                    << error.message << std::endl;
    }
  }
}

std::string MoleReader::sectionCutShort(const char* section, unsigned read, unsigned count) const {
  return "\n" + currentLine() + ": the " + section + " section ends after " + std::to_string(read) +
         " of the " + std::to_string(count) + " records the MOLECULE record counts";
}

void MoleReader::refuseRecordsBeyondCount(const ErrorDef& error) {
  // A look ahead to the next section or the end of the input: reading goes on from here.
  size_t skipped = 0;
  bool beyond = false;
  source_.scanAhead([&](std::string_view line) {
    if (contains(line, kSectionTag)) return false;
    beyond = isRecord(line);
    if (!beyond) ++skipped;
    return !beyond;
  });
  if (!beyond) return;
  throw raise(error, fileAndLine(source_.lineNumberAt(source_.nextLineStart()) + skipped));
}

void MoleReader::readMOL2Atom(unsigned count, Molecule* molecule) {
  if (molecule == nullptr) return;
  atEnd = false;  // set again by nextLine if the input runs out
  ScanBuffer scan;
  std::string name, type, substructure;
  unsigned read = 0;
  std::string_view line;
  while (read < count) {
    if (!nextLine(line)) {
      warnCutShort(path, "ATOM", read, count);
      break;
    }
    if (contains(line, kSectionTag))
      throw raise(kErrMol2UnexpectedInAtomBlock, sectionCutShort("ATOM", read, count));
    if (!isRecord(line)) continue;
    ++read;
    if (debug) std::cout << line << std::endl;

    int number = 0;
    double x = 0, y = 0, z = 0;
    int substructureNum = 0;
    double charge = 0;
    const char* record = scan.record(line);
    const int fields =
        std::sscanf(record, kAtomFormat, &number, scan.field(name), &x, &y, &z, scan.field(type),
                    &substructureNum, scan.field(substructure), &charge);
    // An atom record that cannot be read ends the read: leaving it out would lose the atom and
    // every bond to it.
    if (fields < kAtomRequiredFields)
      throw raise(kErrMol2UnreadableAtom,
                  currentLine() + ": number, name, x, y, z and type are not all there");
    if (number < 0) throw raise(kErrMol2UnreadableAtom, currentLine() + ": a negative number");
    // Coordinates and charges such as "nan" or "inf" are no positions or charges.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) ||
        (fields >= 9 && !std::isfinite(charge)))
      throw raise(kErrMol2UnreadableAtom,
                  currentLine() + ": a coordinate or charge that is not a finite number");
    if (!withinReach(x, y, z)) throw raise(kErrMol2CoordinateBeyond, currentLine());

    auto atom = std::make_unique<Atom>(static_cast<unsigned>(molecule->numAtoms()),
                                       static_cast<unsigned>(number), std::string(), x, y, z,
                                       fieldText(name), fieldText(type));
    if (fields >= 9) atom->setPartialCharge(charge);

    Residu* residue = nullptr;
    if (fields >= 8) {
      std::string residueName = fieldText(substructure);
      // "<1>", "<2>"...: the placeholder of atoms outside any substructure.
      if (residueName.size() >= 3 && residueName[0] == '<' && residueName[2] == '>')
        residueName = "X";
      const std::string key = std::to_string(substructureNum) + residueName;
      auto known = residueIndex.find(key);
      if (known != residueIndex.end()) {
        residue = known->second;
      } else if (residueName != "X" && residueName.find("****") == std::string::npos) {
        // A substructure the file names only in its atom records (Open Babel writes no
        // SUBSTRUCTURE section): a residue all the same, so that its name is kept.
        residue = molecule->addResidu(substructureNum, residueName, std::string());
        residueIndex.emplace(key, residue);
      }
    }
    if (debug) std::cout << atom->toString() << std::flush;
    molecule->addAtom(atom.release(), residue);
  }
  if (read == count) refuseRecordsBeyondCount(kErrMol2MoreAtoms);
}

void MoleReader::readMOL2Bond(unsigned count, Molecule* molecule) {
  if (molecule == nullptr) return;
  atEnd = false;  // set again by nextLine if the input runs out
  ScanBuffer scan;
  std::string typeWord;
  unsigned read = 0;
  std::string_view line;
  // Every record counts, whether its bond is made or refused.
  while (read < count) {
    if (!nextLine(line)) {
      warnCutShort(path, "BOND", read, count);
      break;
    }
    if (contains(line, kSectionTag))
      throw raise(kErrMol2UnexpectedInBondBlock, sectionCutShort("BOND", read, count));
    if (!isRecord(line)) continue;
    ++read;
    if (debug) std::cout << line << std::endl;

    int number = 0, first = 0, second = 0;
    const char* record = scan.record(line);
    const int fields =
        std::sscanf(record, kBondFormat, &number, &first, &second, scan.field(typeWord));
    // A bond record that cannot be read ends the read, as an atom record does: the bond would be
    // lost. A bond that is read but refused (to an atom that is not there) is reported below.
    if (fields < kBondFields)
      throw raise(kErrMol2UnreadableBond,
                  currentLine() + ": number, atoms and type are not all there");
    if (number < 0 || first < 0 || second < 0)
      throw raise(kErrMol2UnreadableBond, currentLine() + ": a negative number");
    try {
      molecule->addBond(static_cast<unsigned>(first), static_cast<unsigned>(second),
                        bondTypeCode(fieldText(typeWord)), static_cast<unsigned>(number));
    } catch (const MoleExcept& error) {
      diagnostics() << "ERROR while creating bond : "
                    << "\n"
                    << error.message << std::endl;
      // The atoms of a refused bond are told on the standard output.
      std::cout << "ATOM INVOLDED : " << first << " " << second << std::endl;
      if (error.code == 103) throw;
    }
  }
  if (read == count) refuseRecordsBeyondCount(kErrMol2MoreBonds);
}

}  // namespace VXMole
