// Tests of Atom: element lookup by symbol, MOL2 typing with its property rules, and reports.
#include "atome.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "bond.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"
#include "vertex.h"

namespace VXMole {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// An atom built from an element symbol, with the warning stream captured.
struct Built {
  std::unique_ptr<Atom> atom;
  std::string err;
};

Built buildWithSymbol(const std::string& symbol, unsigned num = 0) {
  CaptureStderr();
  auto atom = std::make_unique<Atom>(num, num + 1, symbol, "X", "");
  return {std::move(atom), GetCapturedStderr()};
}

std::string hydrogenWarning(const std::string& symbol, unsigned num) {
  return "WARNING : Unknown " + symbol + " for atomic name of atom " + std::to_string(num) +
         " ; Giving property of an hydrogen\n";
}

// Runs fn, which must throw a MoleExcept, and returns it.
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

TEST(Atom, SymbolLookupTakesWholeSymbolThenItsFirstLetter) {
  struct Case {
    const char* symbol;
    unsigned atomicNum;
  } cases[] = {{"C", 6},  {"Ca", 20}, {"CA", 6},  {"Cl", 17}, {"CL", 6},
               {"FE", 9}, {"Fe", 26}, {"Du", 88}, {"HG", 1}};
  for (const Case& c : cases) {
    Built b = buildWithSymbol(c.symbol);
    EXPECT_EQ(b.atom->getAtomicNum(), c.atomicNum) << c.symbol;
    EXPECT_EQ(b.err, "") << c.symbol;
    EXPECT_TRUE(b.atom->dataLoaded);
    // The symbol text is kept as given, even when the first letter decided.
    EXPECT_EQ(b.atom->getAtomicName(), c.symbol);
  }
  Built chlorine = buildWithSymbol("Cl");
  EXPECT_DOUBLE_EQ(chlorine.atom->getMass(), 35.4532);
  EXPECT_EQ(chlorine.atom->getLongName(), "Chloride");
  Built dummy = buildWithSymbol("Du");
  EXPECT_EQ(dummy.atom->getMass(), 0.0);
  EXPECT_EQ(dummy.atom->getVdwRadius(), 0.0);
}

TEST(Atom, UnknownSymbolGivesHydrogenAndTheWarning) {
  Built zinc = buildWithSymbol("ZN", 7);
  EXPECT_EQ(zinc.atom->getAtomicNum(), 1u);
  EXPECT_DOUBLE_EQ(zinc.atom->getMass(), 1.0079);
  EXPECT_EQ(zinc.err, hydrogenWarning("ZN", 7));

  Built lower = buildWithSymbol("c", 3);
  EXPECT_EQ(lower.atom->getAtomicNum(), 1u);
  EXPECT_EQ(lower.err, hydrogenWarning("c", 3));

  // An empty symbol given to a constructor is not looked up at all...
  Built empty = buildWithSymbol("", 2);
  EXPECT_EQ(empty.err, "");
  EXPECT_FALSE(empty.atom->dataLoaded);
  // ...but through setAtomicName it is, and matches nothing.
  empty.atom->setAtomicName("Ca");
  CaptureStderr();
  empty.atom->setAtomicName("");
  EXPECT_EQ(GetCapturedStderr(), hydrogenWarning("", 2));
  EXPECT_EQ(empty.atom->getAtomicNum(), 1u);
}

TEST(Atom, AtomicNumberSetsTheTableSymbolAndIgnoresNumbersOutsideTheTable) {
  Built b = buildWithSymbol("CA");
  b.atom->setAtomicNum(6);
  EXPECT_EQ(b.atom->getAtomicName(), "C");
  b.atom->setAtomicNum(26);
  EXPECT_EQ(b.atom->getAtomicName(), "Fe");
  EXPECT_DOUBLE_EQ(b.atom->getMass(), 55.8452);
  b.atom->setAtomicNum(0);
  b.atom->setAtomicNum(89);
  EXPECT_EQ(b.atom->getAtomicNum(), 26u);
  EXPECT_EQ(b.atom->getAtomicName(), "Fe");
}

TEST(Atom, Mol2TypeIsFoundAsSubstringAndStoredAsGiven) {
  Atom s(0, 1, "", "S1", "");
  s.checkMOL2type("S.o");  // found in "S.o2", row 17, before "S.o" itself
  EXPECT_EQ(s.getMOL2type(), "S.o");
  EXPECT_EQ(s.getAtomicNum(), 16u);
  EXPECT_EQ(s.getAtomicName(), "S");
  EXPECT_TRUE(s.getProperties().noProperty);
  EXPECT_FALSE(s.getProperties().hydrophobic);  // "S.3" would have given it

  Atom co(0, 1, "", "CO", "");
  co.checkMOL2type("Co");  // in "Co.oh": cobalt, and the metals text holds "Co"
  EXPECT_EQ(co.getAtomicNum(), 27u);
  EXPECT_TRUE(co.getProperties().metal);
  co.checkMOL2type("Co.oh");  // the whole type is no metal word
  EXPECT_FALSE(co.getProperties().metal);

  Atom f(0, 1, "", "F1", "");
  f.checkMOL2type("F");  // the metals text contains "F" within "Fe"
  EXPECT_EQ(f.getAtomicNum(), 9u);
  EXPECT_TRUE(f.getProperties().metal);
  EXPECT_TRUE(f.getProperties().hydrophobic);
  EXPECT_FALSE(f.getProperties().cation);

  Atom zn(0, 1, "", "ZN", "");
  zn.checkMOL2type("Zn");
  EXPECT_TRUE(zn.getProperties().metal);
  EXPECT_TRUE(zn.getProperties().cation);
}

TEST(Atom, DummyAndLonePairTypesGiveHydrogenWithoutFlags) {
  for (const char* type : {"Du", "LP", "Du.C"}) {
    Atom a(0, 1, "C", "D1", "");
    a.getProperties().aromatic = 1;
    a.checkMOL2type(type);
    EXPECT_EQ(a.getAtomicNum(), 1u) << type;
    EXPECT_EQ(a.getAtomicName(), "H") << type;
    EXPECT_EQ(a.getProperties().toString(), "") << type;
    EXPECT_FALSE(a.getProperties().noProperty) << type;
    EXPECT_EQ(a.getMOL2type(), type);
  }
}

TEST(Atom, PolarDoubleOrAromaticBondCancelsHydrophobic) {
  Molecule m;
  auto* c2 = new Atom(0, 1, "C", "C1", "");
  auto* o2 = new Atom(1, 2, "O", "O1", "O.2");
  auto* c3 = new Atom(2, 3, "C", "C2", "");
  auto* oco2 = new Atom(3, 4, "O", "O2", "O.co2");
  auto* c2b = new Atom(4, 5, "C", "C3", "");
  for (Atom* a : {c2, o2, c3, oco2, c2b}) m.addAtom(a);

  m.addBond(c2, o2, kBondDouble, 1);
  c2->checkMOL2type("C.2");
  EXPECT_FALSE(c2->getProperties().hydrophobic);
  // The same link as a single bond is not polar.
  m.bond(0).setType(kBondSingle);
  c2->checkMOL2type("");
  EXPECT_TRUE(c2->getProperties().hydrophobic);

  m.addBond(c2b, oco2, kBondAromatic, 2);
  c2b->checkMOL2type("C.2");
  EXPECT_FALSE(c2b->getProperties().hydrophobic);

  m.addBond(c3, c2b, kBondSingle, 3);
  c3->checkMOL2type("C.3");
  EXPECT_TRUE(c3->getProperties().hydrophobic);

  // "C.ar" is hydrophobic on its own letters, whatever its bonds.
  m.addBond(c3, o2, kBondDouble, 4);
  c3->checkMOL2type("C.ar");
  EXPECT_TRUE(c3->getProperties().hydrophobic);
  EXPECT_TRUE(c3->getProperties().aromatic);
  EXPECT_TRUE(c3->getProperties().inRing);
}

TEST(Atom, AcceptorAndDonorFollowChargeElementAndNeighbours) {
  Molecule m;
  auto* n4 = new Atom(0, 1, "N", "N1", "N.4");
  auto* h = new Atom(1, 2, "H", "H1", "H");
  m.addAtom(n4);
  m.addAtom(h);

  n4->checkMOL2type("N.4");
  EXPECT_TRUE(n4->getProperties().cation);
  EXPECT_FALSE(n4->getProperties().acceptor);
  EXPECT_FALSE(n4->getProperties().donor);  // no hydrogen yet
  m.addBond(n4, h, kBondSingle, 1);
  n4->setFormalCharge(-1);  // not even a negative charge makes "N.4" an acceptor
  n4->checkMOL2type("N.4");
  EXPECT_FALSE(n4->getProperties().acceptor);
  EXPECT_TRUE(n4->getProperties().donor);

  // "C.ar" carries "A" inside "Ar": a negative carbon becomes an acceptor.
  Atom car(0, 1, "C", "C1", "");
  car.setFormalCharge(-0.5);
  car.checkMOL2type("C.ar");
  EXPECT_TRUE(car.getProperties().acceptor);
  car.setFormalCharge(0);
  car.checkMOL2type("C.ar");
  EXPECT_FALSE(car.getProperties().acceptor);

  // "O.co2": anion, and acceptor unless positive.
  Atom o(0, 1, "O", "O1", "");
  o.checkMOL2type("O.co2");
  EXPECT_TRUE(o.getProperties().anion);
  EXPECT_TRUE(o.getProperties().acceptor);
  o.setFormalCharge(0.5);
  o.checkMOL2type("O.co2");
  EXPECT_FALSE(o.getProperties().acceptor);
}

TEST(Atom, UntypedNitrogenIsNoAcceptorUntilCheckedAgain) {
  Molecule m;
  auto* n = new Atom(0, 1, "N", "N1", "");
  m.addAtom(n);
  n->setMOL2type("N.2");  // the empty stored type occurs within "N.pl3, N.am, N.4"
  EXPECT_EQ(n->getMOL2type(), "N.2");
  EXPECT_FALSE(n->getProperties().acceptor);
  m.checkMol2();
  EXPECT_TRUE(n->getProperties().acceptor);

  // A nitrogen stored as "N.am" and typed "N.ar" stays no acceptor on the first pass.
  Atom nam(0, 1, "N", "N2", "N.am");
  nam.checkMOL2type("N.ar");
  EXPECT_FALSE(nam.getProperties().acceptor);
  nam.checkMOL2type("");
  EXPECT_TRUE(nam.getProperties().acceptor);
  EXPECT_TRUE(nam.getProperties().aromatic);
}

TEST(Atom, EmptyTypeReDerivesTheStoredOne) {
  Atom o(0, 1, "C", "O1", "O.3");  // element taken from the type, not the symbol
  o.checkMOL2type("");
  EXPECT_EQ(o.getAtomicNum(), 8u);
  EXPECT_TRUE(o.getProperties().acceptor);
  EXPECT_EQ(o.getMOL2type(), "O.3");
}

TEST(Atom, UnknownTypeIsCode4AndLeavesTheAtomUnchanged) {
  for (const char* type : {"C.3 ", "Xx", "N.foo"}) {
    Atom a(4, 9, "N", "N1", "N.am");
    a.checkMOL2type("");
    const std::string before = a.toString();
    MoleExcept e = thrownBy([&] { a.checkMOL2type(type); });
    EXPECT_EQ(e.code, 4u) << type;
    EXPECT_EQ(e.location, "ATOM::Check_mol2type");
    EXPECT_EQ(e.message, std::string("MOL2 type given : ") + type + " Not recognized\n" + before);
    EXPECT_EQ(a.toString(), before) << "the atom changed";
  }
}

// Other programs spell types in other cases (the CSD's "BR", Open Babel's "S.O2"): a type that
// no row contains is matched whole without regard to case, and stored as it was given. A type
// that matches nothing still names an element before its dot, or the atom's name does.
TEST(Atom, TypesInAnotherCaseAndUnknownTypesNameTheirElement) {
  const std::pair<const char*, unsigned> spelled[] = {{"BR", 35},  {"CL", 17}, {"S.O2", 16},
                                                      {"S.O", 16}, {"c.3", 6}, {"N.AR", 7}};
  for (const auto& [type, element] : spelled) {
    Atom a(1, 1, "", "X1", "");
    a.checkMOL2type(type);
    EXPECT_EQ(a.getAtomicNum(), element) << type;
    EXPECT_EQ(a.getMOL2type(), type);
  }
  Atom s(1, 1, "", "S1", "");
  s.checkMOL2type("S.O2");
  EXPECT_TRUE(s.getProperties().noProperty);  // the S.o2 row's properties
  const std::tuple<const char*, const char*, unsigned> unknown[] = {
      {"Ni", "NI1", 28}, {"Fe.oh", "FE", 26}, {"Hal", "CL2", 17}, {"Any", "C7", 6}};
  for (const auto& [type, name, element] : unknown) {
    Atom a(1, 1, "", name, type);
    EXPECT_THROW(a.checkMOL2type(""), MoleExcept);
    ASSERT_TRUE(a.setElementFromTypeOrName()) << type;
    EXPECT_EQ(a.getAtomicNum(), element) << type;
    EXPECT_EQ(a.getMOL2type(), type);
  }
  Atom none(1, 1, "", "12", "Any");
  EXPECT_FALSE(none.setElementFromTypeOrName());
}

TEST(Atom, MissingTypeIsCode3WithTheDumpInTheLocation) {
  Atom a(2, 3, "C", "C1", "");
  const std::string dump = a.toString();
  MoleExcept e = thrownBy([&] { a.checkMOL2type(""); });
  EXPECT_EQ(e.code, 3u);
  EXPECT_EQ(e.location, "ATOM::Check_mol2type" + dump);
  EXPECT_EQ(e.message, "No MOL2 TYPE given");
}

TEST(Atom, SetMol2TypeReportsTheCodeAndRethrows) {
  Atom a(0, 1, "C", "C1", "");
  CaptureStderr();
  MoleExcept e = thrownBy([&] { a.setMOL2type("C.3 "); });
  EXPECT_EQ(GetCapturedStderr(), "4\n");
  EXPECT_EQ(e.code, 4u);

  Atom::debug = 1;
  CaptureStderr();
  e = thrownBy([&] { a.setMOL2type(""); });
  const std::string err = GetCapturedStderr();
  Atom::debug = 0;
  EXPECT_EQ(err, "ATOM::Set_mol2type, parameter :\n3\n");
  EXPECT_EQ(e.code, 3u);

  CaptureStderr();
  a.setMOL2type("C.3");
  EXPECT_EQ(GetCapturedStderr(), "");
}

TEST(Atom, BondQueriesAndIdentifier) {
  Molecule m(kMoleProtein);
  Residu* ala = m.addResidu(5, "ALA", "A");
  auto* ca = new Atom(0, 12, "C", "CA", "");
  auto* cb = new Atom(1, 13, "C", "CB", "");
  auto* far = new Atom(2, 14, "C", "CG", "");
  m.addAtom(ca, ala);
  m.addAtom(cb, ala);
  m.addAtom(far);
  Bond* bond = m.addBond(ca, cb, kBondDouble, 7);

  EXPECT_EQ(ca->getBondType(cb), kBondDouble);
  EXPECT_EQ(cb->getBondType(ca), kBondDouble);
  EXPECT_EQ(ca->getBondType(far), kBondUndefined);
  EXPECT_EQ(ca->getBondType(nullptr), kBondUndefined);
  EXPECT_EQ(ca->getBond(cb), bond);
  EXPECT_EQ(ca->getBond(far), nullptr);
  EXPECT_TRUE(cb->hasLink(ca));
  EXPECT_FALSE(cb->hasLink(nullptr));

  EXPECT_EQ(ca->getIdentifier(), "CA (12) of ALA (A-5)");
  EXPECT_EQ(far->getIdentifier(), "CG (14) of <1> (X-100000)");
  Atom loose(0, 3, "C", "C9", "");
  EXPECT_EQ(loose.getIdentifier(), "C9 (3)");

  EXPECT_TRUE(ca->isCAlpha());
  m.setType(kMoleLigand);
  EXPECT_FALSE(ca->isCAlpha());
  m.setType(kMoleProtein);
  ca->setAtomicName("Ca");  // calcium named CA is no alpha carbon
  EXPECT_FALSE(ca->isCAlpha());

  // removeLink detaches the bond from this end only.
  cb->removeLink(bond);
  EXPECT_FALSE(cb->hasLink(ca));
  EXPECT_TRUE(ca->hasLink(cb));
}

TEST(Atom, TextDumpLayout) {
  Molecule m(kMoleLigand);
  auto* a = new Atom(3, 12, "C", Coords(1.5, -2, 0.25), "C7", "");
  auto* b = new Atom(4, 13, "O", "O1", "O.2");
  m.addAtom(a);
  m.addAtom(b);
  a->checkMOL2type("C.2");
  a->setFormalCharge(-1);
  a->setPartialCharge(0.25);
  m.addBond(a, b, kBondDouble, 1);

  const std::string text = a->toString();
  std::ostringstream head;
  head << "-------------------------- ATOM C7 (12) " << static_cast<const void*>(a)
       << " --------------------------\n"
       << "   Num : 3   \t Map Num : 12\t Formal Charge : -1\t Atomic Num : 6\n"
       << "  Name : C7   \t    Atom : C\tPartial Charge : 0.25\t  Long Name : Carbon\n"
       << " Mol2 TYPE : C.2\t Weight:12.0107\n"
       << "FIX Coords : " << a->getFixedCoords().toString()
       << "ROT Coords : " << a->getRotatedCoords().toString() << "Properties : Hydrophobic|\n"
       << "    Parent : " << static_cast<const void*>(&m) << ":LIGAND\n"
       << "    Residu : <1> (X-100000)\n"
       << "      " << m.bond(0).toString() << "\n\n";
  EXPECT_EQ(text, head.str());
}

TEST(Atom, CloneCopiesDataAndNumbersButNotPlaceOrBonds) {
  Molecule m;
  auto* a = new Atom(3, 12, "Cl", Coords(1, 2, 3), "CL1", "Cl");
  auto* b = new Atom(4, 13, "C", "C1", "C.3");
  m.addAtom(a);
  m.addAtom(b);
  m.addBond(a, b, kBondSingle, 1);
  a->checkMOL2type("");
  a->excluded = true;
  a->setRotatedCoords(Coords(4, 5, 6));

  Atom copy;
  copy.clone(*a);
  EXPECT_EQ(copy.getNum(), 3u);
  EXPECT_EQ(copy.getMapNum(), 12u);
  EXPECT_EQ(copy.getAtomicNum(), 17u);
  EXPECT_EQ(copy.getName(), "CL1");
  EXPECT_EQ(copy.getMOL2type(), "Cl");
  EXPECT_TRUE(copy.excluded);
  EXPECT_TRUE(copy.getFixedCoords() == Coords(1, 2, 3));
  EXPECT_TRUE(copy.getRotatedCoords() == Coords(4, 5, 6));
  EXPECT_EQ(copy.getProperties().toString(), a->getProperties().toString());
  EXPECT_EQ(copy.getVertex()->atom, &copy);
  EXPECT_EQ(copy.numBonds(), 0u);
  EXPECT_EQ(copy.getParent(), nullptr);
  EXPECT_EQ(copy.getResidu(), nullptr);
  EXPECT_FALSE(copy.dataLoaded);

  copy.clear();
  EXPECT_EQ(copy.getProperties().toString(), "");
  EXPECT_TRUE(copy.getRotatedCoords() == Coords());
  EXPECT_TRUE(copy.getFixedCoords() == Coords(1, 2, 3));
}

}  // namespace
}  // namespace VXMole
