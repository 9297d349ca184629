// The benchmark's floor: only the input and output a Kestrum run cannot avoid, nothing else.
//
//   floor [-r REF] [-c COMP] [-b BONDS] [-s SUBSTRUCTURES] [-p DIR] [-a FILE...]
//
// REF and COMP are read line by line and the coordinates of their atom records parsed. Each
// FILE is read the same way and written to DIR/rot_<name> (a ".pdb" ending becomes ".mol2")
// with the MOL2 writer's printf patterns: a header of ten lines, one line per atom record, then
// BONDS bond lines and SUBSTRUCTURES substructure lines, which the benchmark takes from
// Kestrum's own output so that both write the same number of lines. The coordinates go
// through a fixed rotation and shift, as a fitted transform would move them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Atom {
  char name[8];
  char residue[12];  // residue name and number, "ALA12"
  double x, y, z;
};

// Copies columns [start, start + width) of a fixed-column record, blanks dropped.
void field(const char* line, size_t length, size_t start, size_t width, char* out) {
  size_t n = 0;
  for (size_t i = start; i < start + width && i < length; ++i)
    if (line[i] != ' ' && line[i] != '\n') out[n++] = line[i];
  out[n] = '\0';
}

double number(const char* line, size_t length, size_t start) {
  char text[9] = {0};
  if (start < length) std::memcpy(text, line + start, std::min<size_t>(8, length - start));
  return std::strtod(text, nullptr);
}

bool endsWith(const std::string& text, const char* tail) {
  const size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// Every atom record of a PDB or MOL2 file, read line by line.
std::vector<Atom> readAtoms(const std::string& path) {
  std::vector<Atom> atoms;
  FILE* in = std::fopen(path.c_str(), "r");
  if (in == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  const bool mol2 = endsWith(path, "mol2") || endsWith(path, "MOL2");
  bool inAtoms = false;
  char line[512];
  while (std::fgets(line, sizeof line, in) != nullptr) {
    const size_t length = std::strlen(line);
    Atom atom;
    if (mol2) {
      if (line[0] == '@') {
        inAtoms = std::strncmp(line, "@<TRIPOS>ATOM", 13) == 0;
        continue;
      }
      if (!inAtoms || line[0] == '#') continue;
      int number = 0, substructure = 0;
      char type[16];
      if (std::sscanf(line, "%d %7s %lf %lf %lf %15s %d %11s", &number, atom.name, &atom.x, &atom.y,
                      &atom.z, type, &substructure, atom.residue) < 8)
        continue;
    } else {
      if (std::strncmp(line, "ATOM", 4) != 0 && std::strncmp(line, "HETATM", 6) != 0) continue;
      field(line, length, 12, 4, atom.name);
      char residueName[4], residueNumber[6];
      field(line, length, 17, 3, residueName);
      field(line, length, 22, 4, residueNumber);
      std::snprintf(atom.residue, sizeof atom.residue, "%s%s", residueName, residueNumber);
      atom.x = number(line, length, 30);
      atom.y = number(line, length, 38);
      atom.z = number(line, length, 46);
    }
    atoms.push_back(atom);
  }
  std::fclose(in);
  return atoms;
}

void writeMol2(const std::string& input, const std::string& dir, int bonds, int substructures) {
  const std::vector<Atom> atoms = readAtoms(input);
  const size_t slash = input.rfind('/');
  std::string output =
      dir + "/rot_" + (slash == std::string::npos ? input : input.substr(slash + 1));
  if (endsWith(output, ".pdb")) output.replace(output.size() - 4, 4, ".mol2");
  FILE* out = std::fopen(output.c_str(), "w");
  if (out == nullptr) {
    std::perror(output.c_str());
    std::exit(1);
  }
  // A rotation of 30 degrees about z and a shift.
  const double c = 0.8660254037844387, s = 0.5;
  std::fprintf(out, "#    Name: %s\n", "floor");
  std::fprintf(out, "#    Modification time : %s\n\n", "now");
  std::fprintf(out, "@<TRIPOS>MOLECULE\n%s\n%5d %5d %5d %5d %5d\n", "floor",
               static_cast<int>(atoms.size()), bonds, substructures, 0, 0);
  std::fprintf(out, "%s", "SMALL\n");
  std::fprintf(out, "%s", "NO_CHARGES\n");
  std::fprintf(out, "@<TRIPOS>ATOM\n");
  int substructure = 0;
  const char* lastResidue = "";
  for (size_t i = 0; i < atoms.size(); ++i) {
    const Atom& a = atoms[i];
    if (std::strcmp(a.residue, lastResidue) != 0) ++substructure;
    lastResidue = a.residue;
    std::fprintf(out, "%7d %-8s %9.4f %9.4f %9.4f %-5s %5d %-9s %8.4f\n", static_cast<int>(i) + 1,
                 a.name, c * a.x - s * a.y + 1.5, s * a.x + c * a.y - 2.5, a.z + 3.5, "C.3",
                 substructure, a.residue, 0.0);
  }
  std::fprintf(out, "@<TRIPOS>BOND\n");
  for (int i = 1; i <= bonds; ++i) std::fprintf(out, "%6d %4d %4d %-3d\n", i, i, i + 1, 1);
  std::fprintf(out, "@<TRIPOS>SUBSTRUCTURE\n");
  for (int i = 1; i <= substructures; ++i)
    std::fprintf(out, "%6d %-6s %6d %-7s %11d %-4s  %3s%6d %4s %3s %1s%4d\n", i, "ALA1", i,
                 "RESIDUE", 4, "A", "ALA", 2, "****", "ALA", "A", i);
  if (std::fclose(out) != 0) {
    std::perror(output.c_str());
    std::exit(1);
  }
  std::printf("####################################\nPath of the outputed file : %s\n",
              output.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> fitted, others;
  std::string dir = ".";
  int bonds = 0, substructures = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "-r" || arg == "-c") && i + 1 < argc) {
      fitted.emplace_back(argv[++i]);
    } else if (arg == "-b" && i + 1 < argc) {
      bonds = std::atoi(argv[++i]);
    } else if (arg == "-s" && i + 1 < argc) {
      substructures = std::atoi(argv[++i]);
    } else if (arg == "-p" && i + 1 < argc) {
      dir = argv[++i];
    } else if (arg == "-a") {
      while (i + 1 < argc && argv[i + 1][0] != '-') others.emplace_back(argv[++i]);
    }
  }
  for (const std::string& path : fitted) {
    const std::vector<Atom> atoms = readAtoms(path);
    double sx = 0, sy = 0, sz = 0;
    for (const Atom& a : atoms) {
      sx += a.x;
      sy += a.y;
      sz += a.z;
    }
    const double n = atoms.empty() ? 1.0 : static_cast<double>(atoms.size());
    std::printf("%zu atoms, barycenter : %g %g %g\n", atoms.size(), sx / n, sy / n, sz / n);
  }
  for (const std::string& path : others) writeMol2(path, dir, bonds, substructures);
  return 0;
}
