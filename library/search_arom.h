// Ring records: the rings that ring perception finds in a molecule.
#pragma once

#include <vector>

namespace VXMole {

class Atom;

// One ring of a molecule: its member atoms in ring order (not owned), whether it is aromatic,
// and the centroid dummy atom that stands for it (owned by the molecule like any atom).
struct Cycle {
  std::vector<Atom*> atoms;
  bool aromatic = false;
  Atom* centroid = nullptr;
};

}  // namespace VXMole
