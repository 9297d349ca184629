// Tests of bond perception on a residue built in code: the distance rule, coincident sites,
// hydrogens, alternate sites, bonds a file gave, and the order in which bonds are made.
#include "bondperception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "atome.h"
#include "bond.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"

using namespace VXMole;

namespace {

struct Placed {
  const char* name;
  const char* element;
  double x, y;
  char altLoc;
};

}  // namespace

// C-C bonds below 0.70 + 0.70 + 0.45 = 1.85 Å; C-H below 1.40 Å.
TEST(BondPerception, RulesAndTheOrderOfTheBonds) {
  const std::vector<Placed> placed = {
      {"C1", "C", 0.00, 0.0, ' '},  {"C2", "C", 1.84, 0.0, ' '},   // 1.84: bonded
      {"C3", "C", 3.70, 0.0, ' '},                                 // 1.86 from C2: not
      {"C4", "C", 3.75, 0.2, ' '},                                 // 0.21 from C3: a second site
      {"H1", "H", -1.00, 0.0, ' '}, {"H3", "H", -0.90, 0.8, ' '},  // 0.81 apart: H-H never
      {"H2", "H", 2.80, 0.0, ' '},                                 // C3 at 0.90 before C2 at 0.96
      {"C5", "C", 10.0, 0.0, 'A'},  {"C6", "C", 11.5, 0.0, 'B'},   // two sites: not bonded
      {"P1", "C", 20.0, 0.0, ' '},  {"P2", "C", 21.5, 0.0, ' '},   // both in the file's bonds
      {"P3", "C", 40.0, 0.0, ' '},  {"P4", "C", 20.2, -1.5, ' '},  // P4 in none: bonds P1
      {"H4", "H", 21.6, 1.0, ' '},                                 // bonded by the file to P3
  };
  Molecule molecule(17, 0, 0, 0, "perceived");
  Residu* residue = molecule.addResidu(1, "LIG", "A");
  for (const Placed& p : placed) {
    auto* atom = new Atom(static_cast<unsigned>(molecule.numAtoms()),
                          static_cast<unsigned>(molecule.numAtoms()) + 1, p.element, p.x, p.y, 0,
                          p.name, "");
    atom->setAltLoc(p.altLoc);
    molecule.addAtom(atom, residue);
  }
  auto named = [&](const std::string& name) -> Atom* {
    for (size_t i = 0; i < molecule.numAtoms(); ++i)
      if (molecule.atom(i).getName() == name) return &molecule.atom(i);
    return nullptr;
  };
  molecule.addBond(named("P1"), named("P3"), kBondSingle, 0);
  molecule.addBond(named("P2"), named("P3"), kBondSingle, 1);
  molecule.addBond(named("P3"), named("H4"), kBondSingle, 2);

  unsigned bondNum = 3;
  perceiveBonds(molecule, *residue, bondNum);

  // Heavy-atom bonds in ascending x of their first atom, then each hydrogen's in ascending x.
  std::vector<std::string> made;
  for (size_t i = 3; i < molecule.numBonds(); ++i) {
    const Bond& bond = molecule.bond(i);
    made.push_back(bond.getFirst()->getName() + "-" + bond.getSecond()->getName() + " " +
                   std::to_string(bond.getNum()));
  }
  EXPECT_EQ(made,
            (std::vector<std::string>{"C1-C2 3", "P1-P4 4", "C1-H1 5", "C1-H3 6", "C3-H2 7"}));
  EXPECT_EQ(bondNum, 8u);
}
