// LineSource: the lines of an input held whole in memory, as views into its bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "bytebuffer.h"

namespace VXMole {

// One input as lines: a file read whole, decompressed text, or lines given in memory and joined.
// A line ends at LF, CR LF or a lone CR; a last line without a line end is a line all the same.
// Lines are views into the source's bytes, valid until the source is given other bytes or
// released. Offsets are byte offsets into the input.
class LineSource {
 public:
  // Longest line an input may hold (bytes, without its line end).
  static constexpr size_t kMaxLineBytes = size_t{64} << 20;

  // What became of reading a file whole.
  enum class FileRead {
    kRead,        // the bytes are the file's
    kCannotOpen,  // no regular file, or it cannot be opened
    kFailed,      // opened, but reading it failed
  };
  // Reads the regular file `path` whole into `bytes`. A directory, a FIFO or a device is no
  // input: a directory opens like a file but fails every read, a FIFO blocks until a writer
  // comes, and a device such as /dev/zero never ends.
  static FileRead readFile(const std::string& path, ByteBuffer& bytes);

  // Reads from `bytes`, from the first line; every message names `name`.
  void assign(std::string name, ByteBuffer bytes);
  // Gives the bytes back: the source has no input until it is assigned again.
  void release();
  // Whether the source holds an input (an empty one included).
  bool hasInput() const { return hasInput_; }

  // The next line, without its line end; false when no line is left, which sets the end.
  // A line longer than kMaxLineBytes throws MoleExcept 110071 naming the input, and the source
  // is left at its end.
  bool next(std::string_view& line);
  // Goes back to the start of the line last returned: the next call returns it again.
  void stepBack() { seek(lastLineStart_); }
  // The next line starts at `offset` (clamped to the input's size); clears the end.
  void seek(size_t offset);

  // Where the line last returned starts, and where the next one starts.
  size_t lastLineStart() const { return lastLineStart_; }
  size_t nextLineStart() const { return next_; }
  // Whether a read has met the end of the bytes, as a file stream meets it: a last line without
  // a line end, or ended by a CR (past which an LF is looked for), or a read that found no line
  // left. Cleared by seek.
  bool atEnd() const { return atEnd_; }
  // Size of the input, in bytes.
  size_t size() const { return bytes_.size(); }
  // The number, from 1, of the line that holds the byte at `offset` (the line after the last
  // one, for the input's size): what a message calls a line. Counts from the start, so it is
  // meant for messages, not for every line.
  size_t lineNumberAt(size_t offset) const;

  // Calls fn(line) for each line from the next one on, without moving the source and without
  // the line bound: a look ahead. fn returns false to stop.
  template <class Fn>
  void scanAhead(Fn fn) const {
    std::string_view line;
    for (size_t at = next_; at < bytes_.size();) {
      at = cutLine(at, line);
      if (!fn(line)) return;
    }
  }

 private:
  // The line that starts at `at`, without its line end; returns where the next one starts.
  size_t cutLine(size_t at, std::string_view& line) const;

  std::string name_;  // what messages call the input
  ByteBuffer bytes_;  // the whole input
  bool hasInput_ = false;
  size_t next_ = 0;           // offset of the next line
  size_t lastLineStart_ = 0;  // offset of the line last returned
  bool atEnd_ = false;
};

}  // namespace VXMole
