// Fuzz target: a selection's text, applied to two PDB molecules, and their pairing by residue,
// by sequence, by name or by bond graph over the selected atoms.
//
// Input: one control byte, then the selection's text up to the first newline, then the two
// molecules' PDB text, separated by a line "====". Control bits 0-1 choose the pairing: none,
// -g RESIDUE, -g SEQUENCE, -g NAME; with bit 2 set, any of the last three is -g GRAPH instead.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>  // for std::bad_alloc
#include <string>
#include <vector>

#include "complex.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "pairing.h"
#include "selection.h"

using namespace VXMole;

namespace {

const char kSeparator[] = "\n====\n";
// A small bound on the graph search: the fuzzer looks for faults, not for the best mapping.
constexpr uint64_t kGraphWorkLimit = 200'000;
const PairingMode kModes[] = {PairingMode::kByResidue, PairingMode::kBySequence,
                              PairingMode::kByName};

// The molecule of a PDB text, read as the tool reads a fitted file; null when it gives none.
Molecule* read(const std::string& text, Complex& complex) {
  std::vector<std::string> lines{"HEADER"};  // the first line counts as already read
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  MoleReader reader(lines, kFormatPdb);
  reader.loadInComplex(complex, kMoleCalcs);
  return complex.others.empty() ? nullptr : &complex.others[0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t newline = input.find('\n');
  const std::string text = input.substr(0, newline);
  const std::string rest = newline == std::string::npos ? "" : input.substr(newline + 1);
  const size_t split = rest.find(kSeparator);
  try {
    const Selection selection(text);
    Complex first, second;
    Molecule* reference = read(rest.substr(0, split), first);
    if (reference == nullptr) return 0;
    Molecule* comparison = reference;
    if (split != std::string::npos) {
      comparison = read(rest.substr(split + sizeof(kSeparator) - 1), second);
      if (comparison == nullptr) return 0;
    }
    const std::vector<bool> referenceAtoms = selection.atoms(*reference);
    const std::vector<bool> comparisonAtoms = selection.atoms(*comparison);
    if ((control & 3) == 0) return 0;
    PairingOptions options;
    options.mode = (control & 4) != 0 ? PairingMode::kByGraph : kModes[(control & 3) - 1];
    options.graphWorkLimit = kGraphWorkLimit;
    options.referenceAtoms = referenceAtoms;
    options.comparisonAtoms = comparisonAtoms;
    options.memoryAvailable = 1 << 30;
    pairAtoms(*reference, *comparison, options);
  } catch (const MoleExcept&) {
    return 0;  // a refused selection, an unreadable file, too few pairs: reported errors
  }
  return 0;
}
