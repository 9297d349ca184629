// PDB record cutting: the fixed columns of coordinate and CONECT records, hybrid-36 and the
// numbers they hold, as pure functions.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace VXMole::pdb {

// Characters that separate the fields of a record: comma, blank, newline, semicolon and
// parentheses.
extern const std::string kDelimiters;

// Cuts one record into named fields, columns counted from 0: "Type" (0-5, up to its first
// delimiter); for ATOM and HETATM records only, "Num" (6-10), "Name" (12-15), "Res" (17-19),
// "Chain" (21, when not blank) with the raw "ResId" (22-25), else the trimmed "ResId" (21-25),
// "X", "Y", "Z" (30-37, 38-45, 46-53), and by the line's length "Occup" (54-59), "Heat"
// (60-65), "AtmName" (76-77). Fields are trimmed of `delimiters` except where raw. A key
// already in the map is left as it is. A field that starts past the line's end, or holds
// delimiters only, throws std::out_of_range ("basic_string::substr").
void tokenize(std::string_view line, std::map<std::string, std::string>& fields,
              const std::string& delimiters);

// The fields of an atom record that the readers use, as views into the line (or into the
// field map of tokenize); "" where tokenize would store no entry.
struct AtomFields {
  std::string_view type, num, name, res, chain, resId, x, y, z;
  std::string_view element;  // columns 77-78 when they name an element, else ""
  std::string_view charge;   // columns 79-80 ("2+", "1-"), "" when the line stops before
  char altLoc = ' ';         // column 17, blank when the atom has one site
  char insertionCode = ' ';  // column 27, blank when none
};

// The fields of a line that starts "ATOM" or holds "HETATM" in its first six columns. The
// fields are those of tokenize, except that a blank atom or residue number reads as empty and
// the occupancy and temperature factor are not looked at; a record tokenize cuts in another
// way (an unusual record name, a blank field) is cut by tokenize into `scratch`, which the
// views then point into. False for a record that holds no atom (its name is neither ATOM nor
// HETATM). Throws what tokenize throws for a record it cannot cut.
bool cutAtomRecord(std::string_view line, AtomFields& fields,
                   std::map<std::string, std::string>& scratch);

// A number in hybrid-36, as programs write atom numbers past 99,999 and residue numbers past
// 9,999 in fields of `width` characters: upper-case digits 0-9A-Z after the decimal range
// ("A0000" is 100000 in a field of 5, "A000" is 10000 in a field of 4), then lower-case digits.
// False when the text is not hybrid-36 of that width.
bool readHybrid36(std::string_view text, size_t width, long long& value);

// An atom number: plain decimal, hybrid-36, or the leading number of anything else; 0 for none
// ("*****", a blank field, a negative number).
unsigned readAtomNumber(std::string_view text);

// A residue number: decimal (negative numbers included), hybrid-36 in four columns, or the
// leading number of anything else; 0 for none.
int readResidueNumber(std::string_view text);

// A coordinate, exactly as std::stod reads it (and with its errors: std::invalid_argument and
// std::out_of_range, whose text is "stod").
double readCoordinate(std::string_view text);

// The formal charge of columns 79-80: a digit and a sign ("2+", "1-"), a sign and a digit, or a
// sign alone for one charge; 0 for anything else.
double readFormalCharge(std::string_view text);

// The atom numbers of a CONECT record: columns 7-11 and the four partner fields of columns
// 12-31; 0 for a blank field. Columns 32 on are not read (legacy files keep identifiers there).
void readConectNumbers(std::string_view line, unsigned (&numbers)[5]);

}  // namespace VXMole::pdb
