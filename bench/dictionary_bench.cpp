// Word lookup: TDictn against a hash set of the same words and against a
// binary search that reads one record from the file per probe.
#include "dictionary/dictn.h"
#include "dictionary/word_lists.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The built-in list written to a scratch folder, and one mix of keys: half
// words of the list, half near misses, in random order.
struct Fixture {
  fs::path dir;
  std::unique_ptr<tw::TDictn> dict;
  std::vector<std::string> words;
  std::vector<std::string> keys;

  Fixture() {
    dir = fs::temp_directory_path() / ("tw_dict_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    dict = std::make_unique<tw::TDictn>(dir);
    const std::string_view records = tw::builtinWordRecords();
    for (std::size_t i = 0; i < records.size(); i += tw::TDictn::recordWidth) {
      std::string w(records.substr(i + 1, 14));
      w.erase(w.find_last_not_of(' ') + 1);
      for (char& c : w) c = static_cast<char>(c - 'A' + 'a');
      words.push_back(std::move(w));
    }
    std::unordered_set<std::string> present(words.begin(), words.end());
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
    while (keys.size() < 8192) {
      std::string w = words[pick(rng)];
      if (keys.size() % 2 == 1) {
        w[rng() % w.size()] = static_cast<char>('a' + rng() % 26);
        if (rng() % 2) w.push_back('s');
        if (present.count(w)) continue;
      }
      keys.push_back(std::move(w));
    }
  }
  ~Fixture() {
    dict.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// The lookup as one record read per probe, with the walk back over equal records.
class FileProbe {
 public:
  explicit FileProbe(const fs::path& path) : fd_(::open(path.c_str(), O_RDONLY)) {
    last_ = static_cast<long>(fs::file_size(path) / 15) - 1;
  }
  ~FileProbe() { ::close(fd_); }

  long find(const std::string& word) const {
    std::string key = word.substr(0, 255);
    std::replace(key.begin(), key.end(), '\0', ' ');
    key.erase(0, key.find_first_not_of(' ') == std::string::npos ? key.size() : key.find_first_not_of(' '));
    key.erase(key.find_last_not_of(' ') + 1);
    if (key.empty()) return -1;
    if (key.size() < 15) key.resize(15, ' ');
    for (char& c : key) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    long low = 0;
    long high = last_;
    std::string text;
    while (low <= high) {
      long middle = (low + high) / 2;
      if (!read(middle, text)) return -1;
      int cmp = text.compare(key);
      if (cmp == 0) {
        while (middle > 0 && read(middle - 1, text) && text == key) --middle;
        return middle;
      }
      if (cmp < 0)
        low = middle + 1;
      else
        high = middle - 1;
    }
    return -1;
  }

 private:
  bool read(long index, std::string& text) const {
    char buffer[16] = {};
    if (::pread(fd_, buffer, 15, static_cast<off_t>(index) * 15) != 15) return false;
    buffer[15] = ' ';
    text.assign(buffer + 1, 15);
    for (char& c : text) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return true;
  }

  int fd_;
  long last_;
};

void lookup(benchmark::State& state) {
  Fixture& f = fixture();
  std::size_t i = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    bool hit = f.dict->CheckWord(f.keys[i++ % f.keys.size()]);
    benchmark::DoNotOptimize(hit);
    found += hit;
  }
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
  state.counters["record_bytes"] = static_cast<double>(f.dict->recordCount()) * tw::TDictn::recordWidth;
  state.counters["memory_bytes"] = static_cast<double>(f.dict->memoryBytes());
}

void lookupHashset(benchmark::State& state) {
  Fixture& f = fixture();
  const std::unordered_set<std::string> set(f.words.begin(), f.words.end());
  std::size_t i = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    bool hit = set.count(f.keys[i++ % f.keys.size()]) != 0;
    benchmark::DoNotOptimize(hit);
    found += hit;
  }
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}

void lookupFileprobe(benchmark::State& state) {
  Fixture& f = fixture();
  const FileProbe probe(f.dict->workingFile());
  std::size_t i = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    bool hit = probe.find(f.keys[i++ % f.keys.size()]) >= 0;
    benchmark::DoNotOptimize(hit);
    found += hit;
  }
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}

const bool registered = [] {
  benchmark::RegisterBenchmark("dictionary/lookup", lookup);
  benchmark::RegisterBenchmark("dictionary/lookup_hashset", lookupHashset);
  benchmark::RegisterBenchmark("dictionary/lookup_fileprobe", lookupFileprobe);
  return true;
}();

}  // namespace
