// PDB record cutting: columns of ATOM, HETATM and CONECT records, hybrid-36, numbers.
#include "pdbrecord.h"

#include <cctype>  // for std::isalpha
#include <cstdint>
#include <stdexcept>

#include "global.h"

namespace VXMole::pdb {

const std::string kDelimiters = ", \n, ;, (, )";

namespace {

// Record names that carry an atom.
const std::string kAtomRecords = "ATOM , HETATM";

// A raw column range: `width` characters from `start`, shortened at the end of the line. A start
// beyond the end of the line is an out-of-range error.
std::string_view columns(std::string_view line, size_t start, size_t width) {
  if (start > line.size()) throw std::out_of_range("basic_string::substr");
  return line.substr(start, width);
}

// The range up to its first delimiter.
std::string_view cut(std::string_view range, const std::string& delimiters) {
  return range.substr(0, range.find_first_of(delimiters));
}

// The first word of the range. A range of delimiters only has none: out-of-range error.
std::string_view trimmed(std::string_view range, const std::string& delimiters) {
  const size_t begin = range.find_first_not_of(delimiters);
  if (begin == std::string_view::npos) throw std::out_of_range("basic_string::substr");
  const size_t end = range.find_first_of(delimiters, begin);
  return range.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

// ---------------------------------------------------------------------------------------------
// Atom records without the field map: the common record is cut into views of the line exactly
// as tokenize cuts it into the map. A record these helpers cannot take plainly (one tokenize
// would reject, or cut another way) is cut by tokenize, so that its fields and its errors are
// tokenize's.

bool columnView(std::string_view line, size_t start, size_t width, std::string_view& out) {
  if (start > line.size()) return false;  // columns() would throw
  out = line.substr(start, width);
  return true;
}

// The characters of kDelimiters, as a table.
struct DelimiterTable {
  bool is[256] = {};
  DelimiterTable() {
    for (char c : kDelimiters) is[static_cast<unsigned char>(c)] = true;
  }
};

bool trimmedView(std::string_view line, size_t start, size_t width, std::string_view& out) {
  static const DelimiterTable kIsDelimiter;
  std::string_view range;
  if (!columnView(line, start, width, range)) return false;
  auto delimiter = [](char c) { return kIsDelimiter.is[static_cast<unsigned char>(c)]; };
  size_t begin = 0;
  while (begin < range.size() && delimiter(range[begin])) ++begin;
  if (begin == range.size()) return false;  // trimmed() would throw
  size_t end = begin;
  while (end < range.size() && !delimiter(range[end])) ++end;
  out = range.substr(begin, end - begin);
  return true;
}

// The element column (77-78) when it names an element: one or two letters. Anything else (a
// blank column, or the digits of the line numbers that legacy files keep in columns 73-80)
// names none, and the element then comes from the atom name.
std::string_view elementColumn(std::string_view line) {
  if (line.size() < 77) return std::string_view();
  std::string_view column = line.substr(76, 2);
  while (!column.empty() && column.front() == ' ') column.remove_prefix(1);
  while (!column.empty() && column.back() == ' ') column.remove_suffix(1);
  for (char c : column)
    if (!std::isalpha(static_cast<unsigned char>(c))) return std::string_view();
  return column;
}

// The fields of a record that starts "ATOM  " or "HETATM", as tokenize would store them, except
// that a blank atom number or residue number is read as empty, and the occupancy and
// temperature factor are not looked at. False for any other record and where tokenize would
// cut the record another way or reject it (cut short, or a blank name, residue name or
// coordinate).
bool cutPlainly(std::string_view line, AtomFields& f) {
  if (line.compare(0, 6, "ATOM  ") == 0) {
    f.type = line.substr(0, 4);
  } else if (line.compare(0, 6, "HETATM") == 0) {
    f.type = line.substr(0, 6);
  } else {
    return false;
  }
  if (!columnView(line, 6, 5, f.num)) return false;
  if (!trimmedView(line, 6, 5, f.num)) f.num = std::string_view();
  if (!trimmedView(line, 12, 4, f.name) || !trimmedView(line, 17, 3, f.res)) return false;
  if (line.size() > 21 && line[21] != ' ') {
    f.chain = line.substr(21, 1);
    if (!columnView(line, 22, 4, f.resId)) return false;
  } else {
    f.chain = std::string_view();
    if (!columnView(line, 21, 5, f.resId)) return false;
    if (!trimmedView(line, 21, 5, f.resId)) f.resId = std::string_view();
  }
  return trimmedView(line, 30, 8, f.x) && trimmedView(line, 38, 8, f.y) &&
         trimmedView(line, 46, 8, f.z);
}

// The same fields from the map that tokenize filled; the views live as long as the map.
AtomFields viewsOf(const std::map<std::string, std::string>& fields) {
  auto view = [&fields](const char* key) {
    auto it = fields.find(key);
    return it == fields.end() ? std::string_view() : std::string_view(it->second);
  };
  AtomFields f;
  f.type = view("Type");
  f.num = view("Num");
  f.name = view("Name");
  f.res = view("Res");
  f.chain = view("Chain");
  f.resId = view("ResId");
  f.x = view("X");
  f.y = view("Y");
  f.z = view("Z");
  return f;
}

// The fields read from fixed columns alone, whichever way the rest was cut.
void readFixedColumns(std::string_view line, AtomFields& f) {
  f.element = elementColumn(line);
  f.charge = line.size() > 78 ? line.substr(78, 2) : std::string_view();
  f.altLoc = line.size() > 16 ? line[16] : ' ';
  f.insertionCode = line.size() > 26 ? line[26] : ' ';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

void tokenize(std::string_view line, std::map<std::string, std::string>& fields,
              const std::string& delimiters) {
  const std::string_view type = cut(line.substr(0, 6), delimiters);
  fields.emplace("Type", type);
  if (!appartient(std::string(type), kAtomRecords)) return;

  auto store = [&fields](const char* key, std::string_view value) { fields.emplace(key, value); };
  store("Num", trimmed(columns(line, 6, 5), delimiters));
  store("Name", trimmed(columns(line, 12, 4), delimiters));
  store("Res", trimmed(columns(line, 17, 3), delimiters));
  const bool hasChain = line.size() > 21 && line[21] != ' ';
  if (hasChain) {
    store("Chain", columns(line, 21, 1));
    store("ResId", columns(line, 22, 4));
  } else {
    store("ResId", trimmed(columns(line, 21, 5), delimiters));
  }
  store("X", trimmed(columns(line, 30, 8), delimiters));
  store("Y", trimmed(columns(line, 38, 8), delimiters));
  store("Z", trimmed(columns(line, 46, 8), delimiters));
  if (line.size() >= 60) store("Occup", trimmed(columns(line, 54, 6), delimiters));
  if (line.size() >= 66) store("Heat", trimmed(columns(line, 60, 6), delimiters));
  if (line.size() >= 78) store("AtmName", trimmed(columns(line, 76, 2), delimiters));
}

bool cutAtomRecord(std::string_view line, AtomFields& fields,
                   std::map<std::string, std::string>& scratch) {
  if (!cutPlainly(line, fields)) {
    scratch.clear();
    tokenize(line, scratch, kDelimiters);
    // Type, Num, Name, Res, ResId, X, Y, Z at least for an atom record; Type alone otherwise.
    if (scratch.size() < 8) return false;
    fields = viewsOf(scratch);
  }
  readFixedColumns(line, fields);
  return true;
}

bool readHybrid36(std::string_view text, size_t width, long long& value) {
  if (text.size() != width) return false;
  const bool upper = text[0] >= 'A' && text[0] <= 'Z';
  const bool lower = text[0] >= 'a' && text[0] <= 'z';
  if (!upper && !lower) return false;
  long long digits = 0;
  for (char c : text) {
    int digit;
    if (isDigit(c)) {
      digit = c - '0';
    } else if (upper && c >= 'A' && c <= 'Z') {
      digit = c - 'A' + 10;
    } else if (lower && c >= 'a' && c <= 'z') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    digits = digits * 36 + digit;
  }
  long long power = 1;    // 36^(width - 1)
  long long decimal = 1;  // 10^width
  for (size_t i = 1; i < width; ++i) power *= 36;
  for (size_t i = 0; i < width; ++i) decimal *= 10;
  value = upper ? digits - 10 * power + decimal : digits + 16 * power + decimal;
  return true;
}

unsigned readAtomNumber(std::string_view text) {
  if (!text.empty() && text.size() <= 9) {
    unsigned value = 0;
    bool plain = true;
    for (char c : text) {
      if (!isDigit(c)) {
        plain = false;
        break;
      }
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (plain) return value;
  }
  long long value = 0;
  if (!readHybrid36(text, 5, value)) value = leadingNumber(text);
  return value > 0 && value <= 0xFFFFFFFFll ? static_cast<unsigned>(value) : 0;
}

int readResidueNumber(std::string_view text) {
  text = trimBlanks(text);
  long long value = 0;
  if (!readHybrid36(text, 4, value)) value = leadingNumber(text);
  if (value > 0x7FFFFFFFll || value < -0x7FFFFFFFll) return 0;
  return static_cast<int>(value);
}

// Plain decimals ("-12.345", "7", ".5") of at most 15 digits are read without a copy: such a
// number is an integer m of at most 15 digits over 10^k, both exact in a double, so the one
// rounding of m / 10^k gives the nearest double to the decimal, as strtod does. Other forms go
// to std::stod itself.
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

double readFormalCharge(std::string_view text) {
  text = trimBlanks(text);
  int magnitude = 1;
  char sign = 0;
  for (char c : text) {
    if (isDigit(c)) {
      magnitude = c - '0';
    } else if (c == '+' || c == '-') {
      sign = c;
    } else {
      return 0;
    }
  }
  if (sign == 0) return 0;
  return sign == '-' ? -magnitude : magnitude;
}

void readConectNumbers(std::string_view line, unsigned (&numbers)[5]) {
  const size_t starts[5] = {6, 11, 16, 21, 26};
  for (int i = 0; i < 5; ++i)
    numbers[i] = starts[i] < line.size() ? readAtomNumber(line.substr(starts[i], 5)) : 0;
}

}  // namespace VXMole::pdb
