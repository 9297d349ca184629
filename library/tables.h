// Constant chemical reference tables: elements, MOL2 (SYBYL) atom types, residues and cofactors,
// and the BLOSUM62 substitution scores.
#pragma once

#include <cstddef>
#include <string_view>

namespace VXMole {

// All three tables are constant-initialised (constexpr aggregates), so they are ready before any
// dynamic initialisation runs and need no construction-order care.

// ---------------------------------------------------------------------------------------------
// Elements, addressed by atomic number: AtomData[z - 1].

struct AtomDataRow {
  unsigned atomicNum;     // 1 to 88; 88 is the dummy element, not radium
  char symbol[4];         // as written in structure files: "H", "He", "Cl"; NUL-terminated
  std::string_view name;  // display name
  int red, green, blue;   // display colour, each 0 to 255
  double vdwRadius;       // van der Waals radius in angstrom, 0 if none is kept
  double atomicRadius;    // atomic radius in angstrom, 0 if none is kept
  double mass;            // standard atomic weight in g/mol, 0 for elements without one
};

inline constexpr std::size_t ATOM_DATA_SIZE = 88;
inline constexpr unsigned DUMMY_ATOMIC_NUM = 88;  // the "Du" row, e.g. ring centroids

// Columns: atomic number; element symbol; display name; display colour (R, G, B) of the
// library's palette (grey for H to B, green C, blue N, red O, olive F to P, yellow S, lime from
// Cl on); van der Waals radius, after Bondi (1964) with Mantina et al. (2009) for the main-group
// elements Bondi lacks; atomic radius, after Slater (1964); mass, standard atomic weight. The
// last row is the dummy element "Du": dark grey, no radii, no mass.
// clang-format off
inline constexpr AtomDataRow AtomData[ATOM_DATA_SIZE] = {
    {1,  "H",  "Hydrogen",     192, 192, 192, 1.5,  0.25, 1.0079},
    {2,  "He", "Helium",       192, 192, 192, 1.4,  0.7,  4.0026},
    {3,  "Li", "Lithium",      192, 192, 192, 1.81, 1.45, 6.941},
    {4,  "Be", "Beryllium",    192, 192, 192, 1.53, 1.05, 9.0128},
    {5,  "B",  "Boron",        192, 192, 192, 1.92, 0.85, 10.811},
    {6,  "C",  "Carbon",       32,  128, 32,  1.7,  0.7,  12.0107},
    {7,  "N",  "Nitrogen",     64,  64,  255, 1.55, 0.65, 14.0067},
    {8,  "O",  "Oxygen",       255, 32,  32,  1.52, 0.6,  15.9994},
    {9,  "F",  "Fluor",        100, 100, 0,   1.47, 0.5,  18.9984},
    {10, "Ne", "Neon",         100, 100, 0,   1.54, 0.7,  20.1797},
    {11, "Na", "Sodium",       100, 100, 0,   2.27, 1.8,  22.98977},
    {12, "Mg", "Magnesium",    100, 100, 0,   1.73, 1.5,  24.3050},
    {13, "Al", "Aluminium",    100, 100, 0,   1.84, 1.25, 26.8715},
    {14, "Si", "Silicon",      100, 100, 0,   2.1,  1.1,  28.0855},
    {15, "P",  "Phosphorus",   100, 100, 0,   1.8,  1.0,  30.9738},
    {16, "S",  "Sulfur",       205, 207, 0,   1.8,  1.0,  32.0655},
    {17, "Cl", "Chloride",     102, 201, 0,   1.75, 1.0,  35.4532},
    {18, "Ar", "Argon",        102, 201, 0,   1.88, 1.74, 39.948},
    {19, "K",  "Potassium",    102, 201, 0,   2.75, 2.2,  39.0983},
    {20, "Ca", "Calcium",      102, 201, 0,   2.31, 1.8,  40.0784},
    {21, "Sc", "Scandium",     102, 201, 0,   1.7,  1.6,  44.9559},
    {22, "Ti", "Titanium",     102, 201, 0,   1.7,  1.4,  47.8671},
    {23, "V",  "Vanadium",     102, 201, 0,   1.7,  1.35, 50.8415},
    {24, "Cr", "Chromium",     102, 201, 0,   1.7,  1.4,  51.9962},
    {25, "Mn", "Manganese",    102, 201, 0,   1.7,  1.4,  54.9381},
    {26, "Fe", "Iron",         102, 201, 0,   1.7,  1.4,  55.8452},
    {27, "Co", "Cobalt",       102, 201, 0,   1.7,  1.35, 58.9332},
    {28, "Ni", "Nickel",       102, 201, 0,   1.63, 1.35, 58.6934},
    {29, "Cu", "Copper",       102, 201, 0,   1.4,  1.35, 63.5463},
    {30, "Zn", "Zinc",         102, 201, 0,   1.39, 1.35, 65.4094},
    {31, "Ga", "Gallium",      102, 201, 0,   1.87, 1.3,  69.723},
    {32, "Ge", "Germanium",    102, 201, 0,   2.11, 1.25, 72.641},
    {33, "As", "Arsenic",      102, 201, 0,   1.85, 1.15, 74.9216},
    {34, "Se", "Selenium",     102, 201, 0,   1.9,  1.15, 78.96},
    {35, "Br", "Bromine",      102, 201, 0,   1.83, 1.15, 79.904},
    {36, "Kr", "Krypton",      102, 201, 0,   2.02, 0.0,  83.798},
    {37, "Rb", "Rubidium",     102, 201, 0,   3.03, 2.35, 85.4678},
    {38, "Sr", "Strontium",    102, 201, 0,   2.49, 2.0,  87.621},
    {39, "Y",  "Yttrium",      102, 201, 0,   0.0,  1.8,  88.9059},
    {40, "Zr", "Zirconium",    102, 201, 0,   0.0,  1.55, 91.2242},
    {41, "Nb", "Niobium",      102, 201, 0,   0.0,  1.45, 92.9064},
    {42, "Mo", "Molybdenum",   102, 201, 0,   0.0,  1.45, 95.942},
    {43, "Tc", "Technetium",   102, 201, 0,   0.0,  1.35, 0.0},
    {44, "Ru", "Ruthenium",    102, 201, 0,   0.0,  1.3,  101.072},
    {45, "Rh", "Rhodium",      102, 201, 0,   0.0,  1.35, 102.9055},
    {46, "Pd", "Palladium",    102, 201, 0,   0.0,  1.4,  106.421},
    {47, "Ag", "Silver",       102, 201, 0,   0.0,  1.6,  107.8682},
    {48, "Cd", "Cadmium",      102, 201, 0,   0.0,  1.55, 112.4118},
    {49, "In", "Indium",       102, 201, 0,   1.93, 1.55, 114.8183},
    {50, "Sn", "Tin",          102, 201, 0,   2.17, 1.45, 118.7107},
    {51, "Sb", "Antimony",     102, 201, 0,   2.06, 1.45, 121.7601},
    {52, "Te", "Tellurium",    102, 201, 0,   2.06, 1.4,  127.603},
    {53, "I",  "Iodine",       102, 201, 0,   1.98, 1.4,  126.9045},
    {54, "Xe", "Xenon",        102, 201, 0,   2.16, 0.0,  131.2936},
    {55, "Cs", "Cesium",       102, 201, 0,   3.43, 2.6,  132.9055},
    {56, "Ba", "Barium",       102, 201, 0,   2.68, 2.15, 137.3277},
    {57, "La", "Lanthanum",    102, 201, 0,   0.0,  1.95, 138.9055},
    {58, "Ce", "Cerium",       102, 201, 0,   0.0,  1.85, 140.1161},
    {59, "Pr", "Praseodymium", 102, 201, 0,   0.0,  1.85, 140.9077},
    {60, "Nd", "Neodymium",    102, 201, 0,   0.0,  1.85, 144.2423},
    {61, "Pm", "Promethium",   102, 201, 0,   0.0,  1.85, 0.0},
    {62, "Sm", "Samarium",     102, 201, 0,   0.0,  1.85, 150.362},
    {63, "Eu", "Europium",     102, 201, 0,   0.0,  1.85, 151.9641},
    {64, "Gd", "Gadolinium",   102, 201, 0,   0.0,  1.8,  157.253},
    {65, "Tb", "Terbium",      102, 201, 0,   0.0,  1.75, 158.9253},
    {66, "Dy", "Dysprosium",   102, 201, 0,   0.0,  1.75, 162.5001},
    {67, "Ho", "Holmium",      102, 201, 0,   0.0,  1.75, 164.9303},
    {68, "Er", "Erbium",       102, 201, 0,   0.0,  1.75, 167.2593},
    {69, "Tm", "Thulium",      102, 201, 0,   0.0,  1.75, 168.9342},
    {70, "Yb", "Ytterbium",    102, 201, 0,   0.0,  1.75, 173.043},
    {71, "Lu", "Lutetium",     102, 201, 0,   0.0,  1.75, 174.9671},
    {72, "Hf", "Hafnium",      102, 201, 0,   0.0,  1.55, 178.492},
    {73, "Ta", "Tantalum",     102, 201, 0,   0.0,  1.45, 180.9479},
    {74, "W",  "Tungsten",     102, 201, 0,   0.0,  1.35, 183.841},
    {75, "Re", "Rhenium",      102, 201, 0,   0.0,  1.35, 186.2071},
    {76, "Os", "Osmium",       102, 201, 0,   0.0,  1.3,  190.233},
    {77, "Ir", "Iridium",      102, 201, 0,   0.0,  1.35, 192.217},
    {78, "Pt", "Platinum",     102, 201, 0,   0.0,  1.35, 195.0849},
    {79, "Au", "Gold",         102, 201, 0,   0.0,  1.35, 196.966},
    {80, "Hg", "Mercury",      102, 201, 0,   0.0,  1.5,  200.592},
    {81, "Tl", "Thallium",     102, 201, 0,   1.96, 1.9,  204.3833},
    {82, "Pb", "Lead",         102, 201, 0,   2.02, 0.0,  207.21},
    {83, "Bi", "Bismuth",      102, 201, 0,   2.07, 1.6,  208.9804},
    {84, "Po", "Polonium",     102, 201, 0,   1.97, 1.9,  0.0},
    {85, "At", "Astatine",     102, 201, 0,   2.02, 0.0,  0.0},
    {86, "Rn", "Radon",        102, 201, 0,   2.2,  0.0,  0.0},
    {87, "Fr", "Francium",     102, 201, 0,   3.48, 0.0,  0.0},
    {88, "Du", "Dummy",        10,  10,  10,  0.0,  0.0,  0.0},
};
// clang-format on
// The declared size refuses extra rows; a filled last row refuses missing ones.
static_assert(ATOM_DATA_SIZE == 88, "element table has 88 rows");
static_assert(AtomData[ATOM_DATA_SIZE - 1].atomicNum == DUMMY_ATOMIC_NUM, "dummy row is last");

// Whether two texts are the same letters in any case ("CL", "Cl"), as files spell symbols
// and types.
constexpr bool sameLettersAnyCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

// The row of the element a symbol names, written in any case ("CL", "cl", "Cl"); null when
// it names none. The dummy row names no element.
constexpr const AtomDataRow* elementOfSymbol(std::string_view symbol) {
  for (const AtomDataRow& row : AtomData)
    if (row.atomicNum != DUMMY_ATOMIC_NUM && sameLettersAnyCase(row.symbol, symbol)) return &row;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// MOL2 (SYBYL) atom types. A given type text is matched by substring against `type`, first row
// wins, so the order of the rows matters ("S.o" is found in "S.o2", "C" in "C.3").

struct Mol2SpecRow {
  std::string_view type;   // MOL2 atom type name
  std::string_view props;  // property letters, tested by substring (trailing ", " kept)
  unsigned atomicNum;      // element the type stands for: a row of AtomData
};

inline constexpr std::size_t MOL2_SPEC_SIZE = 51;

// Columns: SYBYL atom type name; pharmacophoric property letters ("Ar" aromatic, "H" hydrophobic
// unless polar-bonded, "A" acceptor, "D" donor, "PLUS" cation, "MOINS" anion, "NOP" no
// property, "" nothing); atomic number of the type's element ("Du", "LP" and "Du.C" are
// placeholders and take hydrogen).
// clang-format off
inline constexpr Mol2SpecRow MOL2_SPEC[MOL2_SPEC_SIZE] = {
    {"H",     "NOP",        1},
    {"C.3",   "H",          6},
    {"C.2",   "H",          6},
    {"O.2",   "A",          8},
    {"N.am",  "D",          7},
    {"C.ar",  "Ar",         6},
    {"O.3",   "A, D, ",     8},
    {"O.co2", "A, MOINS, ", 8},
    {"N.pl3", "D",          7},
    {"S.3",   "H, A",       16},
    {"N.4",   "D, PLUS, ",  7},
    {"N.2",   "A",          7},
    {"C.cat", "PLUS",       6},
    {"P.3",   "NOP",        15},
    {"N.ar",  "Ar, A, D, ", 7},
    {"F",     "H",          9},
    {"Mg",    "D, PLUS, ",  12},
    {"S.o2",  "NOP",        16},
    {"Cl",    "H",          17},
    {"I",     "H",          53},
    {"Zn",    "D, PLUS, ",  30},
    {"N.3",   "A",          7},
    {"C.1",   "H",          6},
    {"Mn",    "D, PLUS, ",  25},
    {"K",     "",           19},
    {"Br",    "H",          35},
    {"Ca",    "D, PLUS, ",  20},
    {"S.2",   "H",          16},
    {"N.1",   "A",          7},
    {"Fe",    "D, PLUS, ",  26},
    {"S.o",   "NOP",        16},
    {"Du",    "",           1},
    {"S",     "H",          16},
    {"P",     "",           15},
    {"Na",    "",           11},
    {"Li",    "",           3},
    {"Al",    "",           13},
    {"Cu",    "D, PLUS, ",  29},
    {"LP",    "",           1},
    {"Du.C",  "",           1},
    {"O.spc", "A",          8},
    {"O.t3p", "A",          8},
    {"H.spc", "NOP",        1},
    {"H.t3p", "NOP",        1},
    {"Si",    "",           14},
    {"Cr.oh", "",           24},
    {"Cr.th", "",           24},
    {"Se",    "",           34},
    {"Sn",    "",           50},
    {"Mo",    "",           42},
    {"Co.oh", "",           27},
};
// clang-format on
static_assert(MOL2_SPEC_SIZE == 51, "MOL2 type table has 51 rows");
static_assert(MOL2_SPEC[MOL2_SPEC_SIZE - 1].type == "Co.oh", "MOL2 type table is complete");

// Word lists searched as whole texts (substring tests).
// Partner types that make a double bond polar: an atom so bonded is not hydrophobic.
inline constexpr std::string_view MOL2_POLAR_PARTNERS = "N.4, N.2, O.2";
// Neutral nitrogen types that accept no hydrogen bond (lone pair delocalised or used).
inline constexpr std::string_view MOL2_NON_ACCEPTING_N = "N.pl3, N.am, N.4";
// Types that mark a metal ion.
inline constexpr std::string_view MOL2_METALS = "Ca, Cd, Co, Cu, Fe, Mg, Mn, Ni, Zn";

// ---------------------------------------------------------------------------------------------
// Residues and cofactors, matched by the first three characters of a residue name.

struct AAcidRow {
  std::string_view code;      // one-letter code, "" for rows that are not amino acids
  std::string_view name3;     // three-letter residue name as in structure files (match key)
  std::string_view longName;  // display name
  double molWeight;           // molecular weight of the free molecule, g/mol
  std::string_view classes;   // side-chain classes: AP apolar, PO polar, AC acidic, BA basic,
                              // AL aliphatic, AR aromatic; "" for proline and non-amino acids
  int heavyAtoms;             // heavy atom count, the initial capacity of a residue's atom list
  int allAtoms;               // atom count including hydrogens
  int kind;                   // residue kind: 2 amino acid, 1 cofactor, 5 water
};

inline constexpr std::size_t AACID_SIZE = 64;
inline constexpr unsigned AACID_NONE = 64;  // residue index meaning "no row"

// Columns: one-letter code (IUPAC); three-letter name (PDB residue name); display name;
// molecular weight of the free molecule; side-chain class tags; heavy atoms; all atoms; residue
// kind. Rows: 22 amino acids (the 20 standard ones, pyrrolysine, selenocysteine), 37 cofactors
// and nucleotides (tetrahydrobiopterin under both "BH4" and "H4B"), 5 names of water.
// clang-format off
inline constexpr AAcidRow AAcid[AACID_SIZE] = {
    {"A", "ALA", "Alanine",                                                           89.094,   "AP, AL", 5,  10,  2},
    {"C", "CYS", "Cysteine",                                                          121.154,  "PO",     7,  14,  2},
    {"D", "ASP", "Aspartic Acid",                                                     133.1038, "AC",     9,  16,  2},
    {"E", "GLU", "Glutamic Acid",                                                     147.1307, "AC",     10, 19,  2},
    {"F", "PHE", "Phenylalanine",                                                     165.1918, "AP, AR", 12, 23,  2},
    {"G", "GLY", "Glycine",                                                           75.0671,  "AP",     5,  10,  2},
    {"H", "HIS", "Histidine",                                                         155.1563, "BA, AR", 11, 20,  2},
    {"I", "ILE", "Isoleucine",                                                        131.1746, "AP, AL", 9,  22,  2},
    {"K", "LYS", "Lysine",                                                            146.1893, "BA",     10, 24,  2},
    {"L", "LEU", "Leucine",                                                           131.1746, "AP, AL", 9,  22,  2},
    {"M", "MET", "Methionine",                                                        149.2078, "AP",     9,  20,  2},
    {"N", "ASN", "Asparigine",                                                        132.119,  "PO",     9,  17,  2},
    {"O", "PYL", "Pyrrolysine",                                                       255.3134, "PO",     18, 39,  2},
    {"P", "PRO", "Proline",                                                           115.1305, "",       8,  17,  2},
    {"Q", "GLN", "Glutamine",                                                         146.1459, "PO",     10, 20,  2},
    {"R", "ARG", "Arginine",                                                          174.2027, "BA",     12, 26,  2},
    {"S", "SER", "Serine",                                                            105.0934, "PO",     7,  14,  2},
    {"T", "THR", "Threonine",                                                         119.1203, "PO",     8,  17,  2},
    {"U", "SEC", "Selenocysteine",                                                    168.053,  "PO",     8,  15,  2},
    {"V", "VAL", "Valine",                                                            117.1478, "AP, AL", 8,  19,  2},
    {"W", "TRP", "Tryptophane",                                                       204.2284, "AP, AR", 14, 26,  2},
    {"Y", "TYR", "Tyrosine",                                                          181.191,  "PO, AR", 13, 24,  2},
    {"",  "ACO", "ACETYL COENZYME *A",                                                809.571,  "",       51, 89,  1},
    {"",  "ACP", "PHOSPHOMETHYLPHOSPHONIC ACID ADENYLATE ESTER",                      505.21,   "",       31, 49,  1},
    {"",  "ADP", "Adenosine diphosphate",                                             427.201,  "",       27, 42,  1},
    {"",  "AMP", "Adenosine monophosphate",                                           347.22,   "",       23, 37,  1},
    {"",  "ANP", "PHOSPHOAMINOPHOSPHONIC ACID-ADENYLATE ESTER",                       506.2,    "",       31, 48,  1},
    {"",  "ATP", "Adenosine triphosphate",                                            507.181,  "",       31, 47,  1},
    {"",  "B12", "Cobalamin",                                                         1329.35,  "",       91, 179, 1},
    {"",  "BH4", "(6R,1'R,2'S)-5,6,7,8 Tetrahydrobiopterin",                          241.25,   "",       17, 32,  1},
    {"",  "CAA", "ACETOACETYL-COENZYME A",                                            851.65,   "",       41, 94,  1},
    {"",  "CAO", "Oxydized coenzyme A",                                               783.53,   "",       49, 85,  1},
    {"",  "CB5", "COBALT BIS(1,2-DICARBOLLIDE)",                                      323.75,   "",       23, 45,  1},
    {"",  "CDP", "Cytidine-5'-Diphosphate",                                           403.18,   "",       25, 40,  1},
    {"",  "CMP", "Cytidine monophosphate",                                            323.197,  "",       21, 35,  1},
    {"",  "COA", "Coenzyme A",                                                        767.534,  "",       48, 84,  1},
    {"",  "CTP", "Cytidine-5'-triphosphate",                                          483.16,   "",       29, 45,  1},
    {"",  "F3S", "FE3-S4 Cluster",                                                    295.8,    "",       7,  7,   1},
    {"",  "FAD", "Flavine adenine dinucleotide",                                      785.55,   "",       63, 96,  1},
    {"",  "FEO", "MU-OXO-DIIRON",                                                     127.69,   "",       3,  3,   1},
    {"",  "FES", "FE2/S2 (INORGANIC) CLUSTER",                                        175.82,   "",       4,  4,   1},
    {"",  "FMN", "Flavine mononucleotide",                                            456.544,  "",       52, 73,  1},
    {"",  "GDP", "Guanosine diphosphate",                                             443.2,    "",       28, 43,  1},
    {"",  "GMP", "Guanosine",                                                         283.24,   "",       20, 33,  1},
    {"",  "GNP", "PHOSPHOAMINOPHOSPHONIC ACID-GUANYLATE ESTER",                       522.2,    "",       32, 49,  1},
    {"",  "GTP", "Guanosine triphosphate",                                            523.18,   "",       32, 48,  1},
    {"",  "H4B", "(6R,1'R,2'S)-5,6,7,8 Tetrahydrobiopterin",                          241.25,   "",       17, 32,  1},
    {"",  "ICA", "ISOCITRATE CALCIUM COMPLEX",                                        231.19,   "",       14, 21,  1},
    {"",  "ITM", "ISOCITRIC ACID-MAGNESIUM COMPLEX",                                  215.42,   "",       14, 21,  1},
    {"",  "MCA", "METHYLMALONYL-COENZYME A",                                          867.61,   "",       55, 95,  1},
    {"",  "NAD", "Nicotinamide adenine dinucleotide",                                 664.425,  "",       44, 71,  1},
    {"",  "NAP", "Nicotinamide adenine dinucleotide phosphate",                       743.405,  "",       48, 76,  1},
    {"",  "NAI", "1,4-dihydronicotinamide adenine dinucleotide",                      665.441,  "",       44, 73,  1},
    {"",  "NDO", "NICOTINAMIDE-(6-DEAMINO-6-HYDROXY-ADENINE)-DINUCLEOTIDE PHOSPHATE", 744.39,   "",       47, 74,  1},
    {"",  "NDP", "dihydro-nicotinamide-adenine-dinucleotide phosphate",               745.42,   "",       48, 78,  1},
    {"",  "SCA", "SUCCINYL-COENZYME A",                                               867.61,   "",       55, 95,  1},
    {"",  "SF4", "IRON/SULFUR CLUSTER",                                               351.64,   "",       8,  8,   1},
    {"",  "TTP", "thymidine-5'-triphophate",                                          482.17,   "",       29, 46,  1},
    {"",  "UMP", "2'-DEOXYURIDINE 5'-MONOPHOSPHATE",                                  308.18,   "",       20, 33,  1},
    {"",  "HOH", "Water",                                                             18.01,    "",       1,  3,   5},
    {"",  "WAT", "Water",                                                             18.01,    "",       1,  3,   5},
    {"",  "WTR", "Water",                                                             18.01,    "",       1,  3,   5},
    {"",  "MTO", "Water",                                                             18.01,    "",       1,  3,   5},
    {"",  "DOD", "Water",                                                             18.01,    "",       1,  3,   5},
};
// clang-format on
static_assert(AACID_SIZE == 64, "residue table has 64 rows");
static_assert(AAcid[AACID_SIZE - 1].name3 == "DOD", "residue table is complete");
static_assert(AACID_NONE == AACID_SIZE, "the no-row index is one past the last row");

// ---------------------------------------------------------------------------------------------
// BLOSUM62 amino-acid substitution scores (Henikoff and Henikoff 1992), in half-bit units, as
// NCBI distributes the matrix (made by matblas from blosum62.iij; the * column takes the
// minimum score).

inline constexpr std::size_t BLOSUM62_SIZE = 24;
// The letters of the rows and columns: the twenty amino acids, B (D or N), Z (E or Q), X (any)
// and * (a stop).
inline constexpr std::string_view BLOSUM62_LETTERS = "ARNDCQEGHILKMFPSTWYVBZX*";

// Columns and rows in the order of BLOSUM62_LETTERS.
// clang-format off
inline constexpr signed char BLOSUM62[BLOSUM62_SIZE][BLOSUM62_SIZE] = {
    { 4, -1, -2, -2,  0, -1, -1,  0, -2, -1, -1, -1, -1, -2, -1,  1,  0, -3, -2,  0, -2, -1,  0, -4},  // A
    {-1,  5,  0, -2, -3,  1,  0, -2,  0, -3, -2,  2, -1, -3, -2, -1, -1, -3, -2, -3, -1,  0, -1, -4},  // R
    {-2,  0,  6,  1, -3,  0,  0,  0,  1, -3, -3,  0, -2, -3, -2,  1,  0, -4, -2, -3,  3,  0, -1, -4},  // N
    {-2, -2,  1,  6, -3,  0,  2, -1, -1, -3, -4, -1, -3, -3, -1,  0, -1, -4, -3, -3,  4,  1, -1, -4},  // D
    { 0, -3, -3, -3,  9, -3, -4, -3, -3, -1, -1, -3, -1, -2, -3, -1, -1, -2, -2, -1, -3, -3, -2, -4},  // C
    {-1,  1,  0,  0, -3,  5,  2, -2,  0, -3, -2,  1,  0, -3, -1,  0, -1, -2, -1, -2,  0,  3, -1, -4},  // Q
    {-1,  0,  0,  2, -4,  2,  5, -2,  0, -3, -3,  1, -2, -3, -1,  0, -1, -3, -2, -2,  1,  4, -1, -4},  // E
    { 0, -2,  0, -1, -3, -2, -2,  6, -2, -4, -4, -2, -3, -3, -2,  0, -2, -2, -3, -3, -1, -2, -1, -4},  // G
    {-2,  0,  1, -1, -3,  0,  0, -2,  8, -3, -3, -1, -2, -1, -2, -1, -2, -2,  2, -3,  0,  0, -1, -4},  // H
    {-1, -3, -3, -3, -1, -3, -3, -4, -3,  4,  2, -3,  1,  0, -3, -2, -1, -3, -1,  3, -3, -3, -1, -4},  // I
    {-1, -2, -3, -4, -1, -2, -3, -4, -3,  2,  4, -2,  2,  0, -3, -2, -1, -2, -1,  1, -4, -3, -1, -4},  // L
    {-1,  2,  0, -1, -3,  1,  1, -2, -1, -3, -2,  5, -1, -3, -1,  0, -1, -3, -2, -2,  0,  1, -1, -4},  // K
    {-1, -1, -2, -3, -1,  0, -2, -3, -2,  1,  2, -1,  5,  0, -2, -1, -1, -1, -1,  1, -3, -1, -1, -4},  // M
    {-2, -3, -3, -3, -2, -3, -3, -3, -1,  0,  0, -3,  0,  6, -4, -2, -2,  1,  3, -1, -3, -3, -1, -4},  // F
    {-1, -2, -2, -1, -3, -1, -1, -2, -2, -3, -3, -1, -2, -4,  7, -1, -1, -4, -3, -2, -2, -1, -2, -4},  // P
    { 1, -1,  1,  0, -1,  0,  0,  0, -1, -2, -2,  0, -1, -2, -1,  4,  1, -3, -2, -2,  0,  0,  0, -4},  // S
    { 0, -1,  0, -1, -1, -1, -1, -2, -2, -1, -1, -1, -1, -2, -1,  1,  5, -2, -2,  0, -1, -1,  0, -4},  // T
    {-3, -3, -4, -4, -2, -2, -3, -2, -2, -3, -2, -3, -1,  1, -4, -3, -2, 11,  2, -3, -4, -3, -2, -4},  // W
    {-2, -2, -2, -3, -2, -1, -2, -3,  2, -1, -1, -2, -1,  3, -3, -2, -2,  2,  7, -1, -3, -2, -1, -4},  // Y
    { 0, -3, -3, -3, -1, -2, -2, -3, -3,  3,  1, -2,  1, -1, -2, -2,  0, -3, -1,  4, -3, -2, -1, -4},  // V
    {-2, -1,  3,  4, -3,  0,  1, -1,  0, -3, -4,  0, -3, -3, -2,  0, -1, -4, -3, -3,  4,  1, -1, -4},  // B
    {-1,  0,  0,  1, -3,  3,  4, -2,  0, -3, -3,  1, -1, -3, -1,  0, -1, -3, -2, -2,  1,  4, -1, -4},  // Z
    { 0, -1, -1, -1, -2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -2,  0,  0, -2, -1, -1, -1, -1, -1, -4},  // X
    {-4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4,  1},  // *
};
// clang-format on
static_assert(BLOSUM62_LETTERS.size() == BLOSUM62_SIZE, "one letter per row of BLOSUM62");

// Whether the matrix equals its transpose: a substitution scores the same both ways.
constexpr bool blosum62IsSymmetric() {
  for (std::size_t i = 0; i < BLOSUM62_SIZE; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (BLOSUM62[i][j] != BLOSUM62[j][i]) return false;
  return true;
}
static_assert(blosum62IsSymmetric(), "BLOSUM62 is symmetric");
static_assert(BLOSUM62[22][22] == -1 && BLOSUM62[23][23] == 1, "BLOSUM62 ends with X and *");

}  // namespace VXMole
