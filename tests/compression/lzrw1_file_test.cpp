// The file codec Tlzrw1 and the tilewhirl-codec tool: files written, errors
// raised, and no output left behind after a failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "codec_samples.h"
#include "compression/lzrw1_file.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class Lzrw1FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("tw_codec_"s + info->name() + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  static void write(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::string failure(bool compress, const std::string& in, const std::string& out) {
    Tlzrw1 codec;
    codec.inputFile = in;
    codec.outputFile = out;
    try {
      compress ? codec.compress() : codec.decompress();
    } catch (const Lzrw1Error& e) {
      return e.what();
    }
    return "succeeded";
  }

  fs::path dir_;
};

TEST_F(Lzrw1FileTest, CompressAndDecompressFiles) {
  const std::string input = test::sampleBytes(100000, 11);
  write(path("temp.txt"), input);
  Tlzrw1 codec;
  codec.inputFile = path("temp.txt");
  codec.outputFile = path("tally.tld");
  const std::uint64_t packedSize = codec.compress();
  EXPECT_EQ(read(path("tally.tld")), lzrw1Compress(input));
  EXPECT_EQ(packedSize, fs::file_size(path("tally.tld")));

  codec.inputFile = path("tally.tld");
  codec.outputFile = path("back.txt");
  EXPECT_EQ(codec.decompress(), input.size());
  EXPECT_EQ(read(path("back.txt")), input);
}

TEST_F(Lzrw1FileTest, EmptyFileGivesElevenBytes) {
  write(path("empty"), "");
  Tlzrw1 codec;
  codec.inputFile = path("empty");
  codec.outputFile = path("empty.tld");
  EXPECT_EQ(codec.compress(), 11u);
  EXPECT_EQ(read(path("empty.tld")), "WRZL\0\0\0\0\x01\0\x80"s);
}

TEST_F(Lzrw1FileTest, BadHeaderIsRefusedAndOutputDeleted) {
  write(path("bad.tld"), "NOPE and more");
  write(path("out.txt"), "old content");
  EXPECT_EQ(failure(false, path("bad.tld"), path("out.txt")),
            path("bad.tld") + " : Lzrw1 decompression : this file has no valid header !");
  EXPECT_FALSE(fs::exists(path("out.txt")));
}

TEST_F(Lzrw1FileTest, CorruptOrTruncatedContainerLeavesNoOutput) {
  write(path("corrupt.tld"), "WRZL\x04\0\0\0\x05\0\x40\x80\x00\x00\x10"s);
  EXPECT_EQ(failure(false, path("corrupt.tld"), path("out.txt")), "Lzrw1 decompression : corrupt block");
  EXPECT_FALSE(fs::exists(path("out.txt")));

  const std::string packed = lzrw1Compress(test::sampleBytes(50000, 2));
  write(path("short.tld"), packed.substr(0, packed.size() / 2));
  EXPECT_EQ(failure(false, path("short.tld"), path("out.txt")),
            "Lzrw1 : Error reading from input file : " + path("short.tld"));
  EXPECT_FALSE(fs::exists(path("out.txt")));
}

TEST_F(Lzrw1FileTest, MissingFilesAreNamed) {
  EXPECT_EQ(failure(true, path("none"), path("out")),
            "Lzrw1 compression : Failed to obtain the size of : " + path("none"));
  EXPECT_EQ(failure(false, path("none"), path("out")),
            "Lzrw1 (de)compression : Failed to open input file : " + path("none"));
  write(path("in"), "x");
  EXPECT_EQ(failure(true, path("in"), path("no/such/dir/out")),
            "Lzrw1 (de)compression : Failed to open output file : " + path("no/such/dir/out"));
}

int runTool(const std::string& args) {
  const int status = std::system((std::string(TW_CODEC_TOOL) + " " + args + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Lzrw1FileTest, ToolRoundTripsAndFailsCleanly) {
  const std::string input = test::sampleBytes(70000, 8);
  write(path("in"), input);
  EXPECT_EQ(runTool("compress " + path("in") + " " + path("in.tld")), 0);
  EXPECT_EQ(read(path("in.tld")), lzrw1Compress(input));
  EXPECT_EQ(runTool("decompress " + path("in.tld") + " " + path("back")), 0);
  EXPECT_EQ(read(path("back")), input);

  EXPECT_EQ(runTool("decompress " + path("in") + " " + path("out")), 1);
  EXPECT_FALSE(fs::exists(path("out")));
  EXPECT_EQ(runTool("compress " + path("missing") + " " + path("out")), 1);
  EXPECT_FALSE(fs::exists(path("out")));
  EXPECT_EQ(runTool("--help >/dev/null"), 0);
  EXPECT_EQ(runTool("squash a b"), 2);
}

}  // namespace
}  // namespace tw
