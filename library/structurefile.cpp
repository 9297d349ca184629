// StructureFile: reading by file name, gzip decompression through zlib.
#include "structurefile.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>  // for std::tolower
#include <string>

#include "cifreader.h"
#include "complex.h"
#include "global.h"
#include "linesource.h"
#include "molereader.h"

namespace VXMole {

namespace {

bool endsWithNoCase(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
      return false;
  return true;
}

// Whether text looks like UTF-16: a byte order mark, or a NUL in every other byte of a head
// whose other bytes are text.
bool looksLikeUtf16(const std::string& head) {
  if (head.size() >= 2 &&
      ((head[0] == '\xff' && head[1] == '\xfe') || (head[0] == '\xfe' && head[1] == '\xff')))
    return true;
  size_t pairs = 0, halfNul[2] = {0, 0};
  for (size_t i = 0; i + 1 < head.size(); i += 2, ++pairs)
    for (size_t k = 0; k < 2; ++k)
      if (head[i + k] == '\0' && head[i + 1 - k] != '\0') ++halfNul[k];
  return pairs >= 2 && std::max(halfNul[0], halfNul[1]) * 10 >= pairs * 9;
}

// Whether a head of bytes holds what no text holds: NUL bytes, or many control characters.
bool looksBinary(const std::string& head) {
  size_t control = 0;
  for (const char c : head) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0) return true;
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != '\v')
      ++control;
  }
  return control * 20 > head.size();
}

}  // namespace

std::string StructureFile::whyNoMolecule(const std::string& path) {
  ByteBuffer bytes;
  if (LineSource::readFile(path, bytes) != LineSource::FileRead::kRead)
    return "cannot be read again";
  if (endsWithNoCase(path, ".gz")) {
    try {
      bytes = gunzip(path, bytes.view());
    } catch (const MoleExcept&) {
      return "holds gzip data that cannot be decompressed";
    }
  }
  if (bytes.empty()) return "is empty";
  // The first few kilobytes tell what kind of bytes a file holds.
  const std::string head(bytes.view().substr(0, 4096));
  if (looksLikeUtf16(head)) return "is UTF-16 text: ASCII or UTF-8 text is read";
  if (looksBinary(head)) return "holds binary data, not text";
  if (bytes.view().find_first_not_of(" \t\r\n\f\v") == std::string_view::npos)
    return "holds only blanks";
  return "holds no atom record";
}

std::string StructureFile::withoutGzip(const std::string& path) {
  return endsWithNoCase(path, ".gz") ? path.substr(0, path.size() - 3) : path;
}

bool StructureFile::isCif(const std::string& path) {
  const std::string name = withoutGzip(path);
  return endsWithNoCase(name, ".cif") || endsWithNoCase(name, ".mmcif");
}

ByteBuffer StructureFile::gunzip(const std::string& path, std::string_view compressed) {
  const unsigned long long bound =
      std::min(kMaxDecompressedBytes, kMaxInflation * compressed.size() + (1ull << 20));
  z_stream stream{};
  // 32 + 15: a gzip (or zlib) header, found by zlib itself, and the largest window.
  if (inflateInit2(&stream, 32 + 15) != Z_OK) throw raise(kErrGzipCorrupt, path);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(std::min<size_t>(compressed.size(), 1u << 30));
  size_t fed = stream.avail_in;
  ByteBuffer text;
  // Structure files compress five to ten times: room for most of them at once.
  text.reserve(std::min<unsigned long long>(bound, 8ull * compressed.size()));
  char chunk[1 << 16];
  int status = Z_OK;
  while (true) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    const size_t produced = sizeof chunk - stream.avail_out;
    if (text.size() + produced > bound) {
      inflateEnd(&stream);
      throw raise(kErrGzipTooLarge, path);
    }
    // Grown by hand, so that the text never holds room beyond the bound.
    if (text.size() + produced > text.capacity())
      text.reserve(std::min<unsigned long long>(bound, 2ull * text.capacity() + produced));
    text.append(chunk, produced);
    if (stream.avail_in == 0 && fed < compressed.size()) {
      const size_t more = std::min<size_t>(compressed.size() - fed, 1u << 30);
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()) + fed);
      stream.avail_in = static_cast<uInt>(more);
      fed += more;
    }
    if (status == Z_STREAM_END) {
      if (stream.avail_in == 0 && fed == compressed.size()) break;
      // Another member follows, or padding: zeros after the last member, which gzip passes over.
      const size_t rest = compressed.size() - (fed - stream.avail_in);
      const char* next = reinterpret_cast<const char*>(stream.next_in);
      if (std::all_of(next, next + std::min<size_t>(rest, stream.avail_in),
                      [](char c) { return c == 0; }) &&
          rest == stream.avail_in)
        break;
      inflateReset(&stream);
    } else if (stream.avail_in == 0 && stream.avail_out != 0) {
      break;  // the data ends inside a member
    }
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) throw raise(kErrGzipCorrupt, path);
  return text;
}

void StructureFile::load(const std::string& path, Complex& complex, unsigned type,
                         MoleReader* reader) {
  const bool fresh = reader == nullptr;
  const bool gzip = endsWithNoCase(path, ".gz");
  if (!gzip && !isCif(path)) {
    // PDB and MOL2 files are read by the reader itself, with its own messages.
    if (fresh) {
      MoleReader(path, kFormatDetect).loadInComplex(complex, type);
    } else {
      reader->loadNewFile(path, kFormatDetect);
      reader->loadInComplex(complex, type);
    }
    return;
  }
  const std::string name = withoutGzip(path);
  const unsigned format = isCif(path) ? 0 : MoleReader::formatOfName(name);
  if (!isCif(path) && format == 0)
    throw raise(fresh ? kErrReaderUnknownFormat : kErrReaderLoadUnknownFormat,
                MoleReader::formatTag(name));
  ByteBuffer bytes;
  if (path.empty() || LineSource::readFile(path, bytes) != LineSource::FileRead::kRead)
    throw raise(fresh ? kErrReaderCannotOpen : kErrReaderLoadCannotOpen, path);
  if (gzip) bytes = gunzip(path, bytes.view());
  if (format == 0) {
    CifReader(path).read(bytes.view(), complex, type);
    return;
  }
  MoleReader own;
  MoleReader& text = fresh ? own : *reader;
  text.loadText(path, format, std::move(bytes));
  text.loadInComplex(complex, type);
}

}  // namespace VXMole
