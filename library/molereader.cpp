// MoleReader: input sources, formats, lines, and molecules one after another or into a complex.
#include "molereader.h"

#include <cctype>   // for std::tolower
#include <cstring>  // for std::strlen
#include <iostream>
#include <memory>
#include <utility>

#include "complex.h"
#include "diagnostics.h"
#include "global.h"
#include "molecule.h"
#include "pdbqtreader.h"
#include "pdbrecord.h"
#include "residuetyping.h"
#include "sdfreader.h"

namespace VXMole {

int MoleReader::debug = 0;

// ---------------------------------------------------------------------------------------------
// Construction and input sources

MoleReader::MoleReader() = default;

MoleReader::MoleReader(std::string filePath, unsigned formatCode) {
  if (filePath.empty()) throw raise(kErrReaderNoFile);
  path = std::move(filePath);
  if (!setFormat(formatCode)) throw raise(kErrReaderUnknownFormat, formatTag(path));
  if (!Open()) throw raise(kErrReaderCannotOpen, path);
}

MoleReader::MoleReader(const std::vector<std::string>& input, unsigned formatCode) {
  if (input.empty()) throw raise(kErrReaderNoLines);
  format = formatCode;
  fromLines = true;
  size_t bytes = 0;
  for (const std::string& line : input) bytes += line.size() + 1;
  ByteBuffer text;
  text.reserve(bytes);
  for (const std::string& line : input) {
    text.append(line.data(), line.size());
    text.append("\n", 1);
  }
  startReading(std::move(text));
  source_.seek(input.front().size() + 1);  // the first line counts as already read
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

namespace {

bool endsWithNoCase(const std::string& text, const char* end) {
  const size_t n = std::strlen(end);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != end[i]) return false;
  return true;
}

}  // namespace

unsigned MoleReader::formatOfName(const std::string& name) {
  const std::string tag = formatTag(name);
  if (tag == "mol2" || tag == "MOL2") return kFormatMol2;
  if (tag == ".pdb" || tag == ".PDB") return kFormatPdb;
  if (endsWithNoCase(name, ".sdf") || endsWithNoCase(name, ".sd") || endsWithNoCase(name, ".mol"))
    return kFormatSdf;
  if (endsWithNoCase(name, ".pdbqt")) return kFormatPdbqt;
  return 0;
}

std::string MoleReader::formatTag(const std::string& name) {
  return name.size() < 4 ? name : name.substr(name.size() - 4);
}

bool MoleReader::Open() {
  if (debug) std::cout << "DEBUG -- Opening file " << path << std::endl;
  ByteBuffer bytes;
  const LineSource::FileRead read = LineSource::readFile(path, bytes);
  if (read != LineSource::FileRead::kRead) {
    releaseInput();
    if (read == LineSource::FileRead::kCannotOpen) return false;
    atEnd = true;
    throw raise(kErrReadFailed, path);
  }
  startReading(std::move(bytes));
  return true;
}

void MoleReader::startReading(ByteBuffer bytes) {
  source_.assign(path, std::move(bytes));
  forgetModels();
  atEnd = false;
}

void MoleReader::releaseInput() {
  source_.release();
  forgetModels();
}

void MoleReader::forgetModels() {
  conectAfterModels_.clear();  // views into the input
  conectAfterModelsScanned_ = false;
  modelsEnded_ = 0;
  recordsRead_ = 0;
}

void MoleReader::close() {
  if (!fromLines) releaseInput();
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
  close();
  atEnd = false;
  path = std::move(filePath);
  if (!Open()) throw raise(kErrReaderLoadCannotOpen, path);
}

void MoleReader::loadText(std::string textPath, unsigned formatCode, ByteBuffer text) {
  residueIndex.clear();
  path = std::move(textPath);
  format = formatCode;
  fromLines = false;
  startReading(std::move(text));
}

// ---------------------------------------------------------------------------------------------
// Lines

bool MoleReader::nextLine(std::string_view& line) {
  bool found = false;
  try {
    found = source_.next(line);
  } catch (const MoleExcept&) {
    atEnd = true;  // a line beyond the bound: the input is unreadable
    throw;
  }
  if (!found) {
    atEnd = true;
    diagnostics() << (fromLines ? "Unexpected end of line" : "Unexpected end of file") << std::endl;
  }
  return found;
}

std::string MoleReader::fileAndLine(size_t number) const {
  return (path.empty() ? std::string("the lines given") : path) + ", line " +
         std::to_string(number);
}

std::string MoleReader::currentLine() const {
  return fileAndLine(source_.lineNumberAt(source_.lastLineStart()));
}

std::string MoleReader::getLine() {
  std::string_view line;
  nextLine(line);
  return std::string(line);
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
  } else if (format == kFormatSdf) {
    molecule = readSDF(type);
  } else if (format == kFormatPdbqt) {
    molecule = readPDBQT(type);
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
    // Nothing to read from: an unknown format, or no input, would never reach its end.
    if (format < kFormatMol2 || format > kFormatPdbqt || !source_.hasInput()) {
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

Molecule* MoleReader::readSDF(unsigned type) {
  SdfReader reader(source_, path, recordsRead_);
  std::unique_ptr<Molecule> molecule;
  try {
    molecule = reader.next(type);
  } catch (...) {
    atEnd = true;  // a record that cannot be read ends the input: nothing after it is taken
    throw;
  }
  recordsRead_ = reader.recordsRead();
  if (!molecule) {
    atEnd = true;
    return nullptr;
  }
  if (molecule->numAtoms() == 0)
    diagnostics() << "WARNING : record " << recordsRead_ << " of " << path
                  << " holds no atom: it is left out" << std::endl;
  return molecule.release();
}

Molecule* MoleReader::readPDBQT(unsigned type) {
  PdbqtReader reader(source_, path, recordsRead_);
  std::unique_ptr<Molecule> molecule;
  try {
    molecule = reader.next(type);
  } catch (...) {
    atEnd = true;
    throw;
  }
  recordsRead_ = reader.modelsRead();
  if (!molecule) atEnd = true;
  return molecule.release();
}

void MoleReader::defProps(Molecule* molecule) {
  if (molecule != nullptr) typeResidues(*molecule);
}

}  // namespace VXMole
