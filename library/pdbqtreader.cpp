// PdbqtReader: MODEL, ATOM/HETATM and REMARK records of PDBQT files, AutoDock types to elements.
#include "pdbqtreader.h"

#include <cmath>    // for std::isfinite
#include <cstdlib>  // for std::strtod
#include <map>
#include <new>  // for std::bad_alloc
#include <stdexcept>
#include <utility>

#include "global.h"
#include "linesource.h"
#include "molecule.h"
#include "pdbrecord.h"
#include "residueassembler.h"
#include "residuetyping.h"
#include "sybyltyping.h"
#include "tables.h"

namespace VXMole {

namespace {

// The REMARK that carries Vina's score, and the data item it becomes.
const char kVinaRemark[] = "REMARK VINA RESULT:";
const char kVinaItem[] = "VINA RESULT";
// The REMARK that names a molecule (Open Babel, Meeko).
const char kNameRemark[] = "REMARK  Name = ";
const char kBlanks[] = " \t\r\f\v";

// AutoDock types that are no element symbol, and their elements. Types: AutoDock 4.2's
// AD4_parameters.dat and AD4.1_bound.dat (the first column), Vina's glue types for macrocycles
// (G0-G3, CG0-CG3) and the water type W of hydrated docking; elements: what each type stands for.
struct AutoDockTypeRow {
  std::string_view type;
  std::string_view element;
};
constexpr AutoDockTypeRow kAutoDockTypes[] = {
    {"A", "C"},   {"NA", "N"},  {"NS", "N"},  {"OA", "O"},  {"OS", "O"},  {"SA", "S"},
    {"HD", "H"},  {"HS", "H"},  {"W", "O"},   {"G0", "C"},  {"G1", "C"},  {"G2", "C"},
    {"G3", "C"},  {"CG0", "C"}, {"CG1", "C"}, {"CG2", "C"}, {"CG3", "C"}, {"CL", "Cl"},
    {"BR", "Br"}, {"MG", "Mg"}, {"MN", "Mn"}, {"ZN", "Zn"}, {"FE", "Fe"}, {"CA", "Ca"},
};
static_assert(sizeof kAutoDockTypes / sizeof kAutoDockTypes[0] == 24, "one row per type");

// Vina's "-9.1      0.000      0.000": the numbers separated by single blanks.
std::string wordsOf(std::string_view text) {
  std::string words;
  size_t at = 0;
  while ((at = text.find_first_not_of(kBlanks, at)) != std::string_view::npos) {
    const size_t end = std::min(text.find_first_of(kBlanks, at), text.size());
    if (!words.empty()) words += ' ';
    words += text.substr(at, end - at);
    at = end;
  }
  return words;
}

}  // namespace

std::string elementOfAutoDockType(std::string_view type) {
  for (const AutoDockTypeRow& row : kAutoDockTypes)
    if (row.type == type) return std::string(row.element);
  const AtomDataRow* row = elementOfSymbol(type);
  if (row != nullptr && row->atomicNum != DUMMY_ATOMIC_NUM && std::string_view(row->symbol) == type)
    return std::string(type);
  return std::string();
}

void perceiveOrdersAndTypes(Molecule& molecule) {
  assignSybylTypes(molecule);
}

PdbqtReader::PdbqtReader(LineSource& source, const std::string& path, size_t modelsBefore)
    : source_(source), path_(path), model_(modelsBefore) {}

MoleExcept PdbqtReader::fail(const ErrorDef& def, const std::string& what) const {
  return raise(def, path_ + ", model " + std::to_string(model_) + ", line " +
                        std::to_string(source_.lineNumberAt(source_.lastLineStart())) + ": " +
                        what);
}

std::unique_ptr<Molecule> PdbqtReader::next(unsigned type) {
  auto molecule = std::make_unique<Molecule>(type, 0, 0, 0, std::string());
  ResidueAssembler assembler(*molecule);
  std::map<std::string, std::string> scratch;  // fields of a record cut by tokenize
  ++model_;
  std::string_view line;
  while (source_.next(line)) {
    if (startsWith(line, "ENDMDL")) {
      if (molecule->numAtoms() > 0) break;
      continue;  // a model without atoms is no pose
    }
    if (startsWith(line, kVinaRemark)) {
      molecule->addDataItem(kVinaItem, wordsOf(line.substr(sizeof kVinaRemark - 1)));
      continue;
    }
    if (startsWith(line, kNameRemark)) {
      molecule->setName(std::string(trimmed(line.substr(sizeof kNameRemark - 1))));
      continue;
    }
    if (!startsWith(line, "ATOM") && !startsWith(line, "HETATM")) continue;
    // Columns 71-76 hold the partial charge, 78-79 the AutoDock type.
    const std::string_view autoDockType = trimmed(line.size() > 77 ? line.substr(77, 2) : "");
    if (autoDockType.empty()) throw fail(kErrPdbqtUnreadable, "no AutoDock type in columns 78-79");
    const std::string element = elementOfAutoDockType(autoDockType);
    if (element.empty()) throw fail(kErrPdbqtUnknownType, "\"" + std::string(autoDockType) + "\"");
    double charge = 0;
    if (!trimmed(line.substr(70, 6)).empty() && !readWholeDecimal(line.substr(70, 6), charge))
      throw fail(kErrPdbqtUnreadable, "the partial charge \"" +
                                          std::string(trimmed(line.substr(70, 6))) +
                                          "\" in columns 71-76 is not a number");
    AtomRecord record;
    pdb::AtomFields f;
    try {
      pdb::cutAtomRecord(line, f, scratch);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& error) {
      throw fail(kErrPdbqtUnreadable, std::string("the record cannot be cut: ") + error.what());
    }
    record.serial = pdb::readAtomNumber(f.num);
    record.name = f.name;
    record.altLoc = f.altLoc;
    record.residueName = f.res;
    record.chain = f.chain;
    record.residueNumber = pdb::readResidueNumber(f.resId);
    record.insertionCode = f.insertionCode;
    const std::string_view fields[3] = {f.x, f.y, f.z};
    double xyz[3];
    for (int k = 0; k < 3; ++k)
      if (!readWholeDecimal(fields[k], xyz[k]))
        throw fail(kErrPdbqtUnreadable, std::string("the ") + "xyz"[k] + " coordinate \"" +
                                            std::string(trimmed(fields[k])) + "\" is not a number");
    record.at = Coords(xyz[0], xyz[1], xyz[2]);
    if (!withinReach(record.at.x, record.at.y, record.at.z))
      throw fail(kErrPdbqtCoordinateBeyond, "the atom's position");
    record.element = element;
    Atom* atom = assembler.add(record);
    atom->setPartialCharge(charge);
  }
  if (molecule->numAtoms() == 0) {
    --model_;
    return nullptr;
  }
  molecule->cleanResidu();
  typeResidues(*molecule);
  perceiveOrdersAndTypes(*molecule);
  return molecule;
}

}  // namespace VXMole
