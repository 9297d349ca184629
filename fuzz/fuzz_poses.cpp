// Fuzz target: the SDF and PDBQT readers on a file, each record or model a molecule, and the
// MOL2 writer after them.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  // The first byte's low bit chooses the format by the file's ending.
  const std::string path = kestrum_fuzz::scratchDir() + ((control & 1) ? "/in.pdbqt" : "/in.sdf");
  kestrum_fuzz::writeBytes(path, data + 1, size - 1);

  Complex complex;
  MoleReader reader(path, kFormatDetect);
  // Reading goes on after a faulty record, as far as the reader lets it.
  for (int attempt = 0; attempt < 64 && !reader.isAtEnd(); ++attempt) {
    try {
      reader.loadInComplex(complex, (control & 2) ? kMoleLigand : kMoleCalcs);
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
