// Graph edge: construction checks, attaching to and detaching from its vertices.
#include "edge.h"

#include <iostream>
#include <sstream>

#include "diagnostics.h"
#include "global.h"
#include "vertex.h"

namespace VXMole {

namespace {

// Writes the failure of a constructor to standard error, with the first vertex's dump.
void reportConstructionFailure(const MoleExcept& e, const Vertex* a) {
  diagnostics() << e.message << "\n"
                << (a != nullptr ? a->toString() : "VERTEX - none") << std::endl;
}

}  // namespace

Edge::Edge(Vertex* a, Vertex* b) : first(a), second(b) {
  try {
    if (a == b) throw raise(kErrEdgeSameVertex);
    if (a == nullptr || b == nullptr) throw raise(kErrEdgeVertexNotGiven);
  } catch (const MoleExcept& e) {
    reportConstructionFailure(e, a);
    throw;
  }
  attach();
}

Edge::Edge(Vertex* a, Vertex* b, Bond* bond, uint32_t num, uint32_t mapNum, double weight)
    : num(num), mapNum(mapNum), weight(weight), first(a), second(b), bond(bond), isBondEdge(true) {
  try {
    if (a == b) throw raise(kErrEdgeBondSameVertex);
    if (bond == nullptr) throw raise(kErrEdgeBondNotGiven);
    if (a == nullptr || b == nullptr) throw raise(kErrEdgeBondVertexNotGiven);
  } catch (const MoleExcept& e) {
    reportConstructionFailure(e, a);
    throw;
  }
  attach();
}

Edge::Edge(Vertex* a, Vertex* b, Atom* atom, uint32_t num, uint32_t mapNum, double weight)
    : num(num), mapNum(mapNum), weight(weight), first(a), second(b), atom(atom) {
  try {
    if (atom == nullptr) throw raise(kErrEdgeAtomNotGiven);
    if (a == b) throw raise(kErrEdgeAtomSameVertex);
    if (a == nullptr || b == nullptr) throw raise(kErrEdgeAtomVertexNotGiven);
  } catch (const MoleExcept& e) {
    reportConstructionFailure(e, a);
    throw;
  }
  attach();
}

Edge::~Edge() {
  if (first != nullptr) first->delEdge(this);
  if (second != nullptr) second->delEdge(this);
}

void Edge::attach() {
  first->addEdge(this);
  second->addEdge(this);
}

Vertex* Edge::getOtherVertex(const Vertex* v) const {
  if (v == nullptr) return nullptr;
  if (v == first) return second;
  if (v == second) return first;
  return nullptr;
}

Vertex* Edge::shareVertex(const Edge* e) const {
  if (e == nullptr) return nullptr;
  if (first != nullptr && (first == e->first || first == e->second)) return first;
  if (second != nullptr && (second == e->first || second == e->second)) return second;
  return nullptr;
}

void Edge::setWeight(double w) {
  weight = w > 1.0 ? 1.0 : (w < 0.0 ? 0.0 : w);
}

void Edge::clone(const Edge& from) {
  num = from.num;
  mapNum = from.mapNum;
  weight = from.weight;
  label = from.label;
  atom = from.atom;
  bond = from.bond;
  isBondEdge = from.isBondEdge;
}

std::string Edge::toString() const {
  std::ostringstream out;
  auto writeEnd = [&out](const Vertex* v) {
    if (v == nullptr)
      out << "none";
    else
      out << v->num << ":" << v->mapNum;
  };
  out << "(";
  writeEnd(first);
  out << ")<->(";
  writeEnd(second);
  out << ") N=" << num << ":" << mapNum << " W=" << weight << " Label:" << label
      << (isBondEdge ? " Bond edge" : "");
  return out.str();
}

}  // namespace VXMole
