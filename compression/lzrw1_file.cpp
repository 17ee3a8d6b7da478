// The container of LZRW1-KH blocks, over memory and over files.
#include "lzrw1_file.h"

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
constexpr std::size_t kNoBytes = std::numeric_limits<std::size_t>::max();

struct Buffers {
    std::vector<std::uint8_t> in;
    std::vector<std::uint8_t> out;
    Buffers() {
        try {
            in.resize(kLzrw1BufferSize);
            out.resize(kLzrw1BufferSize);
        } catch (const std::bad_alloc&) {
            throw Lzrw1Error("Lzrw1 (de)compression : Failed to get memory for I/O buffers !");
        }
    }
};

void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// read(buf, n) gives the count read (fewer only at the end) or kNoBytes on an
// error; write(buf, n) gives false on a short write.
template <class Read, class Write>
std::uint64_t compressStream(Lzrw1Block& block, Buffers& buffers, std::uint32_t size, Read&& read,
                             Write&& write, const std::string& inName, const std::string& outName) {
    const auto writeChecked = [&](const std::uint8_t* p, std::size_t n) {
        if (!write(p, n))
            throw Lzrw1Error("Lzrw1 : Error writing to output file : " + outName);
    };
    std::uint8_t header[8];
    std::memcpy(header, kSignatureLzrw1, 4);
    putLe32(header + 4, size);
    writeChecked(header, sizeof header);
    std::uint64_t written = sizeof header;
    std::size_t got = 0;
    do {
        got = read(buffers.in.data(), kLzrw1BlockSize);
        if (got == kNoBytes)
            throw Lzrw1Error("Lzrw1 : Error reading from input file : " + inName + " (LZRW1/KH)");
        const std::size_t length = block.compress(buffers.in.data(), got, buffers.out.data());
        const std::uint8_t prefix[2] = {static_cast<std::uint8_t>(length),
                                        static_cast<std::uint8_t>(length >> 8)};
        writeChecked(prefix, 2);
        writeChecked(buffers.out.data(), length);
        written += 2 + length;
    } while (got == kLzrw1BlockSize);
    return written;
}

template <class Read, class Write>
std::uint64_t decompressStream(Buffers& buffers, Read&& read, Write&& write, const std::string& inName,
                               const std::string& outName) {
    const auto readExactly = [&](std::uint8_t* p, std::size_t n) {
        if (read(p, n) != n)
            throw Lzrw1Error("Lzrw1 : Error reading from input file : " + inName);
    };
    std::uint8_t signature[4];
    readExactly(signature, 4);
    if (std::memcmp(signature, kSignatureLzh, 4) == 0)
        throw Lzrw1Error("Lzrw1 (LZH decompression) : LZH method not supported !");
    if (std::memcmp(signature, kSignatureLzrw1, 4) != 0)
        throw Lzrw1Error(inName + " : Lzrw1 decompression : this file has no valid header !");
    std::uint8_t sizeField[4];
    readExactly(sizeField, 4);
    const std::uint32_t size = getLe32(sizeField);
    std::uint64_t written = 0;
    std::size_t got = kLzrw1BlockSize;
    while (got == kLzrw1BlockSize) {
        std::uint8_t prefix[2];
        readExactly(prefix, 2);
        const std::size_t length = std::size_t{prefix[0]} | std::size_t{prefix[1]} << 8;
        if (length > kLzrw1BufferSize)
            throw Lzrw1Error(kLzrw1CorruptBlock);
        readExactly(buffers.in.data(), length);
        got = Lzrw1Block::decompress(buffers.in.data(), length, buffers.out.data());
        if (!write(buffers.out.data(), got))
            throw Lzrw1Error("Lzrw1 : Error writing to output file : " + outName);
        written += got;
    }
    if (written != size)
        throw Lzrw1Error("Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
    return written;
}

struct MemoryReader {
    std::string_view data;
    std::size_t operator()(std::uint8_t* p, std::size_t n) {
        n = std::min(n, data.size());
        std::memcpy(p, data.data(), n);
        data.remove_prefix(n);
        return n;
    }
};

struct StringWriter {
    std::string& out;
    bool operator()(const std::uint8_t* p, std::size_t n) {
        out.append(reinterpret_cast<const char*>(p), n);
        return true;
    }
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct FileReader {
    std::FILE* file;
    std::size_t operator()(std::uint8_t* p, std::size_t n) {
        const std::size_t got = std::fread(p, 1, n, file);
        if (got < n && std::ferror(file))
            return kNoBytes;
        return got;
    }
};

struct FileWriter {
    std::FILE* file;
    bool operator()(const std::uint8_t* p, std::size_t n) { return std::fwrite(p, 1, n, file) == n; }
};

File openInput(const std::string& name) {
    File in(std::fopen(name.c_str(), "rb"));
    if (!in)
        throw Lzrw1Error("Lzrw1 (de)compression : Failed to open input file : " + name);
    return in;
}

File createOutput(const std::string& name) {
    File out(std::fopen(name.c_str(), "wb"));
    if (!out)
        throw Lzrw1Error("Lzrw1 (de)compression : Failed to open output file : " + name);
    return out;
}

// Runs work on a freshly created output; on any failure the partial output is
// closed and deleted before the error goes on.
template <class Work>
std::uint64_t withOutput(const std::string& name, Work&& work) {
    File out = createOutput(name);
    try {
        const std::uint64_t written = work(out.get());
        if (std::fclose(out.release()) != 0)
            throw Lzrw1Error("Lzrw1 : Error writing to output file : " + name);
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
    Buffers buffers;
    std::string out;
    out.reserve(data.size() + data.size() / 32768 * 3 + 16);
    compressStream(block, buffers, static_cast<std::uint32_t>(data.size()), MemoryReader{data}, StringWriter{out},
                   "<memory>", "<memory>");
    return out;
}

std::string lzrw1Decompress(std::string_view container, const std::string& name) {
    std::string out;
    if (container.size() >= 8) {
        // The size field is only a hint here: a block expands at most about a
        // thousand times, so a forged size cannot make us reserve much more.
        const auto size = getLe32(reinterpret_cast<const std::uint8_t*>(container.data()) + 4);
        out.reserve(std::min<std::uint64_t>(size, std::uint64_t{container.size()} * 1100));
    }
    Buffers buffers;
    decompressStream(buffers, MemoryReader{container}, StringWriter{out}, name, "<memory>");
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
        return compressStream(*block_, buffers, static_cast<std::uint32_t>(size), FileReader{in.get()},
                              FileWriter{out}, inputFile, outputFile);
    });
}

std::uint64_t Tlzrw1::decompress() {
    Buffers buffers;
    File in = openInput(inputFile);
    return withOutput(outputFile, [&](std::FILE* out) {
        return decompressStream(buffers, FileReader{in.get()}, FileWriter{out}, inputFile, outputFile);
    });
}

}  // namespace tw
