// Fuzz target: the MOL2 reader on a file, with ring perception, and the MOL2 writer after it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "complex.h"
#include "fuzz_support.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "molewriter.h"

using namespace VXMole;

namespace {

// Type 5 (the fitted molecule) skips ring perception; the others run it, and type 2 adds the
// residue checks of a protein.
const unsigned kTypes[] = {kMoleCalcs, 17, kMoleProtein, kMoleLigand};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const unsigned type = kTypes[control & 3];
  const std::string path = kestrum_fuzz::scratchDir() + "/in.mol2";
  kestrum_fuzz::writeBytes(path, data + 1, size - 1);

  Complex complex;
  MoleReader reader(path, kFormatDetect);
  // Reading goes on after a faulty molecule, as far as the reader lets it.
  for (int attempt = 0; attempt < 64 && !reader.isAtEnd(); ++attempt) {
    try {
      reader.loadInComplex(complex, type);
    } catch (const MoleExcept&) {
    }
  }

  if (control & 4) {
    MoleWriter writer;
    if (writer.newFile(kestrum_fuzz::scratchDir() + "/out.mol2", 1)) {
      for (auto* list : {&complex.others, &complex.proteins, &complex.ligands})
        for (Molecule& molecule : *list) writer.writeMOL2(&molecule, (control & 8) != 0, false);
      writer.closeFile();
    }
  }
  return 0;
}
