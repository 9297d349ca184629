// Tests of PDB record cutting: tokenize, and the plain cut of atom records against it.
#include "pdbrecord.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pdb_test_records.h"

using namespace VXMole;
using pdb_test::mutate;
using pdb_test::record;

// ---------------------------------------------------------------------------------------------
// tokenize

TEST(PdbRecord, TokenizeStandardAtomRecord) {
  const std::string line = record("ATOM", 1, " N  ", "ALA", 'A', 1, 11.104, 6.134, -6.504, "N");
  ASSERT_EQ(line.size(), 78u);
  std::map<std::string, std::string> fields;
  pdb::tokenize(line, fields, ", \n, ;, (, )");
  const std::map<std::string, std::string> expected = {
      {"Type", "ATOM"}, {"Num", "1"},      {"Name", "N"},    {"Res", "ALA"},
      {"Chain", "A"},   {"ResId", "   1"}, {"X", "11.104"},  {"Y", "6.134"},
      {"Z", "-6.504"},  {"Occup", "1.00"}, {"Heat", "0.00"}, {"AtmName", "N"}};
  EXPECT_EQ(fields, expected);

  fields.clear();
  pdb::tokenize(mutate(line, 21, " "), fields, ", \n, ;, (, )");
  EXPECT_EQ(fields.count("Chain"), 0u);
  EXPECT_EQ(fields["ResId"], "1");
}

TEST(PdbRecord, TokenizeOptionalColumnsFollowTheLineLength) {
  const std::string line = record("HETATM", 12, "ZN  ", "ZN", ' ', 7, 1.5, -2.25, 3.0, "ZN");
  std::map<std::string, std::string> fields;
  pdb::tokenize(line.substr(0, 66), fields, ", \n, ;, (, )");
  EXPECT_EQ(fields["Heat"], "0.00");
  EXPECT_EQ(fields.count("AtmName"), 0u);
  fields.clear();
  pdb::tokenize(line.substr(0, 59), fields, ", \n, ;, (, )");
  EXPECT_EQ(fields.count("Occup"), 0u);
  EXPECT_EQ(fields["Z"], "3.000");
  EXPECT_EQ(fields.size(), 8u);  // no chain: Type Num Name Res ResId X Y Z
}

TEST(PdbRecord, TokenizeOtherRecordsGiveOnlyTheType) {
  for (const std::string line : {"TER       4      GLY A   1", "REMARK   2 RESOLUTION.", "END"}) {
    std::map<std::string, std::string> fields;
    pdb::tokenize(line, fields, ", \n, ;, (, )");
    EXPECT_EQ(fields.size(), 1u) << line;
    EXPECT_EQ(fields.count("Type"), 1u);
  }
}

TEST(PdbRecord, TokenizeRejectsBlankFieldsAndShortLines) {
  const std::string line = record("ATOM", 1, " N  ", "ALA", 'A', 1, 11.104, 6.134, -6.504, "N");
  std::map<std::string, std::string> fields;
  // A blank atom name, a blank coordinate, a blank element column, a line that stops before Z.
  for (const std::string& bad : {mutate(line, 12, "    "), mutate(line, 38, "        "),
                                 mutate(line, 76, "  "), line.substr(0, 40)}) {
    fields.clear();
    try {
      pdb::tokenize(bad, fields, ", \n, ;, (, )");
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const std::out_of_range& e) {
      EXPECT_STREQ(e.what(), "basic_string::substr");
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The plain cut of atom records

namespace {

// The fields that cutAtomRecord shares with tokenize, as tokenize's map holds them.
std::map<std::string, std::string> asMap(const pdb::AtomFields& f) {
  std::map<std::string, std::string> out;
  const std::pair<const char*, std::string_view> fields[] = {
      {"Type", f.type},   {"Num", f.num}, {"Name", f.name}, {"Res", f.res}, {"Chain", f.chain},
      {"ResId", f.resId}, {"X", f.x},     {"Y", f.y},       {"Z", f.z}};
  for (const auto& [key, value] : fields)
    if (!value.empty()) out.emplace(key, std::string(value));
  return out;
}

}  // namespace

// Whichever way a record is cut, plainly or (for an unusual record) by tokenize, its fields
// are tokenize's; the fixed columns are read from the line either way.
TEST(PdbRecord, CutAtomRecordGivesTokenizeFields) {
  const std::string line = record("HETATM", 12, "ZN  ", "ZN", 'B', 7, 1.5, -2.25, 3.0, "ZN") + "2+";
  const std::vector<std::string> records = {
      line,
      mutate(line, 21, " "),      // no chain: the residue number trimmed
      mutate(line, 0, "ATOM  "),  // the other record name
      mutate(line, 0, "ATOM,("),  // delimiters after the name: cut by tokenize
      mutate(line, 16, "A"),      // an alternate site
      mutate(line, 26, "C"),      // an insertion code
  };
  for (const std::string& text : records) {
    std::map<std::string, std::string> expected;
    pdb::tokenize(text, expected, pdb::kDelimiters);
    expected.erase("Occup");
    expected.erase("Heat");
    expected.erase("AtmName");
    pdb::AtomFields fields;
    std::map<std::string, std::string> scratch;
    ASSERT_TRUE(pdb::cutAtomRecord(text, fields, scratch)) << text;
    EXPECT_EQ(asMap(fields), expected) << text;
    EXPECT_EQ(fields.element, "ZN") << text;
    EXPECT_EQ(fields.charge, "2+") << text;
    EXPECT_EQ(fields.altLoc, text[16]) << text;
    EXPECT_EQ(fields.insertionCode, text[26]) << text;
  }
  // A record name that is no atom record: tokenize keeps the type alone.
  pdb::AtomFields fields;
  std::map<std::string, std::string> scratch;
  EXPECT_FALSE(pdb::cutAtomRecord(mutate(line, 0, "ATOMIC"), fields, scratch));
  // Blank numbers read as empty (0), where tokenize finds no word; a line cut short throws.
  ASSERT_TRUE(pdb::cutAtomRecord(mutate(mutate(line, 6, "     "), 21, "     "), fields, scratch));
  EXPECT_EQ(fields.num, "");
  EXPECT_EQ(fields.resId, "");
  EXPECT_THROW(pdb::cutAtomRecord(line.substr(0, 40), fields, scratch), std::out_of_range);
  // The digits of legacy line numbers in columns 77-78 name no element.
  ASSERT_TRUE(pdb::cutAtomRecord(mutate(line, 72, "1HPV 186"), fields, scratch));
  EXPECT_EQ(fields.element, "");
}
