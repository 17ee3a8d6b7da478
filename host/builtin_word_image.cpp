// Links in the built-in word list's search image that tw_word_image made
// when the program was built: read-only data, shared by every process that
// runs the program and paged in only where a search reads it.
#ifndef TW_WORD_IMAGE_PATH
#error "TW_WORD_IMAGE_PATH names the image file"
#endif

asm(".section .rodata.tw_word_image,\"a\"\n"
    ".balign 64\n"
    ".globl tw_word_image_begin\n"
    ".hidden tw_word_image_begin\n"
    "tw_word_image_begin:\n"
    ".incbin \"" TW_WORD_IMAGE_PATH "\"\n"
    ".globl tw_word_image_end\n"
    ".hidden tw_word_image_end\n"
    "tw_word_image_end:\n"
    ".previous\n");

#include <string>

#include "host/word_finder.h"

extern "C" const unsigned char tw_word_image_begin[];
extern "C" const unsigned char tw_word_image_end[];

namespace tw {

const WordFinder& WordFinder::builtin() {
  static const WordFinder finder = [] {
    WordFinder f;
    std::string error;
    const std::string_view image(reinterpret_cast<const char*>(tw_word_image_begin),
                                 std::size_t(tw_word_image_end - tw_word_image_begin));
    // The build checked this image whole. A header this reader does not
    // take leaves the list without a search, and the computer at Beginner.
    if (!f.attach(image, Trust::Whole, error)) return WordFinder();
    return f;
  }();
  return finder;
}

}  // namespace tw
