// PdbqtReader: the models of AutoDock PDBQT files (docking poses, receptors) as molecules.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace VXMole {

struct ErrorDef;
struct MoleExcept;
class LineSource;
class Molecule;

// Reads the models of a PDBQT text one after another from a line source: each MODEL ... ENDMDL
// is one molecule (a file without MODEL lines is one). What a model gives its molecule:
// - ATOM and HETATM records cut in the PDB columns (pdbrecord.h), atoms and residues as the PDB
//   reader makes them (ResidueAssembler), the partial charge of columns 71-76;
// - the element of the AutoDock type in columns 78-79 (elementOfAutoDockType);
// - bonds from the residue typing: templates for amino acids, distances for the rest
//   (typeResidues, bondperception.h), then orders and SYBYL types (perceiveOrdersAndTypes);
// - the Vina score of "REMARK VINA RESULT:" as the data item "VINA RESULT" (its three numbers as
//   the file writes them), and the name of "REMARK  Name = " as the molecule's name.
// ROOT, ENDROOT, BRANCH, ENDBRANCH, TORSDOF, other REMARK lines and every other record are passed
// over. A record that cannot be read throws MoleExcept 116011 to 116013, naming the file, the
// model and the line.
class PdbqtReader {
 public:
  // Reads from `source`; messages name `path`, and count models from `modelsBefore` + 1.
  PdbqtReader(LineSource& source, const std::string& path, size_t modelsBefore);

  // The next model as a molecule of type code `type`; null when no atom record is left.
  std::unique_ptr<Molecule> next(unsigned type);
  // The models read so far, those before this reader included.
  size_t modelsRead() const { return model_; }

 private:
  MoleExcept fail(const ErrorDef& def, const std::string& what) const;

  LineSource& source_;
  const std::string& path_;
  size_t model_;
};

// The element symbol of an AutoDock 4 or Vina atom type: A (aromatic carbon) and the glue
// carbons G0-G3 and CG0-CG3 are C, NA and NS N, OA and OS O, SA S, HD and HS H, W (a water of
// hydrated docking) O, the upper-case spellings CL, BR, MG, MN, ZN, FE and CA their elements;
// any other type that is an element symbol as the element table spells it ("C", "Cl", "Zn",
// "Na") is that element. "" for any other text.
std::string elementOfAutoDockType(std::string_view type);

// SYBYL types of the atoms that the residue typing left untyped. The residue typing perceives
// the bond orders and types of residues no template knows (ligands, cofactors) from their
// geometry (perceiveBondOrders, bondorders.h); this types, from its bonds, any atom it left.
void perceiveOrdersAndTypes(Molecule& molecule);

}  // namespace VXMole
