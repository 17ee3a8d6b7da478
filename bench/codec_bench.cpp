// Codec throughput: LZRW1-KH container against zlib on the same inputs.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "compression/lzrw1_file.h"

namespace {

// A tally grid as the tally window saves it: counts, then every cell column
// by column, CR LF after each.
std::string makeGrid(std::size_t target) {
  std::mt19937 rng(42);
  static const char* const stems[] = {"Ann", "Bob", "Chris", "Dora", "Eve", "Fritz", "Gina", "Hal"};
  const std::size_t rows = target / 40;
  std::vector<std::vector<std::string>> columns(9, std::vector<std::string>(rows));
  for (std::size_t r = 0; r < rows; ++r) {
    columns[0][r] = std::string(stems[rng() % 8]) + std::to_string(rng() % 5000);
    const unsigned games = rng() % 400;
    columns[1][r] = std::to_string(games);
    columns[2][r] = std::to_string(games ? rng() % (games + 1) : 0);
    columns[3][r] = std::to_string(games ? rng() % (games + 1) : 0);
    columns[4][r] = std::to_string(games ? rng() % (games + 1) : 0);
    for (int c = 5; c < 9; ++c) columns[c][r] = "0";
  }
  columns[4][0] = "whirligig";
  columns[5][0] = "38";
  std::string out = "9\r\n" + std::to_string(rows) + "\r\n";
  for (const auto& column : columns)
    for (const auto& cell : column) out += cell + "\r\n";
  return out;
}

// Text, numeric tables, little-endian records, runs and noise in turns.
std::string makeMixed(std::size_t size) {
  std::mt19937 rng(7);
  static const char* const words[] = {"the",   "tile", "whirl", "board", "letter", "score", "player", "round",
                                      "bonus", "turn", "word",  "seat",  "a",      "of",    "and"};
  std::string out;
  out.reserve(size + 70000);
  while (out.size() < size) {
    const std::size_t chunk = 4096 + rng() % 60000;
    const std::size_t end = out.size() + chunk;
    switch (rng() % 5) {
      case 0:
      case 1:
        while (out.size() < end) {
          out += words[rng() % std::size(words)];
          out += rng() % 12 == 0 ? ".\n" : " ";
        }
        break;
      case 2:
        while (out.size() < end) {
          const std::uint32_t v = rng() % 100000;
          out.append(reinterpret_cast<const char*>(&v), 4);
          out.append(4, '\0');
        }
        break;
      case 3:
        while (out.size() < end) out.append(1 + rng() % 100, static_cast<char>("\0 \xFF"[rng() % 3]));
        break;
      default:
        while (out.size() < end) out += static_cast<char>(rng());
    }
  }
  out.resize(size);
  return out;
}

const std::string& input(int which) {
  static const std::string grid = makeGrid(1 << 20);
  static const std::string mixed = makeMixed(8 << 20);
  return which == 0 ? grid : mixed;
}

std::string zlibCompress(const std::string& data) {
  uLongf length = compressBound(data.size());
  std::string out(length, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
                data.size(), 1) != Z_OK)
    throw std::runtime_error("zlib compress failed");
  out.resize(length);
  return out;
}

std::string zlibDecompress(const std::string& packed, std::size_t size) {
  std::string out(size, '\0');
  uLongf length = size;
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(packed.data()),
                 packed.size()) != Z_OK)
    throw std::runtime_error("zlib uncompress failed");
  return out;
}

void finish(benchmark::State& state, const std::string& data, std::size_t packedSize) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(packedSize) / static_cast<double>(data.size());
}

void compressOurs(benchmark::State& state, int which) {
  const std::string& data = input(which);
  std::string packed;
  for (auto _ : state) {
    packed = tw::lzrw1Compress(data);
    benchmark::DoNotOptimize(packed.data());
  }
  finish(state, data, packed.size());
}

void compressZlib(benchmark::State& state, int which) {
  const std::string& data = input(which);
  std::string packed;
  for (auto _ : state) {
    packed = zlibCompress(data);
    benchmark::DoNotOptimize(packed.data());
  }
  finish(state, data, packed.size());
}

void decompressOurs(benchmark::State& state, int which) {
  const std::string& data = input(which);
  const std::string packed = tw::lzrw1Compress(data);
  if (tw::lzrw1Decompress(packed) != data) {
    state.SkipWithError("round trip lost bytes");
    return;
  }
  for (auto _ : state) {
    std::string out = tw::lzrw1Decompress(packed);
    benchmark::DoNotOptimize(out.data());
  }
  finish(state, data, packed.size());
}

void decompressZlib(benchmark::State& state, int which) {
  const std::string& data = input(which);
  const std::string packed = zlibCompress(data);
  if (zlibDecompress(packed, data.size()) != data) {
    state.SkipWithError("round trip lost bytes");
    return;
  }
  for (auto _ : state) {
    std::string out = zlibDecompress(packed, data.size());
    benchmark::DoNotOptimize(out.data());
  }
  finish(state, data, packed.size());
}

const bool registered = [] {
  const char* const names[] = {"grid1M", "mixed8M"};
  for (int which = 0; which < 2; ++which) {
    const std::string suffix = std::string("/") + names[which];
    benchmark::RegisterBenchmark(("codec/compress" + suffix).c_str(), compressOurs, which);
    benchmark::RegisterBenchmark(("codec/compress_zlib1" + suffix).c_str(), compressZlib, which);
    benchmark::RegisterBenchmark(("codec/decompress" + suffix).c_str(), decompressOurs, which);
    benchmark::RegisterBenchmark(("codec/decompress_zlib" + suffix).c_str(), decompressZlib, which);
  }
  return true;
}();

}  // namespace
