// MoleReader: input sources, formats, lines, and molecules one after another or into a complex.
#include "molereader.h"

#include <iostream>
#include <memory>
#include <utility>

#include "complex.h"
#include "diagnostics.h"
#include "global.h"
#include "molecule.h"
#include "pdbrecord.h"
#include "residuetyping.h"

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
    if ((format != kFormatMol2 && format != kFormatPdb) || !source_.hasInput()) {
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

void MoleReader::defProps(Molecule* molecule) {
  if (molecule != nullptr) typeResidues(*molecule);
}

}  // namespace VXMole
