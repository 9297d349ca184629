// Bond perception: proximity bonds within a residue, over atoms sorted along x.
#include "bondperception.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "atome.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"

namespace VXMole {

void perceiveBonds(Molecule& molecule, const Residu& residue, unsigned& bondNum) {
  std::vector<Atom*> atoms(residue.getAtoms().begin(), residue.getAtoms().end());
  std::unordered_set<const Atom*> listed;
  for (const Atom* atom : atoms)
    if (atom->numBonds() > 0) listed.insert(atom);
  double widest = 0;
  for (const Atom* atom : atoms) widest = std::max(widest, atom->getAtomicRadius());
  const double reach = 2 * widest + kBondTolerance;
  // Sorted along x, each atom is compared with those within reach of it there only.
  std::sort(atoms.begin(), atoms.end(), [](const Atom* a, const Atom* b) {
    return a->getFixedCoords().x < b->getFixedCoords().x;
  });
  std::unordered_map<Atom*, std::pair<Atom*, double>> nearestToHydrogen;
  for (size_t i = 0; i < atoms.size(); ++i) {
    Atom* a = atoms[i];
    for (size_t j = i + 1; j < atoms.size(); ++j) {
      Atom* b = atoms[j];
      if (b->getFixedCoords().x - a->getFixedCoords().x > reach) break;
      if (!a->sameConformation(*b) || (a->isHydrogen() && b->isHydrogen())) continue;
      if (listed.count(a) != 0 && listed.count(b) != 0) continue;
      const double d = a->getFixedCoords().calcDist(b->getFixedCoords());
      if (d < kCoincident || d >= a->getAtomicRadius() + b->getAtomicRadius() + kBondTolerance)
        continue;
      if (a->isHydrogen() || b->isHydrogen()) {
        Atom* hydrogen = a->isHydrogen() ? a : b;
        Atom* partner = a->isHydrogen() ? b : a;
        if (listed.count(hydrogen) != 0) continue;  // the file bonded it
        auto [entry, added] = nearestToHydrogen.emplace(hydrogen, std::make_pair(partner, d));
        if (!added && d < entry->second.second) entry->second = {partner, d};
        continue;
      }
      molecule.addBond(a, b, kBondSingle, bondNum++);
    }
  }
  for (Atom* hydrogen : atoms) {
    auto entry = nearestToHydrogen.find(hydrogen);
    if (entry != nearestToHydrogen.end())
      molecule.addBond(entry->second.first, hydrogen, kBondSingle, bondNum++);
  }
}

}  // namespace VXMole
