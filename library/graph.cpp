// Graph: ownership of vertices and edges, adjacency matrices and the greedy clique search.
#include "graph.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <numeric>  // for std::iota
#include <queue>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "global.h"

namespace VXMole {

bool Graph::debug = false;

namespace {

constexpr unsigned kNoPosition = std::numeric_limits<unsigned>::max();

// Finds the vertex-list position of a vertex. Fast path: the driver numbers its vertices by
// position, so `num` is tried first and confirmed by address; anything else (numbers out of
// range or repeated, vertices of another graph) falls back to a lookup by address.
class PositionFinder {
 public:
  explicit PositionFinder(const boost::ptr_vector<Vertex>& vertices)
      : vertices_(vertices), byNum_(vertices.size(), kNoPosition) {
    for (unsigned i = 0; i < vertices.size(); ++i) {
      const uint32_t num = vertices[i].num;
      if (num < byNum_.size() && byNum_[num] == kNoPosition) byNum_[num] = i;
    }
  }

  unsigned find(const Vertex* v) {
    if (v == nullptr) return kNoPosition;
    if (v->num < byNum_.size()) {
      const unsigned p = byNum_[v->num];
      if (p != kNoPosition && &vertices_[p] == v) return p;
    }
    if (byAddress_.empty()) {
      byAddress_.reserve(vertices_.size());
      for (unsigned i = 0; i < vertices_.size(); ++i) byAddress_.emplace(&vertices_[i], i);
    }
    const auto it = byAddress_.find(v);
    return it == byAddress_.end() ? kNoPosition : it->second;
  }

 private:
  const boost::ptr_vector<Vertex>& vertices_;
  std::vector<unsigned> byNum_;
  std::unordered_map<const Vertex*, unsigned> byAddress_;
};

// Start of a line of the clique search's trace.
std::ostream& traceLine(unsigned depth) {
  for (unsigned d = 0; d < depth; ++d) std::cout << "|  ";
  return std::cout << "-> ";
}

void traceLookingAt(unsigned depth, unsigned position) {
  traceLine(depth) << "   \u2013 LOOKING AT " << position << " 1\n";
}

}  // namespace

Graph::Graph(size_t reserveVertices, size_t reserveEdges) {
  vertices_.reserve(reserveVertices);
  edges_.reserve(reserveEdges);
}

Graph::~Graph() {
  cleanMatrixs();
  // The vertices go first: each clears its end in the edges that touch it, so destroying the
  // edges afterwards costs nothing per edge instead of a scan of two edge lists.
  vertices_.clear();
  edges_.clear();
}

void Graph::addVertex(Vertex* v) {
  if (v != nullptr) vertices_.push_back(v);
}

void Graph::addEdge(Edge* e) {
  if (e != nullptr) edges_.push_back(e);
}

Vertex* Graph::getVertex(unsigned i) const {
  return i < vertices_.size() ? const_cast<Vertex*>(&vertices_[i]) : nullptr;
}

Edge* Graph::getEdge(unsigned i) const {
  return i < edges_.size() ? const_cast<Edge*>(&edges_[i]) : nullptr;
}

void Graph::delEdge(const Edge* e) {
  if (e == nullptr) return;
  const auto it =
      std::find_if(edges_.begin(), edges_.end(), [e](const Edge& owned) { return &owned == e; });
  if (it != edges_.end()) edges_.erase(it);
}

void Graph::delVertex(const Vertex* v) {
  if (v == nullptr) return;
  const auto it = std::find_if(vertices_.begin(), vertices_.end(),
                               [v](const Vertex& owned) { return &owned == v; });
  if (it == vertices_.end()) return;
  std::vector<const Edge*> touching(v->edges.begin(), v->edges.end());
  std::sort(touching.begin(), touching.end());
  edges_.erase_if([&touching](const Edge& e) {
    return std::binary_search(touching.begin(), touching.end(), &e);
  });
  // Edges left in its list belong to no graph of ours; the vertex clears their end as it dies.
  vertices_.erase(it);
}

void Graph::Clone(const Graph* from) {
  if (from == nullptr) return;
  const size_t nv = from->vertices_.size();
  const size_t ne = from->edges_.size();
  std::unordered_map<const Vertex*, size_t> sourcePosition;
  sourcePosition.reserve(nv);
  for (size_t i = 0; i < nv; ++i) sourcePosition.emplace(&from->vertices_[i], i);
  std::vector<std::pair<size_t, size_t>> ends;
  ends.reserve(ne);
  for (size_t i = 0; i < ne; ++i) {
    const Edge& e = from->edges_[i];
    ends.emplace_back(sourcePosition.at(e.first), sourcePosition.at(e.second));
  }

  const size_t base = vertices_.size();
  vertices_.reserve(base + nv);
  for (size_t i = 0; i < nv; ++i) {
    Vertex* copy = new Vertex();
    copy->clone(from->vertices_[i]);
    vertices_.push_back(copy);
  }
  edges_.reserve(edges_.size() + ne);
  for (size_t i = 0; i < ne; ++i) {
    Edge* copy = new Edge(&vertices_[base + ends[i].first], &vertices_[base + ends[i].second]);
    copy->clone(from->edges_[i]);
    edges_.push_back(copy);
  }
}

void Graph::createMatrix() {
  const size_t n = vertices_.size();
  if (n < 2) throw raise(kErrNotEnoughPairs);
  cleanMatrixs();

  // Edge ends as vertex-list positions; edges with an end outside this graph are skipped.
  PositionFinder finder(vertices_);
  std::vector<std::pair<unsigned, unsigned>> ends;
  ends.reserve(edges_.size());
  for (const Edge& e : edges_) {
    const unsigned a = finder.find(e.first);
    const unsigned b = finder.find(e.second);
    if (a != kNoPosition && b != kNoPosition) ends.emplace_back(a, b);
  }

  adjMatrix_.assign(n * n, 0);
  adjRows_ = n;
  adjBuilt_ = true;
  for (size_t i = 0; i < n; ++i) adjRow(i)[i] = 1;
  for (const auto& [a, b] : ends) {
    adjRow(a)[b] = 1;
    adjRow(b)[a] = 1;
  }

  // Decreasing degree; among equal degrees the vertex added later comes first.
  std::vector<size_t> degree(n);
  for (size_t i = 0; i < n; ++i) degree[i] = vertices_[i].edges.size();
  positionMap_.resize(n);
  std::iota(positionMap_.begin(), positionMap_.end(), 0u);
  std::sort(positionMap_.begin(), positionMap_.end(), [&degree](unsigned a, unsigned b) {
    return degree[a] != degree[b] ? degree[a] > degree[b] : a > b;
  });
  std::vector<unsigned> rank(n);
  for (unsigned k = 0; k < n; ++k) rank[positionMap_[k]] = k;

  // Entry (k, l) is the adjacency entry of the k-th and l-th vertices of that order.
  ordMatrix_.assign(n * n, 0);
  ordRows_ = n;
  matrixBuilt_ = true;
  for (size_t k = 0; k < n; ++k) ordRow(k)[k] = 1;
  for (const auto& [a, b] : ends) {
    ordRow(rank[a])[rank[b]] = 1;
    ordRow(rank[b])[rank[a]] = 1;
  }
}

void Graph::cleanMatrixs() {
  std::vector<unsigned char>().swap(adjMatrix_);
  adjBuilt_ = false;
  adjRows_ = 0;
  std::vector<unsigned char>().swap(ordMatrix_);
  matrixBuilt_ = false;
  ordRows_ = 0;
  std::vector<unsigned>().swap(distMatrix_);
  distBuilt_ = false;
  distRows_ = 0;
  vertexIndex_.clear();
  std::vector<unsigned>().swap(positionMap_);
}

void Graph::createDistMatrix() {
  std::vector<unsigned>().swap(distMatrix_);
  distBuilt_ = false;
  distRows_ = 0;
  vertexIndex_.clear();
  const size_t n = vertices_.size();
  if (n == 0) return;

  for (unsigned i = 0; i < n; ++i) vertexIndex_.emplace(&vertices_[i], i);
  PositionFinder finder(vertices_);
  std::vector<std::vector<unsigned>> neighbours(n);
  for (const Edge& e : edges_) {
    const unsigned a = finder.find(e.first);
    const unsigned b = finder.find(e.second);
    if (a == kNoPosition || b == kNoPosition) continue;
    neighbours[a].push_back(b);
    neighbours[b].push_back(a);
  }

  // One breadth-first search per row; unreached vertices keep 0.
  distMatrix_.assign(n * n, 0);
  distRows_ = n;
  std::vector<bool> reached(n);
  std::queue<unsigned> queue;
  for (unsigned source = 0; source < n; ++source) {
    unsigned* row = distMatrix_.data() + static_cast<size_t>(source) * n;
    std::fill(reached.begin(), reached.end(), false);
    reached[source] = true;
    queue.push(source);
    while (!queue.empty()) {
      const unsigned u = queue.front();
      queue.pop();
      for (unsigned w : neighbours[u]) {
        if (reached[w]) continue;
        reached[w] = true;
        row[w] = row[u] + 1;
        queue.push(w);
      }
    }
  }
  distBuilt_ = true;
}

unsigned Graph::getDist(const Vertex* a, const Vertex* b) const {
  if (!distBuilt_ || a == nullptr || b == nullptr) return 0;
  const auto ia = vertexIndex_.find(a);
  const auto ib = vertexIndex_.find(b);
  if (ia == vertexIndex_.end() || ib == vertexIndex_.end()) return 0;
  return distMatrix_[static_cast<size_t>(ia->second) * distRows_ + ib->second];
}

unsigned char Graph::adjacency(unsigned i, unsigned j) const {
  if (!adjBuilt_ || i >= adjRows_ || j >= adjRows_) return 0;
  return adjRow(i)[j];
}

unsigned char Graph::ordered(unsigned i, unsigned j) const {
  if (!matrixBuilt_ || i >= ordRows_ || j >= ordRows_) return 0;
  return ordRow(i)[j];
}

void Graph::Run_Search_All_Max_Cliques() {
  // The matrix's own size, not the vertex count: the graph may have changed since.
  const size_t n = ordRows_;
  if (!matrixBuilt_ || n <= 1) return;
  const size_t firstNew = cliques_.size();

  // A later neighbour of an earlier start is never a start itself.
  std::vector<bool> seen(n, false);
  for (unsigned i = 0; i + 1 < n; ++i) {
    if (seen[i]) continue;
    seen[i] = true;
    std::vector<unsigned> candidates;
    const unsigned char* row = ordRow(i);
    for (unsigned p = i + 1; p < n; ++p) {
      if (row[p] != 0) {
        candidates.push_back(p);
        seen[p] = true;
      }
    }
    if (debug) {
      std::cout << "#########################\n#########################\n"
                << "NEW RUN : " << i << "\n";
    }
    Clique_Search(std::move(candidates), {i}, 1);
  }

  // Degree-order positions back to vertex-list positions, for this run's cliques only.
  for (size_t c = firstNew; c < cliques_.size(); ++c) {
    for (unsigned& member : cliques_[c]) member = positionMap_[member];
  }

  if (debug) {
    size_t largest = 0;
    for (size_t c = firstNew; c < cliques_.size(); ++c) {
      std::cout << "CLIQUES : ";
      for (size_t m = 0; m < cliques_[c].size(); ++m)
        std::cout << (m == 0 ? "" : " ") << cliques_[c][m];
      std::cout << "\n";
      largest = std::max(largest, cliques_[c].size());
    }
    std::vector<size_t> count(largest + 1, 0);
    for (size_t c = firstNew; c < cliques_.size(); ++c) ++count[cliques_[c].size()];
    std::cout << "      #####\n  ->      CLIQUE SIZE : ";
    for (size_t s = minCliqueSize_; s <= largest; ++s) std::cout << "\t" << s;
    std::cout << "\n  ->         N CLIQUE : ";
    for (size_t s = minCliqueSize_; s <= largest; ++s) std::cout << "\t" << count[s];
    std::cout << "\n      #####" << std::endl;
  }
}

// Every candidate is adjacent to every member of R, so at each level only the first candidate
// is expanded and all later ones are passed over. The descent is therefore a loop rather than
// a recursion (cliques can hold thousands of vertices); with the trace on, the levels that the
// recursion would unwind are replayed at the end so the trace reads the same.
void Graph::Clique_Search(std::vector<unsigned> candidates, std::vector<unsigned> R,
                          unsigned depth) {
  struct Level {
    unsigned depth;
    std::vector<unsigned> passedOver;  // candidates after the expanded one
  };
  std::vector<Level> unwound;  // filled only with the trace on

  while (true) {
    if (debug) traceLine(depth) << "   \u2013 CANDIDATES : " << candidateText(candidates) << "\n";
    if (candidates.empty()) break;

    const unsigned i = candidates.front();
    if (debug) {
      traceLookingAt(depth, i);
      traceLine(depth) << "   \u2013 CURRENT CLIQUE : {";
      for (unsigned r : R) std::cout << r << ",";
      std::cout << i << "}\n";
    }
    R.push_back(i);

    // Later candidates adjacent to i; the matrix is symmetric, so row i serves as column i.
    std::vector<unsigned> next;
    const unsigned char* row = ordRow(i);
    for (size_t c = 1; c < candidates.size(); ++c) {
      if (row[candidates[c]] != 0) next.push_back(candidates[c]);
    }

    if (!next.empty()) {
      if (debug) {
        traceLine(depth) << "   - NEW CANDIDATES : {";
        for (unsigned j : next) std::cout << j << "|";
        std::cout << "}\n";
        unwound.push_back({depth, std::vector<unsigned>(candidates.begin() + 1, candidates.end())});
      }
      candidates = std::move(next);
      ++depth;
      continue;
    }

    if (debug) traceLine(depth) << "   - END CLIQUE\n";
    if (R.size() >= minCliqueSize_) {
      recordClique(std::move(R));  // this level returns at once
    } else if (debug) {
      for (size_t c = 1; c < candidates.size(); ++c) traceLookingAt(depth, candidates[c]);
    }
    break;
  }

  for (auto level = unwound.rbegin(); level != unwound.rend(); ++level) {
    for (unsigned j : level->passedOver) traceLookingAt(level->depth, j);
  }
  if (debug) std::cout.flush();
}

void Graph::recordClique(std::vector<unsigned> clique) {
  std::sort(clique.begin(), clique.end());
  cliques_.push_back(std::move(clique));
}

std::string Graph::candidateText(const std::vector<unsigned>& candidates) const {
  std::string text(ordRows_, '0');
  for (unsigned c : candidates) text[c] = '1';
  return text;
}

std::string Graph::toString() const {
  std::ostringstream out;
  out << "GRAPH : " << vertices_.size() << " vertices, " << edges_.size() << " edges\n";
  for (const Vertex& v : vertices_) out << v.toString(true) << "\n";
  for (const Edge& e : edges_) out << "EDGE-" << e.toString() << "\n";
  return out.str();
}

void Graph::Print_Matrix() const {
  for (size_t i = 0; i < adjRows_; ++i) {
    const unsigned char* row = adjRow(i);
    for (size_t j = 0; j < adjRows_; ++j) std::cout << (j == 0 ? "" : " ") << int(row[j]);
    std::cout << "\n";
  }
  std::cout.flush();
}

}  // namespace VXMole
