// MoleWriter: Tripos MOL2 output through a temporary file renamed over the output when complete.
#include "molewriter.h"

#include <fcntl.h>     // for O_CLOEXEC
#include <sys/stat.h>  // for stat, lstat, fchmod, umask
#include <unistd.h>    // for unlink, access, close

#include <atomic>  // for std::atomic_signal_fence
#include <cerrno>
#include <charconv>  // for std::to_chars
#include <cmath>     // for std::isfinite
#include <csignal>   // for std::sig_atomic_t, sigprocmask
#include <cstdarg>
#include <cstdlib>  // for mkostemp, realpath, free
#include <cstring>  // for std::strerror
#include <ctime>
#include <filesystem>  // for read_symlink
#include <iostream>
#include <iterator>  // for std::size
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "atome.h"
#include "bond.h"
#include "diagnostics.h"
#include "molecule.h"
#include "residu.h"
#include "search_arom.h"
#include "tables.h"

namespace VXMole {

namespace {

// Label and substructure number of atoms that belong to no residue or to the default residue.
const char* const kDefaultLabel = "<1>";
// Tripos' text for a string field that holds nothing.
const char* const kEmptyField = "****";

bool isDummyName(const std::string& name) {
  return name == "DuCy" || name == "DUAr";
}

// Whether `text` can stand as one blank-separated field of a record: not empty, and no blank or
// control character inside.
bool isCleanField(const std::string& text) {
  if (text.empty()) return false;
  for (unsigned char c : text)
    if (c <= ' ' || c == 0x7f) return false;
  return true;
}

// `text` as one field: blanks at either end dropped, blanks and control characters inside
// turned into '_', `fallback` when nothing is left. Returns `text` itself when it is already
// clean, so that the common case costs no copy.
const char* asField(const std::string& text, std::string& scratch, const char* fallback) {
  if (isCleanField(text)) return text.c_str();
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return fallback;
  const auto last = text.find_last_not_of(" \t\r\n");
  scratch.assign(text, first, last - first + 1);
  for (char& c : scratch)
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) c = '_';
  return scratch.c_str();
}

// A name written on a line of its own: line breaks and other control characters become blanks.
std::string asLine(const std::string& text) {
  std::string line = text;
  for (char& c : line)
    if (static_cast<unsigned char>(c) < ' ' || c == 0x7f) c = ' ';
  return line;
}

// The text of the COMMENT section: the molecule's comment, then each data item as an SDF file
// writes it ("> <name>", then its value). A section tag within the text would start a section
// of its own: it is written "@ <TRIPOS>".
std::string commentText(const Molecule& molecule) {
  std::string text = molecule.getComment();
  for (const Molecule::DataItem& item : molecule.getDataItems()) {
    if (!text.empty()) text += '\n';
    text += "> <" + item.name + ">\n" + item.value;
  }
  static const std::string kTag = "@<TRIPOS>";
  for (size_t at = text.find(kTag); at != std::string::npos; at = text.find(kTag, at + 1))
    text.insert(at + 1, " ");
  return text;
}

const char* bondTypeWord(int type) {
  switch (type) {
    case kBondAromatic:
      return "ar";
    case kBondAmide:
      return "am";
    case kBondAny:
      return "an";
    case kBondDummy:
      return "du";
    default:
      return "un";
  }
}

// The name of a substructure no one knows, written as it stands.
const std::string kUnknownSubstructure = "UNK";

// Substructure type: residues of the kinds amino acid (2), 3 and water (5) are RESIDUEs.
const char* substructureType(int kind) {
  return kind == 2 || kind == 3 || kind == kResiduWater ? "RESIDUE" : "GROUP  ";
}

// The residue name followed by the residue number and insertion code ("ALA" and 12 give
// "ALA12", with code A "ALA12A"). A name longer than a PDB residue name (three characters) is
// a MOL2 substructure's name, read as it stood ("LEU14", "AGLY", "LIG1"), and so is a name that
// already ends in its number: such a name is the label itself, so that reading and writing
// again leaves it as it was. "UNK", the name MOL2 writers give a substructure they know
// nothing of, stands alone too (whatever its number: 999 for many). Labels may repeat; the
// substructure number tells the substructures apart.
std::string substructureLabel(const Residu& residue) {
  const std::string& name = residue.getName();
  const std::string number = std::to_string(residue.getNum());
  if (name.size() > 3 || name == kUnknownSubstructure) return name;
  if (name.size() > number.size() &&
      name.compare(name.size() - number.size(), number.size(), number) == 0)
    return name;
  std::string label = name + number;
  if (residue.getInsertionCode() != '\0') label += residue.getInsertionCode();
  return label;
}

// A formal charge as an attribute value: an integer as such ("1", "-2"), anything else in
// full.
std::string chargeText(double charge) {
  char text[32];
  if (charge == static_cast<double>(static_cast<long>(charge)))
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(charge));
  else
    std::snprintf(text, sizeof text, "%.17g", charge);
  return text;
}

// The Tripos type written for an untyped atom of each element that has one: the sp3 type where
// the element has several, the plain element type otherwise. Hydrogen and nitrogen are chosen
// in code.
struct ElementType {
  unsigned atomicNum;
  const char* type;
};
// clang-format off
constexpr ElementType kElementTypes[] = {
    {3,  "Li"},    {6,  "C.3"},   {8,  "O.3"},   {9,  "F"},     {11, "Na"},
    {12, "Mg"},    {13, "Al"},    {14, "Si"},    {15, "P.3"},   {16, "S.3"},
    {17, "Cl"},    {19, "K"},     {20, "Ca"},    {24, "Cr.oh"}, {25, "Mn"},
    {26, "Fe"},    {27, "Co.oh"}, {29, "Cu"},    {30, "Zn"},    {34, "Se"},
    {35, "Br"},    {42, "Mo"},    {50, "Sn"},    {53, "I"},
};
// clang-format on
static_assert(std::size(kElementTypes) == 24, "one row per element with a Tripos type");

// One SUBSTRUCTURE record: the first residue that gave its label and chain, and the number of
// written bonds that leave it.
struct Substructure {
  const Residu* residue;
  std::string label;  // residue name and number ("ALA12"), as one field
  int interBonds = 0;
};

struct WrittenBond {
  int first, second;  // written atom numbers
  int type;
};

// The type written for an atom: its stored type text as it was read or typed, as one field;
// the Tripos type of its element when it has none.
std::string writtenType(const Atom& atom) {
  const std::string_view fallback = elementMol2Type(atom);
  if (atom.getMOL2type().empty()) return std::string(fallback);
  std::string scratch;
  return asField(atom.getMOL2type(), scratch, fallback.data());
}

// printf's "%Nd", "%-Ns" and "%N.Pf" for the ATOM and BOND records, appended to a buffer of
// lines: the same characters, without parsing a format for every field. std::to_chars writes
// the fixed-point digits exactly as printf does (both round the double's exact value).
void appendPadded(std::string& out, std::string_view text, int width, bool left) {
  const size_t pad = text.size() < static_cast<size_t>(width) ? width - text.size() : 0;
  if (!left) out.append(pad, ' ');
  out.append(text);
  if (left) out.append(pad, ' ');
}

void appendInt(std::string& out, int value, int width, bool left = false) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  appendPadded(out, std::string_view(digits, end - digits), width, left);
}

void appendFixed(std::string& out, double value, int width, int precision) {
  char digits[352];  // the widest double in fixed notation with a few decimals
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
  appendPadded(out, std::string_view(digits, result.ptr - digits), width, false);
}

// Lines gathered before they are written in one call.
const size_t kLineBufferBytes = 64 * 1024;

// The local time as strftime's "%c" writes it; "" when it cannot be had.
std::string timeStamp() {
  const time_t now = time(nullptr);
  struct tm local;
  char stamp[256];
  if (localtime_r(&now, &local) == nullptr || strftime(stamp, sizeof stamp, "%c", &local) == 0)
    return std::string();
  return stamp;
}

}  // namespace

std::string_view elementMol2Type(const Atom& atom) {
  const std::string& symbol = atom.getAtomicName();
  // An atom whose element was never given, or whose symbol was unknown and fell back on
  // hydrogen's data, has no element to speak for.
  if (symbol.empty()) return "Du";
  const unsigned z = atom.getAtomicNum();
  if (z == 1) return symbol[0] == 'H' || symbol[0] == 'D' ? "H" : "Du";
  // Four bonds make a nitrogen an ammonium.
  if (z == 7) return atom.numBonds() >= 4 ? "N.4" : "N.3";
  for (const ElementType& row : kElementTypes)
    if (row.atomicNum == z) return row.type;
  // Elements without a Tripos type: their symbol, which MOL2 readers take for the element,
  // unless our own type table would find another element in it (boron's "B" in "Br").
  if (z < 2 || z >= DUMMY_ATOMIC_NUM) return "Du";
  const std::string_view element = AtomData[z - 1].symbol;
  for (const Mol2SpecRow& row : MOL2_SPEC)
    if (row.type.find(element) != std::string_view::npos)
      return row.atomicNum == z ? element : "Du";
  return element;
}

void MoleWriter::put(const char* format, ...) {
  if (!error_.empty()) return;
  va_list args;
  va_start(args, format);
  const int written = vfprintf(file_, format, args);
  va_end(args);
  if (written < 0) fail(std::strerror(errno));
}

void MoleWriter::putLines(std::string& lines) {
  if (error_.empty() && !lines.empty() &&
      fwrite(lines.data(), 1, lines.size(), file_) != lines.size())
    fail(std::strerror(errno));
  lines.clear();
}

void MoleWriter::writeMOL2(Molecule* molecule, bool withDummies, bool rotated) {
  if (file_ == nullptr || molecule == nullptr || !error_.empty()) return;
  try {
    writeMolecule(*molecule, withDummies, rotated);
  } catch (const std::out_of_range&) {
    fail("an atom belongs to a residue that is not in its molecule");
    throw;
  } catch (...) {
    fail("the molecule could not be written");
    throw;
  }
}

// What the records of one molecule need, worked out before the first byte is written, so that
// the counts announced in the MOLECULE record are those of the records that follow. Written atom
// numbers run 1, 2, 3... over every atom in molecule order, a dummy left out using up its number
// all the same. Bonds, roots and rings find them from the atom itself, through its map number or
// index checked against the atom's position (no search); this gives the numbers a lookup by map
// number would, and stays right when a file repeated a map number.
struct MoleWriter::Layout {
  explicit Layout(const Molecule& m)
      : molecule(m),
        protein(m.getType() == kMoleProtein),
        defaultResidue(m.getDefaultResidu()),
        numAtoms(m.numAtoms()) {}

  // One substructure per residue, numbered from 1 in molecule order. Residues are never merged,
  // whatever their labels.
  void numberSubstructures();
  // Numbers the atoms written, with their substructures and types. Returns why the molecule
  // cannot be written ("" when it can); throws std::out_of_range for an atom whose residue is
  // not one of the molecule's.
  std::string numberAtoms(bool withDummies, bool rotated);
  // The bonds between written atoms, and the bonds that leave each substructure.
  void listBonds();

  // Position of an atom of the molecule, numAtoms for any other. An atom's number (its index as
  // read) or its map number less one is its position in nearly every molecule; checking that
  // costs nothing, and a hash of every atom is built only when it fails.
  size_t positionOf(const Atom* atom) const;
  // The written number of an atom of the molecule; 0 for an atom left out or of another.
  int writtenNumOf(const Atom* atom) const {
    const size_t position = positionOf(atom);
    return position < numAtoms ? writtenNum[position] : 0;
  }
  // The label of an atom's substructure.
  const char* labelOf(size_t i) const {
    const Residu* residue = molecule.atom(i).getResidu();
    return residue == nullptr || residue == defaultResidue
               ? kDefaultLabel
               : substructures[atomSubstructure[i] - 1].label.c_str();
  }

  const Molecule& molecule;
  const bool protein;
  const Residu* const defaultResidue;
  const size_t numAtoms;
  std::vector<Substructure> substructures;
  std::unordered_map<const Residu*, int> substructureOf;  // residue -> its number
  // Atoms outside any residue, or in the default residue, take the label "<1>" and the number
  // of a substructure of that label, else 1, which they then share with the first residue.
  int defaultSubstructure = 1;
  std::vector<int> writtenNum;        // by position: 1, 2, 3...; 0 for an atom left out
  std::vector<int> atomSubstructure;  // by position: 1, 2, 3...; 0 for an atom left out
  std::vector<std::string> types;     // by position: the type written; "" for an atom left out
  int atomCount = 0;                  // atoms written
  bool charged = false;               // a written atom has a partial charge
  std::vector<WrittenBond> bonds;
  mutable std::unordered_map<const Atom*, size_t> positionIndex;  // built when first needed
};

void MoleWriter::Layout::numberSubstructures() {
  std::string scratch;
  for (size_t i = 0; i < molecule.numResidues(); ++i) {
    const Residu& residue = molecule.residu(i);
    std::string label = asField(substructureLabel(residue), scratch, kDefaultLabel);
    substructures.push_back(Substructure{&residue, std::move(label)});
    substructureOf.emplace(&residue, static_cast<int>(substructures.size()));
  }
  for (size_t i = 0; i < substructures.size(); ++i) {
    if (substructures[i].label == kDefaultLabel) {
      defaultSubstructure = static_cast<int>(i) + 1;
      break;
    }
  }
}

std::string MoleWriter::Layout::numberAtoms(bool withDummies, bool rotated) {
  writtenNum.assign(numAtoms, 0);
  atomSubstructure.assign(numAtoms, 0);
  for (size_t i = 0; i < numAtoms; ++i) {
    const Atom& atom = molecule.atom(i);
    if (!withDummies && isDummyName(atom.getName())) continue;
    writtenNum[i] = static_cast<int>(i) + 1;
    ++atomCount;
    const Coords& at = rotated ? atom.getRotatedCoords() : atom.getFixedCoords();
    if (!std::isfinite(at.x) || !std::isfinite(at.y) || !std::isfinite(at.z) ||
        !std::isfinite(atom.getPartialCharge()))
      return "atom " + std::to_string(i + 1) + " (" + atom.getName() +
             ") has a coordinate or charge that is not a number";
    if (atom.getPartialCharge() != 0) charged = true;
    const Residu* residue = atom.getResidu();
    if (residue == nullptr || residue == defaultResidue) {
      atomSubstructure[i] = defaultSubstructure;
    } else {
      atomSubstructure[i] = substructureOf.at(residue);  // std::out_of_range: a foreign residue
    }
  }
  types.resize(numAtoms);
  for (size_t i = 0; i < numAtoms; ++i)
    if (writtenNum[i] != 0) types[i] = writtenType(molecule.atom(i));
  return std::string();
}

size_t MoleWriter::Layout::positionOf(const Atom* atom) const {
  if (atom == nullptr) return numAtoms;
  for (size_t guess : {size_t{atom->getNum()}, size_t{atom->getMapNum()} - 1})
    if (guess < numAtoms && &molecule.atom(guess) == atom) return guess;
  if (positionIndex.empty()) {
    positionIndex.reserve(numAtoms);
    for (size_t i = 0; i < numAtoms; ++i) positionIndex.emplace(&molecule.atom(i), i);
  }
  const auto found = positionIndex.find(atom);
  return found == positionIndex.end() ? numAtoms : found->second;
}

// Bonds, in molecule order, each written from its first atom to its second as it was made (as
// read from a file). A bond to an atom that is not written would name a missing atom: it is
// left out.
void MoleWriter::Layout::listBonds() {
  bonds.reserve(molecule.numBonds());
  for (size_t i = 0; i < molecule.numBonds(); ++i) {
    const Bond& bond = molecule.bond(i);
    const size_t first = positionOf(bond.getFirst());
    const size_t second = positionOf(bond.getSecond());
    if (first == numAtoms || second == numAtoms) continue;
    const int a = writtenNum[first];
    const int b = writtenNum[second];
    if (a == 0 || b == 0) continue;
    bonds.push_back(WrittenBond{a, b, bond.getType()});
    const int sa = atomSubstructure[first];
    const int sb = atomSubstructure[second];
    if (sa != sb) {
      if (sa >= 1 && static_cast<size_t>(sa) <= substructures.size())
        ++substructures[sa - 1].interBonds;
      if (sb >= 1 && static_cast<size_t>(sb) <= substructures.size())
        ++substructures[sb - 1].interBonds;
    }
  }
}

void MoleWriter::writeMolecule(Molecule& molecule, bool withDummies, bool rotated) {
  const std::string stamp = timeStamp();
  molecule.cleanResidu();
  Layout layout(molecule);
  layout.numberSubstructures();
  const std::string fault = layout.numberAtoms(withDummies, rotated);
  if (!fault.empty()) {
    fail(fault);
    return;
  }
  layout.listBonds();

  writeHeader(layout, stamp);
  writeAtoms(layout, rotated);
  writeFormalCharges(layout);
  writeBonds(layout);
  writeSubstructures(layout);
  const std::string comment = commentText(molecule);
  if (!comment.empty() && error_.empty()) put("@<TRIPOS>COMMENT\n%s\n", comment.c_str());
  if (withDummies && error_.empty()) writeRingSets(layout);
  if (error_.empty() && ferror(file_)) fail("write error");
}

void MoleWriter::writeHeader(const Layout& layout, const std::string& stamp) {
  const std::string& name = layout.molecule.getName();
  if (!name.empty()) put("#    Name: %s\n", asLine(name).c_str());
  put("#    Modification time : %s\n\n", stamp.c_str());
  put("@<TRIPOS>MOLECULE\n%s\n%5d %5d %5d %5d %5d\n",
      name.size() < 2 ? "unnamed" : asLine(name).c_str(), layout.atomCount,
      static_cast<int>(layout.bonds.size()), static_cast<int>(layout.substructures.size()), 0, 0);
  put("%s", layout.protein ? "PROTEIN\n" : "SMALL\n");
  // The charge type a MOL2 file gave is written back as read; else what the charges show.
  const std::string& chargeType = layout.molecule.getChargeType();
  if (!chargeType.empty()) {
    put("%s\n", asLine(chargeType).c_str());
  } else {
    put("%s", layout.charged ? "USER_CHARGES\n" : "NO_CHARGES\n");
  }
  if (layout.protein) put("@<TRIPOS>DICT\nBIOPOLYMER macromol\n");
}

void MoleWriter::writeAtoms(const Layout& layout, bool rotated) {
  put("@<TRIPOS>ATOM\n");
  std::string nameScratch;
  std::string lines;
  lines.reserve(kLineBufferBytes + 256);
  for (size_t i = 0; i < layout.numAtoms && error_.empty(); ++i) {
    if (layout.writtenNum[i] == 0) continue;
    const Atom& atom = layout.molecule.atom(i);
    const Coords& at = rotated ? atom.getRotatedCoords() : atom.getFixedCoords();
    // A nameless atom is called by its element's symbol (looked up only then).
    const char* atomName =
        isCleanField(atom.getName())
            ? atom.getName().c_str()
            : asField(
                  atom.getName(), nameScratch,
                  elementMol2Type(atom) == "Du" ? "Du" : AtomData[atom.getAtomicNum() - 1].symbol);
    // "%7d %-8s %9.4f %9.4f %9.4f %-5s %5d %-9s %8.4f\n"
    appendInt(lines, layout.writtenNum[i], 7);
    lines += ' ';
    appendPadded(lines, atomName, 8, true);
    lines += ' ';
    appendFixed(lines, at.x, 9, 4);
    lines += ' ';
    appendFixed(lines, at.y, 9, 4);
    lines += ' ';
    appendFixed(lines, at.z, 9, 4);
    lines += ' ';
    appendPadded(lines, layout.types[i], 5, true);
    lines += ' ';
    appendInt(lines, layout.atomSubstructure[i], 5);
    lines += ' ';
    appendPadded(lines, layout.labelOf(i), 9, true);
    lines += ' ';
    appendFixed(lines, atom.getPartialCharge(), 8, 4);
    lines += '\n';
    if (lines.size() >= kLineBufferBytes) putLines(lines);
  }
  putLines(lines);
}

// Formal charges, as atom attributes.
void MoleWriter::writeFormalCharges(const Layout& layout) {
  bool attributes = false;
  for (size_t i = 0; i < layout.numAtoms && error_.empty(); ++i) {
    const double charge = layout.molecule.atom(i).getFormalCharge();
    if (layout.writtenNum[i] == 0 || charge == 0 || !std::isfinite(charge)) continue;
    if (!attributes) put("@<TRIPOS>UNITY_ATOM_ATTR\n");
    attributes = true;
    put("%d 1\ncharge %s\n", layout.writtenNum[i], chargeText(charge).c_str());
  }
}

void MoleWriter::writeBonds(const Layout& layout) {
  put("@<TRIPOS>BOND\n");
  std::string lines;
  lines.reserve(kLineBufferBytes + 256);
  for (size_t i = 0; i < layout.bonds.size() && error_.empty(); ++i) {
    const WrittenBond& bond = layout.bonds[i];
    // "%6d %4d %4d " then "%-3d\n" for codes 1 to 3, else "%-3s\n" with the type's word
    appendInt(lines, static_cast<int>(i) + 1, 6);
    lines += ' ';
    appendInt(lines, bond.first, 4);
    lines += ' ';
    appendInt(lines, bond.second, 4);
    lines += ' ';
    if (bond.type >= kBondSingle && bond.type <= kBondTriple)
      appendInt(lines, bond.type, 3, true);
    else
      appendPadded(lines, bondTypeWord(bond.type), 3, true);
    lines += '\n';
    if (lines.size() >= kLineBufferBytes) putLines(lines);
  }
  putLines(lines);
}

// The status is "ROOT" for the first substructure of each chain, where the chain starts, and
// "****" (no status) for the others; the comment that closes the record repeats the residue's
// three-letter name, chain and number. A molecule without residues has a blank line in place
// of the section.
void MoleWriter::writeSubstructures(const Layout& layout) {
  if (layout.molecule.numResidues() == 0) {
    put("\n");
    return;
  }
  put("@<TRIPOS>SUBSTRUCTURE\n");
  std::unordered_set<std::string> chainsStarted;
  std::string chainScratch, name3Scratch, commentScratch;
  for (size_t i = 0; i < layout.substructures.size() && error_.empty(); ++i) {
    const Substructure& sub = layout.substructures[i];
    const Residu& residue = *sub.residue;
    if ((layout.protein && residue.getNum() == 0) ||
        (!layout.protein && &residue == layout.defaultResidue)) {
      put("      1 ****           1\n");
      continue;
    }
    int root = layout.writtenNumOf(residue.getRoot());
    for (size_t k = 0; root == 0 && k < residue.getAtoms().size(); ++k)
      root = layout.writtenNumOf(residue.getAtoms()[k]);
    if (root == 0) root = 1;
    const char* status = chainsStarted.insert(residue.getChain()).second ? "ROOT" : kEmptyField;
    const char* name3 = asField(residue.getName3(), name3Scratch, kEmptyField);
    put("%6d %-6s %6d %-7s %11d %-4s  %3s%6d %4s %3s %1s%4d\n", static_cast<int>(i) + 1,
        sub.label.c_str(), root, substructureType(residue.getKind()), 4,
        asField(residue.getChain(), chainScratch, kEmptyField), name3, sub.interBonds, status,
        name3, asField(residue.getChain(), commentScratch, ""), residue.getNum());
  }
}

// Rings: a SET of member atoms and a CENTROID record for each ring's dummy atom.
void MoleWriter::writeRingSets(const Layout& layout) {
  std::string centroids, sets;
  for (size_t n = 1; n <= layout.molecule.numCycles(); ++n) {
    const Cycle& ring = layout.molecule.cycle(n - 1);
    std::string members;
    int count = 0;
    for (const Atom* member : ring.atoms) {
      const int number = layout.writtenNumOf(member);
      if (number == 0) continue;
      members += ' ';
      members += std::to_string(number);
      ++count;
    }
    sets += "CYCLE" + std::to_string(n) + " STATIC ATOMS CENTROID **** " +
            (ring.aromatic ? "AROMATIC CYCLE" : "CYCLE") + "\n" + std::to_string(count) + members +
            "\n";
    const int centroid = layout.writtenNumOf(ring.centroid);
    if (centroid != 0)
      centroids += "CENTR_CYCLE" + std::to_string(n) + "\n" + std::to_string(centroid) + " " +
                   std::to_string(n) + "\n";
  }
  put("@<TRIPOS>CENTROID\n%s", centroids.c_str());
  put("@<TRIPOS>SET\n%s", sets.c_str());
}

}  // namespace VXMole
