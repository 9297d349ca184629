// Sequence alignment: Gotoh's three-state recurrence with free end gaps, and its traceback.
//
// Gotoh (1982) keeps, for every cell (i, j), the best score of a path that ends with a_i facing
// b_j (M), with a_i facing a gap (X), or with b_j facing a gap (Y); a gap is opened from M or
// from the other gap state and extended from its own. The scores of one row are all the
// recurrence needs; the traceback keeps one byte per cell naming where each state came from.
#include "sequencealignment.h"

#include <algorithm>  // for std::reverse
#include <array>
#include <cstdint>
#include <string>

#include "global.h"
#include "tables.h"

namespace VXMole {

namespace {

using Score = long long;  // half units
constexpr Score kMinusInfinity = -(Score{1} << 50);
constexpr Score kOpen = static_cast<Score>(2 * AlignmentScoring::kGapOpen);
constexpr Score kExtend = static_cast<Score>(2 * AlignmentScoring::kGapExtend);
static_assert(kOpen == 2 * AlignmentScoring::kGapOpen &&
                  kExtend == 2 * AlignmentScoring::kGapExtend,
              "gap costs are whole half units");

enum State : uint8_t { kM = 0, kX = 1, kY = 2, kStart = 3 };

// Bits of a traceback byte: the state before M (two bits; kStart where the alignment begins),
// whether X extends X, the state X opens from (M or Y), whether Y extends Y, the state Y opens
// from (M or X).
constexpr uint8_t kXExtends = 1 << 2;
constexpr uint8_t kXOpensFromY = 1 << 3;
constexpr uint8_t kYExtends = 1 << 4;
constexpr uint8_t kYOpensFromX = 1 << 5;

int blosumIndex(char letter) {
  const size_t at = BLOSUM62_LETTERS.find(letter);
  return static_cast<int>(at == std::string_view::npos ? BLOSUM62_LETTERS.find('X') : at);
}

char base(char letter) {
  return letter == 'T' ? 'U' : letter;
}

struct End {
  Score score = 0;  // 0: nothing aligned
  size_t i = 0, j = 0;
};

// The recurrence over every cell; fills `trace` (n x m bytes, row-major) when given. Gaps
// before the first aligned pair and after the last are free: M may start at any cell (from
// score 0), and the alignment ends at the best M cell, the first in row order among equals.
End fill(std::string_view a, std::string_view b, SequenceKind kind, uint8_t* trace) {
  const size_t n = a.size(), m = b.size();
  End best;
  if (n == 0 || m == 0) return best;
  // Letters as small numbers, and the doubled scores of every two of them.
  std::array<uint16_t, 256> code{};
  std::string letters;
  for (std::string_view text : {a, b})
    for (char c : text) {
      const auto u = static_cast<unsigned char>(c);
      if (code[u] == 0) {
        letters.push_back(c);
        code[u] = static_cast<uint16_t>(letters.size());
      }
    }
  const size_t k = letters.size() + 1;
  std::vector<Score> pairScores(k * k, 0);
  for (size_t x = 1; x < k; ++x)
    for (size_t y = 1; y < k; ++y)
      pairScores[x * k + y] = 2 * substitutionScore(letters[x - 1], letters[y - 1], kind);
  std::vector<uint16_t> bCodes(m);
  for (size_t j = 0; j < m; ++j) bCodes[j] = code[static_cast<unsigned char>(b[j])];

  // Row i - 1 and row i of each state; column 0 and row 0 hold no path.
  std::vector<Score> prevM(m + 1, kMinusInfinity), prevX(m + 1, kMinusInfinity),
      prevY(m + 1, kMinusInfinity);
  std::vector<Score> curM(m + 1, kMinusInfinity), curX(m + 1, kMinusInfinity),
      curY(m + 1, kMinusInfinity);
  for (size_t i = 1; i <= n; ++i) {
    const Score* scores = &pairScores[code[static_cast<unsigned char>(a[i - 1])] * k];
    uint8_t* traceRow = trace == nullptr ? nullptr : trace + (i - 1) * m;
    for (size_t j = 1; j <= m; ++j) {
      // M: a_i with b_j, after a path or as the first pair.
      uint8_t bits = kStart;
      Score from = 0;
      if (prevM[j - 1] >= from) {
        from = prevM[j - 1];
        bits = kM;
      }
      if (prevX[j - 1] > from) {
        from = prevX[j - 1];
        bits = kX;
      }
      if (prevY[j - 1] > from) {
        from = prevY[j - 1];
        bits = kY;
      }
      curM[j] = from + scores[bCodes[j - 1]];
      if (curM[j] > best.score) best = End{curM[j], i, j};
      // X: a_i facing a gap, from the cell above.
      Score open = prevM[j] - kOpen;
      const Score openFromY = prevY[j] - kOpen;
      if (openFromY > open) {
        open = openFromY;
        bits |= kXOpensFromY;
      }
      const Score extend = prevX[j] - kExtend;
      if (extend > open) bits |= kXExtends;
      curX[j] = extend > open ? extend : open;
      // Y: b_j facing a gap, from the cell on the left.
      open = curM[j - 1] - kOpen;
      const Score openFromX = curX[j - 1] - kOpen;
      if (openFromX > open) {
        open = openFromX;
        bits |= kYOpensFromX;
      }
      const Score extendY = curY[j - 1] - kExtend;
      if (extendY > open) bits |= kYExtends;
      curY[j] = extendY > open ? extendY : open;
      if (traceRow != nullptr) traceRow[j - 1] = bits;
    }
    prevM.swap(curM);
    prevX.swap(curX);
    prevY.swap(curY);
  }
  return best;
}

}  // namespace

int substitutionScore(char a, char b, SequenceKind kind) {
  if (kind == SequenceKind::kProtein) return BLOSUM62[blosumIndex(a)][blosumIndex(b)];
  if (a == 'N' || b == 'N') return AlignmentScoring::kNucleicUnknown;
  return base(a) == base(b) ? AlignmentScoring::kNucleicMatch : AlignmentScoring::kNucleicMismatch;
}

SequenceAlignment alignSequences(std::string_view a, std::string_view b, SequenceKind kind) {
  const size_t n = a.size(), m = b.size();
  if (m != 0 && n > AlignmentScoring::kMaxCells / m)
    throw raise(kErrAlignmentTooLarge,
                std::to_string(n) + " and " + std::to_string(m) + " residues");
  std::vector<uint8_t> trace(n * m);
  const End end = fill(a, b, kind, trace.empty() ? nullptr : trace.data());
  SequenceAlignment result;
  result.score = static_cast<double>(end.score) / 2;
  size_t i = end.i, j = end.j;
  State state = kM;
  while (i > 0 && j > 0 && state != kStart) {
    const uint8_t bits = trace[(i - 1) * m + (j - 1)];
    if (state == kM) {
      result.aligned.emplace_back(i - 1, j - 1);
      result.identical += a[i - 1] == b[j - 1];
      state = static_cast<State>(bits & 3);
      --i;
      --j;
    } else if (state == kX) {
      state = (bits & kXExtends) ? kX : (bits & kXOpensFromY) ? kY : kM;
      --i;
    } else {
      state = (bits & kYExtends) ? kY : (bits & kYOpensFromX) ? kX : kM;
      --j;
    }
  }
  std::reverse(result.aligned.begin(), result.aligned.end());
  return result;
}

double alignmentScore(std::string_view a, std::string_view b, SequenceKind kind) {
  return static_cast<double>(fill(a, b, kind, nullptr).score) / 2;
}

}  // namespace VXMole
