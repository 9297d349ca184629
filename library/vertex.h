// Graph vertex: a numbered node standing for an atom, a bond or an atom pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace VXMole {

class Atom;
class Bond;
class Edge;

// The edges of a vertex: a short list held inline (an atom has at most four bonds, mostly), on
// the heap beyond that. Order is the order of insertion.
class IncidentEdges {
 public:
  using value_type = Edge*;
  using iterator = Edge**;
  using const_iterator = Edge* const*;
  using size_type = size_t;
  static constexpr uint32_t kInline = 4;

  IncidentEdges() = default;
  IncidentEdges(const IncidentEdges& other);
  IncidentEdges& operator=(const IncidentEdges& other);
  ~IncidentEdges();

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  iterator begin() { return data(); }
  iterator end() { return data() + size_; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size_; }
  Edge*& operator[](size_t i) { return data()[i]; }
  Edge* operator[](size_t i) const { return data()[i]; }
  Edge* front() const { return data()[0]; }
  Edge* back() const { return data()[size_ - 1]; }

  void push_back(Edge* edge);
  // Removes [first, last), keeping the order of the rest; returns where the rest begins.
  iterator erase(const_iterator first, const_iterator last);
  iterator erase(const_iterator at) { return erase(at, at + 1); }
  void clear() { size_ = 0; }
  // Room for n edges without a further allocation.
  void reserve(size_t n);

  friend bool operator==(const IncidentEdges& a, const std::vector<Edge*>& b);
  friend bool operator==(const std::vector<Edge*>& a, const IncidentEdges& b) { return b == a; }

 private:
  Edge** data() { return capacity_ > kInline ? heap_ : inline_; }
  Edge* const* data() const { return capacity_ > kInline ? heap_ : inline_; }

  uint32_t size_ = 0;
  uint32_t capacity_ = kInline;  // beyond kInline, the edges are in heap_
  union {
    Edge* inline_[kInline];
    Edge** heap_;
  };
};

// A vertex keeps a non-owning list of the edges that touch it; each edge attaches itself
// on construction and detaches itself on destruction. A vertex destroyed while edges still
// refer to it clears their pointer to it, so no edge is left pointing at a dead vertex.
class Vertex {
 public:
  uint32_t num = 0;          // vertex number: atom number, or the pair's position in a graph
  uint32_t mapNum = 0;       // map number (the atom's, for an atom vertex)
  double weight = 1.0;       // [0, 1] through setWeight; constructors store it as given
  IncidentEdges edges;       // not owned; in the order they were attached
  Atom* atom = nullptr;      // not owned; null unless this is an atom vertex
  Bond* bond = nullptr;      // not owned; null unless this is a bond vertex
  std::string label;         // free text, empty by default
  bool isAtomVertex = true;  // false only for a bond vertex

  Vertex() = default;
  Vertex(uint32_t num, uint32_t mapNum);
  Vertex(uint32_t num, uint32_t mapNum, Atom* atom, double weight);
  Vertex(uint32_t num, uint32_t mapNum, Bond* bond, double weight);
  ~Vertex();

  // A vertex is known by its address to the edges that touch it.
  Vertex(const Vertex&) = delete;
  Vertex& operator=(const Vertex&) = delete;

  // Appends `edge` (no check for a repeat); null is ignored.
  void addEdge(Edge* edge);
  // Removes every occurrence of `edge`; null is ignored.
  void delEdge(const Edge* edge);
  // First edge whose other end is `v`, or null (also for null `v`).
  Edge* getEdgewith(const Vertex* v) const;
  bool hasEdgewith(const Vertex* v) const { return getEdgewith(v) != nullptr; }

  uint32_t getNum() const { return num; }
  uint32_t getMapNum() const { return mapNum; }
  double getWeight() const { return weight; }
  // Stores `w` clamped to [0, 1].
  void setWeight(double w);
  size_t degree() const { return edges.size(); }

  // Copies numbers, weight, atom, bond, kind and label; not the edges (room for as many
  // is reserved).
  void clone(const Vertex& from);

  // Debug text: one line for the vertex, then with `withEdges` one line per edge.
  std::string toString(bool withEdges = true) const;
};

}  // namespace VXMole
