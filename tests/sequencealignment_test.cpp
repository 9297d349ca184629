// Tests of sequence alignment: known alignments of constructs and deletions, and the optimum
// and the traceback's own score against every alignment of short random sequences.
#include "sequencealignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "global.h"

using namespace VXMole;

namespace {

using Aligned = std::vector<std::pair<size_t, size_t>>;

double identityScore(const std::string& s, SequenceKind kind) {
  double total = 0;
  for (char c : s) total += substitutionScore(c, c, kind);
  return total;
}

// The score of an alignment given by its aligned positions, gaps at either end of either
// sequence free, every other gap run of length L costing open + (L - 1) extend.
double scoreOf(const Aligned& aligned, const std::string& a, const std::string& b,
               SequenceKind kind) {
  double total = 0;
  auto gap = [](size_t length) {
    return length == 0 ? 0.0
                       : AlignmentScoring::kGapOpen +
                             static_cast<double>(length - 1) * AlignmentScoring::kGapExtend;
  };
  for (size_t k = 0; k < aligned.size(); ++k) {
    total += substitutionScore(a[aligned[k].first], b[aligned[k].second], kind);
    if (k > 0) {
      total -= gap(aligned[k].first - aligned[k - 1].first - 1);
      total -= gap(aligned[k].second - aligned[k - 1].second - 1);
    }
  }
  return total;
}

TEST(SequenceAlignment, ConstructWithTagsAlignsWholeAtNoCostForItsEnds) {
  const std::string core = "MKTAYIAKQRQISFVKSHFSRQ";
  const std::string construct = "GSHM" + core + "LEHHHHHH";
  const SequenceAlignment result = alignSequences(core, construct, SequenceKind::kProtein);
  ASSERT_EQ(result.aligned.size(), core.size());
  for (size_t i = 0; i < core.size(); ++i) EXPECT_EQ(result.aligned[i], std::make_pair(i, i + 4));
  EXPECT_EQ(result.identical, core.size());
  EXPECT_DOUBLE_EQ(result.score, identityScore(core, SequenceKind::kProtein));
  EXPECT_DOUBLE_EQ(alignmentScore(core, construct, SequenceKind::kProtein), result.score);
}

// Three residues missing from the middle: one gap, opened once and extended twice.
TEST(SequenceAlignment, InternalDeletionIsOneAffineGap) {
  const std::string full = "ACDEFGHIKLMNPQRSTVWY";
  const std::string cut = "ACDEFGLMNPQRSTVWY";  // without HIK
  const SequenceAlignment result = alignSequences(full, cut, SequenceKind::kProtein);
  ASSERT_EQ(result.aligned.size(), cut.size());
  for (size_t k = 0; k < cut.size(); ++k)
    EXPECT_EQ(result.aligned[k].first, k < 6 ? k : k + 3) << k;
  EXPECT_DOUBLE_EQ(result.score, identityScore(cut, SequenceKind::kProtein) -
                                     AlignmentScoring::kGapOpen - 2 * AlignmentScoring::kGapExtend);
}

TEST(SequenceAlignment, NucleicAcidsScoreBasesWithTAsU) {
  EXPECT_EQ(substitutionScore('T', 'U', SequenceKind::kNucleic), AlignmentScoring::kNucleicMatch);
  EXPECT_EQ(substitutionScore('A', 'G', SequenceKind::kNucleic),
            AlignmentScoring::kNucleicMismatch);
  const SequenceAlignment result = alignSequences("GATTACA", "GAUUACA", SequenceKind::kNucleic);
  EXPECT_EQ(result.aligned.size(), 7u);
  EXPECT_EQ(result.identical, 5u);  // identical letters; T facing U scores as a match
  EXPECT_DOUBLE_EQ(result.score, 7 * AlignmentScoring::kNucleicMatch);
}

TEST(SequenceAlignment, EmptySequencesAlignNothing) {
  EXPECT_TRUE(alignSequences("", "ACD", SequenceKind::kProtein).aligned.empty());
  EXPECT_TRUE(alignSequences("ACD", "", SequenceKind::kProtein).aligned.empty());
  EXPECT_DOUBLE_EQ(alignmentScore("", "", SequenceKind::kProtein), 0);
}

TEST(SequenceAlignment, TooManyCellsRaiseAnError) {
  const std::string a(40000, 'A'), b(40000, 'A');
  try {
    alignSequences(a, b, SequenceKind::kProtein);
    ADD_FAILURE() << "no exception";
  } catch (const MoleExcept& error) {
    EXPECT_EQ(error.code, kErrAlignmentTooLarge.code);
    EXPECT_EQ(error.message, "Sequences too long to align: 40000 and 40000 residues");
  }
}

// The best score of every alignment of two short sequences, each given by its aligned pairs
// (increasing in both sequences) and scored by scoreOf.
void enumerate(const std::string& a, const std::string& b, Aligned& pairs, double& best) {
  best = std::max(best, scoreOf(pairs, a, b, SequenceKind::kProtein));
  const size_t i0 = pairs.empty() ? 0 : pairs.back().first + 1;
  const size_t j0 = pairs.empty() ? 0 : pairs.back().second + 1;
  for (size_t i = i0; i < a.size(); ++i)
    for (size_t j = j0; j < b.size(); ++j) {
      pairs.emplace_back(i, j);
      enumerate(a, b, pairs, best);
      pairs.pop_back();
    }
}

TEST(SequenceAlignment, OptimumAndTracebackAgreeWithEveryAlignmentOfShortSequences) {
  std::mt19937 random(24);
  const std::string letters = "AWCGPLK";
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    std::string a, b;
    for (size_t k = random() % 7; k > 0; --k) a.push_back(letters[random() % letters.size()]);
    for (size_t k = random() % 7; k > 0; --k) b.push_back(letters[random() % letters.size()]);
    Aligned pairs;
    double best = 0;
    enumerate(a, b, pairs, best);
    const SequenceAlignment result = alignSequences(a, b, SequenceKind::kProtein);
    EXPECT_DOUBLE_EQ(result.score, best) << a << " / " << b;
    EXPECT_DOUBLE_EQ(alignmentScore(a, b, SequenceKind::kProtein), best);
    EXPECT_DOUBLE_EQ(scoreOf(result.aligned, a, b, SequenceKind::kProtein), best)
        << a << " / " << b;
  }
}

}  // namespace
