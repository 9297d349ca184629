// Cursors over the library's containers: a graph's vertices and edges, a vertex's edges.
#pragma once

#include <cstddef>

namespace VXMole {

class Edge;
class Graph;
class Vertex;

// Every cursor holds its owner, a position and a valid flag. Built on null, it writes a
// line to standard error and yields nothing. It is true while valid and on an element;
// incrementing at the end does nothing; `*it` and `it->` give the element (null at the end),
// and `it == p` compares that element with the pointer p. A cursor does not survive changes
// to the list it walks.

namespace detail {
// The line a cursor built on null writes to standard error.
void reportNullOwner();
}  // namespace detail

// ---- Graph cursors ----

// Over a graph's vertices, in insertion order.
class ItVert_Graph {
 public:
  explicit ItVert_Graph(const Graph* graph);
  explicit operator bool() const;
  ItVert_Graph& operator++();
  ItVert_Graph operator++(int);
  bool operator==(const Vertex* v) const { return current() == v; }
  bool operator!=(const Vertex* v) const { return current() != v; }
  Vertex* operator*() const { return current(); }
  Vertex* operator->() const { return current(); }

 private:
  Vertex* current() const;
  const Graph* graph_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over a graph's edges, in insertion order.
class ItEdge_Graph {
 public:
  explicit ItEdge_Graph(const Graph* graph);
  explicit operator bool() const;
  ItEdge_Graph& operator++();
  ItEdge_Graph operator++(int);
  bool operator==(const Edge* e) const { return current() == e; }
  bool operator!=(const Edge* e) const { return current() != e; }
  Edge* operator*() const { return current(); }
  Edge* operator->() const { return current(); }

 private:
  Edge* current() const;
  const Graph* graph_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over a vertex's edges, in the order they were attached.
class ItEdge_Ve {
 public:
  explicit ItEdge_Ve(const Vertex* vertex);
  explicit operator bool() const;
  ItEdge_Ve& operator++();
  ItEdge_Ve operator++(int);
  bool operator==(const Edge* e) const { return current() == e; }
  bool operator!=(const Edge* e) const { return current() != e; }
  Edge* operator*() const { return current(); }
  Edge* operator->() const { return current(); }
  // The current edge's other end as seen from the iterated vertex; null at the end.
  Vertex* get_Oth() const;

 private:
  Edge* current() const;
  const Vertex* vertex_;
  size_t pos_ = 0;
  bool valid_ = false;
};

}  // namespace VXMole
