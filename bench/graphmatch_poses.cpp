// graphmatch_poses: maps every pose of a file onto a reference by the bond graph (GraphMatch)
// and prints the RMSDs, one line per pose; the interop suite and the speed comparison call it.
//
//   graphmatch_poses [-f] [-n] [-v] [-w WORK] REFERENCE POSES
//
// REFERENCE's first molecule is the reference; each molecule of POSES (PDB or MOL2) is a pose.
// -f chooses each pose's mapping by the fitted RMSD and prints it, -n by the RMSD in place and
// prints that; both by default. -w bounds each search (GraphMatch's work units). One line per
// pose: its number from 1, then "fitted" and the value, then "inplace" and the value (each
// followed by "work" and the search's work with -v), then "bound" when a search reached its
// bound. A pose that cannot be mapped prints its number and
// the reason, and the exit status is then 2. Unreadable files: status 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "global.h"
#include "graphmatch.h"
#include "molecule.h"
#include "molereader.h"

using namespace VXMole;

namespace {

int usage() {
  std::fprintf(stderr, "usage: graphmatch_poses [-f] [-n] [-v] [-w WORK] REFERENCE POSES\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool fitted = false, inPlace = false, verbose = false;
  uint64_t workLimit = 0;
  int at = 1;
  for (; at < argc && argv[at][0] == '-'; ++at) {
    if (std::strcmp(argv[at], "-f") == 0) {
      fitted = true;
    } else if (std::strcmp(argv[at], "-n") == 0) {
      inPlace = true;
    } else if (std::strcmp(argv[at], "-v") == 0) {
      verbose = true;
    } else if (std::strcmp(argv[at], "-w") == 0 && at + 1 < argc) {
      workLimit = std::strtoull(argv[++at], nullptr, 10);
    } else {
      return usage();
    }
  }
  if (argc - at != 2) return usage();
  if (!fitted && !inPlace) fitted = inPlace = true;
  try {
    MoleReader referenceReader(argv[at], kFormatDetect);
    std::unique_ptr<Molecule> reference(referenceReader.loadNextMole(kMoleCalcs));
    if (!reference) {
      std::fprintf(stderr, "%s: no molecule\n", argv[at]);
      return 1;
    }
    MoleReader poses(argv[at + 1], kFormatDetect);
    int status = 0;
    for (unsigned pose = 1;; ++pose) {
      if (poses.isAtEnd()) break;
      std::unique_ptr<Molecule> comparison(poses.loadNextMole(kMoleCalcs));
      if (!comparison) break;
      if (comparison->numAtoms() == 0) continue;  // what a file holds after its last molecule
      GraphMatch match(*reference, *comparison);
      GraphMatchOptions options;
      options.workLimit = workLimit;
      std::string line = std::to_string(pose);
      bool bound = false;
      for (GraphRmsd kind : {GraphRmsd::kFitted, GraphRmsd::kInPlace}) {
        if ((kind == GraphRmsd::kFitted && !fitted) || (kind == GraphRmsd::kInPlace && !inPlace))
          continue;
        options.choose = kind;
        const GraphMatchResult result = match.run(options);
        if (result.outcome != GraphMatchResult::Outcome::kMapped) {
          line += " " + result.describe();
          status = 2;
          break;
        }
        char value[64];
        std::snprintf(value, sizeof value, " %s %.8f",
                      kind == GraphRmsd::kFitted ? "fitted" : "inplace", result.rmsd());
        line += value;
        if (verbose) line += " work " + std::to_string(result.work);
        bound = bound || !result.proved;
      }
      if (bound) line += " bound";
      std::printf("%s\n", line.c_str());
    }
    return status;
  } catch (const MoleExcept& e) {
    std::fprintf(stderr, "%u\t%s\t%s\n", e.code, e.location.c_str(), e.message.c_str());
    return 1;
  }
}
