#!/usr/bin/env bash
# Measures how many of the words in Debian's standard word lists (wamerican
# and wbritish: lower-case words of 2 to 14 letters) a word list accepts.
# Usage: tools/word_share.sh [LIST]   (default resources/words_english.txt;
# needs the wamerican and wbritish packages)
set -euo pipefail
cd "$(dirname "$0")/.."
list=${1:-resources/words_english.txt}
export LC_ALL=C
standard=(/usr/share/dict/american-english /usr/share/dict/british-english)
for f in "${standard[@]}"; do
  [ -r "$f" ] || { echo "$f not found: install wamerican and wbritish" >&2; exit 1; }
done
words=$(mktemp)
trap 'rm -f "$words"' EXIT
cat "${standard[@]}" | grep -xE '[a-z]{2,14}' | sort -u >"$words"
total=$(wc -l <"$words")
missing=$(sort -u "$list" | comm -23 "$words" - | wc -l)
echo "$list: $(wc -l <"$list") words; accepts $((total - missing)) of $total standard words" \
  "($(awk -v a=$((total - missing)) -v t="$total" 'BEGIN { printf "%.2f", 100 * a / t }') %), $missing missing"
