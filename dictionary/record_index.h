// RecordIndex: a hash index over the 14-byte texts of a sorted record image,
// so that a lookup reads two cache lines of index and one record instead of
// the ~18 records of a binary search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tw {

// A 14-byte record text held in two words, byte k at bits 8k: bytes 0-7 in
// head, bytes 8-13 in tail. Keys are built straight into registers this way.
struct RecordText {
  std::uint64_t head = 0;
  std::uint64_t tail = 0;
  bool operator==(const RecordText&) const = default;
};

// The text of the record at image offset, which points at the record's first byte.
RecordText recordTextAt(std::string_view image, std::size_t record);

// Binary search of a sorted record image for the first record whose text
// equals key, or -1: the answer RecordIndex::find gives.
int searchSorted(std::string_view image, RecordText key);

class RecordIndex {
 public:
  static constexpr std::size_t recordWidth = 15;
  static constexpr std::size_t textWidth = 14;

  // Indexes the first record of every run of equal texts. False (and an
  // empty index) when the texts defeat the hash and cannot all be placed.
  bool build(std::string_view image);
  // The record whose text equals key, or -1.
  int find(std::string_view image, RecordText key) const;

  // The index's bytes, which a generator writes out, so that inPlace can
  // read them where they lie (read-only data compiled in), with no copy.
  std::string_view bucketBytes() const;
  static RecordIndex inPlace(std::string_view bucketBytes);

  bool empty() const { return bucketCount_ == 0; }
  // Bytes of memory this index holds of its own.
  std::size_t bytes() const { return owned_.capacity() * sizeof(Bucket); }

 private:
  static constexpr std::size_t kSlots = 16;
  // One cache line: a tag byte per slot (0 when the slot is free; tags
  // are never 0), then each slot's record index in three bytes.
  struct alignas(64) Bucket {
    std::uint8_t tag[kSlots];
    std::uint8_t index[kSlots * 3];
  };
  bool tryBuild(std::string_view image, std::size_t bucketCount);
  const Bucket* buckets() const { return external_ ? external_ : owned_.data(); }

  std::vector<Bucket> owned_;
  const Bucket* external_ = nullptr;
  std::size_t bucketCount_ = 0;
};

}  // namespace tw
