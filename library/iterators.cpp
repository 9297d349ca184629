// Cursors over the library's containers: graphs and vertices, molecules, residues and atoms.
#include "iterators.h"

#include <iostream>

#include "atome.h"
#include "bond.h"
#include "edge.h"
#include "graph.h"
#include "molecule.h"
#include "residu.h"
#include "vertex.h"

namespace VXMole {

namespace detail {
void reportNullOwner() {
  std::cerr << "No vertex given for iteration" << std::endl;
}
}  // namespace detail

// ---- Graph cursors ----

ItVert_Graph::ItVert_Graph(const Graph* graph) : graph_(graph), valid_(graph != nullptr) {
  if (!valid_) detail::reportNullOwner();
}

ItVert_Graph::operator bool() const {
  return valid_ && pos_ < graph_->numVertices();
}

ItVert_Graph& ItVert_Graph::operator++() {
  if (*this) ++pos_;
  return *this;
}

ItVert_Graph ItVert_Graph::operator++(int) {
  ItVert_Graph before = *this;
  ++*this;
  return before;
}

Vertex* ItVert_Graph::current() const {
  return valid_ ? graph_->getVertex(static_cast<unsigned>(pos_)) : nullptr;
}

ItEdge_Graph::ItEdge_Graph(const Graph* graph) : graph_(graph), valid_(graph != nullptr) {
  if (!valid_) detail::reportNullOwner();
}

ItEdge_Graph::operator bool() const {
  return valid_ && pos_ < graph_->numEdges();
}

ItEdge_Graph& ItEdge_Graph::operator++() {
  if (*this) ++pos_;
  return *this;
}

ItEdge_Graph ItEdge_Graph::operator++(int) {
  ItEdge_Graph before = *this;
  ++*this;
  return before;
}

Edge* ItEdge_Graph::current() const {
  return valid_ ? graph_->getEdge(static_cast<unsigned>(pos_)) : nullptr;
}

ItEdge_Ve::ItEdge_Ve(const Vertex* vertex) : vertex_(vertex), valid_(vertex != nullptr) {
  if (!valid_) detail::reportNullOwner();
}

ItEdge_Ve::operator bool() const {
  return valid_ && pos_ < vertex_->edges.size();
}

ItEdge_Ve& ItEdge_Ve::operator++() {
  if (*this) ++pos_;
  return *this;
}

ItEdge_Ve ItEdge_Ve::operator++(int) {
  ItEdge_Ve before = *this;
  ++*this;
  return before;
}

Edge* ItEdge_Ve::current() const {
  return *this ? vertex_->edges[pos_] : nullptr;
}

Vertex* ItEdge_Ve::get_Oth() const {
  const Edge* e = current();
  return e != nullptr ? e->getOtherVertex(vertex_) : nullptr;
}

// ---- Molecule cursors ----

namespace {

void reportNoAtom() {
  std::cerr << "No atom given for iteration" << std::endl;
}

bool inBox(const Coords& c, const double* lower, const double* upper) {
  return lower[0] <= c.x && c.x <= upper[0] && lower[1] <= c.y && c.y <= upper[1] &&
         lower[2] <= c.z && c.z <= upper[2];
}

// The molecule hands out const elements through a const pointer; the cursors give the
// elements themselves, which the molecule owns but does not make const.
Molecule* mutableOf(const Molecule* molecule) {
  return const_cast<Molecule*>(molecule);
}

}  // namespace

ItAtm_Mole::ItAtm_Mole(const Molecule* molecule)
    : molecule_(molecule), valid_(molecule != nullptr) {
  if (!valid_) reportNoAtom();
}

ItAtm_Mole::operator bool() const {
  return valid_ && pos_ < molecule_->numAtoms();
}

ItAtm_Mole& ItAtm_Mole::operator++() {
  if (*this) ++pos_;
  return *this;
}

ItAtm_Mole ItAtm_Mole::operator++(int) {
  ItAtm_Mole before = *this;
  ++*this;
  return before;
}

Atom* ItAtm_Mole::current() const {
  return *this ? &mutableOf(molecule_)->atom(pos_) : nullptr;
}

ItBd_Mole::ItBd_Mole(const Molecule* molecule) : molecule_(molecule), valid_(molecule != nullptr) {
  if (!valid_) reportNoAtom();
}

ItBd_Mole::operator bool() const {
  return valid_ && pos_ < molecule_->numBonds();
}

ItBd_Mole& ItBd_Mole::operator++() {
  if (*this) ++pos_;
  return *this;
}

ItBd_Mole ItBd_Mole::operator++(int) {
  ItBd_Mole before = *this;
  ++*this;
  return before;
}

Bond* ItBd_Mole::current() const {
  return *this ? &mutableOf(molecule_)->bond(pos_) : nullptr;
}

ItRes_Mole::ItRes_Mole(const Molecule* molecule)
    : molecule_(molecule), valid_(molecule != nullptr) {
  if (!valid_) reportNoAtom();
}

ItRes_Mole::operator bool() const {
  return valid_ && pos_ < molecule_->numResidues();
}

ItRes_Mole& ItRes_Mole::operator++() {
  if (*this) ++pos_;
  return *this;
}

ItRes_Mole ItRes_Mole::operator++(int) {
  ItRes_Mole before = *this;
  ++*this;
  return before;
}

Residu* ItRes_Mole::current() const {
  return *this ? &mutableOf(molecule_)->residu(pos_) : nullptr;
}

ItAtm_Res::ItAtm_Res(const Residu* residue) : residue_(residue), valid_(residue != nullptr) {
  if (!valid_) reportNoAtom();
}

ItAtm_Res::operator bool() const {
  return valid_ && pos_ < residue_->getAtoms().size();
}

ItAtm_Res& ItAtm_Res::operator++() {
  if (*this) ++pos_;
  return *this;
}

ItAtm_Res ItAtm_Res::operator++(int) {
  ItAtm_Res before = *this;
  ++*this;
  return before;
}

Atom* ItAtm_Res::current() const {
  return *this ? residue_->getAtoms()[pos_] : nullptr;
}

ItBd_Atm::ItBd_Atm(const Atom* atom) : atom_(atom), valid_(atom != nullptr) {
  if (!valid_) reportNoAtom();
  skip();
}

ItBd_Atm::operator bool() const {
  return valid_ && pos_ < atom_->getVertex()->edges.size();
}

void ItBd_Atm::skip() {
  while (*this && atom_->getVertex()->edges[pos_]->bond == nullptr) ++pos_;
}

ItBd_Atm& ItBd_Atm::operator++() {
  if (*this) {
    ++pos_;
    skip();
  }
  return *this;
}

ItBd_Atm ItBd_Atm::operator++(int) {
  ItBd_Atm before = *this;
  ++*this;
  return before;
}

Bond* ItBd_Atm::current() const {
  return *this ? atom_->getVertex()->edges[pos_]->bond : nullptr;
}

Atom* ItBd_Atm::get_Oth() const {
  const Bond* bond = current();
  return bond != nullptr ? bond->getOther(atom_) : nullptr;
}

ItAtom_Linked::ItAtom_Linked(const Atom* atom) : atom_(atom), valid_(atom != nullptr) {
  if (!valid_) reportNoAtom();
  skip();
}

ItAtom_Linked::operator bool() const {
  return valid_ && pos_ < atom_->getVertex()->edges.size();
}

void ItAtom_Linked::skip() {
  while (*this) {
    const Vertex* other = atom_->getVertex()->edges[pos_]->getOtherVertex(atom_->getVertex());
    if (other != nullptr && other->atom != nullptr) return;
    ++pos_;
  }
}

ItAtom_Linked& ItAtom_Linked::operator++() {
  if (*this) {
    ++pos_;
    skip();
  }
  return *this;
}

ItAtom_Linked ItAtom_Linked::operator++(int) {
  ItAtom_Linked before = *this;
  ++*this;
  return before;
}

Atom* ItAtom_Linked::current() const {
  if (!*this) return nullptr;
  return atom_->getVertex()->edges[pos_]->getOtherVertex(atom_->getVertex())->atom;
}

ItAtm_Box::ItAtm_Box(const Molecule* molecule, const Coords& lower, const Coords& upper)
    : molecule_(molecule),
      lower_{lower.x, lower.y, lower.z},
      upper_{upper.x, upper.y, upper.z},
      valid_(molecule != nullptr) {
  if (!valid_) reportNoAtom();
  skip();
}

ItAtm_Box::operator bool() const {
  return valid_ && pos_ < molecule_->numAtoms();
}

void ItAtm_Box::skip() {
  while (*this && !inBox(molecule_->atom(pos_).getFixedCoords(), lower_, upper_)) ++pos_;
}

ItAtm_Box& ItAtm_Box::operator++() {
  if (*this) {
    ++pos_;
    skip();
  }
  return *this;
}

ItAtm_Box ItAtm_Box::operator++(int) {
  ItAtm_Box before = *this;
  ++*this;
  return before;
}

Atom* ItAtm_Box::current() const {
  return *this ? &mutableOf(molecule_)->atom(pos_) : nullptr;
}

}  // namespace VXMole
