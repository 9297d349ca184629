// Fuzz target: the whole run (kestrumMain) on fuzzed reference, comparison and carried files.
//
// Input: one control byte, then the reference file's text, the comparison file's text and,
// optionally, the carried file's text, separated by lines "====". Control bits: 0, 1, 2 choose
// .mol2 over .pdb for the reference, comparison and carried file; 3-4 the pairing (none, -g
// NAME, -g ID, -g ELEMENT; -g name, which fits whole molecules, in place of ELEMENT when the two
// files pass kElementBytes); 5 writes into a -p directory instead of beside the input; 6 carries
// the reference file itself when there is no third part; 7 adds -m, -l and -n (transform, pairs
// and RMSD in place).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "driver.h"
#include "fuzz_support.h"

namespace {

const char kSeparator[] = "\n====\n";

// By element the pairs grow with the square of the atoms, and the exact search with a power of
// the pairs: beyond a few dozen atoms a run would outlast the fuzzer's time limit.
const size_t kElementBytes = 4096;

std::vector<std::string> splitParts(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() < 2) {
    const size_t end = text.find(kSeparator, start);
    if (end == std::string::npos) break;
    parts.push_back(text.substr(start, end - start + 1));  // keeps the line's own newline
    start = end + sizeof(kSeparator) - 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

// A failed or finished write never leaves a temporary file (".rot_..." names) behind.
void checkNoTemporaryFiles(const std::string& dir) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".rot_", 0) == 0) {
      fprintf(stderr, "temporary file left behind: %s\n", entry.path().c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const std::vector<std::string> parts =
      splitParts(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  if (parts.size() < 2) return 0;

  const std::string& dir = kestrum_fuzz::scratchDir();
  const std::string outDir = dir + "/out";
  std::error_code ignored;
  std::filesystem::create_directory(outDir, ignored);

  auto ext = [&](int bit) { return (control >> bit) & 1 ? std::string(".mol2") : ".pdb"; };
  const std::string ref = dir + "/ref" + ext(0);
  const std::string comp = dir + "/comp" + ext(1);
  kestrum_fuzz::writeBytes(ref, reinterpret_cast<const uint8_t*>(parts[0].data()), parts[0].size());
  kestrum_fuzz::writeBytes(comp, reinterpret_cast<const uint8_t*>(parts[1].data()),
                           parts[1].size());
  std::string other = ref;
  if (parts.size() > 2) {
    other = dir + "/other" + ext(2);
    kestrum_fuzz::writeBytes(other, reinterpret_cast<const uint8_t*>(parts[2].data()),
                             parts[2].size());
  } else if (!((control >> 6) & 1)) {
    other = comp;
  }

  std::vector<std::string> args{"Kestrum", "-r", ref, "-c", comp};
  const bool small = parts[0].size() + parts[1].size() <= kElementBytes;
  const char* const kPairings[] = {nullptr, "NAME", "ID", small ? "ELEMENT" : "name"};
  if (const char* pairing = kPairings[(control >> 3) & 3]) {
    args.push_back("-g");
    args.push_back(pairing);
  }
  if ((control >> 7) & 1) {
    args.push_back("-m");
    args.push_back("-l");
    args.push_back("-n");
  }
  args.push_back("-a");
  args.push_back(other);
  if ((control >> 5) & 1) {
    args.push_back("-p");
    args.push_back(outDir);
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const int status = kestrumMain(static_cast<int>(args.size()), argv.data());
  if (status != 0 && status != 1) std::abort();

  checkNoTemporaryFiles(dir);
  checkNoTemporaryFiles(outDir);
  for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
    std::filesystem::remove_all(entry.path(), ignored);
  return 0;
}
