// Tests of Molecule, Bond, Residu and the molecule cursors, and superposing whole molecules.
#include "molecule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "edge.h"
#include "global.h"
#include "iterators.h"
#include "rigidbody.h"
#include "vertex.h"

namespace VXMole {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// Adds an atom numbered by its position, with the given file (map) number.
Atom* add(Molecule& m, unsigned mapNum, const std::string& symbol, const Coords& at = Coords(),
          const std::string& type = "", Residu* residue = nullptr) {
  auto* atom = new Atom(static_cast<unsigned>(m.numAtoms()), mapNum, symbol, at,
                        symbol + std::to_string(mapNum), type);
  m.addAtom(atom, residue);
  return atom;
}

template <class Fn>
MoleExcept thrownBy(Fn fn) {
  try {
    fn();
  } catch (const MoleExcept& e) {
    return e;
  }
  ADD_FAILURE() << "no MoleExcept thrown";
  return MoleExcept(0, "", "");
}

void expectNear(const Coords& a, const Coords& b, double tol = 1e-9) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

std::vector<Atom*> atomsOf(const Molecule& m) {
  std::vector<Atom*> atoms;
  for (ItAtm_Mole it(&m); it; ++it) atoms.push_back(*it);
  return atoms;
}

std::vector<Atom*> atomsOf(const Residu& r) {
  return std::vector<Atom*>(r.getAtoms().begin(), r.getAtoms().end());
}

// ---- Building and bonding ----

TEST(Molecule, NewMoleculeHasTheDefaultResidueAndTypeNames) {
  Molecule m(kMoleCalcs, 4, 3, 2, "mol");
  ASSERT_EQ(m.numResidues(), 1u);
  const Residu* def = m.getDefaultResidu();
  EXPECT_EQ(def->getName(), "<1>");
  EXPECT_EQ(def->getChain(), "X");
  EXPECT_EQ(def->getKind(), 7);
  EXPECT_EQ(def->getNum(), 100000);
  EXPECT_EQ(def->getMapNum(), 100000);
  EXPECT_EQ(m.getLongMoletype(), "CALCS");

  const char* names[] = {"LIGAND", "COFACTOR", "PROTEIN",    "ION",     "OTHER",
                         "CALCS",  "SOLVENT",  "BIOPOLYMER", "UNKNOWN", "UNKNOWN"};
  for (unsigned type = 0; type < 10; ++type) {
    m.setType(type);
    EXPECT_EQ(m.getLongMoletype(), names[type]) << type;
  }

  Atom* a = add(m, 1, "C");
  EXPECT_EQ(a->getResidu(), def);
  EXPECT_EQ(a->getParent(), &m);
  // Adding the same atom again does not give the molecule a second owner of it.
  m.addAtom(a);
  EXPECT_EQ(m.numAtoms(), 1u);
  EXPECT_EQ(def->numAtoms(), 1u);
}

// The owning lists raise their container's errors: a bad position, a null element.
TEST(Molecule, OwningListsRaiseTheContainersErrors) {
  Molecule m;
  add(m, 1, "C");
  EXPECT_NO_THROW(m.atom(0));
  EXPECT_THROW(m.atom(1), boost::bad_index);
  EXPECT_THROW(m.bond(0), boost::bad_index);
  EXPECT_THROW(m.residu(m.numResidues()), boost::bad_index);
  EXPECT_THROW(m.cycle(0), boost::bad_index);
  EXPECT_THROW(m.addAtom(nullptr), boost::bad_pointer);
  EXPECT_THROW(m.addResidu(static_cast<Residu*>(nullptr)), boost::bad_pointer);
  EXPECT_EQ(m.numAtoms(), 1u);
}

// Atom numbers name atoms whatever the count: bonds between atoms numbered 10, 20, 30 are made,
// and a number that names no atom is still refused.
TEST(Molecule, BondsByNumbersAboveTheAtomCount) {
  Molecule m;
  add(m, 10, "C");
  add(m, 20, "C");
  add(m, 30, "O");
  EXPECT_NE(m.addBond(10u, 20u, kBondSingle, 1), nullptr);
  EXPECT_NE(m.addBond(30u, 20u, kBondSingle, 2), nullptr);
  EXPECT_EQ(thrownBy([&] { m.addBond(10u, 40u, kBondSingle, 3); }).code, 109012u);
  EXPECT_EQ(thrownBy([&] { m.addBond(2u, 10u, kBondSingle, 3); }).code, 109014u);
  EXPECT_EQ(m.numBonds(), 2u);
}

// Cloning an atom into a molecule's atom changes its map number: the molecule's lookup by
// number follows.
TEST(Molecule, CloneKeepsTheLookupByNumber) {
  Molecule m;
  Atom* a = add(m, 1, "C");
  EXPECT_EQ(m.getAtom(1), a);
  Atom source(0, 7, "N", "N1", "");
  a->clone(source);
  EXPECT_EQ(m.getAtom(7), a);
  EXPECT_EQ(m.getAtom(1), nullptr);
}

TEST(Molecule, ResiduesMatchTheTableByTheirFirstThreeLetters) {
  Molecule m;
  Residu* ala = m.addResidu(1, "ALA", "A");
  EXPECT_EQ(ala->getCode(), "A");
  EXPECT_EQ(ala->getLongname(), "Alanine");
  EXPECT_DOUBLE_EQ(ala->getMolWeigth(), 89.094);
  EXPECT_EQ(ala->getKind(), kResiduAminoAcid);
  EXPECT_GE(ala->getAtoms().capacity(), 5u);

  Residu* gly = m.addResidu(2, "GLYX", "A", kResiduOther);
  EXPECT_EQ(gly->getName3(), "GLY");
  EXPECT_EQ(gly->getLongname(), "Glycine");

  Residu* wat = m.addResidu(3, "WAT", "W");
  EXPECT_EQ(wat->getCode(), "");
  EXPECT_EQ(wat->getLongname(), "Water");
  EXPECT_EQ(wat->getKind(), kResiduWater);

  for (const char* name : {"ala", "UNK", "AL"}) {
    Residu* r = m.addResidu(4, name, "B", kResiduCofactor);
    EXPECT_EQ(r->getCode(), "") << name;
    EXPECT_EQ(r->getLongname(), "") << name;
    EXPECT_EQ(r->getMolWeigth(), 0.0) << name;
    EXPECT_EQ(r->getKind(), kResiduCofactor) << name;
    EXPECT_EQ(r->getTableIndex(), 64u) << name;
  }
}

TEST(Molecule, AddBondByNumbersChecksInOrder) {
  Molecule m;
  add(m, 1, "C");
  add(m, 2, "C");
  add(m, 5, "O");  // three atoms, file numbers 1, 2 and 5

  struct Case {
    unsigned first, second, code;
    const char* location;
    const char* message;
  } cases[] = {
      {4, 1, 109011, "MOLECULE::ADD_BOND",
       "Given number NA1 above the atom number in the molecule"},
      {4, 9, 109011, "MOLECULE::ADD_BOND",
       "Given number NA1 above the atom number in the molecule"},
      {1, 4, 109012, "MOLECULE::ADD_BOND",
       "Given number NA2 above the atom number in the molecule"},
      {3, 3, 109013, "Molecule::Add_bond", "Theses two atoms are only one"},
      {3, 1, 109014, "Molecule::Add_bond", "Cannot find atom for the bond"},
      {0, 3, 109014, "Molecule::Add_bond", "Cannot find atom for the bond"},
      {1, 3, 109015, "Molecule::Add_bond", "Cannot find atom for the bond"},
  };
  for (const Case& c : cases) {
    MoleExcept e = thrownBy([&] { m.addBond(c.first, c.second, kBondSingle, 1); });
    EXPECT_EQ(e.code, c.code) << c.first << "-" << c.second;
    EXPECT_EQ(e.location, c.location);
    EXPECT_EQ(e.message, c.message);
  }
  EXPECT_EQ(m.numBonds(), 0u);

  Bond* bond = m.addBond(1u, 2u, kBondDouble, 8);
  EXPECT_EQ(bond->getFirst()->getMapNum(), 1u);
  EXPECT_EQ(bond->getSecond()->getMapNum(), 2u);
  EXPECT_EQ(bond->getNum(), 8u);
  EXPECT_EQ(bond->getMapNum(), 8u);
  MoleExcept again = thrownBy([&] { m.addBond(2u, 1u, kBondSingle, 9); });
  EXPECT_EQ(again.code, 109016u);
  EXPECT_EQ(again.message, "Theses two atoms are already bonded to each other");
  EXPECT_EQ(m.numBonds(), 1u);
}

TEST(Molecule, AddBondByAtomsRefusesNullAndOneAtomTwice) {
  Molecule m;
  Atom* a = add(m, 1, "C");
  MoleExcept e1 = thrownBy([&] { m.addBond(nullptr, nullptr, kBondSingle, 1); });
  EXPECT_EQ(e1.code, 109021u);
  EXPECT_EQ(e1.location, "MOLECULE::ADD_BOND");
  EXPECT_EQ(e1.message, "Given Atom 1 is null");
  MoleExcept e2 = thrownBy([&] { m.addBond(a, nullptr, kBondSingle, 1); });
  EXPECT_EQ(e2.code, 109022u);
  EXPECT_EQ(e2.message, "Given Atom 2 is null");

  CaptureStderr();
  MoleExcept same = thrownBy([&] { m.addBond(a, a, kBondSingle, 1); });
  const std::string err = GetCapturedStderr();
  EXPECT_EQ(same.code, 106013u);
  EXPECT_EQ(same.location, "BOND::CONSTRUCTOR");
  EXPECT_EQ(same.message, "Atoms given for the creation of the bond are the same atom");
  // The message, then the first atom's dump; the location only in debug mode.
  EXPECT_EQ(
      err.rfind("Atoms given for the creation of the bond are the same atom\n" + a->toString(), 0),
      0u)
      << err;
  EXPECT_EQ(m.numBonds(), 0u);
  EXPECT_EQ(a->numBonds(), 0u);

  Bond::debug = 1;
  CaptureStderr();
  thrownBy([&] { m.addBond(a, a, kBondSingle, 1); });
  const std::string debugErr = GetCapturedStderr();
  Bond::debug = 0;
  EXPECT_EQ(debugErr.rfind("BOND::CONSTRUCTOR\nAtoms given", 0), 0u) << debugErr;
}

TEST(Molecule, BondWithAMissingAtomIsRefusedNotACrash) {
  Atom a(0, 1, "C", "C1", "");
  CaptureStderr();
  MoleExcept e = thrownBy([&] { Bond bond(&a, nullptr, kBondSingle, 1, 1); });
  GetCapturedStderr();
  EXPECT_EQ(e.code, 102023u);
  EXPECT_EQ(a.numBonds(), 0u);
}

// ---- Removal ----

// A-B-C chain and a B-D branch, in residue "GLY"; B is the residue's root and a ring member.
struct Branched {
  Molecule m{kMoleLigand};
  Residu* res = m.addResidu(1, "GLY", "A");
  Atom* a = add(m, 1, "C", Coords(0, 0, 0), "C.3", res);
  Atom* b = add(m, 2, "C", Coords(1, 0, 0), "C.3", res);
  Atom* c = add(m, 3, "O", Coords(2, 0, 0), "O.3", res);
  Atom* d = add(m, 4, "N", Coords(1, 1, 0), "N.3", res);
  Branched() {
    m.addBond(a, b, kBondSingle, 1);
    m.addBond(b, c, kBondSingle, 2);
    m.addBond(b, d, kBondSingle, 3);
    m.addBond(a, d, kBondSingle, 4);
    res->setRoot(b);
    auto* ring = new Cycle;
    ring->atoms = {a, b, d};
    m.addCycle(ring);
  }
};

TEST(Molecule, DelAtomRemovesItsBondsFromBothEndsAndItsResidue) {
  Branched s;
  s.m.delAtom(s.b);
  EXPECT_EQ(s.m.numAtoms(), 3u);
  ASSERT_EQ(s.m.numBonds(), 1u);
  EXPECT_EQ(s.m.bond(0).getFirst(), s.a);
  EXPECT_EQ(s.m.bond(0).getSecond(), s.d);
  EXPECT_EQ(s.a->numBonds(), 1u);
  EXPECT_EQ(s.c->numBonds(), 0u);
  EXPECT_EQ(s.d->numBonds(), 1u);
  EXPECT_EQ(atomsOf(*s.res), (std::vector<Atom*>{s.a, s.c, s.d}));
  EXPECT_EQ(s.res->getRoot(), nullptr);
  EXPECT_EQ(s.m.numCycles(), 0u);  // the ring lost a member
  EXPECT_EQ(s.m.getAtom(2), nullptr);
  EXPECT_EQ(s.m.getAtom(3), s.c);

  // Everything left is still walkable: no pointer into the freed atom or its bonds remains.
  for (Atom* atom : atomsOf(s.m)) {
    EXPECT_FALSE(atom->toString().empty());
    for (ItAtom_Linked it(atom); it; ++it) EXPECT_NE(*it, nullptr);
  }
  s.c->checkMOL2type("");
  s.a->checkMOL2type("");

  // An atom of another molecule is left alone.
  Molecule other;
  Atom* stranger = add(other, 1, "C");
  s.m.delAtom(stranger);
  s.m.delAtom(nullptr);
  EXPECT_EQ(s.m.numAtoms(), 3u);
  EXPECT_EQ(other.numAtoms(), 1u);

  s.m.renumAtom();
  EXPECT_EQ(s.a->getNum(), 0u);
  EXPECT_EQ(s.c->getNum(), 1u);
  EXPECT_EQ(s.d->getNum(), 2u);
  EXPECT_EQ(s.d->getMapNum(), 4u);
}

TEST(Molecule, DelAtomAlsoDropsABondDetachedFromItsEndOnly) {
  Branched s;
  Bond* bc = s.b->getBond(s.c);
  s.b->removeLink(bc);  // the bond is still the molecule's, and still on c
  s.m.delAtom(s.b);
  EXPECT_EQ(s.m.numBonds(), 1u);
  EXPECT_EQ(s.c->numBonds(), 0u);
  EXPECT_FALSE(s.c->toString().empty());  // would read the freed atom through the bond
}

TEST(Molecule, DelAtomOfARingCentroidDropsTheRing) {
  Branched s;
  Atom* centroid = add(s.m, 9, "Du", Coords(1, 1.0 / 3, 0), "Du", s.res);
  centroid->excluded = true;
  auto* ring = new Cycle;
  ring->atoms = {s.a, s.b, s.c};
  ring->centroid = centroid;
  s.m.addCycle(ring);
  s.m.delAtom(centroid);
  EXPECT_EQ(s.m.numCycles(), 1u);
  EXPECT_EQ(s.m.cycle(0).centroid, nullptr);
}

TEST(Molecule, DelBondUnlinksBothAtoms) {
  Branched s;
  Bond* bc = s.b->getBond(s.c);
  ASSERT_NE(bc, nullptr);
  s.m.delBond(bc);
  EXPECT_EQ(s.m.numBonds(), 3u);
  EXPECT_FALSE(s.b->hasLink(s.c));
  EXPECT_FALSE(s.c->hasLink(s.b));
  EXPECT_EQ(s.c->numBonds(), 0u);
  EXPECT_EQ(s.b->getBondType(s.c), kBondUndefined);
  s.m.delBond(nullptr);
  EXPECT_EQ(s.m.numBonds(), 3u);
}

TEST(Molecule, DelResiduSendsItsAtomsToTheDefaultResidue) {
  Branched s;
  Residu* def = s.m.getDefaultResidu();
  Residu* empty = s.m.addResidu(2, "ALA", "A");
  ASSERT_EQ(s.m.numResidues(), 3u);

  // The default residue cannot go while it holds atoms.
  Atom* loose = add(s.m, 5, "C");
  s.m.delResidu(def);
  EXPECT_EQ(s.m.getDefaultResidu(), def);

  s.m.delResidu(s.res);
  EXPECT_EQ(s.m.numResidues(), 2u);
  EXPECT_EQ(atomsOf(*def), (std::vector<Atom*>{loose, s.a, s.b, s.c, s.d}));
  for (Atom* atom : atomsOf(s.m)) EXPECT_EQ(atom->getResidu(), def);
  EXPECT_EQ(s.a->getIdentifier(), "C1 (1) of <1> (X-100000)");

  s.m.cleanResidu();  // only the empty ALA goes
  ASSERT_EQ(s.m.numResidues(), 1u);
  EXPECT_EQ(&s.m.residu(0), def);
  (void)empty;
}

TEST(Molecule, CleanResiduMayDropTheDefaultResidueWhichComesBackWhenNeeded) {
  Molecule m;
  Residu* res = m.addResidu(1, "SER", "A");
  add(m, 1, "O", Coords(), "", res);
  m.cleanResidu();
  ASSERT_EQ(m.numResidues(), 1u);
  EXPECT_EQ(m.getDefaultResidu(), nullptr);
  Atom* loose = add(m, 2, "C");
  ASSERT_NE(m.getDefaultResidu(), nullptr);
  EXPECT_EQ(loose->getResidu(), m.getDefaultResidu());
  EXPECT_EQ(m.getDefaultResidu()->getName(), "<1>");
  EXPECT_EQ(m.numResidues(), 2u);
}

TEST(Molecule, GetAtomFindsFileNumbersEvenAfterTheyChange) {
  Molecule m;
  Atom* a = add(m, 10, "C");
  Atom* b = add(m, 20, "C");
  Atom* c = add(m, 2, "C");
  EXPECT_EQ(m.getAtom(10), a);
  EXPECT_EQ(m.getAtom(2), c);
  EXPECT_EQ(m.getAtom(1), nullptr);
  b->setMapNum(30);  // the lookup index was built above
  a->setMapNum(20);
  EXPECT_EQ(m.getAtom(30), b);
  EXPECT_EQ(m.getAtom(20), a);
  EXPECT_EQ(m.getAtom(10), nullptr);
  Atom* d = add(m, 40, "C");
  EXPECT_EQ(m.getAtom(40), d);
  EXPECT_EQ(m.numHeavyAtm(), 4u);
  add(m, 41, "H");
  EXPECT_EQ(m.numHeavyAtm(), 4u);
}

// ---- Barycentres and checks ----

TEST(Molecule, BarycenterLeavesOutHydrogensWhenAskedAndNeverCountsDU) {
  Molecule m;
  EXPECT_TRUE(m.calcBarycenter(true, false) == Coords());

  add(m, 1, "C", Coords(0, 0, 0));
  add(m, 2, "O", Coords(4, 0, 0));
  add(m, 3, "N", Coords(2, 6, 0));
  add(m, 4, "H", Coords(100, 100, 100));
  add(m, 5, "C", Coords(-50, -50, -50), "DU");         // a placeholder, whatever its element
  Atom* du = add(m, 6, "Du", Coords(0, 0, 30), "Du");  // only "DU" exactly is left out

  expectNear(m.calcBarycenter(false, false), Coords(6.0 / 4, 6.0 / 4, 30.0 / 4));
  expectNear(m.getBarycenter(), Coords(1.5, 1.5, 7.5));
  du->setFixedCoords(Coords(2, 2, 0));
  expectNear(m.calcBarycenter(false, false), Coords(2, 2, 0));
  expectNear(m.calcBarycenter(true, false), Coords(108.0 / 5, 108.0 / 5, 100.0 / 5));

  // The rotated set has its own barycentre; the fixed one is kept.
  for (ItAtm_Mole it(&m); it; ++it) {
    Coords p = it->getFixedCoords();
    p.Rot_z(M_PI / 2);
    p += Coords(1, 1, 1);
    it->setRotatedCoords(p);
  }
  expectNear(m.calcBarycenter(false, true), Coords(-2 + 1, 2 + 1, 0 + 1));
  expectNear(m.getRotatedBarycenter(), Coords(-1, 3, 1));
  expectNear(m.getBarycenter(), Coords(108.0 / 5, 108.0 / 5, 20));

  // Nothing that counts: the origin, not a division by zero.
  Molecule hydrogens;
  add(hydrogens, 1, "H", Coords(1, 2, 3));
  const Coords none = hydrogens.calcBarycenter(false, false);
  EXPECT_TRUE(none == Coords()) << none.toString();
}

TEST(Molecule, CheckMol2ReportsAFaultyAtomAndGoesOn) {
  Molecule m;
  Atom* untyped = add(m, 1, "C");
  Atom* o = add(m, 2, "O", Coords(), "O.3");
  Atom* bad = add(m, 3, "C", Coords(), "C.9x");
  CaptureStderr();
  m.checkMol2();
  const std::string err = GetCapturedStderr();
  EXPECT_EQ(err.rfind("3\tATOM::Check_mol2type", 0), 0u) << err;
  EXPECT_NE(err.find("\n4\tATOM::Check_mol2type\tMOL2 type given : C.9x Not recognized\n"),
            std::string::npos)
      << err;
  EXPECT_TRUE(o->getProperties().acceptor);
  EXPECT_EQ(untyped->getMOL2type(), "");
  EXPECT_EQ(bad->getMOL2type(), "C.9x");
}

// ---- Deep copies ----

TEST(Molecule, CloneIsDeepAndFaithful) {
  auto original = std::make_unique<Branched>();
  Molecule& m = original->m;
  m.setName("branched");
  Atom* loose = add(m, 7, "Cl", Coords(5, 5, 5), "Cl");
  loose->excluded = true;
  m.bond(1).getEdge()->mapNum = 42;
  m.calcBarycenter(false, false);

  std::unique_ptr<Molecule> copy(m.clone());
  ASSERT_EQ(copy->numAtoms(), 5u);
  ASSERT_EQ(copy->numBonds(), 4u);
  ASSERT_EQ(copy->numResidues(), 2u);
  ASSERT_EQ(copy->numCycles(), 1u);
  EXPECT_EQ(copy->getName(), "branched");
  EXPECT_EQ(copy->getType(), m.getType());
  expectNear(copy->getBarycenter(), m.getBarycenter());

  for (size_t i = 0; i < m.numResidues(); ++i) {
    EXPECT_EQ(copy->residu(i).getName(), m.residu(i).getName());
    EXPECT_EQ(copy->residu(i).getKind(), m.residu(i).getKind());
    EXPECT_EQ(copy->residu(i).getLongname(), m.residu(i).getLongname());
    EXPECT_EQ(copy->residu(i).numAtoms(), m.residu(i).numAtoms());
    EXPECT_EQ(copy->residu(i).getParent(), copy.get());
  }
  EXPECT_EQ(copy->getDefaultResidu(), &copy->residu(0));
  for (size_t i = 0; i < m.numAtoms(); ++i) {
    const Atom& a = m.atom(i);
    const Atom& b = copy->atom(i);
    EXPECT_NE(&a, &b);
    EXPECT_EQ(b.getMapNum(), a.getMapNum());
    EXPECT_EQ(b.getName(), a.getName());
    EXPECT_EQ(b.getParent(), copy.get());
    EXPECT_EQ(b.getResidu()->getName(), a.getResidu()->getName());
    EXPECT_NE(b.getResidu(), a.getResidu());
    EXPECT_EQ(b.numBonds(), a.numBonds());
    EXPECT_EQ(b.excluded, a.excluded);
  }
  Atom* cb = copy->getAtom(2);
  EXPECT_EQ(copy->residu(1).getRoot(), cb);
  EXPECT_EQ(copy->bond(1).getMapNum(), 42u);
  EXPECT_EQ(copy->bond(1).getType(), m.bond(1).getType());
  EXPECT_EQ(copy->cycle(0).atoms, (std::vector<Atom*>{copy->getAtom(1), cb, copy->getAtom(4)}));

  // Changing the copy leaves the original alone, and the copy outlives it.
  copy->atom(0).setFixedCoords(Coords(9, 9, 9));
  copy->atom(0).setName("Z");
  copy->delAtom(cb);
  EXPECT_EQ(m.numAtoms(), 5u);
  EXPECT_EQ(m.numBonds(), 4u);
  EXPECT_TRUE(m.atom(0).getFixedCoords() == Coords(0, 0, 0));
  EXPECT_EQ(m.atom(0).getName(), "C1");
  EXPECT_EQ(original->b->numBonds(), 3u);
  original.reset();
  EXPECT_EQ(copy->numBonds(), 1u);
  EXPECT_EQ(copy->atom(0).getBondType(&copy->atom(2)), kBondSingle);
}

TEST(Molecule, CloneKeepsResidueOrderAndUnmatchedResidues) {
  Molecule m;
  m.delResidu(m.getDefaultResidu());                               // empty: it goes
  auto* custom = new Residu(&m, 3, 30, "ALA", "B", kResiduOther);  // never matched
  m.addResidu(custom);
  add(m, 1, "C", Coords(), "", custom);
  add(m, 2, "C");  // brings a default residue back, after ALA
  std::unique_ptr<Molecule> copy(m.clone());
  ASSERT_EQ(copy->numResidues(), 2u);
  EXPECT_EQ(copy->residu(0).getName(), "ALA");
  EXPECT_EQ(copy->residu(0).getLongname(), "");
  EXPECT_EQ(copy->residu(0).getKind(), kResiduOther);
  EXPECT_EQ(copy->residu(1).getName(), "<1>");
  EXPECT_EQ(copy->getDefaultResidu(), &copy->residu(1));
}

// ---- Superposing molecules ----

Coords rotateXyz(const Coords& p, double ax, double ay, double az) {
  Coords q = p;
  q.Rotate(ax, ay, az);
  return q;
}

TEST(Molecule, SuperposingBuiltMoleculesGivesTheTransformOfTheListForms) {
  const std::vector<Coords> reference = {{0, 0, 0},       {1.5, 0, 0},       {2.1, 1.3, 0},
                                         {1.2, 2.4, 0.4}, {-0.3, 1.9, -0.8}, {0.6, -0.9, 1.1}};
  const Coords shift(3, -2, 5);
  Molecule ref(kMoleCalcs), mob(kMoleCalcs);
  for (size_t i = 0; i < reference.size(); ++i) {
    // The last atom is a hydrogen: both loads take it, barycentres leave it out.
    const std::string symbol = i + 1 == reference.size() ? "H" : "C";
    add(ref, static_cast<unsigned>(i + 1), symbol, reference[i]);
    Coords moved = rotateXyz(reference[i], 0.3, -0.7, 1.1);
    moved += shift;
    add(mob, static_cast<unsigned>(i + 1), symbol, moved);
  }

  RigidBody fit;
  fit.Load_Molecule_To_Rigid(&ref);
  fit.Load_Molecule_To_Mobile(&mob);
  const double rmsd = fit.Calc_Rotation(-1.0);
  EXPECT_NEAR(rmsd, 0.0, 1e-6);

  std::vector<Coords> mobileFixed, refFixed;
  for (ItAtm_Mole it(&mob); it; ++it) mobileFixed.push_back(it->getFixedCoords());
  for (ItAtm_Mole it(&ref); it; ++it) refFixed.push_back(it->getFixedCoords());
  const std::vector<Coords> forward = fit.Mobil_To_Ref(mobileFixed);
  const std::vector<Coords> backward = fit.Ref_To_Mobil(refFixed);

  fit.Mobil_To_Ref(&mob);
  for (size_t i = 0; i < mob.numAtoms(); ++i) {
    expectNear(mob.atom(i).getRotatedCoords(), forward[i], 1e-12);
    expectNear(mob.atom(i).getRotatedCoords(), reference[i], 1e-6);
    EXPECT_TRUE(mob.atom(i).getFixedCoords() == mobileFixed[i]) << "fixed coordinates moved";
  }
  Coords heavyMean;
  for (size_t i = 0; i + 1 < reference.size(); ++i) heavyMean += forward[i];
  const double n = static_cast<double>(reference.size() - 1);
  expectNear(mob.getRotatedBarycenter(), Coords(heavyMean.x / n, heavyMean.y / n, heavyMean.z / n));

  // The inverse carries the reference back onto the comparison's own coordinates.
  fit.Ref_To_Mobil(&ref);
  for (size_t i = 0; i < ref.numAtoms(); ++i) {
    expectNear(ref.atom(i).getRotatedCoords(), backward[i], 1e-12);
    expectNear(ref.atom(i).getRotatedCoords(), mobileFixed[i], 1e-6);
    EXPECT_TRUE(ref.atom(i).getFixedCoords() == reference[i]);
  }
}

// ---- Molecule cursors ----

TEST(MoleculeIterators, WalkAtomsBondsAndResiduesInOrder) {
  Branched s;
  std::vector<Atom*> atoms;
  for (ItAtm_Mole it(&s.m); it; it++) atoms.push_back(*it);
  EXPECT_EQ(atoms, (std::vector<Atom*>{s.a, s.b, s.c, s.d}));

  std::vector<Bond*> bonds;
  for (ItBd_Mole it(&s.m); it; ++it) bonds.push_back(*it);
  ASSERT_EQ(bonds.size(), 4u);
  for (size_t i = 0; i < bonds.size(); ++i) EXPECT_EQ(bonds[i], &s.m.bond(i));

  ItRes_Mole res(&s.m);
  EXPECT_TRUE(res == s.m.getDefaultResidu());
  ++res;
  EXPECT_TRUE(res == s.res);
  EXPECT_EQ(res->getName(), "GLY");
  ++res;
  EXPECT_FALSE(res);
  EXPECT_TRUE(res == nullptr);

  std::vector<Atom*> members;
  for (ItAtm_Res it(s.res); it; ++it) members.push_back(*it);
  EXPECT_EQ(members, atoms);
  ItAtm_Res none(s.m.getDefaultResidu());
  EXPECT_FALSE(none);
  EXPECT_EQ(*none, nullptr);
}

TEST(MoleculeIterators, IncrementStopsAtTheEndAndPostIncrementGivesThePreviousPlace) {
  Molecule m;
  Atom* a = add(m, 1, "C");
  Atom* b = add(m, 2, "C");
  ItAtm_Mole it(&m);
  ItAtm_Mole before = it++;
  EXPECT_TRUE(before == a);
  EXPECT_TRUE(it == b);
  EXPECT_TRUE(it != a);
  ++it;
  EXPECT_FALSE(it);
  ++it;
  it++;
  EXPECT_FALSE(it);
  EXPECT_EQ(*it, nullptr);
  EXPECT_EQ(it.operator->(), nullptr);
}

TEST(MoleculeIterators, BondsAndPartnersOfAnAtom) {
  Branched s;
  std::vector<Bond*> bonds;
  std::vector<Atom*> partners;
  for (ItBd_Atm it(s.b); it; ++it) {
    bonds.push_back(*it);
    partners.push_back(it.get_Oth());
  }
  EXPECT_EQ(bonds, (std::vector<Bond*>{&s.m.bond(0), &s.m.bond(1), &s.m.bond(2)}));
  EXPECT_EQ(partners, (std::vector<Atom*>{s.a, s.c, s.d}));

  std::vector<Atom*> linked;
  for (ItAtom_Linked it(s.b); it; ++it) linked.push_back(*it);
  EXPECT_EQ(linked, partners);

  // A plain edge on the atom's vertex carries no bond: both cursors pass over it.
  Atom outsider(9, 9, "C", "C9", "");
  {
    Edge plain(s.a->getVertex(), outsider.getVertex());
    std::vector<Atom*> fromA;
    for (ItBd_Atm it(s.a); it; ++it) fromA.push_back(it.get_Oth());
    EXPECT_EQ(fromA, (std::vector<Atom*>{s.b, s.d}));
    std::vector<Atom*> linkedA;
    for (ItAtom_Linked it(s.a); it; ++it) linkedA.push_back(*it);
    EXPECT_EQ(linkedA, (std::vector<Atom*>{s.b, s.d, &outsider}));
  }

  ItBd_Atm lone(&outsider);
  EXPECT_FALSE(lone);
  EXPECT_EQ(lone.get_Oth(), nullptr);
  EXPECT_FALSE(ItAtom_Linked(&outsider));
}

TEST(MoleculeIterators, BoxKeepsAtomsWithinInclusiveBounds) {
  Molecule m;
  Atom* inside = add(m, 1, "C", Coords(0.5, 0.5, 0.5));
  Atom* corner = add(m, 2, "C", Coords(1, 1, 1));  // on the upper bound
  add(m, 3, "C", Coords(1.0001, 0.5, 0.5));
  Atom* low = add(m, 4, "C", Coords(0, 0, 0));  // on the lower bound
  add(m, 5, "C", Coords(0.5, -0.1, 0.5));
  add(m, 6, "C", Coords(0.5, 0.5, std::nan("")));
  // The rotated coordinates play no part.
  m.atom(0).setRotatedCoords(Coords(50, 50, 50));

  std::vector<Atom*> found;
  for (ItAtm_Box it(&m, Coords(0, 0, 0), Coords(1, 1, 1)); it; ++it) found.push_back(*it);
  EXPECT_EQ(found, (std::vector<Atom*>{inside, corner, low}));

  EXPECT_FALSE(ItAtm_Box(&m, Coords(1, 1, 1), Coords(0, 0, 0)));
  ItAtm_Box none(&m, Coords(10, 10, 10), Coords(11, 11, 11));
  EXPECT_FALSE(none);
  EXPECT_EQ(*none, nullptr);
  ItAtm_Box point(&m, Coords(1, 1, 1), Coords(1, 1, 1));
  EXPECT_TRUE(point == corner);
}

TEST(MoleculeIterators, NullContainersReportAndYieldNothing) {
  const std::string line = "No atom given for iteration\n";
  const Coords origin;
  CaptureStderr();
  ItAtm_Mole a(nullptr);
  EXPECT_EQ(GetCapturedStderr(), line);
  EXPECT_FALSE(a);
  EXPECT_EQ(*a, nullptr);
  ++a;
  EXPECT_FALSE(a);

  CaptureStderr();
  ItBd_Mole b(nullptr);
  ItRes_Mole r(nullptr);
  ItAtm_Res ar(nullptr);
  ItBd_Atm ba(nullptr);
  ItAtom_Linked l(nullptr);
  ItAtm_Box box(nullptr, origin, origin);
  EXPECT_EQ(GetCapturedStderr(), line + line + line + line + line + line);
  EXPECT_FALSE(b || r || ar || ba || l || box);
  EXPECT_EQ(*b, nullptr);
  EXPECT_EQ(*r, nullptr);
  EXPECT_EQ(*ar, nullptr);
  EXPECT_EQ(*ba, nullptr);
  EXPECT_EQ(ba.get_Oth(), nullptr);
  EXPECT_EQ(*l, nullptr);
  EXPECT_EQ(*box, nullptr);
  b++;
  box++;
  EXPECT_FALSE(b || box);
}

}  // namespace
}  // namespace VXMole
