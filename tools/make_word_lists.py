#!/usr/bin/env python3
"""Regenerates resources/words_english.txt, resources/words_english_sizes.txt
and resources/words_computer.txt from Debian's scowl package (SCOWL word
lists). The generated lists are committed; the build never runs this script.

Usage: tools/make_word_lists.py [SCOWL_DIR] [OUT_DIR]
"""
import os
import re
import sys

SCOWL_DIR = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/dict/scowl"
OUT_DIR = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "resources")

# Every regional spelling counts, so players from any English-speaking
# country find their spelling accepted.
SPELLINGS = ["english", "american", "british", "canadian", "australian"]
# Each spelling's accepted variants ("abaci", "adieux", "judgement"): level 1
# holds the common ones, level 2 the less common but still correct ones; level
# 3 is seldom-used forms. The American variants carry no prefix. Only the
# "-words" files are read, so abbreviations, contractions and proper names
# stay out as they do for the main spellings.
VARIANTS = ["variant_1", "variant_2",
            "british_variant_1", "british_variant_2",
            "canadian_variant_1", "canadian_variant_2",
            "australian_variant_1", "australian_variant_2"]
# Size 70 holds about 113,000 usable words, too few for a fair game; size 80
# adds the rarer but genuine words found in large dictionaries; size 95 is
# mostly obscure and misspelling-prone entries.
MAIN_SIZES = [10, 20, 35, 40, 50, 55, 60, 70, 80]
# Confirmed misspellings that the larger sizes carry; no list holds them.
LEFT_OUT = {"weired", "hampster", "drownded", "theirselves", "irrepairable"}
# The computer plays the commonest words: everything up to size 20, plus the
# plain -s/-es/-ed/-ing forms of those words that size 35 adds.
COMPUTER_BASE_SIZES = [10, 20]
COMPUTER_EXTRA_SIZE = 35
COMPUTER_SUFFIXES = ["s", "es", "ed", "ing"]

# The word files carry a few unit symbols, maths functions and plural
# letters ("kb", "lm", "csc", "ps"). Words without a vowel are dropped
# unless they are genuine interjections or words.
VOWELLESS_WORDS = {
    "brr", "brrr", "crwth", "crwths", "cwm", "cwms", "hmm", "nth", "pfft",
    "phpht", "pht", "psst", "pssts", "pst", "psts", "pwn", "pwns", "sh",
    "shh", "ssh", "tsk", "tsks", "tsktsk", "tsktsks", "zzz",
}


def read_words(spellings, sizes, pattern):
    words = set()
    for size in sizes:
        for spelling in spellings:
            path = os.path.join(SCOWL_DIR, f"{spelling}-words.{size}")
            if not os.path.exists(path):
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for line in f:
                    word = line.strip()
                    if pattern.fullmatch(word) and acceptable(word):
                        words.add(word)
    return words


def smallest_sizes(words):
    """The smallest list size that holds each word: how common it is."""
    sizes = {}
    for size in MAIN_SIZES:
        for word in read_words(SPELLINGS + VARIANTS, [size], re.compile("[a-z]{2,14}")):
            if word in words:
                sizes.setdefault(word, size)
    return sizes


def acceptable(word):
    if word in LEFT_OUT:
        return False
    return bool(re.search("[aeiouy]", word)) or word in VOWELLESS_WORDS


def write_list(name, words):
    path = os.path.join(OUT_DIR, name)
    with open(path, "w", encoding="ascii", newline="\n") as f:
        for word in sorted(words):
            f.write(word + "\n")
    print(f"{path}: {len(words)} words")


def write_sizes(name, words, sizes):
    """One digit a word, in the order of the word list: the index in
    MAIN_SIZES of the smallest size holding it; 100 digits a line."""
    digits = "".join(str(MAIN_SIZES.index(sizes[w])) for w in sorted(words))
    path = os.path.join(OUT_DIR, name)
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("sizes " + " ".join(str(s) for s in MAIN_SIZES) + "\n")
        for at in range(0, len(digits), 100):
            f.write(digits[at:at + 100] + "\n")
    print(f"{path}: {len(digits)} sizes")


def main():
    if not os.path.isdir(SCOWL_DIR):
        sys.exit(f"{SCOWL_DIR} not found: install Debian's scowl package")
    main_words = read_words(SPELLINGS + VARIANTS, MAIN_SIZES, re.compile("[a-z]{2,14}"))

    short = re.compile("[a-z]{1,7}")
    base = read_words(["english", "american"], COMPUTER_BASE_SIZES, short)
    extra = read_words(["english", "american"], [COMPUTER_EXTRA_SIZE], short)
    inflected = {w for w in extra - base
                 if any(w.endswith(s) and w[:-len(s)] in base
                        for s in COMPUTER_SUFFIXES)}
    computer_words = base | inflected

    write_list("words_english.txt", main_words)
    write_sizes("words_english_sizes.txt", main_words, smallest_sizes(main_words))
    write_list("words_computer.txt", computer_words)


if __name__ == "__main__":
    main()
