// Tests of ring perception: which rings are found, their aromaticity and their centroid atoms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "molecule.h"

namespace VXMole {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A molecule built in code: atoms numbered 1, 2, 3... in the order they are added.
struct Builder {
  std::unique_ptr<Molecule> molecule = std::make_unique<Molecule>(kMoleLigand, 0, 0, 0, "test");
  Residu* residue = nullptr;  // where new atoms go; null for the default residue

  Atom* add(const std::string& type, Coords position = Coords()) {
    const unsigned number = static_cast<unsigned>(molecule->numAtoms()) + 1;
    auto* atom = new Atom(number - 1, number, "C", position, "A" + std::to_string(number), type);
    molecule->addAtom(atom, residue);
    return atom;
  }
  void bond(unsigned a, unsigned b, int type = kBondSingle) {
    molecule->addBond(a, b, type, static_cast<unsigned>(molecule->numBonds()) + 1);
  }
  // A regular polygon of `size` atoms around `centre`, bonded in order; returns the first number.
  unsigned ring(int size, const std::string& type, int bondType, Coords centre = Coords()) {
    const unsigned first = static_cast<unsigned>(molecule->numAtoms()) + 1;
    for (int k = 0; k < size; ++k) {
      const double angle = 2 * kPi * k / size;
      add(type,
          Coords(centre.x + 1.4 * std::cos(angle), centre.y + 1.4 * std::sin(angle), centre.z));
    }
    for (int k = 0; k < size; ++k) bond(first + k, first + (k + 1) % size, bondType);
    return first;
  }
};

// Ring sizes, smallest first.
std::vector<size_t> ringSizes(const Molecule& m) {
  std::vector<size_t> sizes;
  for (size_t i = 0; i < m.numCycles(); ++i) sizes.push_back(m.cycle(i).atoms.size());
  std::sort(sizes.begin(), sizes.end());
  return sizes;
}

// Every ring is a closed walk over bonds, and its centroid is a marked dummy at its centre.
void expectWellFormed(const Molecule& m) {
  for (size_t i = 0; i < m.numCycles(); ++i) {
    const Cycle& cycle = m.cycle(i);
    const size_t n = cycle.atoms.size();
    Coords centre;
    for (size_t k = 0; k < n; ++k) {
      EXPECT_TRUE(cycle.atoms[k]->hasLink(cycle.atoms[(k + 1) % n])) << "ring " << i;
      centre += cycle.atoms[k]->getFixedCoords();
    }
    ASSERT_NE(cycle.centroid, nullptr);
    const Atom& dummy = *cycle.centroid;
    EXPECT_EQ(dummy.getName(), cycle.aromatic ? "DUAr" : "DuCy");
    EXPECT_TRUE(dummy.excluded);
    EXPECT_EQ(dummy.getMOL2type(), "Du");
    EXPECT_EQ(dummy.getAtomicName(), "Du");
    EXPECT_EQ(dummy.getAtomicNum(), 88u);
    EXPECT_EQ(dummy.numBonds(), 0u);
    EXPECT_EQ(dummy.getResidu(), cycle.atoms[0]->getResidu());
    EXPECT_NEAR(dummy.getFixedCoords().x, centre.x / n, 1e-12);
    EXPECT_NEAR(dummy.getFixedCoords().y, centre.y / n, 1e-12);
    EXPECT_NEAR(dummy.getFixedCoords().z, centre.z / n, 1e-12);
  }
}

TEST(RingSearch, BenzeneIsOneAromaticRing) {
  Builder b;
  b.ring(6, "C.ar", kBondSingle, Coords(1, 2, 3));
  for (unsigned k = 1; k <= 6; ++k) {
    b.add("H");
    b.bond(k, static_cast<unsigned>(b.molecule->numAtoms()));
  }
  Molecule& m = *b.molecule;
  m.search_cycle();
  ASSERT_EQ(m.numCycles(), 1u);
  EXPECT_TRUE(m.cycle(0).aromatic);
  const Atom& centroid = *m.cycle(0).centroid;
  EXPECT_EQ(centroid.getName(), "DUAr");
  EXPECT_NEAR(centroid.getFixedCoords().x, 1, 1e-12);
  EXPECT_NEAR(centroid.getFixedCoords().y, 2, 1e-12);
  EXPECT_NEAR(centroid.getFixedCoords().z, 3, 1e-12);
  // The next index, and a map number above every other.
  EXPECT_EQ(centroid.getNum(), 12u);
  EXPECT_EQ(centroid.getMapNum(), 13u);
  EXPECT_EQ(&m.atom(12), &centroid);
  expectWellFormed(m);
}

TEST(RingSearch, AromaticByBondsOrByResidue) {
  Builder byBonds;
  byBonds.ring(6, "C.2", kBondAromatic);
  byBonds.molecule->search_cycle();
  ASSERT_EQ(byBonds.molecule->numCycles(), 1u);
  EXPECT_TRUE(byBonds.molecule->cycle(0).aromatic);

  // A phenylalanine side chain typed without aromatic types or bonds.
  Builder phe;
  phe.residue = phe.molecule->addResidu(12, "PHE", "A");
  phe.add("C.3");  // CB
  phe.ring(6, "C.2", kBondSingle);
  phe.bond(1, 2);
  phe.molecule->search_cycle();
  ASSERT_EQ(phe.molecule->numCycles(), 1u);
  EXPECT_TRUE(phe.molecule->cycle(0).aromatic);
  EXPECT_EQ(phe.molecule->cycle(0).centroid->getResidu(), phe.residue);
  expectWellFormed(*phe.molecule);

  // The same ring in another residue, or with one aromatic atom and bond too few, is not.
  Builder leu;
  leu.residue = leu.molecule->addResidu(12, "LEU", "A");
  leu.ring(6, "C.ar", kBondAromatic);
  leu.molecule->atom(0).checkMOL2type("C.2");
  leu.molecule->bond(0).setType(kBondSingle);
  leu.molecule->search_cycle();
  ASSERT_EQ(leu.molecule->numCycles(), 1u);
  EXPECT_FALSE(leu.molecule->cycle(0).aromatic);
}

TEST(RingSearch, CyclohexaneIsOneAliphaticRing) {
  Builder b;
  b.ring(6, "C.3", kBondSingle);
  b.molecule->search_cycle();
  ASSERT_EQ(b.molecule->numCycles(), 1u);
  EXPECT_FALSE(b.molecule->cycle(0).aromatic);
  EXPECT_EQ(b.molecule->cycle(0).centroid->getName(), "DuCy");
  expectWellFormed(*b.molecule);
}

TEST(RingSearch, FusedRingsGiveSmallestRings) {
  // Naphthalene: two six-membered rings sharing the bond 1-6, never the ten-membered rim.
  Builder naphthalene;
  naphthalene.ring(6, "C.ar", kBondAromatic);
  for (int k = 0; k < 4; ++k) naphthalene.add("C.ar");
  naphthalene.bond(1, 7, kBondAromatic);
  naphthalene.bond(7, 8, kBondAromatic);
  naphthalene.bond(8, 9, kBondAromatic);
  naphthalene.bond(9, 10, kBondAromatic);
  naphthalene.bond(10, 6, kBondAromatic);
  naphthalene.molecule->search_cycle();
  EXPECT_EQ(ringSizes(*naphthalene.molecule), (std::vector<size_t>{6, 6}));
  expectWellFormed(*naphthalene.molecule);
  EXPECT_NE(naphthalene.molecule->cycle(0).centroid->getMapNum(),
            naphthalene.molecule->cycle(1).centroid->getMapNum());

  // Bicyclo[2.2.0]hexane: two four-membered rings, not the six-membered rim.
  Builder bicyclo;
  bicyclo.ring(6, "C.3", kBondSingle);
  bicyclo.bond(1, 4);
  bicyclo.molecule->search_cycle();
  EXPECT_EQ(ringSizes(*bicyclo.molecule), (std::vector<size_t>{4, 4}));

  // Cubane: five independent four-membered rings of its six faces.
  Builder cubane;
  for (int k = 0; k < 8; ++k) cubane.add("C.3");
  const unsigned edges[12][2] = {{1, 2}, {2, 3}, {3, 4}, {4, 1}, {5, 6}, {6, 7},
                                 {7, 8}, {8, 5}, {1, 5}, {2, 6}, {3, 7}, {4, 8}};
  for (const auto& e : edges) cubane.bond(e[0], e[1]);
  cubane.molecule->search_cycle();
  EXPECT_EQ(ringSizes(*cubane.molecule), (std::vector<size_t>{4, 4, 4, 4, 4}));
  expectWellFormed(*cubane.molecule);
}

TEST(RingSearch, NoRingWithoutCycleOfAtMostEightAtoms) {
  Builder chain;
  for (int k = 0; k < 10; ++k) chain.add("C.3");
  for (unsigned k = 1; k < 10; ++k) chain.bond(k, k + 1);
  chain.molecule->search_cycle();
  EXPECT_EQ(chain.molecule->numCycles(), 0u);
  EXPECT_EQ(chain.molecule->numAtoms(), 10u);

  Builder macrocycle;
  macrocycle.ring(9, "C.3", kBondSingle);
  macrocycle.molecule->search_cycle();
  EXPECT_EQ(macrocycle.molecule->numCycles(), 0u);

  // A triangle closed only through a pseudo-atom is no ring.
  Builder dummy;
  dummy.ring(3, "C.3", kBondSingle);
  dummy.molecule->atom(2).excluded = true;
  dummy.molecule->search_cycle();
  EXPECT_EQ(dummy.molecule->numCycles(), 0u);
}

TEST(RingSearch, SecondSearchAddsNothing) {
  Builder b;
  b.ring(5, "C.3", kBondSingle);
  b.ring(6, "C.ar", kBondAromatic, Coords(5, 0, 0));
  b.molecule->search_cycle();
  ASSERT_EQ(b.molecule->numCycles(), 2u);
  b.molecule->search_cycle();
  EXPECT_EQ(b.molecule->numCycles(), 2u);
  EXPECT_EQ(b.molecule->numAtoms(), 13u);
  EXPECT_EQ(ringSizes(*b.molecule), (std::vector<size_t>{5, 6}));
  expectWellFormed(*b.molecule);
}

// A hub bonded to every atom of a long rim: only the hub's first 12 bonds are searched, so
// the triangles of its first 12 spokes are its rings, and the search does not grow with the
// square of the rim.
TEST(RingSearch, AtMostTwelveBondsOfAnAtomAreSearched) {
  Builder wheel;
  const unsigned rim = 3000;
  wheel.add("C.3");  // the hub, atom 1
  for (unsigned k = 0; k < rim; ++k) wheel.add("C.3");
  for (unsigned k = 2; k <= rim + 1; ++k) wheel.bond(1, k);
  for (unsigned k = 2; k <= rim; ++k) wheel.bond(k, k + 1);
  wheel.molecule->search_cycle();
  EXPECT_EQ(ringSizes(*wheel.molecule), std::vector<size_t>(11, 3));
  for (size_t i = 0; i < wheel.molecule->numCycles(); ++i)
    EXPECT_EQ(wheel.molecule->cycle(i).atoms[0], &wheel.molecule->atom(0));
  expectWellFormed(*wheel.molecule);
}

// A cubic lattice whose independence test stays within its budget keeps a full set of smallest
// rings: as many squares as its cycle space has dimensions (bonds - atoms + 1). A larger one
// runs out of budget and then keeps the squares that each hold a bond that no square kept
// before holds: independent, no more than that dimension, every bond in one.
TEST(RingSearch, CubicLatticeWithinAndPastTheBudget) {
  for (const int side : {6, 20}) {
    SCOPED_TRACE(side);
    Builder cube;
    auto number = [side](int i, int j, int k) {
      return static_cast<unsigned>((i * side + j) * side + k + 1);
    };
    for (int i = 0; i < side; ++i)
      for (int j = 0; j < side; ++j)
        for (int k = 0; k < side; ++k) cube.add("C.3", Coords(1.5 * i, 1.5 * j, 1.5 * k));
    for (int i = 0; i < side; ++i)
      for (int j = 0; j < side; ++j)
        for (int k = 0; k < side; ++k) {
          if (i + 1 < side) cube.bond(number(i, j, k), number(i + 1, j, k));
          if (j + 1 < side) cube.bond(number(i, j, k), number(i, j + 1, k));
          if (k + 1 < side) cube.bond(number(i, j, k), number(i, j, k + 1));
        }
    const size_t atoms = cube.molecule->numAtoms();
    const size_t bonds = cube.molecule->numBonds();
    cube.molecule->search_cycle();
    const Molecule& m = *cube.molecule;
    const std::vector<size_t> sizes = ringSizes(m);
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 4u), static_cast<long>(sizes.size()));
    if (side == 6) {
      EXPECT_EQ(m.numCycles(), bonds - atoms + 1);
    } else {
      EXPECT_LE(m.numCycles(), bonds - atoms + 1);
      std::set<std::pair<const Atom*, const Atom*>> held;
      for (size_t i = 0; i < m.numCycles(); ++i)
        for (size_t k = 0; k < 4; ++k) {
          const Atom* a = m.cycle(i).atoms[k];
          const Atom* b = m.cycle(i).atoms[(k + 1) % 4];
          held.insert({std::min(a, b), std::max(a, b)});
        }
      EXPECT_EQ(held.size(), bonds);
    }
  }
}

// Inner atoms of a face-centred cubic block have twelve bonds, all of them searched (the cap
// leaves out a thirteenth), and a search from one reaches the cap of 128 atoms three bonds away
// without losing a ring: the triangles of a block of whole tetrahedra and octahedra span every
// cycle, and all are kept.
TEST(RingSearch, TwelveBondsOfAnAtomAreAllSearched) {
  const int side = 6;  // even: the block is whole tetrahedra and octahedra
  Builder block;
  std::vector<unsigned> number((side + 1) * (side + 1) * (side + 1), 0);
  auto at = [](int i, int j, int k) {
    return static_cast<size_t>((i * (side + 1) + j) * (side + 1) + k);
  };
  for (int i = 0; i <= side; ++i)
    for (int j = 0; j <= side; ++j)
      for (int k = 0; k <= side; ++k)
        if ((i + j + k) % 2 == 0) {
          block.add("C.3", Coords(1.1 * i, 1.1 * j, 1.1 * k));
          number[at(i, j, k)] = static_cast<unsigned>(block.molecule->numAtoms());
        }
  // The six bond directions of one sign; the other six are the same bonds seen from the partner.
  const int steps[6][3] = {{1, 1, 0}, {1, -1, 0}, {1, 0, 1}, {1, 0, -1}, {0, 1, 1}, {0, 1, -1}};
  for (int i = 0; i <= side; ++i)
    for (int j = 0; j <= side; ++j)
      for (int k = 0; k <= side; ++k) {
        if ((i + j + k) % 2 != 0) continue;
        for (const auto& d : steps) {
          const int a = i + d[0], b = j + d[1], c = k + d[2];
          if (a <= side && b >= 0 && b <= side && c >= 0 && c <= side)
            block.bond(number[at(i, j, k)], number[at(a, b, c)]);
        }
      }
  const size_t atoms = block.molecule->numAtoms();
  const size_t bonds = block.molecule->numBonds();
  block.molecule->search_cycle();
  const std::vector<size_t> sizes = ringSizes(*block.molecule);
  EXPECT_EQ(sizes.size(), bonds - atoms + 1);
  EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 3u), static_cast<long>(sizes.size()));
  expectWellFormed(*block.molecule);
}

}  // namespace
}  // namespace VXMole
