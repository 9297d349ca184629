// SdfReader: header, counts, atom, bond and property lines (V2000), "M  V30" blocks (V3000) and
// data items of SDF records.
#include "sdfreader.h"

#include <cerrno>
#include <cmath>    // for std::isfinite
#include <cstdlib>  // for std::strtod, std::strtol
#include <unordered_map>
#include <utility>

#include "global.h"
#include "linesource.h"
#include "molecule.h"
#include "sybyltyping.h"
#include "tables.h"

namespace VXMole {

namespace {

const char kRecordEnd[] = "$$$$";
const char kTableEnd[] = "M  END";
const char kV3000Prefix[] = "M  V30 ";

bool isBlank(std::string_view line) {
  return trimmed(line).empty();
}

// The columns [start, start + width) of a line, "" past its end.
std::string_view columns(std::string_view line, size_t start, size_t width) {
  return start >= line.size() ? std::string_view() : line.substr(start, width);
}

// Formal charges of the V2000 charge codes 0 to 7 (4 is a doublet radical, no charge).
constexpr int kChargeOfCode[] = {0, 3, 2, 1, 0, -1, -2, -3};
static_assert(sizeof kChargeOfCode / sizeof kChargeOfCode[0] == 8, "codes 0 to 7");

// The model's bond type of a file bond order: 1 to 3 as they stand, 4 aromatic, the query
// orders 5 to 8 and V3000's coordination (9) and hydrogen (10) bonds "any"; 0 for another.
int bondTypeOfOrder(long order) {
  if (order >= 1 && order <= 3) return static_cast<int>(order);
  if (order == 4) return kBondAromatic;
  if (order >= 5 && order <= 10) return kBondAny;
  return 0;
}

// The words of a V3000 line: blanks separate them, except within double quotes and parentheses
// ("ATTCHORD=(2 3 4)" is one word).
std::vector<std::string_view> v3000Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at >= text.size()) break;
    const size_t start = at;
    int depth = 0;
    bool quoted = false;
    for (; at < text.size(); ++at) {
      const char c = text[at];
      if (c == '"') quoted = !quoted;
      if (quoted) continue;
      if (c == '(') ++depth;
      if (c == ')' && depth > 0) --depth;
      if ((c == ' ' || c == '\t') && depth == 0) break;
    }
    words.push_back(text.substr(start, at - start));
  }
  return words;
}

}  // namespace

SdfReader::SdfReader(LineSource& source, const std::string& path, size_t recordsBefore)
    : source_(source), path_(path), record_(recordsBefore) {}

MoleExcept SdfReader::fail(const ErrorDef& def, const std::string& what) const {
  return raise(def, path_ + ", record " + std::to_string(record_) + ", line " +
                        std::to_string(source_.lineNumberAt(source_.lastLineStart())) + ": " +
                        what);
}

bool SdfReader::nextLine(std::string_view& line) {
  if (recordEnded_ || !source_.next(line)) return false;
  if (line == kRecordEnd) {
    recordEnded_ = true;
    return false;
  }
  return true;
}

long SdfReader::wholeNumber(std::string_view field, const char* what) const {
  const std::string text(trimmed(field));
  char* end = nullptr;
  errno = 0;
  const long value = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE)
    throw fail(kErrSdfNotANumber, std::string(what) + " \"" + text + "\" is not a whole number");
  return value;
}

double SdfReader::decimalNumber(std::string_view field, const char* what) const {
  double value = 0;
  if (!readWholeDecimal(field, value))
    throw fail(kErrSdfNotANumber,
               std::string(what) + " \"" + std::string(trimmed(field)) + "\" is not a number");
  return value;
}

Atom* SdfReader::makeAtom(Molecule& molecule, std::string_view symbol, size_t position,
                          unsigned number, double x, double y, double z) const {
  if (!withinReach(x, y, z))
    throw fail(kErrSdfCoordinateBeyond, "atom " + std::to_string(position));
  // D and T are hydrogen; a symbol of no element (a query atom, a list) is the dummy element.
  std::string element = "Du";
  if (symbol == "D" || symbol == "T") {
    element = "H";
  } else if (const AtomDataRow* row = elementOfSymbol(symbol);
             row != nullptr && std::string_view(row->symbol) == symbol) {
    element = std::string(row->symbol);
  }
  auto* atom = new Atom(static_cast<unsigned>(position - 1), number, element, Coords(x, y, z),
                        std::string(symbol) + std::to_string(position), std::string());
  molecule.addAtom(atom);
  return atom;
}

void SdfReader::addBond(Molecule& molecule, Atom* first, Atom* second, long order,
                        const std::string& label) const {
  const int type = bondTypeOfOrder(order);
  if (type == 0)
    throw fail(kErrSdfUnreadable, label + " has the order " + std::to_string(order) +
                                      ", not one of 1 to 8 (V3000: 10)");
  if (first == second) throw fail(kErrSdfUnreadable, label + " joins an atom to itself");
  if (first->hasLink(second))
    throw fail(kErrSdfUnreadable, label + " joins two atoms that an earlier bond joins");
  molecule.addBond(first, second, type, static_cast<unsigned>(molecule.numBonds()));
}

std::unique_ptr<Molecule> SdfReader::next(unsigned type) {
  // Blank lines after the last record end the input.
  bool more = false;
  std::string_view line;
  const size_t start = source_.nextLineStart();
  while (!more && source_.next(line)) more = !isBlank(line);
  if (!more) return nullptr;
  source_.seek(start);

  ++record_;
  recordEnded_ = false;
  std::string_view header[4];  // name, program, comment, counts
  for (int i = 0; i < 4; ++i) {
    if (!nextLine(header[i]))
      throw fail(kErrSdfCutShort, i < 3 ? "the record ends within its three header lines"
                                        : "the record ends before its counts line");
  }
  auto molecule = std::make_unique<Molecule>(type, 0, 0, 0, std::string(trimmed(header[0])));
  if (!trimmed(header[2]).empty()) molecule->setComment(std::string(trimmed(header[2])));
  const std::string_view counts = header[3];
  if (trimmed(columns(counts, 34, 6)) == "V3000") {
    readV3000(*molecule);
  } else {
    readV2000(*molecule, counts);
  }
  readDataItems(*molecule);
  assignSybylTypes(*molecule);
  return molecule;
}

// ---------------------------------------------------------------------------------------------
// V2000

void SdfReader::readV2000(Molecule& molecule, std::string_view counts) {
  const long numAtoms = wholeNumber(columns(counts, 0, 3), "the atom count of the counts line");
  const long numBonds = wholeNumber(columns(counts, 3, 3), "the bond count of the counts line");
  if (numAtoms < 0 || numBonds < 0)
    throw fail(kErrSdfUnreadable, "the counts line announces a negative count");
  const std::string announced = "the counts line announces " + std::to_string(numAtoms) +
                                " atoms and " + std::to_string(numBonds) + " bonds";
  std::vector<Atom*> atoms;
  std::string_view line;
  for (long i = 1; i <= numAtoms; ++i) {
    if (!nextLine(line) || startsWith(line, kTableEnd))
      throw fail(kErrSdfCutShort,
                 announced + ", but the record holds " + std::to_string(i - 1) + " atom lines");
    // x, y and z in columns 1-10, 11-20, 21-30; the symbol in 32-34; the charge code in 37-39.
    if (line.size() < 32)
      throw fail(kErrSdfCutShort, "atom " + std::to_string(i) + " is cut short");
    const double x = decimalNumber(columns(line, 0, 10), "the x coordinate");
    const double y = decimalNumber(columns(line, 10, 10), "the y coordinate");
    const double z = decimalNumber(columns(line, 20, 10), "the z coordinate");
    const std::string_view symbol = trimmed(columns(line, 31, 3));
    if (symbol.empty())
      throw fail(kErrSdfUnreadable, "atom " + std::to_string(i) + " has no symbol");
    Atom* atom =
        makeAtom(molecule, symbol, static_cast<size_t>(i), static_cast<unsigned>(i), x, y, z);
    if (!trimmed(columns(line, 34, 2)).empty())
      wholeNumber(columns(line, 34, 2), "the mass difference");
    if (!trimmed(columns(line, 36, 3)).empty()) {
      const long code = wholeNumber(columns(line, 36, 3), "the charge code");
      if (code < 0 || code > 7)
        throw fail(kErrSdfUnreadable,
                   "the charge code " + std::to_string(code) + " is not one of 0 to 7");
      atom->setFormalCharge(kChargeOfCode[code]);
    }
    atoms.push_back(atom);
  }
  for (long i = 1; i <= numBonds; ++i) {
    if (!nextLine(line) || startsWith(line, kTableEnd))
      throw fail(kErrSdfCutShort,
                 announced + ", but the record holds " + std::to_string(i - 1) + " bond lines");
    const std::string label = "bond " + std::to_string(i);
    const long first = wholeNumber(columns(line, 0, 3), "the first atom of a bond");
    const long second = wholeNumber(columns(line, 3, 3), "the second atom of a bond");
    const long order = wholeNumber(columns(line, 6, 3), "the bond order");
    for (long end : {first, second})
      if (end < 1 || end > numAtoms)
        throw fail(kErrSdfMissingAtom, label + " joins atom " + std::to_string(end) +
                                           ", but the record holds " + std::to_string(numAtoms) +
                                           " atoms");
    addBond(molecule, atoms[first - 1], atoms[second - 1], order, label);
  }
  readV2000Properties(atoms);
}

void SdfReader::readV2000Properties(const std::vector<Atom*>& atoms) {
  bool chargesGiven = false;  // an "M  CHG" line replaces every charge of the atom block
  std::string_view line;
  while (nextLine(line)) {
    if (startsWith(line, kTableEnd)) return;
    // An atom alias or a group abbreviation takes the line after it.
    if (startsWith(line, "A  ") || startsWith(line, "G  ")) {
      nextLine(line);
      continue;
    }
    if (startsWith(line, "S  SKP")) {
      const long skipped = wholeNumber(columns(line, 6, 3), "the count of \"S  SKP\"");
      for (long i = 0; i < skipped && nextLine(line); ++i) {
      }
      continue;
    }
    const bool charges = startsWith(line, "M  CHG");
    if (!charges && !startsWith(line, "M  ISO")) continue;  // other properties are passed over
    const char* what = charges ? "\"M  CHG\"" : "\"M  ISO\"";
    // "M  CHGnn8 aaa vvv ...": a count of up to eight entries, each an atom and a value.
    const long entries = wholeNumber(columns(line, 6, 3), what);
    if (entries < 0 || line.size() < 9 + static_cast<size_t>(entries) * 8)
      throw fail(kErrSdfCutShort, std::string(what) + " announces " + std::to_string(entries) +
                                      " entries that the line does not hold");
    if (charges && !chargesGiven) {
      for (Atom* atom : atoms) atom->setFormalCharge(0);
      chargesGiven = true;
    }
    for (long k = 0; k < entries; ++k) {
      const long number = wholeNumber(columns(line, 9 + 8 * k, 4), what);
      const long value = wholeNumber(columns(line, 13 + 8 * k, 4), what);
      if (number < 1 || number > static_cast<long>(atoms.size()))
        throw fail(kErrSdfMissingAtom, std::string(what) + " names atom " + std::to_string(number) +
                                           ", but the record holds " +
                                           std::to_string(atoms.size()) + " atoms");
      if (charges) atoms[number - 1]->setFormalCharge(static_cast<double>(value));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// V3000

bool SdfReader::nextV3000Line(std::string& text, bool& ended) {
  text.clear();
  ended = false;
  std::string_view line;
  while (true) {
    if (!nextLine(line)) {
      ended = true;
      return false;
    }
    if (startsWith(line, kTableEnd)) return false;
    if (!startsWith(line, kV3000Prefix)) {
      if (!text.empty())
        throw fail(kErrSdfCutShort, "a V3000 line continued by \"-\" does not go on");
      continue;  // a line of another kind within the table is passed over
    }
    std::string_view part = line.substr(sizeof kV3000Prefix - 1);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);
    // A line that ends in "-" goes on in the next one.
    if (!part.empty() && part.back() == '-') {
      part.remove_suffix(1);
      text += part;
      continue;
    }
    text += part;
    return true;
  }
}

void SdfReader::readV3000(Molecule& molecule) {
  std::vector<std::string> blocks;  // the blocks begun and not yet ended, innermost last
  std::vector<size_t> blockLines;   // the line where each began
  std::unordered_map<long, Atom*> atomOfIndex;
  long numAtoms = -1, numBonds = -1, atomsRead = 0, bondsRead = 0;
  std::string text;
  bool ended = false;
  while (nextV3000Line(text, ended)) {
    const std::vector<std::string_view> words = v3000Words(text);
    if (words.empty()) continue;
    if (words[0] == "BEGIN" || words[0] == "END") {
      const std::string block(words.size() > 1 ? words[1] : std::string_view());
      if (words[0] == "BEGIN") {
        blocks.push_back(block);
        blockLines.push_back(source_.lineNumberAt(source_.lastLineStart()));
        continue;
      }
      if (blocks.empty() || blocks.back() != block)
        throw fail(kErrSdfUnreadable, "\"END " + block + "\" ends no block begun");
      if (block == "ATOM" && atomsRead < numAtoms)
        throw fail(kErrSdfCutShort, "the COUNTS line announces " + std::to_string(numAtoms) +
                                        " atoms, but the ATOM block holds " +
                                        std::to_string(atomsRead));
      if (block == "BOND" && bondsRead < numBonds)
        throw fail(kErrSdfCutShort, "the COUNTS line announces " + std::to_string(numBonds) +
                                        " bonds, but the BOND block holds " +
                                        std::to_string(bondsRead));
      blocks.pop_back();
      blockLines.pop_back();
      continue;
    }
    const std::string inside = blocks.empty() ? std::string() : blocks.back();
    if (words[0] == "COUNTS" && inside == "CTAB") {
      if (words.size() < 3) throw fail(kErrSdfCutShort, "the COUNTS line holds no bond count");
      numAtoms = wholeNumber(words[1], "the atom count of the COUNTS line");
      numBonds = wholeNumber(words[2], "the bond count of the COUNTS line");
      if (numAtoms < 0 || numBonds < 0)
        throw fail(kErrSdfUnreadable, "the COUNTS line announces a negative count");
    } else if (inside == "ATOM") {
      // index type x y z aamap [CHG=c] [MASS=m] ...
      if (words.size() < 5)
        throw fail(kErrSdfCutShort, "an atom line holds fewer than five fields");
      if (numAtoms < 0) throw fail(kErrSdfUnreadable, "atoms come before the COUNTS line");
      if (atomsRead == numAtoms)
        throw fail(kErrSdfUnreadable, "the ATOM block holds more atoms than the COUNTS line's " +
                                          std::to_string(numAtoms));
      const long index = wholeNumber(words[0], "the atom index");
      const std::string_view symbol =
          words[1].size() > 1 && words[1].front() == '"' ? std::string_view("*") : words[1];
      const double x = decimalNumber(words[2], "the x coordinate");
      const double y = decimalNumber(words[3], "the y coordinate");
      const double z = decimalNumber(words[4], "the z coordinate");
      ++atomsRead;
      Atom* atom = makeAtom(molecule, symbol, static_cast<size_t>(atomsRead),
                            static_cast<unsigned>(index), x, y, z);
      if (!atomOfIndex.emplace(index, atom).second)
        throw fail(kErrSdfUnreadable, "the atom index " + std::to_string(index) + " comes twice");
      for (size_t w = 6; w < words.size(); ++w) {
        if (startsWith(words[w], "CHG="))
          atom->setFormalCharge(static_cast<double>(wholeNumber(words[w].substr(4), "CHG")));
        else if (startsWith(words[w], "MASS="))
          wholeNumber(words[w].substr(5), "MASS");
      }
    } else if (inside == "BOND") {
      // index type atom1 atom2 [...]
      if (words.size() < 4) throw fail(kErrSdfCutShort, "a bond line holds fewer than four fields");
      if (bondsRead == numBonds)
        throw fail(kErrSdfUnreadable, "the BOND block holds more bonds than the COUNTS line's " +
                                          std::to_string(numBonds));
      ++bondsRead;
      const std::string label = "bond " + std::string(words[0]);
      const long order = wholeNumber(words[1], "the bond order");
      Atom* ends[2] = {nullptr, nullptr};
      for (int k = 0; k < 2; ++k) {
        const long index = wholeNumber(words[2 + k], "an atom of a bond");
        auto found = atomOfIndex.find(index);
        if (found == atomOfIndex.end())
          throw fail(kErrSdfMissingAtom, label + " joins atom " + std::to_string(index) +
                                             ", which the ATOM block does not hold");
        ends[k] = found->second;
      }
      addBond(molecule, ends[0], ends[1], order, label);
    }
    // Lines of other blocks (SGROUP, COLLECTION, ...) are passed over.
  }
  if (!blocks.empty())
    throw fail(kErrSdfUnendedBlock, "the " + blocks.back() + " block begun at line " +
                                        std::to_string(blockLines.back()) + " has no \"END " +
                                        blocks.back() + "\" before " +
                                        (ended ? "the record's end" : "\"M  END\""));
  if (atomsRead < numAtoms)
    throw fail(kErrSdfCutShort, "the COUNTS line announces " + std::to_string(numAtoms) +
                                    " atoms, but the record holds " + std::to_string(atomsRead));
}

// ---------------------------------------------------------------------------------------------
// Data items

void SdfReader::readDataItems(Molecule& molecule) {
  std::string_view line;
  while (nextLine(line)) {
    if (line.empty() || line[0] != '>') continue;
    // "> <name>", ">  <name> (1)", "> 25 <name>": the name between the first < and the next >;
    // an old header without one names the item by what follows the ">".
    std::string_view name = trimmed(line.substr(1));
    const size_t open = line.find('<');
    const size_t close = open == std::string_view::npos ? open : line.find('>', open + 1);
    if (close != std::string_view::npos) name = line.substr(open + 1, close - open - 1);
    std::string value;
    bool first = true;
    while (nextLine(line) && !isBlank(line)) {
      if (!first) value += '\n';
      value += line;
      first = false;
    }
    molecule.addDataItem(std::string(name), std::move(value));
  }
}

}  // namespace VXMole
