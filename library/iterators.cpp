// Cursors over the library's containers: graphs and vertices, molecules, residues and atoms.
#include "iterators.h"

#include <iostream>

#include "atome.h"
#include "bond.h"
#include "diagnostics.h"
#include "edge.h"
#include "graph.h"
#include "molecule.h"
#include "residu.h"
#include "vertex.h"

namespace VXMole {

namespace detail {

void reportNullOwner() {
  diagnostics() << "No vertex given for iteration" << std::endl;
}

void reportNoAtom() {
  diagnostics() << "No atom given for iteration" << std::endl;
}

}  // namespace detail

namespace {

// The molecule hands out const elements through a const pointer; the cursors give the
// elements themselves, which the molecule owns but does not make const.
Molecule& mutableOf(const Molecule& molecule) {
  return const_cast<Molecule&>(molecule);
}

// The atom at the other end of an edge of `atom`, or null when that end is no atom.
Atom* partnerAlong(const Atom& atom, const Edge* edge) {
  const Vertex* other = edge->getOtherVertex(atom.getVertex());
  return other != nullptr ? other->atom : nullptr;
}

}  // namespace

// ---- Graph cursors ----

size_t ItVert_Graph::count(const Graph& graph) {
  return graph.numVertices();
}
Vertex* ItVert_Graph::at(const Graph& graph, size_t i) {
  return graph.getVertex(static_cast<unsigned>(i));
}

size_t ItEdge_Graph::count(const Graph& graph) {
  return graph.numEdges();
}
Edge* ItEdge_Graph::at(const Graph& graph, size_t i) {
  return graph.getEdge(static_cast<unsigned>(i));
}

size_t ItEdge_Ve::count(const Vertex& vertex) {
  return vertex.edges.size();
}
Edge* ItEdge_Ve::at(const Vertex& vertex, size_t i) {
  return vertex.edges[i];
}
Vertex* ItEdge_Ve::get_Oth() const {
  const Edge* edge = current();
  return edge != nullptr ? edge->getOtherVertex(owner_) : nullptr;
}

// ---- Molecule cursors ----

size_t ItAtm_Mole::count(const Molecule& molecule) {
  return molecule.numAtoms();
}
Atom* ItAtm_Mole::at(const Molecule& molecule, size_t i) {
  return &mutableOf(molecule).atom(i);
}

size_t ItBd_Mole::count(const Molecule& molecule) {
  return molecule.numBonds();
}
Bond* ItBd_Mole::at(const Molecule& molecule, size_t i) {
  return &mutableOf(molecule).bond(i);
}

size_t ItRes_Mole::count(const Molecule& molecule) {
  return molecule.numResidues();
}
Residu* ItRes_Mole::at(const Molecule& molecule, size_t i) {
  return &mutableOf(molecule).residu(i);
}

size_t ItAtm_Res::count(const Residu& residue) {
  return residue.getAtoms().size();
}
Atom* ItAtm_Res::at(const Residu& residue, size_t i) {
  return residue.getAtoms()[i];
}

size_t ItBd_Atm::count(const Atom& atom) {
  return atom.getVertex()->edges.size();
}
Bond* ItBd_Atm::at(const Atom& atom, size_t i) {
  return atom.getVertex()->edges[i]->bond;
}
Atom* ItBd_Atm::get_Oth() const {
  const Bond* bond = current();
  return bond != nullptr ? bond->getOther(owner_) : nullptr;
}

size_t ItAtom_Linked::count(const Atom& atom) {
  return atom.getVertex()->edges.size();
}
Atom* ItAtom_Linked::at(const Atom& atom, size_t i) {
  return partnerAlong(atom, atom.getVertex()->edges[i]);
}

size_t ItAtm_Box::count(const Molecule& molecule) {
  return molecule.numAtoms();
}
Atom* ItAtm_Box::at(const Molecule& molecule, size_t i) {
  return &mutableOf(molecule).atom(i);
}
bool ItAtm_Box::accepts(const Atom* atom) const {
  const Coords& c = atom->getFixedCoords();
  return lower_.x <= c.x && c.x <= upper_.x && lower_.y <= c.y && c.y <= upper_.y &&
         lower_.z <= c.z && c.z <= upper_.z;
}

}  // namespace VXMole
