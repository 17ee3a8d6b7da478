// Build-time tool: makes the computer's search image of the main word list
// (see WordFinder), checks it by reading it back, and writes it to a file
// that the program links in.
// Usage: tw_word_image ENGLISH_TXT OUTPUT_IMAGE
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "dictionary/generated_file.h"
#include "host/word_finder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tw_word_image ENGLISH_TXT OUTPUT_IMAGE\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": cannot open\n";
    return 1;
  }
  // The dictionary keeps the first 14 letters of a word; the search takes
  // only words that fit the word row, so the cut never matters here.
  std::vector<std::string> words;
  for (std::string line; std::getline(in, line);) words.push_back(line);
  const tw::WordFinder finder = tw::WordFinder::fromWords(words);
  std::string error;
  if (finder.groupCount() == 0 || !tw::WordFinder::fromImage(finder.image(), error)) {
    std::cerr << argv[1] << ": the image made from it " << (error.empty() ? "is empty" : error) << "\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(finder.image().data(), std::streamsize(finder.image().size()));
  return tw::finishGenerated(out, argv[2]);
}
