// The anagram groups of the word list and the search for the best-scoring
// word that a set of letters allows.
#include "word_finder.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <utility>

namespace tw {

namespace {

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
constexpr int kLoLetters = 16;

// Sum over the nibbles of max(0, want - have); every nibble 0..7.
int shortfall(std::uint64_t want, std::uint64_t have) {
  // A nibble's guard bit survives the subtraction exactly where want >= have.
  const std::uint64_t r = (want | kGuards) - have;
  const std::uint64_t d = r & (((r & kGuards) >> 3) * 7);
  const std::uint64_t bytes = (d & kLowNibbles) + ((d >> 4) & kLowNibbles);
  return int((bytes * 0x0101010101010101ull) >> 56);
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
WordFinder::Nibbles WordFinder::pack(const std::array<Count, rules::kLetterCount>& counts) {
  Nibbles n;
  for (int letter = 0; letter < rules::kLetterCount; ++letter) {
    const std::uint64_t c = std::min<std::uint64_t>(std::uint64_t(counts[std::size_t(letter)]), 7);
    if (letter < kLoLetters)
      n.lo |= c << (4 * letter);
    else
      n.hi |= c << (4 * (letter - kLoLetters));
  }
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
  WordFinder finder;
  finder.build(std::move(words));
  return finder;
}

WordFinder WordFinder::fromWords(const std::vector<std::string>& list) {
  std::vector<std::string> words;
  for (const auto& w : list)
    if (std::string word = playable(w); !word.empty()) words.push_back(std::move(word));
  std::sort(words.begin(), words.end());
  WordFinder finder;
  finder.build(std::move(words));
  return finder;
}

// `words` come sorted, so each group's words stay in alphabetical order.
void WordFinder::build(std::vector<std::string> words) {
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
      f.mask |= 1u << letter;
      ++counts[std::size_t(letter)];
      values[k] = value(letter);
      sum += values[k];
    }
    f.counts = pack(counts);
    // Board letters count double, but at most all five flips are board letters.
    std::sort(values.begin(), values.begin() + g.length, std::greater<>());
    for (int k = 0; k < std::min<int>(g.length, rules::kMaxFlips); ++k) sum += values[std::size_t(k)];
    const int bonus = g.length >= rules::kBarSize    ? rules::kWholeBarBonus
                      : g.length >= rules::kMaxFlips ? rules::kAllFlipsBonus
                                                     : 0;
    f.ceiling = std::uint8_t(sum + rules::lengthBonus(g.length) + bonus);
    g.firstWord = std::uint32_t(text.size());
    std::size_t j = i;
    for (; j < keyed.size() && keyed[j].first == keyed[i].first; ++j) {
      const std::string& w = words[keyed[j].second];
      if (j > i && w == words[keyed[j - 1].second]) continue;
      text += w;
      text += '\n';
      ++wordCount_;
    }
    g.wordBytes = std::uint32_t(text.size() - g.firstWord);
    built.push_back(b);
    i = j;
  }
  std::stable_sort(built.begin(), built.end(),
                   [](const Built& a, const Built& b) { return a.filter.ceiling > b.filter.ceiling; });
  filters_.clear();
  groups_.clear();
  filters_.reserve(built.size());
  groups_.reserve(built.size());
  for (const Built& b : built) {
    filters_.push_back(b.filter);
    groups_.push_back(b.group);
  }
  text_ = std::move(text);
}

std::vector<std::string_view> WordFinder::words(int group) const {
  std::vector<std::string_view> out;
  if (group < 0 || std::size_t(group) >= groups_.size()) return out;
  std::string_view text = std::string_view(text_).substr(groups_[std::size_t(group)].firstWord,
                                                         groups_[std::size_t(group)].wordBytes);
  while (!text.empty()) {
    const auto end = text.find('\n');
    out.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return out;
}

int WordFinder::score(const Group& g, const Letters& l, Use* use) const {
  const int n = g.length;
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

  for (int k = 0; k < n;) {
    const int letter = g.letters[k];
    int c = 0;
    while (k < n && g.letters[k] == letter) ++c, ++k;
    const std::size_t L = std::size_t(letter);
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
    for (int k = 0; k < n; ++k) {
      const std::size_t L = g.letters[k];
      ++use->bar[L];  // all from the bar, then moved to the board below
    }
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
  std::uint32_t avail = 0;
  std::array<int, rules::kLetterCount> free{};
  std::array<int, rules::kLetterCount> all{};
  for (int letter = 0; letter < rules::kLetterCount; ++letter) {
    const std::size_t L = std::size_t(letter);
    free[L] = l.bar[L] + l.faceUp[L];
    all[L] = free[L] + std::min<int>(l.known[L], l.flips);
    if (all[L] > 0) avail |= 1u << letter;
  }
  // A word is at hand when the bar and the cells face up lack no more
  // letters than flips are left, and remembered cells hold those.
  const Nibbles freeCounts = pack(free);
  const Nibbles allCounts = pack(all);
  std::vector<Best> found;  // best first; on a tie the group found first
  found.reserve(std::size_t(count) + 1);
  int floor = 0;  // what a group must beat to be kept
  for (std::size_t i = 0; i < filters_.size(); ++i) {
    const Filter& f = filters_[i];
    if (f.ceiling <= floor) break;
    if (f.mask & ~avail) continue;
    if (shortfall(f.counts.lo, allCounts.lo) + shortfall(f.counts.hi, allCounts.hi) != 0) continue;
    if (shortfall(f.counts.lo, freeCounts.lo) + shortfall(f.counts.hi, freeCounts.hi) > l.flips) continue;
    if (part.percent < 100 && int(mix(std::uint32_t(i) ^ part.salt) % 100) >= part.percent) continue;
    const int s = score(groups_[i], l, nullptr);
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
  for (Best& b : found) score(groups_[std::size_t(b.group)], l, &b.use);
  return found;
}

}  // namespace tw
