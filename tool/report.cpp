// Kestrum's reports: the lines a run prints of its fits, pairs and warnings.
#include "report.h"

#include <cmath>

using namespace VXMole;

namespace kestrum {

std::string oneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ' || c == 0x7f) c = ' ';
  return text;
}

void printPoint(const Coords& c) {
  std::cout << c.x << " " << c.y << " " << c.z << "\n";
}

// The refusal of a pairing that memory cannot hold, in one line.
void reportRefusal(const PairingResult& pairing) {
  constexpr double kMiB = 1024.0 * 1024.0;
  std::cerr << "Pairing by " << pairingModeName(pairing.mode) << " found " << pairing.pairCount
            << " atom pairs: their correspondence graph needs "
            << static_cast<long long>(std::ceil(pairing.bytesNeeded / kMiB))
            << " MiB, more than the " << static_cast<long long>(pairing.bytesAvailable / kMiB)
            << " MiB of memory available; pair by ID (-g ID) or fit whole molecules (no -g) "
               "instead"
            << std::endl;
}

// The warnings of a kept set: the search stopped before proving it the largest, or pairing by
// name or number may have joined the wrong atoms. The standard output is flushed first, so that
// the lines of both streams come in order on a terminal.
void warnAboutKeptSet(const PairingResult& pairing) {
  if (!pairing.proved && pairing.mode == PairingMode::kByGraph) {
    std::cout.flush();
    std::cerr << "WARNING : the search among the symmetries of the bond graph reached its limit "
                 "before proving its mapping of the "
              << pairing.kept.size()
              << " heavy atoms the one of lowest RMSD; it keeps the best it found" << std::endl;
  } else if (!pairing.proved) {
    std::cout.flush();
    std::cerr << "WARNING : the search for the largest consistent set of pairs reached its limit "
                 "before proving its set the largest; it keeps the largest it found, "
              << pairing.kept.size() << " of " << pairing.pairs.size() << " pairs" << std::endl;
  } else if (!pairing.settled) {
    std::cout.flush();
    std::cerr << "WARNING : the search reached its limit while choosing, among the largest "
                 "consistent sets of pairs, the one of lowest RMSD; it keeps the best it scored, "
              << pairing.kept.size() << " of " << pairing.pairs.size() << " pairs" << std::endl;
  }
  if (pairing.doubtful()) {
    std::cout.flush();
    std::cerr << "WARNING : pairing by " << pairingModeName(pairing.mode)
              << " may join the wrong atoms: ";
    if (pairing.repeatsPaired()) {
      std::cerr << pairing.repeatedKeys
                << (pairing.mode == PairingMode::kByName ? " names" : " numbers")
                << " repeat within the molecules and " << pairing.pairsFromRepeats << " of the "
                << pairing.pairs.size() << " pairs were formed from them (" << pairing.kept.size()
                << " pairs kept, " << pairing.referenceAtomsPaired
                << " reference atoms found a partner)";
    }
    if (pairing.repeatsPaired() && pairing.fewKept()) std::cerr << ", and ";
    if (pairing.fewKept()) {
      std::cerr << "the " << pairing.kept.size() << " pairs kept are fewer than half of the "
                << pairing.referenceAtomsPaired << " reference atoms that found a partner";
    }
    std::cerr << (pairing.polymer ? "; -g RESIDUE or -g SEQUENCE suits polymers"
                                  : "; -g ELEMENT suits small molecules")
              << std::endl;
  }
}

// The transform p' = R.p + t that carries a point of the comparison molecule into the reference
// frame, with t = cR - R.cM.
void printTransform(const RigidBody& fit) {
  const double* r = fit.getRotation();
  const Coords zero = fit.Mobil_To_Ref(std::vector<Coords>{Coords()}).front();  // R.0 + t = t
  char line[128];
  for (int row = 0; row < 3; ++row) {
    std::snprintf(line, sizeof line, "Rotation row %d : %14.10f %14.10f %14.10f\n", row + 1,
                  r[3 * row], r[3 * row + 1], r[3 * row + 2]);
    std::cout << line;
  }
  std::snprintf(line, sizeof line, "Translation    : %14.8f %14.8f %14.8f\n", zero.x, zero.y,
                zero.z);
  std::cout << line;
}

namespace {

// Distance between a reference atom and a comparison atom carried into the reference frame.
double fittedDistance(const Atom& reference, const Atom& comparison, const RigidBody& fit) {
  const Coords moved = fit.Mobil_To_Ref(std::vector<Coords>{comparison.getFixedCoords()}).front();
  return reference.getFixedCoords().calcDist(moved);
}

void printPairLine(const char* label, size_t index, const Atom& reference, const Atom& comparison,
                   const RigidBody& fit, const char* status) {
  char distance[32];
  std::snprintf(distance, sizeof distance, "%.8f", fittedDistance(reference, comparison, fit));
  std::cout << label << " " << index + 1 << "\t" << reference.getIdentifier() << "\t"
            << comparison.getIdentifier() << "\t" << distance << status << "\n";
}

}  // namespace

void printPairs(const PairingResult& pairing, const RigidBody& fit) {
  char rmsd[32];
  std::snprintf(rmsd, sizeof rmsd, "%.8f", fit.getRmsd());
  std::cout << "Pairs : " << pairing.pairs.size() << " formed, " << pairing.kept.size()
            << " kept, RMSD " << rmsd << "\n";
  for (const ChainMatch& chain : pairing.chains) {
    char score[32];
    std::snprintf(score, sizeof score, "%.1f", chain.score);
    // A blank chain identifier is written "".
    auto label = [](const std::string& id) { return id.empty() ? std::string("\"\"") : id; };
    std::cout << "Chain " << label(chain.referenceChain) << " with " << label(chain.comparisonChain)
              << (chain.byIdentifier ? " (same identifier)" : " (best score)") << " : "
              << chain.aligned << " residues aligned of " << chain.referenceResidues << " and "
              << chain.comparisonResidues << ", " << chain.identical << " identical, score "
              << score << "\n";
  }
  for (size_t i = 0; i < pairing.pairs.size(); ++i)
    printPairLine("Pair", i, *pairing.pairs[i].reference, *pairing.pairs[i].comparison, fit,
                  pairing.isKept[i] ? "\tkept" : "\tdropped");
}

// Whole molecules: atoms are paired by their order in the files.
void printAtomDistances(const std::vector<const Atom*>& reference,
                        const std::vector<const Atom*>& comparison, const RigidBody& fit) {
  char rmsd[32];
  std::snprintf(rmsd, sizeof rmsd, "%.8f", fit.getRmsd());
  std::cout << "Atoms : " << reference.size() << " fitted, RMSD " << rmsd << "\n";
  for (size_t i = 0; i < reference.size() && i < comparison.size(); ++i)
    printPairLine("Atom", i, *reference[i], *comparison[i], fit, "");
}

}  // namespace kestrum
