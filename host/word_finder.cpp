// The anagram groups of the word list and the search for the best-scoring
// word that a set of letters allows.
#include "host/word_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <functional>
#include <utility>

namespace tw {

namespace {

// The image: a header, a table of named sections, then the sections, each
// at a multiple of 8 bytes, in the byte order of the machine that made it.
// "FILT" holds a Filter per group, "GRPS" a Group per group in the same
// order (best first), "TEXT" the words. A later version may add sections
// (a byte per word, say); a reader skips the names it does not know.
constexpr char kMagic[8] = {'T', 'W', 'F', 'I', 'N', 'D', 'E', 'R'};
constexpr std::uint32_t kVersion = 2;
constexpr std::uint32_t kMaxSections = 64;
constexpr std::size_t kMaxImageBytes = 256u << 20;

struct Header {
  char magic[8];
  std::uint32_t version = kVersion;
  std::uint32_t sectionCount = 0;
  std::uint64_t imageBytes = 0;
  std::uint32_t wordCount = 0;
  std::uint32_t groupCount = 0;
};
struct Section {
  char name[4];
  std::uint32_t unused = 0;
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
};
static_assert(sizeof(Header) == 32 && sizeof(Section) == 24);

std::size_t alignedUp(std::size_t n) { return (n + 7) / 8 * 8; }

constexpr int kRecordWidth = 15;
constexpr int kTextWidth = 14;

int value(int letter) { return rules::letterValue(letter + 1); }

// A word's letters (0..25), sorted.
struct Sorted {
  std::array<std::uint8_t, WordFinder::kMaxLength> letters{};
  std::size_t length = 0;
};
Sorted sortedLetters(const std::string& word) {
  Sorted out;
  out.length = word.size();
  for (std::size_t i = 0; i < word.size(); ++i) {
    const auto letter = std::uint8_t(word[i] - 'a');
    std::size_t k = i;
    for (; k > 0 && out.letters[k - 1] > letter; --k) out.letters[k] = out.letters[k - 1];
    out.letters[k] = letter;
  }
  return out;
}

// A group's letters as one number: 5 bits a letter (a = 1), first letter
// highest, so equal numbers are equal multisets.
std::uint64_t groupKey(const Sorted& sorted) {
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < std::size_t(WordFinder::kMaxLength); ++i)
    key = key << 5 | (i < sorted.length ? std::uint64_t(sorted.letters[i] + 1) : 0);
  return key;
}

// Lower case, or empty when the word cannot be played.
std::string playable(std::string_view text) {
  if (text.empty() || text.size() > std::size_t(WordFinder::kMaxLength)) return {};
  std::string word(text);
  for (char& c : word) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c < 'a' || c > 'z') return {};
  }
  return word;
}

constexpr std::uint64_t kGuards = 0x8888888888888888ull;
constexpr std::uint64_t kLowNibbles = 0x0F0F0F0F0F0F0F0Full;
constexpr std::uint64_t kCountBits = (std::uint64_t(1) << (2 * rules::kLetterCount)) - 1;
constexpr std::uint64_t kEvenLanes = 0x3333333333333333ull;  // every other 2-bit count, one to a nibble
constexpr std::uint64_t kLowLanes = 0x5555555555555555ull & kCountBits;
constexpr int kCeilingShift = 56;

int ceilingOf(std::uint64_t filter) { return int(filter >> kCeilingShift); }
// The letters a filter holds, one bit low in each 2-bit count.
std::uint64_t present(std::uint64_t counts) { return (counts | counts >> 1) & kLowLanes; }

// Sum over the nibbles of max(0, want - have); every nibble 0..7.
int shortfall(std::uint64_t want, std::uint64_t have) {
  // A nibble's guard bit survives the subtraction exactly where want >= have.
  const std::uint64_t r = (want | kGuards) - have;
  const std::uint64_t d = r & (((r & kGuards) >> 3) * 7);
  const std::uint64_t bytes = (d & kLowNibbles) + ((d >> 4) & kLowNibbles);
  return int((bytes * 0x0101010101010101ull) >> 56);
}
// Whether any nibble of `want` is above that of `have`.
bool exceeds(std::uint64_t want, std::uint64_t have) {
  const std::uint64_t r = (want | kGuards) - have;
  return (r & (((r & kGuards) >> 3) * 7)) != 0;
}
// The same over two 2-bit counts a nibble, spread apart so each has its guard.
int shortfall2(std::uint64_t want, std::uint64_t have) {
  return shortfall(want & kEvenLanes, have & kEvenLanes) + shortfall(want >> 2 & kEvenLanes, have >> 2 & kEvenLanes);
}

std::uint32_t mix(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

}  // namespace

template <typename Count>
std::uint64_t WordFinder::pack(const std::array<Count, rules::kLetterCount>& counts) {
  std::uint64_t n = 0;
  for (int letter = 0; letter < rules::kLetterCount; ++letter)
    n |= std::min<std::uint64_t>(std::uint64_t(counts[std::size_t(letter)]), 3) << (2 * letter);
  return n;
}

WordFinder WordFinder::fromRecords(std::string_view image) {
  std::vector<std::string> words;
  for (std::size_t at = 0; at + kRecordWidth <= image.size(); at += kRecordWidth) {
    std::string_view text = image.substr(at + 1, kTextWidth);
    const auto end = text.find_last_not_of(' ');
    text = end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
    if (std::string word = playable(text); !word.empty()) words.push_back(std::move(word));
  }
  return build(std::move(words));
}

WordFinder WordFinder::fromWords(const std::vector<std::string>& list) {
  std::vector<std::string> words;
  for (const auto& w : list)
    if (std::string word = playable(w); !word.empty()) words.push_back(std::move(word));
  std::sort(words.begin(), words.end());
  return build(std::move(words));
}

// `words` come sorted, so each group's words stay in alphabetical order.
WordFinder WordFinder::build(std::vector<std::string> words) {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
  keyed.reserve(words.size());
  for (std::size_t i = 0; i < words.size(); ++i)
    keyed.emplace_back(groupKey(sortedLetters(words[i])), std::uint32_t(i));
  std::sort(keyed.begin(), keyed.end());

  struct Built {
    Filter filter;
    Group group;
  };
  std::vector<Built> built;
  std::string text;
  std::size_t wordCount = 0;
  for (std::size_t i = 0; i < keyed.size();) {
    const Sorted sorted = sortedLetters(words[keyed[i].second]);
    Built b;
    Group& g = b.group;
    Filter& f = b.filter;
    g.length = std::uint8_t(sorted.length);
    std::array<int, kMaxLength> values{};
    std::array<int, rules::kLetterCount> counts{};
    int sum = 0;
    for (std::size_t k = 0; k < sorted.length; ++k) {
      const int letter = sorted.letters[k];
      g.letters[k] = std::uint8_t(letter);
      ++counts[std::size_t(letter)];
      values[k] = value(letter);
      sum += values[k];
    }
    // Board letters count double, but at most all five flips are board letters.
    std::sort(values.begin(), values.begin() + g.length, std::greater<>());
    for (int k = 0; k < std::min<int>(g.length, rules::kMaxFlips); ++k) sum += values[std::size_t(k)];
    const int bonus = g.length >= rules::kBarSize    ? rules::kWholeBarBonus
                      : g.length >= rules::kMaxFlips ? rules::kAllFlipsBonus
                                                     : 0;
    const int ceiling = std::min(sum + rules::lengthBonus(g.length) + bonus, 255);
    f.bits = pack(counts) | std::uint64_t(ceiling) << kCeilingShift;
    g.firstWord = std::uint32_t(text.size());
    std::size_t j = i;
    for (; j < keyed.size() && keyed[j].first == keyed[i].first; ++j) {
      const std::string& w = words[keyed[j].second];
      if (j > i && w == words[keyed[j - 1].second]) continue;
      text += w;
      text += '\n';
      ++wordCount;
    }
    g.wordBytes = std::uint32_t(text.size() - g.firstWord);
    built.push_back(b);
    i = j;
  }
  std::stable_sort(built.begin(), built.end(),
                   [](const Built& a, const Built& b) { return ceilingOf(a.filter.bits) > ceilingOf(b.filter.bits); });

  // Laid out straight into the image: header, section table, then the sections.
  const std::size_t groups = built.size();
  const std::array<Section, 3> sections = {
      Section{{'F', 'I', 'L', 'T'}, 0, 0, groups * sizeof(Filter)},
      Section{{'G', 'R', 'P', 'S'}, 0, 0, groups * sizeof(Group)},
      Section{{'T', 'E', 'X', 'T'}, 0, 0, text.size()},
  };
  std::size_t at = sizeof(Header) + sections.size() * sizeof(Section);
  std::array<Section, 3> placed = sections;
  for (Section& section : placed) {
    section.offset = at;
    at = alignedUp(at + section.bytes);
  }
  auto storage = std::make_shared<std::vector<std::uint64_t>>(at / 8);
  auto* bytes = reinterpret_cast<unsigned char*>(storage->data());
  Header header;
  std::memcpy(header.magic, kMagic, sizeof header.magic);
  header.sectionCount = std::uint32_t(placed.size());
  header.imageBytes = at;
  header.wordCount = std::uint32_t(wordCount);
  header.groupCount = std::uint32_t(groups);
  std::memcpy(bytes, &header, sizeof header);
  std::memcpy(bytes + sizeof header, placed.data(), placed.size() * sizeof(Section));
  for (std::size_t i = 0; i < groups; ++i) {
    std::memcpy(bytes + placed[0].offset + i * sizeof(Filter), &built[i].filter, sizeof(Filter));
    std::memcpy(bytes + placed[1].offset + i * sizeof(Group), &built[i].group, sizeof(Group));
  }
  if (!text.empty()) std::memcpy(bytes + placed[2].offset, text.data(), text.size());
  std::string error;
  std::optional<WordFinder> finder = adopt(std::move(storage), at, error);
  return finder ? std::move(*finder) : WordFinder();
}

std::optional<WordFinder> WordFinder::adopt(std::shared_ptr<std::vector<std::uint64_t>> storage,
                                            std::size_t bytes, std::string& error) {
  WordFinder finder;
  const std::string_view image(reinterpret_cast<const char*>(storage->data()), bytes);
  finder.storage_ = std::move(storage);
  if (!finder.attach(image, Trust::Checked, error)) return std::nullopt;
  return finder;
}

std::optional<WordFinder> WordFinder::fromImage(std::string_view bytes, std::string& error) {
  if (bytes.size() > kMaxImageBytes) {
    error = "the word image is larger than " + std::to_string(kMaxImageBytes) + " bytes";
    return std::nullopt;
  }
  // Copied into words, so that every record of it is aligned.
  auto storage = std::make_shared<std::vector<std::uint64_t>>(alignedUp(bytes.size()) / 8);
  if (!bytes.empty()) std::memcpy(storage->data(), bytes.data(), bytes.size());
  return adopt(std::move(storage), bytes.size(), error);
}

std::optional<WordFinder> WordFinder::fromImageFile(const std::filesystem::path& path, std::string& error) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  std::optional<WordFinder> finder;
  if (ec) {
    error = "cannot be read: " + ec.message();
  } else if (size > kMaxImageBytes) {
    error = "is larger than " + std::to_string(kMaxImageBytes) + " bytes";
  } else {
    auto storage = std::make_shared<std::vector<std::uint64_t>>(alignedUp(std::size_t(size)) / 8);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(storage->data()), std::streamsize(size));
    if (!in || in.gcount() != std::streamsize(size) || in.peek() != EOF)
      error = "cannot be read whole";
    else
      finder = adopt(std::move(storage), std::size_t(size), error);
  }
  if (!finder) error = "Word image \"" + path.string() + "\" " + error;
  return finder;
}

bool WordFinder::attach(std::string_view image, Trust trust, std::string& error) {
  static_assert(sizeof(Group) == 20 && alignof(Group) == 4 && sizeof(Filter) == 8 && alignof(Filter) == 8);
  const auto refuse = [&error](std::string why) {
    error = "is not a word image this program reads: " + std::move(why);
    return false;
  };
  if (reinterpret_cast<std::uintptr_t>(image.data()) % 8 != 0) return refuse("it is not aligned in memory");
  if (image.size() < sizeof(Header)) return refuse("it is shorter than its header");
  Header header;
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.magic, kMagic, sizeof header.magic) != 0) return refuse("it does not start with its mark");
  if (header.version != kVersion)
    return refuse("it is of version " + std::to_string(header.version) + ", not " + std::to_string(kVersion));
  if (header.imageBytes != image.size())
    return refuse("it says it has " + std::to_string(header.imageBytes) + " bytes but has " +
                  std::to_string(image.size()));
  if (header.sectionCount > kMaxSections ||
      sizeof(Header) + header.sectionCount * sizeof(Section) > image.size())
    return refuse("its section table is cut short");
  const char* wanted[] = {"FILT", "GRPS", "TEXT"};
  const std::uint64_t wantedBytes[] = {std::uint64_t(header.groupCount) * sizeof(Filter),
                                       std::uint64_t(header.groupCount) * sizeof(Group), 0};
  std::array<std::string_view, 3> found;
  const std::size_t tableEnd = sizeof(Header) + header.sectionCount * sizeof(Section);
  for (std::uint32_t i = 0; i < header.sectionCount; ++i) {
    Section section;
    std::memcpy(&section, image.data() + sizeof(Header) + i * sizeof(Section), sizeof section);
    const std::string name(section.name, sizeof section.name);
    if (section.offset % 8 != 0 || section.offset < tableEnd || section.offset > image.size() ||
        section.bytes > image.size() - section.offset)
      return refuse("its section \"" + name + "\" lies outside it");
    for (std::size_t k = 0; k < found.size(); ++k) {
      if (name != wanted[k]) continue;
      if (!found[k].empty() || (k < 2 && section.bytes != wantedBytes[k]))
        return refuse("its section \"" + name + "\" does not fit its " + std::to_string(header.groupCount) +
                      " groups");
      found[k] = image.substr(std::size_t(section.offset), std::size_t(section.bytes));
    }
    // Sections of other names belong to later versions of the image and are left alone.
  }
  for (std::size_t k = 0; k < found.size(); ++k)
    if (found[k].data() == nullptr && !(k < 2 && header.groupCount == 0))
      return refuse(std::string("it has no section \"") + wanted[k] + "\"");
  filters_ = reinterpret_cast<const Filter*>(found[0].data());
  groups_ = reinterpret_cast<const Group*>(found[1].data());
  groupCount_ = header.groupCount;
  text_ = found[2];
  wordCount_ = header.wordCount;
  image_ = image;
  if (trust == Trust::Checked) {
    if (std::size_t(std::count(text_.begin(), text_.end(), '\n')) != wordCount_)
      return refuse("it does not hold the " + std::to_string(wordCount_) + " words it says");
    for (std::size_t i = 0; i < groupCount_; ++i) {
      const Group& g = groups_[i];
      const Filter& f = filters_[i];
      const std::string at = "group " + std::to_string(i);
      if (g.length < 1 || g.length > kMaxLength) return refuse(at + " has words of " + std::to_string(g.length) + " letters");
      for (int k = 0; k < g.length; ++k)
        if (g.letters[k] >= rules::kLetterCount || (k > 0 && g.letters[k] < g.letters[k - 1]))
          return refuse(at + " has letters out of order");
      if (g.wordBytes == 0 || g.firstWord > text_.size() || g.wordBytes > text_.size() - g.firstWord ||
          text_[g.firstWord + g.wordBytes - 1] != '\n')
        return refuse(at + " has its words outside the text");
      // The scan trusts the counts to rule out only groups that cannot be made.
      Counts counts{};
      for (int k = 0; k < g.length; ++k) ++counts[g.letters[k]];
      if ((f.bits & ~(std::uint64_t(0xFF) << kCeilingShift)) != pack(counts))
        return refuse(at + " has letter counts that are not its letters'");
      if (i > 0 && ceilingOf(f.bits) > ceilingOf(filters_[i - 1].bits)) return refuse(at + " is out of order");
    }
  }
  return true;
}

std::vector<std::string_view> WordFinder::words(int group) const {
  std::vector<std::string_view> out;
  if (group < 0 || std::size_t(group) >= groupCount_) return out;
  std::string_view text = std::string_view(text_).substr(groups_[std::size_t(group)].firstWord,
                                                         groups_[std::size_t(group)].wordBytes);
  while (!text.empty()) {
    const auto end = text.find('\n');
    out.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return out;
}

// The group's letter counts, from its filter where no count is cut at 3,
// so that most groups are scored without reading their records.
WordFinder::Counts WordFinder::countsOf(std::size_t i) const {
  Counts counts{};
  const std::uint64_t f = filters_[i].bits & kCountBits;
  if (!((f & f >> 1) & kLowLanes)) {
    for (std::size_t L = 0; L < counts.size(); ++L) counts[L] = std::uint8_t(f >> (2 * L) & 3);
  } else {
    const Group& g = groups_[i];
    for (int k = 0; k < g.length; ++k) ++counts[g.letters[k]];
  }
  return counts;
}

int WordFinder::score(const Counts& counts, const Letters& l, Use* use) const {
  int n = 0;
  for (const auto c : counts) n += c;
  int base = 0;
  int board = 0;      // board letters taken by choice: face-up ones first
  int gain = 0;       // the values of the board letters
  int mandatory = 0;  // remembered cells the word cannot do without
  // Bar letters that a remembered cell could stand in for, to count double.
  std::array<std::pair<int, int>, kMaxLength> extras{};  // value, letter
  int extraCount = 0;
  // The other way to play it: the whole bar, the rest from the board.
  int barInWord = 0;
  int barTotal = 0;
  int wholeBarGain = 0;  // the values of its board letters
  int wholeBarFlips = 0;
  for (int letter = 0; letter < rules::kLetterCount; ++letter) barTotal += l.bar[std::size_t(letter)];

  for (int letter = 0; letter < rules::kLetterCount; ++letter) {
    const std::size_t L = std::size_t(letter);
    const int c = counts[L];
    if (c == 0) continue;
    const int v = value(letter);
    const int r = l.bar[L];
    const int u = l.faceUp[L];
    const int known = std::min<int>(l.known[L], l.flips);
    if (c > r + u + known) return -1;
    base += v * c;
    const int up = std::min(c, u);
    const int rest = c - up;
    const int mand = std::max(0, rest - r);
    mandatory += mand;
    board += up + mand;
    gain += v * (up + mand);
    for (int e = std::min(rest - mand, known - mand); e > 0; --e)
      extras[std::size_t(extraCount++)] = {v, letter};
    barInWord += std::min(c, r);
    if (c >= r) {
      const int need = c - r;
      wholeBarGain += v * need;
      wholeBarFlips += std::max(0, need - u);
    }
  }
  if (mandatory > l.flips) return -1;

  std::sort(extras.begin(), extras.begin() + extraCount, std::greater<>());
  const int taken = std::min(extraCount, l.flips - mandatory);
  for (int e = 0; e < taken; ++e) gain += extras[std::size_t(e)].first;
  board += taken;
  const int natural = rules::wordScore({base - gain, gain, n - board, board});
  const bool wholeBarFits =
      barTotal == rules::kBarSize && barInWord == rules::kBarSize && wholeBarFlips <= l.flips;
  const int wholeBar =
      wholeBarFits
          ? rules::wordScore({base - wholeBarGain, wholeBarGain, rules::kBarSize, n - rules::kBarSize})
          : -1;

  if (use) {
    *use = Use{};
    use->bar = counts;  // all from the bar, then moved to the board below
    for (std::size_t L = 0; L < std::size_t(rules::kLetterCount); ++L) {
      const int c = use->bar[L];
      if (c == 0) continue;
      const int u = l.faceUp[L];
      const int r = l.bar[L];
      if (wholeBar > natural) {
        const int need = c - r;
        use->faceUp[L] = std::uint8_t(std::min(need, u));
        use->known[L] = std::uint8_t(need - use->faceUp[L]);
      } else {
        use->faceUp[L] = std::uint8_t(std::min(c, u));
        use->known[L] = std::uint8_t(std::max(0, c - use->faceUp[L] - r));
      }
    }
    if (wholeBar <= natural)
      for (int e = 0; e < taken; ++e) ++use->known[std::size_t(extras[std::size_t(e)].second)];
    for (std::size_t L = 0; L < std::size_t(rules::kLetterCount); ++L)
      use->bar[L] = std::uint8_t(use->bar[L] - use->faceUp[L] - use->known[L]);
  }
  return std::max(natural, wholeBar);
}

WordFinder::Best WordFinder::best(const Letters& l, const Part& part) const {
  std::vector<Best> found = bestFew(l, part, 1);
  return found.empty() ? Best{} : found.front();
}

bool WordFinder::knowsAny(const Group& g, const Part& part) const {
  std::string_view text = std::string_view(text_).substr(g.firstWord, g.wordBytes);
  while (!text.empty()) {
    const auto end = text.find('\n');
    if (part.knows(text.substr(0, end))) return true;
    text.remove_prefix(end + 1);
  }
  return false;
}

std::vector<WordFinder::Best> WordFinder::bestFew(const Letters& l, const Part& part, int count) const {
  count = std::clamp(count, 1, kMaxChoices);
  std::array<int, rules::kLetterCount> free{};
  std::array<int, rules::kLetterCount> all{};
  for (int letter = 0; letter < rules::kLetterCount; ++letter) {
    const std::size_t L = std::size_t(letter);
    free[L] = l.bar[L] + l.faceUp[L];
    all[L] = free[L] + std::min<int>(l.known[L], l.flips);
  }
  // A word is at hand when the bar and the cells face up lack no more
  // letters than flips are left, and remembered cells hold those.
  const std::uint64_t freeCounts = pack(free);
  const std::uint64_t allCounts = pack(all);
  const std::uint64_t missing = ~present(allCounts) & kLowLanes;
  std::vector<Best> found;  // best first; on a tie the group found first
  found.reserve(std::size_t(count) + 1);
  int floor = 0;  // what a group must beat to be kept
  for (std::size_t i = 0; i < groupCount_; ++i) {
    const std::uint64_t f = filters_[i].bits;
    if (ceilingOf(f) <= floor) break;
    const std::uint64_t counts = f & kCountBits;
    if (present(counts) & missing) continue;
    if (exceeds(counts & kEvenLanes, allCounts & kEvenLanes) ||
        exceeds(counts >> 2 & kEvenLanes, allCounts >> 2 & kEvenLanes))
      continue;
    if (shortfall2(counts, freeCounts) > l.flips) continue;
    if (part.percent < 100 && int(mix(std::uint32_t(i) ^ part.salt) % 100) >= part.percent) continue;
    const int s = score(countsOf(i), l, nullptr);
    if (s <= floor) continue;
    if (part.listSize && !knowsAny(groups_[i], part)) continue;
    auto at = found.begin();
    while (at != found.end() && at->score >= s) ++at;
    Best b;
    b.group = int(i);
    b.score = s;
    found.insert(at, b);
    if (int(found.size()) > count) found.pop_back();
    if (int(found.size()) == count) floor = found.back().score;
  }
  for (Best& b : found) score(countsOf(std::size_t(b.group)), l, &b.use);
  return found;
}

}  // namespace tw
