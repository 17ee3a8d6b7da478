// Whole-file reading and the write-then-rename of the player's files.
#include "atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tw {

namespace {

bool flushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return ::fsync(fileno(file)) == 0;
#endif
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  namespace fs = std::filesystem;
  const std::string temp = path + ".new";
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) {
    if (error) *error = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  auto fail = [&](const std::string& why) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    if (error) *error = why;
    return false;
  };
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && flushToDisk(file);
  const int savedErrno = errno;
  if (std::fclose(file) != 0 || !written)
    return fail("cannot write " + temp + ": " + std::strerror(written ? errno : savedErrno));
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) return fail("cannot replace " + path + ": " + ec.message());
  return true;
}

bool readWholeFile(const std::string& path, std::size_t limit, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || std::uintmax_t(size) > limit) return false;
  in.seekg(0, std::ios::beg);
  out.assign(std::size_t(size), '\0');
  in.read(out.data(), size);
  return in.gcount() == size;
}

}  // namespace tw
