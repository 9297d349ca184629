// Molecules built in code from a line of elements and a line of bonds, for the typing tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "atome.h"
#include "bond.h"
#include "molecule.h"

namespace VXMole::testing {

// Elements separated by blanks, an element followed by "+" or "-" for a formal charge ("N+",
// "O-"); bonds "1-2" single, "1=2" double, "1#2" triple, "1:2" aromatic, with the atoms
// numbered from 1 in the order given. Coordinates, when given, three per atom.
inline Molecule* buildMolecule(const std::string& elements, const std::string& bonds,
                               const std::vector<double>& coords = {}) {
  auto* molecule = new Molecule(kMoleLigand, 0, 0, 0, "built");
  std::istringstream atoms(elements);
  std::string word;
  unsigned n = 0;
  while (atoms >> word) {
    double charge = 0;
    if (word.back() == '+' || word.back() == '-') {
      charge = word.back() == '+' ? 1 : -1;
      word.pop_back();
    }
    const double x = coords.size() > 3 * n ? coords[3 * n] : 0;
    const double y = coords.size() > 3 * n ? coords[3 * n + 1] : 0;
    const double z = coords.size() > 3 * n ? coords[3 * n + 2] : 0;
    auto* atom = new Atom(n, n + 1, word, x, y, z, word + std::to_string(n + 1), "");
    atom->setFormalCharge(charge);
    molecule->addAtom(atom);
    ++n;
  }
  std::istringstream links(bonds);
  unsigned num = 0;
  while (links >> word) {
    const size_t mark = word.find_first_of("-=#:");
    const int type = word[mark] == '='   ? kBondDouble
                     : word[mark] == '#' ? kBondTriple
                     : word[mark] == ':' ? kBondAromatic
                                         : kBondSingle;
    molecule->addBond(&molecule->atom(std::stoul(word.substr(0, mark)) - 1),
                      &molecule->atom(std::stoul(word.substr(mark + 1)) - 1), type, num++);
  }
  return molecule;
}

// The MOL2 types of the molecule's atoms, separated by blanks.
inline std::string typesOf(const Molecule& molecule) {
  std::string types;
  for (size_t i = 0; i < molecule.numAtoms(); ++i)
    types += (i == 0 ? "" : " ") + molecule.atom(i).getMOL2type();
  return types;
}

}  // namespace VXMole::testing
