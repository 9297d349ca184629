// Kestrum's run: options, reading, pairing, fit, and writing the carried molecules.
#include "driver.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "complex.h"
#include "edge.h"
#include "global.h"
#include "graph.h"
#include "molecule.h"
#include "molereader.h"
#include "molewriter.h"
#include "rigidbody.h"
#include "structurefile.h"
#include "vertex.h"

using namespace VXMole;

namespace {

// Every argument that occurs within this text ends an -a list.
const std::string kOptionNames = "-r -c -p -g ";

// Type codes the run reads with: the fitted molecules, and the molecules carried along.
const unsigned kFitType = kMoleCalcs;
const unsigned kCarriedType = 17;

// Two pairs are consistent when their intra-molecular distances differ by less than this (Å).
const double kDistanceTolerance = 1.0;

enum PairingMode { kWholeMolecules = 0, kByName = 1, kByMapNumber = 2 };

struct Options {
  std::string referencePath;
  std::string comparisonPath;
  std::string outputDir;  // empty: beside each input file
  std::string pairingText;
  int pairingMode = kWholeMolecules;
  std::vector<std::string> otherPaths;
  bool printTransform = false;  // -m
  bool printPairs = false;      // -l
};

// One tentative correspondence: its position in the pair list is its vertex's number.
struct Pair {
  Atom* reference;
  Atom* comparison;
  Vertex* vertex;  // owned by the graph
};

void printUsage() {
  std::cout
      << "./Kestrum : Translation/Rotation search and applications.\n"
         " Kestrum will find the translation vector and the rotation matrix to transfer a set "
         "of point A to a set B\n"
         " HOW-TO USE : \n"
         "  -> ./Kestrum -r Ref -c Comp  -g [NAME|ID] [-a Other_Molecule [-p PathDir]]\n"
         " Ref : path of the molecule to translate/rotate\n"
         " Comp: path of the molecule to translate/rotate to\n"
         " Other_Molecule : path(s) of as many molecules as you want. Theses molecules will "
         "be translate/rotate\n"
         "       according to the transation vector/rotation matrix found between the ref and "
         "the comp molecule\n"
         "       each file will be output in the same directory with the prefix rot_\n"
         " PathDir : By default, the Other_Molecule will be output in the same directory. If "
         "you want to change it, use PathDir\n"
         "       WARNING : the prefix will not be added \n"
         "\n";
}

// The options that take no value.
const char kTransformOption[] = "-m";
const char kPairsOption[] = "-l";

// "-a" itself ends a list too, so that "-a A -a B" carries both.
bool endsOtherList(const std::string& arg) {
  return kOptionNames.find(arg) != std::string::npos || arg == "-a" || arg == kTransformOption ||
         arg == kPairsOption;
}

// Scans the arguments left to right. Returns false, after a message on the error stream,
// when an option that takes a value is the last argument.
bool parseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  while (i < argc) {
    const std::string arg = argv[i];
    if (arg == "-a") {
      ++i;
      while (i < argc && !endsOtherList(argv[i])) options.otherPaths.emplace_back(argv[i++]);
      continue;
    }
    if (arg == kTransformOption || arg == kPairsOption) {
      (arg == kTransformOption ? options.printTransform : options.printPairs) = true;
      ++i;
      continue;
    }
    if (arg == "-r" || arg == "-c" || arg == "-p" || arg == "-g") {
      if (i + 1 >= argc) {
        std::cerr << "Option " << arg << " needs a value after it" << std::endl;
        return false;
      }
      const std::string value = argv[i + 1];
      if (arg == "-r") {
        options.referencePath = value;
      } else if (arg == "-c") {
        options.comparisonPath = value;
      } else if (arg == "-p") {
        options.outputDir = value;
      } else {
        options.pairingText = value;
        if (value == "NAME") options.pairingMode = kByName;
        if (value == "ID") options.pairingMode = kByMapNumber;
      }
      i += 2;
      continue;
    }
    ++i;  // anything else is ignored
  }
  return true;
}

void printPoint(const Coords& c) {
  std::cout << c.x << " " << c.y << " " << c.z << "\n";
}

// Reads every molecule of a file and returns the first "other" molecule after printing its
// barycentre, or null after the driver's message. The complex keeps ownership.
Molecule* readFittedMolecule(const std::string& path, Complex& complex, const char* noMolecule,
                             const char* noAtoms, const char* barycenterLabel) {
  MoleReader reader;  // for compressed PDB or MOL2 text; a plain file gets a reader of its own
  StructureFile::load(path, complex, kFitType, reader, true);
  if (complex.others.empty()) {
    std::cerr << noMolecule << std::endl;
    return nullptr;
  }
  Molecule* molecule = &complex.others[0];
  if (molecule->numAtoms() == 0) {
    std::cerr << noAtoms << std::endl;
    return nullptr;
  }
  std::cout << barycenterLabel;
  printPoint(molecule->calcBarycenter(false, false));
  return molecule;
}

bool pairable(const Atom& atom) {
  return !atom.isHydrogen() && !atom.excluded;
}

// Comparison atoms that can be paired, grouped by the key of the pairing mode, each group in
// molecule order.
class PartnerIndex {
 public:
  PartnerIndex(Molecule& comparison, int mode) : mode_(mode) {
    for (size_t i = 0; i < comparison.numAtoms(); ++i) {
      Atom& atom = comparison.atom(i);
      if (!pairable(atom)) continue;
      if (mode_ == kByName) {
        byName_[atom.getName()].push_back(&atom);
      } else {
        byMapNum_[atom.getMapNum()].push_back(&atom);
      }
    }
  }

  // The comparison atoms that match a reference atom; null when none does.
  const std::vector<Atom*>* partners(const Atom& atom) const {
    if (mode_ == kByName) {
      auto it = byName_.find(atom.getName());
      return it == byName_.end() ? nullptr : &it->second;
    }
    auto it = byMapNum_.find(atom.getMapNum());
    return it == byMapNum_.end() ? nullptr : &it->second;
  }

 private:
  int mode_;
  std::unordered_map<std::string, std::vector<Atom*>> byName_;
  std::unordered_map<unsigned, std::vector<Atom*>> byMapNum_;
};

// What the correspondence graph of n pairs may need at most: its vertices and pairs, two n x n
// byte matrices, and an edge (with its place in the graph and in two vertex lists) for every two
// pairs.
double pairingBytes(double n) {
  const double kBytesPerPair = sizeof(Pair) + sizeof(Vertex) + 48;
  const double kBytesPerEdge = sizeof(Edge) + 48;
  return n * kBytesPerPair + 2 * n * n + n * (n - 1) / 2 * kBytesPerEdge;
}

// The limit on that estimate, in MiB: KESTRUM_PAIRING_MEMORY_MIB, else 4096.
double pairingLimitMib() {
  const char* text = std::getenv("KESTRUM_PAIRING_MEMORY_MIB");
  if (text != nullptr) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text && value > 0) return value;
  }
  return 4096;
}

// The pairs formed, in pair-list order, and whether the clique kept each.
struct Pairing {
  std::vector<std::pair<Atom*, Atom*>> pairs;
  std::vector<bool> kept;
};

// Builds the correspondence graph of the pairs, finds its first clique and loads the paired
// coordinates into the fit. Returns false after a message when the pairing is too large or no
// clique of three pairs exists.
bool loadPairedAtoms(Molecule& reference, Molecule& comparison, int mode, RigidBody& fit,
                     Pairing& pairing) {
  const PartnerIndex index(comparison, mode);
  size_t count = 0;
  for (size_t i = 0; i < reference.numAtoms(); ++i) {
    const Atom& atom = reference.atom(i);
    if (!pairable(atom)) continue;
    if (const std::vector<Atom*>* partners = index.partners(atom)) count += partners->size();
  }
  const double needMib = pairingBytes(static_cast<double>(count)) / (1024.0 * 1024.0);
  const double limitMib = pairingLimitMib();
  if (needMib > limitMib) {
    std::cerr << "Pairing by " << (mode == kByName ? "NAME" : "ID") << " found " << count
              << " atom pairs, too many: their correspondence graph could need "
              << static_cast<long long>(needMib) << " MiB, above the limit of "
              << static_cast<long long>(limitMib)
              << " MiB (KESTRUM_PAIRING_MEMORY_MIB); pair by ID (-g ID) or fit whole molecules "
                 "(no -g) instead"
              << std::endl;
    return false;
  }

  Graph graph(0, 0);
  std::vector<Pair> pairs;
  pairs.reserve(count);
  for (size_t i = 0; i < reference.numAtoms(); ++i) {
    Atom& atom = reference.atom(i);
    if (!pairable(atom)) continue;
    const std::vector<Atom*>* partners = index.partners(atom);
    if (partners == nullptr) continue;
    for (Atom* partner : *partners) {
      const auto position = static_cast<unsigned>(pairs.size());
      auto* vertex = new Vertex(position, position);
      pairs.push_back(Pair{&atom, partner, vertex});
      graph.addVertex(vertex);
    }
  }
  for (size_t i = 0; i < pairs.size(); ++i) {
    const Coords& refI = pairs[i].reference->getFixedCoords();
    const Coords& compI = pairs[i].comparison->getFixedCoords();
    for (size_t j = i + 1; j < pairs.size(); ++j) {
      const double dR = refI.calcDist(pairs[j].reference->getFixedCoords());
      const double dC = compI.calcDist(pairs[j].comparison->getFixedCoords());
      if (std::fabs(dR - dC) < kDistanceTolerance)
        graph.addEdge(new Edge(pairs[i].vertex, pairs[j].vertex));
    }
  }
  graph.createMatrix();
  graph.Run_Search_All_Max_Cliques();
  if (graph.getCliques().empty()) {
    std::cerr << "No consistent set of at least three atom pairs" << std::endl;
    return false;
  }
  std::vector<Coords> rigid;
  std::vector<Coords> mobile;
  pairing.kept.assign(pairs.size(), false);
  for (unsigned position : graph.getCliques().front()) {
    rigid.push_back(pairs[position].reference->getFixedCoords());
    mobile.push_back(pairs[position].comparison->getFixedCoords());
    pairing.kept[position] = true;
  }
  pairing.pairs.reserve(pairs.size());
  for (const Pair& pair : pairs) pairing.pairs.emplace_back(pair.reference, pair.comparison);
  fit.Load_Coords_To_Rigid(rigid);
  fit.Load_Coords_To_Mobile(mobile);
  return true;
}

// "rot_" + the input's base name, in PathDir or beside the input. The output is MOL2, always:
// a ".gz" ending is dropped, then a ".pdb", ".cif" or ".mmcif" ending becomes ".mol2" (an
// upper-case ".PDB" is kept, as it always was).
std::string outputPath(const std::string& gzInput, const std::string& outputDir) {
  const std::string input = StructureFile::withoutGzip(gzInput);
  const size_t slash = input.rfind('/');
  const std::string base = slash == std::string::npos ? input : input.substr(slash + 1);
  std::string path;
  if (!outputDir.empty()) {
    path = outputDir + "/rot_" + base;
  } else {
    path =
        (slash == std::string::npos ? std::string() : input.substr(0, slash + 1)) + "rot_" + base;
  }
  if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".pdb") == 0) {
    path.replace(path.size() - 4, 4, ".mol2");
  } else if (StructureFile::isCif(path)) {
    path.replace(path.rfind('.'), std::string::npos, ".mol2");
  }
  return path;
}

// The molecule of a carried file: its first "other" molecule, else its last ligand, else its
// last protein; null when the file gave none.
Molecule* carriedMolecule(Complex& complex) {
  if (!complex.others.empty()) return &complex.others.front();
  if (!complex.ligands.empty()) return &complex.ligands.back();
  if (!complex.proteins.empty()) return &complex.proteins.back();
  return nullptr;
}

// The path a file stands for, to tell whether two paths name one file: absolute, with its links
// and "." and ".." resolved as far as the path exists.
std::string identityOf(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
  return (error ? absolute.lexically_normal() : resolved).string();
}

// Whether the run's outputs would write over one of its inputs or over each other; says so in
// one line on the error stream. Checked before anything is read or written.
bool outputsCollide(const Options& options) {
  std::vector<std::string> inputs = {options.referencePath, options.comparisonPath};
  inputs.insert(inputs.end(), options.otherPaths.begin(), options.otherPaths.end());
  std::unordered_map<std::string, std::string> inputByIdentity;
  for (const std::string& input : inputs) inputByIdentity.emplace(identityOf(input), input);
  // Output identity -> the input it is written for.
  std::unordered_map<std::string, std::string> writtenFor;
  for (const std::string& input : options.otherPaths) {
    const std::string output = outputPath(input, options.outputDir);
    const std::string identity = identityOf(output);
    if (auto clobbered = inputByIdentity.find(identity); clobbered != inputByIdentity.end()) {
      std::cerr << "The output " << output << " of " << input << " would overwrite the input "
                << clobbered->second << std::endl;
      return true;
    }
    auto [earlier, added] = writtenFor.emplace(identity, input);
    // The same file carried twice writes the same output twice: nothing is lost.
    if (!added && identityOf(earlier->second) != identityOf(input)) {
      std::cerr << "The outputs of " << earlier->second << " and " << input
                << " would both be written to " << output << std::endl;
      return true;
    }
  }
  return false;
}

// Transforms and writes every other molecule. Returns false when any output failed or a file
// gave no molecule.
bool carryOthers(const Options& options, RigidBody& fit) {
  MoleReader reader;
  MoleWriter writer;
  Complex complex;
  bool allWritten = true;
  for (const std::string& path : options.otherPaths) {
    complex.clear();
    StructureFile::load(path, complex, kCarriedType, reader, false);
    Molecule* molecule = carriedMolecule(complex);
    if (molecule == nullptr) {
      std::cerr << "No molecule in " << path << std::endl;
      allWritten = false;
      continue;
    }
    if (molecule->numAtoms() == 0) {
      std::cerr << "No Molecule in " << path << std::endl;
      allWritten = false;
      continue;
    }
    fit.Mobil_To_Ref(molecule);  // also stores both barycentres
    std::cout << "####################################\n";
    const std::string output = outputPath(path, options.outputDir);
    if (!writer.newFile(output, 1)) {
      std::cerr << "Unable to write " << output << " : " << writer.getError() << std::endl;
      allWritten = false;
      continue;
    }
    writer.writeMOL2(molecule, false, true);
    if (!writer.closeFile()) {
      std::cerr << "Unable to write " << output << " : " << writer.getError() << std::endl;
      allWritten = false;
      continue;
    }
    std::cout << "Path of the outputed file : " << output << "\n";
  }
  return allWritten;
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

void printPairs(const Pairing& pairing, const RigidBody& fit) {
  size_t kept = 0;
  for (bool k : pairing.kept) kept += k ? 1 : 0;
  char rmsd[32];
  std::snprintf(rmsd, sizeof rmsd, "%.8f", fit.getRmsd());
  std::cout << "Pairs : " << pairing.pairs.size() << " formed, " << kept << " kept, RMSD " << rmsd
            << "\n";
  for (size_t i = 0; i < pairing.pairs.size(); ++i)
    printPairLine("Pair", i, *pairing.pairs[i].first, *pairing.pairs[i].second, fit,
                  pairing.kept[i] ? "\tkept" : "\tdropped");
}

// Whole molecules: atoms are paired by their order in the files.
void printAtomDistances(Molecule& reference, Molecule& comparison, const RigidBody& fit) {
  char rmsd[32];
  std::snprintf(rmsd, sizeof rmsd, "%.8f", fit.getRmsd());
  std::cout << "Atoms : " << reference.numAtoms() << " fitted, RMSD " << rmsd << "\n";
  for (size_t i = 0; i < reference.numAtoms() && i < comparison.numAtoms(); ++i)
    printPairLine("Atom", i, reference.atom(i), comparison.atom(i), fit, "");
}

int run(const Options& options) {
  // Each complex owns its file's molecules for the whole run.
  Complex referenceComplex;
  Molecule* reference =
      readFittedMolecule(options.referencePath, referenceComplex, " No molecule in reference file ",
                         "No atoms in reference molecule", " Reference Molecule barycenter : ");
  if (reference == nullptr) return 1;
  Complex comparisonComplex;
  Molecule* comparison = readFittedMolecule(
      options.comparisonPath, comparisonComplex, " No molecule in comparison file ",
      "No atoms in comparison molecule", "Comparison Molecule barycenter : ");
  if (comparison == nullptr) return 1;

  RigidBody fit;
  Pairing pairing;
  if (options.pairingMode == kWholeMolecules) {
    fit.Load_Molecule_To_Rigid(reference);
    fit.Load_Molecule_To_Mobile(comparison);
  } else if (!loadPairedAtoms(*reference, *comparison, options.pairingMode, fit, pairing)) {
    return 1;
  }

  const double rmsd = fit.Calc_Rotation(-1.0);
  std::cout << "RMSD : " << rmsd << "\n";
  if (rmsd == RigidBody::kSizeMismatch || rmsd == RigidBody::kNothingToFit) {
    std::cout.flush();
    std::cerr << "The fit failed: no transform to apply"
              << (options.otherPaths.empty() ? "" : ", no other molecule written") << std::endl;
    return 1;
  }
  if (options.printTransform) printTransform(fit);
  if (options.printPairs) {
    if (options.pairingMode == kWholeMolecules) {
      printAtomDistances(*reference, *comparison, fit);
    } else {
      printPairs(pairing, fit);
    }
  }
  return carryOthers(options, fit) ? 0 : 1;
}

void removeOutputAndStop(int signal) {
  MoleWriter::removeUnfinishedOutput();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

int kestrumMain(int argc, char** argv) {
  if (argc < 3) {
    printUsage();
    return 1;
  }
  Options options;
  if (!parseOptions(argc, argv, options)) return 1;
  if (options.referencePath.empty() || options.comparisonPath.empty()) {
    std::cerr << " No Input files " << std::endl;
    return 1;
  }
  if (!options.pairingText.empty() && options.pairingMode == kWholeMolecules)
    std::cerr << "WARNING : -g " << options.pairingText
              << " is neither NAME nor ID: the whole molecules are fitted atom by atom"
              << std::endl;
  if (outputsCollide(options)) return 1;
  // An interrupted run leaves no temporary output behind; a signal the caller has the run
  // ignore (a background job's SIGINT) stays ignored.
  for (int signal : {SIGINT, SIGTERM})
    if (std::signal(signal, removeOutputAndStop) == SIG_IGN) std::signal(signal, SIG_IGN);
  try {
    return run(options);
  } catch (const MoleExcept& error) {
    std::cout.flush();
    // An unreadable PDB record has already been reported in full by the reader.
    if (error.code != kErrPdbUnreadable.code)
      std::cerr << error.code << "\t" << error.location << "\t" << error.message << std::endl;
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "Out of memory" << std::endl;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "Error : " << error.what() << std::endl;
  }
  return 1;
}
