// Cursors over the library's containers: graphs and vertices, molecules, residues and atoms.
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

// ---- Molecule cursors ----

class Atom;
class Bond;
class Coords;
class Molecule;
class Residu;
// Built on null they write "No atom given for iteration" instead. They hand out the
// molecule's own (mutable) atoms, bonds and residues, as the graph cursors hand out vertices.

// Over a molecule's atoms, in molecule order.
class ItAtm_Mole {
 public:
  explicit ItAtm_Mole(const Molecule* molecule);
  explicit operator bool() const;
  ItAtm_Mole& operator++();
  ItAtm_Mole operator++(int);
  bool operator==(const Atom* a) const { return current() == a; }
  bool operator!=(const Atom* a) const { return current() != a; }
  Atom* operator*() const { return current(); }
  Atom* operator->() const { return current(); }

 private:
  Atom* current() const;
  const Molecule* molecule_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over a molecule's bonds, in molecule order.
class ItBd_Mole {
 public:
  explicit ItBd_Mole(const Molecule* molecule);
  explicit operator bool() const;
  ItBd_Mole& operator++();
  ItBd_Mole operator++(int);
  bool operator==(const Bond* b) const { return current() == b; }
  bool operator!=(const Bond* b) const { return current() != b; }
  Bond* operator*() const { return current(); }
  Bond* operator->() const { return current(); }

 private:
  Bond* current() const;
  const Molecule* molecule_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over a molecule's residues, in molecule order (the default residue where it stands).
class ItRes_Mole {
 public:
  explicit ItRes_Mole(const Molecule* molecule);
  explicit operator bool() const;
  ItRes_Mole& operator++();
  ItRes_Mole operator++(int);
  bool operator==(const Residu* r) const { return current() == r; }
  bool operator!=(const Residu* r) const { return current() != r; }
  Residu* operator*() const { return current(); }
  Residu* operator->() const { return current(); }

 private:
  Residu* current() const;
  const Molecule* molecule_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over a residue's atoms, in the order they were filed in it.
class ItAtm_Res {
 public:
  explicit ItAtm_Res(const Residu* residue);
  explicit operator bool() const;
  ItAtm_Res& operator++();
  ItAtm_Res operator++(int);
  bool operator==(const Atom* a) const { return current() == a; }
  bool operator!=(const Atom* a) const { return current() != a; }
  Atom* operator*() const { return current(); }
  Atom* operator->() const { return current(); }

 private:
  Atom* current() const;
  const Residu* residue_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over an atom's bonds, in the order they were made (the edges of its vertex that carry a
// bond).
class ItBd_Atm {
 public:
  explicit ItBd_Atm(const Atom* atom);
  explicit operator bool() const;
  ItBd_Atm& operator++();
  ItBd_Atm operator++(int);
  bool operator==(const Bond* b) const { return current() == b; }
  bool operator!=(const Bond* b) const { return current() != b; }
  Bond* operator*() const { return current(); }
  Bond* operator->() const { return current(); }
  // The atom at the other end of the current bond; null at the end.
  Atom* get_Oth() const;

 private:
  Bond* current() const;
  void skip();  // moves on to the next edge that carries a bond
  const Atom* atom_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over the atoms bonded to an atom, in the order of its bonds.
class ItAtom_Linked {
 public:
  explicit ItAtom_Linked(const Atom* atom);
  explicit operator bool() const;
  ItAtom_Linked& operator++();
  ItAtom_Linked operator++(int);
  bool operator==(const Atom* a) const { return current() == a; }
  bool operator!=(const Atom* a) const { return current() != a; }
  Atom* operator*() const { return current(); }
  Atom* operator->() const { return current(); }

 private:
  Atom* current() const;
  void skip();  // moves on to the next edge whose other end is an atom
  const Atom* atom_;
  size_t pos_ = 0;
  bool valid_ = false;
};

// Over the atoms of a molecule, in molecule order, whose fixed coordinates lie in the
// axis-aligned box [lower, upper], bounds included on every axis: lower.x <= x <= upper.x,
// and so on. A box with lower > upper on some axis, or an atom with a NaN coordinate,
// yields nothing.
class ItAtm_Box {
 public:
  ItAtm_Box(const Molecule* molecule, const Coords& lower, const Coords& upper);
  explicit operator bool() const;
  ItAtm_Box& operator++();
  ItAtm_Box operator++(int);
  bool operator==(const Atom* a) const { return current() == a; }
  bool operator!=(const Atom* a) const { return current() != a; }
  Atom* operator*() const { return current(); }
  Atom* operator->() const { return current(); }

 private:
  Atom* current() const;
  void skip();  // moves on to the next atom inside the box
  const Molecule* molecule_;
  double lower_[3];  // x, y, z of the lower corner
  double upper_[3];  // x, y, z of the upper corner
  size_t pos_ = 0;
  bool valid_ = false;
};

}  // namespace VXMole
