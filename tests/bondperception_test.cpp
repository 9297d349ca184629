// Tests of bond perception on a residue built in code: the distance rule, coincident sites,
// hydrogens, alternate sites, bonds a file gave, the order in which bonds are made, and the cell
// grid against a comparison of every pair.
#include "bondperception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
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

// The cell grid finds what a comparison of every pair finds, in the same order, on a random
// cloud whose bonds cross cell faces, edges and corners (negative coordinates included).
TEST(BondPerception, GridFindsEveryPairInOrder) {
  Molecule molecule(17, 0, 0, 0, "cloud");
  Residu* residue = molecule.addResidu(1, "LIG", "A");
  unsigned seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<double>((seed >> 8) % 100000) / 100000.0;
  };
  for (unsigned i = 0; i < 600; ++i) {
    const char* element = i % 3 == 0 ? "H" : i % 7 == 0 ? "S" : "C";
    molecule.addAtom(new Atom(i, i + 1, element, -6 + 12 * next(), -6 + 12 * next(),
                              -6 + 12 * next(), element, ""),
                     residue);
  }
  // Every pair, as the rule says, ranked along x as the perception ranks them.
  std::vector<Atom*> atoms;
  for (size_t i = 0; i < molecule.numAtoms(); ++i) atoms.push_back(&molecule.atom(i));
  std::sort(atoms.begin(), atoms.end(), [](const Atom* a, const Atom* b) {
    return a->getFixedCoords().x < b->getFixedCoords().x;
  });
  std::vector<std::string> expected, hydrogens;
  std::vector<std::pair<Atom*, double>> nearest(atoms.size(), {nullptr, 0});
  for (size_t i = 0; i < atoms.size(); ++i)
    for (size_t j = i + 1; j < atoms.size(); ++j) {
      Atom* a = atoms[i];
      Atom* b = atoms[j];
      if (a->isHydrogen() && b->isHydrogen()) continue;
      const double d = a->getFixedCoords().calcDist(b->getFixedCoords());
      if (d < kCoincident || d >= a->getAtomicRadius() + b->getAtomicRadius() + kBondTolerance)
        continue;
      if (!a->isHydrogen() && !b->isHydrogen()) {
        expected.push_back(std::to_string(a->getMapNum()) + "-" + std::to_string(b->getMapNum()));
        continue;
      }
      const size_t h = a->isHydrogen() ? i : j;
      if (nearest[h].first == nullptr || d < nearest[h].second)
        nearest[h] = {a->isHydrogen() ? b : a, d};
    }
  for (size_t h = 0; h < atoms.size(); ++h)
    if (nearest[h].first != nullptr)
      expected.push_back(std::to_string(nearest[h].first->getMapNum()) + "-" +
                         std::to_string(atoms[h]->getMapNum()));

  unsigned bondNum = 0;
  perceiveBonds(molecule, *residue, bondNum);
  std::vector<std::string> made;
  for (size_t i = 0; i < molecule.numBonds(); ++i)
    made.push_back(std::to_string(molecule.bond(i).getFirst()->getMapNum()) + "-" +
                   std::to_string(molecule.bond(i).getSecond()->getMapNum()));
  EXPECT_GT(made.size(), 100u);
  EXPECT_EQ(made, expected);
}

// Atoms stacked at one point are sites of one atom: none bonds, and each is compared with a
// bounded number of others (the test finishes at once rather than in quadratic time).
TEST(BondPerception, AtomsAtOnePointStayUnbonded) {
  Molecule molecule(17, 0, 0, 0, "stack");
  Residu* residue = molecule.addResidu(1, "LIG", "A");
  for (unsigned i = 0; i < 20000; ++i)
    molecule.addAtom(new Atom(i, i + 1, "C", 1.0, 1.0, 1.0, "C", ""), residue);
  unsigned bondNum = 0;
  perceiveBonds(molecule, *residue, bondNum);
  EXPECT_EQ(molecule.numBonds(), 0u);
  EXPECT_EQ(bondNum, 0u);
}
