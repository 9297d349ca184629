// MoleReader: input sources, line access and the PDB reader.
#include "molereader.h"

#include <sys/stat.h>  // for stat: only regular files are inputs

#include <algorithm>
#include <cctype>
#include <cmath>  // for std::isfinite
#include <cstdint>
#include <cstring>  // for std::memchr
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "pdbrecord.h"
#include "residueassembler.h"
#include "residuetyping.h"
#include "tables.h"

namespace VXMole {

int MoleReader::debug = 0;

namespace {

// White space stripped from COMPND and CONECT records.
const std::string kWhiteSpace = " \t\f\v\n\r";
// HETATM residues kept only on request when a protein is read.
const std::string kCofactors =
    " ACO ACP ADP AMP ANP ATP H4B CDP CMP COA CAA CAO CTP FAD FMN GDP GMP GNP GTP NAD NAP NAI NDO "
    "NDP MCA SCA TPP UMP ";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and input sources

MoleReader::MoleReader() = default;

MoleReader::MoleReader(std::string filePath, unsigned formatCode) {
  if (filePath.empty()) throw raise(kErrReaderNoFile);
  path = std::move(filePath);
  if (!setFormat(formatCode)) throw raise(kErrReaderUnknownFormat, formatTag(path));
  atEnd = false;
  opened = false;
  fromLines = false;
  if (!Open()) throw raise(kErrReaderCannotOpen, path);
}

MoleReader::MoleReader(const std::vector<std::string>& input, unsigned formatCode) {
  if (input.empty()) throw raise(kErrReaderNoLines);
  format = formatCode;
  opened = true;
  fromLines = true;
  atEnd = false;
  lines = input;
  lineCursor = 0;
}

MoleReader::~MoleReader() {
  lines.clear();
  residueIndex.clear();
  if (file.is_open()) file.close();
}

bool MoleReader::setFormat(unsigned code) {
  if (code < kFormatDetect) {
    format = code;
    return true;
  }
  const unsigned detected = formatOfName(path);
  if (detected == 0) return false;
  format = detected;
  return true;
}

unsigned MoleReader::formatOfName(const std::string& name) {
  const std::string tag = formatTag(name);
  if (tag == "mol2" || tag == "MOL2") return kFormatMol2;
  if (tag == ".pdb" || tag == ".PDB") return kFormatPdb;
  return 0;
}

std::string MoleReader::formatTag(const std::string& name) {
  return name.size() < 4 ? name : name.substr(name.size() - 4);
}

bool MoleReader::Open() {
  fromText_ = false;
  std::string().swap(text_);
  if (!file.fail() && !file.bad()) close();
  // A stream left open after a failed read could not take a new file.
  if (file.is_open()) file.close();
  if (debug) std::cout << "DEBUG -- Opening file " << path << std::endl;
  file.clear();
  // Only a regular file is an input: a directory opens like a file on Linux but fails every
  // read, a FIFO blocks the open until a writer comes, and a device such as /dev/zero never
  // ends. Nothing is opened for them.
  struct stat status;
  if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
    // The reader keeps its own block of the file, so the stream needs no buffer of its own.
    file.rdbuf()->pubsetbuf(nullptr, 0);
    file.open(path, std::ios::in | std::ios::binary);
  }
  if (!file.is_open()) {
    file.setstate(std::ios::failbit);
    return false;
  }
  startReading();
  return true;
}

void MoleReader::startReading() {
  if (!block_) block_ = std::make_unique<char[]>(kReadBufferBytes);
  resetBlock(0);
  conectAfterModels_.clear();
  conectAfterModelsRead_ = false;
  modelsEnded_ = 0;
  atEnd = false;
  opened = true;
}

void MoleReader::close() {
  if (!opened || fromLines) return;
  file.close();  // marks the stream failed when closing fails
}

void MoleReader::loadNewFile(std::string filePath, unsigned formatCode) {
  if (filePath.empty()) throw raise(kErrReaderLoadNoFile);
  const std::string previousPath = path;
  path = filePath;
  if (!setFormat(formatCode)) {
    const std::string tag = formatTag(path);
    path = previousPath;
    throw raise(kErrReaderLoadUnknownFormat, tag);
  }
  residueIndex.clear();
  if (opened) close();
  atEnd = false;
  opened = false;
  path = std::move(filePath);
  if (!Open()) throw raise(kErrReaderLoadCannotOpen, path);
}

void MoleReader::loadText(std::string textPath, unsigned formatCode, std::string text) {
  residueIndex.clear();
  if (opened) close();
  if (file.is_open()) file.close();
  file.clear();
  path = std::move(textPath);
  format = formatCode;
  text_ = std::move(text);
  fromText_ = true;
  fromLines = false;
  startReading();
}

std::uintmax_t MoleReader::inputSize() const {
  if (fromText_) return text_.size();
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(path, error);
  return error ? 0 : bytes;
}

// ---------------------------------------------------------------------------------------------
// Lines

void MoleReader::resetBlock(std::streamoff offset) {
  blockBegin_ = 0;
  blockEnd_ = 0;
  blockOffset_ = offset;
  lastLineStart_ = offset;
  inputEnded_ = false;
}

bool MoleReader::fillBlock() {
  if (!hasInput() || inputEnded_) return false;
  blockOffset_ += static_cast<std::streamoff>(blockEnd_);
  blockBegin_ = 0;
  blockEnd_ = 0;
  if (fromText_) {
    const auto at = static_cast<size_t>(blockOffset_);
    if (at < text_.size()) {
      blockEnd_ = std::min(kReadBufferBytes, text_.size() - at);
      std::memcpy(block_.get(), text_.data() + at, blockEnd_);
      return true;
    }
    inputEnded_ = true;
    return false;
  }
  file.read(block_.get(), static_cast<std::streamsize>(kReadBufferBytes));
  blockEnd_ = static_cast<size_t>(file.gcount());
  if (blockEnd_ > 0) return true;
  if (file.bad()) {
    atEnd = true;
    throw raise(kErrReadFailed, path);
  }
  inputEnded_ = true;
  return false;
}

void MoleReader::seekLine(std::streamoff offset) {
  if (!fromText_) {
    file.clear();
    file.seekg(offset);
  }
  resetBlock(offset);
}

std::string MoleReader::getLine() {
  std::string line;
  readLine(line);
  return line;
}

void MoleReader::readLine(std::string& line) {
  line.clear();
  if (fromLines) {
    if (lineCursor + 1 >= lines.size()) {
      atEnd = true;
      std::cerr << "Unexpected end of line" << std::endl;
      return;
    }
    line = lines[++lineCursor];
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return;
  }
  lastLineStart_ = nextLineStart();
  bool any = false;  // bytes of this line were found
  auto append = [&](const char* from, const char* to) {
    if (line.size() + static_cast<size_t>(to - from) > kMaxLineBytes) {
      line.clear();
      atEnd = true;
      throw raise(kErrLineTooLong, path);
    }
    line.append(from, to);
  };
  while (true) {
    if (blockBegin_ == blockEnd_ && !fillBlock()) {
      if (!any) {
        atEnd = true;
        std::cerr << "Unexpected end of file" << std::endl;
      }
      return;  // a last line without a line end is a line all the same
    }
    any = true;
    const char* begin = block_.get() + blockBegin_;
    const char* end = block_.get() + blockEnd_;
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
    const char* stop = lf != nullptr ? lf : end;
    const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', stop - begin));
    const char* lineEnd = cr != nullptr ? cr : lf;
    if (lineEnd == nullptr) {
      append(begin, end);
      blockBegin_ = blockEnd_;
      continue;
    }
    append(begin, lineEnd);
    blockBegin_ = static_cast<size_t>(lineEnd - block_.get()) + 1;
    if (*lineEnd == '\r') {
      // CR LF is one line end; a CR at the end of the block looks at the next block's start.
      if (blockBegin_ == blockEnd_) fillBlock();
      if (blockBegin_ < blockEnd_ && block_[blockBegin_] == '\n') ++blockBegin_;
    }
    return;
  }
}

const std::vector<std::string>& MoleReader::modelConect() {
  static const std::vector<std::string> kNone;
  if (!conectAfterModelsRead_) {
    conectAfterModelsRead_ = true;
    readConectAfterModels();
  }
  const size_t model = modelsEnded_++;
  if (model >= conectAfterModels_.size()) return kNone;
  if (!conectAfterModels_[model].empty()) return conectAfterModels_[model];
  return conectAfterModels_.back();
}

void MoleReader::readConectAfterModels() {
  // The rest of the input, from the line after the current one, up to an END line.
  std::vector<std::string> rest;
  if (fromLines) {
    for (size_t i = lineCursor + 1; i < lines.size(); ++i) rest.push_back(lines[i]);
  } else {
    std::string text;
    if (fromText_) {
      text = text_.substr(std::min(text_.size(), static_cast<size_t>(nextLineStart())));
    } else {
      std::ifstream ahead(path, std::ios::in | std::ios::binary);
      ahead.seekg(nextLineStart());
      text.assign(std::istreambuf_iterator<char>(ahead), std::istreambuf_iterator<char>());
    }
    size_t at = 0;
    while (at < text.size()) {
      size_t stop = text.find_first_of("\r\n", at);
      if (stop == std::string::npos) stop = text.size();
      rest.push_back(text.substr(at, stop - at));
      at = stop + 1;
      if (stop < text.size() && text[stop] == '\r' && at < text.size() && text[at] == '\n') ++at;
    }
  }
  conectAfterModels_.emplace_back();
  bool inModel = false;
  for (std::string& line : rest) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "END") break;
    if (line.compare(0, 5, "MODEL") == 0) {
      inModel = true;
      conectAfterModels_.emplace_back();  // the block after the next ENDMDL
    } else if (line.compare(0, 6, "ENDMDL") == 0) {
      inModel = false;
    } else if (!inModel && line.compare(0, 6, "CONECT") == 0) {
      conectAfterModels_.back().push_back(line);
    }
  }
}

namespace {

// A raw column range for the debug dump: "" past the line's end.
std::string_view rawColumns(std::string_view line, size_t start, size_t width) {
  return start > line.size() ? std::string_view() : line.substr(start, width);
}

// The columns of an atom record, as the debug switch shows them.
void dumpColumns(std::string_view line, const std::string& delimiters) {
  const std::string_view head = line.substr(0, 6);
  const std::string type(head.substr(0, head.find_first_of(delimiters)));
  if (!appartient(type, "ATOM , HETATM")) return;
  std::cout << "BEGIN tokenize :" << type << "\n" << line << "\n";
  std::cout << "Num = " << rawColumns(line, 6, 5) << " ; Name = " << rawColumns(line, 12, 4)
            << " ; Residu = " << rawColumns(line, 17, 3)
            << " ; Chain =  " << rawColumns(line, 21, 1)
            << " ; Res ID : " << rawColumns(line, 22, 4) << " ; X = " << rawColumns(line, 30, 8)
            << " ; Y = " << rawColumns(line, 38, 8) << " ; Z = " << rawColumns(line, 46, 8);
  if (line.size() >= 60) std::cout << " ; Occup  = " << rawColumns(line, 54, 6);
  if (line.size() >= 66) std::cout << " ; Heat = " << rawColumns(line, 60, 6);
  if (line.size() >= 78) std::cout << " ; col = " << rawColumns(line, 76, 2);
  std::cout << "\nEND tokenize " << std::endl;
}

}  // namespace

void MoleReader::tokenize(const std::string& line, std::map<std::string, std::string>& fields,
                          const std::string& delimiters) {
  if (debug) dumpColumns(line, delimiters);
  pdb::tokenize(line, fields, delimiters);
}

// ---------------------------------------------------------------------------------------------
// Molecules

Molecule* MoleReader::loadNextMole(unsigned type) {
  ringSearch = true;
  residueIndex.clear();
  Molecule* molecule = nullptr;
  if (format == kFormatMol2) {
    molecule = readMOL2(type);
    if (molecule != nullptr && ringSearch && type != kMoleCalcs) molecule->search_cycle();
  } else if (format == kFormatPdb) {
    molecule = readPDB(type, true, true);
  } else {
    return nullptr;
  }
  if (molecule != nullptr && type == kMoleProtein) {
    for (size_t i = 0; i < molecule->numResidues(); ++i) molecule->residu(i).checkResidu();
  }
  return molecule;
}

void MoleReader::loadInComplex(Complex& complex, unsigned type) {
  while (!atEnd) {
    // Nothing to read from: an unknown format, or a file that is no longer open, would never
    // reach its end.
    if ((format != kFormatMol2 && format != kFormatPdb) || (!fromLines && !hasInput())) {
      atEnd = true;
      break;
    }
    std::unique_ptr<Molecule> molecule(loadNextMole(type));
    if (!molecule) continue;
    if (type == kMoleProtein) {
      for (size_t i = 0; i < molecule->numResidues(); ++i) molecule->residu(i).checkResidu();
    }
    if (molecule->numAtoms() > 0) complex.addMolecule(molecule.release());
  }
}

namespace {

// Atoms by their PDB atom number. Numbers repeat where a file's numbering wraps (past 99,999, or
// a molecule numbered from 1 again): a wrap starts at every atom whose number is lower than
// the one before it, and an atom number names at most one atom of each wrap (the first).
class AtomNumbers {
 public:
  void add(unsigned serial, Atom* atom) { atoms_.push_back({serial, 0, atom, kNone}); }

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

  // Every number once, ascending, with its first atom: the dump of the unreadable-file path.
  void dump(std::ostream& out) const {
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
  // The index covers every atom added; built only once CONECT records need it, since most
  // protein files have none.
  // A wrap starts where a number comes back that the current wrap already holds (numbering
  // past 99,999 that starts again, a second block numbered from 1); numbers that merely go
  // down are one numbering.
  void index() {
    if (indexed_ == 0) latest_.reserve(atoms_.size());
    for (; indexed_ < atoms_.size(); ++indexed_) {
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

  std::vector<Entry> atoms_;
  std::unordered_map<unsigned, size_t> latest_;  // number -> its entry in the latest wrap
  size_t indexed_ = 0;                           // entries of atoms_ in latest_ so far
  unsigned wrap_ = 0;                            // the wrap of the last atom indexed
};

}  // namespace

Molecule* MoleReader::readPDB(unsigned type, bool keepCofactors, bool keepWaters) {
  if (!fromLines && !hasInput()) {
    std::cerr << "No file opened " << std::endl;
    return nullptr;
  }
  if (!fromLines && inputEnded_) {
    atEnd = true;
    return nullptr;
  }

  auto* molecule = new Molecule(type, 0, 0, 0, std::string());
  residueIndex.clear();
  std::map<std::string, std::string> fields;
  AtomNumbers atomNumbers;
  ResidueAssembler assembler(*molecule);
  unsigned bondCounter = 0;

  // Bonds of a CONECT record, each made once, whichever of its atoms' records lists it.
  auto readConect = [&](const std::string& record) {
    unsigned numbers[5];
    pdb::readConectNumbers(record, numbers);
    Atom* atoms[5];
    if (debug) {
      std::cout << "CONNECT : " << record.size();
      for (int i = 0; i < 4; ++i) std::cout << " ; Atom" << i + 1 << " = " << numbers[i];
      std::cout << std::endl;
    }
    if (!atomNumbers.resolve(numbers, atoms)) return;
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
      molecule->addBond(atoms[0], partner, order, bondCounter++);
      if (debug)
        std::cout << "Create bond : " << atoms[0]->getIdentifier() << " - "
                  << partner->getIdentifier() << std::endl;
    }
  };

  bool modelEnded = false;
  std::string line;  // one buffer for every line
  try {
    while (!atEnd) {
      readLine(line);
      if (line == "END") break;
      if (line.compare(0, 6, "ENDMDL") == 0) {
        modelEnded = true;  // each model is a molecule of its own
        break;
      }

      if (line.compare(0, 6, "COMPND") == 0) {
        line.erase(line.find_last_not_of(kWhiteSpace) + 1);
        line.erase(0, 7);
        const size_t first = line.find_first_not_of(kWhiteSpace);
        molecule->setName(first == std::string::npos ? std::string() : line.substr(first));
        continue;
      }

      if (line.compare(0, 4, "ATOM") == 0 ||
          line.substr(0, 6).find("HETATM") != std::string::npos) {
        if (debug) {
          fields.clear();
          try {
            tokenize(line, fields, pdb::kDelimiters);
          } catch (const std::exception&) {
          }
          std::cout << line << "\n";
          for (const auto& [key, value] : fields) std::cout << key << " => " << value << "\n";
          std::cout << std::flush;
        }
        pdb::AtomFields f;
        if (!pdb::cutAtomRecord(line, f, fields)) continue;  // throws for an unreadable record

        const std::string_view residueName = f.res;
        std::string_view name = f.name;
        if (type == kMoleProtein && f.type == "HETATM") {
          if (!keepCofactors &&
              kCofactors.find(" " + std::string(residueName) + " ") != std::string::npos)
            continue;
          if (!keepWaters && residueName == "HOH" && name == "O") continue;
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
        record.at =
            Coords(pdb::readCoordinate(f.x), pdb::readCoordinate(f.y), pdb::readCoordinate(f.z));
        record.formalCharge = pdb::readFormalCharge(f.charge);
        // An ion without an element column is named as its residue ("CA", "CL", "NA"): the name
        // is then the element's two letters, not calcium read as carbon.
        if (record.element.empty() && f.type == "HETATM" && name.size() == 2 &&
            name == residueName && elementOfSymbol(name) != nullptr)
          record.element = name;
        // "nan" and "inf" read as numbers but are no positions.
        if (!std::isfinite(record.at.x) || !std::isfinite(record.at.y) ||
            !std::isfinite(record.at.z))
          throw std::invalid_argument("coordinate is not a finite number");
        Atom* atom = assembler.add(record);
        if (debug) std::cout << atom->toString() << std::flush;
        atomNumbers.add(record.serial, atom);
        continue;
      }

      if (line.compare(0, 6, "CONECT") == 0) readConect(line);
    }
    if (modelEnded)
      for (const std::string& record : modelConect()) readConect(record);
  } catch (const MoleExcept& error) {
    if (error.code == kErrLineTooLong.code || error.code == kErrReadFailed.code) {
      residueIndex.clear();
      delete molecule;
      throw;  // the input itself is unreadable: nothing of it is kept
    }
    std::cerr << error.code << std::endl;
  } catch (const std::exception& error) {
    atomNumbers.dump(std::cout);
    std::cout << std::flush;
    std::cerr << "Error while reading " << path << "\n"
              << "Reason : " << error.what() << std::endl;
    residueIndex.clear();
    delete molecule;
    throw raise(kErrPdbUnreadable, path);
  }

  molecule->cleanResidu();
  defProps(molecule);
  return molecule;
}
void MoleReader::defProps(Molecule* molecule) {
  if (molecule != nullptr) typeResidues(*molecule);
}

}  // namespace VXMole
