// The container of LZRW1-KH blocks, over memory and over files.
#include "compression/lzrw1_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <system_error>
#include <vector>

namespace tw {

namespace {

constexpr std::uint8_t kSignatureLzrw1[4] = {'W', 'R', 'Z', 'L'};
constexpr std::uint8_t kSignatureLzh[4] = {'!', 'H', 'Z', 'L'};

// The file codec's I/O buffers; the output one also holds a block's length prefix.
struct Buffers {
  std::vector<std::uint8_t> in;
  std::vector<std::uint8_t> out;
  Buffers() {
    try {
      in.resize(kLzrw1BufferSize);
      out.resize(2 + kLzrw1BufferSize);
    } catch (const std::bad_alloc&) {
      throw Lzrw1Error("Lzrw1 (de)compression : Failed to get memory for I/O buffers !");
    }
  }
};

void putLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// A reader hands out the next n bytes (fewer only at the end; nullptr on a
// read error); a writer lends room for n bytes and takes back how many of
// them to keep (false on a short write). Memory and files share the layout.
template <class Reader, class Writer>
std::uint64_t compressStream(Lzrw1Block& block, std::uint32_t size, Reader& reader, Writer& writer,
                             const std::string& inName, const std::string& outName) {
  const auto commit = [&](std::size_t n) {
    if (!writer.commit(n)) throw Lzrw1Error("Lzrw1 : Error writing to output file : " + outName);
  };
  std::uint8_t* header = writer.reserve(8);
  std::memcpy(header, kSignatureLzrw1, 4);
  putLe32(header + 4, size);
  commit(8);
  std::uint64_t written = 8;
  std::size_t got = 0;
  do {
    const std::uint8_t* in = reader.read(kLzrw1BlockSize, got);
    if (!in) throw Lzrw1Error("Lzrw1 : Error reading from input file : " + inName + " (LZRW1/KH)");
    std::uint8_t* out = writer.reserve(2 + kLzrw1BufferSize);
    const std::size_t length = block.compress(in, got, out + 2);
    out[0] = static_cast<std::uint8_t>(length);
    out[1] = static_cast<std::uint8_t>(length >> 8);
    commit(2 + length);
    written += 2 + length;
  } while (got == kLzrw1BlockSize);
  return written;
}

template <class Reader, class Writer>
std::uint64_t decompressStream(Reader& reader, Writer& writer, const std::string& inName,
                               const std::string& outName) {
  const auto readExactly = [&](std::size_t n) {
    std::size_t got = 0;
    const std::uint8_t* p = reader.read(n, got);
    if (!p || got != n) throw Lzrw1Error("Lzrw1 : Error reading from input file : " + inName);
    return p;
  };
  const std::uint8_t* signature = readExactly(4);
  if (std::memcmp(signature, kSignatureLzh, 4) == 0)
    throw Lzrw1Error("Lzrw1 (LZH decompression) : LZH method not supported !");
  if (std::memcmp(signature, kSignatureLzrw1, 4) != 0)
    throw Lzrw1Error(inName + " : Lzrw1 decompression : this file has no valid header !");
  const std::uint32_t size = getLe32(readExactly(4));
  std::uint64_t written = 0;
  std::size_t got = kLzrw1BlockSize;
  while (got == kLzrw1BlockSize) {
    const std::uint8_t* prefix = readExactly(2);
    const std::size_t length = std::size_t{prefix[0]} | std::size_t{prefix[1]} << 8;
    if (length > kLzrw1BufferSize) throw Lzrw1Error(kLzrw1CorruptBlock);
    const std::uint8_t* in = readExactly(length);
    got = Lzrw1Block::decompress(in, length, writer.reserve(kLzrw1BufferSize));
    if (!writer.commit(got)) throw Lzrw1Error("Lzrw1 : Error writing to output file : " + outName);
    written += got;
  }
  if (written != size)
    throw Lzrw1Error("Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
  return written;
}

struct MemoryReader {
  std::string_view data;
  const std::uint8_t* read(std::size_t n, std::size_t& got) {
    got = std::min(n, data.size());
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    data.remove_prefix(got);
    return p;
  }
};

// Grows the string ahead of the codec so that blocks are coded in place.
struct StringWriter {
  std::string& out;
  std::size_t used = 0;
  std::uint8_t* reserve(std::size_t n) {
    if (out.size() - used < n) out.resize(std::max(used + n, out.size() * 2));
    return reinterpret_cast<std::uint8_t*>(out.data()) + used;
  }
  bool commit(std::size_t n) {
    used += n;
    return true;
  }
  void finish() { out.resize(used); }
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct FileReader {
  std::FILE* file;
  std::vector<std::uint8_t>& buffer;
  const std::uint8_t* read(std::size_t n, std::size_t& got) {
    got = std::fread(buffer.data(), 1, n, file);
    if (got < n && std::ferror(file)) return nullptr;
    return buffer.data();
  }
};

struct FileWriter {
  std::FILE* file;
  std::vector<std::uint8_t>& buffer;
  std::uint8_t* reserve(std::size_t) { return buffer.data(); }
  bool commit(std::size_t n) { return std::fwrite(buffer.data(), 1, n, file) == n; }
};

File openInput(const std::string& name) {
  File in(std::fopen(name.c_str(), "rb"));
  if (!in) throw Lzrw1Error("Lzrw1 (de)compression : Failed to open input file : " + name);
  return in;
}

File createOutput(const std::string& name) {
  File out(std::fopen(name.c_str(), "wb"));
  if (!out) throw Lzrw1Error("Lzrw1 (de)compression : Failed to open output file : " + name);
  return out;
}

// Runs work on a freshly created output; on any failure the partial output is
// closed and deleted before the error goes on.
template <class Work>
std::uint64_t withOutput(const std::string& name, Work&& work) {
  File out = createOutput(name);
  try {
    const std::uint64_t written = work(out.get());
    if (std::fclose(out.release()) != 0) throw Lzrw1Error("Lzrw1 : Error writing to output file : " + name);
    return written;
  } catch (...) {
    out.reset();
    std::error_code ignored;
    std::filesystem::remove(name, ignored);
    throw;
  }
}

}  // namespace

std::string lzrw1Compress(std::string_view data) {
  if (data.size() > std::numeric_limits<std::uint32_t>::max())
    throw Lzrw1Error("Lzrw1 compression : Failed to obtain the size of : <memory>");
  Lzrw1Block block;
  std::string out(data.size() + data.size() / kLzrw1BlockSize * 3 + 8 + 2 + kLzrw1BufferSize, '\0');
  MemoryReader reader{data};
  StringWriter writer{out};
  compressStream(block, static_cast<std::uint32_t>(data.size()), reader, writer, "<memory>", "<memory>");
  writer.finish();
  return out;
}

std::string lzrw1Decompress(std::string_view container, const std::string& name) {
  std::uint64_t hint = 0;
  if (container.size() >= 8) {
    // The size field is only a hint here: a block expands at most about a
    // thousand times, so a forged size cannot make us allocate much more.
    const auto size = getLe32(reinterpret_cast<const std::uint8_t*>(container.data()) + 4);
    hint = std::min<std::uint64_t>(size, std::uint64_t{container.size()} * 1100);
  }
  std::string out(hint + kLzrw1BufferSize, '\0');
  MemoryReader reader{container};
  StringWriter writer{out};
  decompressStream(reader, writer, name, "<memory>");
  writer.finish();
  return out;
}

Tlzrw1::Tlzrw1() {
  try {
    block_ = std::make_unique<Lzrw1Block>();
  } catch (const std::bad_alloc&) {
    throw Lzrw1Error("LZRW1KH : no memory for HASH table");
  }
}

std::uint64_t Tlzrw1::compress() {
  Buffers buffers;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(inputFile, error);
  if (error || size > std::numeric_limits<std::uint32_t>::max())
    throw Lzrw1Error("Lzrw1 compression : Failed to obtain the size of : " + inputFile);
  File in = openInput(inputFile);
  return withOutput(outputFile, [&](std::FILE* out) {
    FileReader reader{in.get(), buffers.in};
    FileWriter writer{out, buffers.out};
    return compressStream(*block_, static_cast<std::uint32_t>(size), reader, writer, inputFile, outputFile);
  });
}

std::uint64_t Tlzrw1::decompress() {
  Buffers buffers;
  File in = openInput(inputFile);
  return withOutput(outputFile, [&](std::FILE* out) {
    FileReader reader{in.get(), buffers.in};
    FileWriter writer{out, buffers.out};
    return decompressStream(reader, writer, inputFile, outputFile);
  });
}

}  // namespace tw
