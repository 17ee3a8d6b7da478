// TDictn: opens the word list and answers lookups from memory.
#include "dictn.h"

#include "word_lists.h"

#include <cerrno>
#include <cstdio>
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
constexpr int kPrefixSymbols = 27;
constexpr int kPrefixCount = kPrefixSymbols * kPrefixSymbols * kPrefixSymbols;

char upperLetter(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Upper-cases the record texts (and turns NUL into space, as keys do), so a
// lookup compares raw bytes; then reports why the image cannot be searched.
std::string prepareImage(std::string& image)
{
    if (image.empty())
        return "holds no records";
    if (image.size() > kMaxImageBytes)
        return "is larger than " + std::to_string(kMaxImageBytes) + " bytes";
    if (image.size() % TDictn::recordWidth != 0)
        return "has " + std::to_string(image.size()) + " bytes, not a whole number of "
            + std::to_string(TDictn::recordWidth) + "-byte records";
    const std::size_t count = image.size() / TDictn::recordWidth;
    for (std::size_t i = 0; i < count; ++i) {
        char* text = image.data() + i * TDictn::recordWidth + 1;
        for (std::size_t k = 0; k < kTextWidth; ++k)
            text[k] = text[k] == '\0' ? ' ' : upperLetter(text[k]);
        if (i > 0 && std::memcmp(text - TDictn::recordWidth, text, kTextWidth) > 0)
            return "is not in ascending order at record " + std::to_string(i);
    }
    return {};
}

int prefixSymbol(char c)
{
    if (c == ' ')
        return 0;
    return c >= 'A' && c <= 'Z' ? c - 'A' + 1 : -1;
}

int prefixCode(const char* text)
{
    int code = 0;
    for (int k = 0; k < 3; ++k) {
        int symbol = prefixSymbol(text[k]);
        if (symbol < 0)
            return -1;
        code = code * kPrefixSymbols + symbol;
    }
    return code;
}

// The key rules: at most 255 bytes, NUL read as space, surrounding spaces
// dropped, upper-cased and padded to the record text. Gives the trimmed
// length; only 1 to 14 can match, because every record text ends in a space.
std::size_t normaliseKey(std::string_view word, char (&key)[kTextWidth])
{
    word = word.substr(0, kMaxKeyBytes);
    auto isSpace = [](char c) { return c == ' ' || c == '\0'; };
    std::size_t begin = 0;
    std::size_t end = word.size();
    while (begin < end && isSpace(word[begin]))
        ++begin;
    while (end > begin && isSpace(word[end - 1]))
        --end;
    const std::size_t length = end - begin;
    if (length == 0 || length > kTextWidth)
        return length;
    for (std::size_t k = 0; k < kTextWidth; ++k) {
        char c = k < length ? word[begin + k] : ' ';
        key[k] = c == '\0' ? ' ' : upperLetter(c);
    }
    return length;
}

std::string quoted(const fs::path& path)
{
    return "\"" + path.string() + "\"";
}

}  // namespace

void TDictn::logToStderr(const std::string& line)
{
    std::cerr << line << '\n';
}

TDictn::TDictn(const fs::path& workDir, LogFn log)
    : log_(log ? std::move(log) : LogFn(logToStderr))
{
    fs::path path = workDir.empty() ? fs::path(workingFileName) : workDir / workingFileName;
    std::error_code ec;
    // Absolute, so the file removed at the end is the one opened here even if the current directory changes.
    filePath_ = fs::absolute(path, ec);
    if (ec)
        filePath_ = path;
    openWorkingFile();
}

TDictn::TDictn(MemoryImage image, LogFn log)
    : log_(log ? std::move(log) : LogFn(logToStderr))
{
    std::string fault = prepareImage(image.bytes);
    if (!fault.empty()) {
        log_("Dictionary: the word list given " + fault + "; using the built-in word list");
        serveBuiltin(Source::Builtin);
        return;
    }
    serve(std::move(image.bytes), Source::Memory);
}

TDictn::~TDictn()
{
    if (!createdFile_)
        return;
    std::error_code ec;
    fs::remove(filePath_, ec);
    if (ec)
        log_("Dictionary: cannot delete " + quoted(filePath_) + ": " + ec.message());
}

void TDictn::openWorkingFile()
{
    std::error_code ec;
    const bool present = fs::exists(filePath_, ec);
    if (ec) {
        log_("Dictionary: cannot look for " + quoted(filePath_) + ": " + ec.message()
             + "; using the built-in word list");
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
    if (fault.empty())
        fault = prepareImage(image);
    if (!fault.empty()) {
        log_("Dictionary: " + quoted(filePath_) + " " + fault + "; left as it is, using the built-in word list");
        serveBuiltin(Source::Builtin);
        return;
    }
    serve(std::move(image), Source::WorkingFile);
}

std::string TDictn::readWorkingFile(std::string& image) const
{
    std::error_code ec;
    if (!fs::is_regular_file(filePath_, ec))
        return "is not a file that can be read";
    const std::uintmax_t size = fs::file_size(filePath_, ec);
    if (ec)
        return "cannot be opened: " + ec.message();
    if (size > kMaxImageBytes)
        return "is larger than " + std::to_string(kMaxImageBytes) + " bytes";
    std::ifstream in(filePath_, std::ios::binary);
    if (!in)
        return "cannot be opened";
    image.resize(static_cast<std::size_t>(size));
    in.read(image.data(), static_cast<std::streamsize>(image.size()));
    if (in.gcount() != static_cast<std::streamsize>(image.size()) || in.peek() != EOF)
        return "changed size while being read";
    return {};
}

bool TDictn::writeBuiltinList(std::string& error)
{
    const std::string_view records = builtinWordRecords();
    // "x": never overwrite a list that appeared since the check above.
    std::FILE* file = std::fopen(filePath_.c_str(), "wbx");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(records.data(), 1, records.size(), file) == records.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return true;
    error = std::strerror(written ? errno : writeErrno);
    // A cut-short file would be taken for a player's list at the next start.
    std::error_code ec;
    fs::remove(filePath_, ec);
    return false;
}

void TDictn::serve(std::string image, Source source)
{
    owned_ = std::move(image);
    image_ = owned_;
    source_ = source;
    recordCount_ = static_cast<int>(image_.size() / recordWidth);
    buildPrefixIndex();
}

void TDictn::serveBuiltin(Source source)
{
    owned_.clear();
    owned_.shrink_to_fit();
    image_ = builtinWordRecords();
    source_ = source;
    recordCount_ = static_cast<int>(image_.size() / recordWidth);
    buildPrefixIndex();
}

void TDictn::buildPrefixIndex()
{
    prefixStart_.assign(kPrefixCount + 1, 0);
    int next = 0;
    for (int i = 0; i < recordCount_; ++i) {
        int code = prefixCode(image_.data() + static_cast<std::size_t>(i) * recordWidth + 1);
        if (code < 0) {
            prefixStart_.clear();
            return;
        }
        // Records are ascending, so codes are too: every prefix up to this one starts here or later.
        while (next <= code)
            prefixStart_[static_cast<std::size_t>(next++)] = static_cast<std::uint32_t>(i);
    }
    while (next <= kPrefixCount)
        prefixStart_[static_cast<std::size_t>(next++)] = static_cast<std::uint32_t>(recordCount_);
}

bool TDictn::CheckWord(std::string_view word) const
{
    return FindRecord(word) >= 0;
}

int TDictn::FindRecord(std::string_view word) const
{
    char key[kTextWidth];
    const std::size_t length = normaliseKey(word, key);
    if (length == 0 || length > kTextWidth)
        return -1;

    std::size_t low = 0;
    std::size_t high = static_cast<std::size_t>(recordCount_);
    if (!prefixStart_.empty()) {
        int code = prefixCode(key);
        if (code < 0)
            return -1;
        low = prefixStart_[static_cast<std::size_t>(code)];
        high = prefixStart_[static_cast<std::size_t>(code) + 1];
    }
    // The first record not before the key: where the run of equal (cut) records begins.
    const char* records = image_.data();
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        if (std::memcmp(records + middle * recordWidth + 1, key, kTextWidth) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    if (low < static_cast<std::size_t>(recordCount_)
        && std::memcmp(records + low * recordWidth + 1, key, kTextWidth) == 0)
        return static_cast<int>(low);
    return -1;
}

}  // namespace tw
