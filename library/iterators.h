// Cursors over the library's containers: graphs and vertices, molecules, residues and atoms.
#pragma once

#include <cstddef>

#include "coords.h"

namespace VXMole {

class Atom;
class Bond;
class Edge;
class Graph;
class Molecule;
class Residu;
class Vertex;

// Every cursor holds its owner, a position and a valid flag. Built on null, it writes a
// line to standard error and yields nothing. It is true while valid and on an element;
// incrementing at the end does nothing; `*it` and `it->` give the element (null at the end),
// and `it == p` compares that element with the pointer p. A cursor does not survive changes
// to the list it walks.

namespace detail {

// The lines a cursor built on null writes to standard error.
void reportNullOwner();  // graph cursors
void reportNoAtom();     // molecule cursors

// What every cursor shares. `Derived` walks positions 0 .. count(owner) - 1 of one list of its
// owner and supplies
//   static size_t count(const Owner&);
//   static Element* at(const Owner&, size_t position);
//   static void reportNull();
// and, when it passes over some positions, `bool accepts(const Element*) const`.
template <class Derived, class Owner, class Element>
class Cursor {
 public:
  explicit operator bool() const { return valid_ && pos_ < Derived::count(*owner_); }
  Derived& operator++() {
    if (*this) {
      ++pos_;
      settle();
    }
    return self();
  }
  Derived operator++(int) {
    Derived before = self();
    ++*this;
    return before;
  }
  bool operator==(const Element* e) const { return current() == e; }
  bool operator!=(const Element* e) const { return current() != e; }
  Element* operator*() const { return current(); }
  Element* operator->() const { return current(); }

 protected:
  explicit Cursor(const Owner* owner) : owner_(owner), valid_(owner != nullptr) {}
  // Called by the derived constructor once its own state is set.
  void start() {
    if (valid_) {
      settle();
    } else {
      Derived::reportNull();
    }
  }
  bool accepts(const Element*) const { return true; }
  Element* current() const { return *this ? Derived::at(*owner_, pos_) : nullptr; }

  const Owner* owner_;

 private:
  // Moves on to the first position at or after the current one that the cursor accepts.
  void settle() {
    while (*this && !self().accepts(Derived::at(*owner_, pos_))) ++pos_;
  }
  Derived& self() { return static_cast<Derived&>(*this); }
  const Derived& self() const { return static_cast<const Derived&>(*this); }

  size_t pos_ = 0;
  bool valid_;
};

}  // namespace detail

// ---- Graph cursors ----

// Over a graph's vertices, in insertion order.
class ItVert_Graph : public detail::Cursor<ItVert_Graph, Graph, Vertex> {
 public:
  explicit ItVert_Graph(const Graph* graph) : Cursor(graph) { start(); }
  static size_t count(const Graph& graph);
  static Vertex* at(const Graph& graph, size_t i);
  static void reportNull() { detail::reportNullOwner(); }
};

// Over a graph's edges, in insertion order.
class ItEdge_Graph : public detail::Cursor<ItEdge_Graph, Graph, Edge> {
 public:
  explicit ItEdge_Graph(const Graph* graph) : Cursor(graph) { start(); }
  static size_t count(const Graph& graph);
  static Edge* at(const Graph& graph, size_t i);
  static void reportNull() { detail::reportNullOwner(); }
};

// Over a vertex's edges, in the order they were attached.
class ItEdge_Ve : public detail::Cursor<ItEdge_Ve, Vertex, Edge> {
 public:
  explicit ItEdge_Ve(const Vertex* vertex) : Cursor(vertex) { start(); }
  // The current edge's other end as seen from the iterated vertex; null at the end.
  Vertex* get_Oth() const;
  static size_t count(const Vertex& vertex);
  static Edge* at(const Vertex& vertex, size_t i);
  static void reportNull() { detail::reportNullOwner(); }
};

// ---- Molecule cursors ----

// Over a molecule's atoms, in molecule order.
class ItAtm_Mole : public detail::Cursor<ItAtm_Mole, Molecule, Atom> {
 public:
  explicit ItAtm_Mole(const Molecule* molecule) : Cursor(molecule) { start(); }
  static size_t count(const Molecule& molecule);
  static Atom* at(const Molecule& molecule, size_t i);
  static void reportNull() { detail::reportNoAtom(); }
};

// Over a molecule's bonds, in molecule order.
class ItBd_Mole : public detail::Cursor<ItBd_Mole, Molecule, Bond> {
 public:
  explicit ItBd_Mole(const Molecule* molecule) : Cursor(molecule) { start(); }
  static size_t count(const Molecule& molecule);
  static Bond* at(const Molecule& molecule, size_t i);
  static void reportNull() { detail::reportNoAtom(); }
};

// Over a molecule's residues, in molecule order (the default residue where it stands).
class ItRes_Mole : public detail::Cursor<ItRes_Mole, Molecule, Residu> {
 public:
  explicit ItRes_Mole(const Molecule* molecule) : Cursor(molecule) { start(); }
  static size_t count(const Molecule& molecule);
  static Residu* at(const Molecule& molecule, size_t i);
  static void reportNull() { detail::reportNoAtom(); }
};

// Over a residue's atoms, in the order they were filed in it.
class ItAtm_Res : public detail::Cursor<ItAtm_Res, Residu, Atom> {
 public:
  explicit ItAtm_Res(const Residu* residue) : Cursor(residue) { start(); }
  static size_t count(const Residu& residue);
  static Atom* at(const Residu& residue, size_t i);
  static void reportNull() { detail::reportNoAtom(); }
};

// Over an atom's bonds, in the order they were made (the edges of its vertex that carry a
// bond).
class ItBd_Atm : public detail::Cursor<ItBd_Atm, Atom, Bond> {
 public:
  explicit ItBd_Atm(const Atom* atom) : Cursor(atom) { start(); }
  // The atom at the other end of the current bond; null at the end.
  Atom* get_Oth() const;
  bool accepts(const Bond* bond) const { return bond != nullptr; }
  static size_t count(const Atom& atom);
  static Bond* at(const Atom& atom, size_t i);
  static void reportNull() { detail::reportNoAtom(); }
};

// Over the atoms bonded to an atom, in the order of its bonds (edges whose other end is an
// atom).
class ItAtom_Linked : public detail::Cursor<ItAtom_Linked, Atom, Atom> {
 public:
  explicit ItAtom_Linked(const Atom* atom) : Cursor(atom) { start(); }
  bool accepts(const Atom* other) const { return other != nullptr; }
  static size_t count(const Atom& atom);
  static Atom* at(const Atom& atom, size_t i);
  static void reportNull() { detail::reportNoAtom(); }
};

// Over the atoms of a molecule, in molecule order, whose fixed coordinates lie in the
// axis-aligned box [lower, upper], bounds included on every axis: lower.x <= x <= upper.x,
// and so on. A box with lower > upper on some axis, or an atom with a NaN coordinate,
// yields nothing.
class ItAtm_Box : public detail::Cursor<ItAtm_Box, Molecule, Atom> {
 public:
  ItAtm_Box(const Molecule* molecule, const Coords& lower, const Coords& upper)
      : Cursor(molecule), lower_(lower), upper_(upper) {
    start();
  }
  bool accepts(const Atom* atom) const;
  static size_t count(const Molecule& molecule);
  static Atom* at(const Molecule& molecule, size_t i);
  static void reportNull() { detail::reportNoAtom(); }

 private:
  Coords lower_;  // lower corner
  Coords upper_;  // upper corner
};

}  // namespace VXMole
