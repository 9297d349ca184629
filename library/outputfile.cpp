// MoleWriter, file part: the output written to a temporary file beside it and renamed over it
// when complete; outputs that are not regular files refused; the temporary removed on a signal.
#include <fcntl.h>     // for O_CLOEXEC
#include <sys/stat.h>  // for stat, lstat, fchmod, umask
#include <unistd.h>    // for unlink, access, close

#include <atomic>  // for std::atomic_signal_fence
#include <cerrno>
#include <csignal>  // for std::sig_atomic_t, sigprocmask
#include <cstdio>
#include <cstdlib>     // for mkostemp, realpath, free
#include <cstring>     // for std::strerror
#include <filesystem>  // for read_symlink
#include <iostream>
#include <string>

#include "diagnostics.h"
#include "molewriter.h"

namespace VXMole {

namespace {

// The longest part of the output's name kept in the temporary file's name, so that
// "." + name + ".XXXXXX" stays within the 255 bytes a directory entry allows.
const size_t kMaxTempStem = 200;

mode_t currentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

std::string errnoText(int error) {
  return std::strerror(error);
}

// A file that is neither regular nor a directory, in words.
const char* specialKind(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

// Why a target found by openFile is not written: what notReplaceable names.
std::string refusedTarget(const std::string& what) {
  return what + ", not a regular file";
}

// The temporary file of the output being written, for removeUnfinishedOutput: a fixed buffer
// that a signal handler can read without allocating, valid while `pendingOutputSet` is 1.
char pendingOutput[4096];
volatile std::sig_atomic_t pendingOutputSet = 0;

}  // namespace

void MoleWriter::notePendingOutput(const std::string& path) {
  pendingOutputSet = 0;
  if (path.empty() || path.size() >= sizeof pendingOutput) return;
  std::memcpy(pendingOutput, path.c_str(), path.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the path before the flag
  pendingOutputSet = 1;
}

void MoleWriter::removeUnfinishedOutput() {
  if (pendingOutputSet) unlink(pendingOutput);
  pendingOutputSet = 0;
}

std::string MoleWriter::notReplaceable(const std::string& path) {
  struct stat info;
  // Nothing there yet, or a path that cannot be looked at: opening it says what is wrong.
  if (path.empty() || lstat(path.c_str(), &info) != 0) return std::string();
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) return std::string();
  if (!S_ISLNK(info.st_mode)) return specialKind(info.st_mode);
  // A link is judged by what it leads to; one that leads nowhere would make the rename replace
  // the link itself.
  if (stat(path.c_str(), &info) != 0) {
    const int error = errno;
    std::error_code ignored;
    const std::string target = std::filesystem::read_symlink(path, ignored).string();
    if (error == ENOENT) return "a symbolic link to " + target + ", which does not exist";
    return "a symbolic link to " + target + " that cannot be followed (" + errnoText(error) + ")";
  }
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) return std::string();
  std::string what = std::string("a symbolic link to ") + specialKind(info.st_mode);
  if (char* real = realpath(path.c_str(), nullptr)) {
    what += std::string(" (") + real + ")";
    free(real);
  }
  return what;
}

MoleWriter::MoleWriter() = default;

MoleWriter::MoleWriter(std::string path, short mode)
    : path_(std::move(path)), mode_(static_cast<unsigned short>(mode)) {
  openFile();
}

MoleWriter::~MoleWriter() {
  finishPending();
}

bool MoleWriter::newFile(std::string path, unsigned mode) {
  finishPending();
  path_ = std::move(path);
  mode_ = static_cast<unsigned short>(mode);
  return openFile();
}

void MoleWriter::finishPending() {
  if (file_ != nullptr && !closeFile())
    diagnostics() << "Error Writing to " << path_ << " : " << error_ << std::endl;
}

bool MoleWriter::openFile() {
  finishPending();
  error_.clear();
  if (path_.empty()) {
    fail("No file given");
    return false;
  }
  if (path_.back() == '/') {
    fail(errnoText(EISDIR));
    return false;
  }
  // A FIFO, a device or a socket is never replaced by the rename, nor a link that leads to one.
  if (const std::string what = notReplaceable(path_); !what.empty()) {
    fail(refusedTarget(what));
    return false;
  }

  // A link is followed, as opening it for writing would: its target is the file replaced.
  target_ = path_;
  struct stat info;
  if (lstat(path_.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* real = realpath(path_.c_str(), nullptr)) {
      target_ = real;
      free(real);
    }
  }
  mode_t permissions = 0666 & ~currentUmask();
  if (stat(target_.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      fail(errnoText(EISDIR));
      return false;
    }
    // An existing file that may not be written keeps its content, as it would under fopen.
    if (access(target_.c_str(), W_OK) != 0) {
      fail(errnoText(errno));
      return false;
    }
    if (S_ISREG(info.st_mode)) permissions = info.st_mode & 07777;
  }

  const auto slash = target_.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::string pattern = dir + "." + base.substr(0, kMaxTempStem) + ".XXXXXX";
  // No signal comes between the file's creation and the note that lets a handler remove it.
  sigset_t all, previous;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &previous);
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  const int createError = errno;
  if (fd >= 0) notePendingOutput(pattern);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (fd < 0) {
    fail(errnoText(createError));
    return false;
  }
  // mkostemp creates the file readable by its owner only; give it what a plain fopen would.
  fchmod(fd, permissions);
  file_ = fdopen(fd, "w");
  if (file_ == nullptr) {
    fail(errnoText(errno));
    close(fd);
    unlink(pattern.c_str());
    notePendingOutput(std::string());
    return false;
  }
  tempPath_ = pattern;
  if (ferror(file_)) std::cout << "Error Writing to " << path_ << std::endl;
  return true;
}

bool MoleWriter::closeFile() {
  if (file_ == nullptr) return false;
  // No fsync: the rename already makes the output appear whole or not at all to every reader,
  // and waiting for the disk on every file cost more than the rest of writing a small molecule
  // (a run carrying a thousand ligands spent most of its time there).
  if (error_.empty() && fflush(file_) != 0) fail(errnoText(errno));
  FILE* file = file_;
  file_ = nullptr;
  if (fclose(file) != 0) fail(errnoText(errno));
  // What the target is may have changed since openFile looked.
  if (error_.empty()) {
    if (const std::string what = notReplaceable(target_); !what.empty()) fail(refusedTarget(what));
  }
  if (error_.empty() && rename(tempPath_.c_str(), target_.c_str()) != 0) fail(errnoText(errno));
  if (!error_.empty()) unlink(tempPath_.c_str());
  notePendingOutput(std::string());
  tempPath_.clear();
  return error_.empty();
}

void MoleWriter::fail(const std::string& reason) {
  if (error_.empty()) error_ = reason.empty() ? "unknown error" : reason;
}

}  // namespace VXMole
