// Kestrum's run: options, reading, pairing, fit, and writing the carried molecules.
#include "driver.h"

#include <signal.h>  // for sigaction
#include <unistd.h>  // for isatty

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "complex.h"
#include "diagnostics.h"
#include "global.h"
#include "molecule.h"
#include "molereader.h"
#include "molewriter.h"
#include "pairing.h"
#include "rigidbody.h"
#include "selection.h"
#include "structurefile.h"

using namespace VXMole;

namespace {

// Every argument that occurs within this text ends an -a list.
const std::string kOptionNames = "-r -c -p -g ";

// Type codes the run reads with: the fitted molecules, and the molecules carried along.
const unsigned kFitType = kMoleCalcs;
const unsigned kCarriedType = 17;

struct Options {
  std::string referencePath;
  std::string comparisonPath;
  std::string outputDir;  // empty: beside each input file
  std::string pairingText;
  std::optional<PairingMode> pairingMode;  // empty: whole molecules, atom by atom in file order
  std::vector<std::string> otherPaths;
  bool printTransform = false;  // -m
  bool printPairs = false;      // -l
  bool printInPlace = false;    // -n: the RMSD of the pairs as they stand, without the fit
  // Selections of the atoms to pair and fit: -s for both molecules, -sr and -sc for one,
  // each taking precedence over -s. Empty: every atom.
  std::optional<std::string> selectBoth, selectReference, selectComparison;
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
const char kInPlaceOption[] = "-n";
// The selection options.
const char kSelectBoth[] = "-s";
const char kSelectReference[] = "-sr";
const char kSelectComparison[] = "-sc";

bool isSelectionOption(const std::string& arg) {
  return arg == kSelectBoth || arg == kSelectReference || arg == kSelectComparison;
}

// "-a" itself ends a list too, so that "-a A -a B" carries both.
bool endsOtherList(const std::string& arg) {
  return kOptionNames.find(arg) != std::string::npos || arg == "-a" || arg == kTransformOption ||
         arg == kPairsOption || arg == kInPlaceOption || isSelectionOption(arg);
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
    if (arg == kTransformOption || arg == kPairsOption || arg == kInPlaceOption) {
      (arg == kTransformOption ? options.printTransform
       : arg == kPairsOption   ? options.printPairs
                               : options.printInPlace) = true;
      ++i;
      continue;
    }
    if (arg == "-r" || arg == "-c" || arg == "-p" || arg == "-g" || isSelectionOption(arg)) {
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
      } else if (arg == kSelectBoth) {
        options.selectBoth = value;
      } else if (arg == kSelectReference) {
        options.selectReference = value;
      } else if (arg == kSelectComparison) {
        options.selectComparison = value;
      } else {
        options.pairingText = value;
        // Any other text leaves the mode as an earlier -g set it.
        if (const std::optional<PairingMode> mode = pairingModeNamed(value))
          options.pairingMode = mode;
      }
      i += 2;
      continue;
    }
    ++i;  // anything else is ignored
  }
  return true;
}

// A name as one line: control characters (a line feed within it) become blanks.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ' || c == 0x7f) c = ' ';
  return text;
}

void printPoint(const Coords& c) {
  std::cout << c.x << " " << c.y << " " << c.z << "\n";
}

// What the run is doing, so that a failure can say where it happened.
struct Activity {
  const char* doing = "starting";  // "reading", "pairing", "fitting", "writing"
  std::string file;                // the file read or written; the reference while pairing
  std::string other;               // the comparison file while pairing, else ""
  const char* pairing = "";        // the pairing mode's name while pairing

  // "reading a.pdb", "pairing the atoms of a.pdb and b.pdb", "writing out/rot_a.mol2".
  std::string describe() const {
    if (other.empty()) return std::string(doing) + " " + file;
    return std::string(doing) + " " + file + " and " + other;
  }
};
Activity activity;

void startActivity(const char* doing, std::string file, std::string other = std::string()) {
  activity.doing = doing;
  activity.file = std::move(file);
  activity.other = std::move(other);
}

// Says on the error stream why the current activity failed, for the exception being handled:
// the library's report of a MoleExcept (code, location, message), then a line that names the
// file where the report names none; one line for memory that ran out.
void reportFailure() {
  std::cout.flush();
  try {
    throw;
  } catch (const MoleExcept& error) {
    // An unreadable PDB record has already been reported in full by the reader.
    if (error.code == kErrPdbUnreadable.code) return;
    std::cerr << error.code << "\t" << error.location << "\t" << error.message << std::endl;
    if (error.code == kErrReaderUnknownFormat.code ||
        error.code == kErrReaderLoadUnknownFormat.code) {
      std::cerr << activity.file
                << " : the name ends in none of .pdb, .mol2, .cif, .mmcif, .sdf, .sd, .mol and "
                   ".pdbqt (each may be "
                   "followed by .gz), which tell how a file is read"
                << std::endl;
    } else if (error.code == kErrNotEnoughPairs.code) {
      std::cerr << "Pairing by " << activity.pairing << " found fewer than two atom pairs between "
                << activity.file << " and " << activity.other << ": there is nothing to fit"
                << std::endl;
    } else if (!activity.file.empty() && error.message.find(activity.file) == std::string::npos) {
      std::cerr << "This happened while " << activity.describe() << std::endl;
    }
  } catch (const std::bad_alloc&) {
    std::cerr << "Out of memory while " << activity.describe() << std::endl;
  } catch (const std::exception& error) {
    std::cerr << "Error : " << error.what() << " while " << activity.describe() << std::endl;
  } catch (...) {
    std::cerr << "Unknown error while " << activity.describe() << std::endl;
  }
}

// The molecules of a complex, in file order: with the run's type codes every molecule a reader
// gives lands among the "other" molecules; ligands and proteins follow them.
std::vector<Molecule*> moleculesOf(Complex& complex) {
  std::vector<Molecule*> molecules;
  molecules.reserve(complex.others.size() + complex.ligands.size() + complex.proteins.size());
  for (Molecule& molecule : complex.others) molecules.push_back(&molecule);
  for (Molecule& molecule : complex.ligands) molecules.push_back(&molecule);
  for (Molecule& molecule : complex.proteins) molecules.push_back(&molecule);
  return molecules;
}

// Reads every molecule of a fitted file into `complex`, which keeps ownership, and returns them;
// none after the driver's message. Every molecule holds atoms (a reader leaves out those
// without).
std::vector<Molecule*> readFittedMolecules(const std::string& path, Complex& complex,
                                           const char* noMolecule, const char* noAtoms) {
  startActivity("reading", path);
  StructureFile::load(path, complex, kFitType);
  if (complex.others.empty()) {
    std::cerr << noMolecule << std::endl;
    std::cerr << path << " " << StructureFile::whyNoMolecule(path) << std::endl;
    return {};
  }
  if (complex.others[0].numAtoms() == 0) {
    std::cerr << noAtoms << std::endl;
    return {};
  }
  return moleculesOf(complex);
}

// The reference molecule: the first of its file, whose barycentre is printed; null after the
// driver's message. A file of several molecules is said on the error stream: only the first one
// is the reference.
Molecule* readReference(const std::string& path, Complex& complex) {
  const std::vector<Molecule*> molecules = readFittedMolecules(
      path, complex, " No molecule in reference file ", "No atoms in reference molecule");
  if (molecules.empty()) return nullptr;
  if (molecules.size() > 1)
    std::cerr << "WARNING : " << path << " holds " << molecules.size()
              << " molecules: only the first one is fitted" << std::endl;
  std::cout << " Reference Molecule barycenter : ";
  printPoint(molecules[0]->calcBarycenter(false, false));
  return molecules[0];
}

// The progress of a long stage on the error stream: a percentage that rewrites one line, shown
// only on a terminal and once the stage has run for about a second, and erased at its end.
class ProgressLine {
 public:
  explicit ProgressLine(const char* label)
      : label_(label), onTerminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}
  ~ProgressLine() { erase(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(double done) {
    if (!onTerminal_) return;
    if (percent_ < 0 && Clock::now() - start_ < kDelay) return;
    const int percent = std::clamp(static_cast<int>(done * 100), 0, 99);
    if (percent == percent_) return;
    percent_ = percent;
    char line[64];
    std::snprintf(line, sizeof line, "\r%s: %3d%%", label_, percent);
    std::cerr << line << std::flush;
  }

  void erase() {
    if (percent_ < 0) return;
    std::cerr << "\r" << std::string(std::strlen(label_) + 6, ' ') << "\r" << std::flush;
    percent_ = -1;
  }

  ProgressFn function() {
    return onTerminal_ ? ProgressFn([this](double done) { update(done); }) : ProgressFn();
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kDelay{1000};
  const char* label_;
  bool onTerminal_;
  Clock::time_point start_;
  int percent_ = -1;  // the percentage shown; -1 while nothing is shown
};

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

// Pairs the atoms, keeps the consistent set of the mode (by graph, the mapping) and loads its
// coordinates into the fit. Returns false after a message when the pairing cannot be held in
// memory, no consistent set of three pairs exists, or the bond graphs cannot be mapped.
bool loadPairedAtoms(const Options& options, const std::string& comparisonName,
                     const Molecule& reference, const Molecule& comparison,
                     const std::vector<bool>& referenceAtoms,
                     const std::vector<bool>& comparisonAtoms, RigidBody& fit,
                     PairingResult& pairing) {
  activity.pairing = pairingModeName(*options.pairingMode);
  {
    ProgressLine progress("Pairing");  // erased before any message below
    PairingOptions request;
    request.mode = *options.pairingMode;
    // With -n the mapping by graph of lowest RMSD in place is searched too, for its line.
    request.graphInPlace = options.printInPlace;
    request.referenceAtoms = referenceAtoms;
    request.comparisonAtoms = comparisonAtoms;
    request.progress = progress.function();
    pairing = pairAtoms(reference, comparison, request);
  }
  switch (pairing.outcome) {
    case PairingResult::Outcome::kRefused:
      reportRefusal(pairing);
      return false;
    case PairingResult::Outcome::kNoConsistentSet:
      std::cerr << "No consistent set of at least three atom pairs" << std::endl;
      return false;
    case PairingResult::Outcome::kOverTime:
      std::cerr << "Pairing by " << pairingModeName(pairing.mode) << " found " << pairing.pairCount
                << " atom pairs: their correspondence graph would take some "
                << static_cast<long long>(std::ceil(pairing.graphSeconds))
                << " s to make, more than the pairing may take; select fewer atoms (-s), or pair "
                   "polymers by -g RESIDUE or -g SEQUENCE"
                << std::endl;
      return false;
    case PairingResult::Outcome::kNotMapped:
      std::cout.flush();
      std::cerr << "Pairing by GRAPH cannot map " << comparisonName << " onto "
                << options.referencePath << ": " << pairing.notMapped << std::endl;
      return false;
    case PairingResult::Outcome::kKept:
      break;
  }
  warnAboutKeptSet(pairing);
  loadKeptPairs(pairing, fit);
  return true;
}

// "rot_" + the input's base name, in PathDir or beside the input. The output is MOL2 whatever
// the input: a ".gz" ending is dropped, then a lower-case ".pdb" ending, or a ".cif", ".mmcif",
// ".sdf", ".sd", ".mol" or ".pdbqt" ending in any case, becomes ".mol2". An upper-case ".PDB"
// ending is kept.
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
  } else if (StructureFile::isCif(path) || MoleReader::formatOfName(path) == kFormatSdf ||
             MoleReader::formatOfName(path) == kFormatPdbqt) {
    path.replace(path.rfind('.'), std::string::npos, ".mol2");
  }
  return path;
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

// Whether an output names what is never replaced: a FIFO, a device, a socket, a link to one of
// those or a link that leads nowhere. Says so in one line on the error stream. Checked before
// anything is read or written.
bool outputNotReplaceable(const Options& options) {
  for (const std::string& input : options.otherPaths) {
    const std::string output = outputPath(input, options.outputDir);
    const std::string what = MoleWriter::notReplaceable(output);
    if (what.empty()) continue;
    std::cerr << "The output " << output << " of " << input << " is " << what
              << ": only a regular file is replaced" << std::endl;
    return true;
  }
  return false;
}

// The transforms of the fitted molecules, one per comparison molecule in file order.
using Fits = std::vector<RigidBody>;

// Reads, transforms and writes every molecule of one other file into one output, with the run's
// reader, writer and complex. With one fit every molecule is moved by it; with several, the file
// must hold as many molecules, the k-th moved by the k-th fit. Returns false after a message
// when the file gives no molecule, holds another count, or its output fails; throws what reading
// or writing throws.
bool carryFile(const std::string& path, const Options& options, const Fits& fits,
               MoleReader& reader, MoleWriter& writer, Complex& complex) {
  complex.clear();
  startActivity("reading", path);
  StructureFile::load(path, complex, kCarriedType, &reader);
  const std::vector<Molecule*> molecules = moleculesOf(complex);
  if (molecules.empty()) {
    std::cerr << "No molecule in " << path << std::endl;
    return false;
  }
  if (fits.size() > 1 && molecules.size() != fits.size()) {
    std::cout.flush();
    std::cerr << path << " holds " << molecules.size() << " molecules, but " << fits.size()
              << " molecules of " << options.comparisonPath
              << " were fitted: a carried file holds one molecule per fitted molecule (the k-th "
                 "is moved by the k-th fit) or is carried with a single fitted molecule; it is "
                 "not written"
              << std::endl;
    return false;
  }
  for (size_t k = 0; k < molecules.size(); ++k) {
    if (molecules[k]->numAtoms() == 0) {
      std::cerr << "No Molecule in " << path << std::endl;
      return false;
    }
    // Also stores both barycentres.
    fits[fits.size() == 1 ? 0 : k].Mobil_To_Ref(molecules[k]);
  }
  std::cout << "####################################\n";
  const std::string output = outputPath(path, options.outputDir);
  startActivity("writing", output);
  if (!writer.newFile(output, 1)) {
    std::cerr << "Unable to write " << output << " : " << writer.getError() << std::endl;
    return false;
  }
  for (Molecule* molecule : molecules) writer.writeMOL2(molecule, false, true);
  if (!writer.closeFile()) {
    std::cerr << "Unable to write " << output << " : " << writer.getError() << std::endl;
    return false;
  }
  std::cout << "Path of the outputed file : " << output << "\n";
  return true;
}

// Transforms and writes every other file, each on its own: a file that cannot be read or
// written is said and the others are still written. Returns false when any of them failed.
bool carryOthers(const Options& options, const Fits& fits) {
  MoleReader reader;
  MoleWriter writer;
  Complex complex;
  bool allWritten = true;
  for (const std::string& path : options.otherPaths) {
    try {
      if (!carryFile(path, options, fits, reader, writer, complex)) allWritten = false;
    } catch (...) {
      reportFailure();
      // A write cut short leaves nothing behind: its error is recorded, so closing removes it.
      if (writer.isOpen()) writer.closeFile();
      allWritten = false;
    }
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

// The atoms a selection takes, in file order: every atom when `selected` is empty.
std::vector<const Atom*> atomsInOrder(const Molecule& molecule, const std::vector<bool>& selected) {
  std::vector<const Atom*> atoms;
  for (size_t i = 0; i < molecule.numAtoms(); ++i)
    if (selected.empty() || selected[i]) atoms.push_back(&molecule.atom(i));
  return atoms;
}

std::vector<Coords> fixedCoords(const std::vector<const Atom*>& atoms) {
  std::vector<Coords> coords;
  coords.reserve(atoms.size());
  for (const Atom* atom : atoms) coords.push_back(atom->getFixedCoords());
  return coords;
}

// The selections of -s, -sr and -sc, parsed before anything is read.
struct Selections {
  std::optional<Selection> reference;
  std::optional<Selection> comparison;
};

// Parses the selections; false after a message that quotes the one that cannot be read.
bool parseSelections(const Options& options, Selections& selections) {
  const std::optional<std::string>& reference =
      options.selectReference ? options.selectReference : options.selectBoth;
  const std::optional<std::string>& comparison =
      options.selectComparison ? options.selectComparison : options.selectBoth;
  try {
    if (reference) selections.reference.emplace(*reference);
    if (comparison) selections.comparison.emplace(*comparison);
  } catch (const MoleExcept& error) {
    std::cerr << error.message << std::endl;
    return false;
  }
  return true;
}

// The atoms of the molecule read from `path` that a selection takes; empty without one. False
// after a message naming the selection and the file when it takes no atom.
bool selectAtoms(const std::optional<Selection>& selection, const Molecule& molecule,
                 const std::string& path, std::vector<bool>& atoms) {
  if (!selection) return true;
  atoms = selection->atoms(molecule);
  if (std::find(atoms.begin(), atoms.end(), true) != atoms.end()) return true;
  std::cout.flush();
  std::cerr << "Selection \"" << selection->text() << "\" matches no atom of " << path << std::endl;
  return false;
}

// What every comparison molecule is fitted onto: the reference, its selected atoms, and the run.
struct FitTarget {
  const Options& options;
  const Selections& selections;
  const Molecule& reference;
  const std::vector<bool>& referenceAtoms;  // empty: every atom
};

// Fits one comparison molecule onto the reference and prints its report. With a single
// comparison molecule (`count` 1) the report is the comparison barycentre (printed by the caller
// before the selection), the RMSD, then the RMSD in place (-n), the transform (-m) and the
// pairs (-l). With several, a block per molecule: "Molecule k of n : name", its barycentre,
// "Pairs kept : p" (whole molecules: "Atoms fitted : p"), the RMSD, -n, -m and -l; each
// molecule has its own pairing (by graph, its own mapping). Returns false after a message on the
// error stream when the molecule cannot be fitted (its block then ends before the RMSD).
bool fitComparison(const FitTarget& target, Molecule& comparison, size_t index, size_t count,
                   RigidBody& fit) {
  const Options& options = target.options;
  const bool several = count > 1;
  if (several) {
    std::cout << "Molecule " << index + 1 << " of " << count;
    if (!comparison.getName().empty()) std::cout << " : " << oneLine(comparison.getName());
    std::cout << "\nComparison Molecule barycenter : ";
    printPoint(comparison.calcBarycenter(false, false));
  }
  // Says which molecule was left out, after the reason.
  auto leftOut = [&]() {
    if (several)
      std::cerr << "Molecule " << index + 1 << " of " << options.comparisonPath << " is not fitted"
                << std::endl;
    return false;
  };
  std::vector<bool> comparisonAtoms;  // empty: every atom
  if (!selectAtoms(target.selections.comparison, comparison, options.comparisonPath,
                   comparisonAtoms))
    return leftOut();

  PairingResult pairing;
  const std::string comparisonName =
      several ? options.comparisonPath + " (molecule " + std::to_string(index + 1) + ")"
              : options.comparisonPath;
  startActivity("pairing the atoms of", options.referencePath, comparisonName);
  size_t fitted = 0;
  if (!options.pairingMode) {
    fit.Load_Coords_To_Rigid(fixedCoords(atomsInOrder(target.reference, target.referenceAtoms)));
    fit.Load_Coords_To_Mobile(fixedCoords(atomsInOrder(comparison, comparisonAtoms)));
    fitted = fit.getMobile().size();
  } else if (!loadPairedAtoms(options, comparisonName, target.reference, comparison,
                              target.referenceAtoms, comparisonAtoms, fit, pairing)) {
    return leftOut();
  } else {
    fitted = pairing.kept.size();
  }
  // The pairs as they stand, before the fit centres them.
  const double inPlace =
      options.pairingMode
          ? pairing.inPlaceRmsd
          : rmsdInPlace(fixedCoords(atomsInOrder(target.reference, target.referenceAtoms)),
                        fixedCoords(atomsInOrder(comparison, comparisonAtoms)));

  startActivity("fitting", comparisonName + " onto " + options.referencePath);
  const double rmsd = fit.Calc_Rotation(-1.0);
  if (several)
    std::cout << (options.pairingMode ? "Pairs kept : " : "Atoms fitted : ") << fitted << "\n";
  std::cout << "RMSD : " << rmsd << "\n";
  if (rmsd == RigidBody::kSizeMismatch || rmsd == RigidBody::kNothingToFit) {
    std::cout.flush();
    std::cerr << "The fit failed: no transform to apply"
              << (options.otherPaths.empty() || several ? "" : ", no other molecule written")
              << std::endl;
    return leftOut();
  }
  if (options.printInPlace) std::cout << "RMSD in place : " << inPlace << "\n";
  if (options.printTransform) printTransform(fit);
  if (options.printPairs) {
    if (!options.pairingMode) {
      printAtomDistances(atomsInOrder(target.reference, target.referenceAtoms),
                         atomsInOrder(comparison, comparisonAtoms), fit);
    } else {
      printPairs(pairing, fit);
    }
  }
  return true;
}

int run(const Options& options, const Selections& selections) {
  // Each complex owns its file's molecules for the whole run.
  Complex referenceComplex;
  const Molecule* reference = readReference(options.referencePath, referenceComplex);
  if (reference == nullptr) return 1;
  Complex comparisonComplex;
  const std::vector<Molecule*> comparisons =
      readFittedMolecules(options.comparisonPath, comparisonComplex,
                          " No molecule in comparison file ", "No atoms in comparison molecule");
  if (comparisons.empty()) return 1;
  if (comparisons.size() == 1) {
    std::cout << "Comparison Molecule barycenter : ";
    printPoint(comparisons[0]->calcBarycenter(false, false));
  }
  std::vector<bool> referenceAtoms;  // empty: every atom
  if (!selectAtoms(selections.reference, *reference, options.referencePath, referenceAtoms))
    return 1;

  // Every comparison molecule is fitted onto the reference read once, in file order.
  const FitTarget target{options, selections, *reference, referenceAtoms};
  Fits fits(comparisons.size());
  size_t unfitted = 0;
  for (size_t k = 0; k < comparisons.size(); ++k)
    if (!fitComparison(target, *comparisons[k], k, comparisons.size(), fits[k])) ++unfitted;
  if (unfitted > 0) {
    if (comparisons.size() > 1 && !options.otherPaths.empty()) {
      std::cout.flush();
      std::cerr << unfitted << " of the " << comparisons.size() << " molecules of "
                << options.comparisonPath << " could not be fitted: no other molecule written"
                << std::endl;
    }
    return 1;
  }
  return carryOthers(options, fits) ? 0 : 1;
}

// The signals whose default action ends the process (SIGKILL and SIGSTOP cannot be caught).
const int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE, SIGALRM,
                              SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};

// Removes the temporary output, then ends the process by the same signal, as it would have ended
// without the handler.
void removeOutputAndStop(int signal) {
  MoleWriter::removeUnfinishedOutput();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

int kestrumMain(int argc, char** argv) {
  activity = Activity();
  setDiagnostics(std::cerr);  // the library's warnings and reports go to the error stream
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
  if (!options.pairingText.empty() && !options.pairingMode)
    std::cerr
        << "WARNING : -g " << options.pairingText
        << " is not NAME, ID, ELEMENT, RESIDUE, SEQUENCE or GRAPH: the whole molecules are fitted "
           "atom by atom"
        << std::endl;
  Selections selections;
  if (!parseSelections(options, selections)) return 1;
  if (outputsCollide(options)) return 1;
  if (outputNotReplaceable(options)) return 1;
  // A run ended by a signal leaves no temporary output behind. A signal the caller has the run
  // ignore (a background job's SIGINT, SIGXFSZ ignored so that a write past `ulimit -f` fails
  // instead) stays ignored, and one the calling program handles itself (a fuzzer's SIGALRM
  // timer) stays with its handler.
  for (int signal : kEndingSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
      std::signal(signal, removeOutputAndStop);
  }
  try {
    return run(options, selections);
  } catch (...) {
    reportFailure();
  }
  return 1;
}
