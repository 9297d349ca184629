// Cursors over the library's containers: a graph's vertices and edges, a vertex's edges.
#include "iterators.h"

#include <iostream>

#include "edge.h"
#include "graph.h"
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

}  // namespace VXMole
