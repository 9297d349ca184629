// Tests of the slab pool behind the model's atoms and bonds.
#include "slabpool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "atome.h"
#include "bond.h"

using namespace VXMole;

// Objects cut from slabs never overlap, stay aligned for any type, and storage given back is
// used again before a new slab is cut.
TEST(SlabPool, ObjectsAreDistinctAlignedAndReused) {
  SlabPool pool(40);
  std::vector<char*> objects;
  std::set<char*> seen;
  // More objects than the first slab holds, so that later slabs are cut too.
  for (int i = 0; i < 5000; ++i) {
    auto* object = static_cast<char*>(pool.allocate());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % alignof(std::max_align_t), 0u);
    std::memset(object, i & 0xff, 40);
    objects.push_back(object);
    seen.insert(object);
  }
  EXPECT_EQ(seen.size(), objects.size());
  for (size_t i = 0; i < objects.size(); ++i)
    ASSERT_EQ(static_cast<unsigned char>(objects[i][39]), i & 0xff) << "object " << i;
  pool.release(objects[10]);
  pool.release(nullptr);
  void* again = pool.allocate();
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(again, objects[10]);
#endif
  pool.release(again);
  for (size_t i = 0; i < objects.size(); ++i)
    if (i != 10) pool.release(objects[i]);
}

// Atoms and bonds come from their pools and go back to them: a molecule's worth made and freed
// twice leaves the second round's atoms as sound as the first's.
TEST(SlabPool, AtomsAndBondsLiveInPools) {
  for (int round = 0; round < 2; ++round) {
    std::vector<Atom*> atoms;
    for (unsigned i = 0; i < 3000; ++i)
      atoms.push_back(new Atom(i, i + 1, "C", Coords(i, 0, 0), "C" + std::to_string(i), ""));
    std::vector<Bond*> bonds;
    for (unsigned i = 1; i < atoms.size(); ++i)
      bonds.push_back(new Bond(atoms[i - 1], atoms[i], kBondSingle, i, i));
    EXPECT_EQ(atoms[1500]->numBonds(), 2u);
    EXPECT_EQ(atoms[2999]->getName(), "C2999");
    EXPECT_EQ(bonds[41]->getOther(atoms[41]), atoms[42]);
    for (Bond* bond : bonds) delete bond;
    EXPECT_EQ(atoms[1500]->numBonds(), 0u);
    for (Atom* atom : atoms) delete atom;
  }
}
