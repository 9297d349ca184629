// Tests of the constant reference tables (elements, MOL2 types, residues) and of PhysProp.
#include "tables.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "physprop.h"

using namespace VXMole;

namespace {

// Atomic numbers of the rows whose field is 0, in table order.
template <typename Field>
std::vector<unsigned> zeroRows(Field field) {
  std::vector<unsigned> found;
  for (const AtomDataRow& row : AtomData)
    if (row.*field == 0.0) found.push_back(row.atomicNum);
  return found;
}

std::vector<unsigned> range(unsigned first, unsigned last) {
  std::vector<unsigned> numbers;
  for (unsigned z = first; z <= last; ++z) numbers.push_back(z);
  return numbers;
}

// First MOL2 row whose type contains the text, as the atom typing searches; MOL2_SPEC_SIZE if none.
std::size_t firstMol2Row(std::string_view text) {
  for (std::size_t i = 0; i < MOL2_SPEC_SIZE; ++i)
    if (MOL2_SPEC[i].type.find(text) != std::string_view::npos) return i;
  return MOL2_SPEC_SIZE;
}

std::set<std::string_view> typesWithProp(std::string_view letters) {
  std::set<std::string_view> types;
  for (const Mol2SpecRow& row : MOL2_SPEC)
    if (row.props.find(letters) != std::string_view::npos) types.insert(row.type);
  return types;
}

}  // namespace

TEST(Tables, ElementRowsAreAddressedByAtomicNumber) {
  ASSERT_EQ(std::size(AtomData), 88u);
  std::set<std::string> symbols;
  for (std::size_t i = 0; i < std::size(AtomData); ++i) {
    const AtomDataRow& row = AtomData[i];
    SCOPED_TRACE(row.symbol);
    EXPECT_EQ(row.atomicNum, i + 1);
    // One upper-case letter, optionally one lower-case letter, then NUL.
    const std::size_t len = strnlen(row.symbol, sizeof row.symbol);
    ASSERT_TRUE(len == 1 || len == 2);
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(row.symbol[0])));
    if (len == 2) {
      EXPECT_TRUE(std::islower(static_cast<unsigned char>(row.symbol[1])));
    }
    EXPECT_TRUE(symbols.insert(row.symbol).second) << "duplicate symbol";
    EXPECT_FALSE(row.name.empty());
    for (int c : {row.red, row.green, row.blue}) {
      EXPECT_GE(c, 0);
      EXPECT_LE(c, 255);
    }
    EXPECT_GE(row.vdwRadius, 0.0);
    EXPECT_GE(row.atomicRadius, 0.0);
    // Standard atomic weights grow with Z, apart from the known inversions Ar/K, Co/Ni, Te/I.
    if (row.mass > 0.0 && i > 0 && AtomData[i - 1].mass > 0.0 && row.atomicNum != 19 &&
        row.atomicNum != 28 && row.atomicNum != 53) {
      EXPECT_GT(row.mass, AtomData[i - 1].mass);
    }
  }
}

TEST(Tables, ElementSpotValues) {
  const AtomDataRow& carbon = AtomData[5];
  EXPECT_STREQ(carbon.symbol, "C");
  EXPECT_EQ(carbon.name, "Carbon");
  EXPECT_EQ(carbon.red, 32);
  EXPECT_EQ(carbon.green, 128);
  EXPECT_EQ(carbon.blue, 32);
  EXPECT_DOUBLE_EQ(carbon.vdwRadius, 1.7);
  EXPECT_DOUBLE_EQ(carbon.atomicRadius, 0.7);
  EXPECT_DOUBLE_EQ(carbon.mass, 12.0107);
  EXPECT_DOUBLE_EQ(AtomData[0].mass, 1.0079);
  EXPECT_DOUBLE_EQ(AtomData[10].mass, 22.98977);
  EXPECT_DOUBLE_EQ(AtomData[11].mass, 24.3050);
  EXPECT_STREQ(AtomData[19].symbol, "Ca");
  EXPECT_STREQ(AtomData[29].symbol, "Zn");
  EXPECT_STREQ(AtomData[86].symbol, "Fr");
  // Display names kept as the library has always shown them.
  EXPECT_EQ(AtomData[8].name, "Fluor");
  EXPECT_EQ(AtomData[12].name, "Aluminium");
  EXPECT_EQ(AtomData[16].name, "Chloride");
  EXPECT_EQ(AtomData[54].name, "Cesium");
}

TEST(Tables, DummyElementIsLastRow) {
  const AtomDataRow& dummy = AtomData[DUMMY_ATOMIC_NUM - 1];
  EXPECT_EQ(dummy.atomicNum, 88u);
  EXPECT_STREQ(dummy.symbol, "Du");
  EXPECT_EQ(dummy.name, "Dummy");
  EXPECT_EQ(dummy.red, 10);
  EXPECT_EQ(dummy.green, 10);
  EXPECT_EQ(dummy.blue, 10);
  EXPECT_EQ(dummy.vdwRadius, 0.0);
  EXPECT_EQ(dummy.atomicRadius, 0.0);
  EXPECT_EQ(dummy.mass, 0.0);
}

TEST(Tables, ElementsWithoutValues) {
  EXPECT_EQ(zeroRows(&AtomDataRow::mass), (std::vector<unsigned>{43, 61, 84, 85, 86, 87, 88}));
  EXPECT_EQ(zeroRows(&AtomDataRow::atomicRadius),
            (std::vector<unsigned>{36, 54, 82, 85, 86, 87, 88}));
  std::vector<unsigned> noVdw = range(39, 48);
  for (unsigned z : range(57, 80)) noVdw.push_back(z);
  noVdw.push_back(88);
  EXPECT_EQ(zeroRows(&AtomDataRow::vdwRadius), noVdw);
}

TEST(Tables, Mol2FirstMatchOrder) {
  // A given type is matched by substring; the first row wins.
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("S.o")].type, "S.o2");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("C")].type, "C.3");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("N")].type, "N.am");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("O")].type, "O.2");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("S")].type, "S.3");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("P")].type, "P.3");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("Co")].type, "Co.oh");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("Du")].type, "Du");
  EXPECT_EQ(MOL2_SPEC[firstMol2Row("F")].type, "F");
  EXPECT_EQ(firstMol2Row("c.3"), MOL2_SPEC_SIZE);
  EXPECT_EQ(firstMol2Row("C.3 "), MOL2_SPEC_SIZE);
  // Every other row is reached by its own type; only "S.o", "S" and "P" are shadowed.
  for (std::size_t i = 0; i < MOL2_SPEC_SIZE; ++i) {
    const std::string_view type = MOL2_SPEC[i].type;
    if (type == "S.o" || type == "S" || type == "P") continue;
    EXPECT_EQ(firstMol2Row(type), i) << type;
  }
  EXPECT_EQ(firstMol2Row("S.o"), 17u);
  EXPECT_EQ(firstMol2Row("S"), 9u);
  EXPECT_EQ(firstMol2Row("P"), 13u);
}

TEST(Tables, Mol2ElementMatchesTypeName) {
  std::set<std::string_view> types;
  for (const Mol2SpecRow& row : MOL2_SPEC) {
    SCOPED_TRACE(std::string(row.type));
    EXPECT_TRUE(types.insert(row.type).second) << "duplicate type";
    ASSERT_GE(row.atomicNum, 1u);
    ASSERT_LE(row.atomicNum, 53u);
    const std::string_view element = row.type.substr(0, row.type.find('.'));
    if (element == "Du" || element == "LP") {
      EXPECT_EQ(row.atomicNum, 1u);  // placeholders take hydrogen's data
    } else {
      EXPECT_EQ(element, AtomData[row.atomicNum - 1].symbol);
    }
  }
}

TEST(Tables, Mol2PropertyLetters) {
  using Types = std::set<std::string_view>;
  EXPECT_EQ(typesWithProp("Ar"), (Types{"C.ar", "N.ar"}));
  EXPECT_EQ(typesWithProp("MOINS"), (Types{"O.co2"}));
  EXPECT_EQ(typesWithProp("H"),
            (Types{"C.3", "C.2", "S.3", "F", "Cl", "I", "C.1", "Br", "S.2", "S"}));
  EXPECT_EQ(typesWithProp("PLUS"), (Types{"C.cat", "N.4", "Mg", "Zn", "Mn", "Ca", "Fe", "Cu"}));
  EXPECT_EQ(typesWithProp("NOP"), (Types{"H", "P.3", "S.o2", "S.o", "H.spc", "H.t3p"}));
  EXPECT_EQ(typesWithProp("D"),
            (Types{"N.am", "O.3", "N.pl3", "N.4", "N.ar", "Mg", "Zn", "Mn", "Ca", "Fe", "Cu"}));
  EXPECT_EQ(MOL2_SPEC[6].props, "A, D, ");
  EXPECT_EQ(MOL2_SPEC[7].props, "A, MOINS, ");
  EXPECT_EQ(MOL2_SPEC[9].props, "H, A");
  EXPECT_EQ(MOL2_SPEC[10].props, "D, PLUS, ");
  EXPECT_EQ(MOL2_SPEC[14].props, "Ar, A, D, ");
  EXPECT_EQ(MOL2_SPEC[24].props, "");
  EXPECT_EQ(MOL2_POLAR_PARTNERS, "N.4, N.2, O.2");
  EXPECT_EQ(MOL2_NON_ACCEPTING_N, "N.pl3, N.am, N.4");
  EXPECT_EQ(MOL2_METALS, "Ca, Cd, Co, Cu, Fe, Mg, Mn, Ni, Zn");
}

TEST(Tables, ResidueNamesAreUniqueExceptTetrahydrobiopterin) {
  ASSERT_EQ(std::size(AAcid), 64u);
  EXPECT_EQ(AACID_NONE, 64u);
  std::set<std::string_view> names;
  std::set<std::string_view> codes;
  for (std::size_t i = 0; i < AACID_SIZE; ++i) {
    const AAcidRow& row = AAcid[i];
    SCOPED_TRACE(std::string(row.name3));
    EXPECT_EQ(row.name3.size(), 3u);
    EXPECT_TRUE(names.insert(row.name3).second) << "duplicate three-letter name";
    EXPECT_GT(row.molWeight, 0.0);
    EXPECT_GE(row.heavyAtoms, 1);
    EXPECT_LE(row.heavyAtoms, row.allAtoms);
    if (i < 22) {  // amino acids
      EXPECT_EQ(row.kind, 2);
      EXPECT_EQ(row.code.size(), 1u);
      EXPECT_TRUE(codes.insert(row.code).second) << "duplicate one-letter code";
      EXPECT_EQ(row.classes.empty(), row.name3 == "PRO");
    } else {
      EXPECT_EQ(row.kind, i < 59 ? 1 : 5);
      EXPECT_EQ(row.code, "");
      EXPECT_EQ(row.classes, "");
    }
  }
  const AAcidRow& bh4 = AAcid[29];
  const AAcidRow& h4b = AAcid[46];
  EXPECT_EQ(bh4.name3, "BH4");
  EXPECT_EQ(h4b.name3, "H4B");
  EXPECT_EQ(bh4.longName, h4b.longName);
  EXPECT_EQ(bh4.longName, "(6R,1'R,2'S)-5,6,7,8 Tetrahydrobiopterin");
  EXPECT_EQ(bh4.molWeight, h4b.molWeight);
  EXPECT_EQ(bh4.heavyAtoms, h4b.heavyAtoms);
  EXPECT_EQ(bh4.allAtoms, h4b.allAtoms);
}

TEST(Tables, ResidueRows) {
  const AAcidRow& ala = AAcid[0];
  EXPECT_EQ(ala.code, "A");
  EXPECT_EQ(ala.name3, "ALA");
  EXPECT_EQ(ala.longName, "Alanine");
  EXPECT_DOUBLE_EQ(ala.molWeight, 89.094);
  EXPECT_EQ(ala.classes, "AP, AL");
  EXPECT_EQ(ala.heavyAtoms, 5);
  EXPECT_EQ(ala.allAtoms, 10);
  EXPECT_EQ(AAcid[11].longName, "Asparigine");
  EXPECT_EQ(AAcid[20].longName, "Tryptophane");
  EXPECT_EQ(AAcid[27].name3, "ATP");
  EXPECT_EQ(AAcid[27].longName, "Adenosine triphosphate");
  EXPECT_EQ(AAcid[57].longName, "thymidine-5'-triphophate");
  EXPECT_EQ(AAcid[22].longName, "ACETYL COENZYME *A");
  const char* const waters[] = {"HOH", "WAT", "WTR", "MTO", "DOD"};
  for (std::size_t i = 0; i < std::size(waters); ++i) {
    const AAcidRow& water = AAcid[59 + i];
    SCOPED_TRACE(waters[i]);
    EXPECT_EQ(water.name3, waters[i]);
    EXPECT_EQ(water.longName, "Water");
    EXPECT_DOUBLE_EQ(water.molWeight, 18.01);
    EXPECT_EQ(water.heavyAtoms, 1);
    EXPECT_EQ(water.allAtoms, 3);
    EXPECT_EQ(water.kind, 5);
  }
}

TEST(PhysProp, ToStringListsSetFlagsInFixedOrder) {
  PhysProp props;
  EXPECT_EQ(props.toString(), "");
  props.inRing = 1;
  props.hydrophobic = 1;
  props.acceptor = 1;
  props.metal = 1;
  EXPECT_EQ(props.toString(), "Hydrophobic|Acceptor|Metal|In Ring|");
  props.aromatic = props.donor = props.cation = props.anion = 1;
  EXPECT_EQ(props.toString(), "Hydrophobic|Aromatic|Acceptor|Donor|Cation|Anion|Metal|In Ring|");
}

TEST(PhysProp, NoPropertyAndReservedFlagsAreNotPrintedAndClearResetsAll) {
  PhysProp props;
  props.noProperty = 1;
  for (unsigned char& flag : props.reserved) flag = 1;
  EXPECT_EQ(props.toString(), "");
  props.aromatic = props.donor = 1;
  props.clear();
  const PhysProp cleared;
  EXPECT_EQ(std::memcmp(&props, &cleared, sizeof props), 0);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&props);
  for (std::size_t i = 0; i < sizeof props; ++i) EXPECT_EQ(bytes[i], 0) << "flag " << i;
}
