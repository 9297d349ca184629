// Selection: the tokens, the recursive-descent parser and the evaluation over a molecule.
#include "selection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>  // for std::strtod
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "atome.h"
#include "global.h"
#include "molecule.h"
#include "residu.h"
#include "residueclass.h"
#include "tables.h"

namespace VXMole {

namespace {

// A residue number with its insertion code ('\0' for none), ordered number first, then the
// code, blank before A.
struct ResidueId {
  long number = 0;
  char code = '\0';
  bool operator<=(const ResidueId& other) const {
    return number != other.number ? number < other.number : code <= other.code;
  }
};

struct ResidueRange {
  ResidueId from, to;
};

enum class Kind {
  kAll,
  kNot,
  kAnd,
  kOr,
  kWithin,
  kByRes,
  kResn,
  kResi,
  kChain,
  kName,
  kElem,
  kAlt,
  kProtein,
  kNucleic,
  kWater,
  kLigand,
  kMetal,
  kHydrogen,
};

struct Token {
  std::string text;
  size_t position;  // of its first character, from 1
  bool quoted;      // written between quotes: a value, never a word of the grammar
};

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Whether `text` matches `pattern`, where * stands for any run of characters and ? for one;
// letters compare without regard to case.
bool globMatch(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  while (t < text.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], text[t])))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

struct Selection::Node {
  Kind kind = Kind::kAll;
  std::vector<std::string> words;     // resn, chain, name, alt
  std::vector<ResidueRange> ranges;   // resi
  std::vector<unsigned> elements;     // elem: atomic numbers
  double distance = 0;                // within, Å
  std::unique_ptr<Node> left, right;  // operands: not, within and byres take the left one
};

namespace {

using Node = Selection::Node;

std::vector<Token> tokenize(const std::string& text) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '(' || c == ')') {
      tokens.push_back({std::string(1, c), i + 1, false});
      ++i;
    } else if (c == '\'' || c == '"') {
      const size_t end = text.find(c, i + 1);
      if (end == std::string::npos)
        throw raise(kErrSelectionSyntax, "\"" + text + "\": the quote at character " +
                                             std::to_string(i + 1) + " is not closed");
      tokens.push_back({text.substr(i + 1, end - i - 1), i + 1, true});
      i = end + 1;
    } else {
      const size_t start = i;
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
             text[i] != '(' && text[i] != ')')
        ++i;
      tokens.push_back({text.substr(start, i - start), start + 1, false});
    }
  }
  return tokens;
}

const std::unordered_map<std::string, Kind>& keywords() {
  static const std::unordered_map<std::string, Kind> table = {
      {"resn", Kind::kResn},       {"resi", Kind::kResi},       {"chain", Kind::kChain},
      {"name", Kind::kName},       {"elem", Kind::kElem},       {"alt", Kind::kAlt},
      {"protein", Kind::kProtein}, {"nucleic", Kind::kNucleic}, {"water", Kind::kWater},
      {"ligand", Kind::kLigand},   {"metal", Kind::kMetal},     {"hydrogen", Kind::kHydrogen},
      {"all", Kind::kAll},
  };
  return table;
}

bool takesValues(Kind kind) {
  return kind == Kind::kResn || kind == Kind::kResi || kind == Kind::kChain ||
         kind == Kind::kName || kind == Kind::kElem || kind == Kind::kAlt;
}

// One residue number with an optional insertion code, read from text[at...]; advances `at`.
std::optional<ResidueId> readResidueId(const std::string& text, size_t& at) {
  size_t i = at;
  if (i < text.size() && text[i] == '-') ++i;
  const size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == digits || i - digits > 9) return std::nullopt;
  ResidueId id;
  id.number = std::strtol(text.c_str() + at, nullptr, 10);
  if (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) id.code = text[i++];
  at = i;
  return id;
}

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text), tokens_(tokenize(text)) {}

  std::unique_ptr<Node> parse() {
    if (tokens_.empty()) fail("it is empty");
    std::unique_ptr<Node> root = parseOr();
    if (next_ < tokens_.size()) {
      const Token& extra = tokens_[next_];
      if (extra.text == ")" && !extra.quoted)
        fail("\")\" at character " + std::to_string(extra.position) + " closes no \"(\"");
      fail("\"" + extra.text + "\" at character " + std::to_string(extra.position) +
           " is not \"and\" or \"or\" (several values are joined by +)");
    }
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw raise(kErrSelectionSyntax, "\"" + text_ + "\": " + what);
  }

  bool atWord(const char* word) const {
    return next_ < tokens_.size() && !tokens_[next_].quoted && lower(tokens_[next_].text) == word;
  }

  const Token& take(const char* wanted) {
    if (next_ >= tokens_.size()) fail(std::string(wanted) + " is missing at the end");
    return tokens_[next_++];
  }

  static std::unique_ptr<Node> join(Kind kind, std::unique_ptr<Node> left,
                                    std::unique_ptr<Node> right) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
  }

  std::unique_ptr<Node> parseOr() {
    std::unique_ptr<Node> node = parseAnd();
    while (atWord("or")) {
      ++next_;
      node = join(Kind::kOr, std::move(node), parseAnd());
    }
    return node;
  }

  std::unique_ptr<Node> parseAnd() {
    std::unique_ptr<Node> node = parseFactor();
    while (atWord("and")) {
      ++next_;
      node = join(Kind::kAnd, std::move(node), parseFactor());
    }
    return node;
  }

  std::unique_ptr<Node> parseFactor() {
    const Token& token = take("a selection");
    const std::string word = lower(token.text);
    const std::string at = " at character " + std::to_string(token.position);
    if (!token.quoted && word == "not") return join(Kind::kNot, parseFactor(), nullptr);
    if (!token.quoted && word == "byres") return join(Kind::kByRes, parseFactor(), nullptr);
    if (!token.quoted && word == "within") {
      const Token& number = take("a distance after \"within\"");
      char* end = nullptr;
      const double distance = std::strtod(number.text.c_str(), &end);
      if (number.text.empty() || *end != '\0' || !std::isfinite(distance) || distance < 0)
        fail("\"" + number.text + "\" at character " + std::to_string(number.position) +
             " is not a distance in Å");
      const Token& of = take("\"of\" after the distance of \"within\"");
      if (of.quoted || lower(of.text) != "of")
        fail("\"of\" is missing at character " + std::to_string(of.position));
      std::unique_ptr<Node> node = join(Kind::kWithin, parseFactor(), nullptr);
      node->distance = distance;
      return node;
    }
    if (!token.quoted && token.text == "(") {
      std::unique_ptr<Node> inner = parseOr();
      if (next_ >= tokens_.size() || tokens_[next_].quoted || tokens_[next_].text != ")")
        fail("the \"(\"" + at + " is not closed");
      ++next_;
      return inner;
    }
    if (!token.quoted && token.text == ")") fail("a selection is missing before the \")\"" + at);
    auto found = token.quoted ? keywords().end() : keywords().find(word);
    if (found == keywords().end())
      fail("\"" + token.text + "\"" + at +
           " is not a keyword (resn resi chain name elem alt), a class (protein nucleic water "
           "ligand metal hydrogen), all, not, within or byres");
    auto node = std::make_unique<Node>();
    node->kind = found->second;
    if (takesValues(node->kind)) readValues(*node, token.text);
    return node;
  }

  // The values after a keyword: one token, its values joined by "+".
  void readValues(Node& node, const std::string& keyword) {
    if (next_ >= tokens_.size() || (!tokens_[next_].quoted && tokens_[next_].text == ")"))
      fail("\"" + keyword + "\" needs a value");
    const Token& token = tokens_[next_++];
    std::vector<std::string> values;
    if (token.quoted) {
      values.push_back(token.text);
    } else {
      size_t from = 0;
      for (size_t plus; (plus = token.text.find('+', from)) != std::string::npos; from = plus + 1)
        values.push_back(token.text.substr(from, plus - from));
      values.push_back(token.text.substr(from));
    }
    const std::string at = " at character " + std::to_string(token.position);
    for (const std::string& value : values) {
      if (value.empty() && !token.quoted)
        fail("an empty value" + at + " (write '' for a blank chain or alternate site)");
      switch (node.kind) {
        case Kind::kResi:
          node.ranges.push_back(readRange(value, at));
          break;
        case Kind::kElem: {
          const AtomDataRow* row = elementOfSymbol(value);
          if (row == nullptr) fail("\"" + value + "\"" + at + " is not an element symbol");
          node.elements.push_back(row->atomicNum);
          break;
        }
        case Kind::kAlt:
          if (value.size() > 1)
            fail("\"" + value + "\"" + at + " is not one alternate-site letter");
          node.words.push_back(value);
          break;
        default:
          node.words.push_back(value);
          break;
      }
    }
  }

  ResidueRange readRange(const std::string& value, const std::string& at) const {
    size_t i = 0;
    std::optional<ResidueId> from = readResidueId(value, i);
    std::optional<ResidueId> to = from;
    if (from && i < value.size() && value[i] == '-') {
      ++i;
      to = readResidueId(value, i);
    }
    if (!from || !to || i != value.size())
      fail("\"" + value + "\"" + at +
           " is not a residue number or range (10, 52A, -3, 10-20, 52-52B)");
    return ResidueRange{*from, *to};
  }

  const std::string& text_;
  std::vector<Token> tokens_;
  size_t next_ = 0;
};

// The grid index of the outermost cells.
constexpr double kFarCell = 1e15;

// Evaluation over one molecule: each node gives the atoms it takes, by atom position.
class Evaluator {
 public:
  explicit Evaluator(const Molecule& molecule) : molecule_(molecule) {}

  std::vector<bool> eval(const Node& node) {
    const size_t n = molecule_.numAtoms();
    switch (node.kind) {
      case Kind::kAll:
        return std::vector<bool>(n, true);
      case Kind::kNot: {
        std::vector<bool> taken = eval(*node.left);
        taken.flip();
        return taken;
      }
      case Kind::kAnd:
      case Kind::kOr: {
        std::vector<bool> taken = eval(*node.left);
        const std::vector<bool> other = eval(*node.right);
        for (size_t i = 0; i < n; ++i)
          taken[i] = node.kind == Kind::kAnd ? taken[i] && other[i] : taken[i] || other[i];
        return taken;
      }
      case Kind::kWithin:
        return within(eval(*node.left), node.distance);
      case Kind::kByRes:
        return byResidue(eval(*node.left));
      default:
        break;
    }
    std::vector<bool> taken(n, false);
    for (size_t i = 0; i < n; ++i) taken[i] = atomMatches(node, molecule_.atom(i));
    return taken;
  }

 private:
  bool atomMatches(const Node& node, const Atom& atom) {
    const Residu* residue = atom.getResidu();
    switch (node.kind) {
      case Kind::kResn:
        return residue != nullptr && anyGlob(node.words, residueNameOf(*residue));
      case Kind::kName:
        return anyGlob(node.words, atom.getName());
      case Kind::kChain:
        for (const std::string& chain : node.words)
          if (residue != nullptr && residue->getChain() == chain) return true;
        return false;
      case Kind::kAlt:
        for (const std::string& alt : node.words)
          if ((alt.empty() ? '\0' : alt[0]) == atom.getAltLoc()) return true;
        return false;
      case Kind::kElem:
        for (unsigned z : node.elements)
          if (atom.getAtomicNum() == z && !atom.excluded) return true;
        return false;
      case Kind::kResi:
        if (residue == nullptr) return false;
        for (const ResidueRange& range : node.ranges) {
          const ResidueId id{residue->getNum(), residue->getInsertionCode()};
          if (range.from <= id && id <= range.to) return true;
        }
        return false;
      case Kind::kHydrogen:
        return atom.isHydrogen();
      default:
        break;
    }
    if (!classes_) classes_.emplace(molecule_);
    const ResidueClass found = classes_->of(residue);
    switch (node.kind) {
      case Kind::kProtein:
        return found == ResidueClass::kProtein;
      case Kind::kNucleic:
        return found == ResidueClass::kNucleic;
      case Kind::kWater:
        return found == ResidueClass::kWater;
      case Kind::kLigand:
        return found == ResidueClass::kLigand;
      case Kind::kMetal:
        return found == ResidueClass::kMetal;
      default:
        return false;
    }
  }

  static bool anyGlob(const std::vector<std::string>& patterns, const std::string& text) {
    for (const std::string& pattern : patterns)
      if (globMatch(pattern, text)) return true;
    return false;
  }

  // Atoms within `distance` of a taken atom, found through a grid of cells of that size.
  std::vector<bool> within(const std::vector<bool>& centres, double distance) const {
    const size_t n = molecule_.numAtoms();
    const double cell = std::max(distance, 1.0);
    // Far-out coordinates share the outermost cells, where the exact test still decides.
    auto index = [cell](double v) {
      return static_cast<long long>(std::clamp(std::floor(v / cell), -kFarCell, kFarCell));
    };
    auto cellOf = [&index](const Coords& c) {
      return std::array<long long, 3>{index(c.x), index(c.y), index(c.z)};
    };
    struct CellHash {
      size_t operator()(const std::array<long long, 3>& k) const {
        return static_cast<size_t>(k[0]) * 73856093u ^ static_cast<size_t>(k[1]) * 19349663u ^
               static_cast<size_t>(k[2]) * 83492791u;
      }
    };
    std::unordered_map<std::array<long long, 3>, std::vector<size_t>, CellHash> grid;
    for (size_t i = 0; i < n; ++i)
      if (centres[i] && finite(molecule_.atom(i).getFixedCoords()))
        grid[cellOf(molecule_.atom(i).getFixedCoords())].push_back(i);
    std::vector<bool> taken(n, false);
    if (grid.empty()) return taken;
    for (size_t i = 0; i < n; ++i) {
      const Coords& p = molecule_.atom(i).getFixedCoords();
      if (!finite(p)) {
        taken[i] = centres[i];
        continue;
      }
      const std::array<long long, 3> home = cellOf(p);
      for (long long dx = -1; dx <= 1 && !taken[i]; ++dx)
        for (long long dy = -1; dy <= 1 && !taken[i]; ++dy)
          for (long long dz = -1; dz <= 1 && !taken[i]; ++dz) {
            auto found = grid.find({home[0] + dx, home[1] + dy, home[2] + dz});
            if (found == grid.end()) continue;
            for (size_t j : found->second)
              if (p.calcDist(molecule_.atom(j).getFixedCoords()) <= distance) {
                taken[i] = true;
                break;
              }
          }
    }
    return taken;
  }

  static bool finite(const Coords& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
  }

  std::vector<bool> byResidue(const std::vector<bool>& atoms) const {
    const size_t n = molecule_.numAtoms();
    std::unordered_map<const Residu*, bool> residues;
    for (size_t i = 0; i < n; ++i)
      if (atoms[i]) residues[molecule_.atom(i).getResidu()] = true;
    std::vector<bool> taken(n, false);
    for (size_t i = 0; i < n; ++i) taken[i] = residues.count(molecule_.atom(i).getResidu()) != 0;
    return taken;
  }

  const Molecule& molecule_;
  std::optional<ResidueClasses> classes_;  // made on the first class asked for
};

}  // namespace

Selection::Selection(std::string text) : text_(std::move(text)) {
  root_ = Parser(text_).parse();
}

Selection::~Selection() = default;
Selection::Selection(const Selection&) = default;
Selection& Selection::operator=(const Selection&) = default;

std::vector<bool> Selection::atoms(const Molecule& molecule) const {
  return Evaluator(molecule).eval(*root_);
}

}  // namespace VXMole
