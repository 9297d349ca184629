// Complex: the molecules of one or more files, sorted into proteins, ligands and others.
#pragma once

#include <boost/ptr_container/ptr_vector.hpp>
#include <string>

#include "molecule.h"

namespace VXMole {

class Complex {
 public:
  Complex() = default;
  ~Complex() = default;
  Complex(const Complex&) = delete;
  Complex& operator=(const Complex&) = delete;

  // Takes ownership: proteins (type 2), ligands (types 0 and 7), others (every other type).
  void addMolecule(Molecule* molecule);
  // Deletes every molecule.
  void clear();

  // Read every molecule of a file. A MoleExcept is written to the error stream as
  // code, tab, location, tab, message, and the file is given up.
  void addProteinFile(const std::string& path);
  void addLigandFile(const std::string& path);
  void addOthersFile(const std::string& path);

  boost::ptr_vector<Molecule> proteins;
  boost::ptr_vector<Molecule> ligands;
  boost::ptr_vector<Molecule> others;

 private:
  void addFile(const std::string& path, unsigned type);
};

}  // namespace VXMole
