// Undirected graph owning its vertices and edges, its byte matrices and its clique search.
#pragma once

#include <boost/ptr_container/ptr_vector.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "edge.h"
#include "vertex.h"

namespace VXMole {

// The graph owns every vertex and edge handed to it. A vertex's position in the vertex list
// is its row in the matrices that createMatrix builds; the clique search works on those
// matrices, so they must be rebuilt after any change to the graph.
class Graph {
 public:
  // Turns on the clique search's trace on standard output. Off by default.
  static bool debug;

  explicit Graph(size_t reserveVertices = 0, size_t reserveEdges = 0);
  ~Graph();
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  // Takes ownership of `v` (null is ignored). A vertex must be added once only.
  void addVertex(Vertex* v);
  // Takes ownership of `e`, which its constructor has already attached to its vertices
  // (null is ignored). An edge must be added once only.
  void addEdge(Edge* e);
  // Vertex or edge at position i, or null past the end.
  Vertex* getVertex(unsigned i) const;
  Edge* getEdge(unsigned i) const;
  size_t numVertices() const { return vertices_.size(); }
  size_t numEdges() const { return edges_.size(); }

  // Destroys an edge of this graph (detaching it from its ends). Null or an edge that this
  // graph does not own is ignored.
  void delEdge(const Edge* e);
  // Destroys every edge of this graph that touches `v`, then `v` itself. Null or a vertex
  // that this graph does not own is ignored. The matrices are not updated.
  void delVertex(const Vertex* v);

  // Appends to this graph a copy of every vertex and then of every edge of `from`, each edge
  // joining the copies of its ends. Matrices and cliques are not copied. Throws
  // std::out_of_range, before changing anything, when an edge of `from` has an end that is
  // not one of its vertices.
  void Clone(const Graph* from);

  // Builds the adjacency matrix (vertex-list order, 1 on the diagonal and for every edge),
  // the same matrix in decreasing-degree order, and the position map. Throws 8001 "Not
  // enough pairs", changing nothing, below two vertices.
  void createMatrix();
  // Frees the three matrices, the position map and the distance index.
  void cleanMatrixs();
  // Builds the distance matrix: the number of edges on a shortest path between two vertices,
  // 0 on the diagonal and between unconnected vertices.
  void createDistMatrix();
  // Distance matrix entry of `a` and `b`; 0 when either is null or unknown to the matrix, or
  // when the matrix is not built.
  unsigned getDist(const Vertex* a, const Vertex* b) const;

  // Greedy clique search over the degree-ordered matrix: from each start vertex that is not a
  // later neighbour of an earlier start, adds the first remaining common neighbour until
  // none is left. Records each clique of at least three vertices: its degree-order positions
  // sorted ascending, then mapped to vertex-list positions through the position map.
  // Appends to the clique list; does nothing before createMatrix.
  void Run_Search_All_Max_Cliques();

  const std::vector<std::vector<unsigned>>& getCliques() const { return cliques_; }
  // Entry k: vertex-list position of the k-th vertex in decreasing-degree order.
  const std::vector<unsigned>& getPositionMap() const { return positionMap_; }
  bool isMatrixBuilt() const { return matrixBuilt_; }
  // Matrix entries; 0 when the matrix is not built or (i, j) lies outside it.
  unsigned char adjacency(unsigned i, unsigned j) const;
  unsigned char ordered(unsigned i, unsigned j) const;

  // Debug texts: the vertices then the edges; the adjacency matrix on standard output.
  std::string toString() const;
  void Print_Matrix() const;

 private:
  // One descent of the clique search from R = [start] with the given candidates (ascending
  // degree-order positions, all adjacent to start). Depth only indents the trace.
  void Clique_Search(std::vector<unsigned> candidates, std::vector<unsigned> R, unsigned depth);
  void recordClique(std::vector<unsigned> clique);
  // Candidate text of the trace: '1' at each candidate position, '0' elsewhere.
  std::string candidateText(const std::vector<unsigned>& candidates) const;
  unsigned char* ordRow(size_t k) { return ordMatrix_.data() + k * ordRows_; }
  const unsigned char* ordRow(size_t k) const { return ordMatrix_.data() + k * ordRows_; }
  unsigned char* adjRow(size_t k) { return adjMatrix_.data() + k * adjRows_; }
  const unsigned char* adjRow(size_t k) const { return adjMatrix_.data() + k * adjRows_; }

  boost::ptr_vector<Vertex> vertices_;  // insertion order; position = matrix row
  boost::ptr_vector<Edge> edges_;       // insertion order

  // Each n x n matrix is one contiguous block of n * n entries, row k at k * n.
  std::vector<unsigned char> adjMatrix_;  // vertex-list order
  bool adjBuilt_ = false;
  size_t adjRows_ = 0;
  std::vector<unsigned char> ordMatrix_;  // decreasing-degree order
  bool matrixBuilt_ = false;              // the degree-ordered matrix is built
  size_t ordRows_ = 0;
  std::vector<unsigned> distMatrix_;  // edges on a shortest path; 0 if none
  bool distBuilt_ = false;
  size_t distRows_ = 0;
  std::map<const Vertex*, unsigned> vertexIndex_;  // vertex -> distance matrix row

  unsigned minCliqueSize_ = 3;
  std::vector<std::vector<unsigned>> cliques_;
  std::vector<unsigned> positionMap_;  // degree order -> vertex-list position
};

}  // namespace VXMole
