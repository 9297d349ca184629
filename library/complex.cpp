// Complex: routing molecules by type, and reading whole files into the complex.
#include "complex.h"

#include <iostream>

#include "global.h"
#include "molereader.h"

namespace VXMole {

void Complex::addMolecule(Molecule* molecule) {
  if (molecule == nullptr) return;
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
    std::cerr << error.code << "\t" << error.location << "\t" << error.message << std::endl;
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
