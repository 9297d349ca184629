// Graph vertex: edge list bookkeeping, weight and debug text.
#include "vertex.h"

#include <algorithm>
#include <sstream>

#include "edge.h"

namespace VXMole {

IncidentEdges::IncidentEdges(const IncidentEdges& other) {
  reserve(other.size_);
  std::copy(other.begin(), other.end(), data());
  size_ = other.size_;
}

IncidentEdges& IncidentEdges::operator=(const IncidentEdges& other) {
  if (this != &other) {
    size_ = 0;
    reserve(other.size_);
    std::copy(other.begin(), other.end(), data());
    size_ = other.size_;
  }
  return *this;
}

IncidentEdges::~IncidentEdges() {
  if (capacity_ > kInline) delete[] heap_;
}

void IncidentEdges::reserve(size_t n) {
  if (n <= capacity_) return;
  auto* grown = new Edge*[n];
  std::copy(begin(), end(), grown);
  if (capacity_ > kInline) delete[] heap_;
  heap_ = grown;
  capacity_ = static_cast<uint32_t>(n);
}

void IncidentEdges::push_back(Edge* edge) {
  if (size_ == capacity_) reserve(size_t{capacity_} * 2);
  data()[size_++] = edge;
}

IncidentEdges::iterator IncidentEdges::erase(const_iterator first, const_iterator last) {
  Edge** from = data() + (first - data());
  Edge** to = data() + (last - data());
  Edge** kept = std::copy(to, end(), from);
  size_ = static_cast<uint32_t>(kept - data());
  return from;
}

bool operator==(const IncidentEdges& a, const std::vector<Edge*>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

Vertex::Vertex(uint32_t num, uint32_t mapNum) : num(num), mapNum(mapNum) {}

Vertex::Vertex(uint32_t num, uint32_t mapNum, Atom* atom, double weight)
    : num(num), mapNum(mapNum), weight(weight), atom(atom) {}

Vertex::Vertex(uint32_t num, uint32_t mapNum, Bond* bond, double weight)
    : num(num), mapNum(mapNum), weight(weight), bond(bond), isAtomVertex(false) {}

Vertex::~Vertex() {
  // Edges that outlive this vertex lose their end here instead of keeping a dangling one.
  for (Edge* e : edges) {
    if (e->first == this) e->first = nullptr;
    if (e->second == this) e->second = nullptr;
  }
}

void Vertex::addEdge(Edge* edge) {
  if (edge != nullptr) edges.push_back(edge);
}

void Vertex::delEdge(const Edge* edge) {
  if (edge == nullptr) return;
  edges.erase(std::remove(edges.begin(), edges.end(), edge), edges.end());
}

Edge* Vertex::getEdgewith(const Vertex* v) const {
  if (v == nullptr) return nullptr;
  for (Edge* e : edges) {
    if (e->getOtherVertex(this) == v) return e;
  }
  return nullptr;
}

void Vertex::setWeight(double w) {
  weight = w > 1.0 ? 1.0 : (w < 0.0 ? 0.0 : w);
}

void Vertex::clone(const Vertex& from) {
  num = from.num;
  mapNum = from.mapNum;
  weight = from.weight;
  atom = from.atom;
  bond = from.bond;
  isAtomVertex = from.isAtomVertex;
  label = from.label;
  edges.reserve(from.edges.size());
}

namespace {

void writePointer(std::ostream& out, const void* p) {
  if (p == nullptr)
    out << "none";
  else
    out << p;
}

}  // namespace

std::string Vertex::toString(bool withEdges) const {
  std::ostringstream out;
  out << "VERTEX - " << num << ":" << mapNum << ". W=" << weight << ". Label:" << label
      << ". RelAtm : ";
  writePointer(out, atom);
  out << ". RelBd : ";
  writePointer(out, bond);
  if (withEdges) {
    for (const Edge* e : edges) {
      out << "\n   |->Edge with (";
      const Vertex* other = e->getOtherVertex(this);
      if (other == nullptr)
        out << "none";
      else
        out << other->num << ":" << other->mapNum;
      out << ") W=" << e->weight;
    }
  }
  return out.str();
}

}  // namespace VXMole
