// LineSource: reading a file whole, and cutting bytes held in memory into lines.
#include "linesource.h"

#include <fcntl.h>     // for open
#include <sys/stat.h>  // for stat: only regular files are inputs
#include <unistd.h>    // for read, close

#include <cerrno>
#include <cstring>  // for std::memchr
#include <utility>

#include "global.h"

namespace VXMole {

LineSource::FileRead LineSource::readFile(const std::string& path, ByteBuffer& bytes) {
  bytes.release();
  struct stat status;
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return FileRead::kCannotOpen;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FileRead::kCannotOpen;
  // Room for the size stat tells, and one byte more: a read that fills it has not met the end
  // of a file that grew meanwhile, or of one whose size stat does not tell (those of /proc).
  bytes.reserve(static_cast<size_t>(status.st_size) + 1);
  bool failed = false;
  char chunk[1 << 14];
  while (true) {
    char* into = bytes.data() + bytes.size();
    size_t room = bytes.capacity() - bytes.size();
    const bool inPlace = room > 0;
    if (!inPlace) {
      into = chunk;
      room = sizeof chunk;
    }
    const ssize_t got = ::read(fd, into, room);
    if (got < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    if (got == 0) break;
    if (inPlace) {
      bytes.grow(static_cast<size_t>(got));
    } else {
      bytes.append(chunk, static_cast<size_t>(got));
    }
  }
  ::close(fd);
  return failed ? FileRead::kFailed : FileRead::kRead;
}

void LineSource::assign(std::string name, ByteBuffer bytes) {
  name_ = std::move(name);
  bytes_ = std::move(bytes);
  hasInput_ = true;
  seek(0);
}

void LineSource::release() {
  bytes_.release();
  hasInput_ = false;
  seek(0);
}

void LineSource::seek(size_t offset) {
  next_ = offset < bytes_.size() ? offset : bytes_.size();
  lastLineStart_ = next_;
  atEnd_ = false;
}

size_t LineSource::cutLine(size_t at, std::string_view& line) const {
  const char* begin = bytes_.data() + at;
  const size_t rest = bytes_.size() - at;
  const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', rest));
  const size_t toLf = lf != nullptr ? static_cast<size_t>(lf - begin) : rest;
  const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', toLf));
  const size_t length = cr != nullptr ? static_cast<size_t>(cr - begin) : toLf;
  line = std::string_view(begin, length);
  if (length == rest) return bytes_.size();  // the last line, without a line end
  size_t next = at + length + 1;
  if (cr != nullptr && next < bytes_.size() && bytes_[next] == '\n') ++next;  // CR LF
  return next;
}

size_t LineSource::lineNumberAt(size_t offset) const {
  const size_t end = offset < bytes_.size() ? offset : bytes_.size();
  size_t number = 1;
  for (size_t i = 0; i < end; ++i) {
    // LF, CR LF and a lone CR each end one line.
    if (bytes_[i] == '\n' ||
        (bytes_[i] == '\r' && (i + 1 >= bytes_.size() || bytes_[i + 1] != '\n')))
      ++number;
  }
  return number;
}

bool LineSource::next(std::string_view& line) {
  if (next_ >= bytes_.size()) {
    atEnd_ = true;
    line = std::string_view();
    return false;
  }
  lastLineStart_ = next_;
  next_ = cutLine(next_, line);
  if (line.size() > kMaxLineBytes) {
    next_ = bytes_.size();
    atEnd_ = true;
    line = std::string_view();
    throw raise(kErrLineTooLong, name_);
  }
  // The end is met by a last line without a line end, and by one that ends in a CR: whether an
  // LF follows is looked up past it.
  if (next_ == bytes_.size() && bytes_[bytes_.size() - 1] != '\n') atEnd_ = true;
  return true;
}

}  // namespace VXMole
