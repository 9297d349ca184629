// Complex: routing molecules by type, and reading whole files into the complex.
#include "complex.h"

#include <iostream>

#include "diagnostics.h"
#include "global.h"
#include "molereader.h"

namespace VXMole {

void Complex::addMolecule(Molecule* molecule) {
  // A null molecule raises the container's error (boost::bad_pointer), as for any list.
  if (molecule == nullptr) others.push_back(molecule);
  switch (molecule->getType()) {
    case kMoleProtein:
      proteins.push_back(molecule);
      break;
    case kMoleLigand:
    case kMoleBiopolymer:
      ligands.push_back(molecule);
      break;
    default:
      others.push_back(molecule);
      break;
  }
}

void Complex::clear() {
  proteins.clear();
  ligands.clear();
  others.clear();
}

void Complex::addFile(const std::string& path, unsigned type) {
  try {
    MoleReader reader(path, kFormatDetect);
    reader.loadInComplex(*this, type);
  } catch (const MoleExcept& error) {
    diagnostics() << error.code << "\t" << error.location << "\t" << error.message << std::endl;
  }
}

void Complex::addProteinFile(const std::string& path) {
  addFile(path, kMoleProtein);
}
void Complex::addLigandFile(const std::string& path) {
  addFile(path, kMoleLigand);
}
void Complex::addOthersFile(const std::string& path) {
  addFile(path, kMoleOther);
}

}  // namespace VXMole
