// TDictn: opens the word list and answers lookups from memory.
#include "dictionary/dictn.h"

#include "dictionary/byte_words.h"
#include "dictionary/word_lists.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <system_error>

namespace tw {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTextWidth = TDictn::recordWidth - 1;
constexpr std::size_t kMaxKeyBytes = 255;
// A list a player supplies is read whole; this bounds what a stray file can cost.
constexpr std::uintmax_t kMaxImageBytes = 64u << 20;
static_assert(kMaxImageBytes / TDictn::recordWidth < (1u << 24), "record indices must fit the index slots");

char upperLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-cases the record texts (and turns NUL into space, as keys do), so a
// lookup compares raw bytes; then reports why the image cannot be searched.
std::string prepareImage(std::string& image) {
  if (image.empty()) return "holds no records";
  if (image.size() > kMaxImageBytes) return "is larger than " + std::to_string(kMaxImageBytes) + " bytes";
  if (image.size() % TDictn::recordWidth != 0)
    return "has " + std::to_string(image.size()) + " bytes, not a whole number of " +
           std::to_string(TDictn::recordWidth) + "-byte records";
  const std::size_t count = image.size() / TDictn::recordWidth;
  for (std::size_t i = 0; i < count; ++i) {
    char* text = image.data() + i * TDictn::recordWidth + 1;
    for (std::size_t k = 0; k < kTextWidth; ++k) text[k] = text[k] == '\0' ? ' ' : upperLetter(text[k]);
    if (i > 0 && std::memcmp(text - TDictn::recordWidth, text, kTextWidth) > 0)
      return "is not in ascending order at record " + std::to_string(i);
  }
  return {};
}

using byte_words::kHighBits;
using byte_words::kLow7;
using byte_words::kOnes;
using byte_words::loadBytes;
using byte_words::zeroBytes;

// Bytes p[0..n) (n <= 8) into a word, byte k at bits 8k, the rest zero,
// with a few whole loads: a key built byte by byte in memory and read back
// as words would stall the read.
std::uint64_t loadUpTo8(const char* p, std::size_t n) {
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;
  if (n >= 4) {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::memcpy(&a, p, 4);
    std::memcpy(&b, p + n - 4, 4);
    if constexpr (std::endian::native == std::endian::big) return loadBytes(p, n);
    lo = a;
    hi = std::uint64_t{b} << (8 * (n - 4));
  } else if (n > 0) {
    lo = loadBytes(p, n);
  }
  return lo | hi;
}

// The first n bytes of x upper-cased (a-z only) with NUL read as space; the
// other bytes become spaces.
std::uint64_t normalisedBytes(std::uint64_t x, std::size_t n) {
  const std::uint64_t kept = n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1;
  x = (x & kept) | (0x2020202020202020ull & ~kept);
  const std::uint64_t low7 = x & kLow7;
  const std::uint64_t atLeastA = (low7 + (0x80 - 'a') * kOnes) & kHighBits;
  const std::uint64_t aboveZ = (low7 + (0x80 - 'z' - 1) * kOnes) & kHighBits;
  const std::uint64_t lower = atLeastA & ~aboveZ & ~x & kHighBits;
  x ^= lower >> 2;
  return x | (zeroBytes(x) >> 2);
}

// The key rules: at most 255 bytes, NUL read as space, surrounding spaces
// dropped, upper-cased and padded to the record text. Gives the trimmed
// length; only 1 to 14 can match, because every record text ends in a space.
std::size_t normaliseKey(std::string_view word, RecordText& key) {
  word = word.substr(0, kMaxKeyBytes);
  auto isSpace = [](char c) { return c == ' ' || c == '\0'; };
  std::size_t begin = 0;
  std::size_t end = word.size();
  while (begin < end && isSpace(word[begin])) ++begin;
  while (end > begin && isSpace(word[end - 1])) --end;
  const std::size_t length = end - begin;
  if (length == 0 || length > kTextWidth) return length;
  const char* p = word.data() + begin;
  key.head = loadUpTo8(p, std::min<std::size_t>(length, 8));
  key.tail = length > 8 ? loadUpTo8(p + 8, length - 8) : 0;
  key.head = normalisedBytes(key.head, std::min<std::size_t>(length, 8));
  key.tail = normalisedBytes(key.tail, length > 8 ? length - 8 : 0) & 0xFFFFFFFFFFFFull;
  return length;
}

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// The built-in lists of earlier releases, by size and FNV-1a digest: a copy
// of one that a stopped host left behind is ours too, and is brought up to date.
struct ListPrint {
  std::size_t size;
  std::uint64_t digest;
};
constexpr ListPrint kEarlierBuiltinLists[] = {
    {3592875, 0x7d079ee12487c538ull},  // 239,525 words, before the variant spellings
};

std::uint64_t digestOf(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}

bool isEarlierBuiltinList(std::string_view image) {
  for (const ListPrint& print : kEarlierBuiltinLists)
    if (image.size() == print.size && digestOf(image) == print.digest) return true;
  return false;
}

// The owner of "English" holds a lock on it for as long as it runs, and the
// system drops the lock when a copy dies; so a copy starting beside a running
// one can tell that one's file from a file left behind. False only when
// another copy holds the lock (a file system without locks counts as free).
bool lockAsOwner(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

}  // namespace

void TDictn::logToStderr(const std::string& line) { std::cerr << line << '\n'; }

TDictn::TDictn(const fs::path& workDir, LogFn log) : log_(log ? std::move(log) : LogFn(logToStderr)) {
  fs::path path = workDir.empty() ? fs::path(workingFileName) : workDir / workingFileName;
  std::error_code ec;
  // Absolute, so the file removed at the end is the one opened here even if the current directory changes.
  filePath_ = fs::absolute(path, ec);
  if (ec) filePath_ = path;
  openWorkingFile();
}

TDictn::TDictn(MemoryImage image, LogFn log) : log_(log ? std::move(log) : LogFn(logToStderr)) {
  std::string fault = prepareImage(image.bytes);
  if (!fault.empty()) {
    log_("Dictionary: the word list given " + fault + "; using the built-in word list");
    serveBuiltin(Source::Builtin);
    return;
  }
  serve(std::move(image.bytes), Source::Memory);
}

TDictn::~TDictn() {
  if (createdFile_) {
    std::error_code ec;
    fs::remove(filePath_, ec);
    if (ec) log_("Dictionary: cannot delete " + quoted(filePath_) + ": " + ec.message());
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

void TDictn::openWorkingFile() {
  std::error_code ec;
  const bool present = fs::exists(filePath_, ec);
  if (ec) {
    log_("Dictionary: cannot look for " + quoted(filePath_) + ": " + ec.message() +
         "; using the built-in word list");
    serveBuiltin(Source::Builtin);
    return;
  }
  if (!present) {
    std::string error;
    if (!writeBuiltinList(error)) {
      log_("Dictionary: cannot write " + quoted(filePath_) + ": " + error + "; using the built-in word list");
      serveBuiltin(Source::Builtin);
      return;
    }
    // The file now holds exactly the built-in records, so they are served without reading it back.
    createdFile_ = true;
    serveBuiltin(Source::CreatedWorkingFile);
    return;
  }

  std::string image;
  std::string fault = readWorkingFile(image);
  if (fault.empty() && takeOverLeftover(image)) return;
  if (fault.empty()) fault = prepareImage(image);
  if (!fault.empty()) {
    log_("Dictionary: " + quoted(filePath_) + " " + fault + "; left as it is, using the built-in word list");
    serveBuiltin(Source::Builtin);
    return;
  }
  serve(std::move(image), Source::WorkingFile);
}

std::string TDictn::readWorkingFile(std::string& image) const {
  std::error_code ec;
  if (!fs::is_regular_file(filePath_, ec)) return "is not a file that can be read";
  const std::uintmax_t size = fs::file_size(filePath_, ec);
  if (ec) return "cannot be opened: " + ec.message();
  if (size > kMaxImageBytes) return "is larger than " + std::to_string(kMaxImageBytes) + " bytes";
  std::ifstream in(filePath_, std::ios::binary);
  if (!in) return "cannot be opened";
  image.resize(static_cast<std::size_t>(size));
  in.read(image.data(), static_cast<std::streamsize>(image.size()));
  if (in.gcount() != static_cast<std::streamsize>(image.size()) || in.peek() != EOF)
    return "changed size while being read";
  return {};
}

bool TDictn::writeBuiltinList(std::string& error) {
  const std::string_view records = builtinWordRecords();
  // O_EXCL: never overwrite a list that appeared since the check above. The
  // lock is taken before the first byte, so no copy takes a half-written
  // file for one left behind.
  const int fd = ::open(filePath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  (void)lockAsOwner(fd);
  std::size_t done = 0;
  int writeErrno = ENOSPC;  // a write that takes nothing: the disk is full
  while (done < records.size()) {
    const ssize_t n = ::write(fd, records.data() + done, records.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) writeErrno = errno;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (done == records.size()) {
    lockFd_ = fd;
    return true;
  }
  error = std::strerror(writeErrno);
  ::close(fd);
  // A cut-short file would be taken for a player's list at the next start.
  std::error_code ec;
  fs::remove(filePath_, ec);
  return false;
}

bool TDictn::takeOverLeftover(const std::string& image) {
  const bool current = image == builtinWordRecords();
  if (!current && !isEarlierBuiltinList(image)) return false;  // a player's own list
  const int fd = ::open(filePath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (!lockAsOwner(fd)) {
    // A running copy's file: used as it is and left to that copy.
    ::close(fd);
    return false;
  }
  if (current) {
    lockFd_ = fd;
    createdFile_ = true;
    log_("Dictionary: " + quoted(filePath_) +
         " is the built-in word list left by a copy that stopped; used and removed at the end");
    serveBuiltin(Source::LeftoverWorkingFile);
    return true;
  }
  std::error_code ec;
  fs::remove(filePath_, ec);
  ::close(fd);
  std::string error = ec ? ec.message() : std::string();
  if (!ec && writeBuiltinList(error)) {
    createdFile_ = true;
    log_("Dictionary: " + quoted(filePath_) +
         " held an earlier built-in word list left by a copy that stopped; replaced with this one and "
         "removed at the end");
    serveBuiltin(Source::LeftoverWorkingFile);
  } else {
    log_("Dictionary: cannot replace the earlier built-in word list in " + quoted(filePath_) + ": " + error +
         "; using the built-in word list");
    serveBuiltin(Source::Builtin);
  }
  return true;
}

void TDictn::serve(std::string image, Source source) {
  owned_ = std::move(image);
  image_ = owned_;
  source_ = source;
  recordCount_ = static_cast<int>(image_.size() / recordWidth);
  ownIndex_.build(image_);
  index_ = &ownIndex_;
}

void TDictn::serveBuiltin(Source source) {
  owned_.clear();
  owned_.shrink_to_fit();
  image_ = builtinWordRecords();
  source_ = source;
  recordCount_ = static_cast<int>(image_.size() / recordWidth);
  // Made at build time and read where it lies, so no copy builds it at start.
  static const RecordIndex builtinIndex = [] {
    RecordIndex index = RecordIndex::inPlace(builtinWordIndex());
    if (index.empty()) index.build(builtinWordRecords());
    return index;
  }();
  index_ = &builtinIndex;
}

bool TDictn::CheckWord(std::string_view word) const { return FindRecord(word) >= 0; }

int TDictn::FindRecord(std::string_view word) const {
  RecordText key;
  const std::size_t length = normaliseKey(word, key);
  if (length == 0 || length > kTextWidth) return -1;

  return index_->empty() ? searchSorted(image_, key) : index_->find(image_, key);
}

}  // namespace tw
