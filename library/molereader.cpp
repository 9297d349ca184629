// MoleReader: input sources, line access, PDB record cutting, the PDB reader and residue typing.
#include "molereader.h"

#include <algorithm>
#include <cctype>
#include <cmath>  // for std::isfinite
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <iterator>  // for std::size
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "complex.h"
#include "edge.h"
#include "global.h"
#include "molecule.h"
#include "vertex.h"

namespace VXMole {

int MoleReader::debug = 0;

namespace {

// Characters that separate the fields of a PDB record: comma, blank, newline, semicolon and
// parentheses.
const std::string kPdbDelimiters = ", \n, ;, (, )";
// White space stripped from COMPND and CONECT records.
const std::string kWhiteSpace = " \t\f\v\n\r";
// HETATM residues kept only on request when a protein is read.
const std::string kCofactors =
    " ACO ACP ADP AMP ANP ATP H4B CDP CMP COA CAA CAO CTP FAD FMN GDP GMP GNP GTP NAD NAP NAI NDO "
    "NDP MCA SCA TPP UMP ";
// Record names that carry an atom.
const std::string kAtomRecords = "ATOM , HETATM";
// Metal ions are named in upper case in PDB files; the element table knows "Zn", not "ZN".
const std::map<std::string, std::string> kMetalNames = {{"MG", "Mg"}, {"CU", "Cu"}, {"ZN", "Zn"},
                                                        {"MN", "Mn"}, {"FE", "Fe"}, {"FE2", "Fe"}};

// The last four characters of a path (the whole path when shorter): its format tag.
std::string lastFour(const std::string& path) {
  return path.size() < 4 ? path : path.substr(path.size() - 4);
}

// A raw column range: `width` characters from `start`, shortened at the end of the line. A start
// beyond the end of the line is an out-of-range error.
std::string columns(const std::string& line, size_t start, size_t width) {
  if (start > line.size()) throw std::out_of_range("basic_string::substr");
  return line.substr(start, width);
}

// The range up to its first delimiter.
std::string cut(const std::string& range, const std::string& delimiters) {
  return range.substr(0, range.find_first_of(delimiters));
}

// The first word of the range. A range of delimiters only has none: out-of-range error.
std::string trimmed(const std::string& range, const std::string& delimiters) {
  const size_t begin = range.find_first_not_of(delimiters);
  if (begin == std::string::npos) throw std::out_of_range("basic_string::substr");
  const size_t end = range.find_first_of(delimiters, begin);
  return range.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// A whole decimal number of at most 32 bits; anything else throws std::invalid_argument (or
// std::out_of_range when too large), as std::stoul does.
unsigned parseUnsigned(const std::string& text) {
  size_t used = 0;
  const unsigned long value = std::stoul(text, &used, 10);
  if (used != text.size() || text.find('-') != std::string::npos)
    throw std::invalid_argument("stoul");
  if (value > 0xFFFFFFFFul) throw std::out_of_range("stoul");
  return static_cast<unsigned>(value);
}

// Element symbols in the element table's case: "CL" -> "Cl", "ZN" -> "Zn", "N" -> "N".
std::string elementCase(std::string symbol) {
  for (size_t i = 0; i < symbol.size(); ++i) {
    const auto c = static_cast<unsigned char>(symbol[i]);
    symbol[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
  }
  return symbol;
}

// ---------------------------------------------------------------------------------------------
// Atom records without the field map. readPDB cuts each ATOM or HETATM record into views of
// the line, exactly as tokenize cuts it into the map, and reads the numbers without copies.
// Every record these helpers cannot take plainly (one that tokenize would reject, a number in
// an unusual form) goes the way it always went, through tokenize and the standard conversions,
// so that the results and the errors stay those of that way.

// The fields of an atom record that readPDB uses; "" where tokenize would store no entry.
struct AtomFields {
  std::string_view type, num, name, res, chain, resId, x, y, z, element;
};

bool columnView(std::string_view line, size_t start, size_t width, std::string_view& out) {
  if (start > line.size()) return false;  // columns() would throw
  out = line.substr(start, width);
  return true;
}

// The characters of kPdbDelimiters, as a table.
struct DelimiterTable {
  bool is[256] = {};
  DelimiterTable() {
    for (char c : kPdbDelimiters) is[static_cast<unsigned char>(c)] = true;
  }
};
const DelimiterTable kIsPdbDelimiter;

bool trimmedView(std::string_view line, size_t start, size_t width, std::string_view& out) {
  std::string_view range;
  if (!columnView(line, start, width, range)) return false;
  auto delimiter = [](char c) { return kIsPdbDelimiter.is[static_cast<unsigned char>(c)]; };
  size_t begin = 0;
  while (begin < range.size() && delimiter(range[begin])) ++begin;
  if (begin == range.size()) return false;  // trimmed() would throw
  size_t end = begin;
  while (end < range.size() && !delimiter(range[end])) ++end;
  out = range.substr(begin, end - begin);
  return true;
}

// The fields of a record that starts "ATOM  " or "HETATM", as tokenize would store them. False
// for any other record and where tokenize would throw.
bool cutAtomRecord(std::string_view line, AtomFields& f) {
  if (line.compare(0, 6, "ATOM  ") == 0) {
    f.type = line.substr(0, 4);
  } else if (line.compare(0, 6, "HETATM") == 0) {
    f.type = line.substr(0, 6);
  } else {
    return false;
  }
  if (!trimmedView(line, 6, 5, f.num) || !trimmedView(line, 12, 4, f.name) ||
      !trimmedView(line, 17, 3, f.res))
    return false;
  if (line.size() > 21 && line[21] != ' ') {
    f.chain = line.substr(21, 1);
    if (!columnView(line, 22, 4, f.resId)) return false;
  } else {
    f.chain = std::string_view();
    if (!trimmedView(line, 21, 5, f.resId)) return false;
  }
  if (!trimmedView(line, 30, 8, f.x) || !trimmedView(line, 38, 8, f.y) ||
      !trimmedView(line, 46, 8, f.z))
    return false;
  std::string_view unused;
  if (line.size() >= 60 && !trimmedView(line, 54, 6, unused)) return false;
  if (line.size() >= 66 && !trimmedView(line, 60, 6, unused)) return false;
  f.element = std::string_view();
  if (line.size() >= 78 && !trimmedView(line, 76, 2, f.element)) return false;
  return true;
}

// The same fields from the map that tokenize filled; the views live as long as the map.
AtomFields viewsOf(const std::map<std::string, std::string>& fields) {
  auto view = [&fields](const char* key) {
    auto it = fields.find(key);
    return it == fields.end() ? std::string_view() : std::string_view(it->second);
  };
  return AtomFields{view("Type"),  view("Num"), view("Name"), view("Res"), view("Chain"),
                    view("ResId"), view("X"),   view("Y"),    view("Z"),   view("AtmName")};
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// parseUnsigned, without a copy for plain numbers of up to nine digits.
unsigned readAtomNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return parseUnsigned(std::string(text));
  unsigned value = 0;
  for (char c : text) {
    if (!isDigit(c)) return parseUnsigned(std::string(text));
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

// std::stod, without a copy for plain decimals ("-12.345", "7", ".5") of at most 15 digits.
// Such a number is an integer m of at most 15 digits over 10^k, both exact in a double, so the
// one rounding of m / 10^k gives the nearest double to the decimal, as strtod does.
double readCoordinate(std::string_view text) {
  static const double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  uint64_t mantissa = 0;
  int digits = 0, decimals = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (isDigit(c)) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      ++digits;
      if (point) ++decimals;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i != text.size() || digits == 0 || digits > 15) return std::stod(std::string(text));
  const double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  return negative ? -value : value;
}

// std::stoi, without a copy for numbers of up to nine digits after blanks and a minus sign;
// what follows the digits is ignored, as stoi ignores it.
int readResidueNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  int value = 0, digits = 0;
  for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
    if (digits == 9) return std::stoi(std::string(text));
    value = value * 10 + (text[i] - '0');
  }
  if (digits == 0) return std::stoi(std::string(text));
  return negative ? -value : value;
}

// The element table's spelling of a metal ion named in upper case, else the name itself.
std::string_view metalName(std::string_view name) {
  for (const auto& [upper, element] : kMetalNames)
    if (name == upper) return element;
  return name;
}

// ---------------------------------------------------------------------------------------------
// Standard amino acids: covalent bonds by atom-name pairs and SYBYL atom types by atom name.
// Bonds: "A-B" single, "A=B" double, "A:B" aromatic. Types: "type: names; type: names".
// The backbone row holds for every residue; a side-chain row adds to it.

struct ResidueRow {
  std::string_view name;   // PDB residue name
  std::string_view bonds;  // bonds between heavy atoms, by atom names
  std::string_view types;  // MOL2 types of the heavy atoms, by atom names
};

const ResidueRow kBackbone = {"", "N-CA CA-C C=O C-OXT",
                              "N.am: N; C.3: CA; C.2: C; O.2: O; O.co2: OXT"};

// Columns: residue name and side-chain bonds (the CA-CB bond included) on the first line,
// side-chain atom types on the second. ILE also lists "CD", an older name of CD1.
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
    {"TRP", "CA-CB CB-CG CG:CD1 CD1:NE1 NE1:CE2 CE2:CD2 CD2:CG "
            "CE2:CZ2 CZ2:CH2 CH2:CZ3 CZ3:CE3 CE3:CD2",
            "C.3: CB; C.ar: CG CD1 CD2 CE2 CE3 CZ2 CZ3 CH2; N.ar: NE1"},
    {"HIS", "CA-CB CB-CG CG:ND1 ND1:CE1 CE1:NE2 NE2:CD2 CD2:CG",
            "C.3: CB; C.ar: CG CD2 CE1; N.ar: ND1 NE2"},
    {"ASP", "CA-CB CB-CG CG=OD1 CG-OD2",
            "C.3: CB; C.2: CG; O.co2: OD1 OD2"},
    {"GLU", "CA-CB CB-CG CG-CD CD=OE1 CD-OE2",
            "C.3: CB CG; C.2: CD; O.co2: OE1 OE2"},
    {"ASN", "CA-CB CB-CG CG=OD1 CG-ND2",
            "C.3: CB; C.2: CG; O.2: OD1; N.am: ND2"},
    {"GLN", "CA-CB CB-CG CG-CD CD=OE1 CD-NE2",
            "C.3: CB CG; C.2: CD; O.2: OE1; N.am: NE2"},
    {"LYS", "CA-CB CB-CG CG-CD CD-CE CE-NZ",
            "C.3: CB CG CD CE; N.4: NZ"},
    {"ARG", "CA-CB CB-CG CG-CD CD-NE NE-CZ CZ-NH1 CZ-NH2",
            "C.3: CB CG CD; C.cat: CZ; N.pl3: NE NH1 NH2"},
};
// clang-format on
static_assert(std::size(kSideChains) == 20, "one row per standard amino acid");

// Hydrogens of a standard residue bond to the nearest heavy atom of the residue within this
// distance (Å); a thiol S-H bond is longer (1.34 Å), so sulfur gets more room. C(i) and N(i+1)
// of one chain form the peptide bond when closer than kPeptideBondLength (Å).
const double kHydrogenBondLength = 1.3;
const double kSulfurHydrogenBondLength = 1.5;
const double kPeptideBondLength = 2.0;

struct NameBond {
  std::string first;
  std::string second;
  int type;
};

// A residue row, parsed: its bonds and a map from atom name to MOL2 type.
struct ResidueTemplate {
  std::vector<NameBond> bonds;
  std::unordered_map<std::string, std::string> types;
};

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
  return parsed;
}

// Backbone plus side chain of each standard residue, by residue name; built once.
const std::unordered_map<std::string, ResidueTemplate>& residueTemplates() {
  static const std::unordered_map<std::string, ResidueTemplate> templates = [] {
    std::unordered_map<std::string, ResidueTemplate> built;
    const ResidueTemplate backbone = parseRow(kBackbone);
    for (const ResidueRow& row : kSideChains) {
      ResidueTemplate full = backbone;
      ResidueTemplate side = parseRow(row);
      full.bonds.insert(full.bonds.end(), side.bonds.begin(), side.bonds.end());
      full.types.insert(side.types.begin(), side.types.end());
      built.emplace(std::string(row.name), std::move(full));
    }
    return built;
  }();
  return templates;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and input sources

MoleReader::MoleReader() = default;

MoleReader::MoleReader(std::string filePath, unsigned formatCode) {
  if (filePath.empty()) throw raise(kErrReaderNoFile);
  path = std::move(filePath);
  if (!setFormat(formatCode)) throw raise(kErrReaderUnknownFormat, lastFour(path));
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
  const std::string tag = lastFour(path);
  if (tag.size() == 4 && (tag == "mol2" || tag == "MOL2")) {
    format = kFormatMol2;
  } else if (tag.size() == 4 && (tag == ".pdb" || tag == ".PDB")) {
    format = kFormatPdb;
  } else {
    return false;
  }
  return true;
}

bool MoleReader::Open() {
  if (!file.fail() && !file.bad()) close();
  // A stream left open after a failed read could not take a new file.
  if (file.is_open()) file.close();
  if (debug) std::cout << "DEBUG -- Opening file " << path << std::endl;
  file.clear();
  // A directory opens like a file on Linux but fails every read: it is no input.
  std::error_code ignored;
  if (!std::filesystem::is_directory(path, ignored)) {
    // Large reads: a protein file is megabytes, and each read is a system call.
    if (!buffer) buffer = std::make_unique<char[]>(kReadBufferBytes);
    file.rdbuf()->pubsetbuf(buffer.get(), kReadBufferBytes);
    file.open(path, std::ios::in);
  }
  if (!file.is_open()) {
    file.setstate(std::ios::failbit);
    return false;
  }
  atEnd = false;
  opened = true;
  return true;
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
    const std::string tag = lastFour(path);
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

// ---------------------------------------------------------------------------------------------
// Lines

std::string MoleReader::getLine() {
  std::string line;
  readLine(line);
  return line;
}

void MoleReader::readLine(std::string& line) {
  if (fromLines) {
    if (lineCursor + 1 >= lines.size()) {
      atEnd = true;
      std::cerr << "Unexpected end of line" << std::endl;
      line.clear();
      return;
    }
    line = lines[++lineCursor];
  } else {
    if (!std::getline(file, line)) {
      // A read that fails for any other reason than the end of the file cannot be retried
      // usefully either: the input ends here.
      atEnd = true;
      if (file.eof()) std::cerr << "Unexpected end of file" << std::endl;
      line.clear();
      return;
    }
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

// Columns of a PDB coordinate record (from 0): record name 0-5, atom number 6-10, atom name
// 12-15, residue name 17-19, chain 21, residue number 22-25, coordinates 30-37, 38-45, 46-53,
// occupancy 54-59, temperature factor 60-65, element 76-77.
void MoleReader::tokenize(const std::string& line, std::map<std::string, std::string>& fields,
                          const std::string& delimiters) {
  const std::string type = cut(line.substr(0, 6), delimiters);
  fields.emplace("Type", type);
  if (!appartient(type, kAtomRecords)) return;

  if (debug) {
    std::cout << "BEGIN tokenize :" << type << "\n" << line << "\n";
    std::cout << "Num = " << columns(line, 6, 5) << " ; Name = " << columns(line, 12, 4)
              << " ; Residu = " << columns(line, 17, 3) << " ; Chain =  " << columns(line, 21, 1)
              << " ; Res ID : " << columns(line, 22, 4) << " ; X = " << columns(line, 30, 8)
              << " ; Y = " << columns(line, 38, 8) << " ; Z = " << columns(line, 46, 8);
    if (line.size() >= 60) std::cout << " ; Occup  = " << columns(line, 54, 6);
    if (line.size() >= 66) std::cout << " ; Heat = " << columns(line, 60, 6);
    if (line.size() >= 78) std::cout << " ; col = " << columns(line, 76, 2);
    std::cout << "\nEND tokenize " << std::endl;
  }

  fields.emplace("Num", trimmed(columns(line, 6, 5), delimiters));
  fields.emplace("Name", trimmed(columns(line, 12, 4), delimiters));
  fields.emplace("Res", trimmed(columns(line, 17, 3), delimiters));
  const bool hasChain = line.size() > 21 && line[21] != ' ';
  if (hasChain) {
    fields.emplace("Chain", columns(line, 21, 1));
    fields.emplace("ResId", columns(line, 22, 4));
  } else {
    fields.emplace("ResId", trimmed(columns(line, 21, 5), delimiters));
  }
  fields.emplace("X", trimmed(columns(line, 30, 8), delimiters));
  fields.emplace("Y", trimmed(columns(line, 38, 8), delimiters));
  fields.emplace("Z", trimmed(columns(line, 46, 8), delimiters));
  if (line.size() >= 60) fields.emplace("Occup", trimmed(columns(line, 54, 6), delimiters));
  if (line.size() >= 66) fields.emplace("Heat", trimmed(columns(line, 60, 6), delimiters));
  if (line.size() >= 78) fields.emplace("AtmName", trimmed(columns(line, 76, 2), delimiters));
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
    if ((format != kFormatMol2 && format != kFormatPdb) || (!fromLines && !file.is_open())) {
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

Molecule* MoleReader::readPDB(unsigned type, bool keepCofactors, bool keepWaters) {
  if (!fromLines && !file.is_open()) {
    std::cerr << "No file opened " << std::endl;
    return nullptr;
  }
  if (!fromLines && file.eof()) {
    atEnd = true;
    return nullptr;
  }

  auto* molecule = new Molecule(type, 0, 0, 0, std::string());
  residueIndex.clear();
  std::map<std::string, std::string> fields;
  // Atoms by their PDB number, the first atom of a number winning: every atom in file order,
  // and an index of them built only when CONECT records need it.
  std::vector<std::pair<unsigned, Atom*>> numberedAtoms;
  std::unordered_map<unsigned, Atom*> atomsByNumber;
  size_t indexedAtoms = 0;
  std::string residueKey;  // residue number, name and chain
  Residu* lastResidue = nullptr;
  int lastResidueNumber = 0;
  std::string lastResidueName, lastChain;
  unsigned atomCounter = 0;
  unsigned bondCounter = 0;

  std::unordered_set<std::string> alternateSites;  // chain|residue|name of atoms with sites
  std::string line;                                // one buffer for every line
  try {
    while (!atEnd) {
      readLine(line);
      if (line == "END") break;

      if (line.compare(0, 6, "COMPND") == 0) {
        line.erase(line.find_last_not_of(kWhiteSpace) + 1);
        line.erase(0, 7);
        const size_t first = line.find_first_not_of(kWhiteSpace);
        molecule->setName(first == std::string::npos ? std::string() : line.substr(first));
        continue;
      }

      if (line.compare(0, 4, "ATOM") == 0 ||
          line.substr(0, 6).find("HETATM") != std::string::npos) {
        AtomFields f;
        if (debug || !cutAtomRecord(line, f)) {
          fields.clear();
          tokenize(line, fields, kPdbDelimiters);
          if (debug) {
            std::cout << line << "\n";
            for (const auto& [key, value] : fields) std::cout << key << " => " << value << "\n";
            std::cout << std::flush;
          }
          if (fields.size() < 8) continue;
          f = viewsOf(fields);
        }

        const std::string_view residueName = f.res;
        std::string_view name = f.name;
        if (type == kMoleProtein && f.type == "HETATM") {
          if (!keepCofactors &&
              kCofactors.find(" " + std::string(residueName) + " ") != std::string::npos)
            continue;
          if (!keepWaters && residueName == "HOH" && name == "O") continue;
        }

        // Alternate locations: an atom given at several sites (column 17 holding A, B, ...) is
        // read once, at its first site, so that the molecule holds each atom once.
        if (line.size() > 16 && line[16] != ' ') {
          std::string site(f.chain);
          site += '|';
          site += f.resId;
          site += '|';
          site += residueName;
          site += '|';
          site += name;
          if (!alternateSites.insert(std::move(site)).second) continue;
        }

        name = metalName(name);

        const std::string_view elementColumn = f.element;
        std::string symbol =
            elementColumn.empty() ? std::string(name) : elementCase(std::string(elementColumn));
        const unsigned number = readAtomNumber(f.num);
        const double x = readCoordinate(f.x);
        const double y = readCoordinate(f.y);
        const double z = readCoordinate(f.z);
        // "nan" and "inf" read as numbers but are no positions.
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
          throw std::invalid_argument("coordinate is not a finite number");
        const int residueNumber = readResidueNumber(f.resId);

        auto atom =
            std::make_unique<Atom>(atomCounter, number, std::move(symbol), x, y, z,
                                   std::string(name.empty() ? elementColumn : name), std::string());
        numberedAtoms.emplace_back(number, atom.get());
        ++atomCounter;
        // A residue's hydrogen bonds to one atom; its heavy atoms bond to up to four.
        atom->getVertex()->edges.reserve(atom->isHydrogen() ? 1 : 4);

        // Consecutive atoms of one residue share its key: the index is searched once per
        // residue.
        Residu* residue = nullptr;
        if (residueNumber >= 0) {
          if (lastResidue != nullptr && residueNumber == lastResidueNumber &&
              residueName == lastResidueName && f.chain == lastChain) {
            residue = lastResidue;  // the same number, name and chain make the same key
          } else {
            residueKey = std::to_string(residueNumber);
            residueKey += residueName;
            residueKey += f.chain;
            auto known = residueIndex.find(residueKey);
            if (known != residueIndex.end()) {
              residue = known->second;
            } else {
              residue = molecule->addResidu(residueNumber, std::string(residueName),
                                            std::string(f.chain));
              residueIndex.emplace(residueKey, residue);
            }
            lastResidue = residue;
            lastResidueNumber = residueNumber;
            lastResidueName = residueName;
            lastChain = f.chain;
          }
        }
        if (debug) std::cout << atom->toString() << std::flush;
        molecule->addAtom(atom.release(), residue);
        continue;
      }

      if (line.compare(0, 6, "CONECT") == 0) {
        line.erase(std::min(line.size(), line.find_last_not_of(kWhiteSpace) + 2));
        const size_t length = line.size();
        if (debug) std::cout << "CONNECT : " << length << std::endl;

        unsigned numbers[4] = {0, 0, 0, 0};
        const size_t starts[4] = {6, 11, 16, 21};
        for (int i = 0; i < 4; ++i) {
          if (i == 2 && length <= 20) break;
          if (i == 3 && length < 26) break;
          const std::string raw = columns(line, starts[i], 5);
          if (debug) std::cout << " ; Atom" << i + 1 << " = " << raw;
          numbers[i] = parseUnsigned(trimmed(raw, kPdbDelimiters));
        }
        if (debug) std::cout << std::endl;

        for (; indexedAtoms < numberedAtoms.size(); ++indexedAtoms)
          atomsByNumber.insert(numberedAtoms[indexedAtoms]);
        auto first = atomsByNumber.find(numbers[0]);
        if (first == atomsByNumber.end()) continue;
        for (int i = 1; i < 4; ++i) {
          if (numbers[i] == 0 || numbers[i] >= numbers[0]) continue;
          auto partner = atomsByNumber.find(numbers[i]);
          if (partner == atomsByNumber.end()) break;
          // A pair listed twice (PDB's way of writing a bond order) stays one bond.
          if (first->second->hasLink(partner->second)) continue;
          molecule->addBond(first->second, partner->second, kBondSingle, bondCounter++);
          if (debug)
            std::cout << "Create bond : " << first->second->getIdentifier() << " - "
                      << partner->second->getIdentifier() << std::endl;
        }
      }
    }
  } catch (const MoleExcept& error) {
    std::cerr << error.code << std::endl;
  } catch (const std::exception& error) {
    // Every number once, ascending, with its first atom.
    std::stable_sort(numberedAtoms.begin(), numberedAtoms.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < numberedAtoms.size(); ++i) {
      if (i > 0 && numberedAtoms[i].first == numberedAtoms[i - 1].first) continue;
      std::cout << numberedAtoms[i].first << "\t"
                << static_cast<const void*>(numberedAtoms[i].second) << "\n";
    }
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

// Bonds, MOL2 types and properties of the standard amino acids. The property rules look at the
// neighbours' types and the bond types, so every bond is made first, every atom is typed once,
// and a second pass re-derives the flags from the final types.
// An amino-acid residue holds under thirty atoms, even with every hydrogen and the terminal
// atoms; twice as many leaves room for unusual names.
constexpr size_t kMaxStandardResidueAtoms = 64;

void MoleReader::defProps(Molecule* molecule) {
  if (molecule == nullptr) return;
  const auto& templates = residueTemplates();
  unsigned bondNum = static_cast<unsigned>(molecule->numBonds());
  auto link = [&](Atom* a, Atom* b, int type) {
    if (Bond* existing = a->getBond(b)) {
      existing->setType(type);  // a CONECT record only knew it as single
    } else {
      molecule->addBond(a, b, type, bondNum++);
    }
  };

  // The standard residues, with their atoms by name (the first atom of a name, for alternate
  // locations). A residue holds a few dozen atoms at most: a scan beats building an index.
  struct StandardResidue {
    Residu* residue;
    const ResidueTemplate* tmpl;
    Atom* find(const std::string& name) const {
      for (Atom* atom : residue->getAtoms())
        if (atom->getName() == name) return atom;
      return nullptr;
    }
  };
  std::vector<StandardResidue> standard;
  for (size_t i = 0; i < molecule->numResidues(); ++i) {
    Residu& residue = molecule->residu(i);
    auto tmpl = templates.find(residue.getName());
    if (tmpl == templates.end()) continue;
    // A residue of a standard name that holds far more atoms than any amino acid (file
    // corruption, or every atom under one residue number) is no amino acid: typing it by name
    // and matching each hydrogen against every heavy atom would only cost time.
    if (residue.numAtoms() > kMaxStandardResidueAtoms) continue;
    standard.push_back(StandardResidue{&residue, &tmpl->second});
  }

  // Bonds within residues, peptide bonds, bonds to hydrogens.
  std::unordered_map<std::string, Atom*> carbonylByChain;  // C of the chain's last residue
  for (const StandardResidue& entry : standard) {
    for (const NameBond& bond : entry.tmpl->bonds) {
      Atom* a = entry.find(bond.first);
      Atom* b = entry.find(bond.second);
      if (a != nullptr && b != nullptr) link(a, b, bond.type);
    }
    const std::string& chain = entry.residue->getChain();
    Atom* nitrogen = entry.find("N");
    auto previous = carbonylByChain.find(chain);
    if (nitrogen != nullptr && previous != carbonylByChain.end() &&
        previous->second->getFixedCoords().calcDist(nitrogen->getFixedCoords()) <
            kPeptideBondLength)
      link(previous->second, nitrogen, kBondSingle);
    carbonylByChain[chain] = entry.find("C");
    if (carbonylByChain[chain] == nullptr) carbonylByChain.erase(chain);

    for (Atom* hydrogen : entry.residue->getAtoms()) {
      if (!hydrogen->isHydrogen() || hydrogen->numBonds() > 0) continue;
      Atom* nearest = nullptr;
      double best = kSulfurHydrogenBondLength;
      for (Atom* heavy : entry.residue->getAtoms()) {
        if (heavy->isHydrogen()) continue;
        const double d = hydrogen->getFixedCoords().calcDist(heavy->getFixedCoords());
        const double reach = heavy->isSulfur() ? kSulfurHydrogenBondLength : kHydrogenBondLength;
        if (d <= reach && d <= best) {
          best = d;
          nearest = heavy;
        }
      }
      if (nearest != nullptr) link(nearest, hydrogen, kBondSingle);
    }
  }

  // Types, then the flags again once every neighbour has its type.
  std::vector<Atom*> typed;
  for (const StandardResidue& entry : standard) {
    for (Atom* atom : entry.residue->getAtoms()) {
      std::string type;
      if (atom->isHydrogen()) {
        type = "H";
      } else if (auto known = entry.tmpl->types.find(atom->getName());
                 known != entry.tmpl->types.end()) {
        type = known->second;
      } else {
        continue;  // a heavy atom the residue does not normally hold
      }
      try {
        atom->checkMOL2type(type);
        typed.push_back(atom);
      } catch (const MoleExcept& error) {
        std::cerr << error.code << std::endl;
      }
    }
  }
  for (Atom* atom : typed) atom->checkMOL2type(std::string());

  for (size_t i = 0; i < molecule->numAtoms(); ++i) {
    Atom& atom = molecule->atom(i);
    if (atom.getName() == "OXT") atom.getProperties().anion = 1;
    if (atom.getName() == "ZN" || atom.getName() == "Zn") {
      atom.setName("Zn");
      atom.setAtomicName("Zn");
    }
  }
}

}  // namespace VXMole
