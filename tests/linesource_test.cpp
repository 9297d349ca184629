// Tests of the line source: line ends, the end of the input, stepping back and seeking, and
// reading a file whole.
#include "linesource.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tool_runner.h"

using namespace VXMole;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  LineSource source;
  source.assign("text", ByteBuffer(text));
  std::vector<std::string> lines;
  for (std::string_view line; source.next(line);) lines.emplace_back(line);
  return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(LineSource, LfCrLfAndALoneCrEachEndALine) {
  EXPECT_EQ(linesOf("a\nb\r\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(linesOf("a\r\r\nb\n\n"), (Lines{"a", "", "b", ""}));
  EXPECT_EQ(linesOf("\n"), (Lines{""}));
  EXPECT_EQ(linesOf(""), (Lines{}));
  EXPECT_EQ(linesOf(std::string("x\0y\n", 4)), (Lines{std::string("x\0y", 3)}));
}

// Line numbers count the same line ends as the lines: LF, CR LF, a lone CR.
TEST(LineSource, LineNumbersCountEveryKindOfLineEnd) {
  LineSource source;
  source.assign("text", ByteBuffer("a\nb\r\nc\rd\n\ne"));
  std::vector<size_t> numbers;
  for (std::string_view line; source.next(line);)
    numbers.push_back(source.lineNumberAt(source.lastLineStart()));
  EXPECT_EQ(numbers, (std::vector<size_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(source.lineNumberAt(source.size() + 10), 6u);
}

// The end is met as a stream meets it: by a last line without a line end or ended by a CR
// (past which an LF is looked for), or by a read that finds no line; a last line ended by an LF
// leaves the end to the next read.
TEST(LineSource, EndIsMetAsAFileStreamMeetsIt) {
  for (const char* text : {"one\ntwo", "one\ntwo\n", "one\ntwo\r"}) {
    LineSource source;
    source.assign("text", ByteBuffer(text));
    std::string_view line;
    ASSERT_TRUE(source.next(line));
    ASSERT_TRUE(source.next(line));
    EXPECT_EQ(line, "two");
    EXPECT_EQ(source.atEnd(), std::string_view(text).back() != '\n') << text;
    EXPECT_FALSE(source.next(line));
    EXPECT_TRUE(source.atEnd());
    EXPECT_EQ(line, "");
  }
}

TEST(LineSource, StepBackAndSeekComeBackToALine) {
  LineSource source;
  source.assign("text", ByteBuffer("first\r\nsecond\rthird\n"));
  std::string_view line;
  source.next(line);
  source.next(line);
  EXPECT_EQ(line, "second");
  EXPECT_EQ(source.lastLineStart(), 7u);
  EXPECT_EQ(source.nextLineStart(), 14u);
  source.stepBack();
  ASSERT_TRUE(source.next(line));
  EXPECT_EQ(line, "second");
  ASSERT_TRUE(source.next(line));
  EXPECT_EQ(line, "third");
  EXPECT_FALSE(source.next(line));
  source.seek(0);
  EXPECT_FALSE(source.atEnd());
  ASSERT_TRUE(source.next(line));
  EXPECT_EQ(line, "first");
  source.seek(1000);  // past the end: the end of the input
  EXPECT_FALSE(source.next(line));
}

// Files are read whole, whatever their bytes; a file whose size stat does not tell is read to
// its end; only regular files are inputs.
TEST(LineSource, ReadsRegularFilesWhole) {
  kestrum_test::TempDir dir;
  const std::string bytes("line\r\nnul \0 byte\rlast", 21);
  kestrum_test::writeFile(dir.file("a.pdb"), bytes);
  ByteBuffer read;
  EXPECT_EQ(LineSource::readFile(dir.file("a.pdb"), read), LineSource::FileRead::kRead);
  EXPECT_EQ(read.view(), bytes);
  EXPECT_EQ(LineSource::readFile("/proc/self/status", read), LineSource::FileRead::kRead);
  EXPECT_NE(read.view().find("Name:"), std::string::npos);
  // A file of several megabytes goes into one large block, whole.
  std::string large;
  for (int i = 0; large.size() < (size_t{5} << 20); ++i)
    large += "ATOM " + std::to_string(i) + "\n";
  kestrum_test::writeFile(dir.file("large.pdb"), large);
  EXPECT_EQ(LineSource::readFile(dir.file("large.pdb"), read), LineSource::FileRead::kRead);
  EXPECT_TRUE(read.view() == large);
  EXPECT_EQ(LineSource::readFile(dir.path(), read), LineSource::FileRead::kCannotOpen);
  EXPECT_EQ(LineSource::readFile(dir.file("missing.pdb"), read), LineSource::FileRead::kCannotOpen);
  EXPECT_EQ(read.view(), "");
}

// Appending grows the buffer past the size where it moves into a large block, keeping every byte.
TEST(ByteBuffer, GrowsAcrossTheLargeBlockSizeKeepingItsBytes) {
  ByteBuffer buffer("head:");
  std::string expected = "head:";
  for (int i = 0; expected.size() < 3 * ByteBuffer::kLargeBytes; ++i) {
    const std::string piece = std::to_string(i) + ",";
    buffer.append(piece.data(), piece.size());
    expected += piece;
  }
  EXPECT_TRUE(buffer.view() == expected);
  ByteBuffer moved(std::move(buffer));
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(moved.size(), expected.size());
  moved.truncate(5);
  EXPECT_EQ(moved.view(), "head:");
  moved.release();
  EXPECT_EQ(moved.capacity(), 0u);
}
