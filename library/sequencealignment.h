// Sequence alignment: the global alignment of two residue sequences (Needleman-Wunsch with
// affine gaps), scored by BLOSUM62 for proteins and by identity for nucleic acids.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace VXMole {

enum class SequenceKind { kProtein, kNucleic };

// The scoring. Proteins: BLOSUM62 (tables.h); a letter outside its alphabet scores as X.
// Nucleic acids: 5 for the same base (T and U are the same), -4 for another, -2 against N.
// A gap of length L costs kGapOpen + (L - 1) kGapExtend, except before the first aligned pair
// and after the last, where gaps in either sequence are free (the end weights of EMBOSS needle
// set to zero: a construct longer or shorter than the other, or with other tags, costs
// nothing). Scores are kept in half units internally, so that every sum is exact.
struct AlignmentScoring {
  static constexpr double kGapOpen = 10.0;
  static constexpr double kGapExtend = 0.5;
  static constexpr int kNucleicMatch = 5;
  static constexpr int kNucleicMismatch = -4;
  static constexpr int kNucleicUnknown = -2;
  // The most cells (product of the two lengths) an alignment with its path may take: one byte
  // each.
  static constexpr size_t kMaxCells = size_t{1} << 30;
};

// The score of aligning two letters.
int substitutionScore(char a, char b, SequenceKind kind);

struct SequenceAlignment {
  double score = 0;
  // The aligned positions (i of the first sequence, j of the second), in increasing order;
  // positions facing a gap are not listed.
  std::vector<std::pair<size_t, size_t>> aligned;
  size_t identical = 0;  // aligned positions with the same letter
};

// The best global alignment of two sequences (Gotoh's form of Needleman-Wunsch, end gaps free).
// Among alignments of equal score: the one that ends first in the order of the first
// sequence, then the second; going back from there, a path that continues before one that
// starts, then a match, a gap in the second sequence, a gap in the first. Nothing is aligned
// when no pair scores above zero. Sequences whose product of lengths passes kMaxCells raise
// MoleExcept kErrAlignmentTooLarge.
SequenceAlignment alignSequences(std::string_view a, std::string_view b, SequenceKind kind);

// The score of that alignment alone, in memory linear in the lengths.
double alignmentScore(std::string_view a, std::string_view b, SequenceKind kind);

}  // namespace VXMole
