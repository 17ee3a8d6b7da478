// TDictn: the host's word list and its lookup (unit Mydict).
#pragma once

#include "dictionary/record_index.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

class TDictn {
 public:
  using LogFn = std::function<void(const std::string&)>;

  static constexpr int recordWidth = 15;
  static constexpr int keyWidth = 15;
  static constexpr const char* workingFileName = "English";

  // Where the words being served came from.
  enum class Source {
    WorkingFile,          // an "English" found in the working directory
    CreatedWorkingFile,   // "English" was missing; this instance wrote it from the built-in list
    LeftoverWorkingFile,  // a built-in list that a copy stopped hard left behind; taken over
    Builtin,              // "English" was unusable; the built-in list is served from memory
    Memory,               // a record image handed to the constructor
  };

  // A record image held in memory, in the format of "English".
  struct MemoryImage {
    explicit MemoryImage(std::string image) : bytes(std::move(image)) {}
    std::string bytes;
  };

  // Writes one line to stderr.
  static void logToStderr(const std::string& line);

  // Uses "English" in workDir (the current directory when empty), writing it
  // from the built-in list when it is missing. A built-in list that no
  // running copy holds was left by one that stopped hard: it is taken over
  // (brought up to date) and removed at the end like a file written here.
  explicit TDictn(const std::filesystem::path& workDir = {}, LogFn log = logToStderr);
  // Serves the given image without touching any file.
  explicit TDictn(MemoryImage image, LogFn log = logToStderr);
  // Deletes "English" when this instance created or took it over.
  ~TDictn();

  TDictn(const TDictn&) = delete;
  TDictn& operator=(const TDictn&) = delete;

  // True when FindRecord(word) >= 0.
  bool CheckWord(std::string_view word) const;
  // Index of the first record matching word, or -1.
  int FindRecord(std::string_view word) const;

  int recordCount() const { return recordCount_; }
  // The records being served, upper case, in the format of "English".
  std::string_view records() const { return image_; }
  Source source() const { return source_; }
  const std::filesystem::path& workingFile() const { return filePath_; }
  // Bytes the list takes while served: the records plus the index.
  std::size_t memoryBytes() const { return image_.size() + index_->bytes(); }

 private:
  void openWorkingFile();
  std::string readWorkingFile(std::string& image) const;
  bool writeBuiltinList(std::string& error);
  bool takeOverLeftover(const std::string& image);
  void serve(std::string image, Source source);
  void serveBuiltin(Source source);

  LogFn log_;
  std::filesystem::path filePath_;
  bool createdFile_ = false;
  // Open while this instance owns "English"; its lock tells other copies so.
  int lockFd_ = -1;
  Source source_ = Source::Builtin;
  std::string owned_;
  std::string_view image_;
  int recordCount_ = 0;
  // ownIndex_ for a list of its own; the built-in list's index is made at
  // build time and read in place. Empty only when the texts defeat its hash; lookups
  // then search the sorted records.
  RecordIndex ownIndex_;
  const RecordIndex* index_ = &ownIndex_;
};

}  // namespace tw
