// ResidueAssembler: metal names, elements, alternate sites and residue identity of atom records.
#include "residueassembler.h"

#include <cctype>  // for std::toupper, std::tolower
#include <memory>

#include "atome.h"
#include "molecule.h"
#include "residu.h"
#include "vertex.h"

namespace VXMole {

namespace {

// Metal ions are named in upper case in structure files; the element table knows "Zn", not
// "ZN". The name stays as read; the element is looked up by the table's spelling.
struct MetalName {
  std::string_view upper, element;
};
const MetalName kMetalNames[] = {{"MG", "Mg"}, {"CU", "Cu"}, {"ZN", "Zn"},
                                 {"MN", "Mn"}, {"FE", "Fe"}, {"FE2", "Fe"}};

std::string_view metalName(std::string_view name) {
  for (const MetalName& metal : kMetalNames)
    if (name == metal.upper) return metal.element;
  return name;
}

// A recurring record joins the earlier residue of its key only when it is near it (Å).
const double kRecurringResidueReach = 5.0;

bool canRejoin(const Residu& residue, std::string_view name, char altLoc, const Coords& at) {
  const char site = altLoc == ' ' ? '\0' : altLoc;
  bool near = false;
  for (const Atom* atom : residue.getAtoms()) {
    if (atom->getName() == name && atom->getAltLoc() == site) return false;
    if (!near &&
        atom->getFixedCoords().calcDist(at, kRecurringResidueReach) < kRecurringResidueReach)
      near = true;
  }
  return near;
}

}  // namespace

std::string elementCase(std::string symbol) {
  for (size_t i = 0; i < symbol.size(); ++i) {
    const auto c = static_cast<unsigned char>(symbol[i]);
    symbol[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
  }
  return symbol;
}

Atom* ResidueAssembler::add(const AtomRecord& record) {
  const std::string_view name = record.name;
  std::string symbol = record.element.empty() ? std::string(metalName(name))
                                              : elementCase(std::string(record.element));
  auto atom =
      std::make_unique<Atom>(added_++, record.serial, std::move(symbol), record.at,
                             std::string(name.empty() ? record.element : name), std::string());
  atom->setAltLoc(record.altLoc);
  atom->setFormalCharge(record.formalCharge);
  // A residue's hydrogen bonds to one atom; its heavy atoms bond to up to four.
  atom->getVertex()->edges.reserve(atom->isHydrogen() ? 1 : 4);
  Residu* residue = residueFor(record, *atom);
  Atom* added = atom.get();
  molecule_.addAtom(atom.release(), residue);
  return added;
}

// Consecutive records of one residue share its key: the index is searched once per residue.
Residu* ResidueAssembler::residueFor(const AtomRecord& record, const Atom& atom) {
  if (last_ != nullptr && record.residueNumber == lastNumber_ &&
      record.insertionCode == lastInsertionCode_ && record.residueName == lastName_ &&
      record.chain == lastChain_)
    return last_;
  key_.assign(record.chain);
  key_ += '|';
  key_ += std::to_string(record.residueNumber);
  key_ += record.insertionCode;
  key_ += '|';
  key_ += record.residueName;
  auto [known, added] = byKey_.emplace(key_, nullptr);
  Residu* residue = nullptr;
  if (!added && known->second != nullptr &&
      canRejoin(*known->second, atom.getName(), record.altLoc, atom.getFixedCoords())) {
    residue = known->second;
  } else {
    residue = molecule_.addResidu(record.residueNumber, std::string(record.residueName),
                                  std::string(record.chain));
    residue->setInsertionCode(record.insertionCode);
    known->second = added ? residue : nullptr;
  }
  last_ = residue;
  lastNumber_ = record.residueNumber;
  lastInsertionCode_ = record.insertionCode;
  lastName_ = record.residueName;
  lastChain_ = record.chain;
  return residue;
}

}  // namespace VXMole
