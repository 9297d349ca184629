// Tests of selections and residue classes: each keyword and class, insertion codes, alternate
// sites, within and byres, the grammar's precedence, and the messages of texts it refuses.
#include "selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "atome.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"
#include "residueclass.h"

using namespace VXMole;

namespace {

// A small complex built by hand: a protein chain A with an insertion code, a modified residue
// joined by a peptide bond and hydrogens, a water, a zinc ion, a ligand with two alternate
// sites of one atom, a ligand whose atoms carry backbone names but join nothing, and a nucleic
// acid chain B.
class SelectionComplex : public ::testing::Test {
 protected:
  void SetUp() override {
    Residu* ala = residue(1, "ALA", "A");
    atom(ala, "N", "N", 0, 0, 0);
    atom(ala, "CA", "C", 1.46, 0, 0);
    atom(ala, "C", "C", 2.0, 1.42, 0);
    atom(ala, "H", "H", -0.9, 0, 0);
    Residu* modified = residue(2, "XYZ", "A");
    atom(modified, "N", "N", 3.2, 1.6, 0);  // 1.33 Å from ALA's C
    atom(modified, "CA", "C", 3.9, 2.9, 0);
    atom(modified, "C", "C", 5.3, 2.8, 0);
    atom(residue(52, "SER", "A"), "OG", "O", 10, 0, 0);
    Residu* inserted = residue(52, "SER", "A");
    inserted->setInsertionCode('A');
    atom(inserted, "OG", "O", 11, 0, 0);
    atom(residue(53, "SER", "A"), "OG", "O", 12, 0, 0);
    atom(residue(301, "HOH", "A"), "O", "O", 20, 0, 0);
    atom(residue(401, "ZN", "A"), "ZN", "Zn", 30, 0, 0);
    Residu* ske = residue(402, "SKE", "A");
    atom(ske, "C1", "C", 40, 0, 0)->setAltLoc('A');
    atom(ske, "C1", "C", 40.25, 0, 0)->setAltLoc('B');
    atom(ske, "N1", "N", 41.5, 0, 0);
    atom(ske, "Cl1", "Cl", 43.5, 0, 0);
    Residu* lookalike = residue(403, "LIG", "A");
    atom(lookalike, "N", "N", 60, 0, 0);
    atom(lookalike, "CA", "C", 61.5, 0, 0);
    atom(lookalike, "C", "C", 62, 1.4, 0);
    atom(residue(1, "DA", "B"), "P", "P", 80, 0, 0);
    atom(residue(2, "U", "B"), "P", "P", 86, 0, 0);
  }

  Residu* residue(int number, const std::string& name, const std::string& chain) {
    return molecule.addResidu(number, name, chain);
  }

  Atom* atom(Residu* residue, const std::string& name, const std::string& symbol, double x,
             double y, double z) {
    auto* a =
        new Atom(static_cast<unsigned>(molecule.numAtoms()),
                 static_cast<unsigned>(molecule.numAtoms() + 1), symbol, Coords(x, y, z), name, "");
    molecule.addAtom(a, residue);
    return a;
  }

  // The atoms taken, each as "residue number[insertion]:atom name[alternate letter]".
  std::string picked(const std::string& text) {
    const std::vector<bool> taken = Selection(text).atoms(molecule);
    std::string out;
    for (size_t i = 0; i < molecule.numAtoms(); ++i) {
      if (!taken[i]) continue;
      const Atom& a = molecule.atom(i);
      if (!out.empty()) out += " ";
      out += std::to_string(a.getResidu()->getNum());
      if (a.getResidu()->getInsertionCode() != '\0') out += a.getResidu()->getInsertionCode();
      out += ":" + a.getName();
      if (a.getAltLoc() != '\0') out += a.getAltLoc();
    }
    return out;
  }

  Molecule molecule;
};

TEST_F(SelectionComplex, EachClassTakesItsResidues) {
  EXPECT_EQ(picked("protein"),
            "1:N 1:CA 1:C 1:H 2:N 2:CA 2:C 52:OG 52A:OG 53:OG");  // XYZ joins by a peptide bond
  EXPECT_EQ(picked("nucleic"), "1:P 2:P");
  EXPECT_EQ(picked("water"), "301:O");
  EXPECT_EQ(picked("metal"), "401:ZN");
  EXPECT_EQ(picked("ligand"),
            "402:C1A 402:C1B 402:N1 402:Cl1 403:N 403:CA 403:C");  // LIG's backbone joins nothing
  EXPECT_EQ(picked("hydrogen"), "1:H");
  EXPECT_EQ(picked("all"), picked("protein or nucleic or water or metal or ligand"));
}

TEST_F(SelectionComplex, KeywordsMatchNamesNumbersChainsElementsAndSites) {
  EXPECT_EQ(picked("resn ske"), "402:C1A 402:C1B 402:N1 402:Cl1");  // any case
  EXPECT_EQ(picked("resn HOH+ZN"), "301:O 401:ZN");
  EXPECT_EQ(picked("name C? and resn SKE"), "402:C1A 402:C1B");  // ? is one character
  EXPECT_EQ(picked("name C* and resn SKE"), "402:C1A 402:C1B 402:Cl1");
  EXPECT_EQ(picked("elem CL+zn"), "401:ZN 402:Cl1");
  EXPECT_EQ(picked("chain B"), "1:P 2:P");
  EXPECT_EQ(picked("chain b"), "");  // chains compare exactly
  EXPECT_EQ(picked("alt B"), "402:C1B");
  EXPECT_EQ(picked("resn SKE and alt ''"), "402:N1 402:Cl1");
  EXPECT_EQ(picked("resn SKE and (alt \"\" or alt A)"), "402:C1A 402:N1 402:Cl1");
}

// 52, 52A and 53 are three residues: a range holds the codes between its ends, blank first.
TEST_F(SelectionComplex, ResidueNumbersAndRangesKeepInsertionCodes) {
  EXPECT_EQ(picked("resi 52 and chain A"), "52:OG");
  EXPECT_EQ(picked("resi 52A"), "52A:OG");
  EXPECT_EQ(picked("resi 52-53"), "52:OG 52A:OG 53:OG");
  EXPECT_EQ(picked("resi 52A-53"), "52A:OG 53:OG");
  EXPECT_EQ(picked("resi 51-52"), "52:OG");
  EXPECT_EQ(picked("resi 2+301 and chain A"), "2:N 2:CA 2:C 301:O");
  EXPECT_EQ(picked("resi -5-1 and chain A"), "1:N 1:CA 1:C 1:H");
}

TEST_F(SelectionComplex, WithinTakesAtomsUpToTheDistanceAndByresWholeResidues) {
  // N1 of SKE is 1.5 Å from C1A and 1.25 Å from C1B; Cl1 is 2 Å from N1. The distance is
  // inclusive.
  EXPECT_EQ(picked("within 1.5 of name N1"), "402:C1A 402:C1B 402:N1");
  EXPECT_EQ(picked("within 2 of name N1"), "402:C1A 402:C1B 402:N1 402:Cl1");
  EXPECT_EQ(picked("within 2 of name N1 and not resn SKE"), "");
  EXPECT_EQ(picked("within 0 of resn HOH"), "301:O");
  EXPECT_EQ(picked("within 10 of resn ZN and not resn ZN"), "301:O 402:C1A");
  EXPECT_EQ(picked("byres name Cl1"), "402:C1A 402:C1B 402:N1 402:Cl1");
  EXPECT_EQ(picked("within 1000 of resn XXX"), "");
}

TEST_F(SelectionComplex, NotBindsTighterThanAndTighterThanOr) {
  EXPECT_EQ(picked("not protein and not ligand and not nucleic"), "301:O 401:ZN");
  EXPECT_EQ(picked("resn HOH or resn ZN and chain B"), "301:O");
  EXPECT_EQ(picked("(resn HOH or resn ZN) and chain A"), "301:O 401:ZN");
  EXPECT_EQ(picked("NOT (protein OR ligand OR nucleic)"), "301:O 401:ZN");
}

// Every refusal quotes the text and says what is wrong where.
TEST(SelectionGrammar, RefusedTextsSayWhatIsWrongWhere) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "\"\": it is empty"},
      {"resn SKE and", "\"resn SKE and\": a selection is missing at the end"},
      {"resm SKE",
       "\"resm SKE\": \"resm\" at character 1 is not a keyword (resn resi chain name elem alt), a "
       "class (protein nucleic water ligand metal hydrogen), all, not, within or byres"},
      {"resn", "\"resn\": \"resn\" needs a value"},
      {"(resn SKE", "\"(resn SKE\": the \"(\" at character 1 is not closed"},
      {"resn SKE)", "\"resn SKE)\": \")\" at character 9 closes no \"(\""},
      {"resn SKE ATP",
       "\"resn SKE ATP\": \"ATP\" at character 10 is not \"and\" or \"or\" (several values are "
       "joined by +)"},
      {"resi 1x-",
       "\"resi 1x-\": \"1x-\" at character 6 is not a residue number or range (10, "
       "52A, -3, 10-20, 52-52B)"},
      {"elem Xx", "\"elem Xx\": \"Xx\" at character 6 is not an element symbol"},
      {"within x of protein",
       "\"within x of protein\": \"x\" at character 8 is not a distance in Å"},
      {"within 5 protein", "\"within 5 protein\": \"of\" is missing at character 10"},
      {"alt AB", "\"alt AB\": \"AB\" at character 5 is not one alternate-site letter"},
      {"resn SKE+",
       "\"resn SKE+\": an empty value at character 6 (write '' for a blank chain or "
       "alternate site)"},
      {"name 'C1", "\"name 'C1\": the quote at character 6 is not closed"},
      {"()", "\"()\": a selection is missing before the \")\" at character 2"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    try {
      Selection selection(text);
      ADD_FAILURE() << "no exception";
    } catch (const MoleExcept& error) {
      EXPECT_EQ(error.code, kErrSelectionSyntax.code);
      EXPECT_EQ(error.message, "Unreadable selection " + message);
    }
  }
}

TEST(ResidueClasses, SequenceLettersOfVariantsAndNucleotides) {
  Molecule molecule;
  auto letterOf = [&molecule](const std::string& name) {
    Residu* residue = molecule.addResidu(7, name, "A");
    return sequenceLetter(*residue, ResidueClasses(molecule).of(residue));
  };
  EXPECT_EQ(letterOf("TRP"), 'W');
  EXPECT_EQ(letterOf("HIE"), 'H');
  EXPECT_EQ(letterOf("MSE"), 'M');
  EXPECT_EQ(letterOf("ALA7"), 'A');  // a MOL2 substructure name with the residue number
  EXPECT_EQ(letterOf("DT"), 'T');
  EXPECT_EQ(letterOf("RU5"), 'U');   // Amber's chain end
  EXPECT_EQ(letterOf("ACE"), '\0');  // a cap has no place in a sequence
  EXPECT_EQ(letterOf("HOH"), '\0');
}

}  // namespace
