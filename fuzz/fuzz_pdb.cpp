// Fuzz target: the PDB reader, on text held as lines or read from a file, into a complex.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "complex.h"
#include "fuzz_support.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "molewriter.h"

using namespace VXMole;

namespace {

// The molecule types the tool and the library read with: the fitted molecule, a protein (with
// its residue checks) and a carried molecule.
const unsigned kTypes[] = {kMoleCalcs, kMoleProtein, 17, kMoleLigand};

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void writeAll(Complex& complex, bool rotated) {
  MoleWriter writer;
  if (!writer.newFile(kestrum_fuzz::scratchDir() + "/out.mol2", 1)) return;
  for (auto* list : {&complex.others, &complex.proteins, &complex.ligands})
    for (Molecule& molecule : *list) writer.writeMOL2(&molecule, false, rotated);
  writer.closeFile();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const unsigned type = kTypes[control & 3];
  const bool fromFile = (control & 4) != 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  Complex complex;
  try {
    if (fromFile) {
      const std::string path = kestrum_fuzz::scratchDir() + "/in.pdb";
      kestrum_fuzz::writeBytes(path, data + 1, size - 1);
      MoleReader reader(path, kFormatDetect);
      reader.loadInComplex(complex, type);
    } else {
      // The first line counts as already read by a reader on lines.
      std::vector<std::string> lines{"HEADER"};
      for (std::string& line : splitLines(text)) lines.push_back(std::move(line));
      MoleReader reader(lines, kFormatPdb);
      reader.loadInComplex(complex, type);
    }
  } catch (const MoleExcept&) {
    return 0;  // a reported error: the unreadable-record path
  }
  if (control & 8) writeAll(complex, (control & 16) != 0);
  return 0;
}
