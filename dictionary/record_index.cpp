// RecordIndex: bucketised cuckoo hashing; every text may sit in one of two
// buckets, so a lookup loads both lines at once and never probes further.
#include "dictionary/record_index.h"

#include "dictionary/byte_words.h"

#include <bit>
#include <cstring>
#include <utility>

namespace tw {

namespace {

// Up to this share of slots is filled; two 16-slot choices place keys
// reliably far beyond it.
constexpr std::size_t kLoadPercent = 95;
constexpr int kMaxKicks = 2000;
constexpr int kBuildAttempts = 4;
using byte_words::kOnes;
using byte_words::loadLittle;
using byte_words::zeroBytes;

std::uint64_t textHash(RecordText text) {
  std::uint64_t h = text.head ^ (text.tail * 0x9E3779B97F4A7C15ull);
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

std::size_t scaled(std::uint32_t x, std::size_t count) {
  return static_cast<std::size_t>((static_cast<std::uint64_t>(x) * count) >> 32);
}

}  // namespace

RecordText recordTextAt(std::string_view image, std::size_t record) {
  const char* text = image.data() + record * RecordIndex::recordWidth + 1;
  // The tail is loaded from bytes 6-13, so the load stays inside the record; bytes 6 and 7 are shifted out.
  return {loadLittle(text), loadLittle(text + 6) >> 16};
}

int searchSorted(std::string_view image, RecordText key) {
  char bytes[RecordIndex::textWidth];
  for (std::size_t k = 0; k < RecordIndex::textWidth; ++k)
    bytes[k] = static_cast<char>(k < 8 ? key.head >> (8 * k) : key.tail >> (8 * (k - 8)));
  const std::size_t records = image.size() / RecordIndex::recordWidth;
  std::size_t low = 0;
  std::size_t high = records;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (std::memcmp(image.data() + middle * RecordIndex::recordWidth + 1, bytes, RecordIndex::textWidth) < 0)
      low = middle + 1;
    else
      high = middle;
  }
  if (low < records && recordTextAt(image, low) == key) return static_cast<int>(low);
  return -1;
}

namespace {

struct Place {
  std::size_t first;
  std::size_t second;
  std::uint8_t tag;
};

Place placeOf(RecordText text, std::size_t bucketCount) {
  const std::uint64_t h = textHash(text);
  const auto tag = static_cast<std::uint8_t>(h);
  return {scaled(static_cast<std::uint32_t>(h >> 32), bucketCount),
          scaled(static_cast<std::uint32_t>(h), bucketCount), tag == 0 ? std::uint8_t{1} : tag};
}

}  // namespace

bool RecordIndex::build(std::string_view image) {
  const std::size_t records = image.size() / recordWidth;
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < records; ++i) {
    const char* text = image.data() + i * recordWidth + 1;
    distinct += i == 0 || std::memcmp(text - recordWidth, text, textWidth) != 0 ? 1 : 0;
  }
  std::size_t count = (distinct * 100 + kSlots * kLoadPercent - 1) / (kSlots * kLoadPercent);
  count = count == 0 ? 1 : count;
  for (int attempt = 0; attempt < kBuildAttempts; ++attempt) {
    if (records < (std::size_t{1} << 24) && tryBuild(image, count)) return true;
    count += count / 4 + 1;
  }
  owned_.clear();
  owned_.shrink_to_fit();
  bucketCount_ = 0;
  return false;
}

std::string_view RecordIndex::bucketBytes() const {
  return {reinterpret_cast<const char*>(buckets()), bucketCount_ * sizeof(Bucket)};
}

RecordIndex RecordIndex::inPlace(std::string_view bytes) {
  RecordIndex index;
  // Anything but whole, aligned buckets leaves the index empty: lookups then search the records.
  if (bytes.size() % sizeof(Bucket) == 0 && reinterpret_cast<std::uintptr_t>(bytes.data()) % alignof(Bucket) == 0) {
    index.external_ = reinterpret_cast<const Bucket*>(bytes.data());
    index.bucketCount_ = bytes.size() / sizeof(Bucket);
  }
  return index;
}

bool RecordIndex::tryBuild(std::string_view image, std::size_t bucketCount) {
  external_ = nullptr;
  owned_.assign(bucketCount, Bucket{});
  bucketCount_ = bucketCount;
  struct Entry {
    std::uint32_t index;
    std::uint8_t tag;
  };
  auto placeInto = [this](std::size_t bucket, Entry entry) {
    Bucket& b = owned_[bucket];
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
      if (b.tag[slot] == 0) {
        b.tag[slot] = entry.tag;
        for (std::size_t k = 0; k < 3; ++k)
          b.index[slot * 3 + k] = static_cast<std::uint8_t>(entry.index >> (8 * k));
        return true;
      }
    }
    return false;
  };
  auto swapWith = [this](std::size_t bucket, std::size_t slot, Entry& entry) {
    Bucket& b = owned_[bucket];
    Entry old{0, b.tag[slot]};
    for (std::size_t k = 0; k < 3; ++k) {
      old.index |= static_cast<std::uint32_t>(b.index[slot * 3 + k]) << (8 * k);
      b.index[slot * 3 + k] = static_cast<std::uint8_t>(entry.index >> (8 * k));
    }
    b.tag[slot] = entry.tag;
    entry = old;
  };

  std::uint64_t random = 0x2545F4914F6CDD1Dull;
  const std::size_t records = image.size() / recordWidth;
  for (std::size_t i = 0; i < records; ++i) {
    const char* text = image.data() + i * recordWidth + 1;
    // Later records of a run of equal texts are never the answer.
    if (i > 0 && std::memcmp(text - recordWidth, text, textWidth) == 0) continue;
    const Place place = placeOf(recordTextAt(image, i), bucketCount);
    Entry entry{static_cast<std::uint32_t>(i), place.tag};
    if (placeInto(place.first, entry) || placeInto(place.second, entry)) continue;
    // Both buckets full: move a random resident to its other bucket, and so on.
    std::size_t bucket = place.first;
    bool placed = false;
    for (int kick = 0; kick < kMaxKicks && !placed; ++kick) {
      random ^= random << 13;
      random ^= random >> 7;
      random ^= random << 17;
      swapWith(bucket, random % kSlots, entry);
      const Place home = placeOf(recordTextAt(image, entry.index), bucketCount);
      bucket = bucket == home.first ? home.second : home.first;
      placed = placeInto(bucket, entry);
    }
    if (!placed) return false;
  }
  return true;
}

int RecordIndex::find(std::string_view image, RecordText key) const {
  if (bucketCount_ == 0) return -1;
  const Place place = placeOf(key, bucketCount_);
  const Bucket* const candidates[2] = {buckets() + place.first, buckets() + place.second};
  // Eight tags at a time, without branches, so the loads of both lines overlap.
  const std::uint64_t pattern = kOnes * place.tag;
  std::uint64_t matches[4];
  for (std::size_t half = 0; half < 4; ++half) {
    matches[half] = zeroBytes(loadLittle(candidates[half / 2]->tag + (half % 2) * 8) ^ pattern);
  }
  for (std::size_t half = 0; half < 4; ++half) {
    for (std::uint64_t m = matches[half]; m != 0; m &= m - 1) {
      const std::size_t slot = (half % 2) * 8 + static_cast<std::size_t>(std::countr_zero(m)) / 8;
      const std::uint8_t* bytes = candidates[half / 2]->index + slot * 3;
      const std::size_t index = bytes[0] | std::size_t{bytes[1]} << 8 | std::size_t{bytes[2]} << 16;
      if (recordTextAt(image, index) == key) return static_cast<int>(index);
    }
  }
  return -1;
}

}  // namespace tw
