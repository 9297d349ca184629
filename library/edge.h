// Graph edge: joins two vertices, standing for a bond, a shared atom, or a compatibility.
#pragma once

#include <cstdint>
#include <string>

namespace VXMole {

class Atom;
class Bond;
class Vertex;

// An edge appends itself to the edge lists of its first and then its second vertex when it
// is built, and removes itself from both when it is destroyed. Kept small: a correspondence
// graph can hold millions of them.
class Edge {
 public:
  uint32_t num = 0;          // edge number
  uint32_t mapNum = 0;       // map number
  double weight = 1.0;       // [0, 1] through setWeight; constructors store it as given
  Vertex* first = nullptr;   // not owned; null only once that vertex has been destroyed
  Vertex* second = nullptr;  // not owned; likewise
  std::string label;         // free text, empty by default
  Atom* atom = nullptr;      // not owned; the atom two bond vertices share (line graph)
  Bond* bond = nullptr;      // not owned; the bond between two atom vertices
  bool isBondEdge = false;   // true for an edge made from a bond

  // Plain edge. Throws 102031 when a == b, 102032 when either is null.
  Edge(Vertex* a, Vertex* b);
  // Bond edge. Throws 102021 when a == b, 102022 for a null bond, 102023 for a null vertex.
  Edge(Vertex* a, Vertex* b, Bond* bond, uint32_t num = 0, uint32_t mapNum = 0,
       double weight = 1.0);
  // Atom edge. Throws 102011 for a null atom, 102012 when a == b, 102013 for a null vertex.
  Edge(Vertex* a, Vertex* b, Atom* atom, uint32_t num = 0, uint32_t mapNum = 0,
       double weight = 1.0);
  ~Edge();

  // An edge is known by its address to the vertices it joins.
  Edge(const Edge&) = delete;
  Edge& operator=(const Edge&) = delete;

  // The end that is not `v`: second when v is first, first when v is second, else null.
  Vertex* getOtherVertex(const Vertex* v) const;
  // The end this edge has in common with `e`, or null (also for null `e`).
  Vertex* shareVertex(const Edge* e) const;

  double getWeight() const { return weight; }
  // Stores `w` clamped to [0, 1].
  void setWeight(double w);

  // Copies numbers, weight, label, atom, bond and kind; not the ends.
  void clone(const Edge& from);

  // Debug text: both ends and the weight.
  std::string toString() const;

 private:
  void attach();
};

}  // namespace VXMole
