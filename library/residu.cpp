// Residu: residue-table matching and the residue's atom list.
#include "residu.h"

#include <algorithm>
#include <sstream>

#include "atome.h"
#include "tables.h"

namespace VXMole {

Residu::Residu(Molecule* parent, int num, int mapNum, std::string name, std::string chain, int kind)
    : parent_(parent),
      num_(num),
      mapNum_(mapNum),
      name_(std::move(name)),
      chain_(std::move(chain)),
      kind_(kind),
      name3_(name_.substr(0, 3)),
      tableIndex_(AACID_NONE) {
  for (const AAcidRow& row : AAcid) {
    if (row.name3 == name3_) atoms_.reserve(atoms_.capacity() + row.heavyAtoms);
  }
}

void Residu::checkResidu() {
  name3_ = name_.substr(0, 3);
  for (unsigned i = 0; i < AACID_NONE; ++i) {
    if (AAcid[i].name3 == name3_) {
      tableIndex_ = i;
      kind_ = AAcid[i].kind;
      return;
    }
  }
}

std::string Residu::getCode() const {
  return tableIndex_ < AACID_NONE ? std::string(AAcid[tableIndex_].code) : std::string();
}

std::string Residu::getLongname() const {
  return tableIndex_ < AACID_NONE ? std::string(AAcid[tableIndex_].longName) : std::string();
}

double Residu::getMolWeigth() const {
  return tableIndex_ < AACID_NONE ? AAcid[tableIndex_].molWeight : 0.0;
}

void Residu::addAtom(Atom* atom) {
  if (atom == nullptr) return;
  atoms_.push_back(atom);
  atom->setResidu(this);
}

void Residu::removeAtom(const Atom* atom) {
  atoms_.erase(std::remove(atoms_.begin(), atoms_.end(), atom), atoms_.end());
  if (root_ == atom) root_ = nullptr;
}

std::string Residu::getIdentifier() const {
  std::ostringstream out;
  out << name_ << " (" << chain_ << "-" << mapNum_;
  if (insertionCode_ != '\0') out << insertionCode_;
  out << ")";
  return out.str();
}

std::string Residu::toString() const {
  std::ostringstream out;
  out << "RESIDU " << getIdentifier() << " Num : " << num_ << " Kind : " << kind_
      << " Atoms : " << atoms_.size();
  if (tableIndex_ < AACID_NONE) out << " (" << getLongname() << ")";
  out << "\n";
  return out.str();
}

}  // namespace VXMole
