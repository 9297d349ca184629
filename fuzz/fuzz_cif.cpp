// Fuzz target: the mmCIF reader, gzip decompression, and PDB or MOL2 text read from memory (as
// a decompressed file is read), then the MOL2 writer.
//
// Input: one control byte, then the bytes. Control bit 0 takes the bytes as gzip data and reads
// what they decompress to. Bits 3-4 choose the text's format: mmCIF (0), PDB (1) or MOL2 (2,
// 3). Bit 1 reads the molecules as a protein (type 2), bit 2 writes them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cifreader.h"
#include "complex.h"
#include "fuzz_support.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "molewriter.h"
#include "structurefile.h"

using namespace VXMole;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  ByteBuffer text(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  Complex complex;
  try {
    if (control & 1) text = StructureFile::gunzip("fuzz.gz", text.view());
    const unsigned type = (control & 2) ? kMoleProtein : 17;
    const unsigned format = (control >> 3) & 3;
    if (format == 0) {
      CifReader("fuzz.cif").read(text.view(), complex, type);
    } else {
      MoleReader reader;
      reader.loadText("fuzz.txt", format == 1 ? kFormatPdb : kFormatMol2, std::move(text));
      // Reading goes on after a faulty molecule, as far as the reader lets it.
      for (int attempt = 0; attempt < 64 && !reader.isAtEnd(); ++attempt) {
        try {
          reader.loadInComplex(complex, type);
        } catch (const MoleExcept&) {
        }
      }
    }
  } catch (const MoleExcept&) {
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
