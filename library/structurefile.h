// StructureFile: the one place that chooses how a structure file is read, by its name.
#pragma once

#include <string>
#include <string_view>

#include "bytebuffer.h"

namespace VXMole {

class Complex;
class MoleReader;

// Formats by file name: ".pdb" and ".mol2" endings (MoleReader's detection), ".cif" and
// ".mmcif" in either case (mmCIF), each of them optionally followed by ".gz" (gzip, in either
// case), which is decompressed in memory before the rest of the name chooses the format.
// Every message names the path as given.
class StructureFile {
 public:
  // The largest decompressed size taken from a gzip file: 100 times the compressed size (a
  // structure compresses five to ten times), and never beyond 4 GiB.
  static constexpr unsigned long long kMaxInflation = 100;
  static constexpr unsigned long long kMaxDecompressedBytes = 4ull << 30;

  // Reads every molecule of `path` into `complex` with the molecule type code `type`. PDB and
  // MOL2 text goes through `reader`, pointed at the file with loadNewFile; without one, a new
  // reader is made, with the constructor's messages (110011 to 110013). Throws what the
  // readers throw, and 111011, 111012 for gzip data that is corrupt or too large.
  static void load(const std::string& path, Complex& complex, unsigned type,
                   MoleReader* reader = nullptr);

  // Why a file gave no molecule, in words that follow its path: "is empty", "holds binary data,
  // not text", "is UTF-16 text: ASCII or UTF-8 text is read", "holds no atom record", ...
  static std::string whyNoMolecule(const std::string& path);

  // The name without a trailing ".gz" (in either case).
  static std::string withoutGzip(const std::string& path);
  // Whether the name (without ".gz") ends in ".cif" or ".mmcif", in either case.
  static bool isCif(const std::string& path);

  // The whole decompressed content of a gzip file (several members one after another are one
  // content). Throws 111011 when the data is corrupt or cut short, 111012 beyond the bound.
  static ByteBuffer gunzip(const std::string& path, std::string_view compressed);
};

}  // namespace VXMole
