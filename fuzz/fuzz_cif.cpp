// Fuzz target: the mmCIF reader and gzip decompression, then the MOL2 writer.
//
// Input: one control byte, then the bytes. Control bit 0 takes the bytes as gzip data (a file
// named .cif.gz) and reads what they decompress to; otherwise they are mmCIF text. Bit 1 reads
// the molecule as a protein (type 2), bit 2 writes it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cifreader.h"
#include "complex.h"
#include "fuzz_support.h"
#include "global.h"
#include "molecule.h"
#include "molewriter.h"
#include "structurefile.h"

using namespace VXMole;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  Complex complex;
  try {
    if (control & 1) text = StructureFile::gunzip("fuzz.cif.gz", text);
    CifReader("fuzz.cif").read(text, complex, (control & 2) ? kMoleProtein : 17);
  } catch (const MoleExcept&) {
    return 0;
  }
  if (control & 4) {
    MoleWriter writer;
    if (writer.newFile(kestrum_fuzz::scratchDir() + "/out.mol2", 1)) {
      for (auto* list : {&complex.others, &complex.proteins, &complex.ligands})
        for (Molecule& molecule : *list) writer.writeMOL2(&molecule, false, false);
      writer.closeFile();
    }
  }
  return 0;
}
