// Test helpers: PDB records built in code, their mutations, and molecules read from them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "molecule.h"
#include "molereader.h"

namespace pdb_test {

// A fixed-column ATOM/HETATM record, 78 characters long. `name4` is the four-column atom name
// field as PDB files write it (" N  ", " CA ", "ZN  ").
inline std::string record(const char* kind, int num, const char* name4, const char* res, char chain,
                          int resSeq, double x, double y, double z, const char* element) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%-6s%5d %-4s %3s %c%4d    %8.3f%8.3f%8.3f%6.2f%6.2f%10s%2s",
                kind, num, name4, res, chain, resSeq, x, y, z, 1.0, 0.0, "", element);
  return buffer;
}

// Overwrites the columns from `start` (0-based) with `text`.
inline std::string mutate(std::string line, size_t start, const std::string& text) {
  return line.replace(start, text.size(), text);
}

// The record as one alternate site of its atom: the letter in column 17.
inline std::string site(std::string line, char altLoc) {
  return mutate(std::move(line), 16, std::string(1, altLoc));
}

// The lines, each followed by `end`.
inline std::string join(const std::vector<std::string>& lines, const char* end = "\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// Reads one molecule of PDB text given as lines (the first line counts as already read, so a
// leading REMARK stands in front).
inline std::unique_ptr<VXMole::Molecule> readLines(std::vector<std::string> body,
                                                   unsigned type = 17) {
  body.insert(body.begin(), "REMARK   test block");
  VXMole::MoleReader reader(body, VXMole::kFormatPdb);
  testing::internal::CaptureStderr();
  std::unique_ptr<VXMole::Molecule> molecule(reader.readPDB(type, true, true));
  testing::internal::GetCapturedStderr();
  return molecule;
}

inline VXMole::Atom* atomNamed(VXMole::Molecule& molecule, const std::string& name) {
  for (size_t i = 0; i < molecule.numAtoms(); ++i)
    if (molecule.atom(i).getName() == name) return &molecule.atom(i);
  return nullptr;
}

// The valid block the mutation tests start from: a glycine fragment and a zinc ion, bonded by
// CONECT records.
inline std::vector<std::string> validBlock() {
  return {
      "COMPND    TEST BLOCK",
      record("ATOM", 1, " N  ", "GLY", 'A', 1, 11.104, 6.134, -6.504, "N"),
      record("ATOM", 2, " CA ", "GLY", 'A', 1, 11.639, 6.071, -5.147, "C"),
      record("HETATM", 3, "ZN  ", "ZN", 'A', 201, 13.000, 7.000, -4.000, "ZN"),
      "CONECT    3    1",
      "END",
  };
}

}  // namespace pdb_test
